#include "raster/PassDecode.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>
#include <vector>

#include "raster/Random.h"

namespace mf {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// A 4×4 world of one depth over a plain buffer.
template <typename Pixel>
struct World {
  static constexpr A_long kSize = 4;
  World() : pixels(kSize * kSize, Pixel{}) {}
  Pixel& At(A_long x, A_long y) { return pixels[y * kSize + x]; }
  WorldView View(PF_PixelFormat format = kFormat) {
    return {pixels.data(), kRowbytes, kSize, kSize, format};
  }
  static constexpr A_long kRowbytes = kSize * (A_long)sizeof(Pixel);
  static constexpr PF_PixelFormat kFormat = PixelTraits<Pixel>::kFormat;
  std::vector<Pixel> pixels;
};

PositionDecodeSettings Xyz() {
  PositionDecodeSettings s{};
  s.map_rgb_to = kMapXYZ;
  s.gain_x = s.gain_y = s.gain_z = 1.0f;
  s.uniform_gain = true;
  s.downsample_x = s.downsample_y = 1;
  s.reference_camera_zoom = 100.0;
  return s;
}

// Decodes with the walk's scales and reference camera set as given.
bool DecodeScaled(PositionDecodeSettings s, const WorldView& world, A_long x, A_long y,
                  float x_scale, float y_scale, Vec3 ref, Vec3* placed, Vec3* scattered) {
  s.x_scale = x_scale;
  s.y_scale = y_scale;
  s.reference_camera = ref;
  return DecodePositionSample(world, x, y, s, placed, scattered);
}

// Decodes pixel (1, 2) of a float world holding (a, r, g, b).
bool DecodeFloat(const PositionDecodeSettings& s, PF_PixelFloat px, Vec3* placed, Vec3* scattered,
                 A_long x = 1, A_long y = 2, Vec3 ref = {0, 0, 0}) {
  World<PF_PixelFloat> w;
  w.At(x, y) = px;
  return DecodeScaled(s, w.View(), x, y, 1.0f, 1.0f, ref, placed, scattered);
}

void ExpectVec(Vec3 a, Vec3 e, float tol = 1e-6f) {
  EXPECT_NEAR(a.x, e.x, tol);
  EXPECT_NEAR(a.y, e.y, tol);
  EXPECT_NEAR(a.z, e.z, tol);
}

TEST(RandomGenerator, SequenceIsTheClassicLinearCongruential) {
  // s = s × 214013 + 2531011, R = (s >> 16) & 0x7FFF. From seed 1 (worked out by hand for the
  // first: 214013 + 2531011 = 2745024, >> 16 = 41).
  SeedRandom(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
  for (int e : expected) EXPECT_EQ(NextRandom(), e);
  SeedRandom(0);
  EXPECT_EQ(NextRandom(), 38);  // 2531011 >> 16
  // The state wraps modulo 2^32: seed 0xFFFFFFFF gives s = 2531011 - 214013 = 2316998, R = 35.
  SeedRandom(0xFFFFFFFFu);
  EXPECT_EQ(NextRandom(), 35);

  SeedRandom(1);
  EXPECT_FLOAT_EQ(RandomBetween(-1.0f, 1.0f), (float)(-1.0 + 2.0 * (41 / 32767.0)));
  EXPECT_FLOAT_EQ(RandomBetween(0.0f, 10.0f), (float)(10.0 * (18467 / 32767.0)));
}

TEST(RandomGenerator, StateIsPerThread) {
  SeedRandom(1);
  EXPECT_EQ(NextRandom(), 41);
  int other_first = -1, other_second = -1;
  std::thread t([&] {
    SeedRandom(1);
    other_first = NextRandom();
    other_second = NextRandom();
    SeedRandom(12345);  // must not disturb the main thread
    NextRandom();
  });
  t.join();
  EXPECT_EQ(other_first, 41);
  EXPECT_EQ(other_second, 18467);
  EXPECT_EQ(NextRandom(), 18467);  // continues where this thread left off
}

TEST(DecodePosition, PresenceFollowsAlphaAtEveryDepth) {
  const PositionDecodeSettings s = Xyz();
  Vec3 placed{}, scattered{};
  EXPECT_FALSE(DecodeFloat(s, {0.0f, 1, 2, 3}, &placed, &scattered));
  EXPECT_FALSE(DecodeFloat(s, {-0.0f, 1, 2, 3}, &placed, &scattered));
  EXPECT_TRUE(DecodeFloat(s, {-1.0f, 1, 2, 3}, &placed, &scattered));
  ExpectVec(scattered, {1, 2, 3}, 0);

  World<PF_Pixel8> w8;
  w8.At(3, 3) = {0, 255, 255, 255};
  EXPECT_FALSE(DecodeScaled(s, w8.View(), 3, 3, 1, 1, {}, &placed, &scattered));
  w8.At(3, 3) = {1, 255, 51, 0};
  EXPECT_TRUE(DecodeScaled(s, w8.View(), 3, 3, 1, 1, {}, &placed, &scattered));
  ExpectVec(placed, {1.0f, 0.2f, 0.0f});

  World<PF_Pixel16> w16;
  w16.At(0, 1) = {5, 32768, 16384, 8192};
  EXPECT_TRUE(DecodeScaled(s, w16.View(), 0, 1, 1, 1, {}, &placed, &scattered));
  ExpectVec(placed, {1.0f, 0.5f, 0.25f}, 0);
  EXPECT_FALSE(
      DecodeScaled(s, w16.View(PF_PixelFormat_INVALID), 0, 1, 1, 1, {}, &placed, &scattered));
}

TEST(DecodePosition, PermutationsApplySignAndGainPerAxis) {
  PositionDecodeSettings s = Xyz();
  Vec3 p{}, q{};
  // "XZY" with gain 1 and no inversion: r to X, g to Z, b to Y.
  s.map_rgb_to = kMapXZY;
  ASSERT_TRUE(DecodeFloat(s, {1, 0.1f, 0.2f, 0.3f}, &p, &q));
  ExpectVec(p, {0.1f, 0.3f, 0.2f}, 0);

  // Gains 2, 3, 5 per axis (uniform off), Y inverted: each axis takes its own sign and gain
  // whichever channel lands on it. r = 1, g = 10, b = 100.
  s.uniform_gain = false;
  s.gain_x = 2;
  s.gain_y = 3;
  s.gain_z = 5;
  s.invert_y = true;
  const struct {
    A_long mode;
    Vec3 expected;
  } cases[] = {
      {kMapXYZ, {2 * 1, -3 * 10, 5 * 100}}, {kMapXZY, {2 * 1, -3 * 100, 5 * 10}},
      {kMapYZX, {2 * 100, -3 * 1, 5 * 10}}, {kMapYXZ, {2 * 10, -3 * 1, 5 * 100}},
      {kMapZYX, {2 * 100, -3 * 10, 5 * 1}}, {kMapZXY, {2 * 10, -3 * 100, 5 * 1}},
  };
  for (const auto& c : cases) {
    s.map_rgb_to = c.mode;
    ASSERT_TRUE(DecodeFloat(s, {1, 1, 10, 100}, &p, &q)) << c.mode;
    ExpectVec(p, c.expected, 0);
  }
  // Uniform gain takes gain_x for every axis.
  s.uniform_gain = true;
  s.map_rgb_to = kMapXYZ;
  ASSERT_TRUE(DecodeFloat(s, {1, 1, 10, 100}, &p, &q));
  ExpectVec(p, {2, -20, 200}, 0);
}

TEST(DecodePosition, DepthModesTakePositionFromPixelGrid) {
  PositionDecodeSettings s = Xyz();
  s.downsample_x = s.downsample_y = 2;
  s.invert_y = true;
  Vec3 p{}, q{};
  World<PF_PixelFloat> w;
  w.At(2, 3) = {1, 3, 6, 9};
  // Luminance Z with Y inverted: X = 2·2·0.5 = 2, Y = -(3·2·0.25) = -1.5, Z = (3+6+9)/3 = 6.
  s.map_rgb_to = kMapLuminanceZ;
  ASSERT_TRUE(DecodeScaled(s, w.View(), 2, 3, 0.5f, 0.25f, {}, &p, &q));
  ExpectVec(p, {2, -1.5f, 6}, 0);
  const struct {
    A_long mode;
    float z;
  } channels[] = {{kMapRedZ, 3}, {kMapGreenZ, 6}, {kMapBlueZ, 9}};
  for (const auto& c : channels) {
    s.map_rgb_to = c.mode;
    ASSERT_TRUE(DecodeScaled(s, w.View(), 2, 3, 0.5f, 0.25f, {}, &p, &q));
    ExpectVec(p, {2, -1.5f, c.z}, 0);
  }
  // Separators and entries outside the menu behave like empty samples.
  for (A_long mode : {0, 7, 12, 17}) {
    s.map_rgb_to = mode;
    EXPECT_FALSE(DecodeScaled(s, w.View(), 2, 3, 1, 1, {}, &p, &q)) << mode;
  }
}

TEST(DecodePosition, ProjectedModesSpreadAboutReferenceCamera) {
  PositionDecodeSettings s = Xyz();
  s.map_rgb_to = kMapRedZProjected;
  Vec3 p{}, q{};
  // Flat: pixel (10, 20), r = 50, zoom 100, camera at (5, 5, -100). Z = 50; k = 150/100 = 1.5;
  // X = 5 + (10 - 5)·1.5 = 12.5; Y = 5 + (20 - 5)·1.5 = 27.5.
  // A 32×32 world, wide enough for pixel (10, 20).
  std::vector<PF_PixelFloat> wide(32 * 32, PF_PixelFloat{});
  wide[20 * 32 + 10] = {1, 50, 0, 0};
  const WorldView wide_view{wide.data(), 32 * A_long{sizeof(PF_PixelFloat)}, 32, 32,
                            PF_PixelFormat_ARGB128};
  ASSERT_TRUE(DecodeScaled(s, wide_view, 10, 20, 1, 1, {5, 5, -100}, &p, &q));
  ExpectVec(p, {12.5f, 27.5f, 50}, 1e-5f);

  // Curved: pixel (3, 1) with x and y scaled by 10 → (30, 40); camera at the origin, d = 50,
  // offset = +1·100·(50 - 100)/50 = -100, Z = 50 - 100 = -50, k = 0.5 → X = 15, Y = 20.
  s.curved_projection = true;
  wide[1 * 32 + 3] = {1, 50, 0, 0};
  ASSERT_TRUE(DecodeScaled(s, wide_view, 3, 1, 10, 40, {0, 0, 0}, &p, &q));
  ExpectVec(p, {15, 20, -50}, 1e-5f);
  // A camera at negative z flips the offset's sign. z = -1e-30 keeps d at 50: offset = +100,
  // Z = 150, k = 2.5 → X = 75, Y = 100.
  ASSERT_TRUE(DecodeScaled(s, wide_view, 3, 1, 10, 40, {0, 0, -1e-30f}, &p, &q));
  ExpectVec(p, {75, 100, 150}, 1e-4f);
}

TEST(DecodePosition, NonFinitePositionsMakeNoPoint) {
  PositionDecodeSettings s = Xyz();
  Vec3 p{}, q{};
  EXPECT_FALSE(DecodeFloat(s, {1, kNaN, 0, 0}, &p, &q));
  EXPECT_FALSE(DecodeFloat(s, {1, 0, kInf, 0}, &p, &q));
  EXPECT_FALSE(DecodeFloat(s, {1, 0, 0, -kInf}, &p, &q));
  // A gain that overflows the product.
  s.gain_x = 3e38f;
  EXPECT_FALSE(DecodeFloat(s, {1, 10, 0, 0}, &p, &q));

  // Curved projection with the pixel right under the camera: d = 0 divides by zero.
  s = Xyz();
  s.map_rgb_to = kMapRedZProjected;
  s.curved_projection = true;
  EXPECT_FALSE(DecodeFloat(s, {1, 5, 0, 0}, &p, &q, 0, 0, {0, 0, 0}));
  // A zero reference zoom divides by zero in the spread.
  s.curved_projection = false;
  s.reference_camera_zoom = 0.0;
  EXPECT_FALSE(DecodeFloat(s, {1, 5, 0, 0}, &p, &q));

  // A refused sample still takes its scatter draws, so later samples do not shift.
  s = Xyz();
  s.uniform_scatter = true;
  s.scatter_x = 1.0f;
  SeedRandom(1);
  EXPECT_FALSE(DecodeFloat(s, {1, kNaN, 0, 0}, &p, &q));
  EXPECT_EQ(NextRandom(), 26500);  // 41, 18467, 6334 were used
  // Scatter so wide that hi - lo overflows makes no point either.
  s.scatter_x = 3e38f;
  SeedRandom(1);
  EXPECT_FALSE(DecodeFloat(s, {1, 0, 0, 0}, &p, &q));
}

TEST(DecodePosition, ScatterDrawsOnlyForNonZeroAxes) {
  PositionDecodeSettings s = Xyz();
  Vec3 p{}, q{};
  const auto draw = [](int r, float s) { return (float)(-s + (s - -s) * (r / 32767.0)); };

  // Non-uniform, only Y scattered: one draw (41) goes to Y.
  s.scatter_y = 2.0f;
  SeedRandom(1);
  ASSERT_TRUE(DecodeFloat(s, {1, 1, 2, 3}, &p, &q));
  ExpectVec(p, {1, 2, 3}, 0);
  ExpectVec(q, {1, 2 + draw(41, 2), 3});
  EXPECT_EQ(NextRandom(), 18467);

  // Non-uniform X and Z: X takes 41, Z takes 18467.
  s.scatter_y = 0;
  s.scatter_x = 1;
  s.scatter_z = 4;
  SeedRandom(1);
  ASSERT_TRUE(DecodeFloat(s, {1, 1, 2, 3}, &p, &q));
  ExpectVec(q, {1 + draw(41, 1), 2, 3 + draw(18467, 4)}, 1e-5f);

  // Uniform with X zero: nothing added and nothing drawn, whatever Y and Z say.
  s.uniform_scatter = true;
  s.scatter_x = 0;
  s.scatter_y = 5;
  SeedRandom(1);
  ASSERT_TRUE(DecodeFloat(s, {1, 1, 2, 3}, &p, &q));
  ExpectVec(q, {1, 2, 3}, 0);
  EXPECT_EQ(NextRandom(), 41);

  // Uniform with X set: three independent draws, X then Y then Z, all with X's range.
  s.scatter_x = 1;
  SeedRandom(1);
  ASSERT_TRUE(DecodeFloat(s, {1, 1, 2, 3}, &p, &q));
  ExpectVec(q, {1 + draw(41, 1), 2 + draw(18467, 1), 3 + draw(6334, 1)}, 1e-6f);
}

TEST(DecodeNormal, RemapInvertRotate) {
  NormalDecodeSettings s{};
  s.remap = true;
  s.min_x = s.min_y = s.min_z = -1;
  s.max_x = s.max_y = s.max_z = 1;
  Vec3 n{};
  // 16-bit 16384 is 0.5 → 0 with the default remap; 32768 → 1; 0 → -1.
  World<PF_Pixel16> w16;
  w16.At(1, 1) = {32768, 16384, 32768, 0};
  ASSERT_TRUE(DecodeNormalSample(w16.View(), 1, 1, s, &n));
  ExpectVec(n, {0, 1, -1}, 0);
  // 8-bit, inverted x and z, no remap.
  World<PF_Pixel8> w8;
  w8.At(2, 0) = {255, 255, 0, 51};
  s.remap = false;
  s.invert_x = s.invert_z = true;
  ASSERT_TRUE(DecodeNormalSample(w8.View(), 2, 0, s, &n));
  ExpectVec(n, {-1, 0, -0.2f});
  // Rotation by 90° about z after the inversion: (-1, 0, -0.2) → (0, -1, -0.2). Not normalised.
  s.rotate = true;
  s.rotation = BuildTransform({0, 0, 0}, {0, 0, 1.5707963267948966f});
  ASSERT_TRUE(DecodeNormalSample(w8.View(), 2, 0, s, &n));
  ExpectVec(n, {0, -1, -0.2f});
  // Empty pixel and unknown format.
  w8.At(2, 0).alpha = 0;
  EXPECT_FALSE(DecodeNormalSample(w8.View(), 2, 0, s, &n));
  EXPECT_FALSE(DecodeNormalSample(w16.View(PF_PixelFormat_INVALID), 1, 1, s, &n));
}

TEST(DecodeNormal, NonFiniteNormalDecodesAsZero) {
  NormalDecodeSettings s{};
  World<PF_PixelFloat> w;
  w.At(0, 0) = {1, kNaN, 0.5f, 0.5f};
  w.At(1, 0) = {1, 0, kInf, 0};
  Vec3 n{9, 9, 9};
  ASSERT_TRUE(DecodeNormalSample(w.View(), 0, 0, s, &n));
  ExpectVec(n, {0, 0, 0}, 0);
  n = {9, 9, 9};
  ASSERT_TRUE(DecodeNormalSample(w.View(), 1, 0, s, &n));
  ExpectVec(n, {0, 0, 0}, 0);
  // NaN alpha counts as present.
  w.At(2, 0) = {kNaN, 0, 0, 1};
  ASSERT_TRUE(DecodeNormalSample(w.View(), 2, 0, s, &n));
  ExpectVec(n, {0, 0, 1}, 0);
}

TEST(DecodeDisplacement, PremultipliedAndRemapped) {
  DisplacementDecodeSettings s{};
  Vec3 d{};
  // 8-bit (a 128, r 255, g 0, b 51): colour times alpha.
  World<PF_Pixel8> w8;
  w8.At(3, 1) = {128, 255, 0, 51};
  const float a = 128.0f / 255.0f;
  ASSERT_TRUE(DecodeDisplacementSample(w8.View(), 3, 1, s, &d));
  ExpectVec(d, {a, 0, 0.2f * a});
  // Per-axis remap: x onto [-10, 10], y onto [0, 4], z onto [1, 2].
  s.remap = true;
  s.min_x = -10;
  s.max_x = 10;
  s.min_y = 0;
  s.max_y = 4;
  s.min_z = 1;
  s.max_z = 2;
  World<PF_PixelFloat> wf;
  wf.At(0, 0) = {0.5f, 1, 0.5f, 0};  // premultiplied: (0.5, 0.25, 0)
  ASSERT_TRUE(DecodeDisplacementSample(wf.View(), 0, 0, s, &d));
  ExpectVec(d, {0, 1, 1}, 0);
  // Uniform: every axis onto [-10, 10].
  s.uniform = true;
  ASSERT_TRUE(DecodeDisplacementSample(wf.View(), 0, 0, s, &d));
  ExpectVec(d, {0, -5, -10}, 0);
  // 16-bit empty pixel, unknown format, non-finite value: no displacement.
  World<PF_Pixel16> w16;
  EXPECT_FALSE(DecodeDisplacementSample(w16.View(), 0, 0, s, &d));
  EXPECT_FALSE(DecodeDisplacementSample(wf.View(PF_PixelFormat_INVALID), 0, 0, s, &d));
  wf.At(1, 1) = {1, kInf, 0, 0};
  EXPECT_FALSE(DecodeDisplacementSample(wf.View(), 1, 1, s, &d));
}

TEST(SampleMatte, ChannelChoices) {
  World<PF_Pixel8> w8;
  w8.At(1, 2) = {128, 255, 255, 255};
  float v = -1;
  ASSERT_TRUE(SampleMatteChannel(w8.View(), 1, 2, kMatteLuminance, &v));
  EXPECT_FLOAT_EQ(v, 128.0f / 255.0f);

  World<PF_Pixel16> w16;
  w16.At(0, 3) = {8192, 32768, 16384, 0};  // a 0.25, r 1, g 0.5, b 0
  const struct {
    A_long mode;
    float expected;
  } cases[] = {{kMatteLuminance, 0.5f * 0.25f},
               {kMatteRed, 1},
               {kMatteGreen, 0.5f},
               {kMatteBlue, 0},
               {kMatteAlpha, 0.25f},
               {0, 0.5f},
               {6, 0.5f}};  // unknown choices: the plain mean, without alpha
  for (const auto& c : cases) {
    ASSERT_TRUE(SampleMatteChannel(w16.View(), 0, 3, c.mode, &v));
    EXPECT_FLOAT_EQ(v, c.expected) << c.mode;
  }

  // No presence test: a transparent float pixel gives its stored red.
  World<PF_PixelFloat> wf;
  wf.At(2, 2) = {0, 0.75f, 0, 0};
  ASSERT_TRUE(SampleMatteChannel(wf.View(), 2, 2, kMatteRed, &v));
  EXPECT_EQ(v, 0.75f);
  // Unknown format: false and 0.
  v = 5;
  EXPECT_FALSE(SampleMatteChannel(wf.View(PF_PixelFormat_INVALID), 2, 2, kMatteRed, &v));
  EXPECT_EQ(v, 0.0f);
  // NaN or infinite channels read as 0.
  wf.At(3, 3) = {kNaN, kInf, 0, 0};
  v = 5;
  ASSERT_TRUE(SampleMatteChannel(wf.View(), 3, 3, kMatteRed, &v));
  EXPECT_EQ(v, 0.0f);
  v = 5;
  ASSERT_TRUE(SampleMatteChannel(wf.View(), 3, 3, kMatteAlpha, &v));
  EXPECT_EQ(v, 0.0f);
}

}  // namespace
}  // namespace mf
