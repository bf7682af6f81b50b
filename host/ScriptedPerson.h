// A person at the host who acts on the effect's dialogs by a script (ScriptedUser) while the
// message boxes they see are also the host's: recorded in Host::messages() and passed to the
// host's message sink. Install one with platform::ScopedUser for as long as the script runs.
#pragma once

#include "ScriptedUser.h"

namespace mf::host {

class ScriptedPerson : public platform::ScriptedUser {
 public:
  int messageBox(HWND owner, const std::string& text, const std::string& caption,
                 unsigned style) override;
};

}  // namespace mf::host
