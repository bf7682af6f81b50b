#include "host/Scene.h"

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "host/Host.h"
#include "host/NearestName.h"
#include "host/RenderedCamera.h"
#include "host/Text.h"

namespace mf::host {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

[[noreturn]] void Fail(const fs::path& file, const std::string& key, const std::string& what) {
  throw SceneError(file.string() + ": " + key + ": " + what);
}

double Number(const fs::path& file, const json& j, const std::string& key) {
  if (!j.is_number()) Fail(file, key, "expected a number, found " + j.dump());
  double v = j.get<double>();
  if (!std::isfinite(v)) Fail(file, key, "expected a finite number");
  return v;
}

int Integer(const fs::path& file, const json& j, const std::string& key, int lo, int hi) {
  double v = Number(file, j, key);
  if (v != std::floor(v) || v < lo || v > hi)
    Fail(file, key,
         "expected a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) +
             ", found " + j.dump());
  return static_cast<int>(v);
}

std::string Text(const fs::path& file, const json& j, const std::string& key) {
  if (!j.is_string()) Fail(file, key, "expected text, found " + j.dump());
  return j.get<std::string>();
}

const std::set<std::string> kLayerTypes = {"footage", "solid", "camera", "light"};

// Names match whatever their case, with spaces, hyphens and underscores alike.
std::string Plain(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c == ' ' || c == '-' || c == '_') continue;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

// A popup's value from its number or one of its names.
int PopupValue(const fs::path& file, const json& value, const std::string& key,
               const PF_ParamDef& p, const std::vector<std::vector<std::string>>& names) {
  if (!value.is_string() || names.empty()) return Integer(file, value, key, 1, p.u.pd.num_choices);
  const std::string wanted = Plain(value.get<std::string>());
  std::vector<std::string> all;
  for (size_t v = 0; v < names.size(); ++v) {
    for (const std::string& n : names[v]) {
      if (n.empty()) continue;
      if (Plain(n) == wanted) return static_cast<int>(v + 1);
      all.push_back(n);
    }
  }
  std::string listed;
  for (size_t v = 0; v < names.size(); ++v) {
    if (names[v].empty() || names[v].back().empty()) continue;
    listed += (listed.empty() ? "" : ", ") + std::to_string(v + 1) + " " + names[v].back();
  }
  Fail(file, key,
       "no choice named " + value.dump() + DidYouMean(value.get<std::string>(), all) +
           " (choices: " + listed + "; or the number)");
}

[[noreturn]] void UnknownControl(const fs::path& file, const std::string& key,
                                 const std::string& id, const ControlVocabulary& words) {
  Fail(file, key, "unknown control \"" + id + "\"" + DidYouMean(id, words.identifiers));
}

}  // namespace

std::optional<int> Scene::layerIndex(const std::string& name) const {
  for (size_t i = 0; i < layers.size(); ++i)
    if (layers[i].name == name) return static_cast<int>(i);
  return std::nullopt;
}

std::vector<int> Scene::effectLayers() const {
  std::vector<int> out;
  for (size_t i = 0; i < layers.size(); ++i)
    if (layers[i].json.contains("effect")) out.push_back(static_cast<int>(i));
  return out;
}

fs::path Scene::resolve(const std::string& path) const {
  fs::path p(path);
  return p.is_absolute() ? p : file.parent_path() / p;
}

