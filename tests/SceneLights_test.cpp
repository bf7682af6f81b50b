// Scene-light collection through the host's composition suites: which lights reach the effect,
// their roles by name prefix, the values read into each record, and the image-based light.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>

#include "HostFixture.h"
#include "support/SuiteHandler.h"
#include "host/Composition.h"
#include "host/HostServices.h"
#include "host/Scene.h"
#include "params/ParamIndex.h"
#include "raster/Lighting.h"
#include "render/FrameSettings.h"
#include "render/SceneLights.h"

namespace mf::test {
namespace {

using nlohmann::json;

// A layer that has pixels, for collection to count as present; it is never sampled here.
PF_EffectWorld WithPixels(PF_Pixel* pixel) {
  PF_EffectWorld w{};
  w.data = pixel;
  return w;
}

TEST(SceneLightRoles, NamesAreSortedByPrefixComparedOverThePrefixLength) {
  auto roles = [](const char* name, const char* alpha = "Alpha", const char* diffuse = "Diffuse",
                  const char* specular = "Specular") {
    const LightRoles r = ClassifyLightName(name, alpha, diffuse, specular);
    return std::string(r.alpha ? "A" : "") + (r.diffuse ? "D" : "") + (r.specular ? "S" : "");
  };
  EXPECT_EQ(roles("Diffuse key"), "D");
  EXPECT_EQ(roles("Specular rim"), "S");
  EXPECT_EQ(roles("Fill"), "DS");            // no role prefix: both ways
  EXPECT_EQ(roles("diffuse low"), "DS");     // case-sensitive
  EXPECT_EQ(roles("Alpha matte"), "ADS");    // alpha alone also lights both ways
  EXPECT_EQ(roles("DiffuseSpecular"), "D");  // only the beginning counts
  EXPECT_EQ(roles("Diff"), "DS");            // shorter than the prefix
  EXPECT_EQ(roles("Anything", ""), "ADS");   // an empty prefix matches every name
  EXPECT_EQ(roles("Specular", "Alpha", "", "Specular"), "DS");
  // Only the first 31 characters of a prefix take part.
  const std::string long_prefix = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";  // 40 characters
  const std::string same31 = long_prefix.substr(0, 31) + "###";
  const std::string same30 = long_prefix.substr(0, 30) + "###";
  EXPECT_EQ(roles(same31.c_str(), "Alpha", long_prefix.c_str()), "D");
  EXPECT_EQ(roles(same30.c_str(), "Alpha", long_prefix.c_str()), "DS");
  EXPECT_EQ(roles(nullptr), "DS");
}

class SceneLightsTest : public HostTest {
 protected:
  // Lights 0 and 1 are above the effect's layer (4); 5 is an adjustment light below it; 2 is
  // switched off; 6 to 21 are sixteen more plain lights.
  void SetUp() override {
    HostTest::SetUp();
    json layers = json::parse(R"([
      {"name": "Diffuse key", "type": "light", "light_type": "point", "position": [10, 20, -30],
       "intensity": 150, "color": [0.5, 0.25, 1], "cone_angle": 60, "cone_feather": 25,
       "falloff": "inverse_square_clamped", "radius": 40, "falloff_distance": 80,
       "casts_shadows": true, "shadow_darkness": 70, "shadow_diffusion": 3},
      {"name": "Alpha above", "type": "light", "light_type": "ambient", "adjustment": true},
      {"name": "Off", "type": "light", "enabled": false},
      {"name": "Cam", "type": "camera"},
      {"name": "Cloud", "type": "solid"},
      {"name": "Below", "type": "light", "adjustment": true}
    ])");
    for (int i = 6; i < 22; ++i)
      layers.push_back({{"name", "L" + std::to_string(i)}, {"type", "light"}});
    layers.push_back({{"name", "Specular env"}, {"type", "footage"}, {"source", "env.exr"}});
    load(layers);
  }
  void load(const json& layers) {
    const auto path = dir_ / "scene.json";
    std::ofstream(path) << json{
        {"composition", {{"width", 200}, {"height", 100}}},
        {"layers", layers}}.dump();
    host().setComposition(host::Composition::FromScene(host::LoadScene(path)));
    if (!host().globallySetUp()) {
      ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
    }
    if (!instance_) instance_ = host().newInstance();
    ASSERT_NE(instance_, nullptr);
    effect_index_ = 4;
    host().composition()->attachEffect(effect_index_, instance_);
    in_data_ = host().inData();
    in_data_.effect_ref = reinterpret_cast<PF_ProgPtr>(instance_);
  }

