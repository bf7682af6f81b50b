// The host's main window, owner of the effect's modal dialogs and of the message boxes about the
// user's input.
#pragma once

#include "AE_Effect.h"
#include "Win32.h"
#include "support/SuiteHandler.h"

namespace mf {

// AEGP_GetMainHWND of "AEGP Utility Suite" 11; the host's error when it has no window to give.
PF_Err GetMainWindow(SuiteHandler& suites, HWND* window);

}  // namespace mf
