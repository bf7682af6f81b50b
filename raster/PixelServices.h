// The host's fill and iterate services for one pixel depth, chosen by the pixel type: the kernels
// templated on the pixel reach the host's per-depth entry points through these overloads alone.
#pragma once

#include "AE_Effect.h"
#include "AE_WorldSuites.h"

namespace mf {

// A per-pixel callback the host's iterate suite of Pixel's depth runs.
template <typename Pixel>
using IterateCallback = PF_Err (*)(void* refcon, A_long x, A_long y, Pixel* in, Pixel* out);

// The host's three iterate suites, one per depth.
struct IterateSuites {
  const PF_Iterate8Suite1* iterate8;
  const PF_iterate16Suite1* iterate16;
  const PF_iterateFloatSuite1* iterate_float;
};

// Copies src_r of src onto dst_r of dst, resampled with the filter the render's quality asks for.
inline PF_Err CopyAtQuality(const PF_WorldTransformSuite1* transform, PF_ProgPtr effect_ref,
                            bool high_quality, PF_EffectWorld* src, PF_EffectWorld* dst,
                            PF_Rect* src_r, PF_Rect* dst_r) {
  return high_quality ? transform->copy_hq(effect_ref, src, dst, src_r, dst_r)
                      : transform->copy(effect_ref, src, dst, src_r, dst_r);
}

inline PF_Err FillPixel(const PF_FillMatteSuite2* fill, PF_ProgPtr effect_ref, const PF_Pixel8& c,
                        const PF_Rect* rect, PF_EffectWorld* world) {
  return fill->fill(effect_ref, &c, rect, world);
}
inline PF_Err FillPixel(const PF_FillMatteSuite2* fill, PF_ProgPtr effect_ref, const PF_Pixel16& c,
                        const PF_Rect* rect, PF_EffectWorld* world) {
  return fill->fill16(effect_ref, &c, rect, world);
}
inline PF_Err FillPixel(const PF_FillMatteSuite2* fill, PF_ProgPtr effect_ref,
                        const PF_PixelFloat& c, const PF_Rect* rect, PF_EffectWorld* world) {
  return fill->fill_float(effect_ref, &c, rect, world);
}

// The iterate suite of a depth: IterateSuiteOf<PF_Pixel16>(suites)->iterate(...).
template <typename Pixel>
auto IterateSuiteOf(const IterateSuites& suites);
template <>
inline auto IterateSuiteOf<PF_Pixel8>(const IterateSuites& suites) {
  return suites.iterate8;
}
template <>
inline auto IterateSuiteOf<PF_Pixel16>(const IterateSuites& suites) {
  return suites.iterate16;
}
template <>
inline auto IterateSuiteOf<PF_PixelFloat>(const IterateSuites& suites) {
  return suites.iterate_float;
}

}  // namespace mf
