#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "raster/Relight.h"

namespace mf {
namespace {

RelightContext DiffuseOnly(ColorF light) {
  RelightContext ctx{};
  ctx.light_terms = light;
  ctx.diffuse = true;
  return ctx;
}

TEST(BlendFloat, EachModeWeighsBothSidesByAlpha) {
  // Source alpha 0.5, destination alpha 1. Red: s = 0.6·0.5 = 0.3, d = 0.4.
  // Green: s = 1.0·0.5 = 0.5, d = 0.2. Blue: s = 0.3, d = 0.9.
  const ColorF src{0.5f, 0.6f, 1.0f, 0.6f};
  const ColorF dst0{1.0f, 0.4f, 0.2f, 0.9f};
  struct Expect {
    A_long mode;
    float red, green, blue;
  };
  const Expect expect[] = {
      {kBlendAdd, 0.7f, 0.7f, 1.2f},
      {kBlendScreen, 0.58f, 0.6f, 0.93f},  // s + d − s·d
      // Overlay decides on s: red and blue (s = 0.3) take 2·(s + 0.5·(1 − Sa))·d, green
      // (s = 0.5) takes 1 − 2·(1 − s)·(1 − d). Blue has d = 0.9: a test on d would give 0.86.
      {kBlendOverlay, 2.0f * 0.55f * 0.4f, 1.0f - 2.0f * 0.5f * 0.8f, 2.0f * 0.55f * 0.9f},
      {kBlendNormal, 0.5f, 0.6f, 0.75f},     // s + d·0.5
      {kBlendMultiply, 0.32f, 0.2f, 0.72f},  // (s + 0.5)·d
      {kBlendAverage, 0.7f / 1.5f, 0.7f / 1.5f, 1.2f / 1.5f},
  };
  for (const Expect& e : expect) {
    ColorF dst = dst0;
    EXPECT_EQ(BlendFloat(dst, src, e.mode), PF_Err_NONE) << e.mode;
    EXPECT_FLOAT_EQ(dst.alpha, 1.0f) << e.mode;
    EXPECT_NEAR(dst.red, e.red, 1e-6) << e.mode;
    EXPECT_NEAR(dst.green, e.green, 1e-6) << e.mode;
    EXPECT_NEAR(dst.blue, e.blue, 1e-6) << e.mode;
  }
}

TEST(BlendFloat, UnknownModeAndEmptyAverage) {
  const ColorF src{0.5f, 0.6f, 1.0f, 0.6f};
  for (A_long mode : {0, 7, -1}) {
    ColorF dst{1.0f, 0.4f, 0.2f, 0.9f};
    EXPECT_EQ(BlendFloat(dst, src, mode), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(dst.red, 0.4f);
    EXPECT_EQ(dst.green, 0.2f);
    EXPECT_EQ(dst.blue, 0.9f);
  }
  // Average with both alphas 0 has nothing to average: 0, not 0 ÷ 0.
  ColorF dst{0.0f, 0.4f, 0.2f, 0.9f};
  EXPECT_EQ(BlendFloat(dst, ColorF{0.0f, 1.0f, 1.0f, 1.0f}, kBlendAverage), PF_Err_NONE);
  EXPECT_EQ(dst.red, 0.0f);
  EXPECT_EQ(dst.green, 0.0f);
  EXPECT_EQ(dst.blue, 0.0f);
}

TEST(ApplyRelight, DiffuseHalvesWhiteInEveryDepth) {
  RelightContext ctx = DiffuseOnly({1.0f, 0.5f, 0.5f, 0.5f});
  PF_Pixel8 p8{255, 255, 255, 255};
  EXPECT_EQ(ApplyRelight(&ctx, 0, 0, &p8, &p8), PF_Err_NONE);
  EXPECT_EQ(p8.alpha, 255);
  EXPECT_EQ(p8.red, 127);  // 127.5 truncated
  EXPECT_EQ(p8.blue, 127);
  PF_Pixel16 in16{32768, 32768, 32768, 32768}, p16{};
  EXPECT_EQ(ApplyRelight(&ctx, 0, 0, &in16, &p16), PF_Err_NONE);
  EXPECT_EQ(p16.alpha, 32768);  // full scale is 32768, not 65535
  EXPECT_EQ(p16.red, 16384);
  EXPECT_EQ(p16.green, 16384);
  PF_PixelFloat pf{1.0f, 1.0f, 1.0f, 1.0f};
  EXPECT_EQ(ApplyRelight(&ctx, 0, 0, &pf, &pf), PF_Err_NONE);
  EXPECT_EQ(pf.red, 0.5f);
  EXPECT_EQ(pf.alpha, 1.0f);
}

TEST(ApplyRelight, SpecularClampsOnlyIntegerDepths) {
  RelightContext ctx{};
  ctx.specular = true;
  ctx.specular_terms = {0.0f, 0.6f, 0.0f, 0.0f};
  PF_Pixel8 p8{255, 200, 0, 0};  // 200/255 + 0.6 = 1.384 → 255
  ApplyRelight(&ctx, 0, 0, &p8, &p8);
  EXPECT_EQ(p8.red, 255);
  EXPECT_EQ(p8.green, 0);
  PF_Pixel16 p16{32768, 26214, 0, 0};  // 0.79999 + 0.6 → 32768
  ApplyRelight(&ctx, 0, 0, &p16, &p16);
  EXPECT_EQ(p16.red, 32768);
  PF_PixelFloat pf{1.0f, 200.0f / 255.0f, 0.0f, 0.0f};
  ApplyRelight(&ctx, 0, 0, &pf, &pf);
  EXPECT_NEAR(pf.red, 1.384314f, 1e-5);  // unclamped
}

TEST(ApplyRelight, AlphaLightingScalesAlphaWithoutComposite) {
  RelightContext ctx{};
  ctx.alpha_lighting = true;
  ctx.light_terms = {0.25f, 1.0f, 1.0f, 1.0f};
  PF_Pixel8 p8{255, 10, 20, 30};
  ApplyRelight(&ctx, 0, 0, &p8, &p8);
  EXPECT_EQ(p8.alpha, 63);  // 63.75 truncated
  EXPECT_EQ(p8.red, 10);    // colour untouched (diffuse off)
  EXPECT_EQ(p8.blue, 30);
  PF_Pixel16 p16{32768, 0, 0, 0};
  ApplyRelight(&ctx, 0, 0, &p16, &p16);
  EXPECT_EQ(p16.alpha, 8192);
  PF_PixelFloat pf{1.0f, 0.0f, 0.0f, 0.0f};
  ApplyRelight(&ctx, 0, 0, &pf, &pf);
  EXPECT_EQ(pf.alpha, 0.25f);
}

TEST(ApplyRelight, CompositeAlphaBlendsTheCompositeColour) {
  RelightContext ctx{};
  ctx.alpha_lighting = true;
  ctx.composite_alpha = true;
  ctx.composite_color = {1.0f, 1.0f, 0.0f, 0.4f};
  // Light alpha 1 gives Sa = 0: normal and multiply both return d = colour × alpha.
  ctx.light_terms = {1.0f, 1.0f, 1.0f, 1.0f};
  for (A_long mode : {kBlendNormal, kBlendMultiply}) {
    ctx.composite_blend_mode = mode;
    PF_Pixel16 p{16384, 32768, 16384, 0};  // alpha 0.5, red 1.0, green 0.5
    EXPECT_EQ(ApplyRelight(&ctx, 0, 0, &p, &p), PF_Err_NONE);
    EXPECT_EQ(p.alpha, 16384);  // alpha is kept
    EXPECT_EQ(p.red, 16384);    // 1.0 × 0.5
    EXPECT_EQ(p.green, 8192);   // 0.5 × 0.5
    EXPECT_EQ(p.blue, 0);
  }
  // Light alpha 0.75 gives Sa = 0.25; normal: red 0.25·1 + 0·0.75 = 0.25 → 63,
  // green 0 + 1·0.75 → 191, blue 0.25·0.4 + 0 = 0.1 → 25.
  ctx.light_terms = {0.75f, 1.0f, 1.0f, 1.0f};
  ctx.composite_blend_mode = kBlendNormal;
  PF_Pixel8 p8{255, 0, 255, 0};
  ApplyRelight(&ctx, 0, 0, &p8, &p8);
  EXPECT_EQ(p8.alpha, 255);
  EXPECT_EQ(p8.red, 63);
  EXPECT_EQ(p8.green, 191);
  EXPECT_EQ(p8.blue, 25);
}

TEST(ApplyRelight, BadCompositeModeStillWritesTheLitPixel) {
  RelightContext ctx = DiffuseOnly({1.0f, 0.5f, 0.5f, 0.5f});
  ctx.alpha_lighting = true;
  ctx.composite_alpha = true;
  ctx.composite_blend_mode = 7;
  PF_Pixel8 p8{255, 255, 255, 255};
  EXPECT_EQ(ApplyRelight(&ctx, 0, 0, &p8, &p8), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(p8.red, 127);  // as after the diffuse step
  EXPECT_EQ(p8.alpha, 255);
  PF_PixelFloat pf{1.0f, 1.0f, 1.0f, 1.0f};
  EXPECT_EQ(ApplyRelight(&ctx, 0, 0, &pf, &pf), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(pf.green, 0.5f);
}

TEST(ApplyRelight, NullContextAndNonFiniteLight) {
  PF_Pixel8 in{1, 2, 3, 4}, out{9, 9, 9, 9};
  EXPECT_EQ(ApplyRelight(nullptr, 0, 0, &in, &out), PF_Err_NONE);
  EXPECT_EQ(out.red, 9);
  // NaN and infinite light reach the integer write as 0 and full scale, never as a cast of NaN.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  RelightContext ctx = DiffuseOnly({1.0f, nan, inf, -inf});
  PF_Pixel8 p8{255, 255, 255, 255};
  ApplyRelight(&ctx, 0, 0, &p8, &p8);
  EXPECT_EQ(p8.red, 0);
  EXPECT_EQ(p8.green, 255);
  EXPECT_EQ(p8.blue, 0);
  PF_Pixel16 p16{32768, 32768, 32768, 32768};
  ApplyRelight(&ctx, 0, 0, &p16, &p16);
  EXPECT_EQ(p16.red, 0);
  EXPECT_EQ(p16.green, 32768);
  PF_PixelFloat pf{1.0f, 1.0f, 1.0f, 1.0f};
  ApplyRelight(&ctx, 0, 0, &pf, &pf);
  EXPECT_TRUE(std::isnan(pf.red));  // float keeps what shading gave
}

}  // namespace
}  // namespace mf
