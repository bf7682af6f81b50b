// The composition layer that one of the effect's own layer controls points at, found through the
// effect's stream of that control: the way to a layer's timing and name, which the control's
// checked-out pixels do not carry.
#pragma once

#include "AE_CompSuites.h"
#include "AE_EffectCB.h"
#include "support/HostResources.h"
#include "support/SuiteHandler.h"

namespace mf {

// Where the effect sits, as the stages that look up layers need it.
struct EffectPlace {
  PF_InData* in_data;
  AEGP_PluginID plugin_id;
  AEGP_CompH comp;
  A_Time comp_time;
};

// Calls use(layer) with the layer the control points at, while the references that lead to it
// are held; a control that points at no layer calls nothing. Returns the first error, use's
// included, then an abort and the disposal of every reference made.
template <typename Use>
PF_Err WithControlLayer(SuiteHandler& suites, const EffectPlace& place, PF_ParamIndex control,
                        Use use) {
  const auto* pf_interface =
      suites.get<AEGP_PFInterfaceSuite1>(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1);
  const auto* stream_suite =
      suites.get<AEGP_StreamSuite2>(kAEGPStreamSuite, kAEGPStreamSuiteVersion2);
  const auto* layer_suite = suites.get<AEGP_LayerSuite5>(kAEGPLayerSuite, kAEGPLayerSuiteVersion5);
  EffectRef effect(suites.get<AEGP_EffectSuite2>(kAEGPEffectSuite, kAEGPEffectSuiteVersion2));
  StreamRef stream(stream_suite);
  StreamValue value(stream_suite);

  PF_Err err = pf_interface->AEGP_GetNewEffectForEffect(place.plugin_id, place.in_data->effect_ref,
                                                        effect.out());
  if (!err) {
    err = stream_suite->AEGP_GetNewEffectStreamByIndex(place.plugin_id, effect.get(), control,
                                                       stream.out());
  }
  if (!err) err = value.fetch(place.plugin_id, stream.get(), &place.comp_time);
  AEGP_LayerH layer = nullptr;
  if (!err && value.get().val.layer_id != 0) {
    err = layer_suite->AEGP_GetLayerFromLayerID(place.comp, value.get().val.layer_id, &layer);
  }
  if (!err && layer) err = use(layer_suite, layer);
  if (!err) err = PF_ABORT(place.in_data);
  KeepFirst(err, value.release());
  KeepFirst(err, stream.release());
  KeepFirst(err, effect.release());
  return err;
}

}  // namespace mf
