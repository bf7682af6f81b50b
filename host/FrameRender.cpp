#include "host/FrameRender.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "host/Guarded.h"
#include "host/PixelTraits.h"
#include "host/Rects.h"
#include "host/Worlds.h"

namespace mf::host {
namespace {

volatile std::sig_atomic_t g_abort_requested = 0;

extern "C" void OnInterrupt(int) {
  g_abort_requested = 1;
}

Host& H() {
  return *Host::current();
}
EffectInstance* InstanceOf(PF_ProgPtr ref) {
  return reinterpret_cast<EffectInstance*>(ref);
}

PF_PixelFormat FormatForDepth(int bit_depth) {
  switch (bit_depth) {
    case 8:
      return PF_PixelFormat_ARGB32;
    case 16:
      return PF_PixelFormat_ARGB64;
    case 32:
      return PF_PixelFormat_ARGB128;
    default:
      return PF_PixelFormat_INVALID;
  }
}

int ScaledDown(int size, int factor) {
  return (size + factor - 1) / factor;
}

// Nearest sampling when scaling down: each world pixel takes the layer pixel at its top-left
// corner, so a position pass keeps positions that exist in it rather than blends of them.
template <typename Pixel>
void ConvertImage(const LayerImage& image, int factor, PF_EffectWorld& world) {
  for (A_long y = 0; y < world.height; ++y) {
    const float* row = image.rgba.data() + (size_t)y * factor * image.width * 4;
    Pixel* out = PixelAt<Pixel>(world, 0, y);
    for (A_long x = 0; x < world.width; ++x) {
      const float* p = row + (size_t)x * factor * 4;
      out[x].alpha = FromUnit<Pixel>(p[3]);
      out[x].red = FromUnit<Pixel>(p[0]);
      out[x].green = FromUnit<Pixel>(p[1]);
      out[x].blue = FromUnit<Pixel>(p[2]);
    }
  }
}

// Whether an 8- or 16-bit world would have to clamp any of the image's values.
bool OutsideUnitRange(const LayerImage& image) {
  for (float v : image.rgba)
    if (!(v >= 0.0f && v <= 1.0f)) return true;
  return false;
}

PF_LRect RectOf(const PF_EffectWorld* world) {
  if (!world) return PF_LRect{0, 0, 0, 0};
  return PF_LRect{0, 0, world->width, world->height};
}

// Rectangles are half-open; an empty overlap is {0, 0, 0, 0}.
PF_LRect Overlap(const PF_LRect& a, const PF_LRect& b) {
  const PF_LRect r = Intersect(a, b);
  return IsEmpty(r) ? PF_LRect{0, 0, 0, 0} : r;
}

// The world behind a checkout: index 0 is the input layer, any other index a layer control.
PF_Err WorldOfCheckout(FrameServices& frames, EffectInstance& instance, PF_ParamIndex index,
                       int frame, PF_EffectWorld** world) {
  *world = nullptr;
  if (index == 0) {
    *world = frames.inputWorld(frame);
  } else {
    if (index < 0 || index >= (PF_ParamIndex)instance.params.size() ||
        instance.params[index].param_type != PF_Param_LAYER)
      return PF_Err_BAD_CALLBACK_PARAM;
    intptr_t chosen = reinterpret_cast<intptr_t>(instance.params[index].u.ld.reserved0);
    if (chosen > 0) *world = frames.layerWorld(static_cast<int>(chosen - 1), frame);
  }
  return frames.failure().empty() ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
}

// ---- pre-render callbacks --------------------------------------------------------------------
PF_Err CheckoutLayer(PF_ProgPtr ref, PF_ParamIndex index, A_long checkout_id,
                     const PF_RenderRequest* req, A_long what_time, A_long, A_u_long time_scale,
                     PF_CheckoutResult* result) {
  EffectInstance* instance = InstanceOf(ref);
  if (!instance || !req || !result) return PF_Err_BAD_CALLBACK_PARAM;
  FrameServices& frames = H().frames();
  int frame = frames.compFrameAt(what_time, time_scale);
  PF_EffectWorld* world = nullptr;
  PF_Err err = WorldOfCheckout(frames, *instance, index, frame, &world);
  if (err) return err;
  std::memset(result, 0, sizeof(*result));
  // A mask on the effect's layer crops what the layer can ever yield, and so the request.
  result->max_result_rect = RectOf(world);
  const std::optional<PF_LRect>& mask = frames.request().mask;
  if (index == 0 && mask) result->max_result_rect = Overlap(result->max_result_rect, *mask);
  result->result_rect = Overlap(req->rect, result->max_result_rect);
  result->par = PF_RationalScale{1, 1};
  const int factor = frames.request().downsample;
  result->ref_width = world ? world->width * factor : 0;
  result->ref_height = world ? world->height * factor : 0;
  if (index == 0) {
    result->ref_width = frames.inputWidth();
    result->ref_height = frames.inputHeight();
  }
  frames.checkouts()[checkout_id] = FrameServices::Checkout{index, frame, result->result_rect};
  return PF_Err_NONE;
}

// What the effect mixes in becomes part of the key the frame is cached under.
PF_Err GuidMixIn(PF_ProgPtr, A_u_long size, const void* bytes) {
  if (size && !bytes) return PF_Err_BAD_CALLBACK_PARAM;
  if (size) H().frames().cacheMix().append(static_cast<const char*>(bytes), size);
  return PF_Err_NONE;
}

// ---- smart-render callbacks ------------------------------------------------------------------
PF_Err CheckoutLayerPixels(PF_ProgPtr ref, A_long checkout_id, PF_EffectWorld** pixels) {
  EffectInstance* instance = InstanceOf(ref);
  if (!instance || !pixels) return PF_Err_BAD_CALLBACK_PARAM;
  FrameServices& frames = H().frames();
  auto it = frames.checkouts().find(checkout_id);
  if (it == frames.checkouts().end()) return PF_Err_BAD_CALLBACK_PARAM;  // never checked out
  FrameServices::Checkout& checkout = it->second;
  PF_EffectWorld* world = nullptr;
  PF_Err err = WorldOfCheckout(frames, *instance, checkout.index, checkout.frame, &world);
  if (err || !world) return err;
  // The pixels of the checkout's result only, as the real host hands them over: the world's
  // top-left pixel is the result's top-left, so an effect that takes the input for the whole
  // layer reads the wrong place.
  const PF_LRect r = Overlap(checkout.result, RectOf(world));
  auto* first = reinterpret_cast<char*>(world->data) + (size_t)r.top * world->rowbytes +
                (size_t)r.left * BytesPerPixel(*FormatOf(*world));
  DescribeWorld(first, world->rowbytes, r.right - r.left, r.bottom - r.top, *FormatOf(*world),
                &checkout.view);
  checkout.pixels_out = true;
  *pixels = &checkout.view;
  return PF_Err_NONE;
}

PF_Err CheckinLayerPixels(PF_ProgPtr, A_long checkout_id) {
  FrameServices& frames = H().frames();
  auto it = frames.checkouts().find(checkout_id);
  if (it == frames.checkouts().end() || !it->second.pixels_out) return PF_Err_BAD_CALLBACK_PARAM;
  it->second.pixels_out = false;
  return PF_Err_NONE;
}

PF_Err CheckoutOutput(PF_ProgPtr, PF_EffectWorld** output) {
  if (!output) return PF_Err_BAD_CALLBACK_PARAM;
  Frame& frame = H().frames().output();
  *output = frame.empty() ? nullptr : &frame.world;
  return frame.empty() ? PF_Err_BAD_CALLBACK_PARAM : PF_Err_NONE;
}

// The real host hands the effect an output world with whatever its pool held last (the guide's
// "SmartFX" section promises no contents), so the stand-in fills it with a pattern an effect
// could never mean: bytes of 0xA5, a bright opaque-looking colour at 8 and 16 bits and a tiny
// negative value at 32. An effect that leaves pixels unwritten shows it in every frame test.
void FillWithPattern(PF_EffectWorld& world) {
  std::memset(world.data, kUnwrittenOutputByte, static_cast<size_t>(world.rowbytes) * world.height);
}

Frame CopyFrame(const Frame& frame) {
  Frame copy;
  if (frame.empty()) return copy;
  const PF_EffectWorld& w = frame.world;
  if (MakeWorld(w.width, w.height, frame.format, false, &copy.world)) return copy;
  copy.format = frame.format;
  copy.left = frame.left;
  copy.top = frame.top;
  for (A_long y = 0; y < w.height; ++y) {
    std::memcpy(reinterpret_cast<char*>(copy.world.data) + (size_t)y * copy.world.rowbytes,
                reinterpret_cast<const char*>(w.data) + (size_t)y * w.rowbytes,
                std::min(copy.world.rowbytes, w.rowbytes));
  }
  return copy;
}

// What one pre-render handed over. Pre-render data belongs to the host once the command returns
// (the guide's "SmartFX" section): the host may pre-render any number of times before one render,
// or never render, and releases every record with the effect's delete function, or with the C
// library's free when none was given. A host handle handed over without a function is a record
// the real host would free with the wrong routine; it is reported and disposed of as a handle.
class PreRenderRecord {
 public:
  explicit PreRenderRecord(Host& host) : host_(host) {}
  ~PreRenderRecord() { release(); }
  PreRenderRecord(const PreRenderRecord&) = delete;
  PreRenderRecord& operator=(const PreRenderRecord&) = delete;

