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
// Every host call of a render passes through here, millions of times a frame, so a call with
// nothing armed only counts: the point is found by the address of its name (the services name
// their points with literals) and no string is built or compared, and a caller that keeps the
// point's number for this Faults (see serial()) skips even that look-up.
#pragma once

#include <cstddef>
#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace mf::host {

class Faults {
 public:
  // Fails every call at the point from now on.
  void failAlways(const std::string& point) { arm(point, 0, true); }
  // Fails only the n-th call (1-based) at the point, counted from now.
  void failOnCall(const std::string& point, int n) {
    arm(point, n, false);
    points_[idOf(point)].calls = 0;
  }
  // Fails only the k-th host call of any kind (1-based), counted from now; 0 switches it off.
  // A sweep over k reaches every failure a command can meet without knowing which services it
  // uses.
  void failNthCall(long k) {
    nth_call_ = k;
    total_ = 0;
    failed_id_ = -1;
    refresh();
  }
  // The point of the call failNthCall failed; empty when the run never got that far.
  std::string failedPoint() const { return failed_id_ < 0 ? std::string() : names_[failed_id_]; }
  void clear(const std::string& point) {
    auto it = by_name_.find(point);
    if (it != by_name_.end()) points_[it->second].armed = false;
    refresh();
  }
  // Disarms everything and starts every count again at zero.
  void clearAll() {
    for (Point& p : points_) p = Point{};
    nth_call_ = 0;
    total_ = 0;
    failed_id_ = -1;
    refresh();
  }

  // Counts one call at the point and says whether it fails. The name must outlive the Faults
  // (a string literal): its address is remembered.
  bool trip(const char* point) { return count(idOf(point)); }
  bool trip(const std::string& point) { return count(idOf(point)); }

  // The number of a point, as tripAt takes it. It stays the point's for as long as this Faults
  // lives, and no other Faults, earlier or later, shares its serial, so a caller may keep a
  // number together with the serial it was given under.
  int pointId(const char* point) { return idOf(point); }
  bool tripAt(int id) { return count(id); }
  uint32_t serial() const { return serial_.value; }

  int calls(const std::string& point) const {
    auto it = by_name_.find(point);
    return it == by_name_.end() ? 0 : points_[it->second].calls;
  }
  // Host calls at every point since the last failNthCall, resetTotal or clearAll.
  long totalCalls() const { return total_; }
  void resetTotal() {
    total_ = 0;
    refresh();
  }

 private:
  struct Point {
    int calls = 0;
    int nth = 0;
    bool always = false;
    bool armed = false;
  };

  bool count(int id) {
    Point& p = points_[id];
    ++p.calls;
    ++total_;
    if (!any_armed_) return false;
    if (total_ == nth_call_) {
      failed_id_ = id;
      return true;
    }
    return p.armed && (p.always || p.nth == p.calls);
  }

  void arm(const std::string& point, int nth, bool always) {
    Point& p = points_[idOf(point)];
    p.nth = nth;
    p.always = always;
    p.armed = true;
    refresh();
  }
  void refresh() {
    any_armed_ = nth_call_ > 0;
    for (const Point& p : points_) any_armed_ = any_armed_ || p.armed;
  }

  int idOf(const std::string& name) {
    auto [it, added] = by_name_.emplace(name, (int)points_.size());
    if (added) {
      points_.emplace_back();
      names_.push_back(name);
    }
    return it->second;
  }

  // Open addressing on the name's address; the table is kept at most half full.
  int idOf(const char* name) {
    if (2 * (addresses_ + 1) > by_address_.size()) grow();
    size_t i = home(name);
    for (; by_address_[i].name; i = (i + 1) & (by_address_.size() - 1)) {
      if (by_address_[i].name == name) return by_address_[i].id;
    }
    const int id = idOf(std::string(name));
    by_address_[i] = Slot{name, id};
    ++addresses_;
    return id;
  }
  size_t home(const char* name) const {
    const uint64_t h = (uint64_t) reinterpret_cast<uintptr_t>(name) * 0x9E3779B97F4A7C15ull;
    return (size_t)(h >> 32) & (by_address_.size() - 1);
  }
  void grow() {
    std::vector<Slot> old(by_address_.empty() ? 256 : by_address_.size() * 2);
    old.swap(by_address_);
    for (const Slot& s : old) {
      if (!s.name) continue;
      size_t i = home(s.name);
      while (by_address_[i].name) i = (i + 1) & (by_address_.size() - 1);
      by_address_[i] = s;
    }
  }

  struct Slot {
    const char* name = nullptr;
    int id = 0;
  };
  // A copy numbers its points apart from its original from then on, so it takes a serial of its
  // own; so does a Faults assigned over, whose numbers are no longer those handed out under its
  // old serial.
  struct Serial {
    uint32_t value = Next();
    Serial() = default;
    Serial(const Serial&) : value(Next()) {}
    Serial& operator=(const Serial&) {
      value = Next();
      return *this;
    }
    static uint32_t Next() {
      static std::atomic<uint32_t> last{0};
      return ++last;
    }
  };
  Serial serial_;
  std::vector<Point> points_;
  std::vector<std::string> names_;  // by id, for failedPoint
  std::unordered_map<std::string, int> by_name_;
  std::vector<Slot> by_address_;
  size_t addresses_ = 0;
  long total_ = 0;
  long nth_call_ = 0;
  int failed_id_ = -1;
  bool any_armed_ = false;
};

}  // namespace mf::host
