// Conversions between the plug-in's 8-bit text (GBK, code page 936, the system code page its
// host expects), the UTF-16 of resource templates, and the UTF-8 that people and tests read.
// Text that cannot be converted becomes '?' (into GBK) or U+FFFD (into UTF-8), as the system's
// own conversions substitute a default character; nothing is ever dropped silently.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "PlatformExport.h"

namespace mf::platform {

MF_PLATFORM_CXX std::string GbkToUtf8(std::string_view gbk);
MF_PLATFORM_CXX std::string Utf8ToGbk(std::string_view utf8);
MF_PLATFORM_CXX std::string Utf16ToUtf8(std::u16string_view utf16);

// The longest prefix of `gbk` that is at most `max_bytes` long and does not end in the middle of
// a double-byte character.
MF_PLATFORM_CXX size_t GbkPrefixLength(std::string_view gbk, size_t max_bytes);

}  // namespace mf::platform
