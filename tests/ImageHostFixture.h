// The host's image services on their own: a fault switchboard, a suite registry holding them,
// every image suite acquired, and in_data callbacks for the iterate suites.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "AE_EffectCB.h"
#include "AE_WorldSuites.h"
#include "host/HostServices.h"
#include "host/Iterate.h"
#include "host/Worlds.h"
#include "raster/PixelFormat.h"

namespace mf::test {

struct ImageHost {
  host::Faults f;
  host::SuiteRegistry r{f};
  PF_UtilCallbacks u{};
  PF_InData in{};
  const PF_WorldSuite2* world = nullptr;
  const PF_FillMatteSuite2* fill = nullptr;
  const PF_WorldTransformSuite1* xform = nullptr;
  const PF_Iterate8Suite1* it8 = nullptr;
  const PF_iterate16Suite1* it16 = nullptr;
  const PF_iterateFloatSuite1* itf = nullptr;

  ImageHost() {
    host::InstallImageServices(f, r, u);
    in.utils = &u;
    world = Acquire<PF_WorldSuite2>(kPFWorldSuite, kPFWorldSuiteVersion2);
    fill = Acquire<PF_FillMatteSuite2>(kPFFillMatteSuite, kPFFillMatteSuiteVersion2);
    xform =
        Acquire<PF_WorldTransformSuite1>(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
    it8 = Acquire<PF_Iterate8Suite1>(kPFIterate8Suite, kPFIterate8SuiteVersion1);
    it16 = Acquire<PF_iterate16Suite1>(kPFIterate16Suite, kPFIterate16SuiteVersion1);
    itf = Acquire<PF_iterateFloatSuite1>(kPFIterateFloatSuite, kPFIterateFloatSuiteVersion1);
  }
  ~ImageHost() { host::SetIterateAbortProbe(nullptr); }

  template <typename Suite>
  const Suite* Acquire(const char* name, int32_t version) {
    const void* p = nullptr;
    EXPECT_EQ(r.acquire(name, version, &p), kSPNoError) << name;
    return static_cast<const Suite*>(p);
  }
  PF_EffectWorld Make(A_long w, A_long h, PF_PixelFormat format) {
    PF_EffectWorld out{};
    EXPECT_EQ(world->PF_NewWorld(nullptr, w, h, true, format, &out), PF_Err_NONE);
    return out;
  }
};

// A world by hand over a std::vector, described to the host so its services accept it.
template <typename Pixel>
struct HandWorld {
  HandWorld(A_long w, A_long h, Pixel fill = Pixel{}) : pixels(w * h, fill) {
    host::DescribeWorld(pixels.data(), w * (A_long)sizeof(Pixel), w, h, PixelTraits<Pixel>::kFormat,
                        &world);
  }
  Pixel& at(A_long x, A_long y) { return pixels[y * world.width + x]; }
  std::vector<Pixel> pixels;
  PF_EffectWorld world{};
};

template <typename Pixel>
Pixel& At(PF_EffectWorld& w, int x, int y) {
  return *reinterpret_cast<Pixel*>(reinterpret_cast<char*>(w.data) + y * w.rowbytes +
                                   x * (int)sizeof(Pixel));
}

}  // namespace mf::test
