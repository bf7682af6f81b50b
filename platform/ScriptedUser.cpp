#include "ScriptedUser.h"

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

int ScriptedUser::messageBox(HWND, const std::string&, const std::string&, unsigned style) {
  return DefaultMessageBoxAnswer(style);
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
