// The person in front of the stand-in windowing system. Message boxes and modal dialogs are put
// to the installed User, which a test scripts and the command line answers on the console.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Dialogs.h"
#include "ModuleImage.h"
#include "PlatformExport.h"
#include "Win32.h"

namespace mf::platform {

class MF_PLATFORM_CXX User {
 public:
  virtual ~User() = default;
  // Returns the button pressed (IDOK, IDCANCEL, ...). Text and caption are the plug-in's 8-bit
  // text, as passed (GBK; GbkToUtf8 in TextEncoding.h makes it readable).
  virtual int messageBox(HWND owner, const std::string& text, const std::string& caption,
                         unsigned style) = 0;
  // Acts on a modal dialog that its procedure has initialised, until the person is done. The
  // session is valid only during the call. A dialog still open afterwards gets Esc; if its
  // procedure will not end it even then, DialogBoxParamA gives up and returns -1. By default
  // the person presses Esc at once.
  virtual void runDialog(DialogSession& dialog) { dialog.pressEscape(); }
};

// Installs the user; null restores the default, which presses the first button of every box
// (Yes in a Yes/No box) and Esc in every dialog.
MF_PLATFORM_API void SetUser(User* user);
MF_PLATFORM_API User* CurrentUser();
// The user installed with SetUser, or null when the default is in charge.
MF_PLATFORM_API User* InstalledUser();

// Installs a user for the lifetime of the object and puts the previous one back afterwards.
class ScopedUser {
 public:
  explicit ScopedUser(User& user) : previous_(InstalledUser()) { SetUser(&user); }
  ~ScopedUser() { SetUser(previous_); }
  ScopedUser(const ScopedUser&) = delete;
  ScopedUser& operator=(const ScopedUser&) = delete;

 private:
  User* previous_;
};

}  // namespace mf::platform
