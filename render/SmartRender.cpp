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
#include "render/RenderContext.h"
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

// Makes one owner per layer control, each checking out into the context's record of it.
template <size_t... I>
std::array<ParamCheckout, sizeof...(I)> LayerCheckouts(PF_InData* in_data, RenderContext& ctx,
                                                       std::index_sequence<I...>) {
  return {ParamCheckout(in_data, &ctx.layers[I].def)...};
}

class SmartRenderCall {
 public:
  SmartRenderCall(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra,
                  SuiteHandler& suites)
      : in_(in_data),
        out_(out_data),
        extra_(extra),
        suites_(suites),
        input_(in_data->effect_ref, extra ? extra->cb : nullptr, 0),
        layers_(LayerCheckouts(in_data, ctx_, std::make_index_sequence<kRenderLayerCount>())) {
    ctx_.in_data = in_data;
    ctx_.out_data = out_data;
    ctx_.suite_handler = &suites;
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
      ctx_.pre = static_cast<const PreRenderData*>(extra_->input->pre_render_data);
    if (in_->global_data && *in_->global_data) {
      ctx_.plugin_id = static_cast<const GlobalData*>(*in_->global_data)->plugin_id;
    }
    PF_Handle seq_handle = in_->sequence_data;
    if (!ctx_.pre || !seq_handle ||
        !HoldsWholeRecord(seq_handle, in_->utils->host_get_handle_size(seq_handle))) {
      return false;
    }
    const auto* seq = static_cast<const SequenceData*>(*seq_handle);
    if (seq->flattened) {
      // A record still in its stored form carries its prefixes inline.
      const auto* flat = static_cast<const FlatSequenceData*>(*seq_handle);
      CopyPrefix(ctx_.alpha_prefix, flat->alpha_prefix);
      CopyPrefix(ctx_.specular_prefix, flat->specular_prefix);
      CopyPrefix(ctx_.diffuse_prefix, flat->diffuse_prefix);
      return true;
    }
    if (!seq->alpha_prefix || !seq->specular_prefix || !seq->diffuse_prefix) return false;
    CopyPrefix(ctx_.alpha_prefix, seq->alpha_prefix);
    CopyPrefix(ctx_.specular_prefix, seq->specular_prefix);
    CopyPrefix(ctx_.diffuse_prefix, seq->diffuse_prefix);
    return true;
  }

  void frameConstants() {
    const PreRenderData& p = *ctx_.pre;
    FrameConstants& f = ctx_.frame;
    f.mode = p.RENDER_MODE;
    f.two_d = IsTwoDMode(f.mode);
    f.data = IsDataMode(f.mode);
    float bias = p.FALLOFF_BIAS;
    if (!(bias == bias)) bias = 0.0f;
    bias = bias < -1.0f ? -1.0f : (bias > 1.0f ? 1.0f : bias);
    f.falloff_bias = bias * kFalloffBiasScale;
    f.diffuse = p.DIFFUSE_LIGHTS;
    f.specular = p.SPECULAR_LIGHTS;
    f.alpha_normal = p.ALPHA_NORMAL;
    A_long exponent = p.RELATIVE_NORMALS ? p.SPECULAR_SHININESS : p.SPECULAR_SHININESS - 1;
    f.specular_exponent = (uint16_t)(exponent < 0 ? 0 : exponent);
    f.texture = false;
  }

  void checkOut() {
    if (!err_) {
      err_ = input_.checkout(&ctx_.input);
      if (!err_) err_ = abortCheck();
    }
    if (!err_) err_ = extra_->cb->checkout_output(in_->effect_ref, &ctx_.output);
    if (!err_) err_ = abortCheck();
    for (int i = 0; i < kRenderLayerCount && !err_; ++i) {
      err_ = layers_[i].checkout(kRenderLayerParam[i], in_->current_time, in_->time_step,
                                 in_->time_scale);
      ctx_.layers[i].present = layers_[i].held() && ctx_.layers[i].def.u.ld.data != nullptr;
      if (!err_) err_ = abortCheck();
    }
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
    ctx_.suites.world = world_suite_->get<PF_WorldSuite2>();
    ctx_.suites.fill = fill_suite_->get<PF_FillMatteSuite2>();
    ctx_.suites.app = app_suite_->get<PFAppSuite4>();
    err_ = ctx_.suites.world->PF_GetPixelFormat(ctx_.input, &ctx_.format);
  }

