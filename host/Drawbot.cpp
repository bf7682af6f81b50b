#include "host/Drawbot.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>

#include "AE_CompSuites.h"
#include "host/Guarded.h"

namespace mf::host {

struct DrawContext::Object {
  enum Kind { kDraw, kSupplier, kSurface } kind;
  DrawContext* context;
};

namespace {

constexpr PF_Err kBad = PF_Err_BAD_CALLBACK_PARAM;

std::set<DrawContext*>& Contexts() {
  static std::set<DrawContext*> contexts;
  return contexts;
}
// Images are told from the context's objects by living here. One whose release the host refused
// stays here, and goes with the host's other objects when the process ends.
struct ImageTable {
  std::set<DrawbotImage*> live;
  ~ImageTable() {
    for (DrawbotImage* image : live) delete image;
  }
};
std::set<DrawbotImage*>& Images() {
  static ImageTable table;
  return table.live;
}

// The object behind a handle, if it is one of a live context's and of the kind asked for.
DrawContext::Object* ObjectOf(DRAWBOT_ObjectRef ref, int kind) {
  auto* object = reinterpret_cast<DrawContext::Object*>(ref);
  if (!object || Images().count(reinterpret_cast<DrawbotImage*>(ref))) return nullptr;
  for (DrawContext* c : Contexts()) {
    if (c->drawRef() == ref || c->supplierRef() == ref || c->surfaceRef() == ref) {
      return object->kind == kind ? object : nullptr;
    }
  }
  return nullptr;
}

// ---- "PF Effect Custom UI Suite" 1 ------------------------------------------------------------
PF_Err GetDrawingReference(const PF_ContextH context, DRAWBOT_DrawRef* ref) {
  DrawContext* c = DrawContext::From(context);
  if (!c || !ref) return kBad;
  *ref = c->drawRef();
  return PF_Err_NONE;
}
const PF_EffectCustomUISuite1 kCustomUiSuite = {
    Guarded<GetDrawingReference, "pf.PF_GetDrawingReference">};

// ---- "DRAWBOT Draw Suite" 1 ------------------------------------------------------------------
DRAWBOT_Err GetSupplier(DRAWBOT_DrawRef draw, DRAWBOT_SupplierRef* supplier) {
  auto* object = ObjectOf(draw, DrawContext::Object::kDraw);
  if (!object || !supplier) return kBad;
  *supplier = object->context->supplierRef();
  return PF_Err_NONE;
}
DRAWBOT_Err GetSurface(DRAWBOT_DrawRef draw, DRAWBOT_SurfaceRef* surface) {
  auto* object = ObjectOf(draw, DrawContext::Object::kDraw);
  if (!object || !surface) return kBad;
  *surface = object->context->surfaceRef();
  return PF_Err_NONE;
}
const DRAWBOT_DrawbotSuite1 kDrawSuite = {Guarded<GetSupplier, "drawbot.GetSupplier">,
                                          Guarded<GetSurface, "drawbot.GetSurface">};

// ---- "DRAWBOT Supplier Suite" 1 --------------------------------------------------------------
// Reads one pixel of a buffer in the layout given as straight RGBA.
void ReadPixel(const uint8_t* p, DRAWBOT_PixelLayout layout, uint8_t out[4]) {
  auto unpremultiply = [](uint8_t c, uint8_t a) -> uint8_t {
    return a ? static_cast<uint8_t>(std::min(255, (c * 255 + a / 2) / a)) : 0;
  };
  switch (layout) {
    case kDRAWBOT_PixelLayout_24RGB:
    case kDRAWBOT_PixelLayout_32RGB:
      out[0] = p[0], out[1] = p[1], out[2] = p[2], out[3] = 255;
      break;
    case kDRAWBOT_PixelLayout_24BGR:
    case kDRAWBOT_PixelLayout_32BGR:
      out[0] = p[2], out[1] = p[1], out[2] = p[0], out[3] = 255;
      break;
    case kDRAWBOT_PixelLayout_32ARGB_Straight:
      out[0] = p[1], out[1] = p[2], out[2] = p[3], out[3] = p[0];
      break;
    case kDRAWBOT_PixelLayout_32ARGB_Premul:
      out[0] = unpremultiply(p[1], p[0]), out[1] = unpremultiply(p[2], p[0]);
      out[2] = unpremultiply(p[3], p[0]), out[3] = p[0];
      break;
    case kDRAWBOT_PixelLayout_32BGRA_Straight:
      out[0] = p[2], out[1] = p[1], out[2] = p[0], out[3] = p[3];
      break;
    default:  // 32BGRA premultiplied
      out[0] = unpremultiply(p[2], p[3]), out[1] = unpremultiply(p[1], p[3]);
      out[2] = unpremultiply(p[0], p[3]), out[3] = p[3];
      break;
  }
}

int BytesPerPixel(DRAWBOT_PixelLayout layout) {
  return layout == kDRAWBOT_PixelLayout_24RGB || layout == kDRAWBOT_PixelLayout_24BGR ? 3 : 4;
}

DRAWBOT_Err NewImageFromBuffer(DRAWBOT_SupplierRef supplier, int width, int height, int row_bytes,
                               DRAWBOT_PixelLayout layout, const void* data,
                               DRAWBOT_ImageRef* image) {
  if (!ObjectOf(supplier, DrawContext::Object::kSupplier) || !image || !data) return kBad;
  if (layout < kDRAWBOT_PixelLayout_24RGB || layout > kDRAWBOT_PixelLayout_32BGRA_Premul)
    return kBad;
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384 ||
      row_bytes < width * BytesPerPixel(layout))
    return kBad;
  auto made = std::make_unique<DrawbotImage>(
      DrawbotImage{width, height, std::vector<uint8_t>(size_t(width) * height * 4)});
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      ReadPixel(bytes + size_t(y) * row_bytes + size_t(x) * BytesPerPixel(layout), layout,
                &made->rgba[(size_t(y) * width + x) * 4]);
    }
  }
  Images().insert(made.get());
  *image = reinterpret_cast<DRAWBOT_ImageRef>(made.release());
  return PF_Err_NONE;
}

