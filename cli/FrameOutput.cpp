#include "cli/FrameOutput.h"

#include <OpenImageIO/imageio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>
#include <vector>

#include "host/PixelTraits.h"

namespace mf::cli {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

fs::path TempFor(const fs::path& target) {
  return target.parent_path() /
         ("." + target.filename().string() + "." + std::to_string(::getpid()) + ".partial");
}

std::string Clean(std::string message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  return message;
}

}  // namespace

FrameOutput::FrameOutput(const fs::path& path, int bit_depth)
    : pattern_(host::FramePattern::Parse(path)), bit_depth_(bit_depth) {
  extension_ = Lower(path.extension().string());
  if (extension_ != ".exr" && extension_ != ".tif" && extension_ != ".tiff" && extension_ != ".png")
    throw OutputError(path.string() + ": unknown output format \"" + path.extension().string() +
                      "\" (use .exr, .tif, .tiff or .png)");
  if (bit_depth != 8 && bit_depth != 16 && bit_depth != 32)
    throw OutputError("bit depth must be 8, 16 or 32");
}

void FrameOutput::checkWritable() const {
  fs::path folder = pattern_.folder.empty() ? fs::path(".") : pattern_.folder;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder))
    throw OutputError("cannot write to the output folder " + folder.string() +
                      (ec ? ": " + ec.message() : ": it is not a folder"));
  const fs::path probe = TempFor(folder / ".motefield-write-test");
  {
    std::ofstream out(probe);
    if (!out) throw OutputError("cannot write to the output folder " + folder.string());
  }
  fs::remove(probe, ec);
}

void FrameOutput::write(const host::Frame& frame, int frame_number) const {
  const fs::path target = fileFor(frame_number);
  if (frame.empty()) throw OutputError(target.string() + ": the frame has no pixels");
  const PF_EffectWorld& world = frame.world;
  const int w = world.width, h = world.height;

  // The render's full scale becomes 1.0; the file's own type then takes it from there.
  std::vector<float> rgba(static_cast<size_t>(w) * h * 4);
  PF_Err err = host::DispatchFormat(frame.format, [&](auto pixel) {
    using Pixel = decltype(pixel);
    for (int y = 0; y < h; ++y) {
      const Pixel* row = host::PixelAt<Pixel>(world, 0, y);
      float* dst = &rgba[static_cast<size_t>(y) * w * 4];
      for (int x = 0; x < w; ++x) {
        dst[4 * x + 0] = static_cast<float>(host::ToUnit<Pixel>(row[x].red));
        dst[4 * x + 1] = static_cast<float>(host::ToUnit<Pixel>(row[x].green));
        dst[4 * x + 2] = static_cast<float>(host::ToUnit<Pixel>(row[x].blue));
        dst[4 * x + 3] = static_cast<float>(host::ToUnit<Pixel>(row[x].alpha));
      }
    }
    return PF_Err_NONE;
  });
  if (err) throw OutputError(target.string() + ": the frame's pixel format is unknown");

  OIIO::TypeDesc type = OIIO::TypeDesc::UINT8;
  if (extension_ == ".exr") {
    type = bit_depth_ == 32 ? OIIO::TypeDesc::FLOAT : OIIO::TypeDesc::HALF;
  } else if (extension_ == ".png") {
    type = bit_depth_ == 8 ? OIIO::TypeDesc::UINT8 : OIIO::TypeDesc::UINT16;
  } else {
    type = bit_depth_ == 8    ? OIIO::TypeDesc::UINT8
           : bit_depth_ == 16 ? OIIO::TypeDesc::UINT16
                              : OIIO::TypeDesc::FLOAT;
  }
  OIIO::ImageSpec spec(w, h, 4, type);
  spec.channelnames = {"R", "G", "B", "A"};
  spec.alpha_channel = 3;
  // The values are written as they are, without dividing colour by alpha.
  spec.attribute("oiio:UnassociatedAlpha", 1);
  // No time stamp: a frame renders to the same bytes wherever and whenever it is rendered, so
  // frames from a farm's nodes or a re-run match a local render exactly.
  spec.attribute("DateTime", "");
  if (extension_ == ".exr" && !compression_.empty()) spec.attribute("compression", compression_);

  auto out = OIIO::ImageOutput::create(target.string());
  if (!out)
    throw OutputError(target.string() + ": cannot write this format: " + Clean(OIIO::geterror()));
  const fs::path temp = TempFor(target);
  std::error_code ec;
  bool ok = out->open(temp.string(), spec) &&
            out->write_image(OIIO::TypeDesc::FLOAT, rgba.data()) && out->close();
  if (!ok) {
    std::string why = Clean(out->geterror());
    out.reset();
    fs::remove(temp, ec);
    throw OutputError(target.string() + ": writing failed" + (why.empty() ? "" : ": " + why));
  }
  out.reset();
  fs::rename(temp, target, ec);
  if (ec) {
    const std::string why = ec.message();
    fs::remove(temp, ec);
    throw OutputError(target.string() + ": cannot write here: " + why);
  }
}

void FrameOutput::setCompression(const std::string& name) {
  static const char* const kNames[] = {"none",  "rle", "zips", "zip",  "piz",
                                       "pxr24", "b44", "b44a", "dwaa", "dwab"};
  for (const char* known : kNames) {
    if (name == known) {
      compression_ = name;
      return;
    }
  }
  throw OutputError("unknown EXR compression \"" + name +
                    "\"; use none, rle, zips, zip, piz, pxr24, b44, b44a, dwaa or dwab");
}

}  // namespace mf::cli
