// The plug-in's 8-bit text is GBK (code page 936); people read UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace mf::host {

// Undecodable bytes become U+FFFD rather than failing: a name is still shown.
std::string GbkToUtf8(std::string_view gbk);
// Characters GBK cannot hold become '?'.
std::string Utf8ToGbk(std::string_view utf8);

}  // namespace mf::host
