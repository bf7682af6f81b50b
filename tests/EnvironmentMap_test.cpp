#include "raster/EnvironmentMap.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace mf {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

TEST(DirectionToLatLong, PolesSeamAndDegenerateDirections) {
  float u = -1, v = -1;
  // +z: θ = atan2(1, -0) = π/2 → u = 1 - 0.75; φ = π/2 → v = 0.5.
  EXPECT_TRUE(DirectionToLatLong({0, 0, 1}, &u, &v));
  EXPECT_FLOAT_EQ(u, 0.25f);
  EXPECT_FLOAT_EQ(v, 0.5f);
  // -z: θ = -π/2 → u = 0.75.
  DirectionToLatLong({0, 0, -1}, &u, &v);
  EXPECT_FLOAT_EQ(u, 0.75f);
  // +y is the bottom row, -y the top.
  DirectionToLatLong({0, 1, 0}, &u, &v);
  EXPECT_FLOAT_EQ(v, 1.0f);
  DirectionToLatLong({0, -1, 0}, &u, &v);
  EXPECT_FLOAT_EQ(v, 0.0f);
  // y a hair above 1 is outside acos's domain: φ = 0, v = 1.
  DirectionToLatLong({0, 1.0000001f, 0}, &u, &v);
  EXPECT_EQ(v, 1.0f);
  // -x: θ = atan2(0, 1) = 0 → u = 0.5. +x sits on the seam: θ = π → u = 0.
  DirectionToLatLong({-1, 0, 0}, &u, &v);
  EXPECT_FLOAT_EQ(u, 0.5f);
  DirectionToLatLong({1, 0, 0}, &u, &v);
  EXPECT_FLOAT_EQ(u, 0.0f);
  // The zero direction: φ = acos 0, θ = 0.
  DirectionToLatLong({0, 0, 0}, &u, &v);
  EXPECT_FLOAT_EQ(u, 0.5f);
  EXPECT_FLOAT_EQ(v, 0.5f);
}

// A 4×4 map at one depth: pixel (x, y) holds alpha full, red k·(x + 4y), green k·x, blue k·y, in
// channel units, with k chosen per depth so that every value is exact.
template <typename Pixel>
struct Map {
  using T = PixelTraits<Pixel>;
  static constexpr float kStep = T::kFullScale == 255.0f ? 10.0f
                                 : T::kFullScale == 1.0f ? 1.0f
                                                         : 1000.0f;
  Map() : pixels(16) {
    for (A_long y = 0; y < 4; ++y)
      for (A_long x = 0; x < 4; ++x) {
        At(x, y) = {(typename T::Channel)T::kFullScale, (typename T::Channel)(kStep * (x + 4 * y)),
                    (typename T::Channel)(kStep * x), (typename T::Channel)(kStep * y)};
      }
  }
  Pixel& At(A_long x, A_long y) { return pixels[y * 4 + x]; }
  bool Sample(Vec3 dir, bool aa, ColorF* c) {
    const A_long rowbytes = 4 * sizeof(Pixel);
    return SampleEnvironmentMap({pixels.data(), rowbytes, 4, 4, T::kFormat}, dir, aa, c);
  }
  // Expected normalised value of a channel holding `units` steps.
  static float Norm(double units) { return (float)(units * kStep / T::kFullScale); }
  std::vector<Pixel> pixels;
};

template <typename Pixel>
class EnvironmentMapDepth : public ::testing::Test {};
using Depths = ::testing::Types<PF_Pixel8, PF_Pixel16, PF_PixelFloat>;
TYPED_TEST_SUITE(EnvironmentMapDepth, Depths);

TYPED_TEST(EnvironmentMapDepth, NearestAndBilinear) {
  Map<TypeParam> map;
  using M = Map<TypeParam>;
  ColorF c{};
  // +z: x = 0.25·3 = 0.75, y = 0.5·3 = 1.5. Nearest truncates to pixel (0, 1).
  ASSERT_TRUE(map.Sample({0, 0, 1}, false, &c));
  EXPECT_FLOAT_EQ(c.alpha, 1.0f);
  EXPECT_FLOAT_EQ(c.red, M::Norm(4));
  EXPECT_FLOAT_EQ(c.green, M::Norm(0));
  EXPECT_FLOAT_EQ(c.blue, M::Norm(1));
  // Bilinear: fx = 0.75, fy = 0.5; weights 0.125 (0,1), 0.375 (1,1), 0.125 (0,2), 0.375 (1,2).
  // red = 0.125·4 + 0.375·5 + 0.125·8 + 0.375·9 = 6.75; green = 0.75; blue = 1.5.
  ASSERT_TRUE(map.Sample({0, 0, 1}, true, &c));
  EXPECT_FLOAT_EQ(c.alpha, 1.0f);
  EXPECT_NEAR(c.red, M::Norm(6.75), 1e-6);
  EXPECT_NEAR(c.green, M::Norm(0.75), 1e-6);
  EXPECT_NEAR(c.blue, M::Norm(1.5), 1e-6);
}

