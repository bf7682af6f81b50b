// The effect panel's state after PF_Cmd_UPDATE_PARAMS_UI, driven through the stand-in host: slider
// ranges, labels of the uniform groups, greying by render mode and switches, call order and
// failure.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "AE_EffectCB.h"
#include "GbkText.h"
#include "host/Host.h"
#include "host/PanelEvents.h"
#include "params/ParamIndex.h"

namespace {

using mf::host::EffectInstance;
using mf::host::Host;

using mf::test::FromGbk;

// Every control the update touches, in the order the host must see them.
const std::vector<PF_ParamIndex> kTouched = {
    51, 52, 53, 126, 127, 128, 110, 111, 112, 97,  98,  99,  100, 101, 102, 142, 153, 151,
    7,  8,  9,  10,  155, 138, 90,  87,  15,  148, 149, 140, 158, 159, 22,  31,  83};

class UpdateParamsUITest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(host_.globalSetup(), PF_Err_NONE);
    PF_Err err = PF_Err_NONE;
    instance_ = host_.newInstance(&err);
    ASSERT_EQ(err, PF_Err_NONE);
    ASSERT_NE(instance_, nullptr);
    ASSERT_EQ(instance_->params.size(), 170u);
  }

  PF_Err Update() {
    instance_->panel_updates.clear();
    return instance_->send(PF_Cmd_UPDATE_PARAMS_UI);
  }
  PF_ParamDef& Param(int index) { return instance_->params[index]; }
  const PF_ParamDef& Shown(int index) { return instance_->panel.at(index); }
  bool Disabled(int index) { return Shown(index).ui_flags & PF_PUI_DISABLED; }
  std::string Label(int index) { return FromGbk(Shown(index).name); }
  std::set<int> DisabledAmongTouched() {
    std::set<int> out;
    for (int i : kTouched)
      if (Disabled(i)) out.insert(i);
    return out;
  }
  std::pair<float, float> Range(int index) {
    return {Shown(index).u.fs_d.slider_min, Shown(index).u.fs_d.slider_max};
  }
  void SetOn(int index, bool on) { Param(index).u.bd.value = on ? 1 : 0; }

  Host host_;
  EffectInstance* instance_ = nullptr;
};

TEST_F(UpdateParamsUITest, DefaultsGreyOutTheListedControlsInOneOrderedPass) {
  std::vector<PF_ParamDef> before = instance_->params;
  ASSERT_EQ(Update(), PF_Err_NONE);
  EXPECT_EQ(instance_->panel_updates, kTouched);
  EXPECT_EQ(host_.lastOut().out_flags, 0x420000);

  EXPECT_EQ(DisabledAmongTouched(), (std::set<int>{GAIN_Y,
                                                   GAIN_Z,
                                                   SCALE_Y,
                                                   SCALE_Z,
                                                   SCATTER_Y,
                                                   SCATTER_Z,
                                                   DISPLACE_Y_MIN,
                                                   DISPLACE_Y_MAX,
                                                   DISPLACE_Z_MIN,
                                                   DISPLACE_Z_MAX,
                                                   RELATIVE_CAMERA,
                                                   SPECULAR_COLOR,
                                                   COMPOSITE_ALPHA_COLOR,
                                                   AA_PIXEL_PERSPECTIVE,
                                                   LOCK_IDEAL_PIXEL,
                                                   REFERENCE_DISPLACEMENT,
                                                   ALPHA_STENCIL,
                                                   TEXTURE_BLEND_MODE,
                                                   IBL_USE_NORMAL,
                                                   REFLECTION_USE_NORMAL,
                                                   SPECULAR_USE_NORMAL}));
  // Uniform switches are on: the first slider speaks for its group.
  EXPECT_EQ(Label(GAIN_X), "增益");
  EXPECT_EQ(Label(SCALE_X), "比例调整");
  EXPECT_EQ(Label(SCATTER_X), "分散");
  EXPECT_EQ(Label(DISPLACE_MIN), "最小位移");
  EXPECT_EQ(Label(DISPLACE_MAX), "最大位移");
  // Shininess 50 was registered with 0..1000; 10 <= 50 < 100 gives 0..100.
  EXPECT_EQ(Range(SPECULAR_SHININESS), std::make_pair(0.0f, 100.0f));
  // Gain 1 and scale 100: gain is inside ±100, scale 100 is the first value of ±1000.
  EXPECT_EQ(Range(GAIN_X), std::make_pair(-10.0f, 10.0f));
  EXPECT_EQ(Range(SCALE_X), std::make_pair(-1000.0f, 1000.0f));
  EXPECT_EQ(Range(SCATTER_Z), std::make_pair(0.0f, 10.0f));

  // Nothing but panel state changed: the values the host holds are the same bytes.
  for (int i = 0; i < PARAM_COUNT; ++i)
    EXPECT_EQ(std::memcmp(&before[i], &instance_->params[i], sizeof(PF_ParamDef)), 0) << i;
}

