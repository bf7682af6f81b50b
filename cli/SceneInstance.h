// The effect instance of a scene, set up in a host the way `save` does it, for the commands that
// work in the effect panel (panel, options, link-camera).
#pragma once

#include <optional>
#include <string>

#include "host/Frame.h"
#include "host/Host.h"
#include "host/Scene.h"

namespace mf::cli {

struct SceneEffect {
  host::Scene scene;
  int layer = -1;
  host::EffectInstance* instance = nullptr;
};

// Loads the scene, starts the plug-in, restores (or sets up) the effect of its first effect layer
// with its controls and expressions, and puts the scene's composition in the host with the
// effect applied. Returns 0, or the exit status after reporting the problem on stderr.
int SetUpSceneEffect(host::Host& host, const std::string& scene_path, SceneEffect* out);

// How every frame of one render is asked for.
struct FrameQuality {
  int bit_depth = 8;
  int downsample = 1;
  bool high_quality = true;
};

// The request for one frame of the effect's layer, at the composition's size and frame rate.
host::FrameRequest LayerFrameRequest(const host::CompositionSettings& comp, int layer, int frame,
                                     const FrameQuality& quality);

// Writes the instance's stored record and the expressions on its controls into the scene and
// saves it to output. Returns the exit status.
int SaveSceneEffect(SceneEffect& effect, const std::string& output);

}  // namespace mf::cli
