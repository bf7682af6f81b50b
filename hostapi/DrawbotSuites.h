// The drawing suites a custom control draws with: the draw suite turns a drawing reference into
// a supplier (which makes pens, brushes, paths and images) and a surface (which draws them).
// The effect acquires all four at version 1. Every slot carries its signature, called or not, so
// that the tables keep the host's layout.
#pragma once

#include <cstdint>

#include "SPBasic.h"

typedef SPErr DRAWBOT_Err;  // 0 is success
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
typedef DRAWBOT_ObjectRef DRAWBOT_FontRef;
typedef int32_t DRAWBOT_FillType;
typedef int32_t DRAWBOT_InterpolationPolicy;
typedef int32_t DRAWBOT_AntiAliasPolicy;
typedef int32_t DRAWBOT_TextAlignment;
typedef int32_t DRAWBOT_TextTruncation;
typedef uint16_t DRAWBOT_UTF16Char;
struct DRAWBOT_MatrixF32;
struct DRAWBOT_Rect32;

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
#define kDRAWBOT_SurfaceSuite_Version2 2
#define kDRAWBOT_PathSuite "DRAWBOT Path Suite"
#define kDRAWBOT_PathSuite_Version1 1

struct DRAWBOT_DrawbotSuite1 {
  SPErr (*GetSupplier)(DRAWBOT_DrawRef in_drawbot_ref, DRAWBOT_SupplierRef* out_supplierP);
  SPErr (*GetSurface)(DRAWBOT_DrawRef in_drawbot_ref, DRAWBOT_SurfaceRef* out_surfaceP);
};

struct DRAWBOT_SupplierSuite1 {
  SPErr (*NewPen)(DRAWBOT_SupplierRef in_supplier_ref, const DRAWBOT_ColorRGBA* in_colorP,
                  float in_size, DRAWBOT_PenRef* out_penP);
  SPErr (*NewBrush)(DRAWBOT_SupplierRef in_supplier_ref, const DRAWBOT_ColorRGBA* in_colorP,
                    DRAWBOT_BrushRef* out_brushP);
  SPErr (*SupportsText)(DRAWBOT_SupplierRef in_supplier_ref, DRAWBOT_Boolean* out_supports_textPB);
  SPErr (*GetDefaultFontSize)(DRAWBOT_SupplierRef in_supplier_ref, float* out_font_sizeF);
  SPErr (*NewDefaultFont)(DRAWBOT_SupplierRef in_supplier_ref, float in_font_sizeF,
                          DRAWBOT_FontRef* out_fontP);
  SPErr (*NewImageFromBuffer)(DRAWBOT_SupplierRef in_supplier_ref, int in_width, int in_height,
                              int in_row_bytes, DRAWBOT_PixelLayout in_pl, const void* in_dataP,
                              DRAWBOT_ImageRef* out_imageP);
  SPErr (*NewPath)(DRAWBOT_SupplierRef in_supplier_ref, DRAWBOT_PathRef* out_pathP);
  SPErr (*SupportsPixelLayoutBGRA)(DRAWBOT_SupplierRef in_supplier_ref,
                                   DRAWBOT_Boolean* out_supports_bgraPB);
  SPErr (*PrefersPixelLayoutBGRA)(DRAWBOT_SupplierRef in_supplier_ref,
                                  DRAWBOT_Boolean* out_prefers_bgraPB);
  SPErr (*SupportsPixelLayoutARGB)(DRAWBOT_SupplierRef in_supplier_ref,
                                   DRAWBOT_Boolean* out_supports_argbPB);
  SPErr (*PrefersPixelLayoutARGB)(DRAWBOT_SupplierRef in_supplier_ref,
                                  DRAWBOT_Boolean* out_prefers_argbPB);
  SPErr (*RetainObject)(DRAWBOT_ObjectRef in_obj_ref);
  SPErr (*ReleaseObject)(DRAWBOT_ObjectRef in_obj_ref);
};

