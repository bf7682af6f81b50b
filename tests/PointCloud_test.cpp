#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "raster/Random.h"
#include "render/PointCloud.h"
#include "render/RenderCamera.h"
#include "tests/RenderStageFixture.h"

namespace mf {
namespace {

TEST(SampleGrid, SizeMappingAndCacheBounds) {
  // The larger of the two layers, times the resolution, truncated.
  auto g = SizeSampleGrid(100, 50, 80, 60, 0.5);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->width, 50);
  EXPECT_EQ(g->height, 30);
  g = SizeSampleGrid(1920, 1080, 1920, 1080, 0.3333);  // 639.936 → 639, 359.964 → 359
  ASSERT_TRUE(g);
  EXPECT_EQ(g->width, 639);
  EXPECT_EQ(g->height, 359);
  g = SizeSampleGrid(100, 100, 1, 1, 0.01);  // 1 → raised to 4
  ASSERT_TRUE(g);
  EXPECT_EQ(g->width, 4);
  EXPECT_EQ(g->height, 4);
  EXPECT_EQ(SizeSampleGrid(100, 100, 1, 1, 0.0)->width, 4);
  // Sides that no 16-bit count holds, and resolutions that are not numbers, make no grid.
  EXPECT_FALSE(SizeSampleGrid(40000, 10, 1, 1, 1.0));
  EXPECT_FALSE(SizeSampleGrid(100, 100, 1, 1, std::nan("")));
  EXPECT_FALSE(SizeSampleGrid(100, 100, 1, 1, std::numeric_limits<double>::infinity()));

  // Same size: the index itself; a coarser layer: truncated; a finer grid repeats the last pixel.
  EXPECT_EQ(MapSampleToPixel(3, 10, 10), 3);
  EXPECT_EQ(MapSampleToPixel(3, 4, 10), 7);  // 3 · 10 / 4 = 7.5
  EXPECT_EQ(MapSampleToPixel(7, 8, 4), 3);   // 7 · 4 / 8 = 3.5
  EXPECT_EQ(MapSampleToPixel(9, 10, 3), 2);  // 2.7
  EXPECT_EQ(MapSampleToPixel(3, 4, 1), 0);

  // A record and a depth entry per sample; a product beyond the host's unsigned 32-bit size is
  // refused.
  EXPECT_EQ(*PixelCacheBytes({4, 4}, 16), 16u * 24u);
  EXPECT_EQ(*PixelCacheBytes({4000, 4000}), 16000000u * (kMaxPointStride + 8u));
  EXPECT_FALSE(PixelCacheBytes({8000, 8000}));  // 64 million records: above 4 GiB
  EXPECT_FALSE(PixelCacheBytes({32767, 32767}));
}

// A 4 × 4 source and position pass (float), a grid of 4 × 4, a 40 × 40 layer and output, and a
// camera at (0, 0, −100) looking along +z with zoom 100: a world point (x, y, z) lands at
// (x · 100 / (z + 100) + 20, y · 100 / (z + 100) + 20) at depth z + 100.
class PointCloudTest : public test::RenderStageTest {
 protected:
  // Records keep every part, with the position or the normal as their data output.
  void prepare(PreRenderData record, PointLayout::Data data = PointLayout::kPosition) {
    useRecord(record, PF_PixelFormat_ARGB128);
    source_ = makeWorld(4, 4, PF_PixelFormat_ARGB128);
    position_ = makeWorld(4, 4, PF_PixelFormat_ARGB128);
    setLayer(kLayerSource, source_);
    setLayer(kLayerPosition, position_);
    frame_.grid = {4, 4};
    frame_.camera = MakeControlCamera({0.0f, 0.0f, -100.0f}, {0.0f, 0.0f, 0.0f}, 100.0);
    frame_.projection = MakeProjectionConstants(record_, frame_.camera, 40, 40);
    frame_.transforms = BuildFixedTransforms(record_);
    frame_.point = PreparePointSettings(record_, frame_.transforms, frame_.frame);
    const PointLayout layout({true, true, true, true, data});
    records_.assign(16 * layout.stride(), 0xEE);
    depths_.assign(16, 0);
    cloud_.store = PointStore(records_.data(), depths_.data(), layout);
  }

