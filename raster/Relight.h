// Applying a point's light terms to its colour, and the six-mode colour blend shared by the
// composite-alpha and reflection steps.
#pragma once

#include "AE_Effect.h"
#include "params/MenuValues.h"
#include "raster/PixelFormat.h"
#include "raster/RenderRecords.h"

namespace mf {

// Blends src over dst's red, green and blue with both weighted by their alphas; dst's alpha is
// kept. 516 and dst untouched for a mode outside 1 … 6. Average mode with both alphas 0 weighs
// nothing and gives 0.
PF_Err BlendFloat(ColorF& dst, const ColorF& src, A_long mode);

// Iterate-callback shape, reference data a RelightContext: diffuse light multiplies, specular
// adds, alpha light either scales alpha or blends the composite colour in. 8- and 16-bit results
// are clamped by the write conversion, float ones are not. Returns the blend's error (the pixel
// is written all the same); a null context writes nothing.
template <typename Pixel>
PF_Err ApplyRelight(void* refcon, A_long x, A_long y, Pixel* in, Pixel* out);

}  // namespace mf
