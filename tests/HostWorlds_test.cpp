// The host's worlds, fills and scaled copies, reached through the suites the effect acquires.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "AE_EffectCB.h"
#include "AE_WorldSuites.h"
#include "ImageHostFixture.h"
#include "host/HostServices.h"
#include "host/Worlds.h"

namespace {

using mf::test::At;
using mf::test::ImageHost;

bool Same(const PF_Pixel8& a, const PF_Pixel8& b) {
  return std::memcmp(&a, &b, 4) == 0;
}

TEST(HostWorlds, NewWorldOfEachDepthIsClearRemembersItsFormatAndDisposes) {
  ImageHost h;
  const int live = mf::host::LiveWorldCount();
  const struct {
    PF_PixelFormat format;
    int bytes;
  } depths[] = {
      {PF_PixelFormat_ARGB32, 4}, {PF_PixelFormat_ARGB64, 8}, {PF_PixelFormat_ARGB128, 16}};
  for (const auto& d : depths) {
    PF_EffectWorld w{};
    ASSERT_EQ(h.world->PF_NewWorld(nullptr, 3, 2, true, d.format, &w), PF_Err_NONE);
    EXPECT_EQ(w.width, 3);
    EXPECT_EQ(w.height, 2);
    // Rows are padded to 16 bytes: 3 × 4 = 12 → 16, 3 × 8 = 24 → 32, 3 × 16 = 48.
    EXPECT_EQ(w.rowbytes, (3 * d.bytes + 15) / 16 * 16);
    for (int y = 0; y < 2; ++y) {
      const char* row = reinterpret_cast<const char*>(w.data) + y * w.rowbytes;
      for (int i = 0; i < 3 * d.bytes; ++i) EXPECT_EQ(row[i], 0);
    }
    PF_PixelFormat got = 0;
    EXPECT_EQ(h.world->PF_GetPixelFormat(&w, &got), PF_Err_NONE);
    EXPECT_EQ(got, d.format);
    EXPECT_EQ(mf::host::LiveWorldCount(), live + 1);
    EXPECT_EQ(h.world->PF_DisposeWorld(nullptr, &w), PF_Err_NONE);
    EXPECT_EQ(mf::host::LiveWorldCount(), live);
  }
  // A world the host core makes for a layer answers the same way.
  PF_EffectWorld layer{};
  ASSERT_EQ(mf::host::MakeWorld(1920, 1080, PF_PixelFormat_ARGB128, false, &layer), PF_Err_NONE);
  PF_PixelFormat got = 0;
  EXPECT_EQ(h.world->PF_GetPixelFormat(&layer, &got), PF_Err_NONE);
  EXPECT_EQ(got, PF_PixelFormat_ARGB128);
  EXPECT_EQ(mf::host::FreeWorld(&layer), PF_Err_NONE);
}

TEST(HostWorlds, BadArgumentsAreRefusedNotFollowed) {
  ImageHost h;
  const int live = mf::host::LiveWorldCount();
  PF_EffectWorld w{};
  EXPECT_EQ(h.world->PF_NewWorld(nullptr, 2, 2, true, PF_PixelFormat_ARGB32, nullptr),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(h.world->PF_NewWorld(nullptr, -1, 2, true, PF_PixelFormat_ARGB32, &w),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(h.world->PF_NewWorld(nullptr, 2, 2, true, PF_PixelFormat_INVALID, &w),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(w.data, nullptr);
  PF_PixelFormat got = 0;
  EXPECT_EQ(h.world->PF_GetPixelFormat(nullptr, &got), PF_Err_BAD_CALLBACK_PARAM);
  PF_EffectWorld stranger{};  // carries no format
  EXPECT_EQ(h.world->PF_GetPixelFormat(&stranger, &got), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(got, PF_PixelFormat_INVALID);
  EXPECT_EQ(h.world->PF_DisposeWorld(nullptr, &stranger), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(h.world->PF_DisposeWorld(nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);

  // Disposing twice, even through a copy of the record, is refused.
  w = h.Make(2, 2, PF_PixelFormat_ARGB32);
  PF_EffectWorld copy = w;
  EXPECT_EQ(h.world->PF_DisposeWorld(nullptr, &w), PF_Err_NONE);
  EXPECT_EQ(h.world->PF_DisposeWorld(nullptr, &w), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(h.world->PF_DisposeWorld(nullptr, &copy), PF_Err_BAD_CALLBACK_PARAM);
  // A large (unpooled) world too.
  w = h.Make(300, 300, PF_PixelFormat_ARGB128);
  copy = w;
  EXPECT_EQ(h.world->PF_DisposeWorld(nullptr, &w), PF_Err_NONE);
  EXPECT_EQ(h.world->PF_DisposeWorld(nullptr, &copy), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(mf::host::LiveWorldCount(), live);

  // Fills and copies on a null world, or a world with no pixels, are refused.
  EXPECT_EQ(h.fill->fill(nullptr, nullptr, nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
  PF_EffectWorld hollow{};
  mf::host::DescribeWorld(nullptr, 16, 2, 2, PF_PixelFormat_ARGB32, &hollow);
  EXPECT_EQ(h.fill->fill(nullptr, nullptr, nullptr, &hollow), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(h.xform->copy(nullptr, nullptr, &hollow, nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
}

TEST(HostWorlds, PoolServesSmallWorldsFromDisposedBuffers) {
  ImageHost h;
  // 2×2 8-bit (32 bytes) and 3×3 16-bit (3 rows of 32 bytes) share the smallest size class.
  PF_EffectWorld a = h.Make(2, 2, PF_PixelFormat_ARGB32);
  PF_Pixel8 red{255, 255, 0, 0};
  ASSERT_EQ(h.fill->fill(nullptr, &red, nullptr, &a), PF_Err_NONE);
  void* buffer = a.data;
  ASSERT_EQ(h.world->PF_DisposeWorld(nullptr, &a), PF_Err_NONE);

  const auto before = mf::host::PoolStats();
  PF_EffectWorld b = h.Make(3, 3, PF_PixelFormat_ARGB64);
  EXPECT_EQ(b.data, buffer);
  // Reused and asked clear: the red from before is gone.
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(At<PF_Pixel16>(b, x, y).alpha, 0);
  ASSERT_EQ(h.world->PF_DisposeWorld(nullptr, &b), PF_Err_NONE);

  // A world per point: no new buffers however many points.
  for (int i = 0; i < 5000; ++i) {
    PF_EffectWorld stamp{}, aa{};
    ASSERT_EQ(
        h.world->PF_NewWorld(nullptr, 1 + i % 7, 1 + i % 7, true, PF_PixelFormat_ARGB128, &stamp),
        PF_Err_NONE);
    ASSERT_EQ(
        h.world->PF_NewWorld(nullptr, 2 + i % 7, 2 + i % 7, true, PF_PixelFormat_ARGB128, &aa),
        PF_Err_NONE);
    ASSERT_EQ(h.world->PF_DisposeWorld(nullptr, &aa), PF_Err_NONE);
    ASSERT_EQ(h.world->PF_DisposeWorld(nullptr, &stamp), PF_Err_NONE);
  }
  const auto warm = mf::host::PoolStats();
  for (int i = 0; i < 5000; ++i) {
    PF_EffectWorld stamp = h.Make(1 + i % 7, 1 + i % 7, PF_PixelFormat_ARGB128);
    PF_EffectWorld aa = h.Make(2 + i % 7, 2 + i % 7, PF_PixelFormat_ARGB128);
    h.world->PF_DisposeWorld(nullptr, &aa);
    h.world->PF_DisposeWorld(nullptr, &stamp);
  }
  EXPECT_EQ(mf::host::PoolStats().heap_allocations, warm.heap_allocations);
  EXPECT_GT(mf::host::PoolStats().pool_reuses, before.pool_reuses + 10000);

  // Large worlds are not pooled: each takes a buffer of its own.
  const auto large = mf::host::PoolStats().heap_allocations;
  PF_EffectWorld canvas = h.Make(400, 300, PF_PixelFormat_ARGB128);
  const PF_PixelFloat white{1.0f, 1.0f, 1.0f, 1.0f};
  ASSERT_EQ(h.fill->fill_float(nullptr, &white, nullptr, &canvas), PF_Err_NONE);
  void* pixels = canvas.data;
  h.world->PF_DisposeWorld(nullptr, &canvas);
  EXPECT_EQ(mf::host::PoolStats().heap_allocations, large + 1);
  // Kept for the next frame's world of its size, and cleared when that world asks for it, from
  // the first byte to the last whatever pages the buffer spans.
  canvas = h.Make(400, 300, PF_PixelFormat_ARGB128);
  EXPECT_EQ(canvas.data, pixels);
  int written = 0;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x) written += At<PF_PixelFloat>(canvas, x, y).alpha != 0.0f;
  EXPECT_EQ(written, 0);
  h.world->PF_DisposeWorld(nullptr, &canvas);
}

// Each thread keeps small buffers of its own; a world may still be disposed of on another
// thread, is disposed of once, and every thread's worlds, ended or not, stay in the counts.
TEST(HostWorlds, SmallWorldsCrossThreadsAndStayCounted) {
  using mf::host::FreeWorld;
  using mf::host::MakeWorld;
  const int live = mf::host::LiveWorldCount();
  PF_EffectWorld made{}, kept{};
  ASSERT_EQ(MakeWorld(1, 1, PF_PixelFormat_ARGB128, true, &made), PF_Err_NONE);
  const PF_EffectWorld stale = made;
  std::thread([&] {
    EXPECT_EQ(FreeWorld(&made), PF_Err_NONE);
    PF_EffectWorld again = stale;
    EXPECT_EQ(FreeWorld(&again), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(MakeWorld(1, 1, PF_PixelFormat_ARGB128, true, &kept), PF_Err_NONE);
  }).join();
  EXPECT_EQ(mf::host::LiveWorldCount(), live + 1);

  // Two threads at once never hold the same buffer.
  auto churn = [](float mark, int* clashes) {
    for (int i = 0; i < 20000; ++i) {
      PF_EffectWorld w{};
      if (MakeWorld(1, 1, PF_PixelFormat_ARGB128, false, &w) != PF_Err_NONE) return;
      auto* px = reinterpret_cast<PF_PixelFloat*>(w.data);
      px->alpha = mark;
      std::this_thread::yield();
      *clashes += px->alpha != mark;
      FreeWorld(&w);
    }
  };
  int clashes[2] = {0, 0};
  std::thread a(churn, 1.0f, &clashes[0]), b(churn, 2.0f, &clashes[1]);
  a.join();
  b.join();
  EXPECT_EQ(clashes[0] + clashes[1], 0);
  EXPECT_EQ(FreeWorld(&kept), PF_Err_NONE);
  EXPECT_EQ(mf::host::LiveWorldCount(), live);
}

TEST(HostWorlds, InjectedFailuresLeaveNothingBehind) {
  ImageHost h;
  const int live = mf::host::LiveWorldCount();
  h.f.failOnCall("pf.PF_NewWorld", 1);
  PF_EffectWorld w{};
  w.data = reinterpret_cast<PF_PixelPtr>(&w);  // stale contents must not survive
  EXPECT_EQ(h.world->PF_NewWorld(nullptr, 2, 2, true, PF_PixelFormat_ARGB32, &w),
            PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(w.data, nullptr);
  EXPECT_EQ(mf::host::LiveWorldCount(), live);
  w = h.Make(2, 2, PF_PixelFormat_ARGB32);  // the second call succeeds

  h.f.failAlways("pf.fill");
  PF_Pixel8 white{255, 255, 255, 255};
  EXPECT_NE(h.fill->fill(nullptr, &white, nullptr, &w), PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel8>(w, 0, 0).alpha, 0);
  h.f.failAlways("pf.copy");
  h.f.failAlways("pf.copy_hq");
  h.f.failAlways("utils.copy");
  h.f.failAlways("utils.fill");
  EXPECT_NE(h.xform->copy(nullptr, &w, &w, nullptr, nullptr), PF_Err_NONE);
  EXPECT_NE(h.xform->copy_hq(nullptr, &w, &w, nullptr, nullptr), PF_Err_NONE);
  EXPECT_NE(h.u.copy(nullptr, &w, &w, nullptr, nullptr), PF_Err_NONE);
  EXPECT_NE(h.u.fill(nullptr, &white, nullptr, &w), PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel8>(w, 1, 1).alpha, 0);

  h.f.failOnCall("pf.PF_DisposeWorld", 1);
  EXPECT_NE(h.world->PF_DisposeWorld(nullptr, &w), PF_Err_NONE);
  EXPECT_EQ(mf::host::LiveWorldCount(), live + 1);  // a refused disposal keeps the world
  EXPECT_EQ(h.world->PF_DisposeWorld(nullptr, &w), PF_Err_NONE);
  EXPECT_EQ(mf::host::LiveWorldCount(), live);

  h.f.failOnCall("utils.new_world", 1);
  EXPECT_EQ(h.u.new_world(nullptr, 2, 2, PF_NewWorldFlag_CLEAR_PIXELS, &w), PF_Err_OUT_OF_MEMORY);
  ASSERT_EQ(h.u.new_world(nullptr, 2, 2, PF_NewWorldFlag_DEEP_PIXELS, &w), PF_Err_NONE);
  PF_PixelFormat got = 0;
  EXPECT_EQ(h.world->PF_GetPixelFormat(&w, &got), PF_Err_NONE);
  EXPECT_EQ(got, PF_PixelFormat_ARGB64);
  EXPECT_EQ(h.u.dispose_world(nullptr, &w), PF_Err_NONE);
  EXPECT_EQ(mf::host::LiveWorldCount(), live);
}

TEST(HostWorlds, FillIsClippedHalfOpenAndConvertsItsColour) {
  ImageHost h;
  PF_EffectWorld w = h.Make(4, 4, PF_PixelFormat_ARGB32);
  // Rectangle (-1, 2)-(2, 10) clipped to the world is columns 0–1 of rows 2–3.
  const PF_LRect r{-1, 2, 2, 10};
  const PF_Pixel8 c{255, 10, 20, 30};
  ASSERT_EQ(h.fill->fill(nullptr, &c, &r, &w), PF_Err_NONE);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_TRUE(Same(At<PF_Pixel8>(w, x, y), (x < 2 && y >= 2) ? c : PF_Pixel8{0, 0, 0, 0}))
          << x << "," << y;
  // An empty or inverted rectangle writes nothing; a rectangle wholly outside neither.
  const PF_LRect empty{3, 3, 3, 4}, inverted{3, 3, 1, 1}, outside{10, 10, 20, 20};
  const PF_Pixel8 x{1, 2, 3, 4};
  EXPECT_EQ(h.fill->fill(nullptr, &x, &empty, &w), PF_Err_NONE);
  EXPECT_EQ(h.fill->fill(nullptr, &x, &inverted, &w), PF_Err_NONE);
  EXPECT_EQ(h.fill->fill(nullptr, &x, &outside, &w), PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel8>(w, 3, 3).alpha, 0);
  // Null rectangle: the whole world; null colour: transparent black.
  ASSERT_EQ(h.u.fill(nullptr, &c, nullptr, &w), PF_Err_NONE);
  EXPECT_TRUE(Same(At<PF_Pixel8>(w, 3, 0), c));
  ASSERT_EQ(h.fill->fill(nullptr, nullptr, nullptr, &w), PF_Err_NONE);
  EXPECT_TRUE(Same(At<PF_Pixel8>(w, 3, 0), PF_Pixel8{0, 0, 0, 0}));
  h.world->PF_DisposeWorld(nullptr, &w);

  // Deep worlds: fill16 and fill_float exactly; the 8-bit utils fill converted, rounding:
  // 128 → 128 × 32768 / 255 = 16448.25 → 16448; 128 / 255 = 0.50196.
  PF_EffectWorld w16 = h.Make(2, 2, PF_PixelFormat_ARGB64);
  const PF_Pixel16 c16{32768, 1, 16384, 32767};
  const PF_LRect corner{1, 1, 2, 2};
  ASSERT_EQ(h.fill->fill16(nullptr, &c16, &corner, &w16), PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel16>(w16, 1, 1).red, 1);
  EXPECT_EQ(At<PF_Pixel16>(w16, 1, 1).blue, 32767);
  EXPECT_EQ(At<PF_Pixel16>(w16, 0, 1).alpha, 0);
  const PF_Pixel8 grey{255, 128, 0, 255};
  ASSERT_EQ(h.u.fill(nullptr, &grey, nullptr, &w16), PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel16>(w16, 0, 0).alpha, 32768);
  EXPECT_EQ(At<PF_Pixel16>(w16, 0, 0).red, 16448);
  EXPECT_EQ(At<PF_Pixel16>(w16, 0, 0).blue, 32768);
  h.world->PF_DisposeWorld(nullptr, &w16);

  PF_EffectWorld wf = h.Make(2, 2, PF_PixelFormat_ARGB128);
  const PF_PixelFloat cf{1.0f, 2.5f, -0.25f, 0.5f};  // over-range kept
  ASSERT_EQ(h.fill->fill_float(nullptr, &cf, nullptr, &wf), PF_Err_NONE);
  EXPECT_EQ(At<PF_PixelFloat>(wf, 1, 1).red, 2.5f);
  EXPECT_EQ(At<PF_PixelFloat>(wf, 1, 1).green, -0.25f);
  ASSERT_EQ(h.u.fill(nullptr, &grey, nullptr, &wf), PF_Err_NONE);
  EXPECT_NEAR(At<PF_PixelFloat>(wf, 0, 1).red, 128.0 / 255.0, 1e-6);
  h.world->PF_DisposeWorld(nullptr, &wf);
}

// 4×4 source whose pixel (x, y) has red 10x + 100 and green 10y + 100, opaque.
PF_EffectWorld Ramp(ImageHost& h) {
  PF_EffectWorld w = h.Make(4, 4, PF_PixelFormat_ARGB32);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      At<PF_Pixel8>(w, x, y) =
          PF_Pixel8{255, (A_u_char)(10 * x + 100), (A_u_char)(10 * y + 100), 0};
  return w;
}

TEST(HostWorlds, CopyScalesByNearestPixel) {
  ImageHost h;
  PF_EffectWorld src = Ramp(h);
  // 4 → 2: destination i samples floor((i + ½) × 4 / 2) = 1, 3.
  PF_EffectWorld half = h.Make(2, 2, PF_PixelFormat_ARGB32);
  ASSERT_EQ(h.xform->copy(nullptr, &src, &half, nullptr, nullptr), PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel8>(half, 0, 0).red, 110);
  EXPECT_EQ(At<PF_Pixel8>(half, 1, 0).red, 130);
  EXPECT_EQ(At<PF_Pixel8>(half, 1, 1).green, 130);
  // 2 → 4 from the source's centre (1,1)-(3,3): floor((i + ½) × 2 / 4) = 0, 0, 1, 1 → x 1, 1, 2, 2.
  PF_EffectWorld dst = h.Make(4, 4, PF_PixelFormat_ARGB32);
  PF_LRect centre{1, 1, 3, 3};
  ASSERT_EQ(h.u.copy(nullptr, &src, &dst, &centre, nullptr), PF_Err_NONE);
  const int expect[4] = {110, 110, 120, 120};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(At<PF_Pixel8>(dst, i, 0).red, expect[i]);
    EXPECT_EQ(At<PF_Pixel8>(dst, 3, i).green, expect[i]);
  }
  // An unscaled copy to a rectangle partly off the world: (2,2)-(6,6) keeps its top-left 2×2.
  PF_EffectWorld clear = h.Make(4, 4, PF_PixelFormat_ARGB32);
  PF_LRect off{2, 2, 6, 6};
  ASSERT_EQ(h.xform->copy(nullptr, &src, &clear, nullptr, &off), PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel8>(clear, 3, 3).red, 110);  // source (1, 1)
  EXPECT_EQ(At<PF_Pixel8>(clear, 1, 3).alpha, 0);
  // Depths must agree.
  PF_EffectWorld deep = h.Make(4, 4, PF_PixelFormat_ARGB64);
  EXPECT_EQ(h.xform->copy(nullptr, &src, &deep, nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
  for (PF_EffectWorld* w : {&src, &half, &dst, &clear, &deep}) h.world->PF_DisposeWorld(nullptr, w);
}

TEST(HostWorlds, CopyHqAveragesAreasAndInterpolatesWhenEnlarging) {
  ImageHost h;
  PF_EffectWorld src = Ramp(h);
  // 4 → 2: each pixel averages a 2×2 block: red (100 + 110) / 2 = 105 and (120 + 130) / 2 = 125.
  PF_EffectWorld half = h.Make(2, 2, PF_PixelFormat_ARGB32);
  ASSERT_EQ(h.xform->copy_hq(nullptr, &src, &half, nullptr, nullptr), PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel8>(half, 0, 0).red, 105);
  EXPECT_EQ(At<PF_Pixel8>(half, 1, 1).red, 125);
  EXPECT_EQ(At<PF_Pixel8>(half, 1, 1).green, 125);
  EXPECT_EQ(At<PF_Pixel8>(half, 1, 1).alpha, 255);
  // 2 → 4 (16-bit): pixel i's centre maps to (i + ½) / 2 = 0.25, 0.75, 1.25, 1.75; a one-pixel box
  // there weighs the two sources (1, 0), (¾, ¼), (¼, ¾), (0, 1) once the edges are cut:
  // 0, 8192, 24576, 32768 for a row 0 → 32768.
  PF_EffectWorld two = h.Make(2, 1, PF_PixelFormat_ARGB64);
  At<PF_Pixel16>(two, 0, 0) = PF_Pixel16{32768, 0, 0, 0};
  At<PF_Pixel16>(two, 1, 0) = PF_Pixel16{32768, 32768, 0, 0};
  PF_EffectWorld four = h.Make(4, 4, PF_PixelFormat_ARGB64);
  ASSERT_EQ(h.xform->copy_hq(nullptr, &two, &four, nullptr, nullptr), PF_Err_NONE);
  const int expect[4] = {0, 8192, 24576, 32768};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(At<PF_Pixel16>(four, i, 2).red, expect[i]);
  // Transparent pixels lend no colour (float): opaque red 0.8 beside transparent green, 2 → 1:
  // alpha (1 + 0) / 2 = 0.5, red (1 × 0.8 + 0 × 0) / 1 = 0.8, green 0.
  PF_EffectWorld pair = h.Make(2, 1, PF_PixelFormat_ARGB128);
  At<PF_PixelFloat>(pair, 0, 0) = PF_PixelFloat{1, 0.8f, 0, 0};
  At<PF_PixelFloat>(pair, 1, 0) = PF_PixelFloat{0, 0, 1, 0};
  PF_EffectWorld one = h.Make(1, 1, PF_PixelFormat_ARGB128);
  ASSERT_EQ(h.xform->copy_hq(nullptr, &pair, &one, nullptr, nullptr), PF_Err_NONE);
  EXPECT_FLOAT_EQ(At<PF_PixelFloat>(one, 0, 0).alpha, 0.5f);
  EXPECT_FLOAT_EQ(At<PF_PixelFloat>(one, 0, 0).red, 0.8f);
  EXPECT_FLOAT_EQ(At<PF_PixelFloat>(one, 0, 0).green, 0.0f);
  // Unscaled, the filter is a plain copy, even within one world (rows 0–1 onto rows 2–3).
  PF_LRect top{0, 0, 4, 2}, bottom{0, 2, 4, 4};
  ASSERT_EQ(h.xform->copy_hq(nullptr, &src, &src, &top, &bottom), PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel8>(src, 3, 3).red, 130);
  EXPECT_EQ(At<PF_Pixel8>(src, 3, 3).green, 110);
  // A 16-bit value above the top of the range comes back held to it, unscaled as when scaling.
  PF_EffectWorld over = h.Make(1, 1, PF_PixelFormat_ARGB64);
  PF_EffectWorld held = h.Make(1, 1, PF_PixelFormat_ARGB64);
  At<PF_Pixel16>(over, 0, 0) = PF_Pixel16{65535, 42405, 100, 0};
  ASSERT_EQ(h.xform->copy_hq(nullptr, &over, &held, nullptr, nullptr), PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel16>(held, 0, 0).alpha, 32768);
  EXPECT_EQ(At<PF_Pixel16>(held, 0, 0).red, 32768);
  EXPECT_EQ(At<PF_Pixel16>(held, 0, 0).green, 100);
  for (PF_EffectWorld* w : {&src, &half, &two, &four, &pair, &one, &over, &held})
    h.world->PF_DisposeWorld(nullptr, w);
}

}  // namespace
