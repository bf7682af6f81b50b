#include "cli/ControlNames.h"

#include <map>

#include "host/Text.h"
#include "params/ParamIndex.h"

namespace mf::cli {
namespace {

using Names = std::vector<const char*>;

const Names kBlend = {"add", "screen", "overlay", "normal", "multiply", "average"};
const Names kChannel = {"luminance", "red", "green", "blue", "alpha"};

// English names of each menu's items, in menu order; "" for separators.
const std::map<std::string, Names>& Glosses() {
  static const std::map<std::string, Names> glosses = {
      {"RENDER_MODE",
       {"none", "2D relight", "half", "third", "quarter", "eighth", "32-bit 2D position",
        "32-bit 2D normal", "32-bit position", "32-bit normal"}},
      {"COMPOSITE_ALPHA_BLEND", kBlend},
      {"REFLECTION_BLEND", kBlend},
      {"REFLECTION_MATTE_MAP", kChannel},
      {"SPECULAR_MATTE_MAP", kChannel},
      {"LIFE_MAP", kChannel},
      {"MAP_RGB_TO",
       {"XYZ", "XZY", "YZX", "YXZ", "ZYX", "ZXY", "", "luminance Z", "red Z", "green Z", "blue Z",
        "", "luminance Z projection", "red Z projection", "green Z projection",
        "blue Z projection"}},
      {"PIXEL_BLEND_MODE",
       {"copy", "normal", "darken", "multiply", "add", "lighten", "screen", "difference", "colour",
        "luminosity", "average", "add alpha", "average add alpha", "maximum average alpha"}},
      {"TEXTURE_BLEND_MODE",
       {"copy", "normal", "darken", "multiply", "add", "lighten", "screen", "difference", "colour",
        "luminosity", "", "add alpha", "alpha matte", "luma matte"}},
  };
  return glosses;
}

std::vector<std::string> MenuItems(const char* items) {
  std::vector<std::string> out;
  std::string all = items ? items : "";
  size_t start = 0;
  while (start <= all.size()) {
    size_t bar = all.find('|', start);
    if (bar == std::string::npos) bar = all.size();
    out.push_back(host::GbkToUtf8(all.substr(start, bar - start)));
    start = bar + 1;
  }
  return out;
}

}  // namespace

std::vector<PopupChoice> PopupChoices(const PF_ParamDef& registered, int index) {
  const char* identifier = ParamIdentifier(index);
  if (registered.param_type != PF_Param_POPUP || !identifier) return {};
  const std::vector<std::string> menu = MenuItems(registered.u.pd.u.namesptr);
  auto gloss = Glosses().find(identifier);
  std::vector<PopupChoice> out;
  for (size_t i = 0; i < menu.size(); ++i) {
    const bool separator = menu[i].rfind("(-", 0) == 0;
    std::string english;
    if (!separator && gloss != Glosses().end() && i < gloss->second.size())
      english = gloss->second[i];
    out.push_back({static_cast<int>(i + 1), separator ? "" : menu[i], english});
  }
  return out;
}

host::ControlVocabulary ControlWords(const std::vector<PF_ParamDef>& registered) {
  host::ControlVocabulary words;
  for (int i = 1; i < PARAM_COUNT; ++i) words.identifiers.push_back(ParamIdentifier(i));
  // Each control's names, worked out now: the registered definitions may not outlive the call.
  std::vector<std::vector<std::vector<std::string>>> choices(registered.size());
  for (size_t index = 0; index < registered.size(); ++index) {
    for (const PopupChoice& c : PopupChoices(registered[index], static_cast<int>(index))) {
      std::vector<std::string> these;
      if (!c.menu.empty()) these.push_back(c.menu);
      if (!c.english.empty()) these.push_back(c.english);
      // The British spelling in the menu gloss; the American one is as likely to be typed.
      if (c.english == "colour") these.insert(these.end() - 1, "color");
      choices[index].push_back(std::move(these));
    }
  }
  words.choices = [choices = std::move(choices)](int index) {
    if (index < 0 || static_cast<size_t>(index) >= choices.size())
      return std::vector<std::vector<std::string>>{};
    return choices[index];
  };
  return words;
}

}  // namespace mf::cli
