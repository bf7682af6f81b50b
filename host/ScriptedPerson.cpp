#include "host/ScriptedPerson.h"

#include "host/Host.h"
#include "host/Text.h"

namespace mf::host {

int ScriptedPerson::messageBox(HWND owner, const std::string& text, const std::string& caption,
                               unsigned style) {
  const int answer = ScriptedUser::messageBox(owner, text, caption, style);
  if (Host* host = Host::current()) {
    host->showMessage(MessageRecord{owner != nullptr, GbkToUtf8(text), GbkToUtf8(caption), style});
  }
  return answer;
}

}  // namespace mf::host
