// The three averaging pixel blend modes, which the host's compositor does not offer, and the
// routine that puts a stamp into the canvas with one of them.
#pragma once

#include "AE_Effect.h"
#include "AE_WorldSuites.h"
#include "params/MenuValues.h"
#include "raster/PixelServices.h"

namespace mf {

// Reference data of the averaging callbacks: the world the stamp goes into and the stamp's
// destination rectangle in it (left/top place stamp pixel (0, 0)).
struct BlendContext {
  PF_EffectWorld* target;
  A_long left, top, right, bottom;
};

// Whether a PIXEL_BLEND_MODE value is one of the averaging modes, which the host cannot composite.
inline bool IsAverageBlendMode(A_long mode) {
  return mode == kPixelBlendAverage || mode == kPixelBlendAverageAddAlpha ||
         mode == kPixelBlendMaxAverageAlpha;
}

// The iterate callback of an averaging PIXEL_BLEND_MODE value (11, 13 or 14; any other value
// averages like 11) at the depth of Pixel. The input pixel is the stamp pixel S at (x, y); the
// callback reads the target pixel D at (x + left, y + top) itself (all zeros outside the target)
// and writes the blend of the two. It always returns 0; a null context writes nothing.
template <typename Pixel>
IterateCallback<Pixel> AverageBlendFor(A_long mode);

// The image services a stamp's blend uses.
struct BlendSuites {
  IterateSuites iterate;
  const PF_WorldTransformSuite1* transform;
  const PF_WorldSuite2* world;
  const PF_FillMatteSuite2* fill;
};

// The averaging blend of one mode at the depth of Pixel, with what a frame keeps (the callback,
// the suites, the copy the quality asks for) chosen once rather than for every stamp. apply is
// ApplyCustomPixelBlend without its format check.
template <typename Pixel>
class AverageBlend {
 public:
  AverageBlend(A_long mode, const BlendSuites& suites, PF_InData* in_data);
  PF_Err apply(PF_EffectWorld* stamp, A_long stamp_side, PF_EffectWorld* target,
               const PF_Rect& dst_rect) const;

 private:
  IterateCallback<Pixel> fn_;
  BlendSuites suites_;
  PF_InData* in_data_;
  bool high_quality_;
};
extern template class AverageBlend<PF_Pixel8>;
extern template class AverageBlend<PF_Pixel16>;
extern template class AverageBlend<PF_PixelFloat>;

// Blends the stamp (stamp_side × stamp_side, top-left at dst_rect's left/top) into target with
// mode 11, 13 or 14 (any other value averages like 11). The blended pixels replace the target's
// under dst_rect. Returns the first host error, 516 for a pixel format other than the three
// known ones; the temporary world is disposed on every path.
PF_Err ApplyCustomPixelBlend(A_long mode, const BlendSuites& suites, PF_InData* in_data,
                             PF_PixelFormat format, PF_EffectWorld* stamp, A_long stamp_side,
                             PF_EffectWorld* target, const PF_Rect& dst_rect);

}  // namespace mf
