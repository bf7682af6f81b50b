#include "entry/CommandDispatcher.h"

PF_Err CommandDispatcher(PF_Cmd, PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*, void*) {
  return PF_Err_NONE;
}
