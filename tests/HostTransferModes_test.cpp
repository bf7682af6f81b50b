// transfer_rect of the host's world transform suite: every transfer mode the effect names, checked
// against pixels worked out by hand, in each depth.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "AE_EffectCB.h"
#include "AE_WorldSuites.h"
#include "ImageHostFixture.h"
#include "host/HostServices.h"

namespace {

using mf::test::At;
using mf::test::ImageHost;

template <typename Pixel>
constexpr PF_PixelFormat FormatFor() {
  if constexpr (sizeof(Pixel) == 4) return PF_PixelFormat_ARGB32;
  if constexpr (sizeof(Pixel) == 8) return PF_PixelFormat_ARGB64;
  return PF_PixelFormat_ARGB128;
}

struct Mode {
  PF_TransferMode xfer;
  double opacity = 1.0;
  bool rgb_only = false;
};

// One source pixel composited onto one destination pixel.
template <typename Pixel>
Pixel Composite(ImageHost& h, Pixel s, Pixel d, Mode m, PF_Err* err = nullptr) {
  PF_EffectWorld src{}, dst{};
  EXPECT_EQ(h.world->PF_NewWorld(nullptr, 1, 1, true, FormatFor<Pixel>(), &src), PF_Err_NONE);
  EXPECT_EQ(h.world->PF_NewWorld(nullptr, 1, 1, true, FormatFor<Pixel>(), &dst), PF_Err_NONE);
  At<Pixel>(src, 0, 0) = s;
  At<Pixel>(dst, 0, 0) = d;
  PF_CompositeMode mode{m.xfer, 0, (A_u_char)std::lround(m.opacity * 255), m.rgb_only,
                        (A_u_short)std::lround(m.opacity * 32768)};
  PF_Err e = h.xform->transfer_rect(nullptr, PF_Quality_HI, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME,
                                    nullptr, &src, &mode, nullptr, 0, 0, &dst);
  if (err)
    *err = e;
  else
    EXPECT_EQ(e, PF_Err_NONE);
  Pixel out = At<Pixel>(dst, 0, 0);
  h.world->PF_DisposeWorld(nullptr, &src);
  h.world->PF_DisposeWorld(nullptr, &dst);
  return out;
}

struct Unit {
  double a, r, g, b;
};

PF_PixelFloat ToFloat(Unit u) {
  return {(float)u.a, (float)u.r, (float)u.g, (float)u.b};
}
PF_Pixel16 To16(Unit u) {
  auto c = [](double v) { return (A_u_short)std::lround(std::clamp(v, 0.0, 1.0) * 32768); };
  return {c(u.a), c(u.r), c(u.g), c(u.b)};
}

struct Case {
  const char* what;
  Mode mode;
  Unit src, dst, expect;
};

// Inputs are multiples of ¼, exact in 16-bit and float. Hand arithmetic per case; as = source
// alpha × opacity, ab = destination alpha, ao = as + ab(1 − as), Cm = (1 − ab)Cs + ab·B(Cb, Cs),
// Co = (as·Cm + (1 − as)·ab·Cb) ÷ ao.
const Unit kCs{1, 0.75, 0.25, 0.5};
const Unit kCb{1, 0.5, 0.5, 0.25};
const Case kCases[] = {
    // Both opaque: the result is B(Cb, Cs) itself.
    {"normal", {PF_Xfer_IN_FRONT}, kCs, kCb, {1, 0.75, 0.25, 0.5}},
    {"darken: min", {PF_Xfer_DARKEN}, kCs, kCb, {1, 0.5, 0.25, 0.25}},
    {"lighten: max", {PF_Xfer_LIGHTEN}, kCs, kCb, {1, 0.75, 0.5, 0.5}},
    {"multiply: .5×.75, .5×.25, .25×.5", {PF_Xfer_MULTIPLY}, kCs, kCb, {1, 0.375, 0.125, 0.125}},
    // .5 + .75 − .375 = .875; .5 + .25 − .125 = .625; .25 + .5 − .125 = .625
    {"screen", {PF_Xfer_SCREEN}, kCs, kCb, {1, 0.875, 0.625, 0.625}},
    {"difference", {PF_Xfer_DIFFERENCE}, kCs, kCb, {1, 0.25, 0.25, 0.25}},
    // Lum(Cb) = .3×.5 + .59×.5 + .11×.25 = .4725; Lum(Cs) = .225 + .1475 + .055 = .4275.
    // colour: Cs + (.4725 − .4275) = (.795, .295, .545), in gamut.
    {"colour", {PF_Xfer_COLOR}, kCs, kCb, {1, 0.795, 0.295, 0.545}},
    // luminosity: Cb − .045 = (.455, .455, .205).
    {"luminosity", {PF_Xfer_LUMINOSITY}, kCs, kCb, {1, 0.455, 0.455, 0.205}},
    // Colour of red onto mid grey: (1,0,0) + .2 = (1.2, .2, .2), luma .5; ClipColor scales toward
    // the luma by (1 − .5)/(1.2 − .5) = 5/7: red 1, green/blue .5 − .3×5/7 = .285714.
    {"colour clipped", {PF_Xfer_COLOR}, {1, 1, 0, 0}, {1, 0.5, 0.5, 0.5}, {1, 1, 2.0 / 7, 2.0 / 7}},
    {"copy", {PF_Xfer_COPY}, {0.5, 0.75, 0.25, 0.5}, kCb, {0.5, 0.75, 0.25, 0.5}},
    // Half over half, normal: ao = .5 + .5×.5 = .75; red .5×1/.75 = 2/3; blue .25×1/.75 = 1/3.
    {"normal, both half",
     {PF_Xfer_IN_FRONT},
     {0.5, 1, 0, 0},
     {0.5, 0, 0, 1},
     {0.75, 2.0 / 3, 0, 1.0 / 3}},
    // Opaque source on a half-covered backdrop: B = (.5, .5, 0); Cm = .5·Cs + .5·B = (.5, .75, 0).
    {"multiply, backdrop half",
     {PF_Xfer_MULTIPLY},
     {1, 0.5, 1, 0},
     {0.5, 1, 0.5, 0.5},
     {1, 0.5, 0.75, 0}},
    // Opacity ½: as = .5, ao = 1, Co = .5·1 + .5·0.
    {"normal, opacity half",
     {PF_Xfer_IN_FRONT, 0.5},
     {1, 1, 1, 1},
     {1, 0, 0, 0},
     {1, 0.5, 0.5, 0.5}},
    // Straight alpha onto nothing keeps its colour: ao = as, Co = as·Cs/as.
    {"normal onto clear",
     {PF_Xfer_IN_FRONT},
     {0.25, 0.75, 0.5, 0.25},
     {0, 0, 0, 0},
     {0.25, 0.75, 0.5, 0.25}},
    // Behind: ao = .25 + 1×.75 = 1; Co = .25·Cb + .75·Cs = (.75, 0, .25).
    {"behind", {PF_Xfer_BEHIND}, {1, 1, 0, 0}, {0.25, 0, 0, 1}, {1, 0.75, 0, 0.25}},
    {"behind an opaque pixel", {PF_Xfer_BEHIND}, kCs, kCb, kCb},
    // Alpha add: ao = .25 + .5 = .75; Co = (.25·(1,0,0) + .5·(0,0,1)) / .75 = (1/3, 0, 2/3).
    {"alpha add",
     {PF_Xfer_ALPHA_ADD},
     {0.25, 1, 0, 0},
     {0.5, 0, 0, 1},
     {0.75, 1.0 / 3, 0, 2.0 / 3}},
    {"alpha add joins halves", {PF_Xfer_ALPHA_ADD}, {0.5, 1, 0, 0}, {0.5, 1, 0, 0}, {1, 1, 0, 0}},
    // Alpha matte: ab × As = 1 × .25; at opacity ½: 1 × (1 − .5 × .75) = .625. Colour kept.
    {"alpha matte",
     {PF_Xfer_MULTIPLY_ALPHA},
     {0.25, 1, 1, 1},
     {1, 0.5, 0.25, 0},
     {0.25, 0.5, 0.25, 0}},
    {"alpha matte, opacity half",
     {PF_Xfer_MULTIPLY_ALPHA, 0.5},
     {0.25, 1, 1, 1},
     {1, 0.5, 0.25, 0},
     {0.625, 0.5, 0.25, 0}},
    // Luma matte: Lum(1, 1, 0) = .89, × As .5 = .445, × ab .5 = .2225.
    {"luma matte",
     {PF_Xfer_MULTIPLY_ALPHA_LUMA},
     {0.5, 1, 1, 0},
     {0.5, 0.25, 0.5, 0.75},
     {0.2225, 0.25, 0.5, 0.75}},
    // rgb_only: the colour of an opaque normal composite, the backdrop's alpha .25 kept.
    {"rgb only", {PF_Xfer_IN_FRONT, 1.0, true}, {1, 1, 0, 0}, {0.25, 0, 0, 1}, {0.25, 1, 0, 0}},
    // Nothing changes at opacity 0.
    {"screen, opacity 0",
     {PF_Xfer_SCREEN, 0.0},
     kCs,
     {0.5, 0.25, 0.5, 0.75},
     {0.5, 0.25, 0.5, 0.75}},
};

TEST(HostTransferModes, DeepWorldsMatchHandComputedComposites) {
  ImageHost h;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const PF_PixelFloat f = Composite(h, ToFloat(c.src), ToFloat(c.dst), c.mode);
    EXPECT_NEAR(f.alpha, c.expect.a, 1e-6);
    EXPECT_NEAR(f.red, c.expect.r, 1e-6);
    EXPECT_NEAR(f.green, c.expect.g, 1e-6);
    EXPECT_NEAR(f.blue, c.expect.b, 1e-6);
    // 16-bit rounds to nearest (e.g. .795 × 32768 = 26050.56 → 26051).
    const PF_Pixel16 s = Composite(h, To16(c.src), To16(c.dst), c.mode);
    const PF_Pixel16 e = To16(c.expect);
    EXPECT_EQ(s.alpha, e.alpha);
    EXPECT_EQ(s.red, e.red);
    EXPECT_EQ(s.green, e.green);
    EXPECT_EQ(s.blue, e.blue);
  }
}

