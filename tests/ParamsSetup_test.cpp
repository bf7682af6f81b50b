// Parameter registration, driven through the stand-in host: what the host receives for each of the
// 169 controls, and how registration fails.
#include <gtest/gtest.h>

#include <cfloat>
#include <set>
#include <string>
#include <vector>

#include "AE_EffectCB.h"
#include "GbkText.h"
#include "host/Host.h"
#include "params/ParamIndex.h"
#include "params/ParamTable.h"

namespace {

using mf::host::Host;

using mf::test::FromGbk;

std::vector<std::string> SplitItems(const char* items) {
  std::vector<std::string> out;
  std::string s = items ? items : "";
  size_t start = 0;
  for (;;) {
    size_t bar = s.find('|', start);
    out.push_back(s.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return out;
}

class ParamsSetupTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(host_.globalSetup(), PF_Err_NONE); }

  // The definition the host received for a control; the host keeps params[0], its own input
  // layer, in front of what the effect added.
  const PF_ParamDef& Def(int index) { return host_.registeredParams().at(index); }
  std::string Name(int index) { return FromGbk(Def(index).name); }

  Host host_;
};

TEST_F(ParamsSetupTest, RegistersEveryControlOnceInOrder) {
  ASSERT_EQ(host_.registerEffect(), PF_Err_NONE);
  // The host supplies params[0] itself; the effect adds the other 169.
  EXPECT_EQ(host_.registeredParams().size(), 170u);
  EXPECT_EQ(host_.faults().calls("inter.add_param"), 169);
  EXPECT_EQ(host_.lastOut().num_params, 170);
  EXPECT_EQ(Def(ABOUT_BANNER).param_type, PF_Param_NO_DATA);
  EXPECT_EQ(Def(AFFECT_CAMERA_END).param_type, PF_Param_GROUP_END);
  EXPECT_EQ(Def(SOURCE_LAYER).param_type, PF_Param_LAYER);
  EXPECT_EQ(Def(RENDER_MODE).param_type, PF_Param_POPUP);
  EXPECT_EQ(Def(IBL_ROTATION_X).param_type, PF_Param_ANGLE);
  EXPECT_EQ(Def(SPECULAR_COLOR).param_type, PF_Param_COLOR);

  // Group starts and ends pair up like brackets, with the two nested groups inside their
  // parents, and every group except the anti-alias options starts collapsed.
  std::vector<int> open;
  std::vector<std::pair<int, int>> groups;
  for (int i = 1; i < PARAM_COUNT; ++i) {
    if (Def(i).param_type == PF_Param_GROUP_START) open.push_back(i);
    if (Def(i).param_type == PF_Param_GROUP_END) {
      ASSERT_FALSE(open.empty()) << i;
      groups.emplace_back(open.back(), i);
      open.pop_back();
      EXPECT_STREQ(Def(i).name, "") << i;
    }
  }
  EXPECT_TRUE(open.empty());
  EXPECT_EQ(groups.size(), 17u);
  const std::set<std::pair<int, int>> expected_groups = {
      {11, 17},   {21, 28},   {30, 40},   {42, 48},   {49, 54},  {55, 61},
      {62, 81},   {73, 80},   {82, 91},   {92, 107},  {95, 103}, {108, 114},
      {115, 129}, {131, 136}, {143, 150}, {154, 160}, {161, 169}};
  using GroupSet = std::set<std::pair<int, int>>;
  EXPECT_EQ(GroupSet(groups.begin(), groups.end()), expected_groups);
  for (const auto& [start, end] : groups) {
    bool collapsed = Def(start).flags & PF_ParamFlag_COLLAPSE_TWIRLY;
    EXPECT_EQ(collapsed, start != ANTIALIAS_OPTIONS_GROUP) << start;
  }
}

TEST_F(ParamsSetupTest, DiskIdsFollowTheIndexExceptTheTwoSharedOnes) {
  ASSERT_EQ(host_.registerEffect(), PF_Err_NONE);
  // Saved projects match values by these IDs: GRID_SUBDIVIDE shares GRID_SIZE's 43 and
  // SCATTER_Z shares SCATTER_Y's 111; nothing stores under 44 or 112.
  EXPECT_EQ(Def(GRID_SIZE).uu.id, 43);
  EXPECT_EQ(Def(GRID_SUBDIVIDE).uu.id, 43);
  EXPECT_EQ(Def(SCATTER_Y).uu.id, 111);
  EXPECT_EQ(Def(SCATTER_Z).uu.id, 111);
  std::multiset<int> ids;
  for (int i = 1; i < PARAM_COUNT; ++i) {
    ids.insert(Def(i).uu.id);
    if (i != GRID_SUBDIVIDE && i != SCATTER_Z) {
      EXPECT_EQ(Def(i).uu.id, i) << i;
    }
  }
  EXPECT_EQ(ids.count(44), 0u);
  EXPECT_EQ(ids.count(112), 0u);
  EXPECT_EQ(ids.count(43), 2u);
  EXPECT_EQ(ids.count(111), 2u);
}

TEST_F(ParamsSetupTest, NamesReachTheHostAsGbk) {
  ASSERT_EQ(host_.registerEffect(), PF_Err_NONE);
  // "关于" is 0xB9 0xD8 0xD3 0xDA in code page 936.
  EXPECT_EQ(std::string(Def(ABOUT_BANNER).name), "\xB9\xD8\xD3\xDA");
  EXPECT_EQ(Name(ABOUT_BANNER), "关于");
  EXPECT_EQ(Name(COMPOSITE_ALPHA_BLEND), "合成Alpha混合模式");  // mixed, near the 32-byte limit
  EXPECT_EQ(Name(REFERENCE_CAMERA_POSITION_X), "参考摄像机位置 X");
  // Shared names, told apart by index only.
  EXPECT_EQ(Name(IBL_GAIN), "增益");
  EXPECT_EQ(Name(GAIN_X), "增益");
  for (int i : {IBL_USE_NORMAL, REFLECTION_USE_NORMAL, SPECULAR_USE_NORMAL})
    EXPECT_EQ(Name(i), "使用正常") << i;
  // Every name is valid GBK and fits the host's 32-byte field.
  for (int i = 1; i < PARAM_COUNT; ++i) {
    EXPECT_LT(std::string(Def(i).name).size(), 32u) << i;
    EXPECT_NE(Name(i), "<invalid GBK>") << i;
  }

  // The options button is named, and the effect panel alone gets custom-control events.
  EXPECT_EQ(FromGbk(host_.optionsButtonName()), "选项");
  const PF_CustomUIInfo& ui = host_.customUi();
  EXPECT_EQ(ui.events, PF_CustomEFlag_EFFECT);
  EXPECT_EQ(ui.comp_ui_width | ui.comp_ui_height | ui.layer_ui_width | ui.layer_ui_height |
                ui.preview_ui_width | ui.preview_ui_height,
            0);
}

TEST_F(ParamsSetupTest, PopupsOfferTheirMenusWithTheRightDefaults) {
  ASSERT_EQ(host_.registerEffect(), PF_Err_NONE);
  auto shown = [&](int index) {
    const PF_PopupDef& pd = Def(index).u.pd;
    EXPECT_EQ(pd.value, pd.dephault) << index;
    std::vector<std::string> items = SplitItems(pd.u.namesptr);
    EXPECT_EQ(static_cast<int>(items.size()), pd.num_choices) << index;
    if (pd.value < 1 || pd.value > static_cast<int>(items.size())) return std::string("<none>");
    return FromGbk(items[pd.value - 1]);
  };
  // What a new instance shows.
  EXPECT_EQ(shown(RENDER_MODE), "无");
  EXPECT_EQ(shown(PIXEL_BLEND_MODE), "均值添加Alpha");
  EXPECT_EQ(shown(COMPOSITE_ALPHA_BLEND), "正片叠底");
  EXPECT_EQ(shown(REFLECTION_BLEND), "添加");
  EXPECT_EQ(shown(TEXTURE_BLEND_MODE), "复制");
  EXPECT_EQ(shown(MAP_RGB_TO), "XYZ");
  EXPECT_EQ(shown(REFLECTION_MATTE_MAP), "亮度");
  EXPECT_EQ(shown(SPECULAR_MATTE_MAP), "亮度");
  EXPECT_EQ(shown(LIFE_MAP), "亮度");

  // Counts include the separators, which keep their value slots.
  EXPECT_EQ(Def(RENDER_MODE).u.pd.num_choices, 10);
  EXPECT_EQ(Def(MAP_RGB_TO).u.pd.num_choices, 16);
  EXPECT_EQ(Def(PIXEL_BLEND_MODE).u.pd.num_choices, 14);
  EXPECT_EQ(Def(TEXTURE_BLEND_MODE).u.pd.num_choices, 14);
  EXPECT_EQ(Def(REFLECTION_BLEND).u.pd.num_choices, 6);
  EXPECT_EQ(Def(LIFE_MAP).u.pd.num_choices, 5);
  std::vector<std::string> map_rgb = SplitItems(Def(MAP_RGB_TO).u.pd.u.namesptr);
  ASSERT_EQ(map_rgb.size(), 16u);
  EXPECT_EQ(map_rgb[6], "(-");
  EXPECT_EQ(map_rgb[11], "(-");
  EXPECT_EQ(FromGbk(map_rgb[7]), "亮度Z");
  EXPECT_EQ(FromGbk(map_rgb[15]), "蓝Z 投影");
  std::vector<std::string> texture = SplitItems(Def(TEXTURE_BLEND_MODE).u.pd.u.namesptr);
  ASSERT_EQ(texture.size(), 14u);
  EXPECT_EQ(texture[10], "(-");
  EXPECT_EQ(FromGbk(texture[13]), "亮度蒙版");
  std::vector<std::string> modes = SplitItems(Def(RENDER_MODE).u.pd.u.namesptr);
  ASSERT_EQ(modes.size(), 10u);
  EXPECT_EQ(FromGbk(modes[1]), "2D 补光");
  EXPECT_EQ(FromGbk(modes[5]), "8/1");
  EXPECT_EQ(FromGbk(modes[9]), "32位 正常");
}

TEST_F(ParamsSetupTest, StartStateFlagsMarkExactlyTheListedControls) {
  ASSERT_EQ(host_.registerEffect(), PF_Err_NONE);
  auto having = [&](auto pred) {
    std::set<int> out;
    for (int i = 1; i < PARAM_COUNT; ++i)
      if (pred(Def(i))) out.insert(i);
    return out;
  };
  EXPECT_EQ(having([](const PF_ParamDef& d) { return d.ui_flags & PF_PUI_DISABLED; }),
            (std::set<int>{RELATIVE_CAMERA, GAIN_Y, GAIN_Z, SPECULAR_COLOR, DISPLACE_Y_MIN,
                           DISPLACE_Y_MAX, DISPLACE_Z_MIN, DISPLACE_Z_MAX, SCATTER_Y, SCATTER_Z,
                           SCALE_Y, SCALE_Z, ALPHA_STENCIL, TEXTURE_BLEND_MODE}));
  EXPECT_EQ(
      having([](const PF_ParamDef& d) { return d.flags & PF_ParamFlag_SUPERVISE; }),
      (std::set<int>{POSITION_PASS, RENDER_MODE, ENABLE_PIXEL_PERSPECTIVE, LINK_REFERENCE_CAMERA}));
  const int fixed = PF_ParamFlag_CANNOT_TIME_VARY | PF_ParamFlag_CANNOT_INTERP;
  EXPECT_EQ(having([&](const PF_ParamDef& d) { return (d.flags & fixed) == fixed; }),
            (std::set<int>{UNIFORM_GAIN, UNIFORM_SCATTER, UNIFORM_SCALE, MAP_RGB_TO,
                           REFLECTION_MATTE_MAP, SPECULAR_MATTE_MAP, LIFE_MAP, GRID_SIZE,
                           GRID_SUBDIVIDE, GRID_POSITION_X, GRID_POSITION_Y, GRID_POSITION_Z}));
  EXPECT_EQ(having([&](const PF_ParamDef& d) {
              return (d.flags & fixed) != 0 && (d.flags & fixed) != fixed;
            }),
            std::set<int>{});
  // The two custom controls are drawn by the effect at the listed sizes.
  EXPECT_EQ(having([](const PF_ParamDef& d) { return d.ui_flags & PF_PUI_CONTROL; }),
            (std::set<int>{ABOUT_BANNER, LINK_REFERENCE_CAMERA}));
  EXPECT_EQ(Def(ABOUT_BANNER).ui_width, 300);
  EXPECT_EQ(Def(ABOUT_BANNER).ui_height, 80);
  EXPECT_EQ(Def(LINK_REFERENCE_CAMERA).ui_width, 48);
  EXPECT_EQ(Def(LINK_REFERENCE_CAMERA).ui_height, 24);
  for (int i : {GRID_SIZE, GRID_SUBDIVIDE, GRID_POSITION_Z})
    EXPECT_TRUE(Def(i).flags & PF_ParamFlag_COLLAPSE_TWIRLY) << i;
}

TEST_F(ParamsSetupTest, ValuesStartAtTheirDefaultsWithinTheirLimits) {
  ASSERT_EQ(host_.registerEffect(), PF_Err_NONE);
  auto fs = [&](int i) -> const PF_FloatSliderDef& { return Def(i).u.fs_d; };
  // The limits that differ from the common patterns.
  EXPECT_EQ(fs(IBL_GAIN).valid_min, 0.0f);
  EXPECT_EQ(fs(IBL_GAIN).valid_max, FLT_MAX);
  EXPECT_EQ(fs(IBL_GAIN).slider_max, 100.0f);
  EXPECT_EQ(fs(RESOLUTION).valid_min, 0.0f);
  EXPECT_EQ(fs(RESOLUTION).valid_max, 100.0f);
  EXPECT_EQ(fs(ADD_PIXEL_PERSPECTIVE).valid_min, -100.0f);
  EXPECT_EQ(fs(ADD_PIXEL_PERSPECTIVE).valid_max, FLT_MAX);
  EXPECT_EQ(fs(ADD_PIXEL_PERSPECTIVE).slider_min, 0.0f);
  EXPECT_EQ(fs(ADD_PIXEL_PERSPECTIVE).slider_max, 200.0f);
  EXPECT_EQ(fs(GRID_SUBDIVIDE).valid_min, 1.0f);
  EXPECT_EQ(fs(GRID_SUBDIVIDE).valid_max, 128.0f);
  EXPECT_EQ(fs(GAIN_X).valid_min, -FLT_MAX);
  EXPECT_EQ(fs(SPECULAR_SHININESS).slider_max, 1000.0f);
  // The host holds defaults as 4-byte floats, and the control starts from that float.
  EXPECT_EQ(fs(SPECULAR_INTENSITY).value, double(0.8f));
  EXPECT_EQ(fs(REFERENCE_CAMERA_ZOOM).dephault, 622.2f);
  EXPECT_EQ(fs(GRID_SIZE).value, 128.0);
  EXPECT_EQ(fs(SOFTEN_PIXELS_BIAS).value, 20.0);
  EXPECT_EQ(fs(REMAP_X_MIN).value, -1.0);
  EXPECT_EQ(fs(SCALE_Z).value, 100.0);
  EXPECT_EQ(fs(GRID_POSITION_X).precision, 1);
  EXPECT_EQ(fs(PIXEL_SIZE).precision, 0);

  std::set<int> percent;
  for (int i = 1; i < PARAM_COUNT; ++i) {
    const PF_ParamDef& d = Def(i);
    switch (d.param_type) {
      case PF_Param_FLOAT_SLIDER:
        EXPECT_EQ(d.u.fs_d.value, d.u.fs_d.dephault) << i;
        EXPECT_FLOAT_EQ(d.u.fs_d.curve_tolerance, 0.05f) << i;
        EXPECT_EQ(d.u.fs_d.fs_flags, 0) << i;
        EXPECT_LE(d.u.fs_d.valid_min, d.u.fs_d.slider_min) << i;
        EXPECT_GE(d.u.fs_d.valid_max, d.u.fs_d.slider_max) << i;
        EXPECT_GE(d.u.fs_d.value, d.u.fs_d.valid_min) << i;
        EXPECT_LE(d.u.fs_d.value, d.u.fs_d.valid_max) << i;
        if (d.u.fs_d.display_flags & PF_ValueDisplayFlag_PERCENT) percent.insert(i);
        break;
      case PF_Param_CHECKBOX:
        EXPECT_EQ(d.u.bd.value, d.u.bd.dephault) << i;
        ASSERT_NE(d.u.bd.u.nameptr, nullptr) << i;
        EXPECT_STREQ(d.u.bd.u.nameptr, "") << i;
        break;
      case PF_Param_ANGLE:
        EXPECT_EQ(d.u.ad.value, 0) << i;
        EXPECT_EQ(d.u.ad.dephault, 0) << i;
        break;
      case PF_Param_LAYER:
        EXPECT_EQ(d.u.ld.dephault, PF_LayerDefault_NONE) << i;
        break;
      default:
        break;
    }
  }
  EXPECT_EQ(percent, (std::set<int>{FALLOFF_BIAS, IBL_GAIN, REFLECTION_INTENSITY, SCALE_X, SCALE_Y,
                                    SCALE_Z, RESOLUTION, ADD_PIXEL_PERSPECTIVE, ALPHA_OFFSET,
                                    OFFSET_X, OFFSET_Y, SOFTEN_PIXELS_BIAS}));

  // Check boxes on at start, and the two colours.
  std::set<int> on;
  for (int i = 1; i < PARAM_COUNT; ++i)
    if (Def(i).param_type == PF_Param_CHECKBOX && Def(i).u.bd.value == 1) on.insert(i);
  EXPECT_EQ(on, (std::set<int>{DIFFUSE_LIGHTS, SPECULAR_LIGHTS, ENABLE_FALLOFF, IBL_USE_NORMAL,
                               IBL_ANTIALIAS, REFLECTION_USE_NORMAL, REFLECTION_ANTIALIAS,
                               ENABLE_GRID, UNIFORM_GAIN, SPECULAR_USE_NORMAL, USE_LIGHT_COLOR,
                               UNIFORM_DISPLACEMENT, UNIFORM_SCATTER, UNIFORM_SCALE,
                               REFERENCE_DISPLACEMENT, AA_PIXEL_PERSPECTIVE, LOCK_IDEAL_PIXEL}));
  const PF_Pixel black = Def(COMPOSITE_ALPHA_COLOR).u.cd.value;
  EXPECT_EQ((std::vector<int>{black.alpha, black.red, black.green, black.blue}),
            (std::vector<int>{255, 0, 0, 0}));
  const PF_Pixel white = Def(SPECULAR_COLOR).u.cd.dephault;
  EXPECT_EQ((std::vector<int>{white.alpha, white.red, white.green, white.blue}),
            (std::vector<int>{255, 255, 255, 255}));
}

TEST_F(ParamsSetupTest, RefusedAddParamStopsRegistrationWithItsError) {
  const int outstanding = host_.suites().outstanding();
  host_.faults().failOnCall("inter.add_param", 50);
  // The host refuses the 50th control with its own code, which the command returns as is.
  EXPECT_EQ(host_.registerEffect(), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(host_.faults().calls("inter.add_param"), 50);
  EXPECT_EQ(host_.registeredParams().size(), 1u + 49u);
  EXPECT_EQ(host_.faults().calls("inter.register_ui"), 0);
  EXPECT_EQ(host_.optionsButtonName(), "");
  EXPECT_EQ(host_.suites().outstanding(), outstanding);
}

TEST_F(ParamsSetupTest, MissingEffectUiSuiteKeepsTheControlsAndReportsToTheHost) {
  const int outstanding = host_.suites().outstanding();
  host_.faults().failAlways("suite:PF Effect UI Suite");
  EXPECT_EQ(host_.registerEffect(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host_.registeredParams().size(), 170u);
  EXPECT_EQ(host_.lastOut().num_params, 170);
  EXPECT_TRUE(host_.lastOut().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
  // "无法加载插件." in code page 936.
  EXPECT_STREQ(host_.lastOut().return_msg, "\xCE\xDE\xB7\xA8\xBC\xD3\xD4\xD8\xB2\xE5\xBC\xFE.");
  EXPECT_EQ(FromGbk(host_.lastOut().return_msg), "无法加载插件.");
  EXPECT_EQ(host_.optionsButtonName(), "");
  EXPECT_EQ(host_.suites().outstanding(), outstanding);
}

TEST_F(ParamsSetupTest, RefusedOptionsButtonNameIsReturnedAndTheSuiteStillReleased) {
  const int outstanding = host_.suites().outstanding();
  host_.faults().failAlways("pf.PF_SetOptionsButtonName");
  EXPECT_EQ(host_.registerEffect(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host_.registeredParams().size(), 170u);
  EXPECT_FALSE(host_.lastOut().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
  EXPECT_EQ(host_.suites().outstanding(), outstanding);
}

// The lookup the scene loader and the command line use to name controls.
TEST(ParamTableLookup, IdentifiersMapBothWays) {
  EXPECT_EQ(ParamIndexFromIdentifier("PIXEL_SIZE"), std::optional<int>(138));
  EXPECT_EQ(ParamIndexFromIdentifier("INPUT_LAYER"), std::optional<int>(0));
  EXPECT_EQ(ParamIndexFromIdentifier("AFFECT_CAMERA_END"), std::optional<int>(169));
  EXPECT_EQ(ParamIndexFromIdentifier("pixel_size"), std::nullopt);
  EXPECT_EQ(ParamIndexFromIdentifier("PIXEL_SIZE "), std::nullopt);
  EXPECT_EQ(ParamIndexFromIdentifier(""), std::nullopt);
  EXPECT_STREQ(ParamIdentifier(SCATTER_Z), "SCATTER_Z");
  EXPECT_STREQ(ParamIdentifier(0), "INPUT_LAYER");
  EXPECT_EQ(ParamIdentifier(-1), nullptr);
  EXPECT_EQ(ParamIdentifier(170), nullptr);
  EXPECT_EQ(ParamTypeAt(GAIN_X), std::optional<PF_ParamType>(PF_Param_FLOAT_SLIDER));
  EXPECT_EQ(ParamTypeAt(0), std::optional<PF_ParamType>(PF_Param_LAYER));
  EXPECT_EQ(ParamTypeAt(170), std::nullopt);
  std::set<std::string> seen;
  for (int i = 0; i < PARAM_COUNT; ++i) {
    ASSERT_NE(ParamIdentifier(i), nullptr);
    EXPECT_TRUE(seen.insert(ParamIdentifier(i)).second) << ParamIdentifier(i);
    EXPECT_EQ(ParamIndexFromIdentifier(ParamIdentifier(i)), std::optional<int>(i));
  }
}

}  // namespace
