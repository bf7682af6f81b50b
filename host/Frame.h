// What a render of one frame asks for and what it yields, and where the host finds the pixels of
// the composition's layers. Kept apart from the machinery in FrameRender.h so that Host.h can name
// these types without taking in the rest.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "AE_Effect.h"

namespace mf::host {

// A layer's pixels at one frame, straight from its source: red, green, blue, alpha floats per
// pixel, rows top to bottom, values as stored (no colour conversion; 8 and 16-bit files give
// 0 to 1).
struct LayerImage {
  int width = 0;
  int height = 0;
  std::vector<float> rgba;
};

// A problem with a layer's pixels (missing or unreadable footage, a frame outside a sequence),
// in plain words naming the file or the layer.
class LayerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Supplies the pixels of the composition's layers.
class LayerSource {
 public:
  virtual ~LayerSource() = default;
  // The layer's image at a composition frame; null for a layer without pixels (a camera, a
  // light). Throws LayerError.
  virtual std::shared_ptr<const LayerImage> image(int layer, int frame) = 0;
};

struct FrameRequest {
  int layer = -1;  // composition layer the effect is applied to (its input); -1: a blank layer
  int width = 0;   // size of a blank input layer; a layer with pixels brings its own
  int height = 0;
  double frame_rate = 24;
  int frame = 0;       // composition frame; the time is frame / frame_rate
  int bit_depth = 8;   // 8, 16 or 32
  int downsample = 1;  // 1: full resolution, 2: half, ...
  bool high_quality = true;
  // The part of the layer asked for, in layer pixels at this downsampling, half-open (right and
  // bottom lie outside); absent: the whole layer. The real host asks for parts when it shows a
  // region of interest or renders a large frame in tiles.
  std::optional<PF_LRect> region;
  // The bounds of a mask on the effect's layer, in the same pixels: the host crops the layer's
  // largest result to them, and so what the effect may produce.
  std::optional<PF_LRect> mask;
};

// A rendered frame: a host world the frame owns, in the render's pixel format.
class Frame {
 public:
  Frame() = default;
  ~Frame();
  Frame(Frame&& other) noexcept;
  Frame& operator=(Frame&& other) noexcept;
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  bool empty() const { return world.data == nullptr; }
  void reset();

  PF_EffectWorld world{};
  PF_PixelFormat format = PF_PixelFormat_INVALID;
  // The layer pixel (at the render's downsampling) under the world's top-left pixel: not 0 when
  // a region or a mask kept the frame to a part of the layer.
  A_long left = 0;
  A_long top = 0;
};

}  // namespace mf::host