  // The full mode with diffuse lights and a normal pass; the record's other switches off.
  FrameSettings inputs() {
    record_ = PreRenderData{};
    record_.RENDER_MODE = kRenderModeFull;
    record_.DIFFUSE_LIGHTS = true;
    FrameSettings in{};
    in.pre = &record_;
    in.place = {&in_data_, 42, reinterpret_cast<AEGP_CompH>(host().composition()), A_Time{12, 24}};
    in.effect_layer_index = effect_index_;
    std::strcpy(in.prefixes.alpha, "Alpha");
    std::strcpy(in.prefixes.diffuse, "Diffuse");
    std::strcpy(in.prefixes.specular, "Specular");
    in.layers.put(kLayerNormal, &pass_);
    return in;
  }
  PF_Err collect(const FrameSettings& in) {
    FreeSceneLights(&list_);
    SuiteHandler suites(host().basicSuite());
    return CollectSceneLights(suites, in, &list_, &switches_);
  }
  void TearDown() override {
    FreeSceneLights(&list_);
    HostTest::TearDown();
  }

  host::EffectInstance* instance_ = nullptr;
  A_long effect_index_ = 0;
  PF_InData in_data_{};
  PreRenderData record_{};
  PF_Pixel pixel_{};
  PF_EffectWorld pass_ = WithPixels(&pixel_);
  LightList list_{false, 0, nullptr};
  LightSwitches switches_{};
};

TEST_F(SceneLightsTest, UpToSixteenLightsThatReachTheEffectLayerInLayerOrder) {
  FrameSettings in = inputs();
  ASSERT_EQ(collect(in), PF_Err_NONE);
  ASSERT_TRUE(list_.present);
  ASSERT_EQ(list_.count, 16);
  EXPECT_TRUE(switches_.collected);
  EXPECT_FALSE(switches_.ibl_on);
  EXPECT_FALSE(switches_.alpha_lighting);  // ALPHA_LIGHTS is off
  // Qualifying: 0, 1 (adjustment, above), then 6, 7, ...; not 2 (off), 3 (camera), 5 (adjustment
  // below). Sixteen of the eighteen: 6 … 19; 20 and 21 are left out.
  const A_long expected[16] = {0, 1, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(list_.lights[i].layer_index, expected[i]) << i;

  const LightRecord& key = list_.lights[0];
  EXPECT_EQ(key.type, kLightPoint);
  EXPECT_FLOAT_EQ(key.intensity, 1.5f);
  EXPECT_FLOAT_EQ(key.color.alpha, 1);
  EXPECT_FLOAT_EQ(key.color.red, 0.5f);
  EXPECT_FLOAT_EQ(key.color.green, 0.25f);
  EXPECT_FLOAT_EQ(key.color.blue, 1);
  EXPECT_FLOAT_EQ(key.cone_angle, 60);
  EXPECT_FLOAT_EQ(key.cone_feather, 25);
  EXPECT_TRUE(key.casts_shadows);
  EXPECT_FLOAT_EQ(key.shadow_darkness, 70);
  EXPECT_FLOAT_EQ(key.shadow_diffusion, 3);
  EXPECT_EQ(key.falloff_type, kFalloffInverseSquareClamped);  // popup 3, made 0-based
  EXPECT_FLOAT_EQ(key.falloff_radius, 40);
  EXPECT_FLOAT_EQ(key.falloff_distance, 80);
  EXPECT_DOUBLE_EQ(key.transform[3][0], 10);
  EXPECT_DOUBLE_EQ(key.transform[3][1], 20);
  EXPECT_DOUBLE_EQ(key.transform[3][2], -30);
  EXPECT_TRUE(key.is_diffuse_light);
  EXPECT_FALSE(key.is_specular_light);
  EXPECT_FALSE(key.is_alpha_light);
  EXPECT_FALSE(key.is_image_based);

  const LightRecord& above = list_.lights[1];
  EXPECT_EQ(above.type, kLightAmbient);
  EXPECT_TRUE(above.is_alpha_light && above.is_diffuse_light && above.is_specular_light);
  EXPECT_EQ(list_.lights[2].falloff_type, kFalloffNone);  // default popup 1
  EXPECT_FLOAT_EQ(list_.lights[2].intensity, 1.0f);

  // With alpha lights on, the alpha light turns alpha lighting on.
  record_.ALPHA_LIGHTS = true;
  ASSERT_EQ(collect(in), PF_Err_NONE);
  EXPECT_TRUE(switches_.alpha_lighting);

  // The effect on the top layer: the adjustment light at 1 is now below it.
  effect_index_ = 0;
  in.effect_layer_index = 0;
  ASSERT_EQ(collect(in), PF_Err_NONE);
  EXPECT_EQ(list_.lights[1].layer_index, 6);
}

TEST_F(SceneLightsTest, NothingIsCollectedInDataModesOrWithoutARelightSwitch) {
  FrameSettings in = inputs();
  for (A_long mode : {7, 8, 9, 10}) {
    record_.RENDER_MODE = mode;
    ASSERT_EQ(collect(in), PF_Err_NONE);
    EXPECT_FALSE(list_.present) << mode;
    EXPECT_EQ(list_.lights, nullptr);
    EXPECT_FALSE(switches_.collected);
  }
  in = inputs();
  record_.DIFFUSE_LIGHTS = false;
  ASSERT_EQ(collect(in), PF_Err_NONE);
  EXPECT_FALSE(list_.present);
  // Any one switch is enough; the specular matte is used only with a normal pass and specular.
  record_.SPECULAR_LIGHTS = true;
  in.layers.put(kLayerSpecularMatte, &pass_);
  ASSERT_EQ(collect(in), PF_Err_NONE);
  EXPECT_TRUE(list_.present);
  EXPECT_TRUE(switches_.specular_matte);
  in.layers.put(kLayerNormal, nullptr);
  ASSERT_EQ(collect(in), PF_Err_NONE);
  EXPECT_FALSE(switches_.specular_matte);

  // A composition without lights and no image-based light: no record, no array.
  load(json::parse(R"([{"name": "A", "type": "solid"}, {"name": "B", "type": "solid"},
                       {"name": "C", "type": "solid"}, {"name": "D", "type": "solid"},
                       {"name": "Cloud", "type": "solid"}])"));
  ASSERT_EQ(collect(inputs()), PF_Err_NONE);
  EXPECT_FALSE(list_.present);
  EXPECT_EQ(list_.count, 0);
}

TEST_F(SceneLightsTest, TheImageBasedLightIsFoundThroughTheEffectsOwnStream) {
  PF_EffectWorld env = WithPixels(&pixel_);
  FrameSettings in = inputs();
  in.layers.put(kLayerIbl, &env);
  // IBL_LAYER names the footage layer "Specular env" (index 22; the control holds index + 1).
  instance_->params[IBL_LAYER].u.ld.reserved0 = reinterpret_cast<void*>(intptr_t{23});
  const auto before = host::OutstandingCompositionRefs();
  ASSERT_EQ(collect(in), PF_Err_NONE);
  ASSERT_EQ(list_.count, 17);
  EXPECT_TRUE(switches_.ibl_on);
  const LightRecord& ibl = list_.lights[16];
  EXPECT_TRUE(ibl.is_image_based);
  EXPECT_EQ(ibl.environment, &env);
  EXPECT_TRUE(ibl.is_specular_light);
  EXPECT_FALSE(ibl.is_diffuse_light);
  EXPECT_FALSE(ibl.is_alpha_light);
  // The effect reference, the stream and its value were all given back.
  auto after = host::OutstandingCompositionRefs();
  EXPECT_EQ(after.effects, before.effects);
  EXPECT_EQ(after.streams, before.streams);
  EXPECT_EQ(after.values, before.values);

  // No layer behind the control: the record is counted but lights nothing.
  instance_->params[IBL_LAYER].u.ld.reserved0 = nullptr;
  ASSERT_EQ(collect(in), PF_Err_NONE);
  ASSERT_EQ(list_.count, 17);
  EXPECT_FALSE(list_.lights[16].is_image_based);
  EXPECT_FALSE(list_.lights[16].is_diffuse_light || list_.lights[16].is_specular_light);
  EXPECT_EQ(list_.lights[16].environment, nullptr);

  // An abort after the lookup is the result; the references are given back all the same.
  instance_->params[IBL_LAYER].u.ld.reserved0 = reinterpret_cast<void*>(intptr_t{23});
  host().faults().failOnCall("abort", 1);
  EXPECT_EQ(collect(in), PF_Interrupt_CANCEL);
  after = host::OutstandingCompositionRefs();
  EXPECT_EQ(after.effects, before.effects);
  EXPECT_EQ(after.streams, before.streams);
  EXPECT_EQ(after.values, before.values);

  // Only the image-based light: one record, and lighting still runs.
  load(json::parse(R"([{"name": "A", "type": "solid"}, {"name": "B", "type": "solid"},
                       {"name": "C", "type": "solid"}, {"name": "D", "type": "solid"},
                       {"name": "Cloud", "type": "solid"}])"));
  instance_->params[IBL_LAYER].u.ld.reserved0 = reinterpret_cast<void*>(intptr_t{1});
  in = inputs();
  in.layers.put(kLayerIbl, &env);
  ASSERT_EQ(collect(in), PF_Err_NONE);
  ASSERT_EQ(list_.count, 1);
  EXPECT_TRUE(switches_.collected && switches_.ibl_on);
  EXPECT_TRUE(list_.lights[0].is_image_based);
  EXPECT_TRUE(list_.lights[0].is_diffuse_light && list_.lights[0].is_specular_light);
}

TEST_F(SceneLightsTest, AHostErrorStopsCollectionAndKeepsWhatWasRead) {
  // The third stream read of the first light (cone angle) fails: intensity and colour stay.
  host().faults().failOnCall("aegp.GetLayerStreamValue", 3);
  EXPECT_EQ(collect(inputs()), PF_Err_BAD_CALLBACK_PARAM);
  ASSERT_TRUE(list_.present);
  EXPECT_FLOAT_EQ(list_.lights[0].intensity, 1.5f);
  EXPECT_FLOAT_EQ(list_.lights[0].color.red, 0.5f);
  EXPECT_FLOAT_EQ(list_.lights[0].cone_angle, 0);
  EXPECT_EQ(list_.lights[1].layer_index, -1);  // never reached
  EXPECT_EQ(host().faults().calls("aegp.GetLayerStreamValue"), 3);

  // A refusal in the counting pass leaves no list at all.
  host().faults().failOnCall("aegp.IsVideoActive", 2);
  EXPECT_EQ(collect(inputs()), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_FALSE(list_.present);
}

TEST_F(SceneLightsTest, ASpotLightAimedAtItsPointOfInterestLightsAlongItsAxis) {
  // Spot at (0, 0, -100) aimed at the origin with a 90° cone (45° each side of the axis).
  load(json::parse(R"([
    {"name": "Spot", "type": "light", "light_type": "spot", "position": [0, 0, -100],
     "point_of_interest": [0, 0, 0], "cone_angle": 90, "cone_feather": 0},
    {"name": "B", "type": "solid"}, {"name": "C", "type": "solid"}, {"name": "D", "type": "solid"},
    {"name": "Cloud", "type": "solid"}])"));
  ASSERT_EQ(collect(inputs()), PF_Err_NONE);
  ASSERT_EQ(list_.count, 1);
  // The light's local +z, row 2 of its transform, points from it to its point of interest.
  EXPECT_NEAR(list_.lights[0].transform[2][2], 1, 1e-12);

  LightingSettings settings{};
  auto diffuse_at = [&](double degrees_off_axis) {
    // A point on the plane z = 0, that many degrees off the axis as seen from the light, facing
    // the light: N·L = 1, so its diffuse term is 1 inside the cone and 0 outside.
    const float x = (float)(100 * std::tan(degrees_off_axis * 3.14159265358979 / 180));
    Vec3 n{-x, 0, -100};
    Normalize3(n);
    ColorF lit{0, 0, 0, 0}, specular{1, 0, 0, 0};
    const Matrix4 identity = IdentityMatrix4();
    const LightingFrame frame{
        settings, list_, false, false, false, identity, PF_PixelFormat_ARGB128, 0};
    EXPECT_EQ(ComputeLighting(frame, LitPoint{Vec3{x, 0, 0}, n, false, n, Vec3{0, 0, -1}, 0, 0},
                              &lit, &specular),
              PF_Err_NONE);
    return lit.red;
  };
  EXPECT_NEAR(diffuse_at(0), 1, 1e-5);
  EXPECT_NEAR(diffuse_at(40), 1, 1e-5);
  EXPECT_NEAR(diffuse_at(50), 0, 1e-6);
}

}  // namespace
}  // namespace mf::test
