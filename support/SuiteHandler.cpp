#include "support/SuiteHandler.h"

namespace mf {

const void* SuiteHandler::acquire(const char* name, int32_t version) {
  for (int i = 0; i < count_; ++i) {
    if (held_[i].version == version && std::strcmp(held_[i].name, name) == 0) return held_[i].suite;
  }
  if (count_ == kMaxHeld) throw HostError(PF_Err_BAD_CALLBACK_PARAM);
  const void* suite = nullptr;
  SPErr err = basic_->AcquireSuite(name, version, &suite);
  if (err != kSPNoError || !suite) throw HostError(PF_Err_BAD_CALLBACK_PARAM);
  held_[count_++] = Held{name, version, suite};
  return suite;
}

void SuiteHandler::releaseAll() {
  while (count_ > 0) {
    --count_;
    basic_->ReleaseSuite(held_[count_].name, held_[count_].version);
  }
}

void ReportToHost(PF_InData* in_data, PF_OutData* out_data, const char* message) {
  out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
  if (in_data->utils && in_data->utils->ansi.sprintf) {
    in_data->utils->ansi.sprintf(out_data->return_msg, "%s", message);
  } else {
    std::strncpy(out_data->return_msg, message, sizeof(out_data->return_msg) - 1);
  }
}

SingleSuite::SingleSuite(PF_InData* in_data, PF_OutData* out_data, const char* name,
                         int32_t version, const char* acquire_message, const char* release_message)
    : in_data_(in_data),
      out_data_(out_data),
      name_(name),
      version_(version),
      release_message_(release_message) {
  const SPBasicSuite* basic = in_data_->pica_basicP;
  if (!basic || basic->AcquireSuite(name_, version_, &suite_) != kSPNoError || !suite_) {
    suite_ = nullptr;
    err_ = PF_Err_BAD_CALLBACK_PARAM;
    ReportToHost(in_data_, out_data_, acquire_message);
  }
}

PF_Err SingleSuite::release() {
  if (!suite_) return PF_Err_NONE;
  suite_ = nullptr;
  const SPBasicSuite* basic = in_data_->pica_basicP;
  if (!basic) {
    ReportToHost(in_data_, out_data_, release_message_);
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  basic->ReleaseSuite(name_, version_);
  return PF_Err_NONE;
}

}  // namespace mf