DRAWBOT_Err ReleaseObject(DRAWBOT_ObjectRef object) {
  auto* image = reinterpret_cast<DrawbotImage*>(object);
  // Only images are the caller's to release; the context's objects live with the event.
  if (!image || !Images().erase(image)) return kBad;
  delete image;
  return PF_Err_NONE;
}

DRAWBOT_SupplierSuite1 MakeSupplierSuite() {
  DRAWBOT_SupplierSuite1 s{};
  s.NewImageFromBuffer = Guarded<NewImageFromBuffer, "drawbot.NewImageFromBuffer">;
  s.ReleaseObject = Guarded<ReleaseObject, "drawbot.ReleaseObject">;
  return s;
}
const DRAWBOT_SupplierSuite1 kSupplierSuite = MakeSupplierSuite();

// ---- "DRAWBOT Surface Suite" 1 ---------------------------------------------------------------
DRAWBOT_Err DrawImage(DRAWBOT_SurfaceRef surface, DRAWBOT_ImageRef image_ref,
                      const DRAWBOT_PointF32* origin, float alpha) {
  auto* object = ObjectOf(surface, DrawContext::Object::kSurface);
  auto* image = reinterpret_cast<DrawbotImage*>(image_ref);
  if (!object || !image || !Images().count(image) || !origin) return kBad;
  if (!std::isfinite(origin->x) || !std::isfinite(origin->y) || !std::isfinite(alpha)) return kBad;
  DrawImageOnSurface(object->context->surface(), *image, origin->x, origin->y, alpha);
  return PF_Err_NONE;
}

DRAWBOT_SurfaceSuite1 MakeSurfaceSuite() {
  DRAWBOT_SurfaceSuite1 s{};
  s.DrawImage = Guarded<DrawImage, "drawbot.DrawImage">;
  return s;
}
const DRAWBOT_SurfaceSuite1 kSurfaceSuite = MakeSurfaceSuite();
const DRAWBOT_PathSuite1 kPathSuite{};

// ---- PF_InvalidateRect of "PF AE App Suite" 6 --------------------------------------------------
PF_Err InvalidateRect(const PF_ContextH context, const PF_Rect* rect) {
  DrawContext* c = DrawContext::From(context);
  if (!c) return kBad;
  c->invalidated().push_back(rect ? *rect : PF_Rect{0, 0, c->surface().width, c->surface().height});
  return PF_Err_NONE;
}

// The application suite as served with its repaint slot filled; one per host, since the rest
// of the table is whatever that host registered.
PFAppSuite4 g_app_suite{};

