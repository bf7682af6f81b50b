// Light terms of one point: walks the frame's light list and adds each light's diffuse, specular
// and alpha contribution into two accumulators.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "AE_Effect.h"
#include "raster/PixelFormat.h"
#include "raster/VectorMath.h"
#include "raster/RenderRecords.h"

namespace mf {

// The frame's relight controls that the lighting reads, converted (percentages as fractions,
// colours ÷ 255). Filled once per frame from the pre-render record.
struct LightingSettings {
  bool enable_falloff;
  bool relative_normals;  // light both sides of a surface by |N·L|
  bool specular_lights;
  bool specular_use_normal;  // specular from the alternate normal
  bool ibl_use_normal;       // image-based light from the alternate normal
  bool ibl_antialias;
  float ibl_gain;
  bool alpha_lights;
  bool use_light_color;  // specular takes the light's colour instead of specular_color
  ColorF specular_color;
  bool hard_specular;  // keep negative specular sums
};

// x raised to a non-negative integer power by repeated squaring; x^0 = 1.
float powi(float x, unsigned n);

// What every point of a frame is lit with.
struct LightingFrame {
  const LightingSettings& settings;
  const LightList& lights;
  bool alpha_uses_normal;  // alpha lights follow the normal like diffuse ones
  bool ibl_active;         // the image-based light has its layer
  bool ibl_rotate;         // ibl_rotation applies to the image-based light's lookups
  const Matrix4& ibl_rotation;
  PF_PixelFormat format;  // of the image-based light's world
  float falloff_bias;     // prepared, in (-1, 1)
};

// One point to light: world position, normal, alternate normal when has_n2, unit view vector.
struct LitPoint {
  Vec3 position;
  Vec3 n;
  bool has_n2;
  Vec3 n2;
  Vec3 v;
  float spec_intensity;
  uint16_t shininess;
};

// One light as every point of a frame sees it: what its evaluation reads that does not change
// from point to point, worked out once, and which of its amounts the accumulation will read.
struct PreparedLight {
  enum class Kind : uint8_t { kParallel, kSpot, kPoint, kAmbient, kImageBased, kUnknown, kUnlit };
  LightRecord* record;
  Kind kind;        // kUnlit: a parallel light or spot without direction, evaluated never
  bool alpha_only;  // an alpha light while alpha lights are on: only its alpha amount counts
  bool falloff;     // its attenuation depends on the distance
  float falloff_exponent;
  Vec3 position;    // of the transform, in float
  Vec3 direction;   // parallel: unit direction to the light; spot: unit axis
  float half_cone;  // spot, radians
  bool feathered;   // spot: its edge fades over feather_span
  float feather_span;
};

// The frame's lights prepared once for all its points. Holds the frame's settings, list and
// rotation by reference.
class PreparedLighting {
 public:
  explicit PreparedLighting(const LightingFrame& frame);

  // Adds the contributions of every light in the frame's list, in order, into lit[i] (alpha
  // slot: alpha lights; colour: diffuse) and specular[i] of each of the count points. The
  // image-based record's colour is overwritten with each point's sample, so one list must not
  // serve two calls at the same time. Returns 0, or PF_Err_BAD_CALLBACK_PARAM when some light
  // could not be evaluated for some point (unknown type, image-based light without world, normal
  // or sample); all other lights and points are still accumulated.
  PF_Err compute(const LitPoint* points, std::size_t count, ColorF* lit, ColorF* specular) const;

  // Whether compute can return an error: only the image-based light and a light of unknown type
  // can, so without them the points of a frame may be lit in any grouping.
  bool canFail() const;

 private:
  PF_Err computeChunk(const LitPoint* points, std::size_t n, ColorF* lit, ColorF* specular) const;

  LightingFrame frame_;
  std::vector<PreparedLight> lights_;
};

// The same for one point, the lights prepared for it alone.
PF_Err ComputeLighting(const LightingFrame& frame, const LitPoint& point, ColorF* lit,
                       ColorF* specular);

}  // namespace mf
