// Depth sort on float keys and on whole point records, in the orders a cloud arrives in.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "raster/DepthSort.h"
#include "render/PointStore.h"
#include "render/RenderCamera.h"

namespace {

enum Order { kRandom, kSorted, kReversed, kAllEqual };

// kSorted is farthest first (what the sort produces); kReversed is nearest first, the order on
// which a first-record-pivot quicksort degrades.
std::vector<float> Keys(size_t n, Order order) {
  std::vector<float> keys(n);
  std::mt19937 rng(12345);
  std::uniform_real_distribution<float> depth(1.0f, 10000.0f);
  for (float& k : keys) k = order == kAllEqual ? 500.0f : depth(rng);
  if (order == kSorted) std::sort(keys.begin(), keys.end(), std::greater<float>());
  if (order == kReversed) std::sort(keys.begin(), keys.end());
  return keys;
}

void BM_SortFloatKeys(benchmark::State& state) {
  const auto input = Keys((size_t)state.range(0), (Order)state.range(1));
  std::vector<float> work(input.size());
  for (auto _ : state) {
    state.PauseTiming();
    work = input;
    state.ResumeTiming();
    mf::SortDescendingByDepth(work.data(), work.size(), [](float k) { return k; });
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortFloatKeys)
    ->ArgsProduct({{2'000'000, 8'000'000}, {kRandom, kSorted, kReversed, kAllEqual}})
    ->ArgNames({"n", "order"})
    ->Unit(benchmark::kMillisecond);

// Reference point: the library's stable merge sort on the same keys.
void BM_StdStableSortFloatKeys(benchmark::State& state) {
  const auto input = Keys((size_t)state.range(0), (Order)state.range(1));
  std::vector<float> work(input.size());
  for (auto _ : state) {
    state.PauseTiming();
    work = input;
    state.ResumeTiming();
    std::stable_sort(work.begin(), work.end(), std::greater<float>());
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StdStableSortFloatKeys)
    ->ArgsProduct({{8'000'000}, {kRandom, kReversed}})
    ->ArgNames({"n", "order"})
    ->Unit(benchmark::kMillisecond);

// Whole CloudPoint records, as the render sorts them.
void BM_SortCloudPoints(benchmark::State& state) {
  const auto keys = Keys((size_t)state.range(0), (Order)state.range(1));
  std::vector<mf::CloudPoint> input(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    input[i].depth = keys[i];
    input[i].source_x = (int32_t)i;
  }
  std::vector<mf::CloudPoint> work(input.size());
  for (auto _ : state) {
    state.PauseTiming();
    work = input;
    state.ResumeTiming();
    mf::SortByDepthDescending(work.data(), 0, (A_long)work.size() - 1);
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortCloudPoints)
    ->ArgsProduct({{2'000'000}, {kRandom, kSorted, kReversed, kAllEqual}})
    ->ArgNames({"n", "order"})
    ->Unit(benchmark::kMillisecond);

// The render's own path: depth entries in storage order turned into the drawing order. The
// narrow range is a frame's (a displaced plane a unit away), whose keys share their top digit.
void BM_CloudDrawOrder(benchmark::State& state) {
  const size_t n = (size_t)state.range(0);
  const bool narrow = state.range(1) != 0;
  std::vector<float> depths = Keys(n, kRandom);
  if (narrow) {
    for (float& d : depths) d = 1.0f + d / 100000.0f;
  }
  std::vector<uint64_t> input(n), work(n);
  for (size_t i = 0; i < n; ++i) input[i] = mf::DepthEntry(depths[i], (uint32_t)i);
  for (auto _ : state) {
    state.PauseTiming();
    work = input;
    state.ResumeTiming();
    benchmark::DoNotOptimize(mf::CloudDrawOrder(work.data(), (A_long)n));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CloudDrawOrder)
    ->ArgsProduct({{2'000'000}, {0, 1}})
    ->ArgNames({"n", "narrow"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
