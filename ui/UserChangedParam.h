// PF_Cmd_USER_CHANGED_PARAM: the first time the user chooses a position pass, a render mode that
// needs a reference camera, or pixel perspective, a modal alert explains the setting. Each alert
// appears at most once per load of the library; its check box keeps it away for good through a
// preference key.
#pragma once

#include "AE_EffectCB.h"
#include "Win32.h"
#include "ui/AlertPreferences.h"

namespace mf {

PF_Err UserChangedParam(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                        PF_LayerDef* output, PF_UserChangedParamExtra* extra);

// Dialog procedure of one alert (102, 105 or 104).
template <Alert kAlert>
INT_PTR AlertDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Stores or forgets the alert's "do not remind me" choice when the alert is closed with its
// button. Runs inside a dialog procedure, so it reaches the host through g_basic_suite.
PF_Err RememberAlertChoice(HWND dialog, Alert alert);

}  // namespace mf
