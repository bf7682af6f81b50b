// The host's drawing suites for custom controls ("DRAWBOT Draw/Supplier/Surface/Path Suite" 1)
// and the "PF Effect Custom UI Suite" 1 that hands out a drawing reference for an event's
// window. What custom controls draw lands in a PanelSurface: the effect panel's pixels, 8-bit
// RGBA, rows top to bottom, kept by the host.
#pragma once

#include <cstdint>
#include <vector>

#include "AE_EffectUI.h"
#include "DrawbotSuites.h"
#include "host/Host.h"

namespace mf::host {

struct PanelSurface {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4

  PanelSurface() = default;
  PanelSurface(int w, int h, const uint8_t background[4]);
  const uint8_t* at(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
  uint8_t* at(int x, int y) { return &rgba[(size_t(y) * width + x) * 4]; }
};

// An image made by NewImageFromBuffer: straight RGBA, rows top to bottom.
struct DrawbotImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
};

// Composites an image over the surface with its top-left corner at the origin (rounded to the
// nearest pixel) and the opacity given; what falls outside the surface is clipped.
void DrawImageOnSurface(PanelSurface& surface, const DrawbotImage& image, float x, float y,
                        float opacity);

// The window an event is sent for: it carries the drawing reference, supplier and surface of the
// panel the host draws, and collects the rectangles the effect asks to repaint. The PF_ContextH
// handed to the effect is this object.
class DrawContext {
 public:
  explicit DrawContext(PanelSurface& surface);
  ~DrawContext();
  DrawContext(const DrawContext&) = delete;
  DrawContext& operator=(const DrawContext&) = delete;

  PF_ContextH handle() { return reinterpret_cast<PF_ContextH>(this); }
  static DrawContext* From(PF_ContextH handle);  // null for anything but a live context

  PanelSurface& surface() { return surface_; }
  std::vector<PF_Rect>& invalidated() { return invalidated_; }

  // Handles of the drawing objects; each stays valid as long as the context.
  DRAWBOT_DrawRef drawRef();
  DRAWBOT_SupplierRef supplierRef();
  DRAWBOT_SurfaceRef surfaceRef();

  struct Object;  // what those handles point at (host/Drawbot.cpp)

 private:
  PanelSurface& surface_;
  std::vector<PF_Rect> invalidated_;
  Object* draw_;
  Object* supplier_;
  Object* surface_object_;
};

// Images made by the effect and not yet released: a draw that returns with this above its
// starting value leaked one.
int LiveDrawbotImages();

// Registers the drawing suites and the custom UI suite, and fills PF_InvalidateRect in the
// application suite the host already serves. Idempotent per host.
//
// Fault points: "pf.PF_GetDrawingReference", "pf.PF_InvalidateRect", "drawbot.GetSupplier",
// "drawbot.GetSurface", "drawbot.NewImageFromBuffer", "drawbot.DrawImage",
// "drawbot.ReleaseObject".
void InstallDrawbotSuites(Host& host);

}  // namespace mf::host
