// Rendering one frame: the host's side of the smart pre-render and smart render commands. The
// host sets the frame's time, size, downsampling and quality in in_data, serves the pre-render
// callbacks (the input checkout and its extent), the smart-render callbacks (the input's pixels
// and the output world at the render's depth) and layer parameters checked out at a time (the
// layer's world at that frame), evaluates keyframed controls at the time asked for, and lets a
// person stop a render with Ctrl-C.
//
// Worlds made for a frame (the layers and the input, converted to the render's depth and scaled
// down) live until the frame's render returns; the output is handed to the caller in a Frame.
// Each frame is pre-rendered twice, the first record dropped unrendered, and every pre-render
// record is released by the host as the real one does (see PreRenderRecord in FrameRender.cpp).
//
// Parts of a layer (the guide's "SmartFX" section): the host asks for the rectangle it needs,
// which may be a region of interest or a tile rather than the layer, and crops the largest result
// of a masked layer to the mask. A checked-out layer's pixels cover only the checkout's result,
// and the output covers the effect's result within the request; in_data->output_origin_x and _y
// place the input's top-left pixel in the output. See FrameRequest::region and ::mask.
#pragma once

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/Frame.h"
#include "host/Host.h"

namespace mf::host {

// Every byte of an output world as the host hands it to the effect (see FillWithPattern).
inline constexpr unsigned char kUnwrittenOutputByte = 0xA5;

// Keyframes given as (seconds, value) in time order: linear between keys, the first key's value
// before it and the last key's after it. An empty list gives 0.
double EvaluateKeyframes(const std::vector<std::pair<double, double>>& keys, double seconds);

// The host's time base for a frame rate: an integer rate counts in frames (scale = rate, step 1),
// any other in thousandths (29.97 -> 29970 / 1000).
struct TimeBase {
  A_u_long scale;
  A_long step;
};
TimeBase TimeBaseFor(double frame_rate);

// inter.checkout_param: the control as the instance holds it, with a keyframed slider or angle
// evaluated at what_time / time_scale (a slider held to its valid range) and a layer control
// carrying the chosen layer's world at that time (no pixels when no layer is chosen).
PF_Err CheckoutParamAt(EffectInstance& instance, PF_ParamIndex index, A_long what_time,
                       A_long time_step, A_u_long time_scale, PF_ParamDef* param);

// Ctrl-C: SIGINT sets a flag that PF_ABORT reports (PF_Interrupt_CANCEL) until it is cleared.
void InstallInterruptHandler();
void RequestAbort();
void ClearAbort();
bool AbortRequested();

// The per-host state of frame rendering.
class FrameServices {
 public:
  FrameServices() = default;
  ~FrameServices();
  FrameServices(const FrameServices&) = delete;
  FrameServices& operator=(const FrameServices&) = delete;

  void setSource(LayerSource* source) { source_ = source; }
  LayerSource* source() const { return source_; }

  // Settings of the frame being rendered (or of the last one), used by checkouts.
  const FrameRequest& request() const { return request_; }
  // Start of the effect's layer in the composition, seconds: checkouts come in layer time.
  void setLayerOffset(double seconds) { layer_offset_ = seconds; }
  // The composition frame of a time in the effect's layer time.
  int compFrameAt(A_long what_time, A_u_long time_scale) const;
  void begin(const FrameRequest& request);
  // Releases every world made for the frame; the message of a layer that failed is kept.
  void end();

  // The world of a composition layer at a frame, at the frame's depth and downsampling; null for
  // a layer without pixels. A failure to get the pixels is kept in failure() and gives null.
  PF_EffectWorld* layerWorld(int layer, int frame);
  // The input layer (the layer the effect is applied to, or a blank one) at a frame; null only
  // after a failure.
  PF_EffectWorld* inputWorld(int frame);
  // Full-resolution size of the input layer (known once inputWorld has been asked).
  int inputWidth() const { return input_width_; }
  int inputHeight() const { return input_height_; }

  // Smart-render checkouts, by checkout ID.
  struct Checkout {
    PF_ParamIndex index;
    int frame;
    PF_LRect result{};  // the part of the layer the checkout yields, in layer pixels
    bool pixels_out = false;
    PF_EffectWorld view{};  // the result's pixels, while they are checked out
  };
  std::map<A_long, Checkout>& checkouts() { return checkouts_; }
  // Where the pixels of the effect's own layer checkout sit in the layer: the layer's top-left
  // corner when the effect checked none out.
  PF_LRect inputPlace() const;
  PF_LRect& outputRect() { return output_rect_; }
  // What the effect mixed into the frame's cache key at pre-render.
  std::string& cacheMix() { return cache_mix_; }
  Frame& output() { return output_; }

  const std::string& failure() const { return failure_; }
  // Layers whose values lay outside 0 to 1 and were clamped by an 8- or 16-bit render (a position
  // pass rendered below 32 bits loses its positions); kept across frames.
  const std::set<int>& clampedLayers() const { return clamped_layers_; }
  void fail(const std::string& message) {
    if (failure_.empty()) failure_ = message;
  }

 private:
  struct LayerWorld {
    Frame frame;  // empty for a layer without pixels
    int full_width = 0;
    int full_height = 0;
  };
  LayerWorld* findOrMake(int layer, int frame);

  LayerSource* source_ = nullptr;
  FrameRequest request_;
  double layer_offset_ = 0;
  // Worlds of the frame, by (layer, frame); layer -1 is the blank input.
  std::map<std::pair<int, int>, std::unique_ptr<LayerWorld>> worlds_;
  std::map<A_long, Checkout> checkouts_;
  PF_LRect output_rect_{};
  std::string cache_mix_;
  Frame output_;
  int input_width_ = 0;
  int input_height_ = 0;
  std::string failure_;
  std::set<int> clamped_layers_;
};

// The composition frame a host time falls in.
//
// Fault points (host/Faults.h) of the callbacks served here: "cb.checkout_layer",
// "cb.checkout_layer_pixels", "cb.checkin_layer_pixels", "cb.checkout_output".
int FrameAtTime(A_long what_time, A_u_long time_scale, double frame_rate);

}  // namespace mf::host
