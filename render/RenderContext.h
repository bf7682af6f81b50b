// The state of one smart-render call that its stages share: what the driver checked out and
// acquired, the frame's constants, the camera, the lights, the grid, the canvas and the cache.
// Everything here lives for the call only; the driver makes one on its stack.
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

// One checked-out layer control (the call's owner of the checkout writes def). It is present when
// its world has pixels.
struct LayerCheckout {
  PF_ParamDef def;
  bool present;
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

struct RenderContext {
  PF_InData* in_data;
  PF_OutData* out_data;
  SuiteHandler* suite_handler;
  const PreRenderData* pre;
  AEGP_PluginID plugin_id;

  char alpha_prefix[32];
  char diffuse_prefix[32];
  char specular_prefix[32];

  PF_PixelFormat format = PF_PixelFormat_INVALID;
  PF_EffectWorld* input;
  PF_EffectWorld* output;
  LayerCheckout layers[kRenderLayerCount];

  RenderSuites suites;

  // Where the effect sits, at the comp time every AEGP query uses.
  A_Time comp_time;
  AEGP_LayerH effect_layer;  // null outside a composition
  AEGP_CompH comp;
  AEGP_LayerH camera_layer;  // null when the composition has no active camera
  A_long effect_layer_index;

  FrameConstants frame;
  FixedTransforms transforms;
  RenderCamera camera;
  ProjectionConstants projection;

  LightList lights;
  LightSwitches light_switches;
  LightingSettings lighting;

  PositionDecodeSettings position_settings;
  NormalDecodeSettings normal_settings;
  DisplacementDecodeSettings displacement_settings;

  SampleGrid grid;
  PF_EffectWorld canvas;
  StampSetup stamp;

  PointStore points;  // the locked pixel cache: room for a record per grid sample
  A_long point_count;
  const uint32_t* order;  // drawing order of the stored points; null: their own order

  PF_EffectWorld* layerWorld(RenderLayer which) {
    return const_cast<PF_EffectWorld*>(&layers[which].def.u.ld);
  }
  bool has(RenderLayer which) const { return layers[which].present; }
};

}  // namespace mf
