// PF_Cmd_PARAMS_SETUP: registers the effect's controls with the host.
#pragma once

#include "AE_Effect.h"

namespace mf {

// Adds the 169 controls of the control table in order, registers the effect-panel custom
// controls, reports PARAM_COUNT entries and names the options button.
PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[]);

// The label of the options button in the effect panel (GBK).
const char* OptionsButtonLabel();

}  // namespace mf
