#include "ui/UserChangedParam.h"

#include <cstring>

#include "support/Globals.h"
#include "support/SuiteHandler.h"
#include "params/ParamIndex.h"
#include "resources/resource.h"
#include "ui/HostWindow.h"
#include "params/MenuValues.h"

namespace mf {
namespace {

void ShowAlert(HWND owner, int resource, DLGPROC procedure) {
  // A dialog that cannot be opened (a missing resource) is of no consequence: nothing is stored.
  DialogBoxParamA(g_module_handle, MAKEINTRESOURCEA(resource), owner, procedure, 0);
}

// The position pass alert is due only when the chosen layer has pixels now; the layer is
// checked out for that and always checked back in.
PF_Err MaybeShowPassAlert(PF_InData* in_data, SuiteHandler& suites) {
  PF_ParamDef layer;
  std::memset(&layer, 0, sizeof(layer));
  PF_Err err =
      in_data->inter.checkout_param(in_data->effect_ref, POSITION_PASS, in_data->current_time,
                                    in_data->time_step, in_data->time_scale, &layer);
  if (!err) err = in_data->inter.abort(in_data->effect_ref);
  if (layer.u.ld.data && !err) {
    HWND owner = nullptr;
    err = GetMainWindow(suites, &owner);
    if (!err) ShowAlert(owner, IDD_PASS_ALERT, AlertDialogProc<Alert::kPositionPass>);
  }
  PF_Err checkin = in_data->inter.checkin_param(in_data->effect_ref, &layer);
  if (!err) err = checkin;
  return err;
}

}  // namespace

PF_Err UserChangedParam(PF_InData* in_data, PF_OutData*, PF_ParamDef* params[], PF_LayerDef*,
                        PF_UserChangedParamExtra* extra) {
  PF_Err err = PF_Err_NONE;
  SuiteHandler suites(in_data->pica_basicP);
  const PF_ParamIndex index = extra ? extra->param_index : -1;
  if (index == POSITION_PASS && !g_no_pass_alerts) {
    err = MaybeShowPassAlert(in_data, suites);
  } else if (index == RENDER_MODE && !g_no_preview_alerts &&
             IsTwoDMode(params[RENDER_MODE]->u.pd.value)) {
    HWND owner = nullptr;
    err = GetMainWindow(suites, &owner);
    if (!err) ShowAlert(owner, IDD_RENDER_MODE_ALERT, AlertDialogProc<Alert::kRenderMode>);
  } else if (index == ENABLE_PIXEL_PERSPECTIVE && !g_no_pixel_perspective_alerts &&
             params[ENABLE_PIXEL_PERSPECTIVE]->u.bd.value > 0) {
    HWND owner = nullptr;
    err = GetMainWindow(suites, &owner);
    if (!err) {
      ShowAlert(owner, IDD_PIXEL_PERSPECTIVE_ALERT, AlertDialogProc<Alert::kPixelPerspective>);
    }
  }
  return err;
}

template <Alert kAlert>
INT_PTR AlertDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wparam)) {
    case IDOK:
      RememberAlertChoice(dialog, kAlert);
      EndDialog(dialog, IDOK);
      break;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      break;
    default:
      break;  // the check box keeps its own state until the button is pressed
  }
  // However the alert is dealt with, it has been seen: not again until the library reloads.
  *SwitchOf(kAlert).suppressed = true;
  return TRUE;
}

template INT_PTR AlertDialogProc<Alert::kPositionPass>(HWND, UINT, WPARAM, LPARAM);
template INT_PTR AlertDialogProc<Alert::kRenderMode>(HWND, UINT, WPARAM, LPARAM);
template INT_PTR AlertDialogProc<Alert::kPixelPerspective>(HWND, UINT, WPARAM, LPARAM);

PF_Err RememberAlertChoice(HWND dialog, Alert alert) {
  const AlertSwitch& which = SwitchOf(alert);
  PF_Err err = PF_Err_NONE;
  try {
    SuiteHandler suites(g_basic_suite);
    AlertPreferences prefs(suites);
    const bool existed = prefs.exists(which.key);
    if (IsDlgButtonChecked(dialog, IDC_ALERT_DONT_REMIND) != BST_UNCHECKED) {
      prefs.store(which.key);
    } else if (existed) {
      prefs.remove(which.key);
    }
    err = prefs.err();
  } catch (const HostError& thrown) {
    // A dialog procedure answers the dialog, not the host: nothing may leave it as an exception.
    err = thrown.code();
  }
  *which.suppressed = true;
  return err;
}

}  // namespace mf
