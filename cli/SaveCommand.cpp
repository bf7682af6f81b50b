// `motefield save`: set up or restore each effect instance of a scene, flatten it, and write the
// scene back with the stored record of every instance.
#include <filesystem>
#include <iostream>

#include "cli/Commands.h"
#include "cli/ControlNames.h"
#include "host/Scene.h"
#include "params/ParamIndex.h"

namespace mf::cli {

host::ControlLookup ControlsByIdentifier() {
  return [](const std::string& id) { return ParamIndexFromIdentifier(id); };
}

int RunSave(const CommonOptions& common, const std::string& scene_path, const std::string& output) {
  host::Scene scene;
  try {
    scene = host::LoadScene(scene_path);
  } catch (const host::SceneError& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return 2;
  }

  host::Host host(MakeHostOptions(common));
  ShowMessagesOnStderr(host);
  if (PF_Err err = host.globalSetup()) {
    std::cerr << "motefield: the plug-in refused to start (error " << err << ")\n";
    return 1;
  }

  for (int layer : scene.effectLayers()) {
    nlohmann::json& effect = scene.doc["layers"][layer]["effect"];
    const std::string where =
        scene_path + ": layers[" + std::to_string(layer) + "] \"" + scene.layers[layer].name + "\"";
    host::EffectInstance* instance = nullptr;
    PF_Err err = PF_Err_NONE;
    if (effect.contains("sequence_data")) {
      auto bytes = host::Base64Decode(effect["sequence_data"].get<std::string>());
      if (!bytes) {
        std::cerr << "motefield: " << where
                  << ": sequence_data is not valid base64; the light prefixes are reset to "
                     "their defaults\n";
        instance = host.newInstance(&err);
      } else {
        instance = host.restoreInstance(*bytes, &err);
      }
    } else {
      instance = host.newInstance(&err);
    }
    if (!instance || err) {
      std::cerr << "motefield: " << where << ": the effect could not be set up (error " << err
                << ")\n";
      return 1;
    }
    try {
      host::ApplyControls(scene, layer, *instance, ControlsByIdentifier(),
                          ControlWords(host.registeredParams()));
    } catch (const host::SceneError& e) {
      std::cerr << "motefield: " << e.what() << "\n";
      return 2;
    }
    std::vector<uint8_t> flat;
    if (PF_Err ferr = instance->flatten(&flat)) {
      std::cerr << "motefield: " << where << ": the effect could not store its settings (error "
                << ferr << ")\n";
      return 1;
    }
    effect["sequence_data"] = host::Base64Encode(flat);
  }

  try {
    host::SaveScene(scene, output);
  } catch (const host::SceneError& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return 1;
  }
  std::cerr << "saved " << output << "\n";
  return 0;
}

}  // namespace mf::cli
