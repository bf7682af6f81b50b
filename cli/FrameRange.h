// Frame ranges as compositing tools write them: "1-10", "1-10x2" (every second frame),
// "3,5,8-9", or one frame "7". Frames come out in the order written, each once.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace mf::cli {

class FrameRangeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws FrameRangeError saying what is wrong with the text.
std::vector<int> ParseFrameRange(const std::string& text);

}  // namespace mf::cli
