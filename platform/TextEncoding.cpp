#include "TextEncoding.h"

#include <iconv.h>

#include <cerrno>

namespace mf::platform {
namespace {

// Bytes of the character that starts at `p`: one for GBK input, whose bad bytes are skipped
// one at a time; the lead byte and its continuation bytes for UTF-8 input.
size_t Utf8SequenceLength(const char* p, size_t left) {
  const unsigned char lead = static_cast<unsigned char>(*p);
  size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  size_t length = 1;
  while (length < n && length < left && (static_cast<unsigned char>(p[length]) & 0xC0) == 0x80)
    ++length;
  return length;
}

size_t SingleByte(const char*, size_t) {
  return 1;
}

// Converts with iconv, replacing each character that does not convert (or a truncated one at
// the end) by `replacement`.
std::string Convert(const char* to, const char* from, std::string_view input,
                    std::string_view replacement, size_t (*character_length)(const char*, size_t)) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(input);
  std::string out;
  char buffer[256];
  char* in = const_cast<char*>(input.data());
  size_t in_left = input.size();
  while (in_left > 0) {
    char* dst = buffer;
    size_t dst_left = sizeof buffer;
    size_t r = iconv(cd, &in, &in_left, &dst, &dst_left);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      out.append(replacement);
      const size_t skip = character_length(in, in_left);
      in += skip;
      in_left -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  char* dst = buffer;
  size_t dst_left = sizeof buffer;
  iconv(cd, nullptr, nullptr, &dst, &dst_left);
  out.append(buffer, static_cast<size_t>(dst - buffer));
  iconv_close(cd);
  return out;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  return Convert("UTF-8", "CP936", gbk, "\uFFFD", SingleByte);
}

std::string Utf8ToGbk(std::string_view utf8) {
  return Convert("CP936", "UTF-8", utf8, "?", Utf8SequenceLength);
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // an unpaired surrogate
    }
    AppendUtf8(out, c);
  }
  return out;
}

size_t GbkPrefixLength(std::string_view gbk, size_t max_bytes) {
  size_t pos = 0;
  while (pos < gbk.size()) {
    const unsigned char lead = static_cast<unsigned char>(gbk[pos]);
    const size_t width = (lead >= 0x81 && lead <= 0xFE && pos + 1 < gbk.size()) ? 2 : 1;
    if (pos + width > max_bytes) break;
    pos += width;
  }
  return pos;
}

}  // namespace mf::platform
