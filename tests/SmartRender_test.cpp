// Whole frames through the host: pre-render, then render, over the camera scene in code.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "CameraScene.h"
#include "HostFixture.h"
#include "host/Composition.h"
#include "host/Frame.h"
#include "host/FrameRender.h"
#include "host/ScriptedPerson.h"
#include "host/Worlds.h"
#include "params/ParamIndex.h"
#include "raster/PixelFormat.h"
#include "resources/resource.h"

namespace mf::test {
namespace {

bool Same(const ColorF& a, const ColorF& b) {
  return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}

constexpr int kSolid = 1, kSource = 2, kPositions = 3;

class SmartRenderTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    build();
  }

  void build() {
    host().setComposition(CameraOverSolid(4));
    host().setLayerSource(&source_);
    ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
    instance_ = host().newInstance();
    ASSERT_NE(instance_, nullptr);
    host().composition()->attachEffect(kSolid, instance_);
    chooseLayer(SOURCE_LAYER, kSource);
    chooseLayer(POSITION_PASS, kPositions);

    // Three opaque samples: A red at (10.5, 5.5, 0) → pixel (30, 25); B green at
    // (20.5, 10.5, 100) → (30.25, 25.25), the same pixel but farther, so A covers it; C blue at
    // (5.5, 15.5, 0) → (25, 35). Passes keep 0 … 1, the gain makes them world units.
    auto colours = Blank(4, 4);
    Set(*colours, 0, 0, 1, 0, 0, 1);
    Set(*colours, 1, 0, 0, 1, 0, 1);
    Set(*colours, 2, 0, 0, 0, 1, 1);
    auto positions = Blank(4, 4);
    Set(*positions, 0, 0, 0.105f, 0.055f, 0.0f, 1);
    Set(*positions, 1, 0, 0.205f, 0.105f, 1.0f, 1);
    Set(*positions, 2, 0, 0.055f, 0.155f, 0.0f, 1);
    source_.images[kSource] = colours;
    source_.images[kPositions] = positions;
    slider(GAIN_X, 100);
    // Plain stamps: copied, unlit, no grid (the controls' defaults blend, relight and grid).
    popup(PIXEL_BLEND_MODE, 1);
    check(DIFFUSE_LIGHTS, false);
    check(SPECULAR_LIGHTS, false);
    check(ENABLE_GRID, false);
  }

  void lightOneSample();
  void chooseLayer(int param, int layer) {
    instance_->params[param].u.ld.reserved0 = reinterpret_cast<void*>((intptr_t)layer + 1);
  }
  void slider(int index, double v) { instance_->params[index].u.fs_d.value = v; }
  void popup(int index, A_long v) { instance_->params[index].u.pd.value = v; }
  void check(int index, bool on) { instance_->params[index].u.bd.value = on; }

  PF_Err render(int bit_depth, bool high_quality = true,
                std::optional<PF_LRect> region = std::nullopt,
                std::optional<PF_LRect> mask = std::nullopt) {
    host::FrameRequest request;
    request.layer = kSolid;
    request.width = request.height = 40;
    request.bit_depth = bit_depth;
    request.high_quality = high_quality;
    request.region = region;
    request.mask = mask;
    frame_.reset();
    return host().renderFrame(*instance_, request, &frame_);
  }

  ColorF at(A_long x, A_long y) {
    ColorF c{};
    EXPECT_TRUE(ReadColorF(ViewOf(frame_.world, frame_.format), x, y, &c));
    return c;
  }
  std::vector<ColorF> pixels() {
    std::vector<ColorF> out;
    for (A_long y = 0; y < frame_.world.height; ++y)
      for (A_long x = 0; x < frame_.world.width; ++x) out.push_back(at(x, y));
    return out;
  }
  // Pixels that are not transparent black.
  int marked() {
    int n = 0;
    for (A_long y = 0; y < frame_.world.height; ++y) {
      for (A_long x = 0; x < frame_.world.width; ++x) {
        const ColorF c = at(x, y);
        n += c.alpha != 0 || c.red != 0 || c.green != 0 || c.blue != 0;
      }
    }
    return n;
  }

  ImageSource source_;
  host::EffectInstance* instance_ = nullptr;
  host::Frame frame_;
};

