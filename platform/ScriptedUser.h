// A person who follows a script: answers message boxes and acts on dialogs in the order given,
// and remembers everything that was put in front of them. Tests install one with ScopedUser.
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

struct ShownMessageBox {
  HWND owner = nullptr;
  std::string text;     // UTF-8
  std::string caption;  // UTF-8
  unsigned style = 0;
  int answer = 0;
};

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

  // Queued answers are used one per box or dialog, oldest first. With none left, a message box
  // gets its first button (Yes in a Yes/No box) and a dialog gets Esc.
  void answerMessageBox(int button) { answers_.push_back(button); }
  void actOnDialog(DialogScript script) { scripts_.push_back(std::move(script)); }

  const std::vector<ShownMessageBox>& messageBoxes() const { return message_boxes_; }
  const std::vector<ShownDialog>& dialogs() const { return dialogs_; }
  void forget() {
    message_boxes_.clear();
    dialogs_.clear();
  }

  int messageBox(HWND owner, const std::string& text, const std::string& caption,
                 unsigned style) override;
  void runDialog(DialogSession& dialog) override;

 private:
  std::deque<int> answers_;
  std::deque<DialogScript> scripts_;
  std::vector<ShownMessageBox> message_boxes_;
  std::vector<ShownDialog> dialogs_;
};

// The first button of a message box of that style: what a person pressing Enter chooses.
MF_PLATFORM_CXX int DefaultMessageBoxAnswer(unsigned style);

}  // namespace mf::platform
