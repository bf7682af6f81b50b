#include <gtest/gtest.h>

#include <vector>

#include "render/PointCloud.h"
#include "render/PointDrawing.h"
#include "tests/RenderStageFixture.h"

namespace mf {
namespace {

CloudPoint Point(A_long sx, A_long sy, A_long src_x, A_long src_y, A_short size) {
  CloudPoint p{};
  p.screen_x = sx;
  p.screen_y = sy;
  p.source_x = src_x;
  p.source_y = src_y;
  p.stamp_size = size;
  p.depth = 10.0f;
  p.is_small = size <= 1;
  return p;
}

template <typename Pixel>
Pixel Opaque(float r, float g, float b) {
  return FromColorF<Pixel>({1.0f, r, g, b});
}

template <typename Pixel>
bool Same(const Pixel& a, const Pixel& b) {
  return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}

class PointDrawingTest : public test::RenderStageTest {
 protected:
  // A canvas of w × h and a source layer of sw × sh in the format; the stamp setup the driver
  // would make.
  void prepare(const PreRenderData& record, PF_PixelFormat format, A_long w, A_long h, A_long sw,
               A_long sh) {
    useRecord(record, format);
    canvas_ = makeWorld(w, h, format);
    source_ = makeWorld(sw, sh, format);
    setLayer(kLayerSource, source_);
    ASSERT_EQ(PrepareStampSetup(suite_handler_, frame_, &frame_.stamp), PF_Err_NONE);
    const StampOffset base = StampOffsetFor(record.PIXEL_SIZE);
    frame_.stamp.base_left_offset = base.left;
    frame_.stamp.base_top_offset = base.top;
  }

  // Stores the points as the walk would, in the frame's layout, and draws them in that order.
  PF_Err draw(const std::vector<CloudPoint>& points) {
    const PointLayout layout = CloudPointLayout(frame_);
    records_.assign(points.size() * layout.stride() + 1, 0);
    depths_.assign(points.size() + 1, 0);
    cloud_.store = PointStore(records_.data(), depths_.data(), layout);
    for (size_t i = 0; i < points.size(); ++i) cloud_.store.store((A_long)i, points[i]);
    cloud_.count = (A_long)points.size();
    return DrawCloudPoints(host_, frame_, cloud_, nullptr, canvas_);
  }

  std::vector<unsigned char> records_;
  std::vector<uint64_t> depths_;

  // Pixels of the canvas that are not transparent black.
  template <typename Pixel>
  int marked() {
    int n = 0;
    for (A_long y = 0; y < canvas_->height; ++y) {
      for (A_long x = 0; x < canvas_->width; ++x) n += !Same(At<Pixel>(canvas_, x, y), Pixel{});
    }
    return n;
  }

  PF_EffectWorld* canvas_ = nullptr;
  PF_EffectWorld* source_ = nullptr;

