// Per-command access to host suites. A SuiteHandler acquires each suite on first use and
// releases every suite it acquired when it goes out of scope, on every path. A suite the host
// cannot supply throws HostError(PF_Err_BAD_CALLBACK_PARAM), which the entry point turns into
// PF_Err_INTERNAL_STRUCT_DAMAGED.
#pragma once

#include <cstdint>
#include <cstring>

#include "AE_EffectCB.h"
#include "SPBasic.h"
#include "support/HostError.h"

namespace mf {

class SuiteHandler {
 public:
  explicit SuiteHandler(const SPBasicSuite* basic) : basic_(basic) {
    if (!basic_) throw HostError(PF_Err_BAD_CALLBACK_PARAM);
  }
  ~SuiteHandler() { releaseAll(); }
  SuiteHandler(const SuiteHandler&) = delete;
  SuiteHandler& operator=(const SuiteHandler&) = delete;

  template <class Suite>
  const Suite* get(const char* name, int32_t version) {
    return static_cast<const Suite*>(acquire(name, version));
  }

 private:
  const void* acquire(const char* name, int32_t version);
  void releaseAll();

  struct Held {
    const char* name;
    int32_t version;
    const void* suite;
  };
  static constexpr int kMaxHeld = 32;
  const SPBasicSuite* basic_;
  Held held_[kMaxHeld] = {};
  int count_ = 0;
};

// One suite acquired outside a SuiteHandler, for handlers that report a failure to the host in
// out_data instead of throwing. Released when it goes out of scope unless release() was called.
class SingleSuite {
 public:
  static constexpr const char* kDefaultAcquireMessage = "Not able to acquire AEFX Suite.";
  static constexpr const char* kDefaultReleaseMessage = "Not able to release AEFX Suite.";

  SingleSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32_t version,
              const char* acquire_message = kDefaultAcquireMessage,
              const char* release_message = kDefaultReleaseMessage);
  ~SingleSuite() { release(); }
  SingleSuite(const SingleSuite&) = delete;
  SingleSuite& operator=(const SingleSuite&) = delete;

  PF_Err err() const { return err_; }
  template <class Suite>
  const Suite* get() const {
    return static_cast<const Suite*>(suite_);
  }
  // Releases now; the result is the release error (0 when there was nothing to release).
  PF_Err release();

 private:
  PF_InData* in_data_;
  PF_OutData* out_data_;
  const char* name_;
  int32_t version_;
  const char* release_message_;
  const void* suite_ = nullptr;
  PF_Err err_ = PF_Err_NONE;
};

// Reports a failure to the host: the message goes into out_data->return_msg and the host is asked
// to show it.
void ReportToHost(PF_InData* in_data, PF_OutData* out_data, const char* message);

}  // namespace mf
