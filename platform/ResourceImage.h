// Reader of the compiled resource format (.res): a sequence of entries, each a header naming the
// resource's type, name and language followed by its data, every part aligned to 4 bytes. The
// native platform layer finds dialog templates, bitmaps and the property list in it as Windows
// finds them in a DLL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ModuleImage.h"
#include "PlatformExport.h"
#include "Win32.h"

namespace mf::platform {

// A resource type or name: a 16-bit number, or a string compared without regard to ASCII case.
class MF_PLATFORM_CXX ResourceId {
 public:
  ResourceId(uint16_t number) : number_(number) {}  // NOLINT: numbers read as in the script
  explicit ResourceId(std::u16string name) : name_(std::move(name)) {}
  // As the A functions take it: MAKEINTRESOURCEA(n), "#n", or a name.
  static std::optional<ResourceId> FromA(LPCSTR id);

  bool isNumber() const { return number_.has_value(); }
  uint16_t number() const { return number_.value_or(0); }
  const std::u16string& name() const { return name_; }

  bool operator==(const ResourceId& other) const;

 private:
  std::optional<uint16_t> number_;
  std::u16string name_;
};

inline constexpr uint16_t kResourceTypeBitmap = 2;
inline constexpr uint16_t kResourceTypeDialog = 5;
inline constexpr uint16_t kLanguageUsEnglish = 1033;

struct ResourceEntry {
  ResourceId type;
  ResourceId name;
  uint16_t language = 0;
  uint16_t memory_flags = 0;
  uint32_t data_version = 0;
  uint32_t version = 0;
  uint32_t characteristics = 0;
  const uint8_t* header = nullptr;  // start of the entry in the image
  const uint8_t* data = nullptr;
  size_t size = 0;
};

class MF_PLATFORM_CXX ResourceImage {
 public:
  // Reads every entry. Returns nothing when the bytes are not a well-formed resource file (a
  // header or data running past the end, inconsistent header sizes); zero bytes after the last
  // entry are alignment and are accepted. The entries point into `data`, which must outlive them.
  static std::optional<ResourceImage> Parse(const uint8_t* data, size_t size);
  static std::optional<ResourceImage> Parse(const ModuleImage& module) {
    return Parse(module.data, module.size);
  }

  const std::vector<ResourceEntry>& entries() const { return entries_; }

  // The entry of that type and name: in the language asked for, or, with none asked for, the
  // first one in the file.
  const ResourceEntry* find(const ResourceId& type, const ResourceId& name,
                            std::optional<uint16_t> language = std::nullopt) const;

 private:
  std::vector<ResourceEntry> entries_;
};

// The resource of the module behind a handle as the Win32 calls receive it; nothing for a null
// handle, a damaged image or a missing resource.
MF_PLATFORM_CXX std::optional<ResourceEntry> FindModuleResource(HINSTANCE module,
                                                                const ResourceId& type,
                                                                const ResourceId& name);

}  // namespace mf::platform
