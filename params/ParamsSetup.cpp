#include "params/ParamsSetup.h"

#include <cstring>

#include "AE_EffectCB.h"
#include "AE_EffectSuites.h"
#include "support/SuiteHandler.h"
#include "params/ParamTable.h"

namespace mf {

namespace {

// A definition the host will copy: cleared first, so every field the row does not set is zero.
void FillDefinition(PF_InData* in_data, const ParamRow& row, PF_ParamDef& def) {
  std::memset(&def, 0, sizeof def);
  def.uu.id = row.disk_id;
  def.param_type = row.type;
  def.flags = row.flags;
  def.ui_flags = row.ui_flags;
  def.ui_width = row.ui_width;
  def.ui_height = row.ui_height;
  in_data->utils->ansi.strcpy(def.name, row.name);

  switch (row.type) {
    case PF_Param_LAYER:
      def.u.ld.dephault = PF_LayerDefault_NONE;
      break;
    case PF_Param_CHECKBOX:
      def.u.bd.value = static_cast<PF_ParamValue>(row.dephault);
      def.u.bd.dephault = static_cast<PF_Boolean>(row.dephault);
      def.u.bd.u.nameptr = "";
      break;
    case PF_Param_POPUP:
      def.u.pd.value = static_cast<PF_ParamValue>(row.dephault);
      def.u.pd.dephault = static_cast<A_short>(row.dephault);
      def.u.pd.num_choices = row.num_choices;
      def.u.pd.u.namesptr = row.popup_items;
      break;
    case PF_Param_COLOR:
      def.u.cd.value = row.color;
      def.u.cd.dephault = row.color;
      break;
    case PF_Param_FLOAT_SLIDER:
      // The host keeps the default in single precision and starts the control from it.
      def.u.fs_d.dephault = static_cast<PF_FpShort>(row.dephault);
      def.u.fs_d.value = def.u.fs_d.dephault;
      def.u.fs_d.valid_min = row.valid_min;
      def.u.fs_d.valid_max = row.valid_max;
      def.u.fs_d.slider_min = row.slider_min;
      def.u.fs_d.slider_max = row.slider_max;
      def.u.fs_d.precision = row.precision;
      def.u.fs_d.display_flags = row.display_flags;
      def.u.fs_d.fs_flags = 0;
      def.u.fs_d.curve_tolerance = kSliderCurveTolerance;
      break;
    case PF_Param_ANGLE:
      def.u.ad.value = 0;
      def.u.ad.dephault = 0;
      break;
    default:  // group start and end, no-data: nothing beyond the common fields
      break;
  }
}

}  // namespace

const char* OptionsButtonLabel() {
  return "选项";
}

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[]) {
  PF_Err err = PF_Err_NONE;

  PF_ParamDef def;
  for (const ParamRow& row : ParamTable().subspan(1)) {  // params[0] is the host's own layer
    FillDefinition(in_data, row, def);
    err = in_data->inter.add_param(in_data->effect_ref, -1, &def);
    if (err) return err;
  }

  PF_CustomUIInfo info;
  std::memset(&info, 0, sizeof info);
  info.events = PF_CustomEFlag_EFFECT;
  in_data->inter.register_ui(in_data->effect_ref, &info);  // the effect works without it

  out_data->num_params = PARAM_COUNT;

  SingleSuite effect_ui(in_data, out_data, kPFEffectUISuite, kPFEffectUISuiteVersion1,
                        "无法加载插件.", "Couldn't release suite.");
  err = effect_ui.err();
  if (!err) {
    err = effect_ui.get<PF_EffectUISuite1>()->PF_SetOptionsButtonName(in_data->effect_ref,
                                                                      OptionsButtonLabel());
  }
  PF_Err release_err = effect_ui.release();
  if (!err) err = release_err;
  return err;
}

}  // namespace mf
