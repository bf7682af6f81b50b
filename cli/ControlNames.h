// The effect's controls as people name them: identifiers, and each popup's choices by the menu's
// own text and by an English name.
#pragma once

#include <string>
#include <vector>

#include "AE_Effect.h"
#include "host/Scene.h"

namespace mf::cli {

struct PopupChoice {
  int value;
  std::string menu;     // the item as the menu shows it (UTF-8)
  std::string english;  // empty for a separator line
};

// The choices of a control as the effect registered it; empty when it is not a popup.
std::vector<PopupChoice> PopupChoices(const PF_ParamDef& registered, int index);

// The names of the controls the effect registered (the host's registeredParams()).
host::ControlVocabulary ControlWords(const std::vector<PF_ParamDef>& registered);

}  // namespace mf::cli
