// A frame for one render stage at a time: the host's real image services in a registry of the
// test's own, tiny layer worlds built in code, a neutral pre-render record, and in_data callbacks
// that count abort polls and texture checkouts.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

#include "host/HostServices.h"
#include "host/Worlds.h"
#include "raster/PixelFormat.h"
#include "raster/VectorMath.h"
#include "render/PreRenderData.h"
#include "render/FrameSettings.h"
#include "support/SuiteHandler.h"

namespace mf::test {

// What the in_data callbacks saw; reset by every fixture.
struct StageCallbacks {
  int abort_calls = 0;
  int abort_fails_on = 0;  // 1-based poll that reports an abort; 0: never
  std::vector<A_long> texture_times;
  int checkins = 0;
  PF_EffectWorld* texture = nullptr;  // what a texture checkout returns
};

inline StageCallbacks& Callbacks() {
  static StageCallbacks c;
  return c;
}

inline PF_Err CountingAbort(PF_ProgPtr) {
  StageCallbacks& c = Callbacks();
  ++c.abort_calls;
  return c.abort_calls == c.abort_fails_on ? PF_Interrupt_CANCEL : PF_Err_NONE;
}

inline PF_Err TextureCheckout(PF_ProgPtr, PF_ParamIndex index, A_long t, A_long, A_u_long,
                              PF_ParamDef* def) {
  EXPECT_EQ(index, TEXTURE_LAYER);
  Callbacks().texture_times.push_back(t);
  *def = PF_ParamDef{};
  if (Callbacks().texture) def->u.ld = *Callbacks().texture;
  return PF_Err_NONE;
}

inline PF_Err TextureCheckin(PF_ProgPtr, PF_ParamDef*) {
  ++Callbacks().checkins;
  return PF_Err_NONE;
}

inline A_FpLong Ceil(A_FpLong v) {
  return std::ceil(v);
}
inline A_FpLong Floor(A_FpLong v) {
  return std::floor(v);
}

// A record in which every control is at its neutral value: full mode, no gain, offset or
// scatter, pixel size 1, copy blend, resolution 100 %.
inline PreRenderData NeutralRecord(A_long width, A_long height) {
  PreRenderData p{};
  p.RENDER_MODE = 1;
  p.COMPOSITE_ALPHA_BLEND = 4;
  p.REFLECTION_BLEND = 4;
  p.REFLECTION_MATTE_MAP = 5;
  p.REFLECTION_INTENSITY = 1.0f;
  p.GRID_SIZE = 128;
  p.GRID_SUBDIVIDE = 4;
  p.UNIFORM_GAIN = true;
  p.GAIN_X = p.GAIN_Y = p.GAIN_Z = 1.0f;
  p.MAP_RGB_TO = 1;
  p.REMAP_X_MIN = p.REMAP_Y_MIN = p.REMAP_Z_MIN = -1.0f;
  p.REMAP_X_MAX = p.REMAP_Y_MAX = p.REMAP_Z_MAX = 1.0f;
  p.SPECULAR_MATTE_MAP = 1;
  p.SPECULAR_COLOR = {1.0f, 1.0f, 1.0f, 1.0f};
  p.COMPOSITE_ALPHA_COLOR = {1.0f, 0.0f, 0.0f, 0.0f};
  p.UNIFORM_SCALE = true;
  p.SCALE_X = p.SCALE_Y = p.SCALE_Z = 1.0f;
  p.RESOLUTION = 1.0;
  p.PIXEL_SIZE = 1;
  p.PIXEL_BLEND_MODE = 1;
  p.LIFE_MAP = 5;
  p.TEXTURE_BLEND_MODE = 1;
  p.REFERENCE_CAMERA_ZOOM = 100.0;
  p.CAMERA_ZOOM = 100.0;
  p.layer_width = width;
  p.layer_height = height;
  p.downsample_factor_x = p.downsample_factor_y = 1;
  return p;
}

class RenderStageTest : public ::testing::Test {
 protected:
  static host::Faults& faults() {
    static host::Faults f;
    return f;
  }

