#include "host/Footage.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace mf::host {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

[[noreturn]] void Fail(const Scene& scene, const std::string& key, const std::string& what) {
  throw SceneError(scene.file.string() + ": " + key + ": " + what);
}

// Positions of the channels that make one RGBA image; -1 for a channel that is absent (alpha
// then reads 1).
struct ChannelPick {
  int r = -1, g = -1, b = -1, a = -1;
  bool found() const { return r >= 0 && g >= 0 && b >= 0; }
};

int ChannelNamed(const OIIO::ImageSpec& spec, const std::string& name) {
  for (int i = 0; i < spec.nchannels; ++i)
    if (spec.channelnames[i] == name) return i;
  return -1;
}

ChannelPick PickTriple(const OIIO::ImageSpec& spec, const std::string& prefix) {
  static const char* const kTriples[][3] = {{"R", "G", "B"}, {"X", "Y", "Z"}, {"x", "y", "z"}};
  for (const auto& t : kTriples) {
    ChannelPick pick;
    pick.r = ChannelNamed(spec, prefix + t[0]);
    pick.g = ChannelNamed(spec, prefix + t[1]);
    pick.b = ChannelNamed(spec, prefix + t[2]);
    if (pick.found()) return pick;
  }
  return ChannelPick{};
}

ChannelPick PickChannels(const OIIO::ImageSpec& spec, const std::string& channel_set) {
  if (channel_set.empty()) {
    ChannelPick pick;
    pick.r = ChannelNamed(spec, "R");
    pick.g = ChannelNamed(spec, "G");
    pick.b = ChannelNamed(spec, "B");
    if (!pick.found()) {
      int y = ChannelNamed(spec, "Y");
      if (y >= 0) pick.r = pick.g = pick.b = y;
    }
    pick.a = ChannelNamed(spec, "A");
    return pick;
  }
  const std::string prefix = channel_set + ".";
  ChannelPick pick = PickTriple(spec, prefix);
  const bool part_is_set = spec.get_string_attribute("oiio:subimagename") == channel_set;
  if (!pick.found() && part_is_set) pick = PickTriple(spec, "");
  if (!pick.found()) return pick;
  pick.a = ChannelNamed(spec, prefix + "A");
  if (pick.a < 0) pick.a = ChannelNamed(spec, "A");
  return pick;
}

std::string ChannelList(const OIIO::ImageSpec& spec) {
  std::string names;
  for (const auto& n : spec.channelnames) names += (names.empty() ? "" : ", ") + n;
  return names;
}

std::string Clean(std::string message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  return message;
}

// The layer's start in composition frames: "start_time" in seconds, as the composition reads it.
int StartFrame(const Scene& scene, const json& layer) {
  if (!layer.contains("start_time")) return 0;
  const json& t = layer["start_time"];
  const json& seconds = t.is_array() && t.size() == 1 ? t[0] : t;
  if (!seconds.is_number()) return 0;  // the composition refuses it in plain words
  const double frames = seconds.get<double>() * scene.composition.frame_rate;
  return static_cast<int>(std::lround(std::clamp(frames, -1e9, 1e9)));
}

// Which file of a sequence the layer's first frame shows: "first_frame" when given (it must
// exist), else the lowest number on disk; absent when the sequence has no file yet, which the
// render reports as missing footage.
std::optional<int> FirstFile(const Scene& scene, const std::string& k, const json& layer,
                             const FramePattern& pattern) {
  const std::vector<int> on_disk = pattern.framesOnDisk();
  if (!layer.contains("first_frame"))
    return on_disk.empty() ? std::nullopt : std::optional<int>(on_disk.front());
  const json& v = layer["first_frame"];
  if (!pattern.sequence)
    Fail(scene, k + ".first_frame",
         pattern.text() + " is one file, not a numbered sequence (#### or %04d)");
  if (!v.is_number_integer() || std::llabs(v.get<long long>()) > 999999999)
    Fail(scene, k + ".first_frame", "expected a whole file number, found " + v.dump());
  const int first = v.get<int>();
  std::error_code ec;
  if (!fs::exists(pattern.fileFor(first), ec)) {
    std::string have = on_disk.empty()
                           ? "no file matches " + pattern.text()
                           : "the files on disk are numbered " + std::to_string(on_disk.front()) +
                                 " to " + std::to_string(on_disk.back());
    Fail(scene, k + ".first_frame",
         "there is no file " + pattern.fileFor(first).string() + " (" + have + ")");
  }
  return first;
}

}  // namespace

