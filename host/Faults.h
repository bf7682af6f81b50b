// Failure injection: every host service that can fail in the real host asks here first, under a
// named point, so tests can reach each failure path of the effect.
//
// Point names:
//   "suite:<name>"            acquiring that suite (any version)
//   "handle.new"              PF Handle Suite host_new_handle (and utils->host_new_handle)
//   "aegp.<Function>"         an AEGP suite call, e.g. "aegp.RegisterWithAEGP",
//                             "aegp.GetApplicationBlob", "aegp.DoesKeyExist", "aegp.GetString",
//                             "aegp.NewMemHandle"
//   "pf.<Function>"           a PF suite call, e.g. "pf.PF_NewWorld", "pf.PF_SetOptionsButtonName"
//   "utils.<name>"            an in_data->utils callback, e.g. "utils.copy", "utils.fill"
//   "inter.<name>"            an in_data->inter callback, e.g. "inter.add_param"
//   "abort"                   PF_ABORT reports an abort
#pragma once

#include <map>
#include <string>

namespace mf::host {

class Faults {
 public:
  // Fails every call from now on.
  void failAlways(const std::string& point) { rules_[point] = Rule{0, true}; }
  // Fails only the n-th call (1-based) counted from now.
  void failOnCall(const std::string& point, int n) {
    rules_[point] = Rule{n, false};
    calls_[point] = 0;
  }
  void clear(const std::string& point) { rules_.erase(point); }
  void clearAll() {
    rules_.clear();
    calls_.clear();
  }

  // Counts one call at the point and says whether it fails.
  bool trip(const std::string& point) {
    int n = ++calls_[point];
    auto it = rules_.find(point);
    if (it == rules_.end()) return false;
    return it->second.always || it->second.nth == n;
  }
  int calls(const std::string& point) const {
    auto it = calls_.find(point);
    return it == calls_.end() ? 0 : it->second;
  }

 private:
  struct Rule {
    int nth;
    bool always;
  };
  std::map<std::string, Rule> rules_;
  std::map<std::string, int> calls_;
};

}  // namespace mf::host
