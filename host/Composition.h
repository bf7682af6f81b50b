// The composition the effect sits in: its layers in order (layer 0 on top), their switches and
// times, the cameras and lights with their animated properties, and the effect instances applied
// to layers. The composition suites (host/CompSuites.cpp) serve the effect from this model.
//
// Coordinates: composition space has x to the right, y down and z into the screen, in pixels.
// Matrices are A_Matrix4 used with row vectors: a point p (a row) maps to p·M, so rows 0-2 are
// the images of the layer's local x, y and z axes and row 3 is its position. A layer's local +z
// axis points at its point of interest; with an orientation (degrees about x, then y, then z) it
// is turned from there. Times are seconds of composition time unless a name says otherwise.
#pragma once

#include <array>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "AE_CompSuites.h"
#include "host/Scene.h"

namespace mf::host {

class EffectInstance;

// Four components of a stream value: x, y, z (and unused w) for spatial streams, alpha, red,
// green, blue for colours, the value in [0] for one-dimensional streams.
using StreamTuple = std::array<double, 4>;

// A property that may be keyframed: one key is a constant; between keys the value is linear,
// outside them it is the nearest key's.
struct Animated {
  std::vector<std::pair<double, StreamTuple>> keys;

  static Animated Constant(StreamTuple value) { return Animated{{{0.0, value}}}; }
  StreamTuple at(double seconds) const;
};

// An expression on a stream, as the plug-in wrote it (8-bit, the plug-in's code page).
struct Expression {
  std::string text;
  bool enabled = false;
};

enum class LayerKind { kFootage, kSolid, kCamera, kLight };

struct CompLayer {
  std::string name;  // UTF-8
  LayerKind kind = LayerKind::kSolid;
  int index = 0;            // position in the composition, 0 on top
  AEGP_LayerIDVal id = 0;   // stable for the composition's life, never 0
  bool enabled = true;      // the video switch
  bool adjustment = false;  // an adjustment layer (a light so marked reaches only layers below)
  bool three_d = false;
  double in_point = 0;                                         // comp seconds
  double out_point = std::numeric_limits<double>::infinity();  // comp seconds, exclusive
  double offset = 0;  // start time: comp time = layer time + offset
  AEGP_CameraType camera_type = AEGP_CameraType_NONE;
  AEGP_LightType light_type = AEGP_LightType_NONE;
  bool has_point_of_interest = false;  // cameras and lights: aimed at the anchor-point stream
  int width = 0, height = 0;           // solids and footage
  std::map<AEGP_LayerStream, Animated> streams;
  std::map<AEGP_LayerStream, Expression> expressions;
  EffectInstance* effect = nullptr;  // the effect instance applied to this layer, if any
  nlohmann::json json;               // the layer as the scene wrote it (footage source etc.)
  std::string camera_source;         // a camera from a render: where from, what was derived
};

// Value type of a layer stream, or absent when the stream does not exist on that kind of layer.
std::optional<AEGP_StreamType> LayerStreamType(LayerKind kind, AEGP_LayerStream stream);

class Composition {
 public:
  explicit Composition(CompositionSettings settings);
  // The composition of a scene. Throws SceneError naming the file and key of a bad value.
  static std::unique_ptr<Composition> FromScene(const Scene& scene);

  const CompositionSettings& settings() const { return settings_; }
  double durationSeconds() const { return settings_.duration / settings_.frame_rate; }
  // The zoom of the composition's default camera: a 39.6° horizontal view of its width.
  double defaultZoom() const;

  int numLayers() const { return static_cast<int>(layers_.size()); }
  CompLayer* layer(int index);
  const CompLayer* layer(int index) const;
  CompLayer* layerById(AEGP_LayerIDVal id);
  CompLayer* layerByName(std::string_view utf8_name);
  // True when the handle is one of this composition's layers.
  bool owns(const CompLayer* layer) const;
  // Appends a layer at the bottom with the defaults of its kind for every stream it lacks;
  // assigns its index and id.
  CompLayer& addLayer(CompLayer layer);

  void attachEffect(int layer_index, EffectInstance* instance);
  void detachEffect(const EffectInstance* instance);
  CompLayer* layerOfEffect(const EffectInstance* instance);

  // Switched on and within [in, out) at the time.
  bool isVideoActive(const CompLayer& layer, double seconds) const;
  // A stream's value at the time; after an enabled expression when pre_expression is false and
  // the expression can be evaluated. Absent when the layer has no such stream.
  std::optional<StreamTuple> streamValue(const CompLayer& layer, AEGP_LayerStream stream,
                                         double seconds, bool pre_expression = false) const;
  A_Matrix4 layerToWorld(const CompLayer& layer, double seconds) const;

  // The camera the layers see at the time: the top-most active camera layer; null when none.
  const CompLayer* activeCamera(double seconds) const;
  // Camera-to-world transform of the active camera, or of the default camera (centred,
  // looking along +z from -defaultZoom()) when there is none.
  A_Matrix4 cameraMatrix(double seconds) const;

  // Value of an expression of the forms thisComp.layer("NAME").transform.position[i],
  // thisComp.layer("NAME").transform.pointOfInterest[i] and thisComp.layer("NAME").zoom (UTF-8,
  // an optional ';' and white space around). Absent when the text is not one of these or names
  // no layer that has that property.
  std::optional<double> evaluateExpression(std::string_view utf8, double seconds) const;

 private:
  CompositionSettings settings_;
  std::vector<std::unique_ptr<CompLayer>> layers_;
  AEGP_LayerIDVal next_id_ = 1;
};

// Seconds of a host time; absent for a zero scale.
std::optional<double> TimeSeconds(const A_Time& time);
// The host time the composition suites hand out for a number of seconds.
A_Time SecondsToTime(double seconds);
// Time base of the host times handed out.
inline constexpr A_u_long kHostTimeScale = 2400;

}  // namespace mf::host