constexpr const char* kInstalledMarker = "motefield panel drawing";
const int kMarker = 1;

}  // namespace

PanelSurface::PanelSurface(int w, int h, const uint8_t background[4])
    : width(w), height(h), rgba(size_t(w) * h * 4) {
  for (size_t i = 0; i < rgba.size(); i += 4) std::memcpy(&rgba[i], background, 4);
}

void DrawImageOnSurface(PanelSurface& surface, const DrawbotImage& image, float x, float y,
                        float opacity) {
  const float clamped = std::clamp(opacity, 0.0f, 1.0f);
  // Origins far outside the panel draw nothing; the bounds keep the conversions in range.
  const double ox = std::clamp<double>(std::lround(x), -1e6, 1e6);
  const double oy = std::clamp<double>(std::lround(y), -1e6, 1e6);
  const long left = static_cast<long>(ox), top = static_cast<long>(oy);
  for (int row = 0; row < image.height; ++row) {
    const long sy = top + row;
    if (sy < 0 || sy >= surface.height) continue;
    for (int col = 0; col < image.width; ++col) {
      const long sx = left + col;
      if (sx < 0 || sx >= surface.width) continue;
      const uint8_t* src = &image.rgba[(size_t(row) * image.width + col) * 4];
      uint8_t* dst = surface.at(static_cast<int>(sx), static_cast<int>(sy));
      const float a = clamped * src[3] / 255.0f;
      for (int c = 0; c < 3; ++c) {
        dst[c] = static_cast<uint8_t>(std::lround(src[c] * a + dst[c] * (1.0f - a)));
      }
      dst[3] = static_cast<uint8_t>(std::lround(255.0f * a + dst[3] * (1.0f - a)));
    }
  }
}

DrawContext::DrawContext(PanelSurface& surface)
    : surface_(surface),
      draw_(new Object{Object::kDraw, this}),
      supplier_(new Object{Object::kSupplier, this}),
      surface_object_(new Object{Object::kSurface, this}) {
  Contexts().insert(this);
}

DrawContext::~DrawContext() {
  Contexts().erase(this);
  delete draw_;
  delete supplier_;
  delete surface_object_;
}

DrawContext* DrawContext::From(PF_ContextH handle) {
  auto* c = reinterpret_cast<DrawContext*>(handle);
  return Contexts().count(c) ? c : nullptr;
}

DRAWBOT_DrawRef DrawContext::drawRef() {
  return reinterpret_cast<DRAWBOT_DrawRef>(draw_);
}
DRAWBOT_SupplierRef DrawContext::supplierRef() {
  return reinterpret_cast<DRAWBOT_SupplierRef>(supplier_);
}
DRAWBOT_SurfaceRef DrawContext::surfaceRef() {
  return reinterpret_cast<DRAWBOT_SurfaceRef>(surface_object_);
}

int LiveDrawbotImages() {
  return static_cast<int>(Images().size());
}

void InstallDrawbotSuites(Host& host) {
  SuiteRegistry& r = host.suites();
  const void* marker = nullptr;
  if (r.acquire(kInstalledMarker, 1, &marker) == kSPNoError) {
    r.release(kInstalledMarker, 1);
    return;
  }
  r.add(kInstalledMarker, 1, &kMarker);
  r.add(kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_Version1, &kDrawSuite);
  r.add(kDRAWBOT_SupplierSuite, kDRAWBOT_SupplierSuite_Version1, &kSupplierSuite);
  r.add(kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_Version1, &kSurfaceSuite);
  r.add(kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_Version2, &kSurfaceSuite);
  r.add(kDRAWBOT_PathSuite, kDRAWBOT_PathSuite_Version1, &kPathSuite);
  r.add(kPFEffectCustomUISuite, kPFEffectCustomUISuiteVersion1, &kCustomUiSuite);

  const void* app = nullptr;
  if (r.acquire(kPFAppSuite, kPFAppSuiteVersion4, &app) == kSPNoError && app) {
    g_app_suite = *static_cast<const PFAppSuite4*>(app);
    r.release(kPFAppSuite, kPFAppSuiteVersion4);
  } else {
    g_app_suite = PFAppSuite4{};
  }
  g_app_suite.PF_InvalidateRect = Guarded<InvalidateRect, "pf.PF_InvalidateRect">;
  r.add(kPFAppSuite, kPFAppSuiteVersion4, &g_app_suite);
}

}  // namespace mf::host
