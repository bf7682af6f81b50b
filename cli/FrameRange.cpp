#include "cli/FrameRange.h"

#include <cctype>
#include <climits>
#include <set>

namespace mf::cli {
namespace {

// Longest list a range may produce; a typing slip such as "0-10000000000" should not exhaust
// memory.
constexpr long long kMostFrames = 1000000;

[[noreturn]] void Bad(const std::string& text, const std::string& what) {
  throw FrameRangeError("frame range \"" + text + "\": " + what +
                        " (expected e.g. 1-10, 1-10x2 or 3,5,8-9)");
}

// Reads an optionally signed whole number at pos.
long long Number(const std::string& text, const std::string& part, size_t& pos) {
  size_t start = pos;
  if (pos < part.size() && part[pos] == '-') ++pos;
  size_t digits = pos;
  while (pos < part.size() && std::isdigit(static_cast<unsigned char>(part[pos]))) ++pos;
  if (pos == digits) Bad(text, "\"" + part + "\" is not a frame number");
  if (pos - digits > 9) Bad(text, "\"" + part + "\": frame number too large");
  return std::stoll(part.substr(start, pos - start));
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  size_t e = s.find_last_not_of(" \t");
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

}  // namespace

std::vector<int> ParseFrameRange(const std::string& text) {
  std::vector<int> frames;
  std::set<int> seen;
  if (Trim(text).empty()) Bad(text, "no frames given");
  size_t begin = 0;
  while (begin <= text.size()) {
    size_t comma = text.find(',', begin);
    if (comma == std::string::npos) comma = text.size();
    const std::string part = Trim(text.substr(begin, comma - begin));
    if (part.empty()) Bad(text, "an empty item between commas");

    size_t pos = 0;
    long long first = Number(text, part, pos);
    long long last = first;
    long long step = 1;
    if (pos < part.size() && part[pos] == '-') {
      ++pos;
      last = Number(text, part, pos);
      if (pos < part.size() && (part[pos] == 'x' || part[pos] == 'X')) {
        ++pos;
        step = Number(text, part, pos);
        if (step <= 0) Bad(text, "\"" + part + "\": the step must be 1 or more");
      }
    }
    if (pos != part.size()) Bad(text, "\"" + part + "\" is not a frame or a range");
    if (last < first) Bad(text, "\"" + part + "\" ends before it starts");
    for (long long f = first; f <= last; f += step) {
      if (seen.insert(static_cast<int>(f)).second) frames.push_back(static_cast<int>(f));
      if (static_cast<long long>(frames.size()) > kMostFrames)
        Bad(text, "more than " + std::to_string(kMostFrames) + " frames");
    }
    begin = comma + 1;
  }
  return frames;
}

}  // namespace mf::cli
