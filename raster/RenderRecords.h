// Plain records that the render stages and the per-pixel routines hand to one another: the points
// of the pixel cache, the light list, and the reference data of the per-pixel callbacks. None of
// them outlives one render call, and none has operations of its own.
#pragma once

#include <cstdint>

#include "AE_Effect.h"
#include "raster/PixelFormat.h"
#include "raster/VectorMath.h"

namespace mf {

// One point of the cloud. A record whose depth is -1.0 holds no point; the cache is filled
// densely from the first record on and its point count says how many are valid.
struct CloudPoint {
  int32_t screen_x;  // floor of the projected x
  int32_t screen_y;  // floor of the projected y
  int32_t source_x;  // source-layer pixel that gives the colour
  int32_t source_y;
  double fraction_x;      // projected x minus screen x, in [0, 1)
  double fraction_y;      // projected y minus screen y
  double coverage;        // pixel-perspective anti-aliasing coverage; 0 when not used
  float depth;            // camera-space z; the sort key; -1.0 for an empty record
  int16_t stamp_size;     // side of the square stamp in pixels, at least 1
  float life;             // life-layer value at the sample, 0 without one
  ColorF light_terms;     // alpha-light term, then diffuse red, green, blue
  ColorF specular_terms;  // first component, then specular red, green, blue
  ColorF reflection;      // strength in the alpha place, then red, green, blue
  bool has_normal;
  bool is_small;         // stamp of at most one pixel
  bool is_reflective;    // a reflection colour was sampled
  Vec3 position_output;  // camera space with relative camera on, world space otherwise
  Vec3 normal_output;    // rotated into camera space with relative camera on
};

// Depth that marks a cache record holding no point.
inline constexpr float kEmptyPointDepth = -1.0f;

// The host's light-type numbering.
enum : A_long {
  kLightParallel = 0,
  kLightSpot = 1,
  kLightPoint = 2,
  kLightAmbient = 3,
};

// Falloff types after the host's 1-based popup value has been made 0-based.
enum : A_long {
  kFalloffNone = 0,
  kFalloffSmooth = 1,
  kFalloffInverseSquareClamped = 2,
};

struct LightRecord {
  A_long type;         // kLightParallel … kLightAmbient
  A_long layer_index;  // the light layer's index in the composition
  float intensity;     // intensity stream ÷ 100
  ColorF color;        // alpha, red, green, blue (0 … 1); the image-based record's is per point
  float cone_angle;    // degrees
  float cone_feather;  // percent
  Matrix4 transform;   // layer to world: rows 0-2 orientation, row 3 position
  bool is_alpha_light;
  bool is_specular_light;
  bool is_diffuse_light;
  bool casts_shadows;
  float shadow_diffusion;
  float shadow_darkness;
  bool is_image_based;
  PF_EffectWorld* environment;  // image-based record only
  A_long falloff_type;          // kFalloffNone, kFalloffSmooth, kFalloffInverseSquareClamped
  float falloff_radius;
  float falloff_distance;
};

// At most 16 composition lights, then the image-based light.
inline constexpr A_long kMaxLightRecords = 17;

struct LightList {
  bool present;  // false when no record was needed; then lights is never made
  A_long count;
  LightRecord* lights;  // count records, from the general allocator
};

// Reference data of the relight callback.
struct RelightContext {
  ColorF light_terms;           // from the point
  ColorF composite_color;       // 1.0, then the composite-alpha colour ÷ 255
  A_long composite_blend_mode;  // 1 … 6
  ColorF specular_terms;        // from the point
  bool diffuse;
  bool specular;
  bool alpha_lighting;
  bool composite_alpha;
};

// Reference data of the soften callback at the depth of Pixel.
template <typename Pixel>
struct SoftenContext {
  Pixel color;
  A_long stamp_size;
  float bias;  // -1 … 1
};

// Reference data of the sub-pixel shift callback. The weights are the four taps top-left,
// top-right, bottom-left, bottom-right: fx·fy, (1 − fx)·fy, fx·(1 − fy), (1 − fx)·(1 − fy).
struct SubPixelContext {
  PF_EffectWorld* source;       // the stamp
  PF_EffectWorld* destination;  // the anti-aliasing world
  double weights[4];
  A_long width;
  A_long height;
  double alpha_factor;  // -1 … 1
};

}  // namespace mf
