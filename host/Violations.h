// Things the effect did that the real host does not allow and the stand-in would otherwise let
// pass: a handle disposed of twice, pre-render data the host cannot release, a parameter written
// outside the one command that may write it. Each is kept in plain words so that a test sees it;
// the stand-in carries on as the real host would, as far as it can do so safely.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace mf::host {

class Violations {
 public:
  // Callable from any thread (iterate callbacks run on several).
  void report(std::string what) {
    std::lock_guard<std::mutex> lock(mutex_);
    list_.push_back(std::move(what));
  }
  std::vector<std::string> list() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return list_;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    list_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> list_;
};

}  // namespace mf::host
