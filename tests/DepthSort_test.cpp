#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "raster/DepthSort.h"

namespace mf {
namespace {

// Points carry their storage position in source_x so that the order of equal depths shows.
std::vector<CloudPoint> Points(const std::vector<float>& depths) {
  std::vector<CloudPoint> pts(depths.size());
  for (size_t i = 0; i < depths.size(); ++i) {
    pts[i] = CloudPoint{};
    pts[i].depth = depths[i];
    pts[i].source_x = (int32_t)i;
    pts[i].stamp_size = (int16_t)(i % 7 + 1);
  }
  return pts;
}

// The neighbour-swap passes used for small clouds, written out as the reference: swap when the
// next record is farther. NaN is taken as farther than anything, so it bubbles to the front.
bool Farther(float a, float b) {
  if (std::isnan(a)) return !std::isnan(b);
  if (std::isnan(b)) return false;
  return a > b;
}
void NeighbourSwapPasses(std::vector<CloudPoint>& pts) {
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
      if (Farther(pts[i + 1].depth, pts[i].depth)) {
        std::swap(pts[i], pts[i + 1]);
        swapped = true;
      }
    }
  }
}

void ExpectSameOrder(const std::vector<CloudPoint>& got, const std::vector<CloudPoint>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i].source_x, want[i].source_x) << "at " << i;
    ASSERT_EQ(got[i].stamp_size, want[i].stamp_size) << "at " << i;  // whole records moved
  }
}

TEST(SortByDepthDescending, FarthestFirst) {
  auto pts = Points({3, 1, 2});
  SortByDepthDescending(pts.data(), 0, 2);
  EXPECT_EQ(pts[0].depth, 3);
  EXPECT_EQ(pts[1].depth, 2);
  EXPECT_EQ(pts[2].depth, 1);
  EXPECT_EQ(pts[1].source_x, 2);

  auto desc = Points({9, 7, 7, 5, 1, -1});
  SortByDepthDescending(desc.data(), 0, 5);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(desc[i].source_x, i);

  // Only [lo, hi] moves.
  auto part = Points({1, 2, 3, 4, 0});
  SortByDepthDescending(part.data(), 1, 3);
  EXPECT_EQ(part[0].depth, 1);
  EXPECT_EQ(part[1].depth, 4);
  EXPECT_EQ(part[3].depth, 2);
  EXPECT_EQ(part[4].depth, 0);
  // Empty and reversed ranges do nothing.
  SortByDepthDescending(part.data(), 3, 3);
  SortByDepthDescending(part.data(), 4, 0);
  SortByDepthDescending(part.data(), -1, 4);
  EXPECT_EQ(part[0].depth, 1);
}

TEST(SortByDepthDescending, EqualDepthsKeepStorageOrderAtEverySize) {
  // 99 points must match the neighbour-swap passes exactly; at 100 and beyond the order of equal
  // depths is free, and keeping storage order there too makes every frame draw the same way.
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> few(0, 9);
  for (size_t n : {2u, 5u, 32u, 33u, 99u, 100u, 1000u, 5000u}) {
    std::vector<float> depths(n);
    for (float& d : depths) d = (float)few(rng) * 0.5f;
    auto got = Points(depths);
    auto want = got;
    SortByDepthDescending(got.data(), 0, (A_long)n - 1);
    NeighbourSwapPasses(want);
    ExpectSameOrder(got, want);
  }
}

TEST(SortByDepthDescending, NaNSignedZeroAndInfinities) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  // NaN goes first (drawn under everything), in storage order; −0 and +0 are one depth.
  std::vector<float> depths = {1.0f, nan, -0.0f, inf, 0.0f, -inf, -nan, 2.0f, -0.0f};
  for (int copies : {1, 20}) {  // both the small and the large path
    std::vector<float> many;
    for (int c = 0; c < copies; ++c) many.insert(many.end(), depths.begin(), depths.end());
    auto got = Points(many);
    auto want = got;
    SortByDepthDescending(got.data(), 0, (A_long)many.size() - 1);
    NeighbourSwapPasses(want);
    ExpectSameOrder(got, want);
    EXPECT_TRUE(std::isnan(got[0].depth));
    EXPECT_EQ(got[2 * copies].depth, inf);
    EXPECT_EQ(got.back().depth, -inf);
  }
}

TEST(SortByDepthDescending, MillionsInDepthOrderSortWithoutDeepRecursion) {
  // Nearest first: the order on which a first-record-pivot quicksort recurses once per record.
  const A_long n = 2'000'000;
  std::vector<CloudPoint> pts(n);
  for (A_long i = 0; i < n; ++i) {
    pts[i].depth = 1.0f + (float)i * 0.25f;
    pts[i].source_x = i;
  }
  SortByDepthDescending(pts.data(), 0, n - 1);
  for (A_long i = 0; i < n; ++i) ASSERT_EQ(pts[i].source_x, n - 1 - i);
  // Already farthest first: unchanged.
  SortByDepthDescending(pts.data(), 0, n - 1);
  for (A_long i = 0; i < n; ++i) ASSERT_EQ(pts[i].source_x, n - 1 - i);
  // All equal: unchanged.
  for (A_long i = 0; i < n; ++i) pts[i].depth = 5.0f;
  SortByDepthDescending(pts.data(), 0, n - 1);
  for (A_long i = 0; i < n; ++i) ASSERT_EQ(pts[i].source_x, n - 1 - i);
}

TEST(SortDescendingByDepth, SmallRecordsTakeTheGatherPathWithTheSameOrder) {
  // Records of 8 bytes are moved by gathering into a copy rather than by the in-place walk.
  struct Tagged {
    float depth;
    int32_t tag;
  };
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> few(0, 20);
  std::vector<Tagged> recs(3000);
  std::vector<float> depths(recs.size());
  for (size_t i = 0; i < recs.size(); ++i) {
    depths[i] = few(rng) == 0 ? std::numeric_limits<float>::quiet_NaN() : (float)few(rng);
    recs[i] = {depths[i], (int32_t)i};
  }
  SortDescendingByDepth(recs.data(), recs.size(), [](const Tagged& t) { return t.depth; });
  auto want = Points(depths);
  NeighbourSwapPasses(want);
  for (size_t i = 0; i < recs.size(); ++i) ASSERT_EQ(recs[i].tag, want[i].source_x) << i;
}

TEST(SortByDepthDescending, LowMemoryReorderFollowsThePermutationsCycles) {
  // The walk used when no copy of the records can be had: position i receives record order[i].
  // Cycles (0 2 4), (1 3), fixed point 5.
  std::vector<uint64_t> order = {2, 3, 4, 1, 0, 5};
  std::vector<int> rec = {10, 11, 12, 13, 14, 15};
  detail::ApplyOrderInPlace(rec.data(), order);
  EXPECT_EQ(rec, (std::vector<int>{12, 13, 14, 11, 10, 15}));
}

}  // namespace
}  // namespace mf
