#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "ImageHostFixture.h"
#include "host/Worlds.h"
#include "raster/GridSegment.h"
#include "raster/PixelFormat.h"

namespace mf {
namespace {

PF_Err g_abort_result = PF_Err_NONE;
PF_Err TestAbort(PF_ProgPtr) {
  return g_abort_result;
}

struct HostImage : test::ImageHost {
  HostImage() {
    g_abort_result = PF_Err_NONE;
    in.inter.abort = TestAbort;
    in.quality = PF_Quality_HI;
    in.width = 40;
    in.height = 40;
    suites = GridSuites{world, fill, xform};
  }
  GridSuites suites{};
};

using Marks = std::vector<std::pair<A_long, A_long>>;

// A world whose marked pixels are those no longer transparent black.
template <typename Pixel>
struct Image : test::HandWorld<Pixel> {
  Image(A_long w, A_long h) : test::HandWorld<Pixel>(w, h) {}
  Marks Marked() {
    Marks out;
    for (A_long y = 0; y < this->world.height; ++y)
      for (A_long x = 0; x < this->world.width; ++x)
        if (this->at(x, y).alpha != 0) out.emplace_back(x, y);
    return out;
  }
};

PF_Err Line8(HostImage& h, Image<PF_Pixel8>& img, ScreenPoint16 a, ScreenPoint16 b,
             A_short thickness = 1) {
  return StampLine(&h.in, a, b, thickness, &img.world, h.suites, PF_PixelFormat_ARGB32);
}

TEST(StampLine, ShallowAndSteepSegmentsStampTheStatedPixels) {
  HostImage h;
  // Shallow (10,10)–(20,15): m = 0.5, c = 5; x = 10 … 19 (not 20) at y = trunc(0.5x + 5).
  Image<PF_Pixel8> a(40, 40);
  ASSERT_EQ(Line8(h, a, {10, 10}, {20, 15}), PF_Err_NONE);
  Marks want;
  for (A_long x = 10; x < 20; ++x) want.emplace_back(x, (A_long)(0.5 * x + 5));
  std::sort(want.begin(), want.end(), [](auto p, auto q) {
    return p.second != q.second ? p.second < q.second : p.first < q.first;
  });
  EXPECT_EQ(a.Marked(), want);
  // Shallow lines are half-transparent blue (behind transparent: the stamp's own colour).
  EXPECT_EQ(a.at(10, 10).alpha, 127);
  EXPECT_EQ(a.at(10, 10).blue, 255);
  EXPECT_EQ(a.at(10, 10).red, 0);

  // Steep (10,10)–(11,30): m = 20, c = −190; rows 10 … 29 at x = trunc((y + 190) ÷ 20) = 10.
  Image<PF_Pixel8> b(40, 40);
  ASSERT_EQ(Line8(h, b, {10, 10}, {11, 30}), PF_Err_NONE);
  want.clear();
  for (A_long y = 10; y < 30; ++y) want.emplace_back(10, y);
  EXPECT_EQ(b.Marked(), want);
  EXPECT_EQ(b.at(10, 10).alpha, 255);  // steep lines are opaque

  // Falling steep (10,30)–(11,10): m = −20, c = 230; x = trunc((230 − y) ÷ 20): 11 at row 10,
  // 10 on rows 11 … 29.
  Image<PF_Pixel8> c(40, 40);
  ASSERT_EQ(Line8(h, c, {10, 30}, {11, 10}), PF_Err_NONE);
  want.assign({{11, 10}});
  for (A_long y = 11; y < 30; ++y) want.emplace_back(10, y);
  EXPECT_EQ(c.Marked(), want);
}

TEST(StampLine, NothingForVerticalOrPointSegmentsAndOnlyOnImageStamps) {
  HostImage h;
  Image<PF_Pixel8> img(40, 40);
  const int made = h.f.calls("pf.PF_NewWorld");
  EXPECT_EQ(Line8(h, img, {5, 5}, {5, 20}), PF_Err_NONE);
  EXPECT_EQ(Line8(h, img, {5, 5}, {5, 5}), PF_Err_NONE);
  EXPECT_EQ(Line8(h, img, {5, 5}, {9, 5}, 0), PF_Err_NONE);  // no thickness
  EXPECT_TRUE(img.Marked().empty());
  EXPECT_EQ(h.f.calls("pf.PF_NewWorld"), made);
  // (−5, 39)–(5, 39): columns −5 … −1 fall off the image and make no world.
  EXPECT_EQ(Line8(h, img, {-5, 39}, {5, 39}), PF_Err_NONE);
  EXPECT_EQ(h.f.calls("pf.PF_NewWorld"), made + 5);
  EXPECT_EQ(img.Marked().size(), 5u);
  // An unknown format is refused once a stamp is due.
  EXPECT_EQ(StampLine(&h.in, {1, 1}, {3, 1}, 1, &img.world, h.suites, PF_PixelFormat_INVALID),
            PF_Err_BAD_CALLBACK_PARAM);
}

TEST(StampLine, StampsGoBehindAndCarryTheDepthsColours) {
  HostImage h;
  // Thickness 2 squares: the shallow line (0,0)–(2,0) covers columns 0 … 2 of rows 0 … 1.
  // Pixel (1,0) already holds opaque red and stays so: the grid goes behind.
  Image<PF_Pixel16> img(4, 4);
  img.at(1, 0) = {32768, 32768, 0, 0};
  ASSERT_EQ(StampLine(&h.in, {0, 0}, {2, 0}, 2, &img.world, h.suites, PF_PixelFormat_ARGB64),
            PF_Err_NONE);
  EXPECT_EQ(img.at(1, 0).red, 32768);
  EXPECT_EQ(img.at(1, 0).blue, 0);
  EXPECT_EQ(img.at(0, 1).alpha, 16384);
  EXPECT_EQ(img.at(0, 1).blue, 32768);
  EXPECT_EQ(img.at(2, 1).alpha, 16384);
  EXPECT_EQ(img.at(3, 0).alpha, 0);
  EXPECT_EQ(img.at(0, 2).alpha, 0);
  // Float: steep stamps are opaque blue.
  Image<PF_PixelFloat> f(4, 4);
  ASSERT_EQ(StampLine(&h.in, {1, 0}, {2, 3}, 1, &f.world, h.suites, PF_PixelFormat_ARGB128),
            PF_Err_NONE);
  EXPECT_EQ(f.at(1, 0).alpha, 1.0f);
  EXPECT_EQ(f.at(1, 0).blue, 1.0f);
}

TEST(StampLine, FirstErrorStopsTheLineAndEveryWorldIsDisposed) {
  HostImage h;
  const int live = host::LiveWorldCount();
  struct Case {
    const char* point;
    int nth;
  };
  for (const Case& c :
       {Case{"pf.PF_NewWorld", 3}, Case{"pf.fill", 3}, Case{"pf.transfer_rect", 3}}) {
    h.f.clearAll();
    h.f.failOnCall(c.point, c.nth);
    Image<PF_Pixel8> img(40, 40);
    const int made = h.f.calls("pf.PF_NewWorld");
    EXPECT_NE(Line8(h, img, {0, 0}, {10, 0}), PF_Err_NONE) << c.point;
    EXPECT_EQ(img.Marked().size(), 2u) << c.point;  // the two stamps before the failure
    EXPECT_EQ(h.f.calls("pf.PF_NewWorld"), made + 3) << c.point;
    EXPECT_EQ(host::LiveWorldCount(), live) << c.point;
  }
  h.f.clearAll();
  g_abort_result = PF_Interrupt_CANCEL;
  Image<PF_Pixel8> img(40, 40);
  EXPECT_EQ(Line8(h, img, {0, 0}, {10, 0}), PF_Interrupt_CANCEL);
  EXPECT_TRUE(img.Marked().empty());  // abort is polled right after the first world is made
  EXPECT_EQ(host::LiveWorldCount(), live);
}

// Camera at the origin looking down +z, no rotation: view space is world space.
Matrix4 CameraAtOrigin() {
  return IdentityMatrix4();
}

TEST(DrawGridSegment, ProjectsThroughTheCamera) {
  HostImage h;
  Image<PF_Pixel8> img(40, 40);
  const GridView view{8, 0, 0, 1, 1, 1};  // near plane at 1
  // Zoom 100 at depth 100: x and y unchanged, then + 20 (half of 40).
  // (−10, 0) → (10, 20), (10, 5) → (30, 25): m = 0.25, c = 17.5.
  Vec3 a{-10, 0, 100}, b{10, 5, 100};
  ASSERT_EQ(DrawGridSegment(&h.in, view, a, b, GridCamera{CameraAtOrigin(), false, 100.0},
                            &img.world, h.suites, PF_PixelFormat_ARGB32),
            PF_Err_NONE);
  EXPECT_EQ(img.Marked().size(), 20u);
  EXPECT_NE(img.at(10, 20).alpha, 0);
  EXPECT_NE(img.at(29, 24).alpha, 0);  // trunc(0.25 × 29 + 17.5) = 24
  EXPECT_EQ(img.at(30, 25).alpha, 0);
  EXPECT_EQ(a.z, 100.0f);  // the caller's ends now hold the view-space, projected values
  EXPECT_EQ(a.x, -10.0f);

  // Orthographic: no division by depth; downsample 2 and an origin of (5, 0):
  // x = (−10 + 20) ÷ 2 − 5 = 0 and (10 + 20) ÷ 2 − 5 = 10; y = (0 + 20) ÷ 2 = 10.
  Image<PF_Pixel8> ortho(40, 40);
  Vec3 c{-10, 0, 5}, d{10, 0, 5};
  ASSERT_EQ(DrawGridSegment(&h.in, GridView{8, 5, 0, 2, 2, 1}, c, d,
                            GridCamera{CameraAtOrigin(), true, 100.0}, &ortho.world, h.suites,
                            PF_PixelFormat_ARGB32),
            PF_Err_NONE);
  Marks want;
  for (A_long x = 0; x < 10; ++x) want.emplace_back(x, 10);
  EXPECT_EQ(ortho.Marked(), want);
}

TEST(DrawGridSegment, NearPlaneSkipsOrCuts) {
  HostImage h;
  const GridView view{8, 0, 0, 1, 1, 1};
  Image<PF_Pixel8> img(40, 40);
  const int made = h.f.calls("pf.PF_NewWorld");
  Vec3 a{-5, 0, 0.5f}, b{5, 0, 0.9f};  // both nearer than 1
  EXPECT_EQ(DrawGridSegment(&h.in, view, a, b, GridCamera{CameraAtOrigin(), false, 10.0},
                            &img.world, h.suites, PF_PixelFormat_ARGB32),
            PF_Err_NONE);
  EXPECT_EQ(h.f.calls("pf.PF_NewWorld"), made);
  // (−20, 0, 0) to (20, 0, 2): cut at z = 1, halfway, at (0, 0, 1); zoom 10 puts it at x = 20
  // and the far end at 20 × 10 ÷ 2 + 20 = 120. Uncut, the near end would divide by 0.
  Vec3 c{-20, 0, 0}, e{20, 0, 2};
  EXPECT_EQ(DrawGridSegment(&h.in, view, c, e, GridCamera{CameraAtOrigin(), false, 10.0},
                            &img.world, h.suites, PF_PixelFormat_ARGB32),
            PF_Err_NONE);
  Marks want;
  for (A_long x = 20; x < 40; ++x) want.emplace_back(x, 20);
  EXPECT_EQ(img.Marked(), want);
}

TEST(DrawGridSegment, FarEndsAreClippedNotWrappedAndNonFiniteEndsDrawNothing) {
  HostImage h;
  const GridView view{8, 0, 0, 1, 1, 1};
  // The far end lands at x = 100020, beyond 16 bits: taken modulo 2^16 it would read −31052 and
  // the line would run left from (20, 20). Clipped, it runs right to the image's edge.
  Image<PF_Pixel8> img(40, 40);
  Vec3 a{0, 0, 100}, b{100000, 0, 100};
  ASSERT_EQ(DrawGridSegment(&h.in, view, a, b, GridCamera{CameraAtOrigin(), false, 100.0},
                            &img.world, h.suites, PF_PixelFormat_ARGB32),
            PF_Err_NONE);
  Marks want;
  for (A_long x = 20; x < 40; ++x) want.emplace_back(x, 20);
  EXPECT_EQ(img.Marked(), want);
  // Both ends far out on opposite sides, with a slope of 1/100: the visible stretch is kept and
  // stays on row 20 (the line passes (20, 20)).
  Image<PF_Pixel8> across(40, 40);
  Vec3 c{-1e6f, -1e4f, 100}, d{1e6f, 1e4f, 100};
  ASSERT_EQ(DrawGridSegment(&h.in, view, c, d, GridCamera{CameraAtOrigin(), false, 100.0},
                            &across.world, h.suites, PF_PixelFormat_ARGB32),
            PF_Err_NONE);
  EXPECT_EQ(across.Marked().size(), 40u);
  EXPECT_NE(across.at(0, 19).alpha + across.at(0, 20).alpha, 0);
  EXPECT_NE(across.at(39, 20).alpha + across.at(39, 21).alpha, 0);

  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const int made = h.f.calls("pf.PF_NewWorld");
  Image<PF_Pixel8> none(40, 40);
  for (auto [p, q] : {std::pair<Vec3, Vec3>{{nan, 0, 100}, {10, 0, 100}},
                      std::pair<Vec3, Vec3>{{0, 0, 100}, {inf, 0, 100}},
                      std::pair<Vec3, Vec3>{{0, 0, nan}, {10, 0, 100}}}) {
    EXPECT_EQ(DrawGridSegment(&h.in, view, p, q, GridCamera{CameraAtOrigin(), false, 100.0},
                              &none.world, h.suites, PF_PixelFormat_ARGB32),
              PF_Err_NONE);
  }
  // A zero downsample factor puts every end at infinity.
  Vec3 p{-10, 0, 100}, q{10, 0, 100};
  EXPECT_EQ(DrawGridSegment(&h.in, GridView{8, 0, 0, 0, 1, 1}, p, q,
                            GridCamera{CameraAtOrigin(), false, 100.0}, &none.world, h.suites,
                            PF_PixelFormat_ARGB32),
            PF_Err_NONE);
  EXPECT_TRUE(none.Marked().empty());
  EXPECT_EQ(h.f.calls("pf.PF_NewWorld"), made);
}

}  // namespace
}  // namespace mf
