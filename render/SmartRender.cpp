#include "render/SmartRender.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#include "AE_CompSuites.h"
#include "AE_EffectSuites.h"
#include "support/Globals.h"
#include "support/HostError.h"
#include "support/HostResources.h"
#include "support/SuiteHandler.h"
#include "params/SequenceData.h"
#include "raster/GridSegment.h"
#include "raster/Random.h"
#include "render/PointCloud.h"
#include "render/PointDrawing.h"
#include "render/PreRenderData.h"
#include "render/RenderCamera.h"
#include "render/FrameSettings.h"
#include "render/SceneLights.h"

namespace mf {
namespace {

constexpr const char* kWorldSuiteMessage = "无法加载插件.";
constexpr const char* kFillSuiteMessage = "Couldn't load fill suite.";
constexpr const char* kSuiteMessage = "Couldn't load suite.";
constexpr const char* kReleaseMessage = "Couldn't release suite.";

// The world the stages draw into always has the layer's top-left pixel at its own (see
// drawWholeLayer), whatever part of the layer the host asked for.
constexpr A_long kDrawnLeft = 0, kDrawnTop = 0;

// The largest bias strictly inside (-1, 1) in single precision steps: 0x3F7FFFEF.
const float kFalloffBiasScale = std::bit_cast<float>(0x3F7FFFEFu);

// Check-in order of the layer controls at the end of the call.
constexpr RenderLayer kCheckinOrder[kRenderLayerCount] = {
    kLayerTexture,  kLayerReflectionMatte, kLayerReflectionMap, kLayerIbl,
    kLayerDisplace, kLayerSpecularMatte,   kLayerNormal,        kLayerAltNormal,
    kLayerLife,     kLayerSource,          kLayerPosition,
};

// Copies a prefix of at most 31 characters and terminates it.
void CopyPrefix(char* dst, const char* src) {
  const size_t n = strnlen(src, kPrefixBufferSize - 1);
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

// The light prefixes of the instance's record; absent when there is no whole record to read them
// from, and then there is no frame to make.
std::optional<LightPrefixes> ReadPrefixes(const PF_InData* in_data) {
  PF_Handle handle = in_data->sequence_data;
  if (!handle || !HoldsWholeRecord(handle, in_data->utils->host_get_handle_size(handle))) {
    return std::nullopt;
  }
  LightPrefixes prefixes{};
  auto copy = [&prefixes](const auto* record) {
    CopyPrefix(prefixes.alpha, record->alpha_prefix);
    CopyPrefix(prefixes.specular, record->specular_prefix);
    CopyPrefix(prefixes.diffuse, record->diffuse_prefix);
  };
  const auto* seq = static_cast<const SequenceData*>(*handle);
  // A record still in its stored form carries its prefixes inline.
  if (seq->flattened) {
    copy(static_cast<const FlatSequenceData*>(*handle));
  } else {
    copy(seq);
  }
  return prefixes;
}

// Lighting needs normals; the texture only shows in the full mode.
FrameConstants FrameConstantsFor(const PreRenderData& p, const FrameLayers& layers) {
  FrameConstants f{};
  f.mode = p.RENDER_MODE;
  f.two_d = IsTwoDMode(f.mode);
  f.data = IsDataMode(f.mode);
  float bias = p.FALLOFF_BIAS;
  if (!(bias == bias)) bias = 0.0f;
  bias = bias < -1.0f ? -1.0f : (bias > 1.0f ? 1.0f : bias);
  f.falloff_bias = bias * kFalloffBiasScale;
  const bool normals = layers.has(kLayerNormal);
  f.diffuse = p.DIFFUSE_LIGHTS && normals;
  f.specular = p.SPECULAR_LIGHTS && normals;
  f.alpha_normal = p.ALPHA_NORMAL && normals;
  A_long exponent = p.RELATIVE_NORMALS ? p.SPECULAR_SHININESS : p.SPECULAR_SHININESS - 1;
  f.specular_exponent = static_cast<uint16_t>(exponent < 0 ? 0 : exponent);
  f.texture = layers.has(kLayerTexture) && f.mode == kRenderModeFull;
  return f;
}

// The layer's size at this downsampling (the quotients in single precision, as the host sizes
// the layer's worlds).
std::pair<A_long, A_long> LayerSize(const PF_InData* in_data, const PreRenderData& p) {
  const auto ceil = in_data->utils->ansi.ceil;
  const float qx =
      (float)p.layer_width / (float)(p.downsample_factor_x ? p.downsample_factor_x : 1);
  const float qy =
      (float)p.layer_height / (float)(p.downsample_factor_y ? p.downsample_factor_y : 1);
  return {static_cast<A_long>(ceil(qx)), static_cast<A_long>(ceil(qy))};
}

// The floor grid over the finished output, seen through the frame's camera.
PF_Err DrawFloorGrid(const StageHost& host, const FrameSettings& frame, PF_EffectWorld* output) {
  const PreRenderData& p = *frame.pre;
  const A_long g = p.GRID_SIZE;
  const A_long n = p.GRID_SUBDIVIDE < 1 ? 1 : p.GRID_SUBDIVIDE;
  const Vec3 o{p.GRID_POSITION_X, p.GRID_POSITION_Y, p.GRID_POSITION_Z};
  const GridView view{g,
                      kDrawnLeft,
                      kDrawnTop,
                      static_cast<A_long>(p.downsample_factor_x),
                      static_cast<A_long>(p.downsample_factor_y),
                      2};
  const GridCamera camera{frame.camera.matrix, frame.camera.orthographic, frame.camera.zoom};
  const GridSuites suites{host.suites.world, host.suites.fill, host.suites.transform};
  const float gf = (float)g;
  auto line = [&](int k) { return -gf + 2.0f * gf * (float)k / (float)n; };
  PF_Err err = PF_Err_NONE;
  for (int pass = 0; pass < 2 && !err; ++pass) {
    for (A_long i = 0; i <= n && !err; ++i) {
      const float t = line(i);
      Vec3 a = pass == 0 ? Vec3{-gf, 0.0f, t} : Vec3{t, 0.0f, -gf};
      Vec3 b = pass == 0 ? Vec3{gf, 0.0f, t} : Vec3{t, 0.0f, gf};
      a = a + o;
      b = b + o;
      err = DrawGridSegment(host.in_data, view, a, b, camera, output, suites, frame.format);
    }
  }
  if (!err) err = PF_ABORT(host.in_data);
  return err;
}

// Makes one owner per layer control.
template <size_t... I>
std::array<ParamCheckout, sizeof...(I)> LayerCheckouts(PF_InData* in_data,
                                                       std::index_sequence<I...>) {
  return {(static_cast<void>(I), ParamCheckout(in_data))...};
}

// One smart-render call. The members below the settings are what the call holds of the host's;
// each owner gives its resource back if the call ends early, and release() hands everything back
// in the host's order with the first error kept. The frame's settings are filled in while the
// frame is set up and only read by the stages after that.
class SmartRenderCall {
 public:
  SmartRenderCall(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra,
                  SuiteHandler& suites)
      : in_(in_data),
        out_(out_data),
        extra_(extra),
        suites_(suites),
        input_(in_data->effect_ref, extra ? extra->cb : nullptr, 0),
        layers_(LayerCheckouts(in_data, std::make_index_sequence<kRenderLayerCount>())) {
    host_.in_data = in_data;
    frame_.place.in_data = in_data;
  }

  PF_Err run() {
    if (!lockRecords()) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    // A suite the SuiteHandler cannot supply throws; everything checked out so far is still
    // handed back, in the host's order and with its errors kept, before the error goes on.
    bool thrown = false;
    try {
      render();
    } catch (const HostError& e) {
      thrown = true;
      keep(e.code());
    }
    release();
    if (thrown) throw HostError(err_);
    return err_;
  }

 private:
  PF_Err abortCheck() { return PF_ABORT(in_); }
  void keep(PF_Err e) { KeepFirst(err_, e); }

  // The pre-render record, the plug-in ID and the light prefixes: without them there is no
  // frame to make, and nothing has been checked out yet.
  bool lockRecords() {
    if (extra_ && extra_->input)
      frame_.pre = static_cast<const PreRenderData*>(extra_->input->pre_render_data);
    if (in_->global_data && *in_->global_data) {
      frame_.place.plugin_id = static_cast<const GlobalData*>(*in_->global_data)->plugin_id;
    }
    if (!frame_.pre) return false;
    const std::optional<LightPrefixes> prefixes = ReadPrefixes(in_);
    if (!prefixes) return false;
    frame_.prefixes = *prefixes;
    return true;
  }

  void checkOut() {
    if (!err_) {
      err_ = input_.checkout(&input_world_);
      if (!err_) err_ = abortCheck();
    }
    if (!err_) err_ = extra_->cb->checkout_output(in_->effect_ref, &output_);
    if (!err_) err_ = abortCheck();
    for (int i = 0; i < kRenderLayerCount && !err_; ++i) {
      err_ = layers_[i].checkout(kRenderLayerParam[i], in_->current_time, in_->time_step,
                                 in_->time_scale);
      frame_.layers.put(static_cast<RenderLayer>(i),
                        layers_[i].held() ? &layers_[i].def().u.ld : nullptr);
      if (!err_) err_ = abortCheck();
    }
    frame_.frame = FrameConstantsFor(*frame_.pre, frame_.layers);
  }

  void acquireSuites() {
    if (err_) return;
    world_suite_.emplace(in_, out_, kPFWorldSuite, kPFWorldSuiteVersion2, kWorldSuiteMessage,
                         kReleaseMessage);
    err_ = world_suite_->err();
    if (!err_) {
      fill_suite_.emplace(in_, out_, kPFFillMatteSuite, kPFFillMatteSuiteVersion2,
                          kFillSuiteMessage, kReleaseMessage);
      err_ = fill_suite_->err();
    }
    if (!err_) {
      app_suite_.emplace(in_, out_, kPFAppSuite, kPFAppSuiteVersion4, kSuiteMessage,
                         kReleaseMessage);
      err_ = app_suite_->err();
    }
    if (err_) return;
    host_.suites.world = world_suite_->get<PF_WorldSuite2>();
    host_.suites.fill = fill_suite_->get<PF_FillMatteSuite2>();
    host_.suites.app = app_suite_->get<PFAppSuite4>();
    err_ = host_.suites.world->PF_GetPixelFormat(input_world_, &frame_.format);
  }

  // The suites the stages use through the SuiteHandler.
  void stageSuites() {
    RenderSuites& s = host_.suites;
    s.transform = suites_.get<PF_WorldTransformSuite1>(kPFWorldTransformSuite,
                                                       kPFWorldTransformSuiteVersion1);
    s.iterate.iterate8 = suites_.get<PF_Iterate8Suite1>(kPFIterate8Suite, kPFIterate8SuiteVersion1);
    s.iterate.iterate16 =
        suites_.get<PF_iterate16Suite1>(kPFIterate16Suite, kPFIterate16SuiteVersion1);
    s.iterate.iterate_float =
        suites_.get<PF_iterateFloatSuite1>(kPFIterateFloatSuite, kPFIterateFloatSuiteVersion1);
    s.memory = suites_.get<AEGP_MemorySuite1>(kAEGPMemorySuite, kAEGPMemorySuiteVersion1);
  }

  // False when the effect sits in no composition (the input was passed through).
  bool findPlace() {
    const auto* pfi =
        suites_.get<AEGP_PFInterfaceSuite1>(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1);
    const auto* layers = suites_.get<AEGP_LayerSuite5>(kAEGPLayerSuite, kAEGPLayerSuiteVersion5);
    EffectPlace& place = frame_.place;
    AEGP_LayerH effect_layer = nullptr;  // null outside a composition
    if (!err_) {
      err_ = pfi->AEGP_ConvertEffectToCompTime(in_->effect_ref, in_->current_time, in_->time_scale,
                                               &place.comp_time);
    }
    if (!err_)
      err_ = pfi->AEGP_GetEffectCamera(in_->effect_ref, &place.comp_time, &frame_.camera_layer);
    if (!err_) err_ = pfi->AEGP_GetEffectLayer(in_->effect_ref, &effect_layer);
    if (!err_ && effect_layer) {
      err_ = layers->AEGP_GetLayerParentComp(effect_layer, &place.comp);
      if (!err_) err_ = layers->AEGP_GetLayerIndex(effect_layer, &frame_.effect_layer_index);
      if (!err_ && frame_.effect_layer_index < 0) err_ = PF_Err_BAD_CALLBACK_PARAM;
    }
    if (err_ || place.comp) return !err_;
    // Outside any composition the layer passes through unchanged.
    const A_short left = (A_short)-in_->output_origin_x;
    const A_short top = (A_short)-in_->output_origin_y;
    PF_Rect pass{left, top, (A_short)(left + output_->width), (A_short)(top + output_->height)};
    err_ = in_->utils->copy(in_->effect_ref, input_world_, output_, &pass, nullptr);
    return false;
  }

  // Refuses a grid that cannot be counted in 16 bits or whose cache does not fit the
  // host's 32-bit block size, naming the resolution that asked for it.
  bool sizeGrid() {
    const PreRenderData& p = *frame_.pre;
    const PF_EffectWorld* src = frame_.layers.world(kLayerSource);
    const PF_EffectWorld* pos = frame_.layers.world(kLayerPosition);
    const std::optional<SampleGrid> grid =
        SizeSampleGrid(src->width, src->height, pos->width, pos->height, p.RESOLUTION);
    if (grid && PixelCacheBytes(*grid)) {
      frame_.grid = *grid;
      return true;
    }
    err_ = PF_Err_OUT_OF_MEMORY;
    const double w = (src->width > pos->width ? src->width : pos->width) * p.RESOLUTION;
    const double h = (src->height > pos->height ? src->height : pos->height) * p.RESOLUTION;
    out_->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    in_->utils->ansi.sprintf(out_->return_msg,
                             "Motefield: a sample grid of %.0f x %.0f points at %g%% resolution "
                             "is too large for the pixel cache. Reduce the resolution.",
                             std::isfinite(w) ? std::trunc(w) : 0.0,
                             std::isfinite(h) ? std::trunc(h) : 0.0, p.RESOLUTION * 100.0);
    return false;
  }

  // Cloud, sort, drawing. The block holds a depth entry per sample, then a record per sample in
  // the frame's layout; the walk hands the sort its points and the sort hands the drawing their
  // order. Without the block there are no points: an empty frame would pass for a finished one,
  // so the host hears of the shortage instead and the output is left alone.
  void cloud() {
    const FrameSettings& frame = frame_;
    const AEGP_MemorySuite1* mem = host_.suites.memory;
    const PointLayout layout = CloudPointLayout(frame);
    MemoryBlock block(mem);
    err_ = mem->AEGP_NewMemHandle(frame.place.plugin_id, kPixelCacheName,
                                  *PixelCacheBytes(frame.grid, layout.stride()), AEGP_MemFlag_NONE,
                                  block.out());
    if (!err_ && !block.get()) err_ = PF_Err_OUT_OF_MEMORY;
    if (err_) return;
    MemoryLock lock(mem, block.get());
    if (!lock.data()) err_ = PF_Err_OUT_OF_MEMORY;
    if (lock.data()) {
      auto* depths = static_cast<uint64_t*>(lock.data());
      const std::size_t samples = (std::size_t)frame.grid.width * (std::size_t)frame.grid.height;
      CloudPoints cloud{PointStore(depths + samples, depths, layout)};
      err_ = BuildPointCloud(in_, frame, &cloud);
      point_count_ = cloud.count;
      if (!err_) {
        const uint32_t* order = CloudDrawOrder(depths, cloud.count);
        err_ = DrawCloudPoints(host_, frame, cloud, order, canvas_->get());
      }
    }
    keep(lock.release());
    keep(block.release());
  }

  PF_Err copyWorld(PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r, PF_Rect* dst_r) {
    const PF_WorldTransformSuite1* t = host_.suites.transform;
    return in_->quality == PF_Quality_HI ? t->copy_hq(in_->effect_ref, src, dst, src_r, dst_r)
                                         : t->copy(in_->effect_ref, src, dst, src_r, dst_r);
  }

  void copyToOutput() {
    if (err_) return;
    PF_EffectWorld* canvas = canvas_->get();
    if (!frame_.frame.two_d) {
      err_ = copyWorld(canvas, output_, nullptr, nullptr);
      return;
    }
    const A_short left = (A_short)kDrawnLeft;
    const A_short top = (A_short)kDrawnTop;
    PF_Rect r{left, top, left + output_->width, top + output_->height};
    if (frame_.grid.width == output_->width && frame_.grid.height == output_->height) {
      err_ = copyWorld(canvas, output_, &r, nullptr);
      return;
    }
    // The grid-sized canvas is scaled back to the layer's size at this downsampling first.
    const auto [w, h] = LayerSize(in_, *frame_.pre);
    OwnedWorld layer(host_.suites.world, in_->effect_ref);
    err_ = layer.make(w, h, frame_.format);
    if (err_) return;
    err_ = copyWorld(canvas, layer.get(), nullptr, nullptr);
    if (!err_) err_ = copyWorld(layer.get(), output_, &r, nullptr);
    if (!err_) err_ = abortCheck();
    keep(layer.release());
  }

  // The Info panel shows the count only in the interactive application, not a render engine.
  void reportCount() {
    if (err_ || !host_.suites.app) return;
    PF_Boolean render_engine = true;
    if (host_.suites.app->PF_IsRenderEngine(&render_engine) != PF_Err_NONE || render_engine) return;
    SingleSuite adv(in_, out_, kPFAdvAppSuite, kPFAdvAppSuiteVersion2, kSuiteMessage,
                    kReleaseMessage);
    err_ = adv.err();
    if (err_) return;
    char count[32];
    in_->utils->ansi.sprintf(count, "%d", (int)point_count_);
    err_ = adv.get<PF_AdvAppSuite2>()->PF_InfoDrawText(kPointCountLabel, count);
    keep(adv.release());
  }

  void render() {
    SeedRandom(static_cast<uint32_t>(frame_.pre->SCATTER_RANDOM_SEED));
    checkOut();
    acquireSuites();
    if (err_) return;
    if (!findPlace() || err_) return;
    if (!drawWholeLayer()) return;
    drawLayer();
    deliverPart();
  }

  // The host may ask for a part of the layer only: a region of interest, a tile, the bounds of a
  // mask. The output then sits where the input's checked-out result sits, moved by the output
  // origin. Every point may land anywhere, and stamps, their size limit and grid lines depend on
  // the whole layer, so such a part is drawn as the whole layer into a world of its own and the
  // part copied out at the end; a part never differs from the same pixels of the whole frame.
  bool drawWholeLayer() {
    const A_long left = frame_.pre->input_origin_x - in_->output_origin_x;
    const A_long top = frame_.pre->input_origin_y - in_->output_origin_y;
    const auto [w, h] = LayerSize(in_, *frame_.pre);
    if (left == 0 && top == 0 && output_->width == w && output_->height == h) return true;
    whole_.emplace(host_.suites.world, in_->effect_ref);
    err_ = whole_->make(w, h, frame_.format);
    if (err_) return false;
    part_ = output_;
    part_x_ = left;
    part_y_ = top;
    output_ = whole_->get();
    return true;
  }

  // Copies the part the host asked for out of the whole layer, unless an error stands.
  void deliverPart() {
    if (!part_) return;
    if (!err_) {
      PF_Rect r{(A_short)part_x_, (A_short)part_y_, (A_short)(part_x_ + part_->width),
                (A_short)(part_y_ + part_->height)};
      err_ = copyWorld(whole_->get(), part_, &r, nullptr);
    }
    output_ = part_;
    part_ = nullptr;
    keep(whole_->release());
  }

  void drawLayer() {
    err_ = SetUpRenderCamera(suites_, in_->effect_ref, frame_.place.comp_time, frame_.camera_layer,
                             *frame_.pre, &frame_.camera);
    if (err_) return;
    frame_.transforms = BuildFixedTransforms(*frame_.pre);
    // Without a camera that sees anything, or without the two passes every point needs, the
    // frame is empty.
    if (!(frame_.camera.zoom > 0.0) || !frame_.layers.has(kLayerSource) ||
        !frame_.layers.has(kLayerPosition)) {
      err_ = in_->utils->fill(in_->effect_ref, nullptr, nullptr, output_);
      return;
    }
    if (!sizeGrid()) return;
    stageSuites();

    // The 2D modes stamp each sample at its own place, on a canvas the size of the grid.
    const A_long cw = frame_.frame.two_d ? frame_.grid.width : output_->width;
    const A_long ch = frame_.frame.two_d ? frame_.grid.height : output_->height;
    canvas_.emplace(host_.suites.world, in_->effect_ref);
    err_ = canvas_->make(cw, ch, frame_.format);
    if (!err_) err_ = abortCheck();
    if (!err_) err_ = PrepareStampSetup(suites_, frame_, &frame_.stamp);
    if (!err_) collectLights();
    if (!err_) {
      prepareProjection();
      cloud();
      copyToOutput();
      reportCount();
    }
    if (!err_ && frame_.pre->ENABLE_GRID) err_ = DrawFloorGrid(host_, frame_, output_);
    keep(canvas_->release());
  }

  // Collection itself leaves the list empty when no relight switch is on or the mode is a data
  // mode, which is not lit.
  void collectLights() {
    err_ = CollectSceneLights(suites_, frame_, lights_.out(), &frame_.light_switches);
    frame_.lights = lights_.get();
  }

  void prepareProjection() {
    const A_long width = output_->width, height = output_->height;
    frame_.projection = MakeProjectionConstants(*frame_.pre, frame_.camera, width, height);
    frame_.projection.origin_x = kDrawnLeft;
    frame_.projection.origin_y = kDrawnTop;
    frame_.stamp.half_output = static_cast<float>(width < height ? width : height) / 2.0f;
    const StampOffset base = StampOffsetFor(frame_.projection.base_stamp_size);
    frame_.stamp.base_left_offset = base.left;
    frame_.stamp.base_top_offset = base.top;
    frame_.point = PreparePointSettings(*frame_.pre, frame_.transforms, frame_.frame);
  }

  // Hands everything back in the host's order, each release attempted whatever happened before;
  // on a thrown error this is also the clean-up of what the stages left behind.
  void release() {
    if (canvas_) keep(canvas_->release());
    if (whole_) keep(whole_->release());
    if (!err_) err_ = abortCheck();
    if (app_suite_) keep(app_suite_->release());
    if (fill_suite_) keep(fill_suite_->release());
    if (world_suite_) keep(world_suite_->release());
    for (RenderLayer which : kCheckinOrder) keep(layers_[which].release());
    keep(input_.release());
  }

  PF_InData* in_;
  PF_OutData* out_;
  PF_SmartRenderExtra* extra_;
  SuiteHandler& suites_;
  PF_Err err_ = PF_Err_NONE;
  FrameSettings frame_{};
  StageHost host_{};
  A_long point_count_ = 0;

  LayerPixelsCheckout input_;
  std::array<ParamCheckout, kRenderLayerCount> layers_;
  PF_EffectWorld* input_world_ = nullptr;
  PF_EffectWorld* output_ = nullptr;
  std::optional<SingleSuite> world_suite_, fill_suite_, app_suite_;
  SceneLightArray lights_;
  std::optional<OwnedWorld> canvas_;
  // When the host asked for a part of the layer, the whole layer is drawn into whole_ and the
  // part (at part_x_, part_y_ in it) copied out into the host's output, part_.
  std::optional<OwnedWorld> whole_;
  PF_EffectWorld* part_ = nullptr;
  A_long part_x_ = 0, part_y_ = 0;
};

}  // namespace

PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra) {
  SuiteHandler suites(in_data->pica_basicP);
  return SmartRenderCall(in_data, out_data, extra, suites).run();
}

}  // namespace mf
