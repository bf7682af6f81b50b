#include "host/RenderedCamera.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "host/Footage.h"

namespace mf::host {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

[[noreturn]] void Fail(const Scene& scene, const std::string& key, const std::string& what) {
  throw SceneError(scene.file.string() + ": " + key + ": " + what);
}

std::string Key(size_t layer, const char* name) {
  return "layers[" + std::to_string(layer) + "]." + name;
}

double StartSeconds(const json& l) {
  if (!l.contains("start_time") || !l["start_time"].is_number()) return 0.0;
  return l["start_time"].get<double>();  // the composition refuses other values in plain words
}

// The files of "from_exr" from the layer's first frame on, in order.
std::vector<std::pair<int, fs::path>> ExrFiles(const Scene& scene, size_t layer) {
  const json& l = scene.layers[layer].json;
  const std::string key = Key(layer, "from_exr");
  if (!l["from_exr"].is_string() || l["from_exr"].get<std::string>().empty())
    Fail(scene, key, "expected the name of an EXR file or sequence, e.g. \"beauty.####.exr\"");
  const FramePattern pattern = FramePattern::Parse(scene.resolve(l["from_exr"]));
  if (!pattern.sequence) {
    if (l.contains("first_frame"))
      Fail(scene, Key(layer, "first_frame"), pattern.text() + " is one file, not a sequence");
    return {{0, pattern.fileFor(0)}};
  }
  const std::vector<int> numbers = pattern.framesOnDisk();
  if (numbers.empty()) Fail(scene, key, "no file matches " + pattern.text());
  int first = numbers.front();
  if (l.contains("first_frame")) {
    const json& f = l["first_frame"];
    if (!f.is_number_integer() ||
        std::find(numbers.begin(), numbers.end(), f.get<int>()) == numbers.end())
      Fail(scene, Key(layer, "first_frame"),
           "there is no file numbered " + f.dump() + " (the files on disk are numbered " +
               std::to_string(numbers.front()) + " to " + std::to_string(numbers.back()) + ")");
    first = f.get<int>();
  }
  std::vector<std::pair<int, fs::path>> files;
  for (int n : numbers)
    if (n >= first) files.emplace_back(n - first, pattern.fileFor(n));
  return files;
}

ExrCameraHeader Header(const Scene& scene, const std::string& key, const fs::path& file) {
  try {
    return ReadExrCameraHeader(file.string());
  } catch (const CameraImportError& e) {
    Fail(scene, key, file.string() + ": " + e.what());
  }
}

bool InvertZ(const Scene& scene, size_t layer) {
  const json& l = scene.layers[layer].json;
  if (!l.contains("invert_z")) return false;
  if (!l["invert_z"].is_boolean())
    Fail(scene, Key(layer, "invert_z"), "expected true or false, found " + l["invert_z"].dump());
  return l["invert_z"].get<bool>();
}

std::vector<RenderedCameraKey> FromExr(const Scene& scene, size_t layer) {
  const std::string key = Key(layer, "from_exr");
  const bool invert_z = InvertZ(scene, layer);
  const double start = StartSeconds(scene.layers[layer].json);
  const CompositionSettings& comp = scene.composition;
  std::vector<RenderedCameraKey> keys;
  for (const auto& [frame, file] : ExrFiles(scene, layer)) {
    const ExrCameraHeader header = Header(scene, key, file);
    if (header.width != comp.width || header.height != comp.height)
      Fail(scene, key,
           file.string() + ": the display window is " + std::to_string(header.width) + "×" +
               std::to_string(header.height) + ", the composition " + std::to_string(comp.width) +
               "×" + std::to_string(comp.height));
    try {
      keys.push_back({start + frame / comp.frame_rate, CameraFromExrHeader(header, invert_z)});
    } catch (const CameraImportError& e) {
      Fail(scene, key, file.string() + ": " + e.what());
    }
  }
  return keys;
}

std::vector<RenderedCameraKey> FromChan(const Scene& scene, size_t layer) {
  const json& l = scene.layers[layer].json;
  const std::string key = Key(layer, "from_chan");
  if (!l["from_chan"].is_string() || l["from_chan"].get<std::string>().empty())
    Fail(scene, key, "expected the name of a .chan file");
  const fs::path file = scene.resolve(l["from_chan"]);
  std::ifstream in(file, std::ios::binary);
  if (!in) Fail(scene, key, file.string() + ": cannot be read");
  std::stringstream text;
  text << in.rdbuf();

  ChanOptions options;
  options.height = scene.composition.height;
  options.invert_z = InvertZ(scene, layer);
  if (l.contains("rotation_order")) {
    if (!l["rotation_order"].is_string())
      Fail(scene, Key(layer, "rotation_order"), "expected an order such as \"zxy\"");
    options.rotation_order = l["rotation_order"].get<std::string>();
  }
  if (l.contains("zoom") && l["zoom"].is_number() && l["zoom"].get<double>() > 0)
    options.default_zoom = l["zoom"].get<double>();
  std::vector<ChanKey> chan;
  try {
    chan = ParseChan(text.str(), options);
  } catch (const CameraImportError& e) {
    const std::string what = e.what();
    Fail(scene, what.rfind("the rotation order", 0) == 0 ? Key(layer, "rotation_order") : key,
         file.string() + ": " + what);
  }
  double first = chan.front().frame;
  if (l.contains("first_frame")) {
    if (!l["first_frame"].is_number())
      Fail(scene, Key(layer, "first_frame"), "expected a frame number of the .chan file");
    first = l["first_frame"].get<double>();
  }
  const double start = StartSeconds(l);
  std::vector<RenderedCameraKey> keys;
  for (const ChanKey& c : chan)
    if (c.frame >= first)
      keys.push_back({start + (c.frame - first) / scene.composition.frame_rate, c.camera});
  if (keys.empty())
    Fail(scene, Key(layer, "first_frame"), file.string() + ": no key at or after that frame");
  return keys;
}

// Angles move by less than half a turn from key to key, so in-between frames turn the short way.
void Unwrap(std::vector<RenderedCameraKey>& keys) {
  for (size_t i = 1; i < keys.size(); ++i)
    for (int a = 0; a < 3; ++a) {
      double& v = keys[i].camera.orientation[a];
      const double previous = keys[i - 1].camera.orientation[a];
      v -= 360.0 * std::round((v - previous) / 360.0);
    }
}

}  // namespace

