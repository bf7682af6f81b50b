#include "host/Text.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace mf::host {
namespace {

std::string Convert(std::string_view in, const char* to, const char* from, const char* bad) {
  iconv_t cd = iconv_open(to, from);
  if (cd == (iconv_t)-1) return std::string(in);
  std::string out;
  std::vector<char> buffer(4 * in.size() + 16);
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  while (src_left > 0) {
    char* dst = buffer.data();
    size_t dst_left = buffer.size();
    size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buffer.data(), dst - buffer.data());
    if (r == (size_t)-1) {
      if (errno == E2BIG) continue;
      // An invalid or incomplete sequence: mark it and step over one byte.
      out += bad;
      ++src;
      --src_left;
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  return Convert(gbk, "UTF-8", "GBK", "\xEF\xBF\xBD");
}
std::string Utf8ToGbk(std::string_view utf8) {
  return Convert(utf8, "GBK", "UTF-8", "?");
}

}  // namespace mf::host
