// The one exception the effect's own code throws: a host error code that cannot be answered
// where it arose (a suite the host cannot supply, deep inside a stage). The entry point turns it
// into the code the host receives; releases on the way out are done by the owning objects.
#pragma once

#include "AE_Effect.h"

namespace mf {

class HostError {
 public:
  explicit HostError(PF_Err code) : code_(code) {}
  PF_Err code() const { return code_; }

 private:
  PF_Err code_;
};

// The first error of a sequence wins: a release that fails after an earlier failure is not
// what the host should hear about.
inline void KeepFirst(PF_Err& first, PF_Err next) {
  if (!first) first = next;
}

}  // namespace mf
