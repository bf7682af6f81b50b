// Temporary: replaced by the parameter table and the panel rules.
#include "AE_Effect.h"
namespace mf {
__attribute__((weak)) PF_Err ParamsSetup(PF_InData*, PF_OutData*, PF_ParamDef*[]) {
  return 0;
}
__attribute__((weak)) PF_Err UpdateParamsUI(PF_InData*, PF_OutData*, PF_ParamDef*[]) {
  return 0;
}
}  // namespace mf
