// Per-pixel passes that shape a point's stamp before it is blended: softening into a disc with a
// radial alpha ramp, and the sub-pixel shift that moves the stamp by the fractional part of the
// point's screen position.
#pragma once

#include "AE_Effect.h"
#include "raster/RenderRecords.h"

namespace mf {

// Iterate-callback shape, reference data a SoftenContext of the same depth. The input pixel is
// ignored; the output takes the context colour of its depth, with alpha 0 outside the disc of
// radius size ÷ 2 about (size ÷ 2, size ÷ 2) and a linear ramp inside, steepened (bias > 0) or
// flattened (bias < 0). A bias of 1 or more makes the disc opaque; -1 or less, or NaN, makes it
// transparent. Always 0.
template <typename Pixel>
PF_Err SoftenPixel(void* refcon, A_long x, A_long y, Pixel* in, Pixel* out);

// Iterate-callback shape, reference data a SubPixelContext; run over a world one pixel larger
// than the stamp on the right and bottom. Output (x, y) is the bilinear mix of stamp pixels
// (x − 1 … x, y − 1 … y) with the context's weights, taps outside the stamp counting as
// transparent black; the alpha factor pulls alpha toward the strongest (> 0) or weakest (< 0)
// tap. The input pixel is ignored. Always 0.
template <typename Pixel>
PF_Err SubPixelShift(void* refcon, A_long x, A_long y, Pixel* in, Pixel* out);

}  // namespace mf
