#include "entry/CommandDispatcher.h"

#include "entry/GlobalLifecycle.h"
#include "params/SequenceData.h"
#include "render/SmartPreRender.h"
#include "render/SmartRender.h"
#include "ui/CustomControls.h"
#include "ui/OptionsDialog.h"
#include "ui/UserChangedParam.h"

// Handlers that live with their subsystems; declared here so the table below is the one place
// that says which command reaches which handler.
namespace mf {
PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[]);
PF_Err UpdateParamsUI(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[]);
}  // namespace mf

PF_Err CommandDispatcher(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                         PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
  PF_Err err = PF_Err_NONE;
  switch (cmd) {
    case PF_Cmd_ABOUT:
      err = mf::About(in_data, out_data, params, output);
      break;
    case PF_Cmd_GLOBAL_SETUP:
      err = mf::GlobalSetup(in_data, out_data, params, output);
      break;
    case PF_Cmd_GLOBAL_SETDOWN:
      err = mf::GlobalSetdown(in_data);
      break;
    case PF_Cmd_PARAMS_SETUP:
      err = mf::ParamsSetup(in_data, out_data, params);
      break;
    case PF_Cmd_SEQUENCE_SETUP:
      err = mf::SequenceSetup(in_data, out_data);
      break;
    case PF_Cmd_SEQUENCE_RESETUP:
      err = mf::SequenceResetup(in_data, out_data);
      break;
    case PF_Cmd_SEQUENCE_FLATTEN:
      err = mf::SequenceFlatten(in_data, out_data);
      break;
    case PF_Cmd_SEQUENCE_SETDOWN:
      err = mf::SequenceSetdown(in_data, out_data);
      break;
    case PF_Cmd_DO_DIALOG:
      err = mf::DoDialog(in_data, out_data);
      break;
    case PF_Cmd_USER_CHANGED_PARAM:
      err = mf::UserChangedParam(in_data, out_data, params, output,
                                 static_cast<PF_UserChangedParamExtra*>(extra));
      break;
    case PF_Cmd_EVENT:
      err = mf::HandleEvent(in_data, out_data, params, output, static_cast<PF_EventExtra*>(extra));
      break;
    case PF_Cmd_UPDATE_PARAMS_UI:
      err = mf::UpdateParamsUI(in_data, out_data, params);
      break;
    case PF_Cmd_SMART_PRE_RENDER:
      err = mf::SmartPreRender(in_data, out_data, static_cast<PF_PreRenderExtra*>(extra));
      break;

    case PF_Cmd_SMART_RENDER:
      err = mf::SmartRender(in_data, out_data, static_cast<PF_SmartRenderExtra*>(extra));
      break;
    default:
      break;  // every other command answers "done"
  }
  return err;
}