  CloudPoint point(A_long i) const {
    CloudPoint p = cloud_.store.load(i);
    p.depth = cloud_.store.depth(i);
    return p;
  }

  // An opaque source pixel and its world position.
  void place(A_long x, A_long y, Vec3 w) {
    At<PF_PixelFloat>(source_, x, y) = {1.0f, 1.0f, 1.0f, 1.0f};
    At<PF_PixelFloat>(position_, x, y) = {1.0f, w.x, w.y, w.z};
  }

  PF_EffectWorld* source_ = nullptr;
  PF_EffectWorld* position_ = nullptr;
  std::vector<unsigned char> records_;
  std::vector<uint64_t> depths_;
};

TEST_F(PointCloudTest, KnownPositionsLandOnKnownPixelsColumnByColumn) {
  prepare(test::NeutralRecord(40, 40));
  place(0, 0, {10.0f, -5.0f, 0.0f});         // (30, 15) at depth 100
  place(1, 0, {0.0f, 0.0f, 100.0f});         // (20, 20) at depth 200
  place(1, 1, {0.5f, 0.25f, 0.0f});          // (20.5, 20.25): pixel (20, 20), fractions .5, .25
  place(2, 0, {0.0f, 0.0f, -100.0f});        // depth 0: dropped
  place(3, 0, {100.0f, 0.0f, 0.0f});         // x 120: off screen, dropped
  place(3, 1, {-21.0f, 0.0f, 0.0f});         // x −1: kept
  place(3, 2, {-22.0f, 0.0f, 0.0f});         // x −2: dropped
  place(2, 2, {std::nanf(""), 0.0f, 0.0f});  // a renderer's empty pixel: no point
  At<PF_PixelFloat>(position_, 0, 3) = {1.0f, 1.0f, 1.0f, 1.0f};  // transparent source: none
  place(2, 3, {1.0f, 1.0f, 1.0f});
  At<PF_PixelFloat>(position_, 2, 3).alpha = 0.0f;  // empty position sample: none
  ASSERT_EQ(BuildPointCloud(&in_, frame_, &cloud_), PF_Err_NONE);

  ASSERT_EQ(cloud_.count, 4);
  // Column 0 first, then column 1 top to bottom, then column 3.
  const CloudPoint a = point(0);
  EXPECT_EQ(a.source_x, 0);
  EXPECT_EQ(a.source_y, 0);
  EXPECT_EQ(a.screen_x, 30);
  EXPECT_EQ(a.screen_y, 15);
  EXPECT_FLOAT_EQ(a.depth, 100.0f);
  EXPECT_EQ(a.stamp_size, 1);
  EXPECT_TRUE(a.is_small);
  EXPECT_FLOAT_EQ(a.position_output.x, 10.0f);  // world space without relative camera
  const CloudPoint b = point(1);
  EXPECT_EQ(b.source_x, 1);
  EXPECT_EQ(b.source_y, 0);
  EXPECT_EQ(b.screen_x, 20);
  EXPECT_EQ(b.screen_y, 20);
  EXPECT_FLOAT_EQ(b.depth, 200.0f);
  const CloudPoint c = point(2);
  EXPECT_EQ(c.source_y, 1);
  EXPECT_EQ(c.screen_x, 20);
  EXPECT_EQ(c.screen_y, 20);
  EXPECT_NEAR(c.fraction_x, 0.5, 1e-6);
  EXPECT_NEAR(c.fraction_y, 0.25, 1e-6);
  EXPECT_EQ(point(3).source_x, 3);
  EXPECT_EQ(point(3).screen_x, -1);
  // Abort is polled after every sample, whether it made a point or not.
  EXPECT_EQ(test::Callbacks().abort_calls, 16);

  // With relative camera the data modes see camera space: z + 100.
  PreRenderData r = test::NeutralRecord(40, 40);
  r.RELATIVE_CAMERA = true;
  prepare(r);
  place(0, 0, {10.0f, -5.0f, 0.0f});
  ASSERT_EQ(BuildPointCloud(&in_, frame_, &cloud_), PF_Err_NONE);
  ASSERT_EQ(cloud_.count, 1);
  EXPECT_FLOAT_EQ(point(0).position_output.z, 100.0f);
}

TEST_F(PointCloudTest, AbortEndsTheWalk) {
  prepare(test::NeutralRecord(40, 40));
  place(0, 0, {0.0f, 0.0f, 0.0f});
  place(0, 1, {0.0f, 0.0f, 0.0f});
  test::Callbacks().abort_fails_on = 1;
  EXPECT_EQ(BuildPointCloud(&in_, frame_, &cloud_), PF_Interrupt_CANCEL);
  EXPECT_EQ(cloud_.count, 1);
  EXPECT_EQ(test::Callbacks().abort_calls, 1);
}

TEST_F(PointCloudTest, TwoDModesKeepPointsTheCameraCannotSee) {
  PreRenderData r = test::NeutralRecord(40, 40);
  r.RENDER_MODE = 2;
  prepare(r);
  frame_.frame.two_d = true;
  place(0, 0, {0.0f, 0.0f, -300.0f});  // behind the camera
  place(1, 0, {5000.0f, 0.0f, 0.0f});  // far off screen
  ASSERT_EQ(BuildPointCloud(&in_, frame_, &cloud_), PF_Err_NONE);
  EXPECT_EQ(cloud_.count, 2);
}

TEST_F(PointCloudTest, DisplacementOffsetAndOverflowingPositions) {
  PreRenderData r = test::NeutralRecord(40, 40);
  r.POSITION_OFFSET_X = 10.0f;
  r.ANCHOR_Y = 2.0f;
  r.UNIFORM_SCALE = false;
  r.SCALE_Y = 3.0f;  // about the pivot y = 2
  prepare(r);
  PF_EffectWorld* displace = makeWorld(4, 4, PF_PixelFormat_ARGB128);
  setLayer(kLayerDisplace, displace);
  // Displacement is colour times alpha: (0.5 · 2, 0, 0.5 · 4) = (1, 0, 2).
  At<PF_PixelFloat>(displace, 0, 0) = {0.5f, 2.0f, 0.0f, 4.0f};
  place(0, 0, {1.0f, 3.0f, 0.0f});
  // A position at the edge of float range pushed past it by the scale makes no point.
  place(1, 0, {0.0f, 3.0e38f, 0.0f});
  ASSERT_EQ(BuildPointCloud(&in_, frame_, &cloud_), PF_Err_NONE);
  ASSERT_EQ(cloud_.count, 1);
  // (1, 3, 0) + (1, 0, 2) = (2, 3, 2); y about 2 scaled by 3: 2 + 3 · 1 = 5; x + 10 = 12.
  const Vec3 w = point(0).position_output;
  EXPECT_FLOAT_EQ(w.x, 12.0f);
  EXPECT_FLOAT_EQ(w.y, 5.0f);
  EXPECT_FLOAT_EQ(w.z, 2.0f);
}

TEST_F(PointCloudTest, SameSeedSameCloudAndTheDrawsFollowTheGenerator) {
  PreRenderData r = test::NeutralRecord(40, 40);
  r.SCATTER_X = 5.0f;
  prepare(r);
  place(0, 0, {10.0f, 0.0f, 0.0f});
  place(2, 1, {-4.0f, 3.0f, 1.0f});
  SeedRandom(7);
  ASSERT_EQ(BuildPointCloud(&in_, frame_, &cloud_), PF_Err_NONE);
  std::vector<CloudPoint> first;
  for (A_long i = 0; i < cloud_.count; ++i) first.push_back(point(i));
  // Seed 7: s = 7 · 214013 + 2531011 = 4029102, (s >> 16) & 0x7FFF = 61, so the first point
  // moves by −5 + 10 · 61 / 32767 along x and the others not at all (their scatter is 0).
  EXPECT_NEAR(first[0].position_output.x, 10.0f - 5.0f + 10.0f * 61.0f / 32767.0f, 1e-4);
  EXPECT_EQ(first[0].position_output.y, 0.0f);
  SeedRandom(7);
  ASSERT_EQ(BuildPointCloud(&in_, frame_, &cloud_), PF_Err_NONE);
  ASSERT_EQ(cloud_.count, (A_long)first.size());
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(point(i).position_output.x, first[i].position_output.x);
    EXPECT_EQ(point(i).screen_x, first[i].screen_x);
  }
  SeedRandom(8);
  ASSERT_EQ(BuildPointCloud(&in_, frame_, &cloud_), PF_Err_NONE);
  EXPECT_NE(point(0).position_output.x, first[0].position_output.x);
}

