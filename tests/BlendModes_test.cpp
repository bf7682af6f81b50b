#include <gtest/gtest.h>

#include <vector>

#include "ImageHostFixture.h"
#include "host/Worlds.h"
#include "raster/BlendModes.h"
#include "raster/PixelFormat.h"

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

template <typename Pixel>
Pixel Blend(A_long mode, Target<Pixel>& t, A_long tx, Pixel s) {
  BlendContext ctx{&t.world, tx, 0, tx + 1, 1};
  Pixel out{};
  EXPECT_EQ(AverageBlendFor<Pixel>(mode)(&ctx, 0, 0, &s, &out), PF_Err_NONE);
  return out;
}

constexpr A_long kAverageModes[] = {kPixelBlendAverage, kPixelBlendAverageAddAlpha,
                                    kPixelBlendMaxAverageAlpha};

TEST(AverageBlends, AlphaRulesOfTheThreeModes) {
  // Two half-transparent pixels, alpha a = 128/255 = 0.50196 each:
  //   average:  a + a·(1 − a) = 0.75196 → 191.75 → 191
  //   add:      2a = 1.0039 → clamped to 255
  Target<PF_Pixel8> t8({{128, 0, 0, 0}});
  EXPECT_EQ(Blend(kPixelBlendAverage, t8, 0, PF_Pixel8{128, 255, 0, 0}).alpha, 191);
  EXPECT_EQ(Blend(kPixelBlendAverageAddAlpha, t8, 0, PF_Pixel8{128, 255, 0, 0}).alpha, 255);
  EXPECT_EQ(Blend(kPixelBlendAverageAddAlpha, t8, 0, PF_Pixel8{128, 255, 0, 0}).red, 127);
  // 16-bit halves: average 0.75 → 24576, add 1.0 → 32768.
  Target<PF_Pixel16> t16({{16384, 0, 0, 0}});
  EXPECT_EQ(Blend(kPixelBlendAverage, t16, 0, PF_Pixel16{16384, 0, 0, 0}).alpha, 24576);
  EXPECT_EQ(Blend(kPixelBlendAverageAddAlpha, t16, 0, PF_Pixel16{16384, 0, 0, 0}).alpha, 32768);
  // Float 0.75 each: average 0.9375, add min(1.5, 1) = 1.
  Target<PF_PixelFloat> tf({{0.75f, 0, 0, 0}});
  EXPECT_EQ(Blend(kPixelBlendAverage, tf, 0, PF_PixelFloat{0.75f, 0, 0, 0}).alpha, 0.9375f);
  EXPECT_EQ(Blend(kPixelBlendAverageAddAlpha, tf, 0, PF_PixelFloat{0.75f, 0, 0, 0}).alpha, 1.0f);

  // Max average keeps the larger stored alpha exactly: a faint stamp (alpha 10) over an opaque
  // target keeps 255. Its red weighs 10/255 against 1: 0.03922 / 1.03922 = 0.03774 → 9.
  Target<PF_Pixel8> opaque({{255, 0, 0, 0}});
  PF_Pixel8 o = Blend(kPixelBlendMaxAverageAlpha, opaque, 0, PF_Pixel8{10, 255, 0, 0});
  EXPECT_EQ(o.alpha, 255);
  EXPECT_EQ(o.red, 9);
  Target<PF_Pixel16> faint({{3, 0, 0, 0}});
  EXPECT_EQ(Blend(kPixelBlendMaxAverageAlpha, faint, 0, PF_Pixel16{20000, 0, 0, 0}).alpha, 20000);
  Target<PF_PixelFloat> tf2({{0.3f, 0, 0, 0}});
  EXPECT_EQ(Blend(kPixelBlendMaxAverageAlpha, tf2, 0, PF_PixelFloat{0.2f, 0, 0, 0}).alpha, 0.3f);
}

