#include "ui/AlertPreferences.h"

#include "support/Globals.h"

namespace mf {

const AlertSwitch& SwitchOf(Alert alert) {
  static const AlertSwitch kSwitches[kAlertCount] = {
      {kPrefNoPassAlerts, &g_no_pass_alerts},
      {kPrefNoPreviewAlerts, &g_no_preview_alerts},
      {kPrefNoPixelPerspectiveAlerts, &g_no_pixel_perspective_alerts},
  };
  return kSwitches[static_cast<int>(alert)];
}

AlertPreferences::AlertPreferences(SuiteHandler& suites)
    : prefs_(suites.get<AEGP_PersistentDataSuite3>(kAEGPPersistentDataSuite,
                                                   kAEGPPersistentDataSuiteVersion3)) {
  err_ = prefs_->AEGP_GetApplicationBlob(&blob_);
}

bool AlertPreferences::exists(const char* key) {
  A_Boolean found = 0;
  if (!err_) err_ = prefs_->AEGP_DoesKeyExist(blob_, kPrefSection, key, &found);
  return !err_ && found;
}

void AlertPreferences::store(const char* key) {
  if (!err_) err_ = prefs_->AEGP_SetString(blob_, kPrefSection, key, "TRUE");
}

void AlertPreferences::remove(const char* key) {
  if (!err_) err_ = prefs_->AEGP_DeleteEntry(blob_, kPrefSection, key);
}

}  // namespace mf
