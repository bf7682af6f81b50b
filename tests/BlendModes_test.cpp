#include <gtest/gtest.h>

#include <vector>

#include "raster/BlendModes.h"

namespace mf {
namespace {

// A one-row target world over a std::vector; the callbacks read it at (x + left, y + top).
template <typename Pixel>
struct Target {
  explicit Target(std::vector<Pixel> row) : pixels(std::move(row)) {
    world.width = (A_long)pixels.size();
    world.height = 1;
    world.rowbytes = world.width * (A_long)sizeof(Pixel);
    world.data = reinterpret_cast<PF_PixelPtr>(pixels.data());
  }
  std::vector<Pixel> pixels;
  PF_EffectWorld world{};
};

template <typename Pixel, typename Fn>
Pixel Blend(Fn fn, Target<Pixel>& t, A_long tx, Pixel s) {
  BlendContext ctx{&t.world, tx, 0, tx + 1, 1};
  Pixel out{};
  EXPECT_EQ(fn(&ctx, 0, 0, &s, &out), PF_Err_NONE);
  return out;
}

TEST(AverageBlends, OpaqueRedOverOpaqueBlue) {
  // Equal weights: each colour is the plain mean, 0.5 of full scale; alpha stays full.
  Target<PF_Pixel8> t8({{255, 0, 0, 255}});
  Target<PF_Pixel16> t16({{32768, 0, 0, 32768}});
  Target<PF_PixelFloat> tf({{1.0f, 0.0f, 0.0f, 1.0f}});
  for (auto fn : {AverageBlend8, AverageAddAlphaBlend8, MaxAverageAlphaBlend8}) {
    PF_Pixel8 o = Blend(fn, t8, 0, PF_Pixel8{255, 255, 0, 0});
    EXPECT_EQ(o.red, 127);
    EXPECT_EQ(o.green, 0);
    EXPECT_EQ(o.blue, 127);
    EXPECT_EQ(o.alpha, 255);
  }
  for (auto fn : {AverageBlend16, AverageAddAlphaBlend16, MaxAverageAlphaBlend16}) {
    PF_Pixel16 o = Blend(fn, t16, 0, PF_Pixel16{32768, 32768, 0, 0});
    EXPECT_EQ(o.red, 16384);
    EXPECT_EQ(o.blue, 16384);
    EXPECT_EQ(o.alpha, 32768);
  }
  for (auto fn : {AverageBlendFloat, AverageAddAlphaBlendFloat, MaxAverageAlphaBlendFloat}) {
    PF_PixelFloat o = Blend(fn, tf, 0, PF_PixelFloat{1.0f, 1.0f, 0.0f, 0.0f});
    EXPECT_EQ(o.red, 0.5f);
    EXPECT_EQ(o.blue, 0.5f);
    EXPECT_EQ(o.alpha, 1.0f);
  }
}

TEST(AverageBlends, AlphaRulesOfTheThreeModes) {
  // Two half-transparent pixels, alpha a = 128/255 = 0.50196 each:
  //   average:  a + a·(1 − a) = 0.75196 → 191.75 → 191
  //   add:      2a = 1.0039 → clamped to 255
  Target<PF_Pixel8> t8({{128, 0, 0, 0}});
  EXPECT_EQ(Blend(AverageBlend8, t8, 0, PF_Pixel8{128, 255, 0, 0}).alpha, 191);
  EXPECT_EQ(Blend(AverageAddAlphaBlend8, t8, 0, PF_Pixel8{128, 255, 0, 0}).alpha, 255);
  EXPECT_EQ(Blend(AverageAddAlphaBlend8, t8, 0, PF_Pixel8{128, 255, 0, 0}).red, 127);
  // 16-bit halves: average 0.75 → 24576, add 1.0 → 32768.
  Target<PF_Pixel16> t16({{16384, 0, 0, 0}});
  EXPECT_EQ(Blend(AverageBlend16, t16, 0, PF_Pixel16{16384, 0, 0, 0}).alpha, 24576);
  EXPECT_EQ(Blend(AverageAddAlphaBlend16, t16, 0, PF_Pixel16{16384, 0, 0, 0}).alpha, 32768);
  // Float 0.75 each: average 0.9375, add min(1.5, 1) = 1.
  Target<PF_PixelFloat> tf({{0.75f, 0, 0, 0}});
  EXPECT_EQ(Blend(AverageBlendFloat, tf, 0, PF_PixelFloat{0.75f, 0, 0, 0}).alpha, 0.9375f);
  EXPECT_EQ(Blend(AverageAddAlphaBlendFloat, tf, 0, PF_PixelFloat{0.75f, 0, 0, 0}).alpha, 1.0f);

  // Max average keeps the larger stored alpha exactly: a faint stamp (alpha 10) over an opaque
  // target keeps 255. Its red weighs 10/255 against 1: 0.03922 / 1.03922 = 0.03774 → 9.
  Target<PF_Pixel8> opaque({{255, 0, 0, 0}});
  PF_Pixel8 o = Blend(MaxAverageAlphaBlend8, opaque, 0, PF_Pixel8{10, 255, 0, 0});
  EXPECT_EQ(o.alpha, 255);
  EXPECT_EQ(o.red, 9);
  Target<PF_Pixel16> faint({{3, 0, 0, 0}});
  EXPECT_EQ(Blend(MaxAverageAlphaBlend16, faint, 0, PF_Pixel16{20000, 0, 0, 0}).alpha, 20000);
  Target<PF_PixelFloat> tf2({{0.3f, 0, 0, 0}});
  EXPECT_EQ(Blend(MaxAverageAlphaBlendFloat, tf2, 0, PF_PixelFloat{0.2f, 0, 0, 0}).alpha, 0.3f);
}

TEST(AverageBlends, TransparentOrMissingTargetKeepsTheStampColour) {
  // Over a transparent target the weights reduce to the stamp's own: every colour and alpha
  // comes back unchanged (the average's alpha aS + 0 as well). Checked over all 8-bit values,
  // since (c·a) ÷ a in single precision misses by one step for some pairs.
  Target<PF_Pixel8> clear({{0, 99, 99, 99}});
  for (int a = 1; a <= 255; a += 2) {
    for (int c = 0; c <= 255; ++c) {
      const PF_Pixel8 s{(A_u_char)a, (A_u_char)c, (A_u_char)(255 - c), (A_u_char)(c / 2)};
      for (auto fn : {AverageBlend8, AverageAddAlphaBlend8, MaxAverageAlphaBlend8}) {
        PF_Pixel8 o = Blend(fn, clear, 0, s);
        ASSERT_EQ(o.red, s.red) << a << " " << c;
        ASSERT_EQ(o.green, s.green) << a << " " << c;
        ASSERT_EQ(o.blue, s.blue) << a << " " << c;
        ASSERT_EQ(o.alpha, s.alpha) << a << " " << c;
      }
    }
  }
  // Outside the target reads as all zeros; both alphas zero leaves the stamp pixel as it is.
  Target<PF_Pixel16> t16({{32768, 1, 2, 3}});
  const PF_Pixel16 s16{12345, 100, 200, 300};
  PF_Pixel16 o16 = Blend(AverageBlend16, t16, 5, s16);
  EXPECT_EQ(o16.red, 100);
  EXPECT_EQ(o16.alpha, 12345);
  Target<PF_PixelFloat> tf({{0.0f, 0.5f, 0.5f, 0.5f}});
  PF_PixelFloat of = Blend(AverageBlendFloat, tf, -3, PF_PixelFloat{0.0f, 0.7f, 0.1f, 0.2f});
  EXPECT_EQ(of.red, 0.7f);
  EXPECT_EQ(of.alpha, 0.0f);
  PF_Pixel8 untouched{1, 2, 3, 4};
  PF_Pixel8 s{5, 5, 5, 5};
  EXPECT_EQ(AverageBlend8(nullptr, 0, 0, &s, &untouched), PF_Err_NONE);
  EXPECT_EQ(untouched.red, 2);
}

}  // namespace
}  // namespace mf
