#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "raster/StampShaping.h"

namespace mf {
namespace {

// A world over a std::vector, with one spare pixel at the end of every row that the kernels must
// never read; it is filled with a bright opaque colour so a stray read shows in the result.
template <typename Pixel>
struct HandWorld {
  HandWorld(A_long w, A_long h, Pixel guard) : pixels((w + 1) * h, Pixel{}) {
    world.width = w;
    world.height = h;
    world.rowbytes = (w + 1) * (A_long)sizeof(Pixel);
    world.data = reinterpret_cast<PF_PixelPtr>(pixels.data());
    for (A_long y = 0; y < h; ++y) at(w, y) = guard;
  }
  Pixel& at(A_long x, A_long y) { return pixels[y * (world.width + 1) + x]; }
  std::vector<Pixel> pixels;
  PF_EffectWorld world{};
};

// The soften callback's output at (x, y) for a stamp of the given size, bias and colour.
struct Disc {
  A_long size;
  float bias;
};
template <typename Pixel>
Pixel Soften(Disc disc, const Pixel& color, A_long x, A_long y) {
  SoftenContext<Pixel> ctx{color, disc.size, disc.bias};
  Pixel out{};
  EXPECT_EQ(SoftenPixel<Pixel>(&ctx, x, y, nullptr, &out), PF_Err_NONE);
  return out;
}

TEST(SoftenPixel, RampOfAFourPixelStampInEveryDepth) {
  // Size 4: r = 2. Pixel (2,2) is the centre (d = 0), (1,2) has d = 1, (2,0) has d = 2 = r,
  // (0,0) has d = 2.83 > r.
  const Disc disc{4, 0.0f};
  const PF_Pixel8 c8{255, 10, 20, 30};
  const PF_Pixel16 c16{32768, 1000, 2000, 3000};
  const PF_PixelFloat cf{1.0f, 0.1f, 0.2f, 0.3f};

  PF_Pixel8 p = Soften(disc, c8, 2, 2);
  EXPECT_EQ(p.alpha, 255);
  EXPECT_EQ(p.red, 10);
  EXPECT_EQ(p.blue, 30);
  EXPECT_EQ(Soften(disc, c8, 0, 0).alpha, 0);
  EXPECT_EQ(Soften(disc, c8, 2, 0).alpha, 0);
  EXPECT_EQ(Soften(disc, c8, 0, 0).green, 20);   // colour kept outside too
  EXPECT_EQ(Soften(disc, c8, 1, 2).alpha, 127);  // 0.5 × 255 truncated

  EXPECT_EQ(Soften(disc, c16, 2, 2).alpha, 32768);
  EXPECT_EQ(Soften(disc, c16, 1, 2).alpha, 16384);
  EXPECT_EQ(Soften(disc, c16, 0, 0).alpha, 0);
  EXPECT_EQ(Soften(disc, c16, 1, 2).red, 1000);

  EXPECT_EQ(Soften(disc, cf, 2, 2).alpha, 1.0f);
  EXPECT_EQ(Soften(disc, cf, 1, 2).alpha, 0.5f);
  EXPECT_EQ(Soften(disc, cf, 2, 0).alpha, 0.0f);
  EXPECT_EQ(Soften(disc, cf, 1, 2).green, 0.2f);
}

TEST(SoftenPixel, BiasSteepensFlattensOrSaturates) {
  const PF_Pixel8 c8{255, 0, 0, 0};
  const PF_Pixel16 c16{32768, 0, 0, 0};
  const PF_PixelFloat cf{1.0f, 0, 0, 0};
  // Bias 0.5 doubles the ramp: (1,2) 0.5 × 2 → full; float caps at 1.0 even at the centre (2.0).
  Disc disc{4, 0.5f};
  EXPECT_EQ(Soften(disc, c8, 1, 2).alpha, 255);
  EXPECT_EQ(Soften(disc, c16, 1, 2).alpha, 32768);
  EXPECT_EQ(Soften(disc, cf, 2, 2).alpha, 1.0f);
  // Bias −0.5 halves it: centre 0.5 × 255 = 127.5 → 127.
  disc.bias = -0.5f;
  EXPECT_EQ(Soften(disc, c8, 2, 2).alpha, 127);
  EXPECT_EQ(Soften(disc, cf, 1, 2).alpha, 0.25f);
  // Bias −1: everything transparent.
  disc.bias = -1.0f;
  for (A_long y = 0; y < 4; ++y) {
    for (A_long x = 0; x < 4; ++x) {
      EXPECT_EQ(Soften(disc, c8, x, y).alpha, 0);
      EXPECT_EQ(Soften(disc, cf, x, y).alpha, 0.0f);
    }
  }
  // Bias 1: full inside the disc whatever the point's alpha, still 0 outside.
  disc.bias = 1.0f;
  EXPECT_EQ(Soften(disc, PF_Pixel8{100, 0, 0, 0}, 1, 2).alpha, 255);
  EXPECT_EQ(Soften(disc, PF_Pixel16{100, 0, 0, 0}, 3, 3).alpha, 32768);  // d = 1.41
  EXPECT_EQ(Soften(disc, PF_PixelFloat{0.1f, 0, 0, 0}, 2, 2).alpha, 1.0f);
  EXPECT_EQ(Soften(disc, PF_Pixel8{100, 0, 0, 0}, 0, 0).alpha, 0);
}

TEST(SoftenPixel, OnePixelPointAndDegenerateInputs) {
  // A one-pixel point is softened as size 2 at (1, 1): the centre keeps the point's alpha.
  const PF_Pixel8 c8{200, 1, 2, 3};
  const PF_PixelFloat cf{1.0f, 0, 0, 0};
  EXPECT_EQ(Soften(Disc{2, 0.0f}, c8, 1, 1).alpha, 200);
  // A NaN bias reads as transparent, a size of 0 leaves no disc: no NaN reaches any store.
  const Disc nan_bias{2, std::numeric_limits<float>::quiet_NaN()};
  EXPECT_EQ(Soften(nan_bias, c8, 1, 1).alpha, 0);
  EXPECT_EQ(Soften(nan_bias, cf, 1, 1).alpha, 0.0f);
  EXPECT_EQ(Soften(Disc{0, 0.0f}, cf, 0, 0).alpha, 0.0f);
  PF_Pixel8 out{9, 9, 9, 9};
  EXPECT_EQ(SoftenPixel<PF_Pixel8>(nullptr, 0, 0, nullptr, &out), PF_Err_NONE);
  EXPECT_EQ(out.alpha, 9);
}

SubPixelContext ShiftContext(PF_EffectWorld* src, double fx, double fy, double k) {
  SubPixelContext ctx{};
  ctx.source = src;
  ctx.weights[0] = fx * fy;
  ctx.weights[1] = (1 - fx) * fy;
  ctx.weights[2] = fx * (1 - fy);
  ctx.weights[3] = (1 - fx) * (1 - fy);
  ctx.width = src->width;
  ctx.height = src->height;
  ctx.alpha_factor = k;
  return ctx;
}

TEST(SubPixelShift, ZeroOffsetReproducesTheStamp) {
  HandWorld<PF_Pixel8> src(2, 2, PF_Pixel8{255, 255, 255, 255});
  src.at(0, 0) = {255, 40, 0, 0};
  src.at(1, 0) = {128, 80, 0, 0};
  src.at(0, 1) = {64, 120, 0, 0};
  src.at(1, 1) = {0, 160, 0, 0};
  SubPixelContext ctx = ShiftContext(&src.world, 0.0, 0.0, 0.0);
  for (A_long y = 0; y < 3; ++y) {
    for (A_long x = 0; x < 3; ++x) {
      PF_Pixel8 out{};
      EXPECT_EQ(SubPixelShift<PF_Pixel8>(&ctx, x, y, nullptr, &out), PF_Err_NONE);
      const PF_Pixel8 want = (x < 2 && y < 2) ? src.at(x, y) : PF_Pixel8{0, 0, 0, 0};
      EXPECT_EQ(out.alpha, want.alpha) << x << "," << y;
      EXPECT_EQ(out.red, want.red) << x << "," << y;
    }
  }
}

TEST(SubPixelShift, InteriorPixelMixesFourTaps) {
  HandWorld<PF_Pixel16> src(2, 2, PF_Pixel16{32768, 32768, 32768, 32768});
  src.at(0, 0) = {32768, 4000, 0, 0};
  src.at(1, 0) = {32768, 8000, 0, 0};
  src.at(0, 1) = {32768, 12000, 0, 0};
  src.at(1, 1) = {32768, 16001, 0, 0};
  SubPixelContext ctx = ShiftContext(&src.world, 0.5, 0.5, 1.0);
  PF_Pixel16 out{};
  SubPixelShift<PF_Pixel16>(&ctx, 1, 1, nullptr, &out);
  EXPECT_EQ(out.red, 10000);  // (4000 + 8000 + 12000 + 16001) / 4 = 10000.25
  EXPECT_EQ(out.alpha, 32768);
}

TEST(SubPixelShift, EdgeAlphaFollowsTheAlphaFactor) {
  // Source 2×2 opaque; fx = 0.25, fy = 0: weights TL 0, TR 0, BL 0.25, BR 0.75.
  // Destination (2, 0) lies one column beyond: only BL = src(1, 0) remains, weight 0.25.
  // Its taps have alphas 0, 0, full, 0: lin 0.25, max 1, min 0.
  HandWorld<PF_Pixel8> s8(2, 2, PF_Pixel8{255, 255, 255, 255});
  HandWorld<PF_Pixel16> s16(2, 2, PF_Pixel16{32768, 32768, 32768, 32768});
  HandWorld<PF_PixelFloat> sf(2, 2, PF_PixelFloat{1, 1, 1, 1});
  for (A_long y = 0; y < 2; ++y) {
    for (A_long x = 0; x < 2; ++x) {
      s8.at(x, y) = {255, 200, 0, 0};
      s16.at(x, y) = {32768, 20000, 0, 0};
      sf.at(x, y) = {1.0f, 0.8f, 0.0f, 0.0f};
    }
  }
  struct Case {
    double k;
    A_u_char a8;
    A_u_short a16;
    float af;
  };
  // alpha = lin + |lin − target|·k: k = 0 → 0.25; k = 1 → 1; k = −1 → 0; k = 0.5 → 0.625.
  for (const Case& c : {Case{0.0, 63, 8192, 0.25f}, Case{1.0, 255, 32768, 1.0f},
                        Case{-1.0, 0, 0, 0.0f}, Case{0.5, 159, 20480, 0.625f}}) {
    SubPixelContext c8 = ShiftContext(&s8.world, 0.25, 0.0, c.k);
    SubPixelContext c16 = ShiftContext(&s16.world, 0.25, 0.0, c.k);
    SubPixelContext cf = ShiftContext(&sf.world, 0.25, 0.0, c.k);
    PF_Pixel8 o8{};
    PF_Pixel16 o16{};
    PF_PixelFloat of{};
    SubPixelShift<PF_Pixel8>(&c8, 2, 0, nullptr, &o8);
    SubPixelShift<PF_Pixel16>(&c16, 2, 0, nullptr, &o16);
    SubPixelShift<PF_PixelFloat>(&cf, 2, 0, nullptr, &of);
    EXPECT_EQ(o8.alpha, c.a8) << c.k;
    EXPECT_EQ(o16.alpha, c.a16) << c.k;
    EXPECT_FLOAT_EQ(of.alpha, c.af) << c.k;
    EXPECT_EQ(o8.red, 50);     // 200 × 0.25
    EXPECT_EQ(o16.red, 5000);  // 20000 × 0.25
    EXPECT_FLOAT_EQ(of.red, 0.2f);
  }
  // Destination (0, 0): only BR = src(0, 0) with 0.75: red 150, alpha 191.25 → 191 at k = 0.
  SubPixelContext c8 = ShiftContext(&s8.world, 0.25, 0.0, 0.0);
  PF_Pixel8 o8{};
  SubPixelShift<PF_Pixel8>(&c8, 0, 0, nullptr, &o8);
  EXPECT_EQ(o8.red, 150);
  EXPECT_EQ(o8.alpha, 191);
}

TEST(SubPixelShift, NeverReadsBeyondTheStamp) {
  // Two columns past the stamp, the literal tap rule would take column 2 (the guard pixel).
  HandWorld<PF_Pixel8> src(2, 2, PF_Pixel8{255, 255, 255, 255});
  SubPixelContext ctx = ShiftContext(&src.world, 0.25, 0.25, 1.0);
  PF_Pixel8 out{7, 7, 7, 7};
  SubPixelShift<PF_Pixel8>(&ctx, 3, 1, nullptr, &out);
  EXPECT_EQ(out.alpha, 0);
  EXPECT_EQ(out.red, 0);
  // Float keeps values beyond 1 (no clamping), and a null context writes nothing.
  HandWorld<PF_PixelFloat> sf(1, 1, PF_PixelFloat{});
  sf.at(0, 0) = {2.0f, 3.0f, -1.0f, 0.5f};
  SubPixelContext cf = ShiftContext(&sf.world, 0.0, 0.0, 0.0);
  PF_PixelFloat of{};
  SubPixelShift<PF_PixelFloat>(&cf, 0, 0, nullptr, &of);
  EXPECT_EQ(of.alpha, 2.0f);
  EXPECT_EQ(of.red, 3.0f);
  EXPECT_EQ(of.green, -1.0f);
  EXPECT_EQ(SubPixelShift<PF_PixelFloat>(nullptr, 0, 0, nullptr, &of), PF_Err_NONE);
  EXPECT_EQ(of.red, 3.0f);
}

}  // namespace
}  // namespace mf
