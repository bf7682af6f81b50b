#include "ui/HostWindow.h"

#include "AE_GeneralPlug.h"

namespace mf {

PF_Err GetMainWindow(SuiteHandler& suites, HWND* window) {
  *window = nullptr;
  const auto* utility =
      suites.get<AEGP_UtilitySuite5>(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion5);
  return utility->AEGP_GetMainHWND(window);
}

}  // namespace mf
