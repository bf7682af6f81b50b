// Answers the host's smart pre-render command: reads every value control once at the frame's
// time into a PreRenderData record for the render, applies what the chosen render mode implies,
// checks out the input layer and reports the output's extent.
#pragma once

#include "AE_EffectCB.h"

namespace mf {

PF_Err SmartPreRender(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra);

// Rectangle union as the host's extents need it: an empty destination becomes the source; an
// empty source leaves the destination as it is.
void UnionRect(const PF_LRect& src, PF_LRect* dst);

}  // namespace mf
