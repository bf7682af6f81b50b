// Answers the host's smart render command: one frame from the pre-render record, the layer
// controls and the composition's camera and lights, turned into a cloud of points, sorted,
// stamped, copied to the output, with the optional grid over it and the point count reported.
#pragma once

#include "AE_EffectCB.h"

namespace mf {

// The Info panel's first line; the second is the number of points drawn.
inline constexpr const char* kPointCountLabel = "Number of pixels : ";

// Description under which the pixel cache is asked for.
inline constexpr const char* kPixelCacheName =
    "Motefield pixel cache.\nTry reducing composition size.";

PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra);

}  // namespace mf