std::vector<RenderedCameraKey> LoadRenderedCamera(const Scene& scene, size_t layer) {
  const json& l = scene.layers[layer].json;
  const bool exr = l.contains("from_exr"), chan = l.contains("from_chan");
  if (!exr && !chan) {
    for (const char* k : {"invert_z", "rotation_order", "first_frame"})
      if (l.contains(k)) Fail(scene, Key(layer, k), "needs \"from_exr\" or \"from_chan\"");
    return {};
  }
  if (exr && chan)
    Fail(scene, Key(layer, "from_chan"), "a camera takes from_exr or from_chan, not both");
  for (const char* k : {"position", "point_of_interest", "orientation"})
    if (l.contains(k))
      Fail(scene, Key(layer, k),
           std::string("the camera's pose comes from ") + (exr ? "from_exr" : "from_chan") +
               "; remove this key");
  if (exr && l.contains("zoom"))
    Fail(scene, Key(layer, "zoom"), "the camera's zoom comes from from_exr; remove this key");
  if (exr && l.contains("rotation_order"))
    Fail(scene, Key(layer, "rotation_order"), "only a .chan file has a rotation order");
  std::vector<RenderedCameraKey> keys = exr ? FromExr(scene, layer) : FromChan(scene, layer);
  Unwrap(keys);
  return keys;
}

void AdoptRenderedCameraSize(Scene& scene) {
  for (size_t i = 0; i < scene.layers.size(); ++i) {
    const json& l = scene.layers[i].json;
    if (scene.layers[i].type != "camera" || !l.contains("from_exr")) continue;
    const auto files = ExrFiles(scene, i);
    const ExrCameraHeader header = Header(scene, Key(i, "from_exr"), files.front().second);
    const json& c = scene.doc.contains("composition") ? scene.doc["composition"] : json::object();
    if (header.width < 1 || header.height < 1 || header.width > 30000 || header.height > 30000)
      Fail(scene, Key(i, "from_exr"),
           files.front().second.string() + ": the display window is " +
               std::to_string(header.width) + "×" + std::to_string(header.height) +
               ", not a composition size (1 to 30000 pixels a side)");
    if (!c.contains("width") && !c.contains("height")) {
      scene.composition.width = header.width;
      scene.composition.height = header.height;
    }
    return;  // the first camera sets the size; each key is checked against it
  }
}

}  // namespace mf::host
