// The compositor's transfer modes, on single straight-alpha pixels in unit scale.
//
// Colour-blend modes follow the separable and non-separable blend functions of image
// compositing (the W3C Compositing and Blending formulation): a blend B(Cb, Cs) of the backdrop
// (destination) colour Cb and the source colour Cs, mixed by the backdrop's coverage and then
// laid over the backdrop with source-over, all on straight (unpremultiplied) colour:
//
//   as = source alpha × opacity                     ab = destination alpha
//   ao = as + ab × (1 − as)
//   Cm = (1 − ab) × Cs + ab × B(Cb, Cs)
//   Co = (as × Cm + (1 − as) × ab × Cb) ÷ ao        (ao = 0: the destination is left as it was)
//
// with, per mode:
//   IN_FRONT    B = Cs                                  (plain "normal")
//   DARKEN      B = min(Cb, Cs)        LIGHTEN     B = max(Cb, Cs)
//   MULTIPLY    B = Cb × Cs            SCREEN      B = Cb + Cs − Cb × Cs
//   ADD         B = Cb + Cs            DIFFERENCE  B = |Cb − Cs|
//   OVERLAY     B = HARD_LIGHT(Cs, Cb)
//   HARD_LIGHT  B = Cs ≤ ½ ? Cb × 2Cs : SCREEN(Cb, 2Cs − 1)
//   SOFT_LIGHT  B = Cs ≤ ½ ? Cb − (1 − 2Cs) Cb (1 − Cb) : Cb + (2Cs − 1)(D(Cb) − Cb),
//               D(x) = x ≤ ¼ ? ((16x − 12)x + 4)x : √x
//   HUE         B = SetLum(SetSat(Cs, Sat(Cb)), Lum(Cb))
//   SATURATION  B = SetLum(SetSat(Cb, Sat(Cs)), Lum(Cb))
//   COLOR       B = SetLum(Cs, Lum(Cb))
//   LUMINOSITY  B = SetLum(Cb, Lum(Cs))
// where Lum(C) = 0.3 R + 0.59 G + 0.11 B (Rec. 601 luma), and SetLum shifts C to the wanted luma
// and pulls it back into gamut with ClipColor (toward the luma, keeping it).
//
// On 8- and 16-bit worlds B is clamped to [0, 1] (ADD saturates at white, as the channel cannot
// hold more); on float worlds nothing is clamped, so ADD and friends keep over-range light.
//
// Modes that are not colour blends:
//   COPY       the source replaces the destination: Co = Cs, ao = as.
//   BEHIND     destination-over, the source slides under what is there:
//              ao = ab + as(1 − ab), Co = (ab Cb + (1 − ab) as Cs) ÷ ao.
//   ALPHA_ADD  coverage adds, so two complementary soft edges join without a seam:
//              ao = min(1, as + ab), Co = (as Cs + ab Cb) ÷ (as + ab).
//   MULTIPLY_ALPHA            the source is a matte on the destination's alpha:
//              ao = ab × (1 − opacity × (1 − As)), colour kept (As = source alpha, no opacity).
//   MULTIPLY_ALPHA_LUMA       the same with the source's luma over black, Lum(Cs) × As.
//   MULTIPLY_NOT_ALPHA(_LUMA) the inverted mattes, 1 − As (1 − Lum(Cs) × As) in place of As.
//   With opacity 0 a matte leaves the destination as it is.
//
// rgb_only keeps the destination's alpha for every mode that blends colour (the colour is
// computed as above); the matte modes change only alpha and ignore it.
// DISSOLVE, ADDITIVE_PREMUL and NONE are not served.
#pragma once

#include "AE_WorldSuites.h"
#include "PixelTraits.h"

namespace mf::host {

struct BlendSettings {
  PF_TransferMode mode;
  double opacity;  // 0 … 1
  bool rgb_only;
  bool clamp_blend;  // clamp B(Cb, Cs) to [0, 1]: true for 8- and 16-bit worlds
};

bool IsServedTransferMode(PF_TransferMode mode);

// The composite of src over dst. src.a already includes any mask. Unserved modes leave dst.
UnitPixel BlendPixel(const BlendSettings& settings, const UnitPixel& src, const UnitPixel& dst);

// BlendPixel over n pixels of straight-alpha worlds, dst[i] becoming the composite of src[i] over
// it, stored with the host's rounding. The mode is chosen once for the run, not for each pixel.
template <typename Pixel>
void BlendRun(const BlendSettings& settings, const Pixel* src, Pixel* dst, A_long n);

extern template void BlendRun<PF_Pixel8>(const BlendSettings&, const PF_Pixel8*, PF_Pixel8*,
                                         A_long);
extern template void BlendRun<PF_Pixel16>(const BlendSettings&, const PF_Pixel16*, PF_Pixel16*,
                                          A_long);
extern template void BlendRun<PF_PixelFloat>(const BlendSettings&, const PF_PixelFloat*,
                                             PF_PixelFloat*, A_long);

// Rec. 601 luma of a colour.
inline double Luma(double r, double g, double b) {
  return 0.3 * r + 0.59 * g + 0.11 * b;
}

}  // namespace mf::host