  void SetUp() override {
    faults().clearAll();
    Callbacks() = StageCallbacks{};
    registry_ = std::make_unique<host::SuiteRegistry>(faults());
    host::InstallImageServices(faults(), *registry_, utils_);
    utils_.ansi.ceil = Ceil;
    utils_.ansi.floor = Floor;
    utils_.ansi.sprintf = std::sprintf;
    in_.utils = &utils_;
    in_.inter.abort = CountingAbort;
    in_.inter.checkout_param = TextureCheckout;
    in_.inter.checkin_param = TextureCheckin;
    in_.quality = PF_Quality_LO;
    in_.time_scale = 24;
    in_.time_step = 1;
    live_worlds_ = host::LiveWorldCount();

    host_.in_data = &in_;
    frame_.place.in_data = &in_;
    RenderSuites& s = host_.suites;
    s.world = acquire<PF_WorldSuite2>(kPFWorldSuite, kPFWorldSuiteVersion2);
    s.fill = acquire<PF_FillMatteSuite2>(kPFFillMatteSuite, kPFFillMatteSuiteVersion2);
    s.transform =
        acquire<PF_WorldTransformSuite1>(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
    s.iterate.iterate8 = acquire<PF_Iterate8Suite1>(kPFIterate8Suite, kPFIterate8SuiteVersion1);
    s.iterate.iterate16 = acquire<PF_iterate16Suite1>(kPFIterate16Suite, kPFIterate16SuiteVersion1);
    s.iterate.iterate_float =
        acquire<PF_iterateFloatSuite1>(kPFIterateFloatSuite, kPFIterateFloatSuiteVersion1);
    s.memory = acquire<AEGP_MemorySuite1>(kAEGPMemorySuite, kAEGPMemorySuiteVersion1);
  }

  void TearDown() override {
    for (PF_EffectWorld& w : worlds_) host::FreeWorld(&w);
    worlds_.clear();
    EXPECT_EQ(host::LiveWorldCount(), live_worlds_) << "a stage left a world behind";
  }

  template <typename Suite>
  const Suite* acquire(const char* name, int32_t version) {
    const void* t = nullptr;
    registry_->acquire(name, version, &t);
    return static_cast<const Suite*>(t);
  }

  // A cleared world owned by the fixture.
  PF_EffectWorld* makeWorld(A_long w, A_long h, PF_PixelFormat format) {
    worlds_.emplace_back();
    EXPECT_EQ(host::MakeWorld(w, h, format, true, &worlds_.back()), PF_Err_NONE);
    return &worlds_.back();
  }

  template <typename Pixel>
  static Pixel& At(PF_EffectWorld* w, A_long x, A_long y) {
    return *PixelAddress<Pixel>(w->data, x, y, w->rowbytes);
  }

  // Installs a world as one of the checked-out layer controls.
  void setLayer(RenderLayer which, PF_EffectWorld* w) { frame_.layers.put(which, w); }

  // The record, the frame's format and the frame constants the driver would derive.
  void useRecord(const PreRenderData& record, PF_PixelFormat format) {
    record_ = record;
    frame_.pre = &record_;
    frame_.format = format;
    frame_.frame.mode = record_.RENDER_MODE;
    frame_.frame.two_d = IsTwoDMode(record_.RENDER_MODE);
    frame_.frame.data = IsDataMode(record_.RENDER_MODE);
    frame_.frame.diffuse = record_.DIFFUSE_LIGHTS;
    frame_.frame.specular = record_.SPECULAR_LIGHTS;
    frame_.frame.alpha_normal = record_.ALPHA_NORMAL;
  }

  std::unique_ptr<host::SuiteRegistry> registry_;
  PF_UtilCallbacks utils_{};
  PF_InData in_{};
  PreRenderData record_{};
  StageHost host_{};
  FrameSettings frame_{};
  CloudPoints cloud_{};
  // The stages under test look no suite up by name: a basic suite that serves none.
  SPBasicSuite no_suites_{};
  SuiteHandler suite_handler_{&no_suites_};
  std::deque<PF_EffectWorld> worlds_;  // stable addresses
  int live_worlds_ = 0;
};

}  // namespace mf::test