TEST_F(UpdateParamsUITest, SliderRangesFollowTheCurrentValue) {
  struct Case {
    int index;
    double value;
    float min, max;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // Worked from the decade rules: signed sliders widen to ±1000 for 100 <= |v| < 1000 and to
  // ±10000 from 1000 on; otherwise they keep their registered ±10 (gain) or ±100 (scale).
  // Non-negative sliders take the smallest of 10, 100, 1000, 10000 that holds v.
  const Case cases[] = {
      {GAIN_X, 100.0, -1000, 1000},
      {GAIN_X, 99.999, -10, 10},
      {GAIN_X, -100.0, -1000, 1000},
      {GAIN_X, -99.999, -10, 10},
      {GAIN_X, 999.9, -1000, 1000},
      {GAIN_X, 1000.0, -10000, 10000},
      {GAIN_X, -1000.0, -10000, 10000},
      {GAIN_Z, -0.5, -10, 10},
      {SCALE_Y, 50.0, -100, 100},
      {SCALE_Y, -250.0, -1000, 1000},
      {SCALE_Z, 1e7, -10000, 10000},
      {SCATTER_X, 10.0, 0, 100},
      {SCATTER_X, 9.99, 0, 10},
      {SCATTER_Y, 100.0, 0, 1000},
      {SCATTER_Z, 999.0, 0, 1000},
      {SCATTER_Z, 1000.0, 0, 10000},
      {SPECULAR_SHININESS, 1e6, 0, 10000},
      {SPECULAR_SHININESS, -3.0, 0, 10},
      // A value that is not a number falls through every comparison to the narrowest range.
      {GAIN_Y, nan, -10, 10},
      {SCATTER_X, nan, 0, 10},
  };
  for (const Case& c : cases) {
    Param(c.index).u.fs_d.value = c.value;
    ASSERT_EQ(Update(), PF_Err_NONE);
    EXPECT_EQ(Range(c.index), std::make_pair(c.min, c.max)) << c.index << " at " << c.value;
    // The value itself stays where the user put it.
    if (std::isnan(c.value))
      EXPECT_TRUE(std::isnan(Param(c.index).u.fs_d.value));
    else
      EXPECT_EQ(Param(c.index).u.fs_d.value, c.value);
  }
}

TEST_F(UpdateParamsUITest, UniformSwitchesOffRelabelAndEnableTheGroups) {
  SetOn(UNIFORM_GAIN, false);
  SetOn(UNIFORM_SCALE, false);
  SetOn(UNIFORM_SCATTER, false);
  SetOn(UNIFORM_DISPLACEMENT, false);
  ASSERT_EQ(Update(), PF_Err_NONE);
  EXPECT_EQ(Label(GAIN_X), "增益 X");
  EXPECT_EQ(Label(SCALE_X), "比例调整 X");
  EXPECT_EQ(Label(SCATTER_X), "分散 X");
  EXPECT_EQ(Label(DISPLACE_MIN), "X最小");
  EXPECT_EQ(Label(DISPLACE_MAX), "X最大");
  for (int i : {GAIN_Y, GAIN_Z, SCALE_Y, SCALE_Z, SCATTER_Y, SCATTER_Z, DISPLACE_Y_MIN,
                DISPLACE_Y_MAX, DISPLACE_Z_MIN, DISPLACE_Z_MAX})
    EXPECT_FALSE(Disabled(i)) << i;
  EXPECT_EQ(Param(GAIN_Y).u.fs_d.value, 1.0);
  // Members keep their own labels.
  EXPECT_EQ(Label(GAIN_Y), "增益 Y");
  EXPECT_EQ(Label(DISPLACE_Z_MAX), "Z最大");

  // Only the gain switch back on: only its group follows.
  SetOn(UNIFORM_GAIN, true);
  ASSERT_EQ(Update(), PF_Err_NONE);
  EXPECT_EQ(Label(GAIN_X), "增益");
  EXPECT_TRUE(Disabled(GAIN_Y));
  EXPECT_TRUE(Disabled(GAIN_Z));
  EXPECT_FALSE(Disabled(SCALE_Y));
  EXPECT_EQ(Label(SCALE_X), "比例调整 X");
}

TEST_F(UpdateParamsUITest, RenderModeGreysOutWhatItIgnores) {
  const int kA = ENABLE_PIXEL_ANTIALIAS, kS = SOFTEN_PIXELS, kR = RELATIVE_CAMERA,
            kD = DIFFUSE_LIGHTS, kP = SPECULAR_LIGHTS, kL = ALPHA_LIGHTS, kZ = PIXEL_SIZE,
            kB = PIXEL_BLEND_MODE, kT = TEXTURE_LAYER;
  const std::set<int> watched = {kA, kS, kR, kD, kP, kL, kZ, kB, kT};
  // By hand, mode by mode: the reduced modes 2-6 lose anti-aliasing and softening; 2D relight
  // (2) and the 2D data modes (7, 8) lose pixel size; the data modes 7-10 lose blending,
  // texture and the three light switches but gain the relative camera, which every other mode
  // greys out. Blending and texture stay live in modes 2-6.
  const std::vector<std::set<int>> expected = {
      {},                        // (unused: modes are 1-based)
      {kR},                      // 1 none
      {kA, kS, kR, kZ},          // 2 2D relight
      {kA, kS, kR},              // 3 1/2
      {kA, kS, kR},              // 4 1/3
      {kA, kS, kR},              // 5 1/4
      {kA, kS, kR},              // 6 8/1
      {kD, kP, kL, kZ, kB, kT},  // 7 32-bit 2D position
      {kD, kP, kL, kZ, kB, kT},  // 8 32-bit 2D normal
      {kD, kP, kL, kB, kT},      // 9 32-bit position
      {kD, kP, kL, kB, kT},      // 10 32-bit normal
  };
  for (int mode = 1; mode <= 10; ++mode) {
    Param(RENDER_MODE).u.pd.value = mode;
    ASSERT_EQ(Update(), PF_Err_NONE);
    std::set<int> disabled;
    for (int i : watched)
      if (Disabled(i)) disabled.insert(i);
    EXPECT_EQ(disabled, expected[mode]) << "mode " << mode;
    EXPECT_EQ(instance_->panel_updates.size(), 35u);
  }
}

TEST_F(UpdateParamsUITest, SwitchesAndLayersEnableTheirDependents) {
  SetOn(USE_LIGHT_COLOR, false);
  SetOn(COMPOSITE_ALPHA, true);
  SetOn(ENABLE_PIXEL_PERSPECTIVE, true);
  int texture_marker = 0, normals_marker = 0;
  Param(TEXTURE_LAYER).u.ld.reserved0 = &texture_marker;
  Param(ALT_NORMAL_PASS).u.ld.reserved0 = &normals_marker;
  ASSERT_EQ(Update(), PF_Err_NONE);
  for (int i : {SPECULAR_COLOR, COMPOSITE_ALPHA_COLOR, AA_PIXEL_PERSPECTIVE, LOCK_IDEAL_PIXEL,
                REFERENCE_DISPLACEMENT, ALPHA_STENCIL, TEXTURE_BLEND_MODE, IBL_USE_NORMAL,
                REFLECTION_USE_NORMAL, SPECULAR_USE_NORMAL})
    EXPECT_FALSE(Disabled(i)) << i;

  // A layer counts as chosen by the low 32 bits of its first word only.
  if (sizeof(void*) == 8) {
    Param(TEXTURE_LAYER).u.ld.reserved0 = reinterpret_cast<void*>(uintptr_t{1} << 32);
    ASSERT_EQ(Update(), PF_Err_NONE);
    EXPECT_TRUE(Disabled(ALPHA_STENCIL));
    EXPECT_TRUE(Disabled(TEXTURE_BLEND_MODE));
    EXPECT_FALSE(Disabled(IBL_USE_NORMAL));
  }

  // Only the disabled bit is the effect's to change; other bits pass through as supplied.
  Param(PIXEL_SIZE).ui_flags = PF_PUI_DONT_ERASE_CONTROL | PF_PUI_DISABLED;
  Param(SPECULAR_COLOR).ui_flags = PF_PUI_DONT_ERASE_CONTROL;
  SetOn(USE_LIGHT_COLOR, true);
  ASSERT_EQ(Update(), PF_Err_NONE);
  EXPECT_EQ(Shown(PIXEL_SIZE).ui_flags, PF_PUI_DONT_ERASE_CONTROL);
  EXPECT_EQ(Shown(SPECULAR_COLOR).ui_flags, PF_PUI_DONT_ERASE_CONTROL | PF_PUI_DISABLED);
}

TEST_F(UpdateParamsUITest, OneRefreshAfterSeveralChangesShowsThemAll) {
  // As in the real host, a change alone sends no update; the panel's next refresh does, once.
  using mf::host::ChangeParam;
  ASSERT_EQ(ChangeParam(*instance_, RENDER_MODE, [](PF_ParamDef& d) { d.u.pd.value = 3; }),
            PF_Err_NONE);
  ASSERT_EQ(ChangeParam(*instance_, UNIFORM_SCALE, [](PF_ParamDef& d) { d.u.bd.value = 0; }),
            PF_Err_NONE);
  EXPECT_TRUE(instance_->panel_updates.empty());
  EXPECT_FALSE(Disabled(ENABLE_PIXEL_ANTIALIAS));
  ASSERT_EQ(mf::host::RefreshPanel(*instance_), PF_Err_NONE);
  EXPECT_EQ(instance_->panel_updates.size(), 35u);
  EXPECT_TRUE(Disabled(ENABLE_PIXEL_ANTIALIAS));  // mode 3
  EXPECT_FALSE(Disabled(SCALE_Y));                // scale no longer uniform
}

TEST_F(UpdateParamsUITest, RefusedUpdateStopsTheSequenceButStillAsksForARefresh) {
  // Change what the later controls would show, then have the host refuse SCALE_X (4th call).
  SetOn(UNIFORM_SCALE, false);
  SetOn(UNIFORM_SCATTER, false);
  host_.faults().failOnCall("pf.PF_UpdateParamUI", 4);
  EXPECT_EQ(Update(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(instance_->panel_updates, (std::vector<PF_ParamIndex>{GAIN_X, GAIN_Y, GAIN_Z}));
  EXPECT_EQ(host_.lastOut().out_flags, 0x420000);
  // SCALE_Y and SCATTER_Y keep the state they were registered with.
  EXPECT_TRUE(Disabled(SCALE_Y));
  EXPECT_TRUE(Disabled(SCATTER_Y));
  EXPECT_EQ(Label(SCATTER_X), "分散");
}

TEST_F(UpdateParamsUITest, MissingParamUtilsSuiteIsDamageToTheHost) {
  const int outstanding = host_.suites().outstanding();
  host_.faults().failAlways("suite:PF Param Utils Suite");
  EXPECT_EQ(Update(), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_TRUE(instance_->panel_updates.empty());
  EXPECT_EQ(host_.suites().outstanding(), outstanding);
}

}  // namespace
