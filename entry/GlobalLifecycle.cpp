#include "entry/GlobalLifecycle.h"

#include "AE_EffectCB.h"
#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"
#include "support/Globals.h"
#include "support/HostResources.h"
#include "support/SuiteHandler.h"

namespace mf {
namespace {

constexpr const char* kEffectName = "Motefield";
constexpr const char* kDescription =
    "\nRe-renders a position pass as a lit 3D point cloud. Made by the Motefield team."
    "\rIncorporate 3D World Position Pass";

// Reads one alert switch; a key that is absent leaves the flag false. Only the exact text
// "TRUE" switches the alert off.
PF_Err ReadAlertPreference(const AEGP_PersistentDataSuite3* prefs, AEGP_PersistentBlobH blob,
                           const char* key, bool exists, bool* flag) {
  if (!exists) return PF_Err_NONE;
  char value[256] = {};
  A_u_long actual = 0;
  PF_Err err =
      prefs->AEGP_GetString(blob, kPrefSection, key, nullptr, sizeof(value), value, &actual);
  if (!err) *flag = std::strcmp(value, "TRUE") == 0;
  return err;
}

// The three alert switches from the host's preference store.
PF_Err ReadAlertPreferences(SuiteHandler& suites) {
  const auto* prefs = suites.get<AEGP_PersistentDataSuite3>(kAEGPPersistentDataSuite,
                                                            kAEGPPersistentDataSuiteVersion3);
  AEGP_PersistentBlobH blob = nullptr;
  A_Boolean has_pass = 0, has_preview = 0, has_pixel_perspective = 0;
  PF_Err err = prefs->AEGP_GetApplicationBlob(&blob);
  if (!err) err = prefs->AEGP_DoesKeyExist(blob, kPrefSection, kPrefNoPassAlerts, &has_pass);
  if (!err) err = prefs->AEGP_DoesKeyExist(blob, kPrefSection, kPrefNoPreviewAlerts, &has_preview);
  if (!err)
    err = prefs->AEGP_DoesKeyExist(blob, kPrefSection, kPrefNoPixelPerspectiveAlerts,
                                   &has_pixel_perspective);
  if (!err) err = ReadAlertPreference(prefs, blob, kPrefNoPassAlerts, has_pass, &g_no_pass_alerts);
  if (!err)
    err = ReadAlertPreference(prefs, blob, kPrefNoPreviewAlerts, has_preview, &g_no_preview_alerts);
  if (!err)
    err = ReadAlertPreference(prefs, blob, kPrefNoPixelPerspectiveAlerts, has_pixel_perspective,
                              &g_no_pixel_perspective_alerts);
  return err;
}

}  // namespace

PF_Err About(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*) {
  in_data->utils->ansi.sprintf(out_data->return_msg, "%s, v%d.%d\r%s", kEffectName, 1, 0,
                               kDescription);
  return PF_Err_NONE;
}

PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*) {
  // The version is compared as a pair: a newer major version with any minor is compatible.
  const PF_SpecVersion v = in_data->version;
  if (v.major < kRequiredApiMajor ||
      (v.major == kRequiredApiMajor && v.minor < kRequiredApiMinor)) {
    MessageBoxA(nullptr, "Motefield internal error: Version invalid", "Error", kErrorBoxStyle);
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }

  g_link_button_down = false;
  g_no_pass_alerts = false;
  g_no_preview_alerts = false;
  g_no_pixel_perspective_alerts = false;

  SuiteHandler suites(in_data->pica_basicP);
  out_data->my_version = kEffectVersion;
  out_data->out_flags = kOutFlags;
  out_data->out_flags2 = kOutFlags2;

  const auto* handles = suites.get<PF_HandleSuite1>(kPFHandleSuite, kPFHandleSuiteVersion1);
  // Until registration succeeds nothing will hand this handle back to us, so on every other
  // path it must not outlive the command.
  OwnedHandle global_handle(handles, sizeof(GlobalData));
  if (!global_handle.get()) return PF_Err_INTERNAL_STRUCT_DAMAGED;
  const HandleLock lock(handles, global_handle.get());
  auto* global = static_cast<GlobalData*>(lock.data());
  if (!global) return PF_Err_OUT_OF_MEMORY;

  global->valid = 1;
  const auto* utility =
      suites.get<AEGP_UtilitySuite3>(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion3);
  PF_Err err = utility->AEGP_RegisterWithAEGP(nullptr, kEffectName, &global->plugin_id);
  g_basic_suite = in_data->pica_basicP;
  if (err) return err;
  out_data->global_data = global_handle.handOver();
  return ReadAlertPreferences(suites);
}

PF_Err GlobalSetdown(PF_InData* in_data) {
  if (!in_data->global_data) return PF_Err_NONE;
  try {
    SuiteHandler suites(in_data->pica_basicP);
    suites.get<PF_HandleSuite1>(kPFHandleSuite, kPFHandleSuiteVersion1)
        ->host_dispose_handle(in_data->global_data);
  } catch (const HostError&) {
    // Nothing hands this record back after setdown: without the handle suite it goes through
    // the utility callbacks, and the failure is still reported.
    if (in_data->utils && in_data->utils->host_dispose_handle) {
      in_data->utils->host_dispose_handle(in_data->global_data);
    }
    throw;
  }
  return PF_Err_NONE;
}

}  // namespace mf
