// Writing rendered frames to image files. The format follows the extension (.exr, .tif/.tiff,
// .png); the file keeps the render's depth where the format can: EXR float for 32-bit and half
// otherwise, TIFF 8, 16 or 32-bit float, PNG 8 or 16-bit (a 32-bit render is written as 16-bit,
// clamped to 0 to 1). Channels are written red, green, blue, alpha, with the render's full scale
// (255, 32768 or 1.0) mapped to the file's. Every file is written under a temporary name beside
// its target and renamed over it when complete, so a failure or an interruption never leaves a
// half-written file.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "host/Footage.h"
#include "host/Frame.h"

namespace mf::cli {

class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class FrameOutput {
 public:
  // Throws OutputError for an unknown extension.
  FrameOutput(const std::filesystem::path& path, int bit_depth);

  bool hasPattern() const { return pattern_.sequence; }
  std::filesystem::path fileFor(int frame) const { return pattern_.fileFor(frame); }
  // Makes the folder when missing and proves that a file can be written in it; throws
  // OutputError naming the folder.
  void checkWritable() const;
  // Writes one frame; throws OutputError naming the file.
  void write(const host::Frame& frame, int frame_number) const;
  // EXR compression by its OpenEXR name (none, rle, zips, zip, piz, pxr24, b44, b44a, dwaa,
  // dwab); empty keeps the writer's default, zip. Throws OutputError for another name.
  void setCompression(const std::string& name);

 private:
  std::string compression_;
  host::FramePattern pattern_;
  std::string extension_;
  int bit_depth_;
};

}  // namespace mf::cli
