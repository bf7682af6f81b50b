// Writing rendered frames to image files. The format follows the extension (.exr, .tif/.tiff,
// .png). The file's depth is asked for (8, 16, half, float) or else follows the render's where
// the format can hold it: EXR float for 32-bit and half otherwise, TIFF 8, 16 or 32-bit float,
// PNG 8 or 16-bit (a 32-bit render is written as 16-bit). Channels are written red, green, blue,
// alpha, with the render's full scale (255, 32768 or 1.0) mapped to the file's.
//
// Float files (EXR, half or float TIFF) keep the values as the host hands them over: linear,
// colour premultiplied by alpha, nothing clamped. 8- and 16-bit files are what image viewers
// expect: colour divided by alpha (straight) and encoded for display in a colour space that
// OpenImageIO's colour management knows ($OCIO's configuration when set, else its built-in
// linear, sRGB and Rec709), clamped to 0 to 1; the colour space "linear" leaves values as they
// are. Every file is written under a temporary name beside its target and renamed over it when
// complete, so a failure or an interruption never leaves a half-written file.
#pragma once

#include <OpenImageIO/color.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "host/Footage.h"
#include "host/Frame.h"

namespace mf::cli {

class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class FileDepth { k8, k16, kHalf, kFloat };
// "8", "16", "half" or "float"; absent for anything else.
std::optional<FileDepth> ParseFileDepth(const std::string& text);

struct OutputSettings {
  std::optional<FileDepth> depth;   // absent: the render's, where the format can hold it
  std::string colorspace = "sRGB";  // of 8- and 16-bit files
};

class FrameOutput {
 public:
  // Throws OutputError for an unknown extension, a depth the format cannot hold or a colour space
  // that colour management does not know.
  FrameOutput(const std::filesystem::path& path, int bit_depth,
              const OutputSettings& settings = {});

  bool hasPattern() const { return pattern_.sequence; }
  // Whether a display colour space other than linear was asked for but the file keeps linear
  // values (half and float files are never display-encoded).
  bool ignoresColorspace() const { return ignores_colorspace_; }
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
  OIIO::TypeDesc type_;
  std::string colorspace_;             // of integer files
  OIIO::ColorProcessorHandle encode_;  // linear to colorspace_; null for linear
  bool ignores_colorspace_ = false;
};

}  // namespace mf::cli