  template <typename Pixel>
  void copyBlendPlacesStamps(PF_PixelFormat format) {
    PreRenderData r = test::NeutralRecord(8, 6);
    r.ENABLE_PIXEL_PERSPECTIVE = true;  // each point's own size sets its offset
    prepare(r, format, 8, 6, 2, 1);
    const Pixel red = Opaque<Pixel>(1, 0, 0), green = Opaque<Pixel>(0, 1, 0);
    At<Pixel>(source_, 0, 0) = red;
    At<Pixel>(source_, 1, 0) = green;
    // A one-pixel point at (2, 3); a three-pixel point at (5, 1) reaches one pixel left of and
    // above its point, so it covers columns 4 … 6 and rows 0 … 2.
    std::vector<CloudPoint> pts = {Point(2, 3, 0, 0, 1), Point(5, 1, 1, 0, 3)};
    ASSERT_EQ(draw(pts), PF_Err_NONE);
    EXPECT_TRUE(Same(At<Pixel>(canvas_, 2, 3), red));
    for (A_long y = 0; y <= 2; ++y) {
      for (A_long x = 4; x <= 6; ++x) EXPECT_TRUE(Same(At<Pixel>(canvas_, x, y), green));
    }
    EXPECT_EQ(marked<Pixel>(), 1 + 9);
    // Abort is polled after each stamp is made and after each point is drawn.
    EXPECT_EQ(test::Callbacks().abort_calls, 4);
  }
};

TEST(StampRules, OffsetsTransfersAlphaFactorAndTextureTimes) {
  // Odd sizes centre on the point; even ones reach one pixel less to the left and top.
  EXPECT_EQ(StampOffsetFor(5).left, 2);
  EXPECT_EQ(StampOffsetFor(4).left, 1);
  EXPECT_EQ(StampOffsetFor(3).top, 1);
  EXPECT_EQ(StampOffsetFor(2).top, 0);
  EXPECT_EQ(StampOffsetFor(1).left, 0);

  EXPECT_EQ(PixelBlendTransfer(2), PF_Xfer_IN_FRONT);
  EXPECT_EQ(PixelBlendTransfer(4), PF_Xfer_MULTIPLY);
  EXPECT_EQ(PixelBlendTransfer(10), PF_Xfer_LUMINOSITY);
  EXPECT_EQ(PixelBlendTransfer(12), PF_Xfer_ALPHA_ADD);
  EXPECT_EQ(PixelBlendTransfer(99), PF_Xfer_IN_FRONT);
  EXPECT_EQ(TextureBlendTransfer(11), PF_Xfer_IN_FRONT);  // the separator
  EXPECT_EQ(TextureBlendTransfer(13), PF_Xfer_MULTIPLY_ALPHA);
  EXPECT_EQ(TextureBlendTransfer(14), PF_Xfer_MULTIPLY_ALPHA_LUMA);
  EXPECT_EQ(TextureBlendTransfer(7), PF_Xfer_SCREEN);

  // c + (1 − c)·o for o ≥ 0: 0.5 + 0.5·0.5 = 0.75; c + (1 + c)·o for o < 0: 0.5 − 1.5·0.5.
  EXPECT_DOUBLE_EQ(SubPixelAlphaFactor(0.5, 0.5), 0.75);
  EXPECT_DOUBLE_EQ(SubPixelAlphaFactor(0.5, -0.5), -0.25);
  EXPECT_DOUBLE_EQ(SubPixelAlphaFactor(0.0, 0.0), 0.0);
  EXPECT_DOUBLE_EQ(SubPixelAlphaFactor(-3.0, 0.0), -1.0);  // clamped

  // total 48, last 47, start 10 (lives 0.5, 1 and below 0 are drawn in the texture-time test):
  // beyond 1 the last frame; exactly 0 the start; a NaN life reads as none.
  EXPECT_EQ(TextureTimeForLife(7.0f, 48, 47, 10), 57);
  EXPECT_EQ(TextureTimeForLife(0.0f, 48, 47, 10), 10);
  EXPECT_EQ(TextureTimeForLife(std::nanf(""), 48, 47, 10), 10);
  // Times beyond 32 bits are held at the edge instead of overflowing the conversion.
  EXPECT_GT(TextureTimeForLife(1.0f, 0, 2000000000, 2000000000), 2000000000);
}

TEST_F(PointDrawingTest, CopyBlendPlacesStamps8) {
  copyBlendPlacesStamps<PF_Pixel8>(PF_PixelFormat_ARGB32);
}
TEST_F(PointDrawingTest, CopyBlendPlacesStamps16) {
  copyBlendPlacesStamps<PF_Pixel16>(PF_PixelFormat_ARGB64);
}
TEST_F(PointDrawingTest, CopyBlendPlacesStampsFloat) {
  copyBlendPlacesStamps<PF_PixelFloat>(PF_PixelFormat_ARGB128);
}

TEST_F(PointDrawingTest, AbortStopsTheLoopAndLeavesNoWorld) {
  prepare(test::NeutralRecord(8, 6), PF_PixelFormat_ARGB32, 8, 6, 1, 1);
  At<PF_Pixel8>(source_, 0, 0) = {255, 9, 9, 9};
  test::Callbacks().abort_fails_on = 3;  // the first poll of the second point
  std::vector<CloudPoint> pts = {Point(1, 1, 0, 0, 1), Point(4, 4, 0, 0, 1)};
  EXPECT_EQ(draw(pts), PF_Interrupt_CANCEL);
  EXPECT_EQ(At<PF_Pixel8>(canvas_, 1, 1).red, 9);
  EXPECT_EQ(marked<PF_Pixel8>(), 1);
  // TearDown checks that the second point's stamp was disposed.
}

TEST_F(PointDrawingTest, SoftenedStampReplacesWhatIsUnderItCornersIncluded) {
  PreRenderData r = test::NeutralRecord(8, 8);
  r.ENABLE_PIXEL_PERSPECTIVE = true;
  r.SOFTEN_PIXELS = true;
  r.SOFTEN_PIXELS_BIAS = 0.0f;
  prepare(r, PF_PixelFormat_ARGB32, 8, 8, 2, 1);
  const PF_Pixel8 white{255, 255, 255, 255};
  ASSERT_EQ(utils_.fill(nullptr, &white, nullptr, canvas_), PF_Err_NONE);
  At<PF_Pixel8>(source_, 0, 0) = {255, 255, 0, 0};
  At<PF_Pixel8>(source_, 1, 0) = {200, 0, 0, 255};
  // A four-pixel stamp at (4, 4) covers 3 … 6. Disc of radius 2 about (2, 2) in the stamp:
  // corner (0, 0) lies 2.83 away (alpha 0), (2, 2) is the centre (255), (1, 2) is 1 away
  // (255 · (1 − 1/2) = 127.5 → 127). A one-pixel stamp is the centre of a stamp of two, so it
  // keeps its own alpha (200).
  std::vector<CloudPoint> pts = {Point(4, 4, 0, 0, 4), Point(0, 0, 1, 0, 1)};
  ASSERT_EQ(draw(pts), PF_Err_NONE);
  EXPECT_TRUE(Same(At<PF_Pixel8>(canvas_, 3, 3), PF_Pixel8{0, 255, 0, 0}));
  EXPECT_TRUE(Same(At<PF_Pixel8>(canvas_, 5, 5), PF_Pixel8{255, 255, 0, 0}));
  EXPECT_TRUE(Same(At<PF_Pixel8>(canvas_, 4, 5), PF_Pixel8{127, 255, 0, 0}));
  EXPECT_TRUE(Same(At<PF_Pixel8>(canvas_, 7, 7), white));
  EXPECT_TRUE(Same(At<PF_Pixel8>(canvas_, 2, 2), white));
  EXPECT_TRUE(Same(At<PF_Pixel8>(canvas_, 0, 0), PF_Pixel8{200, 0, 0, 255}));
}

TEST_F(PointDrawingTest, DataModesWritePositionOrNormalClampedOnlyInIntegerDepths) {
  const Vec3 position{-3.5f, 1.0e6f, 0.25f};
  const Vec3 normal{0.5f, -0.8f, 0.25f};
  auto run = [&](A_long mode, PF_PixelFormat format) {
    PreRenderData r = test::NeutralRecord(4, 4);
    r.RENDER_MODE = mode;
    prepare(r, format, 4, 4, 1, 1);
    std::vector<CloudPoint> pts = {Point(1, 2, 0, 0, 1)};
    pts[0].position_output = position;
    pts[0].normal_output = normal;
    return draw(pts);
  };
  ASSERT_EQ(run(9, PF_PixelFormat_ARGB128), PF_Err_NONE);
  const PF_PixelFloat f = At<PF_PixelFloat>(canvas_, 1, 2);
  EXPECT_EQ(f.alpha, 1.0f);
  EXPECT_EQ(f.red, -3.5f);  // read back exactly, unclamped
  EXPECT_EQ(f.green, 1.0e6f);
  EXPECT_EQ(f.blue, 0.25f);

  ASSERT_EQ(run(9, PF_PixelFormat_ARGB64), PF_Err_NONE);
  // × 32768, truncated and clamped: 0, 32768, 8192; alpha full.
  EXPECT_TRUE(Same(At<PF_Pixel16>(canvas_, 1, 2), PF_Pixel16{32768, 0, 32768, 8192}));

  ASSERT_EQ(run(10, PF_PixelFormat_ARGB32), PF_Err_NONE);
  // The normal: 0.5 · 255 = 127.5 → 127; −0.8 → 0; 0.25 · 255 = 63.75 → 63.
  EXPECT_TRUE(Same(At<PF_Pixel8>(canvas_, 1, 2), PF_Pixel8{255, 127, 0, 63}));

  // In the data modes anti-aliasing grows the stamp by one instead of shifting it.
  PreRenderData r = test::NeutralRecord(4, 4);
  r.RENDER_MODE = 9;
  r.ENABLE_PIXEL_ANTIALIAS = true;
  prepare(r, PF_PixelFormat_ARGB128, 4, 4, 1, 1);
  std::vector<CloudPoint> pts = {Point(1, 1, 0, 0, 1)};
  pts[0].position_output = {1.0f, 2.0f, 3.0f};
  ASSERT_EQ(draw(pts), PF_Err_NONE);
  EXPECT_EQ(marked<PF_PixelFloat>(), 4);
  EXPECT_EQ(At<PF_PixelFloat>(canvas_, 2, 2).blue, 3.0f);
}

TEST_F(PointDrawingTest, ReflectionIsBlendedBeforeTheLightIsApplied) {
  PreRenderData r = test::NeutralRecord(4, 4);
  r.DIFFUSE_LIGHTS = true;
  r.REFLECTION_BLEND = 4;  // normal: s + d·(1 − Sa)
  prepare(r, PF_PixelFormat_ARGB32, 4, 4, 2, 1);
  frame_.light_switches.collected = true;
  setLayer(kLayerReflectionMap, makeWorld(1, 1, PF_PixelFormat_ARGB32));  // points sample it
  At<PF_Pixel8>(source_, 0, 0) = {255, 255, 255, 255};
  At<PF_Pixel8>(source_, 1, 0) = {128, 255, 0, 0};
  std::vector<CloudPoint> pts = {Point(0, 0, 0, 0, 1), Point(2, 0, 1, 0, 1), Point(3, 3, 0, 0, 1)};
  // Point 0: reflected opaque blue replaces white, then half diffuse light: blue 127.
  pts[0].is_reflective = true;
  pts[0].reflection = {1.0f, 0.0f, 0.0f, 1.0f};
  pts[0].has_normal = true;
  pts[0].light_terms = {1.0f, 0.5f, 0.5f, 0.5f};
  // Point 1: unlit (no normal); its alpha is kept through the reflection.
  pts[1].is_reflective = true;
  pts[1].reflection = {1.0f, 0.0f, 0.0f, 1.0f};
  // Point 2: lit white with no reflection: (255, 127, 127, 127).
  pts[2].has_normal = true;
  pts[2].light_terms = {1.0f, 0.5f, 0.5f, 0.5f};
  ASSERT_EQ(draw(pts), PF_Err_NONE);
  EXPECT_TRUE(Same(At<PF_Pixel8>(canvas_, 0, 0), PF_Pixel8{255, 0, 0, 127}));
  EXPECT_TRUE(Same(At<PF_Pixel8>(canvas_, 2, 0), PF_Pixel8{128, 0, 0, 255}));
  EXPECT_TRUE(Same(At<PF_Pixel8>(canvas_, 3, 3), PF_Pixel8{255, 127, 127, 127}));
}

TEST_F(PointDrawingTest, AntiAliasingShiftsByTheFractionUnlessSubpixelIsDisabled) {
  PreRenderData r = test::NeutralRecord(6, 6);
  r.PIXEL_BLEND_MODE = 2;  // in front
  r.ENABLE_PIXEL_ANTIALIAS = true;
  prepare(r, PF_PixelFormat_ARGB128, 6, 6, 1, 1);
  At<PF_PixelFloat>(source_, 0, 0) = {1.0f, 1.0f, 1.0f, 1.0f};
  // Half a pixel to the right: the taps of the 2 × 2 shifted world are 0.5 on (0, 0) and on
  // (1, 0), nothing below. Over a transparent canvas "in front" keeps the straight colour.
  std::vector<CloudPoint> pts = {Point(2, 2, 0, 0, 1)};
  pts[0].fraction_x = 0.5;
  ASSERT_EQ(draw(pts), PF_Err_NONE);
  const PF_PixelFloat half{0.5f, 0.5f, 0.5f, 0.5f};
  EXPECT_TRUE(Same(At<PF_PixelFloat>(canvas_, 2, 2), half));
  EXPECT_TRUE(Same(At<PF_PixelFloat>(canvas_, 3, 2), half));
  EXPECT_EQ(marked<PF_PixelFloat>(), 2);

  // An alpha offset of 100 % pulls the edge alpha to the strongest tap.
  r.ALPHA_OFFSET = 1.0;
  prepare(r, PF_PixelFormat_ARGB128, 6, 6, 1, 1);
  At<PF_PixelFloat>(source_, 0, 0) = {1.0f, 1.0f, 1.0f, 1.0f};
  ASSERT_EQ(draw(pts), PF_Err_NONE);
  EXPECT_EQ(At<PF_PixelFloat>(canvas_, 2, 2).alpha, 1.0f);

  // A small point with sub-pixel disabled lands whole on its pixel.
  r.ALPHA_OFFSET = 0.0;
  r.DISABLE_SUBPIXEL = true;
  prepare(r, PF_PixelFormat_ARGB128, 6, 6, 1, 1);
  At<PF_PixelFloat>(source_, 0, 0) = {1.0f, 1.0f, 1.0f, 1.0f};
  ASSERT_EQ(draw(pts), PF_Err_NONE);
  EXPECT_TRUE(Same(At<PF_PixelFloat>(canvas_, 2, 2), PF_PixelFloat{1.0f, 1.0f, 1.0f, 1.0f}));
  EXPECT_EQ(marked<PF_PixelFloat>(), 1);
}

TEST_F(PointDrawingTest, AverageBlendMixesWithTheCanvas) {
  PreRenderData r = test::NeutralRecord(4, 4);
  r.PIXEL_BLEND_MODE = 11;
  prepare(r, PF_PixelFormat_ARGB128, 4, 4, 1, 1);
  const PF_PixelFloat blue{1.0f, 0.0f, 0.0f, 1.0f};
  ASSERT_EQ(host_.suites.fill->fill_float(nullptr, &blue, nullptr, canvas_), PF_Err_NONE);
  At<PF_PixelFloat>(source_, 0, 0) = {1.0f, 1.0f, 0.0f, 0.0f};
  std::vector<CloudPoint> pts = {Point(1, 1, 0, 0, 1)};
  ASSERT_EQ(draw(pts), PF_Err_NONE);
  // Equal weights: the plain mean of red and blue.
  EXPECT_TRUE(Same(At<PF_PixelFloat>(canvas_, 1, 1), PF_PixelFloat{1.0f, 0.5f, 0.0f, 0.5f}));
  EXPECT_TRUE(Same(At<PF_PixelFloat>(canvas_, 0, 0), blue));
}

TEST_F(PointDrawingTest, TwoDModesReturnEveryPointToItsOwnSample) {
  PreRenderData r = test::NeutralRecord(10, 10);
  r.RENDER_MODE = 2;
  r.RESOLUTION = 0.5;
  prepare(r, PF_PixelFormat_ARGB32, 5, 5, 10, 10);
  At<PF_Pixel8>(source_, 5, 3) = {255, 1, 2, 3};
  // Wherever the camera put it, the point of source (5, 3) goes to (ceil(2.5), ceil(1.5)).
  std::vector<CloudPoint> pts = {Point(-100, 900, 5, 3, 1)};
  ASSERT_EQ(draw(pts), PF_Err_NONE);
  EXPECT_TRUE(Same(At<PF_Pixel8>(canvas_, 3, 2), PF_Pixel8{255, 1, 2, 3}));
  EXPECT_EQ(marked<PF_Pixel8>(), 1);
}

TEST_F(PointDrawingTest, TextureTimesFollowEachPointsLife) {
  PreRenderData r = test::NeutralRecord(6, 6);
  r.ENABLE_PIXEL_PERSPECTIVE = true;
  useRecord(r, PF_PixelFormat_ARGB128);
  canvas_ = makeWorld(6, 6, PF_PixelFormat_ARGB128);
  source_ = makeWorld(1, 1, PF_PixelFormat_ARGB128);
  At<PF_PixelFloat>(source_, 0, 0) = {1.0f, 1.0f, 0.0f, 0.0f};
  setLayer(kLayerSource, source_);
  PF_EffectWorld* texture = makeWorld(2, 2, PF_PixelFormat_ARGB128);
  const PF_PixelFloat green{1.0f, 0.0f, 1.0f, 0.0f};
  ASSERT_EQ(host_.suites.fill->fill_float(nullptr, &green, nullptr, texture), PF_Err_NONE);
  setLayer(kLayerTexture, texture);
  setLayer(kLayerLife, makeWorld(1, 1, PF_PixelFormat_ARGB128));
  test::Callbacks().texture = texture;
  frame_.frame.texture = true;
  frame_.stamp.composite = {PF_Xfer_IN_FRONT, 0, 255, false, 32768};
  frame_.stamp.texture_times_set = true;
  frame_.stamp.texture_total = 48;
  frame_.stamp.texture_last = 47;
  frame_.stamp.texture_start = 10;
  std::vector<CloudPoint> pts = {Point(0, 0, 0, 0, 2), Point(2, 2, 0, 0, 2), Point(4, 4, 0, 0, 2)};
  pts[0].life = 0.5f;
  pts[1].life = 1.5f;
  pts[2].life = -1.0f;
  ASSERT_EQ(draw(pts), PF_Err_NONE);
  EXPECT_EQ(test::Callbacks().texture_times, (std::vector<A_long>{34, 57, 10}));
  EXPECT_EQ(test::Callbacks().checkins, 3);
  // The texture (copy mode) covers the red source colour.
  EXPECT_TRUE(Same(At<PF_PixelFloat>(canvas_, 2, 2), green));
  EXPECT_TRUE(Same(At<PF_PixelFloat>(canvas_, 5, 5), green));
}

TEST_F(PointDrawingTest, UnknownPixelFormatIsRefused) {
  prepare(test::NeutralRecord(4, 4), PF_PixelFormat_ARGB32, 4, 4, 1, 1);
  frame_.format = PF_PixelFormat_INVALID;
  std::vector<CloudPoint> pts = {Point(1, 1, 0, 0, 1)};
  EXPECT_EQ(draw(pts), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(marked<PF_Pixel8>(), 0);
}

}  // namespace
}  // namespace mf
