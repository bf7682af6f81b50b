// PF_Cmd_DO_DIALOG: the options dialog (resource 101). The user edits this instance's three
// light-name prefixes and may reset or disable all three alerts at once. Confirmed prefixes are
// checked for duplicates and stored in the instance's sequence record. The render works on its own
// copy of that record, so a stored change asks the host for a new copy and a new render.
#pragma once

#include "AE_EffectCB.h"
#include "Win32.h"

namespace mf {

PF_Err DoDialog(PF_InData* in_data, PF_OutData* out_data);

// Dialog procedure; the long parameter at creation is in_data.
INT_PTR OptionsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Fills the three fields from the instance's record.
PF_Err OptionsDialogInit(HWND dialog, PF_InData* in_data);
// On OK: applies the alert switches and takes the edited prefixes into the process-wide
// buffers (at most 30 characters each; an empty field keeps its buffer).
PF_Err OptionsDialogApply(HWND dialog);

}  // namespace mf
