// A scene file: one composition, its layers, the effect applied to one of them, and what to
// render. Loading checks everything a person can get wrong and says where, in plain words.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "AE_Effect.h"

namespace mf::host {

class EffectInstance;

// A problem with a scene, naming the file and the offending key.
class SceneError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CompositionSettings {
  int width = 1920;
  int height = 1080;
  double frame_rate = 24;
  double duration = 48;  // in frames
};

struct SceneLayer {
  std::string name;
  std::string type;     // footage, solid, camera, light
  nlohmann::json json;  // the layer as written, for the parts the composition reads
};

struct RenderSettings {
  std::string layer;
  std::string frames;
  int bit_depth = 8;
  int downsample = 1;
  std::string quality = "high";
  std::string output;
  std::string output_depth;  // empty: the file follows bit_depth where its format can
  std::string colorspace;    // of 8- and 16-bit files; empty: sRGB
};

struct Scene {
  std::filesystem::path file;
  nlohmann::json doc;
  CompositionSettings composition;
  std::vector<SceneLayer> layers;  // layer 0 is the top of the composition
  RenderSettings render;

  std::optional<int> layerIndex(const std::string& name) const;
  // Layers that carry an effect, in layer order.
  std::vector<int> effectLayers() const;
  // Paths in a scene are relative to its folder.
  std::filesystem::path resolve(const std::string& path) const;
};

// Throws SceneError.
Scene LoadScene(const std::filesystem::path& file);
// Written beside the target and renamed over it: never a half-written file.
void SaveScene(const Scene& scene, const std::filesystem::path& file);

// How the host learns what the effect calls each control: identifier -> params[] index.
using ControlLookup = std::function<std::optional<int>(const std::string&)>;

// What people may call controls and popup choices besides identifiers and numbers.
struct ControlVocabulary {
  std::vector<std::string> identifiers;  // every control, to suggest one for a slip
  // The names of a popup's values: [value - 1] holds the names of that value, e.g. {"均值",
  // "average"}; empty for a control that is not a popup.
  std::function<std::vector<std::vector<std::string>>(int index)> choices;
};

// Sets the instance's controls from a layer's "effect.params", checking names, types and layer
// references. Throws SceneError naming the file and key.
void ApplyControls(const Scene& scene, int layer, EffectInstance& instance,
                   const ControlLookup& lookup, const ControlVocabulary& words = {});

// Puts the expressions of a layer's "effect.expressions" ({"IDENTIFIER": "text", ...}) on the
// instance's controls, switched on; ApplyControls does this too. Throws SceneError.
void ApplyExpressions(const Scene& scene, int layer, EffectInstance& instance,
                      const ControlLookup& lookup, const ControlVocabulary& words = {});

std::string Base64Encode(const std::vector<uint8_t>& bytes);
// Absent when the text is not valid base64.
std::optional<std::vector<uint8_t>> Base64Decode(const std::string& text);

}  // namespace mf::host
