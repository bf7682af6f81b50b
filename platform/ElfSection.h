// Reads one named section out of a shared library file, so that tools and tests can look at the
// resources a plug-in carries without loading it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PlatformExport.h"

namespace mf::platform {

// The bytes of section `name` of the 64-bit little-endian ELF file at `path`; nothing when the
// file cannot be read, is not such a file, is damaged, or has no section of that name.
MF_PLATFORM_CXX std::optional<std::vector<uint8_t>> ReadElfSection(const std::string& path,
                                                                   std::string_view name);

}  // namespace mf::platform
