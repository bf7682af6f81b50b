#include "ConsoleUser.h"

#include <iostream>

#include "ScriptedUser.h"
#include "TextEncoding.h"

namespace mf::platform {
namespace {

const char* ButtonName(int button) {
  switch (button) {
    case IDOK:
      return "OK";
    case IDCANCEL:
      return "Cancel";
    case IDABORT:
      return "Abort";
    case IDRETRY:
      return "Retry";
    case IDIGNORE:
      return "Ignore";
    case IDYES:
      return "Yes";
    case IDNO:
      return "No";
    default:
      return "?";
  }
}

}  // namespace

ConsoleUser::ConsoleUser() : out_(std::cerr) {}

int ConsoleUser::messageBox(HWND, const std::string& text, const std::string& caption,
                            unsigned style) {
  const int answer = DefaultMessageBoxAnswer(style);
  out_ << "[" << GbkToUtf8(caption) << "] " << GbkToUtf8(text) << " (" << ButtonName(answer)
       << ")\n";
  return answer;
}

void ConsoleUser::runDialog(DialogSession& dialog) {
  out_ << "[dialog";
  if (dialog.resource()) out_ << " " << *dialog.resource();
  out_ << "] " << dialog.caption() << "\n";
  for (const ControlInfo& control : dialog.controls()) {
    if (control.text.empty() && control.items.empty()) continue;
    out_ << "  ";
    if (control.kind == ControlKind::CheckBox) out_ << (control.check ? "[x] " : "[ ] ");
    if (control.kind == ControlKind::PushButton) out_ << "< ";
    out_ << control.text;
    if (control.kind == ControlKind::PushButton) out_ << " >";
    for (size_t i = 0; i < control.items.size(); ++i)
      out_ << (i ? ", " : " {") << control.items[i] << (i + 1 == control.items.size() ? "}" : "");
    out_ << "\n";
  }
  out_ << "  (Esc)\n";
  dialog.pressEscape();
}

}  // namespace mf::platform
