#include "host/Text.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

#include <vector>

namespace mf::host {
namespace {

#if defined(_WIN32)

constexpr UINT kGbk = 936;

std::string ToUtf8(const std::wstring& wide) {
  int n =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), out.data(), n, nullptr, nullptr);
  return out;
}

#else

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

#endif

}  // namespace

#if defined(_WIN32)

// Code page 936 through the system's tables, one character at a time so that a bad byte becomes
// U+FFFD and decoding goes on at the next byte.
std::string GbkToUtf8(std::string_view gbk) {
  std::wstring wide;
  size_t i = 0;
  while (i < gbk.size()) {
    const bool lead = IsDBCSLeadByteEx(kGbk, static_cast<BYTE>(gbk[i])) && i + 1 < gbk.size();
    wchar_t c[2];
    int n = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data() + i, lead ? 2 : 1, c, 2);
    if (n > 0) {
      wide.append(c, n);
      i += lead ? 2 : 1;
    } else {
      wide += L'\xFFFD';
      ++i;
    }
  }
  return ToUtf8(wide);
}

std::string Utf8ToGbk(std::string_view utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
  std::vector<wchar_t> wide(n > 0 ? n : 0);
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), wide.data(), n);
  int m = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, "?", nullptr);
  std::string out(m > 0 ? m : 0, '\0');
  if (m > 0)
    WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), n, out.data(), m, "?", nullptr);
  return out;
}

#else

std::string GbkToUtf8(std::string_view gbk) {
  return Convert(gbk, "UTF-8", "GBK", "\xEF\xBF\xBD");
}
std::string Utf8ToGbk(std::string_view utf8) {
  return Convert(utf8, "GBK", "UTF-8", "?");
}

#endif

}  // namespace mf::host
