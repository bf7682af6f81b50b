// The person in front of the stand-in windowing system. Message boxes and modal dialogs are put
// to the installed User, which a test scripts and the command line answers on the console.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ModuleImage.h"
#include "Win32.h"

namespace mf::platform {

class User {
 public:
  virtual ~User() = default;
  // Returns the button pressed (IDOK, IDCANCEL, ...). Text and caption are the plug-in's 8-bit
  // text, as passed.
  virtual int messageBox(HWND owner, const std::string& text, const std::string& caption,
                         unsigned style) = 0;
};

// Installs the user; null restores the default, which presses the first button of every box.
MF_PLATFORM_API void SetUser(User* user);
MF_PLATFORM_API User* CurrentUser();

}  // namespace mf::platform