TEST_F(PointCloudTest, NormalsBackFacesAndAKnownLight) {
  PreRenderData r = test::NeutralRecord(40, 40);
  r.CULL_BACKFACES = true;
  r.DIFFUSE_LIGHTS = true;
  prepare(r, PointLayout::kNormal);
  PF_EffectWorld* normals = makeWorld(4, 4, PF_PixelFormat_ARGB128);
  setLayer(kLayerNormal, normals);
  place(0, 0, {0.0f, 0.0f, 0.0f});
  At<PF_PixelFloat>(normals, 0, 0) = {1.0f, 0.0f, 0.0f, -2.0f};  // towards the camera
  place(1, 0, {1.0f, 0.0f, 0.0f});
  At<PF_PixelFloat>(normals, 1, 0) = {1.0f, 0.0f, 0.0f, 1.0f};  // away: a back face, culled
  place(2, 0, {2.0f, 0.0f, 0.0f});  // transparent normal sample: drawn, without a normal
  place(3, 0, {3.0f, 0.0f, 0.0f});
  At<PF_PixelFloat>(normals, 3, 0) = {1.0f, std::nanf(""), 0.0f, -1.0f};  // no direction: none
  place(3, 1, {3.0f, 1.0f, 0.0f});
  At<PF_PixelFloat>(normals, 3, 1) = {1.0f, 0.0f, INFINITY, -1.0f};
  // A point light 100 away at 60° from the normal (0, 0, −1): N·L = cos 60° = 0.5.
  LightRecord light{};
  light.type = kLightPoint;
  light.intensity = 1.0f;
  light.color = {1.0f, 1.0f, 1.0f, 1.0f};
  light.transform = IdentityMatrix4();
  light.transform[3][0] = 100.0 * std::sin(M_PI / 3.0);
  light.transform[3][2] = -100.0 * std::cos(M_PI / 3.0);
  light.is_diffuse_light = true;
  frame_.lights = {true, 1, &light};
  frame_.light_switches.collected = true;
  ASSERT_EQ(BuildPointCloud(&in_, frame_, &cloud_), PF_Err_NONE);
  ASSERT_EQ(cloud_.count, 2);
  const CloudPoint lit = point(0);
  EXPECT_TRUE(lit.has_normal);
  EXPECT_FLOAT_EQ(lit.normal_output.z, -1.0f);  // normalised
  EXPECT_NEAR(lit.light_terms.red, 0.5f, 1e-5);
  EXPECT_NEAR(lit.light_terms.blue, 0.5f, 1e-5);
  EXPECT_EQ(point(1).source_x, 2);
  EXPECT_FALSE(point(1).has_normal);

  // Without the normal pass an alpha light gives every point the flat normal (0, 0, 1), which is
  // never a back face.
  frame_.layers.put(kLayerNormal, nullptr);
  frame_.light_switches.alpha_lighting = true;
  ASSERT_EQ(BuildPointCloud(&in_, frame_, &cloud_), PF_Err_NONE);
  EXPECT_EQ(cloud_.count, 5);  // the back face and the two bad normals included
  EXPECT_TRUE(point(1).has_normal);
  EXPECT_EQ(point(1).normal_output.z, 1.0f);
}

}  // namespace
}  // namespace mf