TEST_F(SmartRenderTest, PointsLandOnTheirPixelsNearestLastAtEveryDepth) {
  const int worlds = host::LiveWorldCount();
  const size_t handles = host().handles().live() + 1;  // and the render's copy of the record
  const int suites = host().suites().outstanding();
  for (int depth : {8, 16, 32}) {
    SCOPED_TRACE(depth);
    ASSERT_EQ(render(depth), PF_Err_NONE);
    ASSERT_EQ(frame_.world.width, 40);
    const ColorF a = at(30, 25);
    EXPECT_EQ(a.alpha, 1.0f);
    EXPECT_EQ(a.red, 1.0f);  // A, drawn after the farther B
    EXPECT_EQ(a.green, 0.0f);
    const ColorF c = at(25, 35);
    EXPECT_EQ(c.alpha, 1.0f);
    EXPECT_EQ(c.blue, 1.0f);
    EXPECT_EQ(marked(), 2);
  }
  frame_.reset();
  // Nothing of the frames outlives them: worlds, handles and suites are all handed back.
  EXPECT_EQ(host::LiveWorldCount(), worlds);
  EXPECT_EQ(host().handles().live(), handles);
  EXPECT_EQ(host().suites().outstanding(), suites);
  // Not interactive: no Info line.
  EXPECT_TRUE(host().infoLines().empty());
}

TEST_F(SmartRenderTest, TwoDModesReturnEverySampleToItsOwnPlace) {
  // Mode 2: the 4 × 4 canvas, scaled to the 40 × 40 layer, puts sample (i, j) on the block
  // 10i … 10i + 9, 10j … 10j + 9, whatever the camera would have done with it.
  popup(RENDER_MODE, 2);
  ASSERT_EQ(render(8, false), PF_Err_NONE);
  EXPECT_EQ(at(5, 5).red, 1.0f);
  EXPECT_EQ(at(15, 5).green, 1.0f);
  EXPECT_EQ(at(25, 9).blue, 1.0f);
  EXPECT_EQ(marked(), 300);

  // Mode 7 writes each point's world position as its colour; a float pass keeps it exactly.
  auto positions = Blank(4, 4);
  Set(*positions, 0, 0, 10.5f, -5.25f, 3.0f, 1);
  Set(*positions, 1, 0, -1234.5f, 0.125f, 1e5f, 1);
  source_.images[kPositions] = positions;
  slider(GAIN_X, 1);
  popup(RENDER_MODE, 7);
  ASSERT_EQ(render(32, false), PF_Err_NONE);
  ColorF p = at(3, 7);
  EXPECT_EQ(p.alpha, 1.0f);
  EXPECT_EQ(p.red, 10.5f);
  EXPECT_EQ(p.green, -5.25f);
  EXPECT_EQ(p.blue, 3.0f);
  p = at(19, 0);
  EXPECT_EQ(p.red, -1234.5f);
  EXPECT_EQ(p.green, 0.125f);
  EXPECT_EQ(p.blue, 1e5f);
  EXPECT_EQ(at(25, 5).alpha, 0.0f);  // C has no position now
}

TEST_F(SmartRenderTest, IdenticalSeedsGiveIdenticalFrames) {
  slider(SCATTER_X, 3);
  slider(SCATTER_Y, 3);
  slider(SCATTER_RANDOM_SEED, 11);
  ASSERT_EQ(render(32), PF_Err_NONE);
  const std::vector<ColorF> first = pixels();
  ASSERT_EQ(render(32), PF_Err_NONE);
  const std::vector<ColorF> second = pixels();
  for (size_t i = 0; i < first.size(); ++i) ASSERT_TRUE(Same(first[i], second[i])) << i;
}

