// PF_Cmd_UPDATE_PARAMS_UI: brings the effect panel into line with the current control values.
#pragma once

#include "AE_Effect.h"

namespace mf {

// Recomputes, from params[] alone, the slider ranges of the ten open-ended sliders, the labels
// and greying of the four uniform groups and the greying of controls the current render mode or
// switches make irrelevant, and sends each of them to the host. Values are never changed.
PF_Err UpdateParamsUI(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[]);

}  // namespace mf