TYPED_TEST(EnvironmentMapDepth, WrappedNeighbourOnLastRowAndColumnHasNoWeight) {
  Map<TypeParam> map;
  using M = Map<TypeParam>;
  ColorF c{};
  // +y: u = 0.5, v = 1 → x = 1.5, y = 3 (last row). Row 0 is the wrapped neighbour with weight 0:
  // red = 0.5·13 + 0.5·14.
  ASSERT_TRUE(map.Sample({0, 1, 0}, true, &c));
  EXPECT_NEAR(c.red, M::Norm(13.5), 1e-6);
  EXPECT_NEAR(c.blue, M::Norm(3), 1e-6);
  // +x with z = -0: θ = -π → u = 1 → x = 3 (last column), y = 1.5: red = 0.5·7 + 0.5·11.
  ASSERT_TRUE(map.Sample({1, 0, -0.0f}, true, &c));
  EXPECT_NEAR(c.red, M::Norm(9), 1e-6);
  EXPECT_NEAR(c.green, M::Norm(3), 1e-6);
}

TYPED_TEST(EnvironmentMapDepth, TransparentPixelsNearestKeepsColourBilinearGivesBlack) {
  Map<TypeParam> map;
  for (auto& p : map.pixels) p.alpha = 0;
  ColorF c{};
  ASSERT_TRUE(map.Sample({0, 0, 1}, false, &c));
  EXPECT_EQ(c.alpha, 0.0f);
  EXPECT_FLOAT_EQ(c.red, Map<TypeParam>::Norm(4));
  ASSERT_TRUE(map.Sample({0, 0, 1}, true, &c));
  EXPECT_EQ(c.alpha, 0.0f);
  EXPECT_EQ(c.red, 0.0f);
  EXPECT_EQ(c.green, 0.0f);
  EXPECT_EQ(c.blue, 0.0f);
}

TYPED_TEST(EnvironmentMapDepth, NonFiniteDirectionsStayInsideTheMap) {
  Map<TypeParam> map;
  using M = Map<TypeParam>;
  ColorF c{};
  // NaN x: θ is NaN, so u and x are NaN; the lookup falls back to column 0 (row 1 from v = 0.5).
  ASSERT_TRUE(map.Sample({kNaN, 0, 0}, false, &c));
  EXPECT_FLOAT_EQ(c.red, M::Norm(4));
  ASSERT_TRUE(map.Sample({kNaN, 0, 0}, true, &c));
  EXPECT_FLOAT_EQ(c.alpha, 1.0f);
  // NaN y: φ = 0, v = 1 → last row; θ = 0 → x = 1.5 → column 1.
  ASSERT_TRUE(map.Sample({0, kNaN, 0}, false, &c));
  EXPECT_FLOAT_EQ(c.red, M::Norm(13));
  // Infinite components have well-defined angles: (inf, 0, 0) → θ = π → u = 0.
  ASSERT_TRUE(map.Sample({kInf, 0, 0}, false, &c));
  EXPECT_FLOAT_EQ(c.red, M::Norm(4));
}

TEST(EnvironmentMap, FloatAlphaIsClampedBeforeWeighting) {
  std::vector<PF_PixelFloat> px(4, PF_PixelFloat{2.0f, 0.5f, -3.0f, 4.0f});
  const A_long rb = 2 * sizeof(PF_PixelFloat);
  ColorF c{};
  ASSERT_TRUE(
      SampleEnvironmentMap({px.data(), rb, 2, 2, PF_PixelFormat_ARGB128}, {0, 0, 1}, true, &c));
  EXPECT_FLOAT_EQ(c.alpha, 1.0f);
  EXPECT_FLOAT_EQ(c.red, 0.5f);
  EXPECT_FLOAT_EQ(c.green, -3.0f);  // colours are not clamped
  EXPECT_FLOAT_EQ(c.blue, 4.0f);
  for (auto& p : px) p.alpha = -1.0f;
  ASSERT_TRUE(
      SampleEnvironmentMap({px.data(), rb, 2, 2, PF_PixelFormat_ARGB128}, {0, 0, 1}, true, &c));
  EXPECT_EQ(c.alpha, 0.0f);
  EXPECT_EQ(c.red, 0.0f);
  // Nearest returns the stored values unclamped.
  ASSERT_TRUE(
      SampleEnvironmentMap({px.data(), rb, 2, 2, PF_PixelFormat_ARGB128}, {0, 0, 1}, false, &c));
  EXPECT_EQ(c.alpha, -1.0f);
  EXPECT_EQ(c.blue, 4.0f);
}

TEST(EnvironmentMap, UnknownFormatAndEmptyWorld) {
  std::vector<PF_Pixel8> px(16, PF_Pixel8{255, 1, 2, 3});
  ColorF c{7, 7, 7, 7};
  EXPECT_FALSE(
      SampleEnvironmentMap({px.data(), 16, 4, 4, PF_PixelFormat_INVALID}, {0, 0, 1}, false, &c));
  EXPECT_EQ(c.red, 7.0f);  // untouched
  // A world without pixels reads as transparent black rather than reading outside it.
  ASSERT_TRUE(
      SampleEnvironmentMap({px.data(), 16, 0, 4, PF_PixelFormat_ARGB32}, {0, 0, 1}, true, &c));
  EXPECT_EQ(c.alpha, 0.0f);
  EXPECT_EQ(c.red, 0.0f);
  ASSERT_TRUE(
      SampleEnvironmentMap({nullptr, 16, 4, 4, PF_PixelFormat_ARGB32}, {0, 0, 1}, false, &c));
  EXPECT_EQ(c.alpha, 0.0f);
  // A 1×1 map answers its only pixel in every direction, both filters.
  ASSERT_TRUE(SampleEnvironmentMap({px.data(), 4, 1, 1, PF_PixelFormat_ARGB32}, {0.3f, -0.2f, 0.9f},
                                   true, &c));
  EXPECT_FLOAT_EQ(c.red, 1.0f / 255.0f);
}

}  // namespace
}  // namespace mf
