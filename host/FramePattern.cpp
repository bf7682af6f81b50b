#include "host/FramePattern.h"

#include <algorithm>
#include <cstdio>
#include <regex>
#include <system_error>

namespace mf::host {

namespace fs = std::filesystem;

namespace {

std::string FrameNumber(int frame, int digits) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "%0*d", digits, frame);
  return buffer;
}

}  // namespace

FramePattern FramePattern::Parse(const fs::path& source) {
  FramePattern p;
  p.folder = source.parent_path();
  const std::string name = source.filename().string();
  static const std::regex kHashes("#+");
  static const std::regex kPrintf("%(0?([0-9]+))?d");
  std::smatch m;
  if (std::regex_search(name, m, kHashes)) {
    p.sequence = true;
    p.digits = static_cast<int>(m.length(0));
  } else if (std::regex_search(name, m, kPrintf)) {
    p.sequence = true;
    p.digits = m[2].matched ? std::stoi(m[2].str()) : 0;
    if (p.digits > 18) p.digits = 18;
  }
  if (p.sequence) {
    p.prefix = m.prefix().str();
    p.suffix = m.suffix().str();
  } else {
    p.prefix = name;
  }
  return p;
}

fs::path FramePattern::fileFor(int frame) const {
  if (!sequence) return folder / prefix;
  return folder / (prefix + FrameNumber(frame, digits) + suffix);
}

std::vector<int> FramePattern::framesOnDisk() const {
  std::vector<int> frames;
  if (!sequence) return frames;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder.empty() ? "." : folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() <= prefix.size() + suffix.size()) continue;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) continue;
    std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789-") != std::string::npos) continue;
    try {
      frames.push_back(std::stoi(digits));
    } catch (...) {
    }
  }
  std::sort(frames.begin(), frames.end());
  return frames;
}

std::string FramePattern::text() const {
  if (!sequence) return (folder / prefix).string();
  std::string number = digits ? std::string(digits, '#') : std::string("%d");
  return (folder / (prefix + number + suffix)).string();
}

}  // namespace mf::host
