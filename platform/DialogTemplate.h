// Reader of compiled dialog templates, in both the classic (DLGTEMPLATE) and the extended
// (DLGTEMPLATEEX) layout: the dialog's frame, font and caption, and each control's class, ID,
// text or image, style and place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "PlatformExport.h"

namespace mf::platform {

// A field that holds either a 16-bit ordinal (a predefined class atom, a resource number) or a
// string; neither when the template leaves it empty.
struct TemplateField {
  std::optional<uint16_t> ordinal;
  std::u16string text;
};

struct MF_PLATFORM_CXX DialogItemTemplate {
  uint32_t help_id = 0;
  uint32_t ex_style = 0;
  uint32_t style = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  int32_t id = 0;  // the classic layout stores 16 bits, read as signed (-1 is "no ID")
  TemplateField window_class;
  TemplateField title;
  std::vector<uint8_t> creation_data;

  // "button", "edit", "static", "listbox", "scrollbar", "combobox" for the predefined atoms and
  // for class names written out (compared without case); otherwise the name, in UTF-8.
  std::string className() const;
};

struct DialogTemplate {
  bool extended = false;
  uint32_t help_id = 0;
  uint32_t ex_style = 0;
  uint32_t style = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  TemplateField menu;
  TemplateField window_class;
  std::u16string title;
  // Present when the style has DS_SETFONT.
  uint16_t point_size = 0;
  uint16_t weight = 0;
  uint8_t italic = 0;
  uint8_t charset = 0;
  std::u16string typeface;
  std::vector<DialogItemTemplate> items;
};

// Nothing when the bytes end before the template does or are not a template.
MF_PLATFORM_CXX std::optional<DialogTemplate> ParseDialogTemplate(const uint8_t* data, size_t size);

}  // namespace mf::platform