// One sample facing the camera (normal (0, 0, −1)) at the origin, lit by a point light "Key"
// 100 away at 60° from the normal: N·L = cos 60° = 0.5 of a white light at full intensity, so
// the white point's red, green and blue become 0.5 where the light counts as diffuse.
void SmartRenderTest::lightOneSample() {
  host::CompLayer light;
  light.name = "Key";
  light.kind = host::LayerKind::kLight;
  light.light_type = AEGP_LightType_POINT;
  light.streams[AEGP_LayerStream_POSITION] =
      host::Animated::Constant({86.60254037844386, 0, -50, 0});
  light.streams[AEGP_LayerStream_INTENSITY] = host::Animated::Constant({100, 0, 0, 0});
  light.streams[AEGP_LayerStream_COLOR] = host::Animated::Constant({1, 1, 1, 1});
  host().composition()->addLayer(light);
  host::CompLayer normals;
  normals.name = "N";
  normals.kind = host::LayerKind::kFootage;
  normals.width = normals.height = 4;
  host().composition()->addLayer(normals);
  const int normal_layer = host().composition()->numLayers() - 1;
  auto n = Blank(4, 4);
  Set(*n, 0, 0, 0.5f, 0.5f, 0.0f, 1);  // remapped −1 … 1: (0, 0, −1)
  source_.images[normal_layer] = n;
  auto colours = Blank(4, 4);
  Set(*colours, 0, 0, 1, 1, 1, 1);
  source_.images[kSource] = colours;
  auto positions = Blank(4, 4);
  Set(*positions, 0, 0, 0.0f, 0.0f, 0.0f, 1);
  source_.images[kPositions] = positions;
  chooseLayer(NORMAL_PASS, normal_layer);
  check(DIFFUSE_LIGHTS, true);
  check(REMAP_VALUES, true);
}

TEST_F(SmartRenderTest, NewPrefixesReachTheNextRenderOfTheSameFrame) {
  // A host that renders through its own copy of the record and keeps the frames it made.
  options_.cache_frames = true;
  RestartHost();
  build();
  lightOneSample();
  ASSERT_EQ(render(32), PF_Err_NONE);
  const ColorF lit = at(20, 20);
  EXPECT_EQ(lit.alpha, 1.0f);
  for (float channel : {lit.red, lit.green, lit.blue}) EXPECT_NEAR(channel, 0.5f, 1e-4);
  // "Key" becomes the specular prefix: the light is specular only, and specular lighting is
  // off, so nothing lights the sample.
  host::ScriptedPerson person;
  platform::ScopedUser user(person);
  person.actOnDialog([](platform::DialogSession& d) {
    d.type(IDC_SPECULAR_PREFIX, "Key");
    d.click(IDOK);
  });
  ASSERT_EQ(instance_->send(PF_Cmd_DO_DIALOG), PF_Err_NONE);
  ASSERT_EQ(render(32), PF_Err_NONE);
  EXPECT_EQ(at(20, 20).alpha, 1.0f);
  EXPECT_NEAR(at(20, 20).red, 0.0f, 1e-4);
}

TEST_F(SmartRenderTest, ALayerThatStartsLaterRendersItsOwnTime) {
  // The effect's layer starts two seconds in: composition frame 60 is 0.5 s of layer time, where
  // the keyframed gain is 100 (it falls to 0 at 2.5 s); the passes are the composition's frame 60.
  host().composition()->layer(kSolid)->offset = 2.0;
  instance_->keyframes[GAIN_X] = {{0.5, 100.0}, {2.5, 0.0}};
  source_.log_frames = true;
  host::FrameRequest request;
  request.layer = kSolid;
  request.width = request.height = 40;
  request.bit_depth = 32;
  request.frame = 60;
  ASSERT_EQ(host().renderFrame(*instance_, request, &frame_), PF_Err_NONE);
  EXPECT_EQ(at(30, 25).red, 1.0f);
  EXPECT_EQ(at(25, 35).blue, 1.0f);
  EXPECT_EQ(source_.frames, std::set<int>{60});
}

TEST_F(SmartRenderTest, TextureFollowsTheLifeLayerInTheFullModeOnly) {
  // A texture layer found through the effect's own stream, and a life layer: every point is
  // covered by the texture, taken at a time its life picks.
  auto green = Blank(2, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) Set(*green, x, y, 0, 1, 0, 1);
  auto life = Blank(4, 4);
  for (int x = 0; x < 4; ++x) Set(*life, x, 0, 0.5f, 0.5f, 0.5f, 1);
  for (const char* name : {"texture", "life"}) {
    host::CompLayer footage;
    footage.name = name;
    footage.kind = host::LayerKind::kFootage;
    footage.width = footage.height = 4;
    host().composition()->addLayer(footage);
  }
  const int texture_layer = host().composition()->numLayers() - 2;
  source_.images[texture_layer] = green;
  source_.images[texture_layer + 1] = life;
  chooseLayer(TEXTURE_LAYER, texture_layer);
  chooseLayer(LIFE_LAYER, texture_layer + 1);
  popup(TEXTURE_BLEND_MODE, 1);
  ASSERT_EQ(render(32), PF_Err_NONE);
  EXPECT_EQ(at(30, 25).green, 1.0f);
  EXPECT_EQ(at(30, 25).red, 0.0f);
  EXPECT_EQ(at(25, 35).green, 1.0f);

  // The preview modes draw no texture: the source colours come back.
  popup(RENDER_MODE, 3);
  slider(RESOLUTION, 100);
  ASSERT_EQ(render(32), PF_Err_NONE);
  int red = 0;
  for (A_long y = 0; y < 40; ++y)
    for (A_long x = 0; x < 40; ++x) red += at(x, y).red == 1.0f;
  EXPECT_GT(red, 0);
}

