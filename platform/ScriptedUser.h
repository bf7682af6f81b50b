// A person who follows a script: acts on dialogs in the order given and remembers every dialog
// put in front of them; a message box gets the answer of Enter. Tests install one with ScopedUser.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "PlatformExport.h"
#include "PlatformUser.h"

namespace mf::platform {

struct ShownDialog {
  std::optional<int> resource;
  HWND owner = nullptr;
  std::string caption;                // UTF-8
  std::vector<ControlInfo> controls;  // as the procedure left them after WM_INITDIALOG
  std::optional<INT_PTR> result;      // what the script ended it with, if it did
};

class MF_PLATFORM_CXX ScriptedUser : public User {
 public:
  using DialogScript = std::function<void(DialogSession&)>;

  // Queued scripts are used one per dialog, oldest first; with none left a dialog gets Esc. A
  // message box gets its first button (Yes in a Yes/No box).
  void actOnDialog(DialogScript script) { scripts_.push_back(std::move(script)); }

  const std::vector<ShownDialog>& dialogs() const { return dialogs_; }
  void forget() { dialogs_.clear(); }

  int messageBox(HWND owner, const std::string& text, const std::string& caption,
                 unsigned style) override;
  void runDialog(DialogSession& dialog) override;

 private:
  std::deque<DialogScript> scripts_;
  std::vector<ShownDialog> dialogs_;
};

// The first button of a message box of that style: what a person pressing Enter chooses.
MF_PLATFORM_CXX int DefaultMessageBoxAnswer(unsigned style);

}  // namespace mf::platform