Scene LoadScene(const fs::path& file) {
  Scene scene;
  scene.file = file;
  std::ifstream in(file);
  if (!in) throw SceneError(file.string() + ": cannot open the scene file");
  try {
    scene.doc = json::parse(in);
  } catch (const json::exception& e) {  // a syntax error, or a number no double can hold
    throw SceneError(file.string() + ": not valid JSON: " + e.what());
  }
  const json& doc = scene.doc;
  if (!doc.is_object()) Fail(file, "(top level)", "expected an object");
  for (auto& [key, value] : doc.items()) {
    if (key != "composition" && key != "layers" && key != "render")
      Fail(file, key,
           "unknown key" + DidYouMean(key, {"composition", "layers", "render"}) +
               " (expected composition, layers, render)");
  }

  if (doc.contains("composition")) {
    const json& c = doc["composition"];
    if (!c.is_object()) Fail(file, "composition", "expected an object");
    for (auto& [key, value] : c.items()) {
      const std::string k = "composition." + key;
      if (key == "width")
        scene.composition.width = Integer(file, value, k, 1, 30000);
      else if (key == "height")
        scene.composition.height = Integer(file, value, k, 1, 30000);
      else if (key == "frame_rate") {
        scene.composition.frame_rate = Number(file, value, k);
        if (scene.composition.frame_rate <= 0) Fail(file, k, "must be above 0");
      } else if (key == "duration") {
        scene.composition.duration = Number(file, value, k);
        if (scene.composition.duration < 0) Fail(file, k, "must not be negative");
      } else {
        Fail(file, k,
             "unknown key" + DidYouMean(key, {"width", "height", "frame_rate", "duration"}) +
                 " (expected width, height, frame_rate, duration)");
      }
    }
  }

  if (doc.contains("layers")) {
    const json& layers = doc["layers"];
    if (!layers.is_array()) Fail(file, "layers", "expected a list of layers");
    std::set<std::string> names;
    for (size_t i = 0; i < layers.size(); ++i) {
      const std::string k = "layers[" + std::to_string(i) + "]";
      const json& l = layers[i];
      if (!l.is_object()) Fail(file, k, "expected an object");
      if (!l.contains("name")) Fail(file, k + ".name", "missing");
      if (!l.contains("type")) Fail(file, k + ".type", "missing");
      SceneLayer layer{Text(file, l["name"], k + ".name"), Text(file, l["type"], k + ".type"), l};
      if (!kLayerTypes.count(layer.type))
        Fail(file, k + ".type",
             "unknown layer type \"" + layer.type + "\"" +
                 DidYouMean(layer.type, {"footage", "solid", "camera", "light"}) +
                 " (expected footage, solid, camera or light)");
      if (!names.insert(layer.name).second)
        Fail(file, k + ".name", "a second layer named \"" + layer.name + "\"");
      if (l.contains("effect")) {
        const json& e = l["effect"];
        if (!e.is_object()) Fail(file, k + ".effect", "expected an object");
        for (auto& [key, value] : e.items()) {
          if (key == "params") {
            if (!value.is_object()) Fail(file, k + ".effect.params", "expected an object");
          } else if (key == "sequence_data") {
            Text(file, value, k + ".effect.sequence_data");
          } else if (key == "expressions") {
            if (!value.is_object()) Fail(file, k + ".effect.expressions", "expected an object");
          } else {
            Fail(file, k + ".effect." + key,
                 "unknown key" + DidYouMean(key, {"params", "sequence_data", "expressions"}) +
                     " (expected params, sequence_data, expressions)");
          }
        }
      }
      scene.layers.push_back(std::move(layer));
    }
  }

  if (doc.contains("render")) {
    const json& r = doc["render"];
    if (!r.is_object()) Fail(file, "render", "expected an object");
    RenderSettings& s = scene.render;
    for (auto& [key, value] : r.items()) {
      const std::string k = "render." + key;
      if (key == "layer") {
        s.layer = Text(file, value, k);
        if (!scene.layerIndex(s.layer)) Fail(file, k, "no layer named \"" + s.layer + "\"");
      } else if (key == "frames") {
        s.frames = value.is_number() ? std::to_string(Integer(file, value, k, 0, 1 << 30))
                                     : Text(file, value, k);
      } else if (key == "bit_depth") {
        s.bit_depth = Integer(file, value, k, 8, 32);
        if (s.bit_depth != 8 && s.bit_depth != 16 && s.bit_depth != 32)
          Fail(file, k, "expected 8, 16 or 32");
      } else if (key == "downsample") {
        s.downsample = Integer(file, value, k, 1, 64);
      } else if (key == "quality") {
        s.quality = Text(file, value, k);
        if (s.quality != "high" && s.quality != "draft") Fail(file, k, "expected high or draft");
      } else if (key == "output") {
        s.output = Text(file, value, k);
      } else if (key == "output_depth") {
        s.output_depth = value.is_number() ? std::to_string(Integer(file, value, k, 8, 32))
                                           : Text(file, value, k);
        if (s.output_depth != "8" && s.output_depth != "16" && s.output_depth != "half" &&
            s.output_depth != "float")
          Fail(file, k, "expected 8, 16, \"half\" or \"float\"");
      } else if (key == "colorspace") {
        s.colorspace = Text(file, value, k);
        if (s.colorspace.empty()) Fail(file, k, "expected the name of a colour space, e.g. sRGB");
      } else {
        static const std::vector<std::string> kKeys = {"layer",        "frames",    "bit_depth",
                                                       "downsample",   "quality",   "output",
                                                       "output_depth", "colorspace"};
        Fail(file, k, "unknown key" + DidYouMean(key, kKeys));
      }
    }
  }
  AdoptRenderedCameraSize(scene);
  return scene;
}

