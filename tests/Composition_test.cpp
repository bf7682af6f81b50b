// The host's composition and its suites, driven as the effect drives them: suites acquired from
// the registry by name and version, handles passed back in.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <utility>

#include "AE_CompSuites.h"
#include "HostFixture.h"
#include "host/Composition.h"
#include "host/HostServices.h"
#include "host/MemorySuite.h"
#include "host/Scene.h"

namespace mf::test {
namespace {

using host::CompLayer;
using host::Composition;
using nlohmann::json;

class CompositionTest : public HostTest {
 protected:
  template <class Suite>
  const Suite* suite(const char* name, int32_t version) {
    const void* table = nullptr;
    EXPECT_EQ(host().suites().acquire(name, version, &table), kSPNoError) << name;
    return static_cast<const Suite*>(table);
  }
  const AEGP_LayerSuite5* layers() { return suite<AEGP_LayerSuite5>(kAEGPLayerSuite, 11); }
  const AEGP_StreamSuite2* streams() { return suite<AEGP_StreamSuite2>(kAEGPStreamSuite, 7); }
  const AEGP_PFInterfaceSuite1* pfi() {
    return suite<AEGP_PFInterfaceSuite1>(kAEGPPFInterfaceSuite, 1);
  }

  host::Scene writeScene(const json& doc) {
    const auto path = dir_ / "scene.json";
    std::ofstream(path) << doc.dump(2);
    return host::LoadScene(path);
  }
  // Loads the scene into the host; returns the composition.
  Composition& load(const json& doc) {
    host().setComposition(Composition::FromScene(writeScene(doc)));
    return *host().composition();
  }
  std::string sceneError(const json& doc) {
    try {
      Composition::FromScene(writeScene(doc));
    } catch (const host::SceneError& e) {
      return e.what();
    }
    return "(no error)";
  }
  host::EffectInstance* newEffect() {
    if (!host().globallySetUp()) {
      EXPECT_EQ(host().globalSetup(), PF_Err_NONE);
    }
    host::EffectInstance* fx = host().newInstance();
    EXPECT_NE(fx, nullptr);
    return fx;
  }
  static AEGP_LayerH H(CompLayer* layer) { return reinterpret_cast<AEGP_LayerH>(layer); }
  AEGP_LayerH layerAt(int i) { return H(host().composition()->layer(i)); }
  AEGP_CompH comp() { return reinterpret_cast<AEGP_CompH>(host().composition()); }
};

A_Time Seconds(double s) {
  return A_Time{static_cast<A_long>(std::lround(s * 24)), 24};
}

json BasicScene() {
  return json::parse(R"({
    "composition": {"width": 200, "height": 100, "frame_rate": 24, "duration": 48},
    "layers": [
      {"name": "Cam", "type": "camera", "position": [100, 50, -200],
       "point_of_interest": [100, 50, 0], "zoom": 250},
      {"name": "Ortho", "type": "camera", "camera_type": "orthographic",
       "position": [0, 0, 0], "orientation": [0, 90, 0]},
      {"name": "Key", "type": "light", "light_type": "spot", "position": [10, 20, -30],
       "point_of_interest": [10, 20, 0], "intensity": [[0, 0], [2, 100]],
       "color": [0.25, 0.5, 1], "cone_angle": 60, "cone_feather": 25, "falloff": "smooth",
       "radius": 40, "falloff_distance": 80, "casts_shadows": true, "shadow_darkness": 70,
       "shadow_diffusion": 3},
      {"name": "Off", "type": "light", "light_type": "ambient", "enabled": false},
      {"name": "Adj", "type": "solid", "adjustment": true},
      {"name": "beauty", "type": "footage", "source": "renders/beauty.####.exr"}
    ]})");
}

TEST_F(CompositionTest, SceneLayersReachTheSuitesWithTheirKindsAndFlags) {
  load(BasicScene());
  const auto* L = layers();
  const A_Time t1 = Seconds(1);

  A_long n = 0;
  ASSERT_EQ(L->AEGP_GetCompNumLayers(comp(), &n), PF_Err_NONE);
  EXPECT_EQ(n, 6);
  const AEGP_ObjectType expected_types[] = {AEGP_ObjectType_CAMERA, AEGP_ObjectType_CAMERA,
                                            AEGP_ObjectType_LIGHT,  AEGP_ObjectType_LIGHT,
                                            AEGP_ObjectType_AV,     AEGP_ObjectType_AV};
  AEGP_LayerH layer[6] = {};
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(L->AEGP_GetCompLayerByIndex(comp(), i, &layer[i]), PF_Err_NONE);
    AEGP_ObjectType type = -5;
    EXPECT_EQ(L->AEGP_GetLayerObjectType(layer[i], &type), PF_Err_NONE);
    EXPECT_EQ(type, expected_types[i]) << i;
    A_long index = -1;
    EXPECT_EQ(L->AEGP_GetLayerIndex(layer[i], &index), PF_Err_NONE);
    EXPECT_EQ(index, i);
  }
  AEGP_LayerH none = reinterpret_cast<AEGP_LayerH>(1);
  EXPECT_EQ(L->AEGP_GetCompLayerByIndex(comp(), 6, &none), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(none, nullptr);

  AEGP_LayerFlags flags = 0;
  L->AEGP_GetLayerFlags(layer[4], &flags);
  EXPECT_TRUE(flags & AEGP_LayerFlag_ADJUSTMENT_LAYER);
  EXPECT_TRUE(flags & AEGP_LayerFlag_VIDEO_ACTIVE);
  L->AEGP_GetLayerFlags(layer[3], &flags);
  EXPECT_FALSE(flags & AEGP_LayerFlag_VIDEO_ACTIVE);
  A_Boolean active = 1;
  L->AEGP_IsVideoActive(layer[3], AEGP_LTimeMode_CompTime, &t1, &active);
  EXPECT_FALSE(active);
  L->AEGP_IsVideoActive(layer[2], AEGP_LTimeMode_CompTime, &t1, &active);
  EXPECT_TRUE(active);
  // The composition lasts 2 s: layers end there.
  const A_Time end = Seconds(2);
  L->AEGP_IsVideoActive(layer[2], AEGP_LTimeMode_CompTime, &end, &active);
  EXPECT_FALSE(active);

  const auto* cameras = suite<AEGP_CameraSuite2>(kAEGPCameraSuite, 2);
  AEGP_CameraType ct = -5;
  cameras->AEGP_GetCameraType(layer[0], &ct);
  EXPECT_EQ(ct, AEGP_CameraType_PERSPECTIVE);
  cameras->AEGP_GetCameraType(layer[1], &ct);
  EXPECT_EQ(ct, AEGP_CameraType_ORTHOGRAPHIC);
  const auto* lights = suite<AEGP_LightSuite2>(kAEGPLightSuite, 2);
  AEGP_LightType lt = -5;
  lights->AEGP_GetLightType(layer[2], &lt);
  EXPECT_EQ(lt, AEGP_LightType_SPOT);
  lights->AEGP_GetLightType(layer[3], &lt);
  EXPECT_EQ(lt, AEGP_LightType_AMBIENT);
}

// Stream values after expressions at t = 1 s, as the light collection reads them.
TEST_F(CompositionTest, LightStreamsReadAtTheirTime) {
  load(BasicScene());
  const auto* S = streams();
  const A_Time t1 = Seconds(1);
  AEGP_LayerH camera = layerAt(0), spot = layerAt(2), ambient = layerAt(3);
  auto one = [&](AEGP_LayerH l, AEGP_LayerStream which) {
    AEGP_StreamVal v{};
    AEGP_StreamType type = -1;
    EXPECT_EQ(S->AEGP_GetLayerStreamValue(l, which, AEGP_LTimeMode_CompTime, &t1, false, &v, &type),
              PF_Err_NONE)
        << which;
    EXPECT_EQ(type, AEGP_StreamType_OneD) << which;
    return v.one_d;
  };
  EXPECT_DOUBLE_EQ(one(camera, AEGP_LayerStream_ZOOM), 250);
  EXPECT_DOUBLE_EQ(one(spot, AEGP_LayerStream_INTENSITY), 50);  // halfway from 0 to 100
  EXPECT_DOUBLE_EQ(one(spot, AEGP_LayerStream_CONE_ANGLE), 60);
  EXPECT_DOUBLE_EQ(one(spot, AEGP_LayerStream_CONE_FEATHER), 25);
  EXPECT_DOUBLE_EQ(one(spot, AEGP_LayerStream_LIGHT_FALLOFF_TYPE), 2);  // 1-based: smooth
  EXPECT_DOUBLE_EQ(one(spot, AEGP_LayerStream_LIGHT_FALLOFF_START), 40);
  EXPECT_DOUBLE_EQ(one(spot, AEGP_LayerStream_LIGHT_FALLOFF_DISTANCE), 80);
  EXPECT_DOUBLE_EQ(one(spot, AEGP_LayerStream_CASTS_SHADOWS), 1);
  EXPECT_DOUBLE_EQ(one(spot, AEGP_LayerStream_SHADOW_DARKNESS), 70);
  EXPECT_DOUBLE_EQ(one(spot, AEGP_LayerStream_SHADOW_DIFFUSION), 3);
  // An ambient light given nothing has the host's defaults.
  EXPECT_DOUBLE_EQ(one(ambient, AEGP_LayerStream_INTENSITY), 100);
  EXPECT_DOUBLE_EQ(one(ambient, AEGP_LayerStream_LIGHT_FALLOFF_TYPE), 1);

  AEGP_StreamVal color{};
  AEGP_StreamType type = -1;
  ASSERT_EQ(S->AEGP_GetLayerStreamValue(spot, AEGP_LayerStream_COLOR, AEGP_LTimeMode_CompTime, &t1,
                                        false, &color, &type),
            PF_Err_NONE);
  EXPECT_EQ(type, AEGP_StreamType_COLOR);
  EXPECT_DOUBLE_EQ(color.color.alphaF, 1.0);
  EXPECT_DOUBLE_EQ(color.color.redF, 0.25);
  EXPECT_DOUBLE_EQ(color.color.greenF, 0.5);
  EXPECT_DOUBLE_EQ(color.color.blueF, 1.0);
}

TEST_F(CompositionTest, StreamsALayerCannotGiveAndHandlesOfAReplacedCompositionAreRefused) {
  load(BasicScene());
  const auto* S = streams();
  const A_Time t1 = Seconds(1);
  AEGP_LayerH camera = layerAt(0);
  // A stream the layer does not have, a zero time scale, and a refused call.
  AEGP_StreamVal v{};
  EXPECT_EQ(S->AEGP_GetLayerStreamValue(layerAt(2), AEGP_LayerStream_ZOOM, AEGP_LTimeMode_CompTime,
                                        &t1, false, &v, nullptr),
            PF_Err_BAD_CALLBACK_PARAM);
  const A_Time bad{1, 0};
  EXPECT_EQ(S->AEGP_GetLayerStreamValue(camera, AEGP_LayerStream_ZOOM, AEGP_LTimeMode_CompTime,
                                        &bad, false, &v, nullptr),
            PF_Err_BAD_CALLBACK_PARAM);
  host().faults().failOnCall("aegp.GetLayerStreamValue", 1);
  EXPECT_NE(S->AEGP_GetLayerStreamValue(camera, AEGP_LayerStream_ZOOM, AEGP_LTimeMode_CompTime, &t1,
                                        false, &v, nullptr),
            PF_Err_NONE);

  // A handle of a replaced composition is refused, not followed.
  load(BasicScene());
  AEGP_ObjectType stale = 0;
  EXPECT_EQ(layers()->AEGP_GetLayerObjectType(camera, &stale), PF_Err_BAD_CALLBACK_PARAM);
}

TEST_F(CompositionTest, BadSceneValuesAreRefusedNamingTheKey) {
  auto with = [&](const char* layer_json) {
    json doc = BasicScene();
    doc["layers"] = json::array({json::parse(layer_json)});
    return sceneError(doc);
  };
  EXPECT_NE(with(R"({"name": "L", "type": "light", "falloff": "linear"})")
                .find("layers[0].falloff: unknown value \"linear\""),
            std::string::npos);
  EXPECT_NE(
      with(R"({"name": "C", "type": "camera", "zoom": 0})").find("layers[0].zoom: must be above 0"),
      std::string::npos);
  EXPECT_NE(with(R"({"name": "C", "type": "camera", "poi": [0, 0, 0]})").find("layers[0].poi"),
            std::string::npos);
  EXPECT_NE(
      with(R"({"name": "L", "type": "light", "color": [2, 0, 0]})").find("layers[0].color[0]"),
      std::string::npos);
  EXPECT_NE(
      with(R"({"name": "C", "type": "camera", "position": [0, 0]})").find("layers[0].position"),
      std::string::npos);
  EXPECT_NE(with(R"({"name": "C", "type": "camera", "zoom": [[1, 100], [0, 200]]})")
                .find("keyframe times must increase"),
            std::string::npos);
  EXPECT_NE(with(R"({"name": "L", "type": "light", "casts_shadows": 1})").find("true or false"),
            std::string::npos);
  EXPECT_EQ(with(R"({"name": "L", "type": "light"})"), "(no error)");
}

TEST_F(CompositionTest, LayerToWorldAimsTheLocalZAxisAtThePointOfInterest) {
  Composition& c = load(json::parse(R"({
    "composition": {"width": 1920, "height": 1080},
    "layers": [
      {"name": "Aimed", "type": "camera", "position": [0, 0, -100], "point_of_interest": [100, 0, 0]},
      {"name": "Turned", "type": "camera", "position": [5, 6, 7], "orientation": [0, 90, 0]},
      {"name": "New", "type": "camera"},
      {"name": "Moving", "type": "light", "position": [[0, [0, 0, 0]], [2, [100, -50, 10]]]}
    ]})"));
  const double r = std::sqrt(0.5);
  // Looking from (0,0,-100) at (100,0,0): z = (1,0,1)/√2. x = y_world × z = (1,0,-1)/√2 keeps the
  // layer upright, and y = z × x = (0,1,0).
  const A_Matrix4 m = c.layerToWorld(*c.layer(0), 0);
  const double expected[4][4] = {{r, 0, -r, 0}, {0, 1, 0, 0}, {r, 0, r, 0}, {0, 0, -100, 1}};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(m.mat[i][j], expected[i][j], 1e-12) << i << "," << j;

  // Orientation alone: 90° about y turns the view axis z to +x (right-handed, y down).
  const A_Matrix4 t = c.layerToWorld(*c.layer(1), 0);
  EXPECT_NEAR(t.mat[2][0], 1, 1e-12);
  EXPECT_NEAR(t.mat[2][2], 0, 1e-12);
  EXPECT_NEAR(t.mat[0][2], -1, 1e-12);
  EXPECT_NEAR(t.mat[1][1], 1, 1e-12);
  EXPECT_DOUBLE_EQ(t.mat[3][0], 5);
  EXPECT_DOUBLE_EQ(t.mat[3][2], 7);

  // A camera given nothing sits at the default distance in front of the centre: a 39.6° view of
  // 1920 pixels is 960 / tan(19.8°) = 2666.5 pixels away, looking straight in.
  const A_Matrix4 d = c.layerToWorld(*c.layer(2), 0);
  EXPECT_NEAR(d.mat[3][0], 960, 1e-9);
  EXPECT_NEAR(d.mat[3][1], 540, 1e-9);
  EXPECT_NEAR(d.mat[3][2], -2666.5, 0.1);
  EXPECT_NEAR(d.mat[2][2], 1, 1e-12);

  // Keyframed position, halfway at 1 s; through the suite at that comp time.
  const auto* L = layers();
  const A_Time t1 = Seconds(1);
  A_Matrix4 w{};
  ASSERT_EQ(L->AEGP_GetLayerToWorldXform(H(c.layer(3)), &t1, &w), PF_Err_NONE);
  EXPECT_DOUBLE_EQ(w.mat[3][0], 50);
  EXPECT_DOUBLE_EQ(w.mat[3][1], -25);
  EXPECT_DOUBLE_EQ(w.mat[3][2], 5);
  host().faults().failOnCall("aegp.GetLayerToWorldXform", 1);
  EXPECT_EQ(L->AEGP_GetLayerToWorldXform(H(c.layer(3)), &t1, &w), PF_Err_BAD_CALLBACK_PARAM);
}

TEST_F(CompositionTest, TheEffectSeesTheTopmostActiveCameraThroughItsLayer) {
  Composition& c = load(json::parse(R"({
    "composition": {"width": 200, "height": 100, "duration": 96},
    "layers": [
      {"name": "Switched off", "type": "camera", "enabled": false, "zoom": 11},
      {"name": "Late", "type": "camera", "in_point": 1.0, "zoom": 22, "position": [1, 2, 3]},
      {"name": "Main", "type": "camera", "zoom": 33, "position": [4, 5, 6]},
      {"name": "Cloud", "type": "solid"}
    ]})"));
  host::EffectInstance* instance = newEffect();
  ASSERT_NE(instance, nullptr);
  auto ref = reinterpret_cast<PF_ProgPtr>(instance);
  const auto* P = pfi();

  // Not applied to any layer yet: no layer, no camera, no error.
  AEGP_LayerH layer = reinterpret_cast<AEGP_LayerH>(1);
  EXPECT_EQ(P->AEGP_GetEffectLayer(ref, &layer), PF_Err_NONE);
  EXPECT_EQ(layer, nullptr);
  const A_Time t0 = Seconds(0), t2 = Seconds(2);
  AEGP_LayerH camera = reinterpret_cast<AEGP_LayerH>(1);
  EXPECT_EQ(P->AEGP_GetEffectCamera(ref, &t0, &camera), PF_Err_NONE);
  EXPECT_EQ(camera, nullptr);

  c.attachEffect(3, instance);
  EXPECT_EQ(P->AEGP_GetEffectLayer(ref, &layer), PF_Err_NONE);
  EXPECT_EQ(layer, H(c.layer(3)));
  EXPECT_EQ(P->AEGP_GetEffectCamera(ref, &t0, &camera), PF_Err_NONE);
  EXPECT_EQ(camera, H(c.layer(2)));  // "Late" has not started
  EXPECT_EQ(P->AEGP_GetEffectCamera(ref, &t2, &camera), PF_Err_NONE);
  EXPECT_EQ(camera, H(c.layer(1)));

  A_Matrix4 m{};
  A_FpLong distance = 0;
  A_short w = 0, h = 0;
  ASSERT_EQ(P->AEGP_GetEffectCameraMatrix(ref, &t2, &m, &distance, &w, &h), PF_Err_NONE);
  EXPECT_DOUBLE_EQ(m.mat[3][0], 1);
  EXPECT_DOUBLE_EQ(m.mat[3][1], 2);
  EXPECT_DOUBLE_EQ(m.mat[3][2], 3);
  EXPECT_DOUBLE_EQ(distance, 22);
  EXPECT_EQ(w, 200);
  EXPECT_EQ(h, 100);

  // The suite also tells where the effect's layer sits.
  AEGP_CompH parent = nullptr;
  EXPECT_EQ(layers()->AEGP_GetLayerParentComp(layer, &parent), PF_Err_NONE);
  EXPECT_EQ(parent, comp());
  host().faults().failOnCall("aegp.GetEffectCamera", 1);
  EXPECT_EQ(P->AEGP_GetEffectCamera(ref, &t0, &camera), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(camera, nullptr);
}

TEST_F(CompositionTest, EffectTimeBecomesCompTimeThroughTheLayerStartTime) {
  Composition& c = load(json::parse(R"({
    "composition": {"width": 200, "height": 100, "duration": 96},
    "layers": [
      {"name": "Late", "type": "light", "in_point": 1.0},
      {"name": "Cloud", "type": "solid", "start_time": 0.5}
    ]})"));
  host::EffectInstance* instance = newEffect();
  c.attachEffect(1, instance);
  auto ref = reinterpret_cast<PF_ProgPtr>(instance);
  A_Time comp_time{};
  // 1 s of layer time (24/24) is 1.5 s of comp time.
  ASSERT_EQ(pfi()->AEGP_ConvertEffectToCompTime(ref, 24, 24, &comp_time), PF_Err_NONE);
  EXPECT_EQ(comp_time.value, 36);
  EXPECT_EQ(comp_time.scale, 24u);
  EXPECT_EQ(pfi()->AEGP_ConvertEffectToCompTime(ref, 24, 0, &comp_time), PF_Err_BAD_CALLBACK_PARAM);

  // Layer time is the layer's own: the light starts at comp 1.0, its layer time is comp time.
  const auto* L = layers();
  A_Boolean active = 0;
  const A_Time t = Seconds(0.75);
  L->AEGP_IsVideoActive(H(c.layer(1)), AEGP_LTimeMode_LayerTime, &t, &active);
  EXPECT_TRUE(active);
  A_Time in{}, offset{}, duration{};
  L->AEGP_GetLayerInPoint(H(c.layer(0)), AEGP_LTimeMode_CompTime, &in);
  L->AEGP_GetLayerOffset(H(c.layer(1)), &offset);
  L->AEGP_GetLayerDuration(H(c.layer(0)), AEGP_LTimeMode_CompTime, &duration);
  EXPECT_DOUBLE_EQ((double)in.value / in.scale, 1.0);
  EXPECT_DOUBLE_EQ((double)offset.value / offset.scale, 0.5);
  EXPECT_DOUBLE_EQ((double)duration.value / duration.scale, 3.0);  // 4 s composition, from 1 s
}

json CameraScene() {
  return json::parse(R"({
    "composition": {"width": 200, "height": 100},
    "layers": [
      {"name": "Cam \"A\"", "type": "camera", "position": [[0, [10, 20, -300]], [2, [30, 40, -100]]],
       "zoom": 480},
      {"name": "Env", "type": "footage", "source": "env.exr"},
      {"name": "Cloud", "type": "solid"}
    ]})");
}

// Two of an effect's streams, as the camera link takes them: reference camera X (132) and a layer
// control (20).
class EffectStreams : public CompositionTest {
 protected:
  void SetUp() override {
    CompositionTest::SetUp();
    Composition& c = load(CameraScene());
    instance_ = newEffect();
    ASSERT_NE(instance_, nullptr);
    c.attachEffect(2, instance_);
    before_ = host::OutstandingCompositionRefs();
    S = streams();
    E = suite<AEGP_EffectSuite2>(kAEGPEffectSuite, 2);
    ASSERT_EQ(
        pfi()->AEGP_GetNewEffectForEffect(kId, reinterpret_cast<PF_ProgPtr>(instance_), &effect_),
        PF_Err_NONE);
    ASSERT_EQ(S->AEGP_GetNewEffectStreamByIndex(kId, effect_, 132, &x_), PF_Err_NONE);
    ASSERT_EQ(S->AEGP_GetNewEffectStreamByIndex(kId, effect_, 20, &env_), PF_Err_NONE);
  }
  void TearDown() override {
    if (effect_) {
      for (AEGP_StreamRefH s : {x_, env_})
        if (s) S->AEGP_DisposeStream(s);
      E->AEGP_DisposeEffect(effect_);
    }
    // Every reference and value a test took has come back.
    const auto after = host::OutstandingCompositionRefs();
    EXPECT_EQ(after.streams, before_.streams);
    EXPECT_EQ(after.effects, before_.effects);
    EXPECT_EQ(after.values, before_.values);
    CompositionTest::TearDown();
  }
  AEGP_StreamVal value(AEGP_StreamRefH s, double seconds, bool pre) {
    AEGP_StreamValue v{};
    const A_Time t = Seconds(seconds);
    EXPECT_EQ(S->AEGP_GetNewStreamValue(kId, s, AEGP_LTimeMode_CompTime, &t, pre, &v), PF_Err_NONE);
    EXPECT_EQ(S->AEGP_DisposeStreamValue(&v), PF_Err_NONE);
    return v.val;
  }

