// GBK bytes as the plug-in sends them -> UTF-8, through the system's converter rather than the
// host's, so that both sides of a comparison are independent of the code under test.
#pragma once

#include <iconv.h>

#include <string>

namespace mf::test {

inline std::string FromGbk(const std::string& gbk) {
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == (iconv_t)-1) return "<no iconv>";
  std::string in = gbk;
  std::string out(in.size() * 4 + 4, '\0');
  char* src = in.data();
  char* dst = out.data();
  size_t src_left = in.size();
  size_t dst_left = out.size();
  size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (r == (size_t)-1) return "<invalid GBK>";
  out.resize(out.size() - dst_left);
  return out;
}

}  // namespace mf::test
