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
//
// Besides the named points, every call at any point is counted in one running total, and
// failNthCall(k) fails whichever call comes k-th, whatever its point: a sweep over k reaches every
// failure a command can meet without knowing which services it uses.
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
  // Fails only the k-th call of any kind (1-based) counted from now; 0 switches it off.
  void failNthCall(long k) {
    nth_any_ = k;
    total_ = 0;
    failed_point_.clear();
  }
  // The point of the call failNthCall failed; empty when the run never got that far.
  const std::string& failedPoint() const { return failed_point_; }
  // Calls at every point since the last failNthCall, resetTotal or clearAll.
  long totalCalls() const { return total_; }
  void resetTotal() { total_ = 0; }
  void clearAll() {
    rules_.clear();
    calls_.clear();
    nth_any_ = 0;
    total_ = 0;
    failed_point_.clear();
  }

  // Counts one call at the point and says whether it fails.
  bool trip(const std::string& point) {
    int n = ++calls_[point];
    if (++total_ == nth_any_) {
      failed_point_ = point;
      return true;
    }
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
  long nth_any_ = 0;
  long total_ = 0;
  std::string failed_point_;
};

}  // namespace mf::host