  // The texts the camera link writes: the name goes in as it stands, quotes and all.
  static constexpr const char* kXText = "thisComp.layer(\"Cam \"A\"\").transform.position[0];\n";
  static constexpr AEGP_PluginID kId = 42;
  host::EffectInstance* instance_ = nullptr;
  host::CompositionRefCounts before_{};
  const AEGP_StreamSuite2* S = nullptr;
  const AEGP_EffectSuite2* E = nullptr;
  AEGP_EffectRefH effect_ = nullptr;
  AEGP_StreamRefH x_ = nullptr, env_ = nullptr;
};

TEST_F(EffectStreams, NoStreamPastTheLastControl) {
  AEGP_StreamRefH past = reinterpret_cast<AEGP_StreamRefH>(1);
  EXPECT_EQ(S->AEGP_GetNewEffectStreamByIndex(kId, effect_, (PF_ParamIndex)instance_->params.size(),
                                              &past),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(past, nullptr);
}

// Written but switched off, the slider keeps its own value; on, it is the camera's x, at 1 s
// halfway from 10 to 30; before expressions it is the slider's own.
TEST_F(EffectStreams, AnExpressionSwitchedOnFollowsTheCamera) {
  const double own_x = instance_->params[132].u.fs_d.value;
  ASSERT_EQ(S->AEGP_SetExpression(kId, x_, kXText), PF_Err_NONE);
  EXPECT_DOUBLE_EQ(value(x_, 1, false).one_d, own_x);
  ASSERT_EQ(S->AEGP_SetExpressionState(kId, x_, true), PF_Err_NONE);
  EXPECT_DOUBLE_EQ(value(x_, 1, false).one_d, 20);
  EXPECT_DOUBLE_EQ(value(x_, 1, true).one_d, own_x);
}

TEST_F(EffectStreams, AnExpressionIsReadBackAsWrittenAndARefusedWriteKeepsIt) {
  ASSERT_EQ(S->AEGP_SetExpression(kId, x_, kXText), PF_Err_NONE);
  host().faults().failOnCall("aegp.SetExpression", 1);
  EXPECT_EQ(S->AEGP_SetExpression(kId, x_, "1;"), PF_Err_BAD_CALLBACK_PARAM);
  AEGP_MemHandle text = nullptr;
  ASSERT_EQ(S->AEGP_GetExpression(kId, x_, &text), PF_Err_NONE);
  const auto* memory = host::MemorySuiteTable();
  void* bytes = nullptr;
  memory->AEGP_LockMemHandle(text, &bytes);
  EXPECT_STREQ(static_cast<const char*>(bytes), kXText);
  memory->AEGP_UnlockMemHandle(text);
  memory->AEGP_FreeMemHandle(text);
}

// A layer control's stream gives the chosen layer's id; the id finds the layer again.
TEST_F(EffectStreams, ALayerControlGivesALayerIdTheCompositionFinds) {
  instance_->params[20].u.ld.reserved0 = reinterpret_cast<void*>(static_cast<intptr_t>(2));
  AEGP_LayerH found = nullptr;
  ASSERT_EQ(layers()->AEGP_GetLayerFromLayerID(comp(), value(env_, 0, true).layer_id, &found),
            PF_Err_NONE);
  EXPECT_EQ(found, layerAt(1));
  ASSERT_EQ(layers()->AEGP_GetLayerFromLayerID(comp(), 9999, &found), PF_Err_NONE);
  EXPECT_EQ(found, nullptr);
}

TEST_F(EffectStreams, ASecondDisposalIsRefusedNotAFreeAgain) {
  for (AEGP_StreamRefH s : {x_, env_}) EXPECT_EQ(S->AEGP_DisposeStream(s), PF_Err_NONE);
  EXPECT_EQ(S->AEGP_DisposeStream(x_), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(E->AEGP_DisposeEffect(std::exchange(effect_, nullptr)), PF_Err_NONE);
}

TEST_F(CompositionTest, ExpressionsTheHostCannotEvaluateGiveNoValue) {
  Composition& c = load(CameraScene());
  EXPECT_FALSE(c.evaluateExpression("thisComp.layer(\"Nobody\").zoom;", 0));
  EXPECT_FALSE(c.evaluateExpression("thisComp.layer(\"Env\").zoom", 0));
  EXPECT_FALSE(c.evaluateExpression("wiggle(2, 10)", 0));
  EXPECT_DOUBLE_EQ(
      *c.evaluateExpression(" thisComp.layer(\"Cam \"A\"\").transform.position[2] ", 2), -100);
}

TEST_F(CompositionTest, ReferencesToARemovedInstanceAreRefused) {
  Composition& c = load(CameraScene());
  host::EffectInstance* instance = newEffect();
  c.attachEffect(2, instance);
  const auto* S = streams();
  const AEGP_PluginID id = 42;
  AEGP_EffectRefH stale = nullptr;
  AEGP_StreamRefH x = nullptr;
  ASSERT_EQ(pfi()->AEGP_GetNewEffectForEffect(id, reinterpret_cast<PF_ProgPtr>(instance), &stale),
            PF_Err_NONE);
  ASSERT_EQ(S->AEGP_GetNewEffectStreamByIndex(id, stale, 132, &x), PF_Err_NONE);
  host().removeInstance(instance);
  AEGP_StreamValue v{};
  const A_Time t0 = Seconds(0);
  EXPECT_EQ(S->AEGP_GetNewStreamValue(id, x, AEGP_LTimeMode_CompTime, &t0, true, &v),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(suite<AEGP_EffectSuite2>(kAEGPEffectSuite, 2)->AEGP_DisposeEffect(stale),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(c.layerOfEffect(instance), nullptr);
}

TEST_F(CompositionTest, LayerNamesReachThePluginAsGbkCutToThirtyTwoBytes) {
  // "中" is D6 D0 in GBK and "文" is CE C4.
  std::string seventeen, a_sixteen = "a";
  for (int i = 0; i < 17; ++i) seventeen += "中";
  for (int i = 0; i < 16; ++i) a_sixteen += "中";
  json doc = {{"composition", {{"width", 10}, {"height", 10}}},
              {"layers",
               {{{"name", "中文"}, {"type", "light"}},
                {{"name", seventeen}, {"type", "light"}},
                {{"name", a_sixteen}, {"type", "light"}},
                {{"name", std::string(40, 'x')}, {"type", "solid"}}}}};
  Composition& c = load(doc);
  const auto* L = layers();
  auto name = [&](int i) {
    char buffer[AEGP_MAX_LAYER_NAME_SIZE + 2];
    std::memset(buffer, 0x7f, sizeof(buffer));
    EXPECT_EQ(L->AEGP_GetLayerName(H(c.layer(i)), buffer, nullptr), PF_Err_NONE);
    EXPECT_EQ(buffer[AEGP_MAX_LAYER_NAME_SIZE + 1], 0x7f) << "wrote past the 33-byte buffer";
    return std::string(buffer);
  };
  EXPECT_EQ(name(0), "\xD6\xD0\xCE\xC4");
  std::string sixteen_gbk;
  for (int i = 0; i < 16; ++i) sixteen_gbk += "\xD6\xD0";
  EXPECT_EQ(name(1), sixteen_gbk);  // 32 bytes: all sixteen fit, the seventeenth does not
  EXPECT_EQ(name(2), "a" + sixteen_gbk.substr(0, 30));  // never half a character
  EXPECT_EQ(name(3), std::string(32, 'x'));
  char source[AEGP_MAX_LAYER_NAME_SIZE + 1];
  EXPECT_EQ(L->AEGP_GetLayerName(H(c.layer(3)), nullptr, source), PF_Err_NONE);
}

TEST_F(CompositionTest, InfoPanelAndRenderEngineQuestions) {
  const auto* app = suite<PFAppSuite4>(kPFAppSuite, 6);
  PF_Boolean engine = 0;
  ASSERT_EQ(app->PF_IsRenderEngine(&engine), PF_Err_NONE);
  EXPECT_TRUE(engine);  // nobody watches a host made without interactive

  const auto* adv = suite<PF_AdvAppSuite2>(kPFAdvAppSuite, 2);
  ASSERT_EQ(adv->PF_InfoDrawText("Number of pixels : ", "1234"), PF_Err_NONE);
  ASSERT_EQ(host().infoLines().size(), 2u);
  EXPECT_EQ(host().infoLines()[0], "Number of pixels : ");
  EXPECT_EQ(host().infoLines()[1], "1234");
  host().faults().failOnCall("pf.PF_InfoDrawText", 1);
  EXPECT_EQ(adv->PF_InfoDrawText("x", "y"), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host().infoLines()[1], "1234");

  options_.interactive = true;
  RestartHost();
  app = suite<PFAppSuite4>(kPFAppSuite, 6);
  ASSERT_EQ(app->PF_IsRenderEngine(&engine), PF_Err_NONE);
  EXPECT_FALSE(engine);
  // No composition: layer queries are refused rather than crashing.
  A_long n = 0;
  EXPECT_EQ(layers()->AEGP_GetCompNumLayers(nullptr, &n), PF_Err_BAD_CALLBACK_PARAM);
}

}  // namespace
}  // namespace mf::test