void SaveScene(const Scene& scene, const fs::path& file) {
  fs::path temp = file;
  temp += ".partial";
  {
    std::ofstream out(temp, std::ios::trunc);
    if (!out) throw SceneError(file.string() + ": cannot write here");
    out << scene.doc.dump(2) << '\n';
    if (!out) {
      out.close();
      fs::remove(temp);
      throw SceneError(file.string() + ": writing failed");
    }
  }
  std::error_code ec;
  fs::rename(temp, file, ec);
  if (ec) {
    fs::remove(temp);
    throw SceneError(file.string() + ": cannot write here: " + ec.message());
  }
}

void ApplyControls(const Scene& scene, int layer, EffectInstance& instance,
                   const ControlLookup& lookup, const ControlVocabulary& words) {
  ApplyExpressions(scene, layer, instance, lookup, words);
  const json& l = scene.layers.at(layer).json;
  const std::string base = "layers[" + std::to_string(layer) + "].effect.params.";
  if (!l.contains("effect") || !l["effect"].contains("params")) return;
  const fs::path& file = scene.file;
  for (auto& [id, value] : l["effect"]["params"].items()) {
    const std::string k = base + id;
    std::optional<int> index = lookup(id);
    if (!index || *index <= 0 || *index >= (int)instance.params.size())
      UnknownControl(file, k, id, words);
    PF_ParamDef& p = instance.params[*index];

    if (value.is_array() && !value.empty() && value[0].is_array()) {
      // Keyframes: [[seconds, value], ...]
      if (p.param_type != PF_Param_FLOAT_SLIDER && p.param_type != PF_Param_ANGLE)
        Fail(file, k, "only sliders and angles can be keyframed");
      if (p.flags & PF_ParamFlag_CANNOT_TIME_VARY)
        Fail(file, k, "this control cannot vary over time");
      std::vector<std::pair<double, double>> keys;
      for (size_t i = 0; i < value.size(); ++i) {
        const std::string kk = k + "[" + std::to_string(i) + "]";
        const json& pair = value[i];
        if (!pair.is_array() || pair.size() != 2) Fail(file, kk, "expected [seconds, value]");
        double t = Number(file, pair[0], kk + "[0]");
        double v = Number(file, pair[1], kk + "[1]");
        if (!keys.empty() && t <= keys.back().first) Fail(file, kk, "keyframe times must increase");
        keys.emplace_back(t, v);
      }
      instance.keyframes[*index] = std::move(keys);
      continue;
    }

    switch (p.param_type) {
      case PF_Param_CHECKBOX:
        if (!value.is_boolean()) Fail(file, k, "expected true or false, found " + value.dump());
        p.u.bd.value = value.get<bool>() ? 1 : 0;
        break;
      case PF_Param_POPUP:
        p.u.pd.value = PopupValue(
            file, value, k, p,
            words.choices ? words.choices(*index) : std::vector<std::vector<std::string>>{});
        break;
      case PF_Param_FLOAT_SLIDER: {
        double v = Number(file, value, k);
        if (v < p.u.fs_d.valid_min || v > p.u.fs_d.valid_max) {
          std::ostringstream range;
          range << "out of range: accepts " << p.u.fs_d.valid_min << " to " << p.u.fs_d.valid_max;
          Fail(file, k, range.str());
        }
        p.u.fs_d.value = v;
        break;
      }
      case PF_Param_ANGLE: {
        double degrees = Number(file, value, k);
        if (std::fabs(degrees) > 32000.0) Fail(file, k, "angle out of range (at most ±32000°)");
        p.u.ad.value = static_cast<PF_Fixed>(std::lround(degrees * 65536.0));
        break;
      }
      case PF_Param_COLOR: {
        if (!value.is_array() || value.size() < 3 || value.size() > 4)
          Fail(file, k, "expected [r, g, b] from 0 to 255");
        p.u.cd.value.red = static_cast<A_u_char>(Integer(file, value[0], k + "[0]", 0, 255));
        p.u.cd.value.green = static_cast<A_u_char>(Integer(file, value[1], k + "[1]", 0, 255));
        p.u.cd.value.blue = static_cast<A_u_char>(Integer(file, value[2], k + "[2]", 0, 255));
        p.u.cd.value.alpha = value.size() == 4
                                 ? static_cast<A_u_char>(Integer(file, value[3], k + "[3]", 0, 255))
                                 : 255;
        break;
      }
      case PF_Param_LAYER: {
        if (value.is_null()) {
          p.u.ld.reserved0 = nullptr;
          break;
        }
        std::string name = Text(file, value, k);
        std::optional<int> target = scene.layerIndex(name);
        if (!target) Fail(file, k, "no layer named \"" + name + "\"");
        p.u.ld.reserved0 = reinterpret_cast<void*>(static_cast<intptr_t>(*target + 1));
        break;
      }
      default:
        Fail(file, k, "this control holds no value");
    }
  }
}

