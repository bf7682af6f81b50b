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

const char* DepthName(OIIO::TypeDesc type) {
  return type == OIIO::TypeDesc::UINT8    ? "8"
         : type == OIIO::TypeDesc::UINT16 ? "16"
         : type == OIIO::TypeDesc::HALF   ? "half"
                                          : "float";
}

// The file's channel type: the one asked for when the format holds it, else the render's depth
// as near as the format allows.
OIIO::TypeDesc FileType(const fs::path& path, const std::string& extension, int bit_depth,
                        std::optional<FileDepth> asked) {
  if (!asked) {
    if (extension == ".exr") return bit_depth == 32 ? OIIO::TypeDesc::FLOAT : OIIO::TypeDesc::HALF;
    if (bit_depth == 8) return OIIO::TypeDesc::UINT8;
    if (bit_depth == 16 || extension == ".png") return OIIO::TypeDesc::UINT16;
    return OIIO::TypeDesc::FLOAT;
  }
  const OIIO::TypeDesc type = *asked == FileDepth::k8      ? OIIO::TypeDesc::UINT8
                              : *asked == FileDepth::k16   ? OIIO::TypeDesc::UINT16
                              : *asked == FileDepth::kHalf ? OIIO::TypeDesc::HALF
                                                           : OIIO::TypeDesc::FLOAT;
  const bool is_float = type == OIIO::TypeDesc::HALF || type == OIIO::TypeDesc::FLOAT;
  if (extension == ".png" && is_float)
    throw OutputError(path.string() + ": PNG holds 8 or 16 bits, not " + DepthName(type) +
                      "; write .exr or .tif for float values");
  if (extension == ".exr" && !is_float)
    throw OutputError(path.string() + ": EXR holds half or float, not " + DepthName(type) +
                      " bits; write .png or .tif for 8 or 16 bits");
  return type;
}

// One colour configuration for the process: reading $OCIO's is slow.
OIIO::ColorConfig& Colour() {
  static OIIO::ColorConfig config;
  config.geterror();  // a missing $OCIO is not a fault: the built-in spaces serve
  return config;
}

bool IsLinear(const std::string& name) {
  return Lower(name) == "linear";
}

// Linear to the named colour space; throws OutputError naming the spaces known.
OIIO::ColorProcessorHandle Encoder(const std::string& name) {
  OIIO::ColorConfig& config = Colour();
  const char* linear = config.getColorSpaceNameByRole("scene_linear");
  auto processor = config.createColorProcessor(linear ? linear : "linear", name);
  config.geterror();
  if (processor) return processor;
  std::string known;
  const std::vector<std::string> names = config.getColorSpaceNames();
  for (size_t i = 0; i < names.size() && i < 16; ++i)
    known += (known.empty() ? "" : ", ") + names[i];
  if (names.size() > 16) known += ", ...";
  throw OutputError("unknown colour space \"" + name + "\" (known: " + known + ")");
}

// Colour divided by alpha, where alpha leaves any colour to recover.
void Unpremultiply(std::vector<float>& rgba) {
  for (size_t i = 0; i < rgba.size(); i += 4) {
    const float a = rgba[i + 3];
    for (int c = 0; c < 3; ++c) rgba[i + c] = a > 0 ? rgba[i + c] / a : 0.0f;
  }
}

}  // namespace

std::optional<FileDepth> ParseFileDepth(const std::string& text) {
  if (text == "8") return FileDepth::k8;
  if (text == "16") return FileDepth::k16;
  if (text == "half") return FileDepth::kHalf;
  if (text == "float" || text == "32") return FileDepth::kFloat;
  return std::nullopt;
}

FrameOutput::FrameOutput(const fs::path& path, int bit_depth, const OutputSettings& settings)
    : pattern_(host::FramePattern::Parse(path)) {
  extension_ = Lower(path.extension().string());
  if (extension_ != ".exr" && extension_ != ".tif" && extension_ != ".tiff" && extension_ != ".png")
    throw OutputError(path.string() + ": unknown output format \"" + path.extension().string() +
                      "\" (use .exr, .tif, .tiff or .png)");
  if (bit_depth != 8 && bit_depth != 16 && bit_depth != 32)
    throw OutputError("bit depth must be 8, 16 or 32");
  type_ = FileType(path, extension_, bit_depth, settings.depth);
  colorspace_ = settings.colorspace;
  if (!IsLinear(colorspace_)) {
    // Checked for every format, so that a misspelt name is caught before a long render.
    auto encode = Encoder(colorspace_);
    if (type_ == OIIO::TypeDesc::UINT8 || type_ == OIIO::TypeDesc::UINT16) encode_ = encode;
    ignores_colorspace_ = !encode_;
  }
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

  OIIO::ImageSpec spec(w, h, 4, type_);
  spec.channelnames = {"R", "G", "B", "A"};
  spec.alpha_channel = 3;
  if (type_ == OIIO::TypeDesc::UINT8 || type_ == OIIO::TypeDesc::UINT16) {
    Unpremultiply(rgba);
    if (encode_)
      encode_->apply(rgba.data(), w, h, 4, sizeof(float), 4 * sizeof(float),
                     static_cast<OIIO::stride_t>(w) * 4 * sizeof(float));
    // Straight already: the writer must not divide again.
    spec.attribute("oiio:UnassociatedAlpha", 1);
    spec.attribute("oiio:ColorSpace", encode_ ? colorspace_ : std::string("linear"));
  } else {
    spec.attribute("oiio:ColorSpace", "linear");
  }
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
