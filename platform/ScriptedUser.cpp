#include "ScriptedUser.h"

#include "TextEncoding.h"

namespace mf::platform {

int DefaultMessageBoxAnswer(unsigned style) {
  switch (style & 0xF) {
    case 2:
      return IDABORT;  // MB_ABORTRETRYIGNORE
    case 3:            // MB_YESNOCANCEL
    case MB_YESNO:
      return IDYES;
    case 5:
      return IDRETRY;  // MB_RETRYCANCEL
    default:
      return IDOK;
  }
}

int ScriptedUser::messageBox(HWND owner, const std::string& text, const std::string& caption,
                             unsigned style) {
  int answer = DefaultMessageBoxAnswer(style);
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  message_boxes_.push_back({owner, GbkToUtf8(text), GbkToUtf8(caption), style, answer});
  return answer;
}

void ScriptedUser::runDialog(DialogSession& dialog) {
  dialogs_.push_back(
      {dialog.resource(), dialog.owner(), dialog.caption(), dialog.controls(), std::nullopt});
  const size_t index = dialogs_.size() - 1;
  if (scripts_.empty()) {
    dialog.pressEscape();
  } else {
    DialogScript script = std::move(scripts_.front());
    scripts_.pop_front();
    script(dialog);
  }
  dialogs_[index].result = dialog.result();
}

}  // namespace mf::platform
