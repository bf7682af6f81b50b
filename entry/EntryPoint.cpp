#include "entry/CommandDispatcher.h"

MF_EXPORT PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
  return CommandDispatcher(cmd, in_data, out_data, params, output, extra);
}