TEST(HostTransferModes, AddSaturatesInIntegerDepthsOnly) {
  ImageHost h;
  // B = Cb + Cs = (1.25, .75, .75): float keeps the over-range red, 16-bit stops at 32768.
  const PF_PixelFloat f = Composite(h, ToFloat(kCs), ToFloat(kCb), {PF_Xfer_ADD});
  EXPECT_NEAR(f.red, 1.25, 1e-6);
  EXPECT_NEAR(f.green, 0.75, 1e-6);
  const PF_Pixel16 s = Composite(h, To16(kCs), To16(kCb), {PF_Xfer_ADD});
  EXPECT_EQ(s.red, 32768);
  EXPECT_EQ(s.green, 24576);
  // Half opacity, 16-bit: B is clamped before mixing: .5 × 1 + .5 × .5 = .75 (not .875).
  const PF_Pixel16 half = Composite(h, To16(kCs), To16(kCb), {PF_Xfer_ADD, 0.5});
  EXPECT_EQ(half.red, 24576);
  // Float keeps it: .5 × 1.25 + .5 × .5 = .875.
  const PF_PixelFloat fh = Composite(h, ToFloat(kCs), ToFloat(kCb), {PF_Xfer_ADD, 0.5});
  EXPECT_NEAR(fh.red, 0.875, 1e-6);
}

