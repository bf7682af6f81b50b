#include "cli/SceneInstance.h"

#include <iostream>

#include "cli/Commands.h"
#include "cli/ControlNames.h"
#include "host/Composition.h"
#include "host/Text.h"
#include "params/ParamIndex.h"

namespace mf::cli {

int SetUpSceneEffect(host::Host& host, const std::string& scene_path, SceneEffect* out) {
  try {
    out->scene = host::LoadScene(scene_path);
  } catch (const host::SceneError& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return 2;
  }
  const std::vector<int> layers = out->scene.effectLayers();
  if (layers.empty()) {
    std::cerr << "motefield: " << scene_path << ": no layer carries the effect\n";
    return 2;
  }
  out->layer = layers.front();
  if (PF_Err err = host.globalSetup()) {
    std::cerr << "motefield: the plug-in refused to start (error " << err << ")\n";
    return 1;
  }
  const nlohmann::json& effect = out->scene.doc["layers"][out->layer]["effect"];
  const std::string where = scene_path + ": layers[" + std::to_string(out->layer) + "] \"" +
                            out->scene.layers[out->layer].name + "\"";
  PF_Err err = PF_Err_NONE;
  std::optional<std::vector<uint8_t>> stored;
  if (effect.contains("sequence_data")) {
    stored = host::Base64Decode(effect["sequence_data"].get<std::string>());
    if (!stored) {
      std::cerr << "motefield: " << where
                << ": sequence_data is not valid base64; the light prefixes are reset to their "
                   "defaults\n";
    }
  }
  out->instance = stored ? host.restoreInstance(*stored, &err) : host.newInstance(&err);
  if (!out->instance || err) {
    std::cerr << "motefield: " << where << ": the effect could not be set up (error " << err
              << ")\n";
    return 1;
  }
  try {
    host::ApplyControls(
        out->scene, out->layer, *out->instance,
        [](const std::string& id) { return ParamIndexFromIdentifier(id); },
        ControlWords(host.registeredParams()));
    auto comp = host::Composition::FromScene(out->scene);
    comp->attachEffect(out->layer, out->instance);
    host.setComposition(std::move(comp));
  } catch (const host::SceneError& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return 2;
  }
  return 0;
}

host::FrameRequest LayerFrameRequest(const host::CompositionSettings& comp, int layer, int frame,
                                     const FrameQuality& quality) {
  host::FrameRequest request;
  request.layer = layer;
  request.width = comp.width;
  request.height = comp.height;
  request.frame_rate = comp.frame_rate;
  request.frame = frame;
  request.bit_depth = quality.bit_depth;
  request.downsample = quality.downsample;
  request.high_quality = quality.high_quality;
  return request;
}

int SaveSceneEffect(SceneEffect& effect, const std::string& output) {
  nlohmann::json& stored = effect.scene.doc["layers"][effect.layer]["effect"];
  std::vector<uint8_t> flat;
  if (PF_Err err = effect.instance->flatten(&flat)) {
    std::cerr << "motefield: the effect could not store its settings (error " << err << ")\n";
    return 1;
  }
  stored["sequence_data"] = host::Base64Encode(flat);
  nlohmann::json expressions = nlohmann::json::object();
  for (const auto& [index, expression] : effect.instance->expressions) {
    const char* id = ParamIdentifier(index);
    if (id && expression.enabled) expressions[id] = host::GbkToUtf8(expression.text);
  }
  if (expressions.empty()) {
    stored.erase("expressions");
  } else {
    stored["expressions"] = expressions;
  }
  try {
    host::SaveScene(effect.scene, output);
  } catch (const host::SceneError& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return 1;
  }
  std::cerr << "saved " << output << "\n";
  return 0;
}

}  // namespace mf::cli
