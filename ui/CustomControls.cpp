#include "ui/CustomControls.h"

#include <vector>

#include "AE_CompSuites.h"
#include "DrawbotSuites.h"
#include "Win32.h"
#include "support/Globals.h"
#include "support/HostResources.h"
#include "support/SuiteHandler.h"
#include "params/ParamIndex.h"
#include "resources/resource.h"
#include "ui/CameraLink.h"

namespace mf {
namespace {

constexpr const char* kLoadFailed = "Couldn't load suite.";
constexpr const char* kReleaseFailed = "Couldn't release suite.";
constexpr const char* kNoModuleHandle = "Motefield internal error: Module Handle not found";
constexpr const char* kErrorCaption = "错误";

// The four drawing suites, acquired together for one draw and given back with the handler.
struct DrawbotSuites {
  const DRAWBOT_DrawbotSuite1* draw;
  const DRAWBOT_SupplierSuite1* supplier;
  const DRAWBOT_SurfaceSuite1* surface;
  const DRAWBOT_PathSuite1* path;
};

DrawbotSuites DrawingSuites(SuiteHandler& handler) {
  return {
      handler.get<DRAWBOT_DrawbotSuite1>(kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_Version1),
      handler.get<DRAWBOT_SupplierSuite1>(kDRAWBOT_SupplierSuite, kDRAWBOT_SupplierSuite_Version1),
      handler.get<DRAWBOT_SurfaceSuite1>(kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_Version1),
      handler.get<DRAWBOT_PathSuite1>(kDRAWBOT_PathSuite, kDRAWBOT_PathSuite_Version1)};
}

PF_Rect LinkButtonRect(const PF_EventExtra& extra) {
  const PF_Rect& frame = extra.effect_win.current_frame;
  return PF_Rect{frame.left, frame.top, frame.left + kLinkButtonWidth,
                 frame.top + kLinkButtonHeight};
}

PF_Err InvalidateControl(PF_InData* in_data, PF_OutData* out_data, PF_EventExtra* extra) {
  SingleSuite app(in_data, out_data, kPFAppSuite, kPFAppSuiteVersion4, kLoadFailed, kReleaseFailed);
  PF_Err err = app.err();
  if (!err) {
    auto invalidate =
        reinterpret_cast<PF_InvalidateRectFunc>(app.get<PFAppSuite4>()->PF_InvalidateRect);
    err = invalidate ? invalidate(extra->contextH, &extra->effect_win.current_frame)
                     : PF_Err_BAD_CALLBACK_PARAM;
  }
  PF_Err release = app.release();
  if (!err) err = release;
  return err;
}

struct BitmapChoice {
  int resource;
  int width;
  int height;
};

// The bitmap a control shows now; resource 0 for a control the effect does not draw.
BitmapChoice BitmapFor(PF_ParamIndex index) {
  if (index == ABOUT_BANNER) return {IDB_BANNER, kBannerWidth, kBannerHeight};
  if (index == LINK_REFERENCE_CAMERA) {
    return {g_link_button_down ? IDB_LINK_DOWN : IDB_LINK_UP, kLinkButtonWidth, kLinkButtonHeight};
  }
  return {0, 0, 0};
}

// Converts the bitmap to top-down 24-bit rows and hands them to the surface at the origin.
PF_Err DrawBitmap(const DrawbotSuites& suites, DRAWBOT_SupplierRef supplier,
                  DRAWBOT_SurfaceRef surface, const BitmapChoice& choice,
                  const DRAWBOT_PointF32& origin) {
  HBITMAP bitmap = LoadBitmapA(g_module_handle, MAKEINTRESOURCEA(choice.resource));
  if (!bitmap) return PF_Err_NONE;
  PF_Err err = PF_Err_NONE;
  HDC dc = CreateCompatibleDC(nullptr);
  // Both widths give rows that are whole multiples of four bytes, so the rows need no padding.
  std::vector<BYTE> pixels(static_cast<size_t>(choice.width) * choice.height * 3);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = choice.width;
  info.bmiHeader.biHeight = -choice.height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const int lines = GetDIBits(dc, bitmap, 0, choice.height, pixels.data(), &info, DIB_RGB_COLORS);
  // Rows that were not read would be drawn from uninitialised memory.
  if (lines == choice.height) {
    DrawingImage image(suites.supplier);
    err =
        suites.supplier->NewImageFromBuffer(supplier, choice.width, choice.height, choice.width * 3,
                                            kDRAWBOT_PixelLayout_24BGR, pixels.data(), image.out());
    if (!err) err = suites.surface->DrawImage(surface, image.get(), &origin, 1.0f);
    KeepFirst(err, image.release());
  }
  DeleteObject(bitmap);
  if (dc) DeleteDC(dc);
  return err;
}

// Lowers the link button when the press ends, however the link that the release started ended.
class ButtonRelease {
 public:
  explicit ButtonRelease(PF_EventExtra* extra) : extra_(extra) {}
  ~ButtonRelease() {
    if (!extra_->u.do_click.last_time) return;
    extra_->u.do_click.send_drag = 0;
    g_link_button_down = false;
  }
  ButtonRelease(const ButtonRelease&) = delete;
  ButtonRelease& operator=(const ButtonRelease&) = delete;