TEST(HostTransferModes, EightBitMatchesHandComputedComposites) {
  ImageHost h;
  auto px = [](int a, int r, int g, int b) {
    return PF_Pixel8{(A_u_char)a, (A_u_char)r, (A_u_char)g, (A_u_char)b};
  };
  auto expect = [](PF_Pixel8 p, int a, int r, int g, int b) {
    EXPECT_EQ(p.alpha, a);
    EXPECT_EQ(p.red, r);
    EXPECT_EQ(p.green, g);
    EXPECT_EQ(p.blue, b);
  };
  // Opacity 128: as = 128/255; red 200 × 128/255 = 100.39 → 100; green 100 either way;
  // blue 200 × 127/255 = 99.61 → 100.
  expect(Composite(h, px(255, 200, 100, 0), px(255, 0, 100, 200), {PF_Xfer_IN_FRONT, 128 / 255.0}),
         255, 100, 100, 100);
  // An opaque normal composite is the source exactly.
  expect(Composite(h, px(255, 201, 3, 77), px(255, 9, 9, 9), {PF_Xfer_IN_FRONT}), 255, 201, 3, 77);
  expect(Composite(h, px(128, 200, 0, 0), px(0, 0, 0, 0), {PF_Xfer_IN_FRONT}), 128, 200, 0, 0);
  // Multiply: 255×100/255 = 100; 128 × 200 / 255 = 100.39 → 100; 0.
  expect(Composite(h, px(255, 255, 128, 0), px(255, 100, 200, 50), {PF_Xfer_MULTIPLY}), 255, 100,
         100, 0);
  // Screen: blue .2 + .4 − .08 = .52 → 132.6 → 133.
  expect(Composite(h, px(255, 255, 0, 51), px(255, 0, 0, 102), {PF_Xfer_SCREEN}), 255, 255, 0, 133);
  expect(Composite(h, px(255, 200, 100, 0), px(255, 100, 100, 0), {PF_Xfer_ADD}), 255, 255, 200, 0);
  expect(Composite(h, px(255, 50, 200, 0), px(255, 100, 100, 0), {PF_Xfer_DIFFERENCE}), 255, 50,
         100, 0);
  expect(Composite(h, px(255, 50, 200, 0), px(255, 100, 100, 9), {PF_Xfer_DARKEN}), 255, 50, 100,
         0);
  expect(Composite(h, px(255, 50, 200, 0), px(255, 100, 100, 9), {PF_Xfer_LIGHTEN}), 255, 100, 200,
         9);
  // Colour of red onto grey 128: luma l = 128/255 = .50196; (1.20196, .20196, .20196) clipped by
  // (1 − l)/(1.20196 − l) = .711486: green l − .3 × .711486 = .288515 → 73.57 → 74.
  expect(Composite(h, px(255, 255, 0, 0), px(255, 128, 128, 128), {PF_Xfer_COLOR}), 255, 255, 74,
         74);
  // Luminosity of pure green (luma .59) onto grey: grey .59 → 150.45 → 150.
  expect(Composite(h, px(255, 0, 255, 0), px(255, 128, 128, 128), {PF_Xfer_LUMINOSITY}), 255, 150,
         150, 150);
  // Behind an empty pixel the source shows; behind an opaque one nothing changes.
  expect(Composite(h, px(255, 255, 0, 0), px(0, 0, 0, 0), {PF_Xfer_BEHIND}), 255, 255, 0, 0);
  expect(Composite(h, px(255, 255, 0, 0), px(255, 1, 2, 3), {PF_Xfer_BEHIND}), 255, 1, 2, 3);
  expect(Composite(h, px(128, 255, 0, 0), px(127, 255, 0, 0), {PF_Xfer_ALPHA_ADD}), 255, 255, 0, 0);
  expect(Composite(h, px(51, 0, 0, 0), px(255, 10, 20, 30), {PF_Xfer_MULTIPLY_ALPHA}), 51, 10, 20,
         30);
  // Luma matte with grey 51 (.2): alpha 255 × .2 = 51.
  expect(Composite(h, px(255, 51, 51, 51), px(255, 10, 20, 30), {PF_Xfer_MULTIPLY_ALPHA_LUMA}), 51,
         10, 20, 30);
  expect(Composite(h, px(255, 0, 0, 0), px(255, 10, 20, 30), {PF_Xfer_MULTIPLY_ALPHA_LUMA}), 0, 10,
         20, 30);
}