TEST_F(SmartRenderTest, FramesThatAreNotErrors) {
  // No position pass: transparent, not an error.
  chooseLayer(POSITION_PASS, -1);
  ASSERT_EQ(render(8), PF_Err_NONE);
  EXPECT_EQ(marked(), 0);
  chooseLayer(POSITION_PASS, kPositions);

  // Outside any composition the input passes through, also when a part of it is asked for.
  auto ramp = Blank(40, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) Set(*ramp, x, y, x / 64.0f, y / 64.0f, 0, 1);
  source_.images[kSolid] = ramp;
  host().setComposition(nullptr);
  ASSERT_EQ(render(32), PF_Err_NONE);
  EXPECT_EQ(marked(), 1600);
  EXPECT_EQ(at(7, 31).red, 7 / 64.0f);
  EXPECT_EQ(at(7, 31).green, 31 / 64.0f);
  ASSERT_EQ(render(32, true, PF_LRect{7, 31, 20, 40}), PF_Err_NONE);
  ASSERT_EQ(frame_.world.width, 13);
  EXPECT_EQ(at(0, 0).red, 7 / 64.0f);
  EXPECT_EQ(at(12, 8).green, 39 / 64.0f);
}

// Without its pixel cache the effect has no points to draw: the host hears that it ran out of
// memory, and the output is as the host handed it over, with no grid drawn over an empty canvas.
TEST_F(SmartRenderTest, ARefusedPixelCacheIsTheHostsOutOfMemoryError) {
  check(ENABLE_GRID, true);
  for (const char* point : {"aegp.NewMemHandle", "aegp.LockMemHandle"}) {
    SCOPED_TRACE(point);
    host().faults().failAlways(point);
    EXPECT_EQ(render(8), PF_Err_OUT_OF_MEMORY);
    host().faults().clearAll();
    ASSERT_EQ(frame_.world.height, 40);
    for (A_long y = 0; y < 40; ++y) {
      const auto* row =
          reinterpret_cast<const uint8_t*>(frame_.world.data) + y * frame_.world.rowbytes;
      ASSERT_EQ(std::count(row, row + 40 * 4, host::kUnwrittenOutputByte), 40 * 4) << "row " << y;
    }
  }
}

// Parts of the layer, as the real host asks for them (a region of interest, tiles): exactly the
// pixels of the whole frame there. Stamps of 5 pixels and the grid cross the parts' edges, and a
// part of one pixel would shrink every stamp for an effect that sized them by its output.
TEST_F(SmartRenderTest, APartOfTheLayerHoldsThosePixelsOfTheWholeFrameAtEveryDepth) {
  slider(PIXEL_SIZE, 5);
  check(ENABLE_GRID, true);
  const A_long xs[] = {0, 13, 29, 40}, ys[] = {0, 21, 26, 40};
  for (int depth : {8, 16, 32}) {
    SCOPED_TRACE(depth);
    ASSERT_EQ(render(depth), PF_Err_NONE);
    const std::vector<ColorF> whole = pixels();
    EXPECT_EQ(whole[25 * 40 + 30].red, 1.0f);  // A
    std::vector<PF_LRect> parts = {{25, 35, 26, 36}};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) parts.push_back(PF_LRect{xs[i], ys[j], xs[i + 1], ys[j + 1]});
    for (const PF_LRect& r : parts) {
      SCOPED_TRACE(::testing::Message()
                   << r.left << "," << r.top << "," << r.right << "," << r.bottom);
      ASSERT_EQ(render(depth, true, r), PF_Err_NONE);
      ASSERT_EQ(frame_.left, r.left);
      ASSERT_EQ(frame_.top, r.top);
      ASSERT_EQ(frame_.world.width, r.right - r.left);
      ASSERT_EQ(frame_.world.height, r.bottom - r.top);
      for (A_long y = r.top; y < r.bottom; ++y)
        for (A_long x = r.left; x < r.right; ++x) {
          ASSERT_TRUE(Same(at(x - r.left, y - r.top), whole[y * 40 + x])) << x << "," << y;
        }
    }
  }
}

