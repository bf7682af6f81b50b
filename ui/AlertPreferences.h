// The three alert switches: a process-wide suppression flag each, and a preference key each in
// the host's application preferences ("Main Pref Section"), where only the value "TRUE" counts.
#pragma once

#include "AE_Effect.h"
#include "AE_GeneralPlug.h"
#include "support/SuiteHandler.h"

namespace mf {

enum class Alert { kPositionPass = 0, kRenderMode = 1, kPixelPerspective = 2 };
constexpr int kAlertCount = 3;

struct AlertSwitch {
  const char* key;  // preference key in kPrefSection
  bool* suppressed;
};

// In the order the preferences are always visited: pass, preview, pixel perspective.
const AlertSwitch& SwitchOf(Alert alert);

// The application preference blob and calls on it; each call is made only while `err` is still
// PF_Err_NONE, and the first failure is kept in it.
class AlertPreferences {
 public:
  explicit AlertPreferences(SuiteHandler& suites);
  PF_Err err() const { return err_; }

  bool exists(const char* key);
  void store(const char* key);   // writes "TRUE"
  void remove(const char* key);  // deletes the entry

 private:
  const AEGP_PersistentDataSuite3* prefs_;
  AEGP_PersistentBlobH blob_ = nullptr;
  PF_Err err_ = PF_Err_NONE;
};

}  // namespace mf