 private:
  PF_EventExtra* extra_;
};

}  // namespace

bool PointInControl(PF_Point point, PF_Rect rect) {
  return rect.left < point.h && point.h < rect.right && rect.top < point.v && point.v < rect.bottom;
}

namespace {

PF_Err DrawControl(PF_InData* in_data, PF_OutData* out_data, const DrawbotSuites& suites,
                   PF_EventExtra* extra) {
  DRAWBOT_DrawRef drawing = nullptr;
  SingleSuite custom_ui(in_data, out_data, kPFEffectCustomUISuite, kPFEffectCustomUISuiteVersion1,
                        SingleSuite::kDefaultAcquireMessage, kReleaseFailed);
  PF_Err err = custom_ui.err();
  if (!err) {
    err =
        custom_ui.get<PF_EffectCustomUISuite1>()->PF_GetDrawingReference(extra->contextH, &drawing);
  }
  KeepFirst(err, custom_ui.release());
  DRAWBOT_SupplierRef supplier = nullptr;
  DRAWBOT_SurfaceRef surface = nullptr;
  if (!err) err = suites.draw->GetSupplier(drawing, &supplier);
  if (!err) err = suites.draw->GetSurface(drawing, &surface);
  if (err || (extra->evt_in_flags & PF_EI_DONT_DRAW) || extra->effect_win.area != PF_EA_CONTROL)
    return err;
  const DRAWBOT_PointF32 origin{static_cast<float>(extra->effect_win.current_frame.left),
                                static_cast<float>(extra->effect_win.current_frame.top)};
  if (!g_module_handle) MessageBoxA(nullptr, kNoModuleHandle, kErrorCaption, kErrorBoxStyle);
  const BitmapChoice choice = BitmapFor(extra->effect_win.index);
  return choice.resource ? DrawBitmap(suites, supplier, surface, choice, origin) : PF_Err_NONE;
}

}  // namespace

PF_Err DrawCustomControl(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*,
                         PF_EventExtra* extra) {
  extra->evt_out_flags = 0;
  PF_Err err = PF_Err_NONE;
  try {
    SuiteHandler handler(in_data->pica_basicP);
    err = DrawControl(in_data, out_data, DrawingSuites(handler), extra);
  } catch (const HostError& thrown) {
    // Only the drawing suites throw here: one the host could not supply.
    ReportToHost(in_data, out_data, SingleSuite::kDefaultAcquireMessage);
    err = thrown.code();
  }
  if (!err) extra->evt_out_flags = PF_EO_HANDLED_EVENT;
  return err;
}

PF_Err HandleEvent(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                   PF_LayerDef* output, PF_EventExtra* extra) {
  PF_Err err = PF_Err_NONE;
  bool redraw = false;
  switch (extra->e_type) {
    case PF_Event_DO_CLICK:
      extra->evt_out_flags = PF_EO_HANDLED_EVENT;
      if (extra->effect_win.index == LINK_REFERENCE_CAMERA &&
          PointInControl(extra->u.do_click.screen_point, LinkButtonRect(*extra))) {
        extra->u.do_click.send_drag = 1;
        g_link_button_down = true;
        redraw = true;
      }
      break;
    case PF_Event_DRAG: {
      const ButtonRelease release(extra);
      extra->evt_out_flags = PF_EO_HANDLED_EVENT;
      if (extra->effect_win.index == LINK_REFERENCE_CAMERA) {
        extra->u.do_click.send_drag = 1;
        g_link_button_down = true;
        redraw = true;
        // The link runs on release, wherever the pointer is by then.
        extra->evt_out_flags = 0;
        if (extra->u.do_click.last_time)
          err = LinkReferenceCamera(in_data, out_data, params, output);
        if (!err) extra->evt_out_flags = PF_EO_UPDATE_NOW;
      }
      break;
    }
    case PF_Event_DRAW:
      err = DrawCustomControl(in_data, out_data, params, output, extra);
      break;
    default:
      break;
  }
  if (redraw && !err) err = InvalidateControl(in_data, out_data, extra);
  return err;
}

}  // namespace mf
