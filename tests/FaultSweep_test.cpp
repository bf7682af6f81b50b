// Every host call a command makes, failed in turn: for k = 1, 2, ... the k-th call of any kind
// fails, until a run makes fewer than k calls. After each failing run nothing the host lent is
// still out, and the same command then succeeds with nothing failing.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <memory>
#include <string>

#include "HostFixture.h"
#include "host/HostServices.h"
#include "host/FrameRender.h"
#include "host/PanelEvents.h"
#include "host/ScriptedPerson.h"
#include "PlatformUser.h"
#include "cli/SceneInstance.h"
#include "fuzz/SmallComposition.h"
#include "params/ParamIndex.h"
#include "raster/BlendModes.h"
#include "resources/resource.h"

namespace mf::test {
namespace {

// Passes that put every sample somewhere different, facing the camera, over a 6 x 6 grid.
class GradientSource final : public host::LayerSource {
 public:
  enum Kind { kColour, kPosition, kNormal };
  std::map<int, Kind> kinds;

  std::shared_ptr<const host::LayerImage> image(int layer, int) override {
    auto it = kinds.find(layer);
    if (it == kinds.end()) return nullptr;
    auto img = std::make_shared<host::LayerImage>();
    img->width = img->height = 6;
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 6; ++x) {
        const float u = x / 6.0f, v = y / 6.0f;
        switch (it->second) {
          case kColour:
            img->rgba.insert(img->rgba.end(), {u, v, 1 - u, 1});
            break;
          case kPosition:
            img->rgba.insert(img->rgba.end(), {u * 0.3f, v * 0.3f, u * 0.2f, 1});
            break;
          case kNormal:
            img->rgba.insert(img->rgba.end(), {0.5f, 0.5f, 0.0f, 1});
            break;
        }
      }
    }
    return img;
  }
};

using fuzz::Holdings;

class FaultSweep : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    start();
  }
  void TearDown() override {
    frame_.reset();
    instance_ = nullptr;
    HostTest::TearDown();
  }

  // The small composition with a point and an ambient light.
  void start() {
    host::InstallPanelServices(host());
    platform::SetUser(&person_);
    auto comp = fuzz::SmallComposition(
        32, 32, 6, {{"Key", AEGP_LightType_POINT}, {"Fill", AEGP_LightType_AMBIENT}});
    source_.kinds = {{fuzz::kColourLayer, GradientSource::kColour},
                     {fuzz::kPositionLayer, GradientSource::kPosition},
                     {fuzz::kNormalLayer, GradientSource::kNormal},
                     {fuzz::kTextureLayer, GradientSource::kColour}};
    host().setComposition(std::move(comp));
    host().setLayerSource(&source_);
    ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
    instance_ = host().newInstance();
    ASSERT_NE(instance_, nullptr);
    host().composition()->attachEffect(fuzz::kSolidLayer, instance_);
    auto& p = instance_->params;
    for (auto [param, layer] : {std::pair{SOURCE_LAYER, fuzz::kColourLayer},
                                {POSITION_PASS, fuzz::kPositionLayer},
                                {NORMAL_PASS, fuzz::kNormalLayer},
                                {TEXTURE_LAYER, fuzz::kTextureLayer}}) {
      p[param].u.ld.reserved0 = reinterpret_cast<void*>(static_cast<intptr_t>(layer + 1));
    }
    p[GAIN_X].u.fs_d.value = 100;
    p[DIFFUSE_LIGHTS].u.bd.value = true;
    p[SPECULAR_LIGHTS].u.bd.value = true;
    p[ENABLE_PIXEL_ANTIALIAS].u.bd.value = true;
    p[PIXEL_SIZE].u.fs_d.value = 3;
    p[PIXEL_BLEND_MODE].u.pd.value = kPixelBlendAverage;
  }

  Holdings holdings() { return fuzz::Held(host()); }

  // A call that gives something back: when the host refuses it, the thing stays with the host,
  // and the plug-in can do nothing about it.
  static bool GivesBack(const std::string& point) {
    for (const char* word : {"Dispose", "dispose", "Free", "Release", "checkin", "Unlock"}) {
      if (point.find(word) != std::string::npos) return true;
    }
    return false;
  }

  // Fails the k-th host call of run() for every k it reaches. run() undoes whatever a success
  // created, so the host holds what it held before after every run. Returns the calls failed.
  long sweep(const std::string& name, const std::function<PF_Err()>& run) {
    host::Faults& faults = host().faults();
    // One clean run first: what a command keeps between runs (the render's copy of the record)
    // is then already there.
    EXPECT_EQ(run(), PF_Err_NONE) << name;
    Holdings before = holdings();
    const bool failing = ::testing::Test::HasFailure();
    long k = 1, reported = 0;
    for (;; ++k) {
      faults.failNthCall(k);
      const PF_Err err = run();
      const long calls = faults.totalCalls();
      const std::string point = faults.failedPoint();
      faults.clearAll();
      if (calls < k) {
        EXPECT_EQ(err, PF_Err_NONE) << name << " with nothing failing";
        break;
      }
      if (err) ++reported;
      const std::string at = name + ", call " + std::to_string(k) + " (" + point + ") failing";
      if (!GivesBack(point)) {
        EXPECT_EQ(holdings(), before) << at;
      }
      EXPECT_EQ(run(), PF_Err_NONE) << at << ": the next run";
      before = holdings();
      if (!failing && ::testing::Test::HasFailure()) break;  // one broken path is enough to read
    }
    std::cout << "fault sweep: " << name << ": " << k - 1 << " host calls failed, " << reported
              << " of them reported as an error, the others met with a fallback\n";
    return k - 1;
  }

  PF_Err renderAt(int depth) {
    const host::FrameRequest request =
        cli::LayerFrameRequest(host().composition()->settings(), fuzz::kSolidLayer, 0, {depth});
    PF_Err err = host().renderFrame(*instance_, request, &frame_);
    const bool sized = frame_.world.width == 32 && frame_.world.height == 32;
    frame_.reset();
    return err || sized ? err : PF_Err_INTERNAL_STRUCT_DAMAGED;
  }

  GradientSource source_;
  host::ScriptedPerson person_;
  host::EffectInstance* instance_ = nullptr;
  host::Frame frame_;
};