// One table for both versions: a host serving version 1 ends it at Flush, so
// GetTransformToScreenScale may only be called on a table acquired as version 2.
struct DRAWBOT_SurfaceSuite1 {
  SPErr (*PushStateStack)(DRAWBOT_SurfaceRef in_surface_ref);
  SPErr (*PopStateStack)(DRAWBOT_SurfaceRef in_surface_ref);
  SPErr (*PaintRect)(DRAWBOT_SurfaceRef in_surface_ref, const DRAWBOT_ColorRGBA* in_colorP,
                     const DRAWBOT_RectF32* in_rectPR);
  SPErr (*FillPath)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_BrushRef in_brush_ref,
                    DRAWBOT_PathRef in_path_ref, DRAWBOT_FillType in_fill_type);
  SPErr (*StrokePath)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_PenRef in_pen_ref,
                      DRAWBOT_PathRef in_path_ref);
  SPErr (*Clip)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_SupplierRef in_supplier_ref,
                const DRAWBOT_Rect32* in_rectPR);
  SPErr (*GetClipBounds)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_Rect32* out_rectPR);
  SPErr (*IsWithinClipBounds)(DRAWBOT_SurfaceRef in_surface_ref, const DRAWBOT_Rect32* in_rectPR,
                              DRAWBOT_Boolean* out_withinPB);
  SPErr (*Transform)(DRAWBOT_SurfaceRef in_surface_ref, const DRAWBOT_MatrixF32* in_matrixP);
  SPErr (*DrawString)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_BrushRef in_brush_ref,
                      DRAWBOT_FontRef in_font_ref, const DRAWBOT_UTF16Char* in_stringP,
                      const DRAWBOT_PointF32* in_originP, DRAWBOT_TextAlignment in_alignment_style,
                      DRAWBOT_TextTruncation in_truncation_style, float in_truncation_width);
  SPErr (*DrawImage)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_ImageRef in_image_ref,
                     const DRAWBOT_PointF32* in_originP, float in_alpha);
  SPErr (*SetInterpolationPolicy)(DRAWBOT_SurfaceRef in_surface_ref,
                                  DRAWBOT_InterpolationPolicy in_interp);
  SPErr (*GetInterpolationPolicy)(DRAWBOT_SurfaceRef in_surface_ref,
                                  DRAWBOT_InterpolationPolicy* out_interpP);
  SPErr (*SetAntiAliasPolicy)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_AntiAliasPolicy in_policy);
  SPErr (*GetAntiAliasPolicy)(DRAWBOT_SurfaceRef in_surface_ref,
                              DRAWBOT_AntiAliasPolicy* out_policyP);
  SPErr (*Flush)(DRAWBOT_SurfaceRef in_surface_ref);
  SPErr (*GetTransformToScreenScale)(DRAWBOT_SurfaceRef in_surface_ref, float* out_scale);
};

typedef DRAWBOT_SurfaceSuite1 DRAWBOT_SurfaceSuite2;

struct DRAWBOT_PathSuite1 {
  SPErr (*MoveTo)(DRAWBOT_PathRef in_path_ref, float in_x, float in_y);
  SPErr (*LineTo)(DRAWBOT_PathRef in_path_ref, float in_x, float in_y);
  SPErr (*BezierTo)(DRAWBOT_PathRef in_path_ref, const DRAWBOT_PointF32* in_pt1P,
                    const DRAWBOT_PointF32* in_pt2P, const DRAWBOT_PointF32* in_pt3P);
  SPErr (*AddRect)(DRAWBOT_PathRef in_path_ref, const DRAWBOT_RectF32* in_rectPR);
  SPErr (*AddArc)(DRAWBOT_PathRef in_path_ref, const DRAWBOT_PointF32* in_centerP, float in_radius,
                  float in_start_angle, float in_sweep);
  SPErr (*Close)(DRAWBOT_PathRef in_path_ref);
};
