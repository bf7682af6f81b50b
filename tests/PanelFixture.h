// A host with one effect instance applied to a solid in a small composition, the panel services
// installed, and a scripted person in front of it whose message boxes are also the host's.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "HostFixture.h"
#include "PlatformUser.h"
#include "host/Composition.h"
#include "host/FrameRender.h"
#include "host/PanelEvents.h"
#include "host/ScriptedPerson.h"
#include "params/ParamIndex.h"

namespace mf::test {

// Pixels for the layers named in it (a 4 x 4 grey image), none for the others.
class FakeLayerSource : public host::LayerSource {
 public:
  std::vector<int> with_pixels;
  std::shared_ptr<const host::LayerImage> image(int layer, int) override {
    for (int l : with_pixels) {
      if (l == layer) {
        auto img = std::make_shared<host::LayerImage>();
        img->width = img->height = 4;
        img->rgba.assign(64, 0.5f);
        return img;
      }
    }
    return nullptr;
  }
};

class PanelTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    Start();
  }
  void TearDown() override {
    instance_ = nullptr;
    HostTest::TearDown();
  }

  // The layers every test starts with; a test may add more before Start() via layers_.
  static std::vector<host::CompLayer> DefaultLayers() {
    std::vector<host::CompLayer> layers;
    auto add = [&](const char* name, host::LayerKind kind) {
      host::CompLayer l;
      l.name = name;
      l.kind = kind;
      l.width = l.height = 4;
      layers.push_back(l);
    };
    add("Camera 1", host::LayerKind::kCamera);  // 0
    add("beauty", host::LayerKind::kFootage);   // 1: has pixels
    add("P", host::LayerKind::kFootage);        // 2: has pixels
    add("empty", host::LayerKind::kFootage);    // 3: no pixels
    add("Cloud", host::LayerKind::kSolid);      // 4: carries the effect
    return layers;
  }

  void Start() {
    host::InstallPanelServices(host());
    mf::platform::SetUser(&person_);
    ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
    PF_Err err = PF_Err_NONE;
    instance_ = host().newInstance(&err);
    ASSERT_NE(instance_, nullptr);
    ASSERT_EQ(err, PF_Err_NONE);
    auto comp = std::make_unique<host::Composition>(host::CompositionSettings{});
    int effect_layer = -1;
    for (auto& l : layers_) {
      host::CompLayer& added = comp->addLayer(l);
      if (l.name == effect_layer_name_) effect_layer = added.index;
    }
    if (effect_layer >= 0) comp->attachEffect(effect_layer, instance_);
    host().setComposition(std::move(comp));
    source_.with_pixels = layers_with_pixels_;
    host().setLayerSource(&source_);
  }

  // A restart of the host over the same preference file: the library is loaded afresh.
  void Restart() {
    instance_ = nullptr;
    RestartHost();
    person_.forget();
    Start();
  }

  int LayerIndex(const std::string& name) {
    host::CompLayer* l = host().composition()->layerByName(name);
    return l ? l->index : -1;
  }

  // The control as a person sets it in the panel.
  PF_Err SetLayer(PF_ParamIndex index, const std::string& name) {
    const int layer = name.empty() ? -1 : LayerIndex(name);
    return host::ChangeParam(*instance_, index, [&](PF_ParamDef& d) {
      d.u.ld.reserved0 = reinterpret_cast<void*>(static_cast<intptr_t>(layer + 1));
    });
  }
  PF_Err SetPopup(PF_ParamIndex index, int value) {
    return host::ChangeParam(*instance_, index, [&](PF_ParamDef& d) { d.u.pd.value = value; });
  }
  PF_Err SetCheckbox(PF_ParamIndex index, bool on) {
    return host::ChangeParam(*instance_, index, [&](PF_ParamDef& d) { d.u.bd.value = on; });
  }

  std::optional<std::string> Pref(const char* key) {
    return host().preferences().get("Main Pref Section", key);
  }

  std::vector<host::CompLayer> layers_ = DefaultLayers();
  std::vector<int> layers_with_pixels_ = {1, 2};
  std::string effect_layer_name_ = "Cloud";
  FakeLayerSource source_;
  host::ScriptedPerson person_;
  host::EffectInstance* instance_ = nullptr;
};

}  // namespace mf::test
