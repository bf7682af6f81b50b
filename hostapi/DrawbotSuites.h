// The drawing suites a custom control draws with: the draw suite turns a drawing reference into
// a supplier (which makes pens, brushes, paths and images) and a surface (which draws them).
// All four are version 1. Slots the effect never calls are kept untyped so that the tables keep
// the host's layout.
#pragma once

#include <cstdint>

typedef int32_t DRAWBOT_Err;  // 0 is success
typedef uint8_t DRAWBOT_Boolean;

struct _DRAWBOT_Object;
typedef _DRAWBOT_Object* DRAWBOT_ObjectRef;
typedef DRAWBOT_ObjectRef DRAWBOT_DrawRef;
typedef DRAWBOT_ObjectRef DRAWBOT_SupplierRef;
typedef DRAWBOT_ObjectRef DRAWBOT_SurfaceRef;
typedef DRAWBOT_ObjectRef DRAWBOT_ImageRef;
typedef DRAWBOT_ObjectRef DRAWBOT_PathRef;
typedef DRAWBOT_ObjectRef DRAWBOT_PenRef;
typedef DRAWBOT_ObjectRef DRAWBOT_BrushRef;

struct DRAWBOT_PointF32 {
  float x, y;
};
struct DRAWBOT_RectF32 {
  float left, top, width, height;
};
struct DRAWBOT_ColorRGBA {
  float red, green, blue, alpha;  // 0 to 1
};

// How the bytes of an image buffer are laid out; rows are top to bottom.
typedef int32_t DRAWBOT_PixelLayout;
enum {
  kDRAWBOT_PixelLayout_24RGB = 0,
  kDRAWBOT_PixelLayout_24BGR = 1,
  kDRAWBOT_PixelLayout_32RGB = 2,  // fourth byte ignored
  kDRAWBOT_PixelLayout_32BGR = 3,
  kDRAWBOT_PixelLayout_32ARGB_Straight = 4,
  kDRAWBOT_PixelLayout_32ARGB_Premul = 5,
  kDRAWBOT_PixelLayout_32BGRA_Straight = 6,
  kDRAWBOT_PixelLayout_32BGRA_Premul = 7,
};

#define kDRAWBOT_DrawSuite "DRAWBOT Draw Suite"
#define kDRAWBOT_DrawSuite_Version1 1
#define kDRAWBOT_SupplierSuite "DRAWBOT Supplier Suite"
#define kDRAWBOT_SupplierSuite_Version1 1
#define kDRAWBOT_SurfaceSuite "DRAWBOT Surface Suite"
#define kDRAWBOT_SurfaceSuite_Version1 1
#define kDRAWBOT_PathSuite "DRAWBOT Path Suite"
#define kDRAWBOT_PathSuite_Version1 1

struct DRAWBOT_DrawbotSuite1 {
  DRAWBOT_Err (*GetSupplier)(DRAWBOT_DrawRef in_drawbot_ref, DRAWBOT_SupplierRef* out_supplierP);
  DRAWBOT_Err (*GetSurface)(DRAWBOT_DrawRef in_drawbot_ref, DRAWBOT_SurfaceRef* out_surfaceP);
};

struct DRAWBOT_SupplierSuite1 {
  void* NewPen;
  void* NewBrush;
  void* SupportsText;
  void* GetDefaultFontSize;
  void* NewDefaultFont;
  // Copies the buffer into a new image; the caller releases it with ReleaseObject.
  DRAWBOT_Err (*NewImageFromBuffer)(DRAWBOT_SupplierRef in_supplier_ref, int in_width,
                                    int in_height, int in_row_bytes,
                                    DRAWBOT_PixelLayout in_pixel_layout, const void* in_dataP,
                                    DRAWBOT_ImageRef* out_imageP);
  void* NewPath;
  void* SupportsPixelLayoutBGRA;
  void* PrefersPixelLayoutBGRA;
  void* GetTransformToScreenScale;
  DRAWBOT_Err (*ReleaseObject)(DRAWBOT_ObjectRef in_obj_ref);
};

struct DRAWBOT_SurfaceSuite1 {
  void* PushStateStack;
  void* PopStateStack;
  void* PaintRect;
  void* FillPath;
  void* StrokePath;
  void* Clip;
  void* GetClipBounds;
  void* IsWithinClipBounds;
  void* Transform;
  void* DrawString;
  // Draws the image with its top-left corner at the origin, at the given opacity (0 to 1).
  DRAWBOT_Err (*DrawImage)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_ImageRef in_image_ref,
                           const DRAWBOT_PointF32* in_originP, float in_alpha);
  void* SetInterpolationPolicy;
  void* GetInterpolationPolicy;
  void* SetAntiAliasPolicy;
  void* GetAntiAliasPolicy;
  void* Flush;
};

struct DRAWBOT_PathSuite1 {
  void* MoveTo;
  void* LineTo;
  void* BezierTo;
  void* AddRect;
  void* AddArc;
  void* Close;
};
