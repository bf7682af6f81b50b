// Light terms of one point: walks the frame's light list and adds each light's diffuse, specular
// and alpha contribution into two accumulators.
#pragma once

#include <cstdint>

#include "AE_Effect.h"
#include "raster/PixelFormat.h"
#include "raster/VectorMath.h"
#include "render/RenderRecords.h"

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

// Adds the contributions of every light in the list, in order, into lit (alpha slot: alpha
// lights; colour: diffuse) and specular. n is the point's normal, n2 the alternate normal when
// has_n2, v the unit view vector, p the point's world position. falloff_bias is the prepared bias
// in (-1, 1). The image-based record's colour is overwritten with its sample, so one list must not
// serve two points at the same time. Returns 0, or PF_Err_BAD_CALLBACK_PARAM when some light
// could not be evaluated (unknown type, image-based light without world, normal or sample); all
// other lights are still accumulated.
PF_Err ComputeLighting(bool alpha_uses_normal, const LightingSettings& settings, bool ibl_active,
                       bool ibl_rotate, const Matrix4& ibl_matrix, PF_PixelFormat format, Vec3 n,
                       bool has_n2, Vec3 n2, Vec3 v, float spec_intensity, uint16_t shininess,
                       float falloff_bias, const LightList& lights, Vec3 p, ColorF* lit,
                       ColorF* specular);

}  // namespace mf
