// The suites the host serves through the basic suite, by name and version.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "Faults.h"
#include "SPBasic.h"

namespace mf::host {

class SuiteRegistry {
 public:
  explicit SuiteRegistry(Faults& faults) : faults_(faults) {}

  // The table must outlive the registry (suite tables are static).
  void add(const std::string& name, int32_t version, const void* table) {
    tables_[{name, version}] = table;
  }

  SPErr acquire(const char* name, int32_t version, const void** suite) {
    if (suite) *suite = nullptr;
    if (!name || !suite) return kSPSuiteNotFoundError;
    if (faults_.trip(std::string("suite:") + name)) return kSPSuiteNotFoundError;
    auto it = tables_.find({name, version});
    if (it == tables_.end()) return kSPSuiteNotFoundError;
    *suite = it->second;
    ++outstanding_[{name, version}];
    return kSPNoError;
  }

  SPErr release(const char* name, int32_t version) {
    if (!name) return kSPSuiteNotFoundError;
    auto it = outstanding_.find({name, version});
    if (it == outstanding_.end() || it->second == 0) return kSPSuiteNotFoundError;
    --it->second;
    return kSPNoError;
  }

  // Acquisitions not yet released, over all suites: a handler that returns with this above
  // its starting value leaked a suite.
  int outstanding() const {
    int n = 0;
    for (const auto& [key, count] : outstanding_) n += count;
    return n;
  }

 private:
  Faults& faults_;
  std::map<std::pair<std::string, int32_t>, const void*> tables_;
  std::map<std::pair<std::string, int32_t>, int> outstanding_;
};

}  // namespace mf::host