TEST_F(FaultSweep, WholeFrameAtEveryDepth) {
  for (int depth : {8, 16, 32}) {
    EXPECT_GT(sweep("frame at " + std::to_string(depth) + " bits", [&] { return renderAt(depth); }),
              20);
  }
}

TEST_F(FaultSweep, GlobalParameterAndSequenceSetup) {
  instance_ = nullptr;
  RestartHost();
  sweep("global setup", [&] {
    PF_Err err = host().globalSetup();
    if (!err) err = host().globalSetdown();
    return err;
  });
  // Parameter setup runs once per host: each run starts a fresh one.
  long params = 0;
  const bool failing = HasFailure();
  for (long k = 1;; ++k) {
    RestartHost();
    ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
    const Holdings before = holdings();
    host().faults().failNthCall(k);
    host().registerEffect();
    const long calls = host().faults().totalCalls();
    const std::string at = "parameter setup, call " + std::to_string(k) + " (" +
                           host().faults().failedPoint() + ") failing";
    host().faults().clearAll();
    if (calls < k) break;
    ++params;
    EXPECT_EQ(holdings(), before) << at;
    EXPECT_EQ(host().registerEffect(), PF_Err_NONE) << at;
    if (!failing && HasFailure()) break;
  }
  std::cout << "fault sweep: parameter setup: " << params << " host calls failed\n";
  EXPECT_GT(params, 100);

  ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
  sweep("sequence setup", [&] {
    PF_Err err = PF_Err_NONE;
    host::EffectInstance* made = host().newInstance(&err);
    if (made) {
      const PF_Err down = host().removeInstance(made);
      if (!err) err = down;
    }
    return err;
  });
}

TEST_F(FaultSweep, SequenceResetupAndFlatten) {
  std::vector<uint8_t> flat;
  ASSERT_EQ(instance_->flatten(&flat), PF_Err_NONE);
  sweep("sequence flatten", [&] { return instance_->flatten(nullptr); });
  sweep("sequence resetup", [&] {
    PF_Err err = PF_Err_NONE;
    host::EffectInstance* made = host().restoreInstance(flat, &err);
    if (made) {
      const PF_Err down = host().removeInstance(made);
      if (!err) err = down;
    }
    return err;
  });
  EXPECT_EQ(renderAt(32), PF_Err_NONE);  // the instance that was flattened still renders
}

TEST_F(FaultSweep, PanelUpdateAndCameraLink) {
  sweep("panel update", [&] { return instance_->send(PF_Cmd_UPDATE_PARAMS_UI); });
  sweep("camera link", [&] {
    person_.forget();
    person_.actOnDialog([](platform::DialogSession& d) { d.click(IDOK); });
    host::EffectPanel panel(host(), *instance_);
    const PF_Rect r = panel.controlFrame(LINK_REFERENCE_CAMERA);
    const PF_Point middle{r.left + 24, r.top + 12};
    return panel.press(LINK_REFERENCE_CAMERA, middle, {}, middle);
  });
}

}  // namespace
}  // namespace mf::test
