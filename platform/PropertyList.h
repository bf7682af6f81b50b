// Reader of a plug-in property list ("PIPL" resource): the properties through which a host
// learns a plug-in's kind, name, category, entry point, versions and flags before loading it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PlatformExport.h"

namespace mf::platform {

struct Property {
  std::string vendor;  // four characters in reading order, e.g. "8BIM"
  std::string key;     // e.g. "name", "eGLO"
  uint32_t id = 0;
  std::vector<uint8_t> data;  // the length the property declares
};

class MF_PLATFORM_CXX PropertyList {
 public:
  // Nothing when the bytes are not a version-1 property list or a property runs past the end.
  // Four-character codes are stored as little-endian 32-bit values.
  static std::optional<PropertyList> Parse(const uint8_t* data, size_t size);

  const std::vector<Property>& properties() const { return properties_; }
  const Property* find(std::string_view key) const;

  // Typed views of a property's data; nothing when the key is missing or the data too short.
  std::optional<std::string> pascalString(std::string_view key) const;
  std::optional<std::string> cString(std::string_view key) const;
  std::optional<std::string> code(std::string_view key) const;  // a four-character value
  std::optional<uint32_t> u32(std::string_view key) const;

 private:
  std::vector<Property> properties_;
};

}  // namespace mf::platform