// The host crops the largest result of a masked layer to the mask's bounds: the frame is that
// part of the layer, within the region asked for, and nothing is drawn for a region beside it.
TEST_F(SmartRenderTest, AMaskedLayerYieldsOnlyItsMasksBounds) {
  slider(PIXEL_SIZE, 5);
  ASSERT_EQ(render(32, true, std::nullopt, PF_LRect{22, 20, 34, 38}), PF_Err_NONE);
  EXPECT_EQ(frame_.left, 22);
  EXPECT_EQ(frame_.top, 20);
  EXPECT_EQ(frame_.world.width, 12);
  EXPECT_EQ(frame_.world.height, 18);
  EXPECT_EQ(at(30 - 22, 25 - 20).red, 1.0f);   // A
  EXPECT_EQ(at(25 - 22, 35 - 20).blue, 1.0f);  // C
  ASSERT_EQ(render(32, true, PF_LRect{0, 0, 26, 26}, PF_LRect{22, 20, 34, 38}), PF_Err_NONE);
  EXPECT_EQ(frame_.left, 22);
  EXPECT_EQ(frame_.world.width, 4);
  EXPECT_EQ(frame_.world.height, 6);
  ASSERT_EQ(render(32, true, PF_LRect{0, 0, 10, 10}, PF_LRect{22, 20, 34, 38}), PF_Err_NONE);
  EXPECT_TRUE(frame_.empty());
}

TEST_F(SmartRenderTest, FailuresReportAndHandEverythingBack) {
  const int worlds = host::LiveWorldCount();
  const int suites = host().suites().outstanding();

  host().faults().failAlways("suite:PF World Suite");
  EXPECT_EQ(render(8), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host().lastReturnMessage(), "无法加载插件.");
  EXPECT_TRUE(host().lastOut().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
  host().faults().clearAll();

  // The user stops the render: that error, nothing left behind.
  host().faults().failOnCall("abort", 20);  // within the sample walk
  EXPECT_EQ(render(8), PF_Interrupt_CANCEL);
  host().faults().clearAll();

  // A layer control that cannot be checked out.
  host().faults().failOnCall("inter.checkout_param", 3);
  EXPECT_EQ(render(8), PF_Err_BAD_CALLBACK_PARAM);
  host().faults().clearAll();

  frame_.reset();
  EXPECT_EQ(host::LiveWorldCount(), worlds);
  EXPECT_EQ(host().suites().outstanding(), suites);

  // A grid no cache can hold is refused, naming the resolution, with the output untouched.
  auto wide = Blank(40000, 1);
  Set(*wide, 0, 0, 1, 0, 0, 1);
  source_.images[kSource] = wide;
  EXPECT_EQ(render(8), PF_Err_OUT_OF_MEMORY);
  EXPECT_NE(host().lastReturnMessage().find("40000 x 4"), std::string::npos)
      << host().lastReturnMessage();
  EXPECT_NE(host().lastReturnMessage().find("100% resolution"), std::string::npos);
  EXPECT_TRUE(host().lastOut().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);

  // Without its record the render stops at once.
  PF_Handle seq = instance_->sequence_data;
  PF_Handle copy = instance_->render_sequence_data;
  instance_->sequence_data = instance_->render_sequence_data = nullptr;
  EXPECT_EQ(render(8), PF_Err_INTERNAL_STRUCT_DAMAGED);
  instance_->sequence_data = seq;
  instance_->render_sequence_data = copy;
}

class InteractiveRenderTest : public SmartRenderTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    options_.interactive = true;
    RestartHost();
    build();
  }
};

TEST_F(InteractiveRenderTest, InfoPanelShowsThePointsDrawn) {
  ASSERT_EQ(render(8), PF_Err_NONE);
  ASSERT_EQ(host().infoLines().size(), 2u);
  EXPECT_EQ(host().infoLines()[0], "Number of pixels : ");
  EXPECT_EQ(host().infoLines()[1], "3");  // A, B and C, B hidden under A
}

}  // namespace
}  // namespace mf::test
