// One effect instance applied to a solid of a small composition in the Windows host, with the
// panel services installed and a person at the screen who answers the real dialogs.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ScreenPerson.h"
#include "WindowsSupport.h"
#include "host/Composition.h"
#include "host/FrameRender.h"
#include "host/PanelEvents.h"
#include "params/ParamIndex.h"

namespace mf::wintest {

// A 4 x 4 grey image for the layers listed, no pixels for the others.
class GreyLayers : public host::LayerSource {
 public:
  std::vector<int> with_pixels;
  std::shared_ptr<const host::LayerImage> image(int layer, int) override {
    for (int l : with_pixels) {
      if (l != layer) continue;
      auto img = std::make_shared<host::LayerImage>();
      img->width = img->height = 4;
      img->rgba.assign(64, 0.5f);
      return img;
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
    EXPECT_EQ(person_.scriptsLeft(), 0u) << "a dialog the test expected did not appear";
  }

  static host::CompLayer Layer(const std::string& name, host::LayerKind kind) {
    host::CompLayer l;
    l.name = name;
    l.kind = kind;
    l.width = l.height = 4;
    return l;
  }
  static std::vector<host::CompLayer> DefaultLayers() {
    return {Layer("Camera 1", host::LayerKind::kCamera), Layer("beauty", host::LayerKind::kFootage),
            Layer("P", host::LayerKind::kFootage), Layer("empty", host::LayerKind::kFootage),
            Layer("Cloud", host::LayerKind::kSolid)};
  }

  void Start() {
    host::InstallPanelServices(host());
    ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
    PF_Err err = PF_Err_NONE;
    instance_ = host().newInstance(&err);
    ASSERT_NE(instance_, nullptr);
    ASSERT_EQ(err, PF_Err_NONE);
    auto comp = std::make_unique<host::Composition>(host::CompositionSettings{});
    for (auto& l : layers_) {
      host::CompLayer& added = comp->addLayer(l);
      if (l.name == "Cloud") comp->attachEffect(added.index, instance_);
    }
    host().setComposition(std::move(comp));
    source_.with_pixels = {1, 2};
    host().setLayerSource(&source_);
  }
  void Restart() {
    instance_ = nullptr;
    RestartHost();
    Start();
  }

  PF_Err SetLayer(PF_ParamIndex index, const std::string& name) {
    host::CompLayer* l = name.empty() ? nullptr : host().composition()->layerByName(name);
    const int layer = l ? l->index : -1;
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
  GreyLayers source_;
  ScreenPerson person_;
  host::EffectInstance* instance_ = nullptr;
};

}  // namespace mf::wintest