// ---- reading ---------------------------------------------------------------------------------
LayerImage ReadFootageImage(const fs::path& file, const std::string& channel_set) {
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);  // keep alpha as stored
  auto in = OIIO::ImageInput::open(file.string(), &config);
  if (!in) throw LayerError("cannot read " + file.string() + ": " + Clean(OIIO::geterror()));

  OIIO::ImageSpec spec;
  ChannelPick pick;
  int subimage = 0;
  std::string seen;
  for (;; ++subimage) {
    if (!in->seek_subimage(subimage, 0)) break;
    spec = in->spec();
    pick = PickChannels(spec, channel_set);
    if (pick.found()) break;
    seen += (seen.empty() ? "" : "; ") + ChannelList(spec);
  }
  if (!pick.found()) {
    if (channel_set.empty())
      throw LayerError(file.string() + " has no R, G, B channels (it has " + seen +
                       "); name a channel set with \"channels\"");
    throw LayerError(file.string() + " has no channel set \"" + channel_set + "\" (no " +
                     channel_set + ".R/G/B, .X/Y/Z or .x/y/z channels; it has " + seen + ")");
  }
  if (spec.deep) throw LayerError("cannot read " + file.string() + ": deep images are not footage");
  if (spec.width <= 0 || spec.height <= 0 || spec.depth > 1)
    throw LayerError("cannot read " + file.string() + ": not a flat 2D image");

  const int nch = spec.nchannels;
  std::vector<float> data(static_cast<size_t>(spec.width) * spec.height * nch);
  if (!in->read_image(subimage, 0, 0, nch, OIIO::TypeDesc::FLOAT, data.data()))
    throw LayerError("cannot read " + file.string() + ": " + Clean(in->geterror()));

  // The image is the display window; pixels of it outside the data window are transparent.
  LayerImage image;
  image.width = spec.full_width > 0 ? spec.full_width : spec.width;
  image.height = spec.full_height > 0 ? spec.full_height : spec.height;
  const int origin_x = spec.full_width > 0 ? spec.full_x : spec.x;
  const int origin_y = spec.full_height > 0 ? spec.full_y : spec.y;
  image.rgba.assign(static_cast<size_t>(image.width) * image.height * 4, 0.0f);
  for (int y = 0; y < spec.height; ++y) {
    const int iy = spec.y + y - origin_y;
    if (iy < 0 || iy >= image.height) continue;
    for (int x = 0; x < spec.width; ++x) {
      const int ix = spec.x + x - origin_x;
      if (ix < 0 || ix >= image.width) continue;
      const float* src = &data[(static_cast<size_t>(y) * spec.width + x) * nch];
      float* dst = &image.rgba[(static_cast<size_t>(iy) * image.width + ix) * 4];
      dst[0] = src[pick.r];
      dst[1] = src[pick.g];
      dst[2] = src[pick.b];
      dst[3] = pick.a >= 0 ? src[pick.a] : 1.0f;
    }
  }
  return image;
}

// ---- the source ------------------------------------------------------------------------------
FootageSource::FootageSource(const Scene& scene, int64_t cache_bytes) : cache_budget_(cache_bytes) {
  for (size_t i = 0; i < scene.layers.size(); ++i) {
    const SceneLayer& layer = scene.layers[i];
    const std::string k = "layers[" + std::to_string(i) + "]";
    const json& j = layer.json;
    LayerEntry entry;
    entry.name = layer.name;
    if (layer.type == "footage") {
      entry.kind = LayerEntry::Kind::kFootage;
      if (!j.contains("source") || !j["source"].is_string() ||
          j["source"].get<std::string>().empty())
        Fail(scene, k + ".source", "footage needs a \"source\" file name");
      entry.pattern = FramePattern::Parse(scene.resolve(j["source"].get<std::string>()));
      entry.start_frame = StartFrame(scene, j);
      entry.first_file = FirstFile(scene, k, j, entry.pattern);
      if (j.contains("channels")) {
        if (!j["channels"].is_string() || j["channels"].get<std::string>().empty())
          Fail(scene, k + ".channels", "expected the name of a channel set, e.g. \"P\"");
        entry.channels = j["channels"].get<std::string>();
      }
    } else if (layer.type == "solid") {
      entry.kind = LayerEntry::Kind::kSolid;
      entry.width = scene.composition.width;
      entry.height = scene.composition.height;
      for (const char* side : {"width", "height"}) {
        if (!j.contains(side)) continue;
        const json& v = j[side];
        if (!v.is_number() || v.get<double>() != std::floor(v.get<double>()) ||
            v.get<double>() < 1 || v.get<double>() > 30000)
          Fail(scene, k + "." + side, "expected a whole number from 1 to 30000");
        (std::string(side) == "width" ? entry.width : entry.height) = v.get<int>();
      }
      if (j.contains("color")) {
        const json& c = j["color"];
        if (!c.is_array() || c.size() < 3 || c.size() > 4)
          Fail(scene, k + ".color", "expected [r, g, b] or [r, g, b, a], each from 0 to 1");
        for (size_t n = 0; n < c.size(); ++n) {
          if (!c[n].is_number() || !(c[n].get<double>() >= 0 && c[n].get<double>() <= 1))
            Fail(scene, k + ".color[" + std::to_string(n) + "]",
                 "expected a number from 0 to 1 (solid colours run from 0 to 1), found " +
                     c[n].dump());
          entry.color[n] = c[n].get<float>();
        }
      }
    }
    layers_.push_back(std::move(entry));
  }
}

