// Footage file names: one file used for every frame, or a numbered sequence written as
// "beauty.####.exr" (the run of # is the zero-padded width) or "beauty.%04d.exr" ("%d" for no
// padding). Kept apart from the image reading so that a host without an image library still
// resolves names.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace mf::host {

// A footage source: a file name, or a numbered-sequence pattern in the file name.
struct FramePattern {
  std::filesystem::path folder;
  std::string prefix;  // file name before the frame number (or the whole name)
  std::string suffix;  // after it
  int digits = 0;      // zero-padded width; 0 for "%d"
  bool sequence = false;

  static FramePattern Parse(const std::filesystem::path& source);
  // The file of a frame (the file itself when not a sequence).
  std::filesystem::path fileFor(int frame) const;
  // Frame numbers of the files in the folder that fit the pattern, in order.
  std::vector<int> framesOnDisk() const;
  std::string text() const;  // as written, for messages
};

}  // namespace mf::host
