// The per-point stamp path through the host's image services: a new world of the stamp's size, a
// fill with the point's colour, the averaging blend into the canvas, and disposal.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "AE_EffectCB.h"
#include "host/HostServices.h"
#include "host/Worlds.h"
#include "raster/BlendModes.h"
#include "raster/PixelFormat.h"

namespace {

PF_Err NoAbort(PF_ProgPtr) {
  return PF_Err_NONE;
}

template <typename Pixel>
void BM_StampPath(benchmark::State& state) {
  static mf::host::Faults faults;
  mf::host::SuiteRegistry registry(faults);
  PF_UtilCallbacks utils{};
  mf::host::InstallImageServices(faults, registry, utils);
  auto acquire = [&](const char* name, int32_t version) {
    const void* t = nullptr;
    registry.acquire(name, version, &t);
    return t;
  };
  auto* world = (const PF_WorldSuite2*)acquire(kPFWorldSuite, kPFWorldSuiteVersion2);
  auto* fill = (const PF_FillMatteSuite2*)acquire(kPFFillMatteSuite, kPFFillMatteSuiteVersion2);
  auto* transform = (const PF_WorldTransformSuite1*)acquire(kPFWorldTransformSuite,
                                                            kPFWorldTransformSuiteVersion1);
  mf::IterateSuites iterate{
      (const PF_Iterate8Suite1*)acquire(kPFIterate8Suite, kPFIterate8SuiteVersion1),
      (const PF_iterate16Suite1*)acquire(kPFIterate16Suite, kPFIterate16SuiteVersion1),
      (const PF_iterateFloatSuite1*)acquire(kPFIterateFloatSuite, kPFIterateFloatSuiteVersion1)};
  PF_InData in{};
  in.inter.abort = NoAbort;
  in.utils = &utils;
  in.quality = PF_Quality_LO;

  constexpr PF_PixelFormat format = mf::PixelTraits<Pixel>::kFormat;
  const A_long canvas_w = 1920, canvas_h = 1080;
  PF_EffectWorld canvas{};
  world->PF_NewWorld(nullptr, canvas_w, canvas_h, true, format, &canvas);

  const A_long side = (A_long)state.range(0);
  constexpr int kBatch = 1000;
  std::mt19937 rng(99);
  std::uniform_int_distribution<A_long> px(0, canvas_w - side), py(0, canvas_h - side);
  std::vector<std::pair<A_long, A_long>> places(kBatch);
  for (auto& p : places) p = {px(rng), py(rng)};
  const Pixel color = mf::FromColorF<Pixel>(mf::ColorF{0.75f, 0.9f, 0.4f, 0.2f});

  PF_Err err = PF_Err_NONE;
  for (auto _ : state) {
    for (const auto& [x, y] : places) {
      PF_EffectWorld stamp{};
      err |= world->PF_NewWorld(nullptr, side, side, true, format, &stamp);
      if constexpr (std::is_same_v<Pixel, PF_Pixel8>) {
        err |= fill->fill(nullptr, &color, nullptr, &stamp);
      } else if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
        err |= fill->fill16(nullptr, &color, nullptr, &stamp);
      } else {
        err |= fill->fill_float(nullptr, &color, nullptr, &stamp);
      }
      err |= mf::ApplyCustomPixelBlend(
          mf::kPixelBlendAverage, mf::BlendSuites{iterate, transform, world, fill}, &in, format,
          &stamp, side, &canvas, PF_Rect{x, y, x + side, y + side});
      err |= world->PF_DisposeWorld(nullptr, &stamp);
    }
  }
  if (err) state.SkipWithError("a host call failed");
  world->PF_DisposeWorld(nullptr, &canvas);
  state.SetItemsProcessed(state.iterations() * kBatch);
  // Seconds per million points, the figure the render cares about.
  state.counters["s_per_Mpt"] =
      benchmark::Counter((double)state.iterations() * kBatch / 1e6,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_StampPath<PF_Pixel8>)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StampPath<PF_Pixel16>)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StampPath<PF_PixelFloat>)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

}  // namespace