std::shared_ptr<const LayerImage> FootageSource::cached(const std::string& key) {
  auto it = index_.find(key);
  if (it == index_.end()) return nullptr;
  lru_.splice(lru_.begin(), lru_, it->second);
  return it->second->second;
}

void FootageSource::remember(const std::string& key, std::shared_ptr<const LayerImage> image) {
  const int64_t bytes = static_cast<int64_t>(image->rgba.size() * sizeof(float));
  lru_.emplace_front(key, std::move(image));
  index_[key] = lru_.begin();
  cache_bytes_ += bytes;
  // Keep at least the image just made, whatever its size.
  while (cache_bytes_ > cache_budget_ && lru_.size() > 1) {
    const auto& last = lru_.back();
    cache_bytes_ -= static_cast<int64_t>(last.second->rgba.size() * sizeof(float));
    index_.erase(last.first);
    lru_.pop_back();
  }
}

std::shared_ptr<const LayerImage> FootageSource::image(int layer, int frame) {
  if (layer < 0 || layer >= static_cast<int>(layers_.size()))
    throw LayerError("there is no layer " + std::to_string(layer));
  const LayerEntry& entry = layers_[layer];
  if (entry.kind == LayerEntry::Kind::kSolid) {
    std::string key = "solid:" + std::to_string(layer);
    if (auto hit = cached(key)) return hit;
    auto image = std::make_shared<LayerImage>();
    image->width = entry.width;
    image->height = entry.height;
    image->rgba.resize(static_cast<size_t>(entry.width) * entry.height * 4);
    for (size_t i = 0; i < image->rgba.size(); i += 4)
      std::copy(entry.color, entry.color + 4, image->rgba.begin() + i);
    remember(key, image);
    return image;
  }
  if (entry.kind != LayerEntry::Kind::kFootage) return nullptr;
  return footage(entry, frame);
}

std::shared_ptr<const LayerImage> FootageSource::footage(const LayerEntry& entry, int frame) {
  const std::string who = "layer \"" + entry.name + "\": ";
  const FramePattern& pattern = entry.pattern;
  if (pattern.sequence && !entry.first_file)
    throw LayerError(who + "missing footage: no file matches " + pattern.text());
  if (pattern.sequence && frame < entry.start_frame)
    throw LayerError(who + "frame " + std::to_string(frame) +
                     " is before the layer starts (frame " + std::to_string(entry.start_frame) +
                     ", which shows " + pattern.fileFor(*entry.first_file).filename().string() +
                     ")");
  const int number = pattern.sequence ? *entry.first_file + (frame - entry.start_frame) : 0;
  const fs::path file = pattern.fileFor(number);
  const std::string key = file.string() + "\n" + entry.channels;
  if (auto hit = cached(key)) return hit;

  std::error_code ec;
  if (!fs::exists(file, ec)) {
    if (!pattern.sequence)
      throw LayerError(who + "missing footage: " + file.string() + " does not exist");
    std::vector<int> files = pattern.framesOnDisk();
    if (files.empty()) throw LayerError(who + "missing footage: no file matches " + pattern.text());
    throw LayerError(who + "frame " + std::to_string(frame) + " is outside the sequence " +
                     pattern.text() + ": it would read " + file.filename().string() +
                     ", which is missing (files on disk: " + std::to_string(files.front()) +
                     " to " + std::to_string(files.back()) + "; file " +
                     std::to_string(*entry.first_file) + " is frame " +
                     std::to_string(entry.start_frame) + ")");
  }
  std::shared_ptr<LayerImage> image;
  try {
    image = std::make_shared<LayerImage>(ReadFootageImage(file, entry.channels));
  } catch (const LayerError& e) {
    throw LayerError(who + e.what());
  }
  ++decodes_;
  remember(key, image);
  return image;
}

}  // namespace mf::host
