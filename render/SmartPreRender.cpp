#include "render/SmartPreRender.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "AE_EffectSuites.h"
#include "support/HostResources.h"
#include "support/SuiteHandler.h"
#include "params/ParamTable.h"
#include "render/PreRenderData.h"
#include "params/MenuValues.h"

namespace mf {
namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

// What one value control yielded at the frame's time.
struct ControlValues {
  double value[PARAM_COUNT] = {};    // check box, popup, slider; angles in 16.16 degrees
  PF_Pixel color[PARAM_COUNT] = {};  // colour controls
};

bool IsValueControl(int index) {
  switch (ParamTypeAt(index).value_or(PF_Param_NO_DATA)) {
    case PF_Param_CHECKBOX:
    case PF_Param_POPUP:
    case PF_Param_FLOAT_SLIDER:
    case PF_Param_ANGLE:
    case PF_Param_COLOR:
      return true;
    default:
      return false;
  }
}

void TakeValue(int index, const PF_ParamDef& def, ControlValues* values) {
  switch (ParamTypeAt(index).value_or(PF_Param_NO_DATA)) {
    case PF_Param_CHECKBOX:
      values->value[index] = def.u.bd.value;
      break;
    case PF_Param_POPUP:
      values->value[index] = def.u.pd.value;
      break;
    case PF_Param_FLOAT_SLIDER:
      values->value[index] = def.u.fs_d.value;
      break;
    case PF_Param_ANGLE:
      values->value[index] = def.u.ad.value;
      break;
    case PF_Param_COLOR:
      values->color[index] = def.u.cd.value;
      break;
    default:
      break;
  }
}

// Reads the controls in the record's order: index order, with the four reference-camera
// controls moved after TEXTURE_BLEND_MODE. Stops at the first failing host call.
PF_Err ReadControls(PF_InData* in_data, ControlValues* values) {
  int order[PARAM_COUNT];
  int count = 0;
  for (int i = RENDER_MODE; i <= TEXTURE_BLEND_MODE; ++i) {
    if (i >= REFERENCE_CAMERA_POSITION_X && i <= REFERENCE_CAMERA_ZOOM) continue;
    order[count++] = i;
  }
  for (int i = REFERENCE_CAMERA_POSITION_X; i <= REFERENCE_CAMERA_ZOOM; ++i) order[count++] = i;
  for (int i = TEXTURE_BLEND_MODE + 1; i <= CAMERA_ZOOM; ++i) order[count++] = i;

  PF_Err err = PF_Err_NONE;
  for (int k = 0; k < count && !err; ++k) {
    const int index = order[k];
    if (!IsValueControl(index)) continue;
    ParamCheckout control(in_data);
    err = control.checkout(index, in_data->current_time, in_data->time_step, in_data->time_scale);
    if (err) break;
    TakeValue(index, control.def(), values);
    err = control.release();
  }
  return err;
}

// Sliders accept values up to the largest float while some fields are 16 or 32-bit integers;
// converting a float outside an integer's range is undefined, so values are clamped to the
// field's range first (NaN becomes 0). The conversion then truncates toward zero.
template <class Int>
Int ClampToInt(double v) {
  if (std::isnan(v)) return 0;
  constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
  constexpr double hi = static_cast<double>(std::numeric_limits<Int>::max());
  if (v <= lo) return std::numeric_limits<Int>::min();
  if (v >= hi) return std::numeric_limits<Int>::max();
  return static_cast<Int>(v);
}

// Controls are doubles; anything beyond the float range saturates at the largest float.
float ToFloat(double v) {
  if (v > FLT_MAX) return FLT_MAX;
  if (v < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(v);
}

// Twice the rounded value. The rounded value is held to half the 16-bit range so that the doubled
// one still fits the field and stays even.
int16_t TwiceRounded(double v) {
  int16_t rounded = ClampToInt<int16_t>(v + 0.5);
  if (rounded > 16383) rounded = 16383;
  if (rounded < -16384) rounded = -16384;
  return static_cast<int16_t>(2 * rounded);
}

float Radians(double fixed_degrees) {
  return static_cast<float>(fixed_degrees / 65536.0 * kRadiansPerDegree);
}

ColorF ToColor(const PF_Pixel& p) {
  return ColorF{1.0f, p.red / 255.0f, p.green / 255.0f, p.blue / 255.0f};
}

#define MF_BOOL(ID) r->ID = v[ID] > 0
#define MF_INT(ID) r->ID = ClampToInt<int32_t>(v[ID])
#define MF_FLOAT(ID) r->ID = ToFloat(v[ID])
#define MF_PERCENT(ID) r->ID = ToFloat(v[ID] / 100.0)
#define MF_ANGLE(ID) r->ID = Radians(v[ID])

// The render mode, lights, alpha, falloff, image-based light, reflection, grid and
// position and normal adjustments.
void FillModeAndPassControls(const ControlValues& c, PreRenderData* r) {
  const double* v = c.value;
  MF_INT(RENDER_MODE);
  MF_BOOL(RELATIVE_CAMERA);
  MF_BOOL(DIFFUSE_LIGHTS);
  MF_BOOL(SPECULAR_LIGHTS);
  MF_BOOL(ALPHA_LIGHTS);
  MF_BOOL(ALPHA_NORMAL);
  MF_BOOL(INVERT_ALPHA);
  MF_BOOL(COMPOSITE_ALPHA);
  r->COMPOSITE_ALPHA_COLOR = ToColor(c.color[COMPOSITE_ALPHA_COLOR]);
  MF_INT(COMPOSITE_ALPHA_BLEND);
  MF_BOOL(ENABLE_FALLOFF);
  r->FALLOFF_BIAS = ToFloat(-v[FALLOFF_BIAS] / 100.0);
  MF_BOOL(IBL_USE_NORMAL);
  MF_BOOL(IBL_ANTIALIAS);
  MF_PERCENT(IBL_GAIN);
  MF_ANGLE(IBL_ROTATION_X);
  MF_ANGLE(IBL_ROTATION_Y);
  MF_ANGLE(IBL_ROTATION_Z);
  MF_BOOL(REFLECTION_USE_NORMAL);
  MF_BOOL(REFLECTION_ANTIALIAS);
  MF_PERCENT(REFLECTION_INTENSITY);
  MF_INT(REFLECTION_BLEND);
  MF_INT(REFLECTION_MATTE_MAP);
  MF_ANGLE(REFLECTION_ROTATION_X);
  MF_ANGLE(REFLECTION_ROTATION_Y);
  MF_ANGLE(REFLECTION_ROTATION_Z);
  MF_BOOL(ENABLE_GRID);
  MF_INT(GRID_SIZE);
  MF_INT(GRID_SUBDIVIDE);
  MF_FLOAT(GRID_POSITION_X);
  MF_FLOAT(GRID_POSITION_Y);
  MF_FLOAT(GRID_POSITION_Z);
  MF_BOOL(UNIFORM_GAIN);
  MF_FLOAT(GAIN_X);
  MF_FLOAT(GAIN_Y);
  MF_FLOAT(GAIN_Z);
  MF_INT(MAP_RGB_TO);
  MF_BOOL(INVERT_X);
  MF_BOOL(INVERT_Y);
  MF_BOOL(INVERT_Z);
  MF_BOOL(CURVED_PROJECTION);
  MF_BOOL(NORMAL_INVERT_X);
  MF_BOOL(NORMAL_INVERT_Y);
  MF_BOOL(NORMAL_INVERT_Z);
  MF_ANGLE(NORMAL_ROTATION_X);
  MF_ANGLE(NORMAL_ROTATION_Y);
  MF_ANGLE(NORMAL_ROTATION_Z);
  MF_BOOL(CULL_BACKFACES);
  MF_BOOL(RELATIVE_NORMALS);
  MF_BOOL(RELIGHT_BACKFACES);
  MF_BOOL(REMAP_VALUES);
  MF_FLOAT(REMAP_X_MIN);
  MF_FLOAT(REMAP_X_MAX);
  MF_FLOAT(REMAP_Y_MIN);
  MF_FLOAT(REMAP_Y_MAX);
  MF_FLOAT(REMAP_Z_MIN);
  MF_FLOAT(REMAP_Z_MAX);
}

// Specular, displacement and scatter.
void FillSurfaceControls(const ControlValues& c, PreRenderData* r) {
  const double* v = c.value;
  MF_BOOL(SPECULAR_USE_NORMAL);
  MF_INT(SPECULAR_MATTE_MAP);
  MF_FLOAT(SPECULAR_INTENSITY);
  r->SPECULAR_SHININESS = TwiceRounded(v[SPECULAR_SHININESS]);
  MF_BOOL(HARD_SPECULAR);
  MF_BOOL(USE_LIGHT_COLOR);
  r->SPECULAR_COLOR = ToColor(c.color[SPECULAR_COLOR]);
  MF_BOOL(REMAP_DISPLACEMENT);
  MF_BOOL(UNIFORM_DISPLACEMENT);
  MF_FLOAT(DISPLACE_MIN);
  MF_FLOAT(DISPLACE_MAX);
  MF_FLOAT(DISPLACE_Y_MIN);
  MF_FLOAT(DISPLACE_Y_MAX);
  MF_FLOAT(DISPLACE_Z_MIN);
  MF_FLOAT(DISPLACE_Z_MAX);
  MF_ANGLE(DISPLACE_ROTATION_X);
  MF_ANGLE(DISPLACE_ROTATION_Y);
  MF_ANGLE(DISPLACE_ROTATION_Z);
  MF_BOOL(UNIFORM_SCATTER);
  MF_FLOAT(SCATTER_X);
  MF_FLOAT(SCATTER_Y);
  MF_FLOAT(SCATTER_Z);
  r->SCATTER_RANDOM_SEED = ClampToInt<int16_t>(v[SCATTER_RANDOM_SEED] + 0.5);
}

// Offsets, sampling, the point stamps, texture and cameras.
void FillPointControls(const ControlValues& c, PreRenderData* r) {
  const double* v = c.value;
  MF_FLOAT(ANCHOR_X);
  MF_FLOAT(ANCHOR_Y);
  MF_FLOAT(ANCHOR_Z);
  MF_FLOAT(POSITION_OFFSET_X);
  MF_FLOAT(POSITION_OFFSET_Y);
  MF_FLOAT(POSITION_OFFSET_Z);
  MF_ANGLE(ROTATION_OFFSET_X);
  MF_ANGLE(ROTATION_OFFSET_Y);
  MF_ANGLE(ROTATION_OFFSET_Z);
  MF_BOOL(UNIFORM_SCALE);
  MF_PERCENT(SCALE_X);
  MF_PERCENT(SCALE_Y);
  MF_PERCENT(SCALE_Z);
  r->RESOLUTION = v[RESOLUTION] / 100.0;
  r->PIXEL_SIZE = ClampToInt<int16_t>(v[PIXEL_SIZE] + 0.5);
  MF_BOOL(ENABLE_PIXEL_PERSPECTIVE);
  MF_BOOL(REFERENCE_DISPLACEMENT);
  MF_PERCENT(ADD_PIXEL_PERSPECTIVE);
  MF_BOOL(ENABLE_PIXEL_ANTIALIAS);
  r->ALPHA_OFFSET = v[ALPHA_OFFSET] / 100.0;
  MF_PERCENT(OFFSET_X);
  MF_PERCENT(OFFSET_Y);
  MF_BOOL(DISABLE_SUBPIXEL);
  MF_BOOL(AA_PIXEL_PERSPECTIVE);
  MF_BOOL(LOCK_IDEAL_PIXEL);
  MF_BOOL(SOFTEN_PIXELS);
  MF_PERCENT(SOFTEN_PIXELS_BIAS);
  MF_INT(PIXEL_BLEND_MODE);
  MF_INT(LIFE_MAP);
  MF_BOOL(ALPHA_STENCIL);
  MF_INT(TEXTURE_BLEND_MODE);
  MF_FLOAT(REFERENCE_CAMERA_POSITION_X);
  MF_FLOAT(REFERENCE_CAMERA_POSITION_Y);
  MF_FLOAT(REFERENCE_CAMERA_POSITION_Z);
  r->REFERENCE_CAMERA_ZOOM = v[REFERENCE_CAMERA_ZOOM];
  MF_FLOAT(CAMERA_POSITION_X);
  MF_FLOAT(CAMERA_POSITION_Y);
  MF_FLOAT(CAMERA_POSITION_Z);
  MF_ANGLE(CAMERA_ROTATION_X);
  MF_ANGLE(CAMERA_ROTATION_Y);
  MF_ANGLE(CAMERA_ROTATION_Z);
  r->CAMERA_ZOOM = v[CAMERA_ZOOM];
}

void FillControls(const ControlValues& c, PreRenderData* r) {
  FillModeAndPassControls(c, r);
  FillSurfaceControls(c, r);
  FillPointControls(c, r);
}

#undef MF_BOOL
#undef MF_INT
#undef MF_FLOAT
#undef MF_PERCENT
#undef MF_ANGLE

// The host's downsample ratio turned upside down. A ratio the host could not mean (a zero or
// negative numerator, which would divide by zero or wrap) counts as full resolution, and the
// factor is never below 1, since the render divides by it.
uint32_t DownsampleFactor(const PF_RationalScale& ratio) {
  if (ratio.num <= 0) return 1;
  uint32_t factor = ratio.den / static_cast<uint32_t>(ratio.num);
  return factor ? factor : 1;
}

// The preview modes multiply the pixel size; the product is held to the 16-bit field (the render
// limits a stamp to half the output's smaller side in any case).
int16_t ScalePixelSize(int16_t size, int factor) {
  return ClampToInt<int16_t>(static_cast<double>(size) * factor);
}

void AdjustForRenderMode(PreRenderData* r) {
  const int32_t m = r->RENDER_MODE;
  if (m <= kRenderModeFull) return;
  switch (m) {
    case kRenderModeHalf:
      r->RESOLUTION *= 0.5;
      r->PIXEL_SIZE = ScalePixelSize(r->PIXEL_SIZE, 2);
      break;
    case kRenderModeThird:
      r->RESOLUTION *= 0.3333;
      r->PIXEL_SIZE = ScalePixelSize(r->PIXEL_SIZE, 3);
      break;
    case kRenderModeQuarter:
      r->RESOLUTION *= 0.25;
      r->PIXEL_SIZE = ScalePixelSize(r->PIXEL_SIZE, 4);
      break;
    case kRenderModeEighth:
      r->RESOLUTION *= 0.125;
      r->PIXEL_SIZE = ScalePixelSize(r->PIXEL_SIZE, 8);
      break;
    default:
      break;
  }
  r->PIXEL_BLEND_MODE = kPixelBlendCopy;
  if (m <= kRenderModeEighth) {
    r->ENABLE_PIXEL_ANTIALIAS = false;
    r->SOFTEN_PIXELS = false;
    if (m == kRenderMode2DRelight) r->ENABLE_GRID = false;
  }
  if (m == kRenderMode2DPosition || m == kRenderMode2DNormal) {
    r->ENABLE_PIXEL_ANTIALIAS = false;
    r->SOFTEN_PIXELS = false;
    r->ENABLE_GRID = false;
  }
  if (IsDataMode(m)) {
    r->DIFFUSE_LIGHTS = false;
    r->SPECULAR_LIGHTS = false;
    r->ALPHA_LIGHTS = false;
  }
  if (IsTwoDMode(m)) r->PIXEL_SIZE = 1;
}

// The record is the plug-in's own allocation, so the plug-in's own allocator releases it: the
// host may call this any number of frames later, from any thread.
void DeletePreRenderData(void* data) {
  delete static_cast<PreRenderData*>(data);
}

bool IsEmpty(const PF_LRect& r) {
  return r.left >= r.right || r.top >= r.bottom;
}

}  // namespace

void UnionRect(const PF_LRect& src, PF_LRect* dst) {
  if (IsEmpty(*dst)) {
    *dst = src;
  } else if (!IsEmpty(src)) {
    if (src.left < dst->left) dst->left = src.left;
    if (src.top < dst->top) dst->top = src.top;
    if (src.right > dst->right) dst->right = src.right;
    if (src.bottom > dst->bottom) dst->bottom = src.bottom;
  }
}

PF_Err SmartPreRender(PF_InData* in_data, PF_OutData*, PF_PreRenderExtra* extra) {
  if (!in_data || !extra || !extra->input || !extra->output || !extra->cb)
    return PF_Err_BAD_CALLBACK_PARAM;
  const PF_RenderRequest request = extra->input->output_request;

  auto* record = new (std::nothrow) PreRenderData{};
  if (!record) return PF_Err_OUT_OF_MEMORY;
  // From here the host owns the record, whatever this call returns.
  extra->output->pre_render_data = record;
  extra->output->delete_pre_render_data_func = DeletePreRenderData;

  ControlValues values;
  PF_Err err = ReadControls(in_data, &values);
  if (!err) {
    FillControls(values, record);
    record->layer_width = in_data->width;
    record->layer_height = in_data->height;
    record->downsample_factor_x = DownsampleFactor(in_data->downsample_x);
    record->downsample_factor_y = DownsampleFactor(in_data->downsample_y);
    AdjustForRenderMode(record);

    PF_CheckoutResult result;
    std::memset(&result, 0, sizeof(result));
    err = extra->cb->checkout_layer(in_data->effect_ref, 0, 0, &request, in_data->current_time,
                                    in_data->time_step, in_data->time_scale, &result);
    if (!err) {
      record->input_origin_x = result.result_rect.left;
      record->input_origin_y = result.result_rect.top;
      UnionRect(result.result_rect, &extra->output->result_rect);
      UnionRect(result.max_result_rect, &extra->output->max_result_rect);
    }
  }
  return err;
}

}  // namespace mf