TEST(AverageBlends, TransparentOrMissingTargetKeepsTheStampColour) {
  // Over a transparent target the weights reduce to the stamp's own: every colour and alpha
  // comes back unchanged (the average's alpha aS + 0 as well). Checked over all 8-bit values,
  // since (c·a) ÷ a in single precision misses by one step for some pairs.
  Target<PF_Pixel8> clear({{0, 99, 99, 99}});
  for (int a = 1; a <= 255; a += 2) {
    for (int c = 0; c <= 255; ++c) {
      const PF_Pixel8 s{(A_u_char)a, (A_u_char)c, (A_u_char)(255 - c), (A_u_char)(c / 2)};
      for (A_long mode : kAverageModes) {
        PF_Pixel8 o = Blend(mode, clear, 0, s);
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
  PF_Pixel16 o16 = Blend(kPixelBlendAverage, t16, 5, s16);
  EXPECT_EQ(o16.red, 100);
  EXPECT_EQ(o16.alpha, 12345);
  Target<PF_PixelFloat> tf({{0.0f, 0.5f, 0.5f, 0.5f}});
  PF_PixelFloat of = Blend(kPixelBlendAverage, tf, -3, PF_PixelFloat{0.0f, 0.7f, 0.1f, 0.2f});
  EXPECT_EQ(of.red, 0.7f);
  EXPECT_EQ(of.alpha, 0.0f);
  PF_Pixel8 untouched{1, 2, 3, 4};
  PF_Pixel8 s{5, 5, 5, 5};
  EXPECT_EQ(AverageBlendFor<PF_Pixel8>(kPixelBlendAverage)(nullptr, 0, 0, &s, &untouched),
            PF_Err_NONE);
  EXPECT_EQ(untouched.red, 2);
}

PF_Err g_abort_result = PF_Err_NONE;
PF_Err TestAbort(PF_ProgPtr) {
  return g_abort_result;
}

struct HostImage : test::ImageHost {
  HostImage() {
    g_abort_result = PF_Err_NONE;
    in.inter.abort = TestAbort;
    in.quality = PF_Quality_LO;
  }
  PF_Err Blend(A_long mode, PF_PixelFormat format, PF_EffectWorld& stamp, A_long side,
               PF_EffectWorld& target, PF_Rect d) {
    return ApplyCustomPixelBlend(mode, BlendSuites{{it8, it16, itf}, xform, world, fill}, &in,
                                 format, &stamp, side, &target, d);
  }
};

template <typename Pixel>
using Image = test::HandWorld<Pixel>;

void ExpectPixel(const PF_Pixel8& p, int a, int r, int g, int b) {
  EXPECT_EQ(p.alpha, a);
  EXPECT_EQ(p.red, r);
  EXPECT_EQ(p.green, g);
  EXPECT_EQ(p.blue, b);
}

TEST(ApplyCustomPixelBlend, AveragesTheStampIntoItsRectangleOnly) {
  HostImage h;
  Image<PF_Pixel8> target(4, 3, PF_Pixel8{0, 0, 0, 0});
  target.at(1, 1) = {255, 0, 0, 255};      // opaque blue
  target.at(1, 2) = {128, 0, 255, 0};      // half green
  target.at(2, 2) = {255, 255, 255, 255};  // white
  target.at(0, 1) = {9, 9, 9, 9};
  target.at(3, 1) = {9, 9, 9, 9};
  Image<PF_Pixel8> stamp(2, 2, PF_Pixel8{255, 255, 0, 0});  // opaque red
  const int live = host::LiveWorldCount();
  ASSERT_EQ(h.Blend(kPixelBlendAverage, PF_PixelFormat_ARGB32, stamp.world, 2, target.world,
                    PF_Rect{1, 1, 3, 3}),
            PF_Err_NONE);
  EXPECT_EQ(host::LiveWorldCount(), live);  // the temporary world is gone
  ExpectPixel(target.at(1, 1), 255, 127, 0, 127);
  ExpectPixel(target.at(2, 1), 255, 255, 0, 0);  // over transparent: the stamp as it is
  // Over half green (aD = 128/255): red 1 ÷ 1.50196 = 0.6658 → 169, green 0.50196 ÷ 1.50196
  // = 0.3342 → 85, alpha 1 + aD·0 → 255.
  ExpectPixel(target.at(1, 2), 255, 169, 85, 0);
  ExpectPixel(target.at(2, 2), 255, 255, 127, 127);
  ExpectPixel(target.at(0, 1), 9, 9, 9, 9);
  ExpectPixel(target.at(3, 1), 9, 9, 9, 9);
  ExpectPixel(target.at(0, 0), 0, 0, 0, 0);

  // A rectangle reaching past the target's corner writes only the part inside.
  ASSERT_EQ(h.Blend(kPixelBlendAverage, PF_PixelFormat_ARGB32, stamp.world, 2, target.world,
                    PF_Rect{3, 2, 5, 4}),
            PF_Err_NONE);
  ExpectPixel(target.at(3, 2), 255, 255, 0, 0);
  ExpectPixel(target.at(3, 1), 9, 9, 9, 9);
}

TEST(ApplyCustomPixelBlend, DeepWorldsAndTheOtherTwoModes) {
  HostImage h;
  // 16-bit, average add alpha: half red over half blue → colour halves, alpha 0.5 + 0.5 = full.
  Image<PF_Pixel16> t16(3, 3, PF_Pixel16{16384, 0, 0, 32768});
  Image<PF_Pixel16> s16(2, 2, PF_Pixel16{16384, 32768, 0, 0});
  ASSERT_EQ(h.Blend(kPixelBlendAverageAddAlpha, PF_PixelFormat_ARGB64, s16.world, 2, t16.world,
                    PF_Rect{1, 1, 3, 3}),
            PF_Err_NONE);
  EXPECT_EQ(t16.at(2, 2).alpha, 32768);
  EXPECT_EQ(t16.at(2, 2).red, 16384);
  EXPECT_EQ(t16.at(1, 1).blue, 16384);
  EXPECT_EQ(t16.at(0, 0).alpha, 16384);  // outside the rectangle
  EXPECT_EQ(t16.at(0, 0).blue, 32768);
  // Float, max average alpha: a 0.25 red stamp over opaque blue → red 0.25 ÷ 1.25 = 0.2,
  // blue 1 ÷ 1.25 = 0.8, alpha stays 1.
  Image<PF_PixelFloat> tf(2, 2, PF_PixelFloat{1.0f, 0.0f, 0.0f, 1.0f});
  Image<PF_PixelFloat> sf(2, 2, PF_PixelFloat{0.25f, 1.0f, 0.0f, 0.0f});
  ASSERT_EQ(h.Blend(kPixelBlendMaxAverageAlpha, PF_PixelFormat_ARGB128, sf.world, 2, tf.world,
                    PF_Rect{0, 0, 2, 2}),
            PF_Err_NONE);
  for (const PF_PixelFloat& p : tf.pixels) {
    EXPECT_FLOAT_EQ(p.red, 0.2f);
    EXPECT_FLOAT_EQ(p.blue, 0.8f);
    EXPECT_EQ(p.alpha, 1.0f);
  }
}

TEST(ApplyCustomPixelBlend, OnePixelStampIsBlendedOnceAndFilled) {
  HostImage h;
  // Side 1 over a 2×2 stamp world: only stamp pixel (0, 0) counts, blended with the target pixel
  // at the rectangle's corner, and the whole temporary world takes that one colour.
  Image<PF_Pixel8> target(3, 3, PF_Pixel8{0, 0, 0, 0});
  target.at(1, 1) = {255, 0, 0, 255};
  Image<PF_Pixel8> stamp(2, 2, PF_Pixel8{255, 0, 255, 0});
  stamp.at(0, 0) = {255, 255, 0, 0};
  const int iterates = h.f.calls("pf.iterate");
  ASSERT_EQ(h.Blend(kPixelBlendAverage, PF_PixelFormat_ARGB32, stamp.world, 1, target.world,
                    PF_Rect{1, 1, 3, 3}),
            PF_Err_NONE);
  EXPECT_EQ(h.f.calls("pf.iterate"), iterates);
  for (A_long y = 1; y < 3; ++y) {
    for (A_long x = 1; x < 3; ++x) ExpectPixel(target.at(x, y), 255, 127, 0, 127);
  }
  ExpectPixel(target.at(0, 0), 0, 0, 0, 0);
}

TEST(ApplyCustomPixelBlend, ErrorsStopTheSequenceAndDisposeTheWorld) {
  HostImage h;
  Image<PF_Pixel8> stamp(2, 2, PF_Pixel8{255, 255, 0, 0});
  const int live = host::LiveWorldCount();
  auto run = [&](PF_PixelFormat format = PF_PixelFormat_ARGB32) {
    Image<PF_Pixel8> target(2, 2, PF_Pixel8{255, 0, 0, 255});
    PF_Err err =
        h.Blend(kPixelBlendAverage, format, stamp.world, 2, target.world, PF_Rect{0, 0, 2, 2});
    EXPECT_EQ(host::LiveWorldCount(), live);
    return std::make_pair(err, target.at(1, 1));
  };
  // An unknown pixel format: 516, nothing written.
  auto [bad, untouched] = run(PF_PixelFormat_INVALID);
  EXPECT_EQ(bad, PF_Err_BAD_CALLBACK_PARAM);
  ExpectPixel(untouched, 255, 0, 0, 255);
  // Each failing host call is returned as it is; before the copy the target is untouched.
  for (const char* point : {"pf.PF_NewWorld", "pf.iterate", "pf.copy"}) {
    h.f.clearAll();
    h.f.failAlways(point);
    auto [err, px] = run();
    EXPECT_NE(err, PF_Err_NONE) << point;
    ExpectPixel(px, 255, 0, 0, 255);
  }
  // High quality copies with copy_hq; an abort after the copy is reported.
  h.f.clearAll();
  h.in.quality = PF_Quality_HI;
  g_abort_result = PF_Interrupt_CANCEL;
  const int hq = h.f.calls("pf.copy_hq");
  auto [aborted, blended] = run();
  EXPECT_EQ(aborted, PF_Interrupt_CANCEL);
  EXPECT_EQ(h.f.calls("pf.copy_hq"), hq + 1);
  ExpectPixel(blended, 255, 127, 0, 127);
}

}  // namespace
}  // namespace mf
