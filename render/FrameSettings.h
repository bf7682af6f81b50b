// What one smart-render call knows about its frame, split by who may change it. The call owns
// the host resources; once set up, the frame's settings are only read, so every stage takes them
// by const reference and a stage's effect is limited to what it hands the next (the point cloud,
// the drawing order, the canvas).
#pragma once

#include <cstdint>

#include "AE_CompSuites.h"
#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_GeneralPlug.h"
#include "AE_WorldSuites.h"
#include "support/SuiteHandler.h"
#include "params/MenuValues.h"
#include "params/ParamIndex.h"
#include "raster/BlendModes.h"
#include "raster/Lighting.h"
#include "raster/PassDecode.h"
#include "raster/VectorMath.h"
#include "render/PointCloud.h"
#include "render/PointStore.h"
#include "render/ControlLayer.h"
#include "render/PreRenderData.h"
#include "render/RenderCamera.h"
#include "raster/RenderRecords.h"

namespace mf {

// The eleven layer controls the render checks out, in checkout order.
enum RenderLayer : int {
  kLayerSource,
  kLayerPosition,
  kLayerLife,
  kLayerTexture,
  kLayerNormal,
  kLayerAltNormal,
  kLayerSpecularMatte,
  kLayerDisplace,
  kLayerIbl,
  kLayerReflectionMap,
  kLayerReflectionMatte,
  kRenderLayerCount,
};

inline constexpr PF_ParamIndex kRenderLayerParam[kRenderLayerCount] = {
    SOURCE_LAYER,   POSITION_PASS,  LIFE_LAYER, TEXTURE_LAYER,  NORMAL_PASS,      ALT_NORMAL_PASS,
    SPECULAR_MATTE, DISPLACE_LAYER, IBL_LAYER,  REFLECTION_MAP, REFLECTION_MATTE,
};

// The checked-out layer controls as the stages read them. A layer is present when its world has
// pixels; an absent one is never sampled.
class FrameLayers {
 public:
  void put(RenderLayer which, PF_EffectWorld* world) {
    worlds_[which] = world;
    present_[which] = world && world->data;
  }
  // The host's calls take the worlds they only read as non-const pointers.
  PF_EffectWorld* world(RenderLayer which) const { return worlds_[which]; }
  bool has(RenderLayer which) const { return present_[which]; }

 private:
  PF_EffectWorld* worlds_[kRenderLayerCount] = {};
  bool present_[kRenderLayerCount] = {};
};

// The suites the stages call, acquired by the driver.
struct RenderSuites {
  const PF_WorldSuite2* world;
  const PF_FillMatteSuite2* fill;
  const PFAppSuite4* app;
  const PF_WorldTransformSuite1* transform;
  IterateSuites iterate;
  const AEGP_MemorySuite1* memory;
};

// Per-frame constants derived once from the pre-render record.
struct FrameConstants {
  A_long mode;
  bool two_d;
  bool data;
  float falloff_bias;  // clamped to [-1, 1] and pulled just inside
  bool diffuse;
  bool specular;
  bool alpha_normal;
  uint16_t specular_exponent;
  bool texture;  // texture layer present and the full mode
};

// Transforms built once per frame, each with the flag that says whether it applies.
struct FixedTransforms {
  Matrix4 offset;
  bool offset_in_use;           // any offset, rotation offset or scale away from neutral
  bool rotation_offset_in_use;  // any rotation offset not 0: normals turn with the points
  Vec3 pivot;
  Vec3 scale;
  Matrix4 displacement;
  bool displacement_in_use;
  Matrix4 normal;
  bool normal_in_use;
  Matrix4 ibl;
  bool ibl_in_use;
  Matrix4 reflection;
  bool reflection_in_use;
};

// What light collection decided for the frame.
struct LightSwitches {
  bool collected;       // the list holds at least one record
  bool ibl_on;          // collected and the image-based light layer is present
  bool alpha_lighting;  // a collected light is an alpha light and alpha lights are on
  bool specular_matte;  // the specular matte is sampled per point
};

// Constants of the per-point projection.
struct ProjectionConstants {
  A_long layer_width, layer_height;
  A_u_long downsample_x, downsample_y;
  A_long origin_x, origin_y;
  A_long output_width, output_height;
  A_short base_stamp_size;
  A_short max_stamp_size;  // half the smaller output side, truncated
  double zoom_ratio;       // camera zoom ÷ reference camera zoom
  Vec3 reference_camera_position;
};

// How each stamp is shaped and put into the canvas.
struct StampSetup {
  float half_output;
  A_long base_left_offset, base_top_offset;
  PF_CompositeMode composite;          // from PIXEL_BLEND_MODE
  PF_CompositeMode texture_composite;  // from TEXTURE_BLEND_MODE
  bool texture_times_set;
  A_long texture_total, texture_last, texture_start;  // in_data->time_scale ticks
};

// How each point's passes are decoded and how it is lit.
struct PointSettings {
  PositionDecodeSettings position;
  NormalDecodeSettings normal;
  DisplacementDecodeSettings displacement;
  LightingSettings lighting;
};

// The beginnings of light names that pick a light's roles, each terminated.
struct LightPrefixes {
  char alpha[32];
  char diffuse[32];
  char specular[32];
};

// The frame's settings. The call fills them in while it sets the frame up, in the host's order of
// calls, and every stage after that reads them only.
struct FrameSettings {
  const PreRenderData* pre;  // the controls as pre-render left them
  EffectPlace place;
  A_long effect_layer_index;
  AEGP_LayerH camera_layer;  // null when the composition has no active camera
  LightPrefixes prefixes;
  PF_PixelFormat format = PF_PixelFormat_INVALID;
  FrameLayers layers;

  FrameConstants frame;
  FixedTransforms transforms;
  RenderCamera camera;
  SampleGrid grid;
  ProjectionConstants projection;
  PointSettings point;
  LightList lights;  // a view: the call owns the array
  LightSwitches light_switches;
  StampSetup stamp;
};

// The host as the stages call it: the call's in_data and the suites it acquired for them.
struct StageHost {
  PF_InData* in_data;
  RenderSuites suites;
};

// What the walk hands the sort and the drawing: the points stored in the locked cache.
struct CloudPoints {
  PointStore store;  // room for a record per grid sample
  A_long count = 0;
};

}  // namespace mf