  PF_PreRenderOutput output{};

  void release() {
    void* data = output.pre_render_data;
    output.pre_render_data = nullptr;
    if (!data) return;
    host_.countPreRenderRecord(false);
    if (output.delete_pre_render_data_func) {
      output.delete_pre_render_data_func(data);
      return;
    }
    auto handle = static_cast<PF_Handle>(data);
    if (host_.handles().owns(handle)) {
      host_.violations().report(
          "pre-render data is a host handle with no delete function: the host would free() it");
      host_.handles().dispose(handle);
      return;
    }
    std::free(data);
  }

 private:
  Host& host_;
};

// Sends smart pre-render for the frame's full output into record.
PF_Err PreRender(EffectInstance& instance, PF_PreRenderInput& input, PreRenderRecord& record) {
  PF_PreRenderCallbacks callbacks{Guarded<CheckoutLayer, "cb.checkout_layer">, Guarded<GuidMixIn>};
  PF_PreRenderExtra extra{&input, &record.output, &callbacks};
  H().frames().cacheMix().clear();
  PF_Err err = H().sendToRender(PF_Cmd_SMART_PRE_RENDER, instance, &extra);
  if (record.output.pre_render_data) H().countPreRenderRecord(true);
  return err;
}

}  // namespace

// ---- frames ----------------------------------------------------------------------------------
Frame::~Frame() {
  reset();
}
Frame::Frame(Frame&& other) noexcept
    : world(other.world), format(other.format), left(other.left), top(other.top) {
  other.world = PF_EffectWorld{};
  other.format = PF_PixelFormat_INVALID;
  other.left = other.top = 0;
}
Frame& Frame::operator=(Frame&& other) noexcept {
  if (this != &other) {
    reset();
    world = other.world;
    format = other.format;
    left = other.left;
    top = other.top;
    other.world = PF_EffectWorld{};
    other.format = PF_PixelFormat_INVALID;
    other.left = other.top = 0;
  }
  return *this;
}
void Frame::reset() {
  if (world.data) FreeWorld(&world);
  world = PF_EffectWorld{};
  format = PF_PixelFormat_INVALID;
  left = top = 0;
}

// ---- time and keyframes ----------------------------------------------------------------------
double EvaluateKeyframes(const std::vector<std::pair<double, double>>& keys, double seconds) {
  if (keys.empty()) return 0;
  if (seconds <= keys.front().first) return keys.front().second;
  if (seconds >= keys.back().first) return keys.back().second;
  for (size_t i = 0; i + 1 < keys.size(); ++i) {
    const auto& [t0, v0] = keys[i];
    const auto& [t1, v1] = keys[i + 1];
    if (seconds < t1) return v0 + (v1 - v0) * ((seconds - t0) / (t1 - t0));
  }
  return keys.back().second;
}

TimeBase TimeBaseFor(double frame_rate) {
  if (!(frame_rate > 0)) return TimeBase{24, 1};
  double whole = std::round(frame_rate);
  if (std::fabs(frame_rate - whole) < 1e-9 && whole <= 1e6)
    return TimeBase{static_cast<A_u_long>(whole), 1};
  return TimeBase{static_cast<A_u_long>(std::lround(std::min(frame_rate, 1e6) * 1000.0)), 1000};
}

int FrameAtTime(A_long what_time, A_u_long time_scale, double frame_rate) {
  if (time_scale == 0) return 0;
  double frames = static_cast<double>(what_time) / time_scale * frame_rate;
  // A small allowance, so that a time made from a frame number lands on that frame.
  double f = std::floor(frames + 1e-6);
  return static_cast<int>(std::clamp(f, -1e9, 1e9));
}

PF_Err CheckoutParamAt(EffectInstance& instance, PF_ParamIndex index, A_long what_time, A_long,
                       A_u_long time_scale, PF_ParamDef* param) {
  *param = instance.params[index];
  const double seconds = time_scale ? static_cast<double>(what_time) / time_scale : 0.0;
  auto keys = instance.keyframes.find(index);
  if (keys != instance.keyframes.end() && !keys->second.empty()) {
    double v = EvaluateKeyframes(keys->second, seconds);
    if (param->param_type == PF_Param_FLOAT_SLIDER) {
      param->u.fs_d.value =
          std::clamp(v, (double)param->u.fs_d.valid_min, (double)param->u.fs_d.valid_max);
    } else if (param->param_type == PF_Param_ANGLE) {
      // 16.16 fixed-point degrees hold ±32767°.
      param->u.ad.value =
          static_cast<PF_Fixed>(std::lround(std::clamp(v, -32767.0, 32767.0) * 65536.0));
    }
  }
  if (param->param_type == PF_Param_LAYER) {
    intptr_t chosen = reinterpret_cast<intptr_t>(param->u.ld.reserved0);
    if (chosen > 0) {
      FrameServices& frames = H().frames();
      int frame = frames.compFrameAt(what_time, time_scale);
      PF_EffectWorld* world = frames.layerWorld(static_cast<int>(chosen - 1), frame);
      if (!frames.failure().empty()) return PF_Err_BAD_CALLBACK_PARAM;
      void* marker = param->u.ld.reserved0;
      A_long dephault = param->u.ld.dephault;
      if (world) param->u.ld = *world;
      param->u.ld.reserved0 = marker;
      param->u.ld.dephault = dephault;
    }
  }
  return PF_Err_NONE;
}

// ---- abort -----------------------------------------------------------------------------------
void InstallInterruptHandler() {
  std::signal(SIGINT, OnInterrupt);
}
void RequestAbort() {
  g_abort_requested = 1;
}
void ClearAbort() {
  g_abort_requested = 0;
}
bool AbortRequested() {
  return g_abort_requested != 0;
}

// ---- per-host frame state --------------------------------------------------------------------
FrameServices::~FrameServices() {
  end();
}

void FrameServices::begin(const FrameRequest& request) {
  end();
  request_ = request;
  layer_offset_ = 0;
  failure_.clear();
  input_width_ = input_height_ = 0;
}

void FrameServices::end() {
  worlds_.clear();
  checkouts_.clear();
  output_.reset();
  output_rect_ = PF_LRect{0, 0, 0, 0};
}

PF_LRect FrameServices::inputPlace() const {
  for (const auto& [id, checkout] : checkouts_)
    if (checkout.index == 0) return checkout.result;
  return PF_LRect{0, 0, 0, 0};
}

int FrameServices::compFrameAt(A_long what_time, A_u_long time_scale) const {
  const double ticks = static_cast<double>(what_time) + std::round(layer_offset_ * time_scale);
  return FrameAtTime(static_cast<A_long>(std::clamp(ticks, -2147483647.0, 2147483647.0)),
                     time_scale, request_.frame_rate);
}

FrameServices::LayerWorld* FrameServices::findOrMake(int layer, int frame) {
  auto key = std::make_pair(layer, frame);
  auto it = worlds_.find(key);
  if (it != worlds_.end()) return it->second.get();

  const PF_PixelFormat format = FormatForDepth(request_.bit_depth);
  const int factor = std::max(1, request_.downsample);
  auto made = std::make_unique<LayerWorld>();
  std::shared_ptr<const LayerImage> image;
  if (layer >= 0 && source_) {
    try {
      image = source_->image(layer, frame);
    } catch (const std::exception& e) {
      fail(e.what());
      return nullptr;
    }
  }
  if (image) {
    if (image->width <= 0 || image->height <= 0 ||
        image->rgba.size() < (size_t)image->width * image->height * 4) {
      fail("layer " + std::to_string(layer) + ": the image has no pixels");
      return nullptr;
    }
    PF_Err err = MakeWorld(ScaledDown(image->width, factor), ScaledDown(image->height, factor),
                           format, false, &made->frame.world);
    if (err) {
      fail("layer " + std::to_string(layer) + ": no memory for a " + std::to_string(image->width) +
           " x " + std::to_string(image->height) + " world");
      return nullptr;
    }
    made->frame.format = format;
    if (format != PF_PixelFormat_ARGB128 && OutsideUnitRange(*image)) clamped_layers_.insert(layer);
    DispatchFormat(format, [&](auto pixel) {
      ConvertImage<decltype(pixel)>(*image, factor, made->frame.world);
      return PF_Err_NONE;
    });
    made->full_width = image->width;
    made->full_height = image->height;
  } else if (layer < 0) {
    // A blank input: transparent black at the layer's size.
    if (request_.width <= 0 || request_.height <= 0) {
      fail("the effect's layer has no size and no pixels");
      return nullptr;
    }
    PF_Err err = MakeWorld(ScaledDown(request_.width, factor), ScaledDown(request_.height, factor),
                           format, true, &made->frame.world);
    if (err) {
      fail("no memory for the effect's layer");
      return nullptr;
    }
    made->frame.format = format;
    made->full_width = request_.width;
    made->full_height = request_.height;
  }
  LayerWorld* result = made.get();
  worlds_[key] = std::move(made);
  return result;
}

PF_EffectWorld* FrameServices::layerWorld(int layer, int frame) {
  LayerWorld* w = findOrMake(layer, frame);
  return w && !w->frame.empty() ? &w->frame.world : nullptr;
}

PF_EffectWorld* FrameServices::inputWorld(int frame) {
  LayerWorld* w = nullptr;
  if (request_.layer >= 0) {
    w = findOrMake(request_.layer, frame);
    if (!w) return nullptr;
    // The effect's layer without pixels of its own (no source): a blank layer of the given size.
    if (w->frame.empty()) w = findOrMake(-1, frame);
  } else {
    w = findOrMake(-1, frame);
  }
  if (!w) return nullptr;
  input_width_ = w->full_width;
  input_height_ = w->full_height;
  return &w->frame.world;
}

// ---- Host members ----------------------------------------------------------------------------
FrameServices& Host::frames() {
  if (!frames_) frames_ = std::make_shared<FrameServices>();
  return *frames_;
}

void Host::setLayerSource(LayerSource* source) {
  frame_cache_.clear();
  frames().setSource(source);
}

PF_Err Host::renderFrame(EffectInstance& instance, const FrameRequest& request, Frame* frame) {
  const PF_PixelFormat format = FormatForDepth(request.bit_depth);
  if (format == PF_PixelFormat_INVALID) throw LayerError("bit depth must be 8, 16 or 32");
  if (request.downsample < 1) throw LayerError("downsampling must be 1 or more");
  if (!(request.frame_rate > 0)) throw LayerError("the frame rate must be above 0");

  if (PF_Err err = refreshRenderCopy(instance)) return err;
  FrameServices& state = frames();
  state.begin(request);
  struct EndFrame {
    FrameServices& state;
    PF_Quality& quality;
    ~EndFrame() {
      state.end();
      quality = PF_Quality_HI;
    }
  } end_frame{state, quality_};

  PF_EffectWorld* input = state.inputWorld(request.frame);
  if (!input) throw LayerError(state.failure());
  // The layers the controls name are made ready now, so that a missing or unreadable file is
  // reported before the effect runs rather than as a refused checkout in the middle of it.
  for (const PF_ParamDef& p : instance.params) {
    if (p.param_type != PF_Param_LAYER) continue;
    intptr_t chosen = reinterpret_cast<intptr_t>(p.u.ld.reserved0);
    if (chosen > 0) state.layerWorld(static_cast<int>(chosen - 1), request.frame);
    if (!state.failure().empty()) throw LayerError(state.failure());
  }

  // The effect works in its layer's time (the guide's "PF_InData" section: current_time is
  // layer time), so a layer that starts later than the composition sees its own time; the
  // checkouts it makes at that time are turned back into composition frames.
  const TimeBase base = TimeBaseFor(request.frame_rate);
  const CompLayer* own = composition_ ? composition_->layerOfEffect(&instance) : nullptr;
  const double offset = own ? own->offset : 0.0;
  state.setLayerOffset(offset);
  const PF_LRect full = RectOf(input);
  const PF_LRect asked = request.region ? *request.region : full;
  PF_InData& in = in_;
  in.current_time = static_cast<A_long>(
      std::clamp(request.frame * static_cast<double>(base.step) - std::round(offset * base.scale),
                 -2147483647.0, 2147483647.0));
  in.time_step = base.step;
  in.local_time_step = base.step;
  in.time_scale = base.scale;
  in.width = state.inputWidth();
  in.height = state.inputHeight();
  in.extent_hint = full;
  in.downsample_x = in.downsample_y =
      PF_RationalScale{1, static_cast<A_u_long>(request.downsample)};
  in.pixel_aspect_ratio = PF_RationalScale{1, 1};
  in.field = 0;
  in.output_origin_x = in.output_origin_y = 0;
  quality_ = request.high_quality ? PF_Quality_HI : PF_Quality_LO;

  PF_PreRenderInput pre_input{};
  pre_input.output_request.rect = asked;
  pre_input.output_request.channel_mask = PF_ChannelMask_ARGB;
  pre_input.bitdepth = static_cast<short>(request.bit_depth);
  // The real host asks for a layer's extent on its own (to lay out the composition) before the
  // pre-render that leads to the render; the first record is dropped unused.
  PF_Err err = PF_Err_NONE;
  {
    PreRenderRecord extent(*this);
    err = PreRender(instance, pre_input, extent);
  }
  PreRenderRecord pre(*this);
  if (!err) err = PreRender(instance, pre_input, pre);
  const PF_PreRenderOutput& pre_output = pre.output;
  const std::string key = options_.cache_frames && !err ? cacheKey(instance, request) : "";
  if (auto cached = frame_cache_.find(key); !key.empty() && cached != frame_cache_.end()) {
    if (frame) *frame = CopyFrame(cached->second);
    return PF_Err_NONE;
  }

  if (!err) {
    // The output covers what the effect said it would produce (nothing said at all: the layer
    // itself), within what was asked for.
    PF_LRect rect = pre_output.result_rect;
    if (IsEmpty(rect) && IsEmpty(pre_output.max_result_rect)) rect = full;
    rect = Overlap(rect, asked);
    state.outputRect() = rect;
    Frame& out = state.output();
    out.left = rect.left;
    out.top = rect.top;
    if (IsEmpty(rect)) {
      // Nothing of the layer lies in the request: no render, an empty frame.
      if (frame) *frame = std::move(out);
      return PF_Err_NONE;
    }
    if (MakeWorld(rect.right - rect.left, rect.bottom - rect.top, format, false, &out.world)) {
      throw LayerError("no memory for a " + std::to_string(rect.right - rect.left) + " x " +
                       std::to_string(rect.bottom - rect.top) + " output frame");
    }
    out.format = format;
    FillWithPattern(out.world);
    const PF_LRect input_place = state.inputPlace();
    in.output_origin_x = input_place.left - rect.left;
    in.output_origin_y = input_place.top - rect.top;

    PF_SmartRenderInput render_input{};
    render_input.output_request = pre_input.output_request;
    render_input.bitdepth = pre_input.bitdepth;
    render_input.pre_render_data = pre_output.pre_render_data;
    PF_SmartRenderCallbacks render_cb{Guarded<CheckoutLayerPixels, "cb.checkout_layer_pixels">,
                                      Guarded<CheckinLayerPixels, "cb.checkin_layer_pixels">,
                                      Guarded<CheckoutOutput, "cb.checkout_output">};
    PF_SmartRenderExtra render_extra{&render_input, &render_cb};
    err = sendToRender(PF_Cmd_SMART_RENDER, instance, &render_extra);
  }
  pre.release();

  if (!state.failure().empty()) throw LayerError(state.failure());
  if (!err && !key.empty()) frame_cache_[key] = CopyFrame(state.output());
  if (frame) *frame = std::move(state.output());
  return err;
}

// The frame cache's key: everything the host knows a frame depends on. The composition and the
// layers' pixels are not in it; the cache is emptied when either is replaced.
std::string Host::cacheKey(const EffectInstance& instance, const FrameRequest& request) const {
  std::string key;
  auto add = [&key](const void* bytes, size_t size) {
    key.append(static_cast<const char*>(bytes), size);
  };
  const EffectInstance* self = &instance;
  add(&self, sizeof self);
  const int numbers[] = {request.layer,     request.width,      request.height,      request.frame,
                         request.bit_depth, request.downsample, request.high_quality};
  add(numbers, sizeof numbers);
  for (const std::optional<PF_LRect>* r : {&request.region, &request.mask}) {
    const PF_LRect rect = r->value_or(PF_LRect{0, 0, -1, -1});
    add(&rect, sizeof rect);
  }
  add(&request.frame_rate, sizeof request.frame_rate);
  for (const PF_ParamDef& p : instance.params) {
    add(&p.param_type, sizeof p.param_type);
    add(&p.u, sizeof p.u);
  }
  for (const auto& [index, keys] : instance.keyframes) {
    add(&index, sizeof index);
    add(keys.data(), keys.size() * sizeof keys[0]);
  }
  const std::string& mix = frames_->cacheMix();
  const size_t mix_size = mix.size();
  add(&mix_size, sizeof mix_size);
  key += mix;
  return key;
}

void Host::dropCachedFrames(const EffectInstance* instance) {
  for (auto it = frame_cache_.begin(); it != frame_cache_.end();) {
    const EffectInstance* owner = nullptr;
    std::memcpy(&owner, it->first.data(), sizeof owner);
    it = owner == instance ? frame_cache_.erase(it) : std::next(it);
  }
}

}  // namespace mf::host