  // The suites the stages use through the SuiteHandler.
  void stageSuites() {
    RenderSuites& s = ctx_.suites;
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
    if (!err_) {
      err_ = pfi->AEGP_ConvertEffectToCompTime(in_->effect_ref, in_->current_time, in_->time_scale,
                                               &ctx_.comp_time);
    }
    if (!err_)
      err_ = pfi->AEGP_GetEffectCamera(in_->effect_ref, &ctx_.comp_time, &ctx_.camera_layer);
    if (!err_) err_ = pfi->AEGP_GetEffectLayer(in_->effect_ref, &ctx_.effect_layer);
    if (!err_ && ctx_.effect_layer) {
      err_ = layers->AEGP_GetLayerParentComp(ctx_.effect_layer, &ctx_.comp);
      if (!err_) err_ = layers->AEGP_GetLayerIndex(ctx_.effect_layer, &ctx_.effect_layer_index);
      if (!err_ && ctx_.effect_layer_index < 0) err_ = PF_Err_BAD_CALLBACK_PARAM;
    }
    if (err_ || ctx_.comp) return !err_;
    // Outside any composition the layer passes through unchanged.
    const A_short left = (A_short)-in_->output_origin_x;
    const A_short top = (A_short)-in_->output_origin_y;
    PF_Rect pass{left, top, (A_short)(left + ctx_.output->width),
                 (A_short)(top + ctx_.output->height)};
    err_ = in_->utils->copy(in_->effect_ref, ctx_.input, ctx_.output, &pass, nullptr);
    return false;
  }

