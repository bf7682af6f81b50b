// The person at a terminal: message boxes and dialogs are described on a stream (standard error
// by default) in UTF-8. Nobody is there to answer, so every box gets its first button and every
// dialog Esc, as when a person just presses Enter or Esc.
#pragma once

#include <iosfwd>

#include "PlatformExport.h"
#include "PlatformUser.h"

namespace mf::platform {

class MF_PLATFORM_CXX ConsoleUser : public User {
 public:
  ConsoleUser();
  explicit ConsoleUser(std::ostream& out) : out_(out) {}

  int messageBox(HWND owner, const std::string& text, const std::string& caption,
                 unsigned style) override;
  void runDialog(DialogSession& dialog) override;

 private:
  std::ostream& out_;
};

}  // namespace mf::platform
