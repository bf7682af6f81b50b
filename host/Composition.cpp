#include "host/Composition.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>
#include <sstream>
#include <stdexcept>

#include "host/Expressions.h"
#include "host/RenderedCamera.h"
#include "host/Text.h"

namespace mf::host {

namespace fs = std::filesystem;
using nlohmann::json;

// ---- values ----------------------------------------------------------------------------------

StreamTuple Animated::at(double seconds) const {
  if (keys.empty()) return StreamTuple{};
  if (keys.size() == 1 || !(seconds > keys.front().first)) return keys.front().second;
  if (seconds >= keys.back().first) return keys.back().second;
  for (size_t i = 1; i < keys.size(); ++i) {
    if (seconds > keys[i].first) continue;
    const auto& [t0, v0] = keys[i - 1];
    const auto& [t1, v1] = keys[i];
    const double f = (seconds - t0) / (t1 - t0);
    StreamTuple v;
    for (int c = 0; c < 4; ++c) v[c] = v0[c] + (v1[c] - v0[c]) * f;
    return v;
  }
  return keys.back().second;
}

std::optional<double> TimeSeconds(const A_Time& time) {
  if (time.scale == 0) return std::nullopt;
  return static_cast<double>(time.value) / static_cast<double>(time.scale);
}

A_Time SecondsToTime(double seconds) {
  double ticks = std::round(seconds * kHostTimeScale);
  // Times beyond what the host's 32-bit ticks can hold are pinned to the last representable one.
  if (!(ticks > -2147483647.0)) ticks = std::isnan(ticks) ? 0.0 : -2147483647.0;
  if (ticks > 2147483647.0) ticks = 2147483647.0;
  return A_Time{static_cast<A_long>(ticks), kHostTimeScale};
}

std::optional<AEGP_StreamType> LayerStreamType(LayerKind kind, AEGP_LayerStream stream) {
  switch (stream) {
    case AEGP_LayerStream_ANCHORPOINT:
    case AEGP_LayerStream_POSITION:
      return AEGP_StreamType_ThreeD_SPATIAL;
    case AEGP_LayerStream_ORIENTATION:
      return AEGP_StreamType_ThreeD;
    case AEGP_LayerStream_ROTATE_X:
    case AEGP_LayerStream_ROTATE_Y:
    case AEGP_LayerStream_ROTATE_Z:
      return AEGP_StreamType_OneD;
    case AEGP_LayerStream_SCALE:
    case AEGP_LayerStream_OPACITY:
      if (kind == LayerKind::kCamera || kind == LayerKind::kLight) return std::nullopt;
      return stream == AEGP_LayerStream_SCALE ? AEGP_StreamType_ThreeD : AEGP_StreamType_OneD;
    case AEGP_LayerStream_ZOOM:
      if (kind == LayerKind::kCamera) return AEGP_StreamType_OneD;
      return std::nullopt;
    case AEGP_LayerStream_COLOR:
      if (kind == LayerKind::kLight) return AEGP_StreamType_COLOR;
      return std::nullopt;
    case AEGP_LayerStream_INTENSITY:
    case AEGP_LayerStream_CONE_ANGLE:
    case AEGP_LayerStream_CONE_FEATHER:
    case AEGP_LayerStream_SHADOW_DARKNESS:
    case AEGP_LayerStream_SHADOW_DIFFUSION:
    case AEGP_LayerStream_CASTS_SHADOWS:
    case AEGP_LayerStream_LIGHT_FALLOFF_TYPE:
    case AEGP_LayerStream_LIGHT_FALLOFF_START:
    case AEGP_LayerStream_LIGHT_FALLOFF_DISTANCE:
      if (kind == LayerKind::kLight) return AEGP_StreamType_OneD;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

// ---- matrices --------------------------------------------------------------------------------
namespace {

// The falloff stream is a popup: it holds the 1-based position of the falloff type, whose own
// numbering starts at 0.
double FalloffPopup(A_long type) {
  return type + 1.0;
}

constexpr double kDegrees = 3.14159265358979323846 / 180.0;
using M3 = std::array<std::array<double, 3>, 3>;
using V3 = std::array<double, 3>;

M3 Identity3() {
  return M3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
}
// Row-vector products: p·(a·b) turns p by a first.
M3 Mul(const M3& a, const M3& b) {
  M3 r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r[i][j] += a[i][k] * b[k][j];
  return r;
}
// Positive angles turn y toward z, z toward x and x toward y (clockwise on screen for z).
M3 RotX(double deg) {
  const double c = std::cos(deg * kDegrees), s = std::sin(deg * kDegrees);
  return M3{{{1, 0, 0}, {0, c, s}, {0, -s, c}}};
}
M3 RotY(double deg) {
  const double c = std::cos(deg * kDegrees), s = std::sin(deg * kDegrees);
  return M3{{{c, 0, -s}, {0, 1, 0}, {s, 0, c}}};
}
M3 RotZ(double deg) {
  const double c = std::cos(deg * kDegrees), s = std::sin(deg * kDegrees);
  return M3{{{c, s, 0}, {-s, c, 0}, {0, 0, 1}}};
}
M3 EulerXYZ(const StreamTuple& deg) {
  return Mul(Mul(RotX(deg[0]), RotY(deg[1])), RotZ(deg[2]));
}
V3 Cross(const V3& a, const V3& b) {
  return V3{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Length(const V3& v) {
  return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// Rows: local x, y, z in world space, local +z toward the target. World "down" (+y) keeps the
// layer upright; looking straight up or down, local x stays the world's x.
M3 Aim(const V3& from, const V3& to) {
  V3 z{to[0] - from[0], to[1] - from[1], to[2] - from[2]};
  const double len = Length(z);
  if (!(len > 0) || !std::isfinite(len)) return Identity3();
  for (double& c : z) c /= len;
  V3 x = Cross(V3{0, 1, 0}, z);
  const double lx = Length(x);
  if (lx < 1e-12) {
    x = V3{1, 0, 0};
  } else {
    for (double& c : x) c /= lx;
  }
  V3 y = Cross(z, x);
  return M3{x, y, z};
}

A_Matrix4 Compose(const M3& r, const V3& t) {
  A_Matrix4 m{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) m.mat[i][j] = r[i][j];
    m.mat[i][3] = 0;
  }
  m.mat[3][0] = t[0];
  m.mat[3][1] = t[1];
  m.mat[3][2] = t[2];
  m.mat[3][3] = 1;
  return m;
}

// ---- scene parsing ---------------------------------------------------------------------------

[[noreturn]] void Fail(const fs::path& file, const std::string& key, const std::string& what) {
  throw SceneError(file.string() + ": " + key + ": " + what);
}

double FiniteNumber(const fs::path& file, const json& j, const std::string& key) {
  if (!j.is_number()) Fail(file, key, "expected a number, found " + j.dump());
  const double v = j.get<double>();
  if (!std::isfinite(v)) Fail(file, key, "expected a finite number");
  return v;
}

struct Range {
  double lo, hi;
};

StreamTuple ParseTuple(const fs::path& file, const json& j, const std::string& key, int size,
                       Range range) {
  StreamTuple v{};
  if (size == 1) {
    v[0] = FiniteNumber(file, j, key);
  } else {
    if (!j.is_array() || (int)j.size() != size)
      Fail(file, key, "expected a list of " + std::to_string(size) + " numbers, found " + j.dump());
    for (int i = 0; i < size; ++i)
      v[i] = FiniteNumber(file, j[i], key + "[" + std::to_string(i) + "]");
  }
  auto text = [](double x) {
    std::ostringstream out;
    out << x;
    return out.str();
  };
  for (int i = 0; i < size; ++i) {
    if (v[i] >= range.lo && v[i] <= range.hi) continue;
    const std::string where = size == 1 ? key : key + "[" + std::to_string(i) + "]";
    Fail(file, where,
         "out of range: accepts " + (std::isinf(range.hi)
                                         ? text(range.lo) + " and above"
                                         : text(range.lo) + " to " + text(range.hi)));
  }
  return v;
}

// A value or a keyframed list [[seconds, value], ...] with increasing times.
Animated ParseAnimated(const fs::path& file, const json& j, const std::string& key, int size,
                       Range range) {
  const bool keyed = j.is_array() && !j.empty() && j[0].is_array() &&
                     (size == 1 || (j[0].size() == 2 && j[0][1].is_array()));
  if (!keyed) return Animated::Constant(ParseTuple(file, j, key, size, range));
  Animated a;
  for (size_t i = 0; i < j.size(); ++i) {
    const std::string k = key + "[" + std::to_string(i) + "]";
    const json& pair = j[i];
    if (!pair.is_array() || pair.size() != 2) Fail(file, k, "expected [seconds, value]");
    const double t = FiniteNumber(file, pair[0], k + "[0]");
    if (!a.keys.empty() && t <= a.keys.back().first) Fail(file, k, "keyframe times must increase");
    a.keys.emplace_back(t, ParseTuple(file, pair[1], k + "[1]", size, range));
  }
  return a;
}

bool ParseBool(const fs::path& file, const json& j, const std::string& key) {
  if (!j.is_boolean()) Fail(file, key, "expected true or false, found " + j.dump());
  return j.get<bool>();
}

std::string ParseChoice(const fs::path& file, const json& j, const std::string& key,
                        const std::vector<std::string>& choices) {
  std::string list;
  for (size_t i = 0; i < choices.size(); ++i)
    list += (i ? (i + 1 == choices.size() ? " or " : ", ") : "") + choices[i];
  if (!j.is_string()) Fail(file, key, "expected " + list + ", found " + j.dump());
  const std::string s = j.get<std::string>();
  if (std::find(choices.begin(), choices.end(), s) == choices.end())
    Fail(file, key, "unknown value \"" + s + "\" (expected " + list + ")");
  return s;
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr Range kAny{-kInf, kInf};
constexpr Range kNonNegative{0, kInf};

const std::set<std::string> kCommonKeys = {"name",     "type",      "effect",    "enabled",
                                           "in_point", "out_point", "start_time"};
const std::set<std::string> kCameraKeys = {
    "camera_type", "position",  "point_of_interest", "orientation",    "zoom",
    "from_exr",    "from_chan", "first_frame",       "rotation_order", "invert_z"};
const std::set<std::string> kLightKeys = {"light_type",
                                          "intensity",
                                          "color",
                                          "cone_angle",
                                          "cone_feather",
                                          "falloff",
                                          "radius",
                                          "falloff_distance",
                                          "casts_shadows",
                                          "shadow_darkness",
                                          "shadow_diffusion",
                                          "position",
                                          "point_of_interest",
                                          "orientation",
                                          "adjustment"};

// Pose and zoom per frame from the render's own camera, when the layer names one.
void TakeRenderedCamera(const Scene& scene, size_t i, CompLayer& layer) {
  const std::vector<RenderedCameraKey> keys = LoadRenderedCamera(scene, i);
  if (keys.empty()) return;
  Animated position, orientation, zoom;
  for (const RenderedCameraKey& k : keys) {
    const HostCamera& c = k.camera;
    position.keys.emplace_back(k.seconds, StreamTuple{c.position[0], c.position[1], c.position[2]});
    orientation.keys.emplace_back(
        k.seconds, StreamTuple{c.orientation[0], c.orientation[1], c.orientation[2]});
    zoom.keys.emplace_back(k.seconds, StreamTuple{c.zoom});
  }
  layer.streams[AEGP_LayerStream_POSITION] = std::move(position);
  layer.streams[AEGP_LayerStream_ORIENTATION] = std::move(orientation);
  layer.streams[AEGP_LayerStream_ZOOM] = std::move(zoom);
  layer.has_point_of_interest = false;
  const nlohmann::json& l = scene.layers[i].json;
  layer.camera_source =
      std::to_string(keys.size()) + (keys.size() == 1 ? " key from " : " keys from ") +
      (l.contains("from_exr") ? l["from_exr"] : l["from_chan"]).get<std::string>() + " (" +
      keys.front().camera.conventions + ")";
}

void ParseLayer(const Scene& scene, size_t i, Composition& comp, CompLayer& layer) {
  const fs::path& file = scene.file;
  const json& l = scene.layers[i].json;
  const std::string base = "layers[" + std::to_string(i) + "].";
  const auto& s = comp.settings();
  auto has = [&](const char* key) { return l.contains(key); };
  auto key = [&](const char* k) { return base + k; };

  if (layer.kind == LayerKind::kCamera || layer.kind == LayerKind::kLight) {
    const auto& own = layer.kind == LayerKind::kCamera ? kCameraKeys : kLightKeys;
    for (auto& [k, v] : l.items()) {
      if (!kCommonKeys.count(k) && !own.count(k))
        Fail(file, base + k,
             std::string("unknown key for a ") +
                 (layer.kind == LayerKind::kCamera ? "camera" : "light"));
    }
  }

  if (has("enabled")) layer.enabled = ParseBool(file, l["enabled"], key("enabled"));
  if (has("adjustment")) layer.adjustment = ParseBool(file, l["adjustment"], key("adjustment"));
  if (has("start_time"))
    layer.offset = ParseTuple(file, l["start_time"], key("start_time"), 1, kAny)[0];
  layer.in_point =
      has("in_point") ? ParseTuple(file, l["in_point"], key("in_point"), 1, kAny)[0] : 0.0;
  layer.out_point = has("out_point")
                        ? ParseTuple(file, l["out_point"], key("out_point"), 1, kAny)[0]
                        : comp.durationSeconds();
  if (has("in_point") && has("out_point") && layer.out_point <= layer.in_point)
    Fail(file, key("out_point"), "must be after in_point");

  auto animated = [&](const char* k, AEGP_LayerStream stream, int size, Range range) {
    if (has(k)) layer.streams[stream] = ParseAnimated(file, l[k], key(k), size, range);
  };

  if (layer.kind == LayerKind::kCamera || layer.kind == LayerKind::kLight) {
    layer.three_d = true;
    animated("position", AEGP_LayerStream_POSITION, 3, kAny);
    animated("point_of_interest", AEGP_LayerStream_ANCHORPOINT, 3, kAny);
    animated("orientation", AEGP_LayerStream_ORIENTATION, 3, kAny);
    // Without either, the layer looks at the composition's centre as a new one does.
    layer.has_point_of_interest = has("point_of_interest") || !has("orientation");
  }

  if (layer.kind == LayerKind::kCamera) {
    layer.camera_type = AEGP_CameraType_PERSPECTIVE;
    if (has("camera_type") && ParseChoice(file, l["camera_type"], key("camera_type"),
                                          {"perspective", "orthographic"}) == "orthographic")
      layer.camera_type = AEGP_CameraType_ORTHOGRAPHIC;
    if (has("zoom")) {
      Animated zoom = ParseAnimated(file, l["zoom"], key("zoom"), 1, kAny);
      for (auto& [t, v] : zoom.keys)
        if (!(v[0] > 0)) Fail(file, key("zoom"), "must be above 0");
      layer.streams[AEGP_LayerStream_ZOOM] = zoom;
    }
    TakeRenderedCamera(scene, i, layer);
  } else if (layer.kind == LayerKind::kLight) {
    layer.light_type = AEGP_LightType_POINT;
    if (has("light_type")) {
      const std::string t = ParseChoice(file, l["light_type"], key("light_type"),
                                        {"parallel", "spot", "point", "ambient"});
      layer.light_type = t == "parallel" ? AEGP_LightType_PARALLEL
                         : t == "spot"   ? AEGP_LightType_SPOT
                         : t == "point"  ? AEGP_LightType_POINT
                                         : AEGP_LightType_AMBIENT;
    }
    animated("intensity", AEGP_LayerStream_INTENSITY, 1, kAny);
    if (has("color")) {
      const json& c = l["color"];
      const bool keyed = c.is_array() && !c.empty() && c[0].is_array();
      Animated color;
      if (keyed) {
        color = ParseAnimated(file, c, key("color"), 3, Range{0, 1});
      } else {
        color = Animated::Constant(ParseTuple(file, c, key("color"), 3, Range{0, 1}));
      }
      // Scenes write red, green, blue; the stream holds alpha first.
      for (auto& [t, v] : color.keys) v = StreamTuple{1.0, v[0], v[1], v[2]};
      layer.streams[AEGP_LayerStream_COLOR] = color;
    }
    animated("cone_angle", AEGP_LayerStream_CONE_ANGLE, 1, Range{0, 180});
    animated("cone_feather", AEGP_LayerStream_CONE_FEATHER, 1, Range{0, 100});
    animated("radius", AEGP_LayerStream_LIGHT_FALLOFF_START, 1, kNonNegative);
    animated("falloff_distance", AEGP_LayerStream_LIGHT_FALLOFF_DISTANCE, 1, kNonNegative);
    animated("shadow_darkness", AEGP_LayerStream_SHADOW_DARKNESS, 1, Range{0, 100});
    animated("shadow_diffusion", AEGP_LayerStream_SHADOW_DIFFUSION, 1, kNonNegative);
    if (has("casts_shadows"))
      layer.streams[AEGP_LayerStream_CASTS_SHADOWS] = Animated::Constant(
          {ParseBool(file, l["casts_shadows"], key("casts_shadows")) ? 1.0 : 0.0, 0, 0, 0});
    if (has("falloff")) {
      const std::string f = ParseChoice(file, l["falloff"], key("falloff"),
                                        {"none", "smooth", "inverse_square_clamped"});
      const double popup = FalloffPopup(f == "none"     ? AEGP_LightFalloff_NONE
                                        : f == "smooth" ? AEGP_LightFalloff_SMOOTH
                                                        : AEGP_LightFalloff_INVERSE_SQUARE_CLAMPED);
      layer.streams[AEGP_LayerStream_LIGHT_FALLOFF_TYPE] = Animated::Constant({popup, 0, 0, 0});
    }
  } else {
    layer.width = s.width;
    layer.height = s.height;
    if (layer.kind == LayerKind::kSolid) {
      if (has("width"))
        layer.width = (int)ParseTuple(file, l["width"], key("width"), 1, Range{1, 30000})[0];
      if (has("height"))
        layer.height = (int)ParseTuple(file, l["height"], key("height"), 1, Range{1, 30000})[0];
    }
    if (has("three_d")) layer.three_d = ParseBool(file, l["three_d"], key("three_d"));
    if (has("adjustment")) layer.adjustment = ParseBool(file, l["adjustment"], key("adjustment"));
    auto vector = [&](const char* k, AEGP_LayerStream stream) {
      if (has(k) && l[k].is_array() && !l[k].empty() && l[k][0].is_number() && l[k].size() == 2) {
        // A 2D layer may give x and y only.
        json padded = l[k];
        padded.push_back(0);
        layer.streams[stream] = ParseAnimated(file, padded, key(k), 3, kAny);
      } else if (has(k)) {
        layer.streams[stream] = ParseAnimated(file, l[k], key(k), 3, kAny);
      }
    };
    vector("position", AEGP_LayerStream_POSITION);
    vector("anchor_point", AEGP_LayerStream_ANCHORPOINT);
    vector("orientation", AEGP_LayerStream_ORIENTATION);
  }
}

void AddDefaults(const Composition& comp, CompLayer& layer) {
  const auto& s = comp.settings();
  auto set = [&](AEGP_LayerStream stream, StreamTuple v) {
    if (!layer.streams.count(stream)) layer.streams[stream] = Animated::Constant(v);
  };
  const double cx = s.width / 2.0, cy = s.height / 2.0;
  set(AEGP_LayerStream_ORIENTATION, {0, 0, 0, 0});
  set(AEGP_LayerStream_ROTATE_X, {0, 0, 0, 0});
  set(AEGP_LayerStream_ROTATE_Y, {0, 0, 0, 0});
  set(AEGP_LayerStream_ROTATE_Z, {0, 0, 0, 0});
  if (layer.kind == LayerKind::kCamera || layer.kind == LayerKind::kLight) {
    set(AEGP_LayerStream_POSITION, {cx, cy, -comp.defaultZoom(), 0});
    set(AEGP_LayerStream_ANCHORPOINT, {cx, cy, 0, 0});
  } else {
    set(AEGP_LayerStream_POSITION, {cx, cy, 0, 0});
    set(AEGP_LayerStream_ANCHORPOINT, {layer.width / 2.0, layer.height / 2.0, 0, 0});
    set(AEGP_LayerStream_SCALE, {100, 100, 100, 0});
    set(AEGP_LayerStream_OPACITY, {100, 0, 0, 0});
  }
  if (layer.kind == LayerKind::kCamera) {
    if (layer.camera_type == static_cast<AEGP_CameraType>(AEGP_CameraType_NONE))
      layer.camera_type = AEGP_CameraType_PERSPECTIVE;
    set(AEGP_LayerStream_ZOOM, {comp.defaultZoom(), 0, 0, 0});
  }
  if (layer.kind == LayerKind::kLight) {
    if (layer.light_type == static_cast<AEGP_LightType>(AEGP_LightType_NONE))
      layer.light_type = AEGP_LightType_POINT;
    set(AEGP_LayerStream_INTENSITY, {100, 0, 0, 0});
    set(AEGP_LayerStream_COLOR, {1, 1, 1, 1});
    set(AEGP_LayerStream_CONE_ANGLE, {90, 0, 0, 0});
    set(AEGP_LayerStream_CONE_FEATHER, {50, 0, 0, 0});
    set(AEGP_LayerStream_SHADOW_DARKNESS, {100, 0, 0, 0});
    set(AEGP_LayerStream_SHADOW_DIFFUSION, {0, 0, 0, 0});
    set(AEGP_LayerStream_CASTS_SHADOWS, {0, 0, 0, 0});
    set(AEGP_LayerStream_LIGHT_FALLOFF_TYPE, {FalloffPopup(AEGP_LightFalloff_NONE), 0, 0, 0});
    set(AEGP_LayerStream_LIGHT_FALLOFF_START, {500, 0, 0, 0});
    set(AEGP_LayerStream_LIGHT_FALLOFF_DISTANCE, {500, 0, 0, 0});
  }
}

}  // namespace

// ---- composition -----------------------------------------------------------------------------

Composition::Composition(CompositionSettings settings) : settings_(settings) {}

std::unique_ptr<Composition> Composition::FromScene(const Scene& scene) {
  auto comp = std::make_unique<Composition>(scene.composition);
  for (size_t i = 0; i < scene.layers.size(); ++i) {
    const SceneLayer& sl = scene.layers[i];
    CompLayer layer;
    layer.name = sl.name;
    layer.json = sl.json;
    layer.kind = sl.type == "camera"  ? LayerKind::kCamera
                 : sl.type == "light" ? LayerKind::kLight
                 : sl.type == "solid" ? LayerKind::kSolid
                                      : LayerKind::kFootage;
    ParseLayer(scene, i, *comp, layer);
    comp->addLayer(std::move(layer));
  }
  return comp;
}

double Composition::defaultZoom() const {
  return settings_.width / (2.0 * std::tan(39.6 / 2.0 * kDegrees));
}

CompLayer* Composition::layer(int index) {
  if (index < 0 || index >= numLayers()) return nullptr;
  return layers_[index].get();
}
const CompLayer* Composition::layer(int index) const {
  if (index < 0 || index >= numLayers()) return nullptr;
  return layers_[index].get();
}
CompLayer* Composition::layerById(AEGP_LayerIDVal id) {
  for (auto& l : layers_)
    if (l->id == id) return l.get();
  return nullptr;
}
CompLayer* Composition::layerByName(std::string_view name) {
  for (auto& l : layers_)
    if (l->name == name) return l.get();
  return nullptr;
}
bool Composition::owns(const CompLayer* layer) const {
  for (auto& l : layers_)
    if (l.get() == layer) return true;
  return false;
}

CompLayer& Composition::addLayer(CompLayer layer) {
  layer.index = numLayers();
  layer.id = next_id_++;
  if (layer.kind != LayerKind::kCamera && layer.kind != LayerKind::kLight && layer.width == 0) {
    layer.width = settings_.width;
    layer.height = settings_.height;
  }
  AddDefaults(*this, layer);
  layers_.push_back(std::make_unique<CompLayer>(std::move(layer)));
  return *layers_.back();
}

void Composition::attachEffect(int layer_index, EffectInstance* instance) {
  detachEffect(instance);
  if (CompLayer* l = layer(layer_index)) l->effect = instance;
}
void Composition::detachEffect(const EffectInstance* instance) {
  if (!instance) return;
  for (auto& l : layers_)
    if (l->effect == instance) l->effect = nullptr;
}
CompLayer* Composition::layerOfEffect(const EffectInstance* instance) {
  if (!instance) return nullptr;
  for (auto& l : layers_)
    if (l->effect == instance) return l.get();
  return nullptr;
}

bool Composition::isVideoActive(const CompLayer& layer, double seconds) const {
  return layer.enabled && seconds >= layer.in_point && seconds < layer.out_point;
}

std::optional<StreamTuple> Composition::streamValue(const CompLayer& layer, AEGP_LayerStream stream,
                                                    double seconds, bool pre_expression) const {
  if (!LayerStreamType(layer.kind, stream)) return std::nullopt;
  auto it = layer.streams.find(stream);
  StreamTuple v = it == layer.streams.end() ? StreamTuple{} : it->second.at(seconds);
  if (!pre_expression) {
    auto e = layer.expressions.find(stream);
    if (e != layer.expressions.end() && e->second.enabled) {
      // The stand-in evaluates one-dimensional expressions only; others keep their value.
      if (LayerStreamType(layer.kind, stream) == AEGP_StreamType_OneD) {
        if (auto value = evaluateExpression(GbkToUtf8(e->second.text), seconds)) v[0] = *value;
      }
    }
  }
  return v;
}

A_Matrix4 Composition::layerToWorld(const CompLayer& layer, double seconds) const {
  auto value = [&](AEGP_LayerStream s) {
    return streamValue(layer, s, seconds).value_or(StreamTuple{});
  };
  const StreamTuple pos = value(AEGP_LayerStream_POSITION);
  const M3 turn = Mul(
      Mul(EulerXYZ(value(AEGP_LayerStream_ORIENTATION)), RotX(value(AEGP_LayerStream_ROTATE_X)[0])),
      Mul(RotY(value(AEGP_LayerStream_ROTATE_Y)[0]), RotZ(value(AEGP_LayerStream_ROTATE_Z)[0])));
  if (layer.kind == LayerKind::kCamera || layer.kind == LayerKind::kLight) {
    M3 r = turn;
    if (layer.has_point_of_interest) {
      const StreamTuple poi = value(AEGP_LayerStream_ANCHORPOINT);
      r = Mul(turn, Aim(V3{pos[0], pos[1], pos[2]}, V3{poi[0], poi[1], poi[2]}));
    }
    return Compose(r, V3{pos[0], pos[1], pos[2]});
  }
  // Footage and solids: the anchor point lands on the position, scaled then turned.
  const StreamTuple scale = value(AEGP_LayerStream_SCALE);
  const StreamTuple anchor = value(AEGP_LayerStream_ANCHORPOINT);
  M3 sr = turn;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) sr[i][j] *= scale[i] / 100.0;
  V3 t{pos[0], pos[1], pos[2]};
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) t[j] -= anchor[i] * sr[i][j];
  return Compose(sr, t);
}

const CompLayer* Composition::activeCamera(double seconds) const {
  for (auto& l : layers_)
    if (l->kind == LayerKind::kCamera && isVideoActive(*l, seconds)) return l.get();
  return nullptr;
}

A_Matrix4 Composition::cameraMatrix(double seconds) const {
  if (const CompLayer* camera = activeCamera(seconds)) return layerToWorld(*camera, seconds);
  return Compose(Identity3(), V3{settings_.width / 2.0, settings_.height / 2.0, -defaultZoom()});
}

std::optional<double> Composition::evaluateExpression(std::string_view text, double seconds) const {
  // One evaluator serves layer streams and effect controls alike; why it failed matters only
  // where a person is told (control checkouts), so here the value alone is taken.
  return EvaluateExpression(this, text, seconds).value;
}

}  // namespace mf::host
