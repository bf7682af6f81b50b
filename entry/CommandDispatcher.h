#pragma once

#include "AE_Effect.h"

PF_Err CommandDispatcher(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                         PF_ParamDef* params[], PF_LayerDef* output, void* extra);
