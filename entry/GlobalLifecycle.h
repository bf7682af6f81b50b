#pragma once

#include "AE_Effect.h"

namespace mf {

PF_Err About(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);
PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                   PF_LayerDef* output);
PF_Err GlobalSetdown(PF_InData* in_data);

// The oldest host effect API this effect runs on.
constexpr A_short kRequiredApiMajor = 13;
constexpr A_short kRequiredApiMinor = 1;

}  // namespace mf
