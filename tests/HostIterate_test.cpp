// The host's iterate suites and in_data->utils->iterate.
#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "AE_EffectCB.h"
#include "AE_WorldSuites.h"
#include "ImageHostFixture.h"
#include "host/HostServices.h"
#include "host/Iterate.h"

namespace {

using mf::test::At;
using mf::test::ImageHost;

struct Visit {
  int x, y;
  int in_red;
};

struct Log {
  std::vector<Visit> visits;
  int fail_at = -1;  // index of the call that returns an error
};

// Records each call and writes out.red = in.red + 1, out.green = 10x + y.
template <typename Pixel>
PF_Err Record(void* refcon, A_long x, A_long y, Pixel* in, Pixel* out) {
  auto* log = static_cast<Log*>(refcon);
  log->visits.push_back({x, y, (int)in->red});
  if ((int)log->visits.size() - 1 == log->fail_at) return PF_Err_OUT_OF_MEMORY;
  const int red = (int)in->red;  // read before writing: out may be the same pixel
  *out = Pixel{};
  out->alpha = 1;
  out->red = red + 1;
  out->green = 10 * x + y;
  return PF_Err_NONE;
}

TEST(HostIterate, VisitsTheAreaInRowOrderWritingTheSamePlace) {
  ImageHost h;
  PF_EffectWorld src = h.Make(4, 3, PF_PixelFormat_ARGB32);
  PF_EffectWorld dst = h.Make(4, 3, PF_PixelFormat_ARGB32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) At<PF_Pixel8>(src, x, y).red = (A_u_char)(x + 4 * y);
  // Area (2, 1)-(9, 3) is clipped to columns 2–3 of rows 1–2.
  Log log;
  const PF_Rect area{2, 1, 9, 3};
  ASSERT_EQ(h.it8->iterate(&h.in, 0, 3, &src, &area, &log, Record<PF_Pixel8>, &dst), PF_Err_NONE);
  ASSERT_EQ(log.visits.size(), 4u);
  const Visit expected[4] = {{2, 1, 6}, {3, 1, 7}, {2, 2, 10}, {3, 2, 11}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(log.visits[i].x, expected[i].x);
    EXPECT_EQ(log.visits[i].y, expected[i].y);
    EXPECT_EQ(log.visits[i].in_red, expected[i].in_red);
  }
  EXPECT_EQ(At<PF_Pixel8>(dst, 3, 2).red, 12);
  EXPECT_EQ(At<PF_Pixel8>(dst, 3, 2).green, 32);
  EXPECT_EQ(At<PF_Pixel8>(dst, 1, 1).alpha, 0);  // outside the area: untouched
  EXPECT_EQ(At<PF_Pixel8>(src, 3, 2).red, 11);   // the source is only read

  // No source and no area, as the effect shades a stamp: the whole destination, in place.
  log = Log{};
  ASSERT_EQ(h.u.iterate(&h.in, 0, 3, nullptr, nullptr, &log, Record<PF_Pixel8>, &dst), PF_Err_NONE);
  EXPECT_EQ(log.visits.size(), 12u);
  EXPECT_EQ(At<PF_Pixel8>(dst, 3, 2).red, 13);  // 12 read as input, plus one
  EXPECT_EQ(At<PF_Pixel8>(dst, 0, 0).red, 1);

  // 16-bit and float walk the same way.
  PF_EffectWorld d16 = h.Make(2, 2, PF_PixelFormat_ARGB64);
  PF_EffectWorld df = h.Make(2, 2, PF_PixelFormat_ARGB128);
  log = Log{};
  ASSERT_EQ(h.it16->iterate(&h.in, 0, 2, nullptr, nullptr, &log, Record<PF_Pixel16>, &d16),
            PF_Err_NONE);
  EXPECT_EQ(At<PF_Pixel16>(d16, 1, 1).green, 11);
  log = Log{};
  ASSERT_EQ(h.itf->iterate(&h.in, 0, 2, nullptr, nullptr, &log, Record<PF_PixelFloat>, &df),
            PF_Err_NONE);
  EXPECT_EQ(log.visits.size(), 4u);
  EXPECT_EQ(At<PF_PixelFloat>(df, 1, 0).green, 10.0f);
  for (PF_EffectWorld* w : {&src, &dst, &d16, &df}) h.world->PF_DisposeWorld(nullptr, w);
}

// Records which thread ran each row, under a lock: the callback of an effect that shares state
// must guard it the same way.
struct ThreadLog {
  std::mutex mutex;
  std::vector<std::pair<std::thread::id, int>> rows;  // x = 0 of each row
};

PF_Err RecordThread(void* refcon, A_long x, A_long y, PF_PixelFloat*, PF_PixelFloat* out) {
  out->red += 1.0f;
  if (x == 0) {
    auto* log = static_cast<ThreadLog*>(refcon);
    std::lock_guard<std::mutex> lock(log->mutex);
    log->rows.emplace_back(std::this_thread::get_id(), (int)y);
  }
  return PF_Err_NONE;
}

TEST(HostIterate, LargeAreasRunOnTwoThreadsInNoParticularRowOrder) {
  ImageHost h;
  PF_EffectWorld w = h.Make(64, 48, PF_PixelFormat_ARGB128);
  ThreadLog log;
  ASSERT_EQ(h.itf->iterate(&h.in, 0, 48, nullptr, nullptr, &log, RecordThread, &w), PF_Err_NONE);
  ASSERT_EQ(log.rows.size(), 48u);
  std::set<std::thread::id> threads;
  std::set<int> rows;
  bool in_order = true;
  for (size_t i = 0; i < log.rows.size(); ++i) {
    threads.insert(log.rows[i].first);
    rows.insert(log.rows[i].second);
    in_order = in_order && log.rows[i].second == (int)i;
  }
  EXPECT_EQ(threads.size(), 2u);
  EXPECT_EQ(rows.size(), 48u);
  EXPECT_FALSE(in_order);
  for (int y = 0; y < 48; y += 7)
    for (int x = 0; x < 64; x += 9) EXPECT_EQ(At<PF_PixelFloat>(w, x, y).red, 1.0f);  // once each
  h.world->PF_DisposeWorld(nullptr, &w);
}

TEST(HostIterate, StopsAtTheFirstErrorAbortOrRefusal) {
  ImageHost h;
  PF_EffectWorld w = h.Make(3, 3, PF_PixelFormat_ARGB128);
  // The fifth call fails: it is returned and the sixth never happens.
  Log log;
  log.fail_at = 4;
  EXPECT_EQ(h.itf->iterate(&h.in, 0, 3, nullptr, nullptr, &log, Record<PF_PixelFloat>, &w),
            PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(log.visits.size(), 5u);
  EXPECT_EQ(At<PF_PixelFloat>(w, 2, 1).alpha, 0.0f);

  // The user aborts after the first row: PF_Interrupt_CANCEL, no later row visited.
  int asked = 0;
  mf::host::SetIterateAbortProbe([&] { return ++asked > 1; });
  log = Log{};
  EXPECT_EQ(h.itf->iterate(&h.in, 0, 3, nullptr, nullptr, &log, Record<PF_PixelFloat>, &w),
            PF_Interrupt_CANCEL);
  EXPECT_EQ(log.visits.size(), 3u);
  mf::host::SetIterateAbortProbe(nullptr);

  // Injected failure: nothing is visited.
  h.f.failOnCall("pf.iterate", 1);
  log = Log{};
  EXPECT_NE(h.itf->iterate(&h.in, 0, 3, nullptr, nullptr, &log, Record<PF_PixelFloat>, &w),
            PF_Err_NONE);
  EXPECT_TRUE(log.visits.empty());
  h.f.failOnCall("utils.iterate", 1);
  PF_EffectWorld w8 = h.Make(1, 1, PF_PixelFormat_ARGB32);
  EXPECT_NE(h.u.iterate(&h.in, 0, 1, nullptr, nullptr, &log, Record<PF_Pixel8>, &w8), PF_Err_NONE);
  EXPECT_TRUE(log.visits.empty());

  // Bad calls: a suite of another depth, no callback, no worlds, worlds of two depths.
  EXPECT_EQ(h.it8->iterate(&h.in, 0, 3, nullptr, nullptr, &log, Record<PF_Pixel8>, &w),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(h.itf->iterate(&h.in, 0, 3, nullptr, nullptr, &log, nullptr, &w),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(h.itf->iterate(&h.in, 0, 3, nullptr, nullptr, &log, Record<PF_PixelFloat>, nullptr),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(h.it8->iterate(&h.in, 0, 3, &w8, nullptr, &log, Record<PF_Pixel8>, &w),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(log.visits.empty());
  h.world->PF_DisposeWorld(nullptr, &w);
  h.world->PF_DisposeWorld(nullptr, &w8);
}

}  // namespace