  // Refuses a grid that cannot be counted in 16 bits or whose cache does not fit the
  // host's 32-bit block size, naming the resolution that asked for it.
  bool sizeGrid() {
    const PreRenderData& p = *ctx_.pre;
    const PF_EffectWorld* src = ctx_.layerWorld(kLayerSource);
    const PF_EffectWorld* pos = ctx_.layerWorld(kLayerPosition);
    const std::optional<SampleGrid> grid =
        SizeSampleGrid(src->width, src->height, pos->width, pos->height, p.RESOLUTION);
    if (grid && PixelCacheBytes(*grid)) {
      ctx_.grid = *grid;
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

  // Cache, cloud, sort, drawing. The block holds a depth entry per sample, then a record per
  // sample in the frame's layout. Without it there are no points: an empty frame would pass for a
  // finished one, so the host hears of the shortage instead and the output is left alone.
  void cloud() {
    const AEGP_MemorySuite1* mem = ctx_.suites.memory;
    const PointLayout layout = CloudPointLayout(ctx_);
    MemoryBlock block(mem);
    err_ = mem->AEGP_NewMemHandle(ctx_.plugin_id, kPixelCacheName,
                                  *PixelCacheBytes(ctx_.grid, layout.stride()), AEGP_MemFlag_NONE,
                                  block.out());
    if (!err_ && !block.get()) err_ = PF_Err_OUT_OF_MEMORY;
    if (err_) return;
    MemoryLock lock(mem, block.get());
    if (!lock.data()) err_ = PF_Err_OUT_OF_MEMORY;
    if (lock.data()) {
      auto* depths = static_cast<uint64_t*>(lock.data());
      const std::size_t samples = (std::size_t)ctx_.grid.width * (std::size_t)ctx_.grid.height;
      ctx_.points = PointStore(depths + samples, depths, layout);
      err_ = BuildPointCloud(ctx_);
      if (!err_) {
        ctx_.order = CloudDrawOrder(depths, ctx_.point_count);
        err_ = DrawCloudPoints(ctx_);
        ctx_.order = nullptr;
      }
      ctx_.points = PointStore();
    }
    keep(lock.release());
    keep(block.release());
  }

  PF_Err copyWorld(PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r, PF_Rect* dst_r) {
    const PF_WorldTransformSuite1* t = ctx_.suites.transform;
    return in_->quality == PF_Quality_HI ? t->copy_hq(in_->effect_ref, src, dst, src_r, dst_r)
                                         : t->copy(in_->effect_ref, src, dst, src_r, dst_r);
  }

  void copyToOutput() {
    if (err_) return;
    if (!ctx_.frame.two_d) {
      err_ = copyWorld(&ctx_.canvas, ctx_.output, nullptr, nullptr);
      return;
    }
    const A_short left = (A_short)kDrawnLeft;
    const A_short top = (A_short)kDrawnTop;
    PF_Rect r{left, top, left + ctx_.output->width, top + ctx_.output->height};
    if (ctx_.grid.width == ctx_.output->width && ctx_.grid.height == ctx_.output->height) {
      err_ = copyWorld(&ctx_.canvas, ctx_.output, &r, nullptr);
      return;
    }
    // The grid-sized canvas is scaled back to the layer's size at this downsampling first.
    const auto [w, h] = layerSize();
    OwnedWorld layer(ctx_.suites.world, in_->effect_ref);
    err_ = layer.make(w, h, ctx_.format);
    if (err_) return;
    err_ = copyWorld(&ctx_.canvas, layer.get(), nullptr, nullptr);
    if (!err_) err_ = copyWorld(layer.get(), ctx_.output, &r, nullptr);
    if (!err_) err_ = abortCheck();
    keep(layer.release());
  }

  // The Info panel shows the count only in the interactive application, not a render engine.
  void reportCount() {
    if (err_ || !ctx_.suites.app) return;
    PF_Boolean render_engine = true;
    if (ctx_.suites.app->PF_IsRenderEngine(&render_engine) != PF_Err_NONE || render_engine) return;
    SingleSuite adv(in_, out_, kPFAdvAppSuite, kPFAdvAppSuiteVersion2, kSuiteMessage,
                    kReleaseMessage);
    err_ = adv.err();
    if (err_) return;
    char count[32];
    in_->utils->ansi.sprintf(count, "%d", (int)ctx_.point_count);
    err_ = adv.get<PF_AdvAppSuite2>()->PF_InfoDrawText(kPointCountLabel, count);
    keep(adv.release());
  }

  void drawGrid() {
    const PreRenderData& p = *ctx_.pre;
    if (!err_ && p.ENABLE_GRID) {
      const A_long g = p.GRID_SIZE;
      const A_long n = p.GRID_SUBDIVIDE < 1 ? 1 : p.GRID_SUBDIVIDE;
      const Vec3 o{p.GRID_POSITION_X, p.GRID_POSITION_Y, p.GRID_POSITION_Z};
      const GridView view{g,
                          kDrawnLeft,
                          kDrawnTop,
                          static_cast<A_long>(p.downsample_factor_x),
                          static_cast<A_long>(p.downsample_factor_y),
                          2};
      const GridCamera camera{ctx_.camera.matrix, ctx_.camera.orthographic, ctx_.camera.zoom};
      const GridSuites suites{ctx_.suites.world, ctx_.suites.fill, ctx_.suites.transform};
      const float gf = (float)g;
      auto line = [&](int k) { return -gf + 2.0f * gf * (float)k / (float)n; };
      for (int pass = 0; pass < 2 && !err_; ++pass) {
        for (A_long i = 0; i <= n && !err_; ++i) {
          const float t = line(i);
          Vec3 a = pass == 0 ? Vec3{-gf, 0.0f, t} : Vec3{t, 0.0f, -gf};
          Vec3 b = pass == 0 ? Vec3{gf, 0.0f, t} : Vec3{t, 0.0f, gf};
          a = a + o;
          b = b + o;
          err_ = DrawGridSegment(in_, view, a, b, camera, ctx_.output, suites, ctx_.format);
        }
      }
      if (!err_) err_ = abortCheck();
    }
    if (canvas_) keep(canvas_->release());
  }

  void render() {
    const PreRenderData& p = *ctx_.pre;
    SeedRandom(static_cast<uint32_t>(p.SCATTER_RANDOM_SEED));
    frameConstants();
    checkOut();
    acquireSuites();
    if (err_) return;
    if (!findPlace() || err_) return;
    if (!drawWholeLayer()) return;
    drawLayer();
    deliverPart();
  }

  // The layer's size at this downsampling (the quotients in single precision, as the host sizes
  // the layer's worlds).
  std::pair<A_long, A_long> layerSize() const {
    const PreRenderData& p = *ctx_.pre;
    const auto ceil = in_->utils->ansi.ceil;
    const float qx =
        (float)p.layer_width / (float)(p.downsample_factor_x ? p.downsample_factor_x : 1);
    const float qy =
        (float)p.layer_height / (float)(p.downsample_factor_y ? p.downsample_factor_y : 1);
    return {static_cast<A_long>(ceil(qx)), static_cast<A_long>(ceil(qy))};
  }

  // The host may ask for a part of the layer only: a region of interest, a tile, the bounds of a
  // mask. The output then sits where the input's checked-out result sits, moved by the output
  // origin. Every point may land anywhere, and stamps, their size limit and grid lines depend on
  // the whole layer, so such a part is drawn as the whole layer into a world of its own and the
  // part copied out at the end; a part never differs from the same pixels of the whole frame.
  bool drawWholeLayer() {
    const A_long left = ctx_.pre->input_origin_x - in_->output_origin_x;
    const A_long top = ctx_.pre->input_origin_y - in_->output_origin_y;
    const auto [w, h] = layerSize();
    if (left == 0 && top == 0 && ctx_.output->width == w && ctx_.output->height == h) return true;
    whole_.emplace(ctx_.suites.world, in_->effect_ref);
    err_ = whole_->make(w, h, ctx_.format);
    if (err_) return false;
    part_ = ctx_.output;
    part_x_ = left;
    part_y_ = top;
    ctx_.output = whole_->get();
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
    ctx_.output = part_;
    part_ = nullptr;
    keep(whole_->release());
  }

  void drawLayer() {
    err_ = SetUpRenderCamera(ctx_, &ctx_.camera);
    if (err_) return;
    BuildFixedTransforms(ctx_);
    // Without a camera that sees anything, or without the two passes every point needs, the
    // frame is empty.
    if (!(ctx_.camera.zoom > 0.0) || !ctx_.has(kLayerSource) || !ctx_.has(kLayerPosition)) {
      err_ = in_->utils->fill(in_->effect_ref, nullptr, nullptr, ctx_.output);
      return;
    }
    if (!sizeGrid()) return;
    stageSuites();

    // The 2D modes stamp each sample at its own place, on a canvas the size of the grid.
    const A_long cw = ctx_.frame.two_d ? ctx_.grid.width : ctx_.output->width;
    const A_long ch = ctx_.frame.two_d ? ctx_.grid.height : ctx_.output->height;
    canvas_.emplace(ctx_.suites.world, in_->effect_ref, &ctx_.canvas);
    err_ = canvas_->make(cw, ch, ctx_.format);
    if (!err_) err_ = abortCheck();
    if (!err_) err_ = PrepareStampSetup(ctx_);
    if (!err_) prepareLighting();
    if (!err_) {
      prepareProjection();
      cloud();
      copyToOutput();
      reportCount();
    }
    FreeSceneLights(&ctx_.lights);
    drawGrid();
  }

  // Lighting needs normals; the texture only shows in the full mode; the data modes are not lit.
  void prepareLighting() {
    const PreRenderData& p = *ctx_.pre;
    if (!ctx_.has(kLayerNormal)) {
      ctx_.frame.diffuse = ctx_.frame.specular = ctx_.frame.alpha_normal = false;
    }
    ctx_.frame.texture = ctx_.has(kLayerTexture) && ctx_.frame.mode == kRenderModeFull;
    if ((p.DIFFUSE_LIGHTS || p.SPECULAR_LIGHTS || p.ALPHA_LIGHTS) && !ctx_.frame.data) {
      err_ = CollectSceneLights(ctx_);
    }
  }

  void prepareProjection() {
    const A_long width = ctx_.output->width, height = ctx_.output->height;
    ctx_.projection = MakeProjectionConstants(*ctx_.pre, ctx_.camera, width, height);
    ctx_.projection.origin_x = kDrawnLeft;
    ctx_.projection.origin_y = kDrawnTop;
    ctx_.stamp.half_output = static_cast<float>(width < height ? width : height) / 2.0f;
    const StampOffset base = StampOffsetFor(ctx_.projection.base_stamp_size);
    ctx_.stamp.base_left_offset = base.left;
    ctx_.stamp.base_top_offset = base.top;
    PreparePointSettings(ctx_);
  }

  // Hands everything back in the host's order, each release attempted whatever happened before;
  // on a thrown error this is also the clean-up of what the stages left behind.
  void release() {
    FreeSceneLights(&ctx_.lights);
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
  RenderContext ctx_{};
  PF_Err err_ = PF_Err_NONE;
  LayerPixelsCheckout input_;
  std::array<ParamCheckout, kRenderLayerCount> layers_;
  std::optional<SingleSuite> world_suite_, fill_suite_, app_suite_;
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