// Expressions are kept as the plug-in writes them, in its 8-bit code page.
void ApplyExpressions(const Scene& scene, int layer, EffectInstance& instance,
                      const ControlLookup& lookup, const ControlVocabulary& words) {
  const json& l = scene.layers.at(layer).json;
  if (!l.contains("effect") || !l["effect"].contains("expressions")) return;
  const std::string base = "layers[" + std::to_string(layer) + "].effect.expressions.";
  for (auto& [id, value] : l["effect"]["expressions"].items()) {
    const std::string k = base + id;
    std::optional<int> index = lookup(id);
    if (!index || *index <= 0 || *index >= (int)instance.params.size())
      UnknownControl(scene.file, k, id, words);
    instance.expressions[*index] = Expression{Utf8ToGbk(Text(scene.file, value, k)), true};
  }
}

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}

std::string Base64Encode(const std::vector<uint8_t>& bytes) {
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(v >> s) & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = bytes[i] << 16;
    if (i + 1 < bytes.size()) v |= bytes[i + 1] << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::vector<uint8_t>> Base64Decode(const std::string& text) {
  std::vector<uint8_t> out;
  uint32_t acc = 0;
  int bits = 0;
  size_t padding = 0, symbols = 0;
  for (char c : text) {
    if (c == '\n' || c == '\r' || c == ' ') continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    if (padding) return std::nullopt;  // data after padding
    const char* pos = std::char_traits<char>::find(kAlphabet, 64, c);
    if (!pos) return std::nullopt;
    ++symbols;
    acc = (acc << 6) | static_cast<uint32_t>(pos - kAlphabet);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<uint8_t>((acc >> bits) & 0xff));
    }
  }
  if (padding > 2 || (symbols + padding) % 4 != 0) return std::nullopt;
  return out;
}

}  // namespace mf::host
