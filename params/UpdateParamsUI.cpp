#include "params/UpdateParamsUI.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "AE_EffectCB.h"
#include "AE_EffectSuites.h"
#include "support/SuiteHandler.h"
#include "params/ParamIndex.h"
#include "params/MenuValues.h"

namespace mf {

namespace {

struct SliderRange {
  float min;
  float max;
};

// Sliders that may take any sign: the visible range grows by a decade once the value leaves
// the registered range of ±registered_extent, and again past ±1000.
SliderRange SignedSliderRange(double v, float registered_extent) {
  if (v >= 100 && v < 1000) return {-1000, 1000};
  if (v > -1000 && v <= -100) return {-1000, 1000};
  if (!(v >= 1000) && !(v <= -1000)) return {-registered_extent, registered_extent};
  return {-10000, 10000};
}

// Sliders that only make sense from 0 up: the first of 10, 100, 1000 above v, else 10000.
SliderRange NonNegativeSliderRange(double v) {
  if (v >= 100 && v < 1000) return {0, 1000};
  if (v >= 10 && v < 100) return {0, 100};
  if (v >= 1000) return {0, 10000};
  return {0, 10};
}

bool IsOn(const PF_ParamDef* def) {
  return def->u.bd.value > 0;
}

bool HoldsLayer(const PF_ParamDef* def) {
  // The host marks a chosen layer in the first word of the world it hands over.
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(def->u.ld.reserved0)) != 0;
}

// Every control this handler touches, in the order the host is told about them.
// clang-format off
constexpr std::array<int, 35> kUpdateOrder = {
    GAIN_X,         GAIN_Y,         GAIN_Z,
    SCALE_X,        SCALE_Y,        SCALE_Z,
    SCATTER_X,      SCATTER_Y,      SCATTER_Z,
    DISPLACE_MIN,   DISPLACE_MAX,   DISPLACE_Y_MIN,
    DISPLACE_Y_MAX, DISPLACE_Z_MIN, DISPLACE_Z_MAX,
    ENABLE_PIXEL_ANTIALIAS, PIXEL_BLEND_MODE, SOFTEN_PIXELS,
    RELATIVE_CAMERA, DIFFUSE_LIGHTS, SPECULAR_LIGHTS, ALPHA_LIGHTS,
    TEXTURE_LAYER,  PIXEL_SIZE,     SPECULAR_COLOR,
    SPECULAR_SHININESS, COMPOSITE_ALPHA_COLOR,
    AA_PIXEL_PERSPECTIVE, LOCK_IDEAL_PIXEL, REFERENCE_DISPLACEMENT,
    ALPHA_STENCIL,  TEXTURE_BLEND_MODE,
    IBL_USE_NORMAL, REFLECTION_USE_NORMAL, SPECULAR_USE_NORMAL,
};
// clang-format on

class UiScratch {
 public:
  explicit UiScratch(PF_ParamDef* params[]) {
    for (int i = 0; i < PARAM_COUNT; ++i) {
      std::memcpy(&defs_[i], params[i], sizeof defs_[i]);
    }
  }

  PF_ParamDef& operator[](int index) { return defs_[index]; }

  void SetDisabled(int index, bool disabled) {
    if (disabled)
      defs_[index].ui_flags |= PF_PUI_DISABLED;
    else
      defs_[index].ui_flags &= ~PF_PUI_DISABLED;
  }

  void SetSliderRange(int index, SliderRange range) {
    defs_[index].u.fs_d.slider_min = range.min;
    defs_[index].u.fs_d.slider_max = range.max;
  }

