// The effect's controls as people name them: identifiers, and each popup's choices by the menu's
// own text and by an English name.
#pragma once

#include <string>
#include <vector>

#include "host/Scene.h"

namespace mf::cli {

struct PopupChoice {
  int value;
  std::string menu;     // the item as the menu shows it (UTF-8)
  std::string english;  // empty for a separator line
};

// The choices of params[index]; empty when it is not a popup.
std::vector<PopupChoice> PopupChoices(int index);

host::ControlVocabulary ControlWords();

}  // namespace mf::cli