TEST(HostTransferModes, PlacementIsClippedAndBadCallsRefused) {
  ImageHost h;
  PF_EffectWorld src{}, dst{};
  ASSERT_EQ(h.world->PF_NewWorld(nullptr, 2, 2, true, PF_PixelFormat_ARGB32, &src), PF_Err_NONE);
  ASSERT_EQ(h.world->PF_NewWorld(nullptr, 3, 3, true, PF_PixelFormat_ARGB32, &dst), PF_Err_NONE);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x)
      At<PF_Pixel8>(src, x, y) = {255, (A_u_char)(10 + x), (A_u_char)(20 + y), 0};
  PF_CompositeMode copy{PF_Xfer_IN_FRONT, 0, 255, false, 32768};
  // The 2×2 source at (2, −1): only source (0, 1) lands, on (2, 0).
  ASSERT_EQ(h.xform->transfer_rect(nullptr, PF_Quality_LO, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME,
                                   nullptr, &src, &copy, nullptr, 2, -1, &dst),
            PF_Err_NONE);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) {
      const PF_Pixel8 p = At<PF_Pixel8>(dst, x, y);
      if (x == 2 && y == 0) {
        EXPECT_EQ(p.red, 10);
        EXPECT_EQ(p.green, 21);
      } else {
        EXPECT_EQ(p.alpha, 0) << x << "," << y;
      }
    }
  // A source rectangle reaching outside the source: (1, 1)-(5, 5) placed at (0, 0) puts source
  // (1, 1) on (0, 0) and nothing else.
  PF_EffectWorld dst2{};
  ASSERT_EQ(h.world->PF_NewWorld(nullptr, 3, 3, true, PF_PixelFormat_ARGB32, &dst2), PF_Err_NONE);
  const PF_Rect part{1, 1, 5, 5};
  ASSERT_EQ(h.xform->transfer_rect(nullptr, PF_Quality_LO, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME,
                                   &part, &src, &copy, nullptr, 0, 0, &dst2),
            PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel8>(dst2, 0, 0).red, 11);
  EXPECT_EQ(At<PF_Pixel8>(dst2, 1, 0).alpha, 0);
  EXPECT_EQ(At<PF_Pixel8>(dst2, 0, 1).alpha, 0);

  // Placements far outside the destination write nothing and do not wrap around.
  const PF_Rect far_rect{INT32_MAX - 1, 0, INT32_MAX, 1};
  for (auto [x, y] : {std::pair{INT32_MAX, 0}, std::pair{INT32_MIN, INT32_MIN}}) {
    EXPECT_EQ(h.xform->transfer_rect(nullptr, PF_Quality_LO, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME,
                                     nullptr, &src, &copy, nullptr, x, y, &dst2),
              PF_Err_NONE);
    EXPECT_EQ(h.xform->transfer_rect(nullptr, PF_Quality_LO, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME,
                                     &far_rect, &src, &copy, nullptr, x, y, &dst2),
              PF_Err_NONE);
  }
  EXPECT_EQ(At<PF_Pixel8>(dst2, 1, 1).alpha, 0);
  EXPECT_EQ(At<PF_Pixel8>(dst2, 0, 0).red, 11);

  PF_EffectWorld deep{};
  ASSERT_EQ(h.world->PF_NewWorld(nullptr, 3, 3, true, PF_PixelFormat_ARGB64, &deep), PF_Err_NONE);
  PF_CompositeMode dissolve{PF_Xfer_DISSOLVE, 0, 255, false, 32768};
  auto transfer = [&](const PF_CompositeMode* m, PF_EffectWorld* s, PF_EffectWorld* d) {
    return h.xform->transfer_rect(nullptr, PF_Quality_LO, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME,
                                  nullptr, s, m, nullptr, 0, 0, d);
  };
  EXPECT_EQ(transfer(&copy, &src, &deep), PF_Err_BAD_CALLBACK_PARAM);  // depths differ
  EXPECT_EQ(transfer(&dissolve, &src, &dst), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(transfer(nullptr, &src, &dst), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(transfer(&copy, nullptr, &dst), PF_Err_BAD_CALLBACK_PARAM);
  h.f.failOnCall("pf.transfer_rect", 1);
  EXPECT_NE(transfer(&copy, &src, &dst2), PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel8>(dst2, 1, 1).alpha, 0);  // nothing written
  EXPECT_EQ(transfer(&copy, &src, &dst2), PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel8>(dst2, 1, 1).red, 11);
  for (PF_EffectWorld* w : {&src, &dst, &dst2, &deep}) h.world->PF_DisposeWorld(nullptr, w);
}

TEST(HostTransferModes, PremultipliedColourAndMasksAreHonoured) {
  ImageHost h;
  PF_EffectWorld src{}, dst{}, matte{};
  ASSERT_EQ(h.world->PF_NewWorld(nullptr, 2, 1, true, PF_PixelFormat_ARGB128, &src), PF_Err_NONE);
  ASSERT_EQ(h.world->PF_NewWorld(nullptr, 2, 1, true, PF_PixelFormat_ARGB128, &dst), PF_Err_NONE);
  ASSERT_EQ(h.world->PF_NewWorld(nullptr, 1, 1, true, PF_PixelFormat_ARGB128, &matte), PF_Err_NONE);
  // Premultiplied: source (.5, .5 premultiplied = red 1 straight) over opaque black:
  // straight Co = .5 × 1 + .5 × 0 = .5, ao = 1, premultiplied again .5.
  At<PF_PixelFloat>(src, 0, 0) = {0.5f, 0.5f, 0, 0};
  At<PF_PixelFloat>(src, 1, 0) = {0.5f, 0.5f, 0, 0};
  At<PF_PixelFloat>(dst, 0, 0) = {1, 0, 0, 0};
  At<PF_PixelFloat>(dst, 1, 0) = {1, 0, 0, 0};
  PF_CompositeMode normal{PF_Xfer_IN_FRONT, 0, 255, false, 32768};
  const PF_Rect first{0, 0, 1, 1};
  ASSERT_EQ(h.xform->transfer_rect(nullptr, PF_Quality_HI, PF_MF_Alpha_PREMUL, PF_Field_FRAME,
                                   &first, &src, &normal, nullptr, 0, 0, &dst),
            PF_Err_NONE);
  EXPECT_NEAR(At<PF_PixelFloat>(dst, 0, 0).alpha, 1.0, 1e-6);
  EXPECT_NEAR(At<PF_PixelFloat>(dst, 0, 0).red, 0.5, 1e-6);
  // Straight, with a one-pixel mask of alpha .5 at destination (1, 0): pixel 1 takes
  // as = .5 × .5 = .25 of straight red 0.5: Co = .25 × .5 = .125; pixel 0 lies outside the
  // mask (alpha 0) and keeps its .5.
  At<PF_PixelFloat>(matte, 0, 0) = {0.5f, 0, 0, 0};
  PF_MaskWorld mask{};
  mask.mask = matte;
  mask.offset = PF_Point{1, 0};
  ASSERT_EQ(h.xform->transfer_rect(nullptr, PF_Quality_HI, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME,
                                   nullptr, &src, &normal, &mask, 0, 0, &dst),
            PF_Err_NONE);
  EXPECT_NEAR(At<PF_PixelFloat>(dst, 0, 0).red, 0.5, 1e-6);
  EXPECT_NEAR(At<PF_PixelFloat>(dst, 1, 0).red, 0.125, 1e-6);
  for (PF_EffectWorld* w : {&src, &dst, &matte}) h.world->PF_DisposeWorld(nullptr, w);
}

}  // namespace