 private:
  std::array<PF_ParamDef, PARAM_COUNT> defs_;
};

// Slider ranges follow the current value so that the slider stays usable around it. In uniform
// groups the first slider speaks for the whole group while the switch is on.
void SetRangesAndGroups(PF_InData* in_data, PF_ParamDef* params[], UiScratch& scratch) {
  for (int index : {GAIN_X, GAIN_Y, GAIN_Z})
    scratch.SetSliderRange(index, SignedSliderRange(params[index]->u.fs_d.value, 10));
  for (int index : {SCALE_X, SCALE_Y, SCALE_Z})
    scratch.SetSliderRange(index, SignedSliderRange(params[index]->u.fs_d.value, 100));
  for (int index : {SCATTER_X, SCATTER_Y, SCATTER_Z, SPECULAR_SHININESS})
    scratch.SetSliderRange(index, NonNegativeSliderRange(params[index]->u.fs_d.value));

  const bool gain_uniform = IsOn(params[UNIFORM_GAIN]);
  const bool scale_uniform = IsOn(params[UNIFORM_SCALE]);
  const bool scatter_uniform = IsOn(params[UNIFORM_SCATTER]);
  const bool displacement_uniform = IsOn(params[UNIFORM_DISPLACEMENT]);
  auto relabel = [&](int index, const char* label) {
    in_data->utils->ansi.strcpy(scratch[index].name, label);
  };
  relabel(GAIN_X, gain_uniform ? "增益" : "增益 X");
  scratch.SetDisabled(GAIN_Y, gain_uniform);
  scratch.SetDisabled(GAIN_Z, gain_uniform);
  relabel(SCALE_X, scale_uniform ? "比例调整" : "比例调整 X");
  scratch.SetDisabled(SCALE_Y, scale_uniform);
  scratch.SetDisabled(SCALE_Z, scale_uniform);
  relabel(SCATTER_X, scatter_uniform ? "分散" : "分散 X");
  scratch.SetDisabled(SCATTER_Y, scatter_uniform);
  scratch.SetDisabled(SCATTER_Z, scatter_uniform);
  relabel(DISPLACE_MIN, displacement_uniform ? "最小位移" : "X最小");
  relabel(DISPLACE_MAX, displacement_uniform ? "最大位移" : "X最大");
  for (int index : {DISPLACE_Y_MIN, DISPLACE_Y_MAX, DISPLACE_Z_MIN, DISPLACE_Z_MAX})
    scratch.SetDisabled(index, displacement_uniform);
}

// Controls that mean nothing in the current render mode or with a switch off are greyed out.
void DisableWhatDoesNotApply(PF_ParamDef* params[], UiScratch& scratch) {
  const A_long mode = params[RENDER_MODE]->u.pd.value;
  const bool reduced_mode = IsReducedMode(mode);
  const bool data_mode = IsDataMode(mode);
  // The reduced modes draw without anti-aliasing or softening; the data modes write positions or
  // normals, so blending, texture and lights mean nothing there, and only they look through the
  // relative camera. 2D relight and the 2D data modes draw one pixel per point whatever its size.
  scratch.SetDisabled(ENABLE_PIXEL_ANTIALIAS, reduced_mode);
  scratch.SetDisabled(SOFTEN_PIXELS, reduced_mode);
  scratch.SetDisabled(RELATIVE_CAMERA, !data_mode);
  for (int index : {DIFFUSE_LIGHTS, SPECULAR_LIGHTS, ALPHA_LIGHTS})
    scratch.SetDisabled(index, data_mode);
  scratch.SetDisabled(PIXEL_SIZE, IsTwoDMode(mode));
  // Blending and texture stay live in the reduced modes so that they can be set while
  // previewing; only the data modes grey them out.
  scratch.SetDisabled(PIXEL_BLEND_MODE, data_mode);
  scratch.SetDisabled(TEXTURE_LAYER, data_mode);

  const bool texture_present = HoldsLayer(params[TEXTURE_LAYER]);
  scratch.SetDisabled(SPECULAR_COLOR, IsOn(params[USE_LIGHT_COLOR]));
  scratch.SetDisabled(COMPOSITE_ALPHA_COLOR, !IsOn(params[COMPOSITE_ALPHA]));
  for (int index : {AA_PIXEL_PERSPECTIVE, LOCK_IDEAL_PIXEL, REFERENCE_DISPLACEMENT})
    scratch.SetDisabled(index, !IsOn(params[ENABLE_PIXEL_PERSPECTIVE]));
  scratch.SetDisabled(ALPHA_STENCIL, !texture_present);
  scratch.SetDisabled(TEXTURE_BLEND_MODE, !texture_present);
  for (int index : {IBL_USE_NORMAL, REFLECTION_USE_NORMAL, SPECULAR_USE_NORMAL})
    scratch.SetDisabled(index, !HoldsLayer(params[ALT_NORMAL_PASS]));
}

}  // namespace

PF_Err UpdateParamsUI(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[]) {
  // A call without the full parameter list has nothing sound to read.
  if (!params) return PF_Err_INTERNAL_STRUCT_DAMAGED;
  for (int i = 0; i < PARAM_COUNT; ++i)
    if (!params[i]) return PF_Err_INTERNAL_STRUCT_DAMAGED;

  SuiteHandler suites(in_data->pica_basicP);
  const auto* param_utils =
      suites.get<PF_ParamUtilsSuite1>(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1);

  UiScratch scratch(params);
  SetRangesAndGroups(in_data, params, scratch);
  DisableWhatDoesNotApply(params, scratch);

  PF_Err err = PF_Err_NONE;
  for (int index : kUpdateOrder) {
    err = param_utils->PF_UpdateParamUI(in_data->effect_ref, index, &scratch[index]);
    if (err) break;
  }

  out_data->out_flags |= PF_OutFlag_REFRESH_UI | PF_OutFlag_FORCE_RERENDER;
  return err;
}

}  // namespace mf
