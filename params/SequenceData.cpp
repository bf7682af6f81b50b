#include "params/SequenceData.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "AE_EffectCB.h"
#include "AE_EffectSuites.h"
#include "support/Globals.h"
#include "support/HostResources.h"
#include "support/SuiteHandler.h"

namespace mf {
namespace {

constexpr const char* kVersionMismatch = "Motefield version mismatch. Some data may be reset.";
constexpr const char* kDamagedRecord =
    "Motefield stored settings are damaged. The light prefixes are reset to their defaults.";
constexpr const char* kErrorCaption = "错误";

const PF_HandleSuite1* HandleSuite(SuiteHandler& suites) {
  return suites.get<PF_HandleSuite1>(kPFHandleSuite, kPFHandleSuiteVersion1);
}

// Copies at most 31 characters and always terminates, so a stored field with no NUL cannot run
// past its 32 bytes.
void CopyPrefix(PF_InData* in_data, char* dst, const char* src, char* global_copy) {
  char bounded[kPrefixSize];
  size_t n = strnlen(src, kPrefixSize - 1);
  std::memcpy(bounded, src, n);
  bounded[n] = '\0';
  in_data->utils->ansi.strcpy(dst, bounded);
  in_data->utils->ansi.strcpy(global_copy, bounded);
}

void SetDefaults(PF_InData* in_data, SequenceData* seq) {
  CopyPrefix(in_data, seq->alpha_prefix, kDefaultAlphaPrefix, g_alpha_prefix);
  CopyPrefix(in_data, seq->specular_prefix, kDefaultSpecularPrefix, g_specular_prefix);
  CopyPrefix(in_data, seq->diffuse_prefix, kDefaultDiffusePrefix, g_diffuse_prefix);
}

// The text buffers of the live records this plug-in made, each with the handle of its record.
// Only these are read through a live record's pointers, and only a record's own are freed: a
// record from disk whose first byte says "live" carries pointers of another session, or noise.
class LiveBuffers {
 public:
  void own(PF_Handle handle, const SequenceData* seq) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const char* b : Of(seq))
      if (b) owner_[b] = handle;
  }
  // Whether all three buffers are live ones; of this handle's record when handle is given.
  bool hold(const SequenceData* seq, PF_Handle handle = nullptr) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const char* b : Of(seq)) {
      auto it = owner_.find(b);
      if (it == owner_.end() || (handle && it->second != handle)) return false;
    }
    return true;
  }
  // Frees the buffers the handle's record owns; the others are left alone.
  void release(SequenceData* seq, PF_Handle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (char** b : {&seq->alpha_prefix, &seq->diffuse_prefix, &seq->specular_prefix}) {
      auto it = owner_.find(*b);
      if (it == owner_.end() || it->second != handle) continue;
      owner_.erase(it);
      std::free(*b);
      *b = nullptr;
    }
  }

 private:
  static std::array<const char*, 3> Of(const SequenceData* seq) {
    return {seq->alpha_prefix, seq->diffuse_prefix, seq->specular_prefix};
  }
  mutable std::mutex mutex_;
  std::map<const void*, PF_Handle> owner_;
};

LiveBuffers& Live() {
  static LiveBuffers live;
  return live;
}

// Fills a zeroed live record of the handle with its three buffers (null where one could not be
// had).
void StartLiveRecord(PF_Handle handle, SequenceData* seq) {
  std::memset(seq, 0, sizeof(*seq));
  seq->alpha_prefix = static_cast<char*>(std::calloc(kPrefixSize, 1));
  seq->diffuse_prefix = static_cast<char*>(std::calloc(kPrefixSize, 1));
  seq->specular_prefix = static_cast<char*>(std::calloc(kPrefixSize, 1));
  Live().own(handle, seq);
  seq->flattened = 0;
  seq->version = kSequenceVersion;
}

// Copies up to the NUL, at most the whole 32-byte field; the field was zero-filled before.
void StoreField(char* field, const char* text) {
  if (text) std::memcpy(field, text, strnlen(text, kPrefixSize));
}

bool HasBuffers(const SequenceData* seq) {
  return seq->alpha_prefix && seq->diffuse_prefix && seq->specular_prefix;
}

// A whole live record of this handle's own, with its three buffers.
bool IsLive(PF_Handle handle, A_HandleSize size) {
  if (size < sizeof(SequenceData)) return false;
  const auto* seq = static_cast<const SequenceData*>(*handle);
  return !seq->flattened && Live().hold(seq, handle);
}

// The process-wide copies follow the record the host last set up, as they do for a stored one.
void KeepLive(PF_InData* in_data, const SequenceData* seq) {
  in_data->utils->ansi.strcpy(g_alpha_prefix, seq->alpha_prefix);
  in_data->utils->ansi.strcpy(g_specular_prefix, seq->specular_prefix);
  in_data->utils->ansi.strcpy(g_diffuse_prefix, seq->diffuse_prefix);
}

// Fills a new live record from the one the host handed back. The record is read only as far as
// the handle really reaches: a stored record cut short (a damaged project) restores the
// defaults and says so.
void RestorePrefixes(PF_InData* in_data, SequenceData* seq, const A_u_char* bytes,
                     A_HandleSize size) {
  const bool flat = bytes[0] != 0;
  if (size < (flat ? sizeof(FlatSequenceData) : sizeof(SequenceData))) {
    MessageBoxA(nullptr, kDamagedRecord, kErrorCaption, kErrorBoxStyle);
    SetDefaults(in_data, seq);
    return;
  }
  A_u_long version = 0;
  const char *alpha = nullptr, *diffuse = nullptr, *specular = nullptr;
  if (flat) {
    const auto* stored = reinterpret_cast<const FlatSequenceData*>(bytes);
    version = stored->version;
    alpha = stored->alpha_prefix;
    diffuse = stored->diffuse_prefix;
    specular = stored->specular_prefix;
  } else {
    // A copy of another instance's live record; its pointers are followed only when they are
    // live buffers of this plug-in.
    const auto* copy = reinterpret_cast<const SequenceData*>(bytes);
    version = copy->version;
    if (Live().hold(copy)) {
      alpha = copy->alpha_prefix;
      diffuse = copy->diffuse_prefix;
      specular = copy->specular_prefix;
    }
  }
  if (version != kSequenceVersion) {
    MessageBoxA(nullptr, kVersionMismatch, kErrorCaption, kErrorBoxStyle);
    SetDefaults(in_data, seq);
  } else if (!alpha || !diffuse || !specular) {
    MessageBoxA(nullptr, kDamagedRecord, kErrorCaption, kErrorBoxStyle);
    SetDefaults(in_data, seq);
  } else {
    CopyPrefix(in_data, seq->alpha_prefix, alpha, g_alpha_prefix);
    CopyPrefix(in_data, seq->specular_prefix, specular, g_specular_prefix);
    CopyPrefix(in_data, seq->diffuse_prefix, diffuse, g_diffuse_prefix);
  }
}

}  // namespace

bool HoldsWholeRecord(PF_Handle handle, A_HandleSize size) {
  if (!handle || !*handle || size == 0) return false;
  const bool flat = *static_cast<const A_u_char*>(*handle) != 0;
  if (flat) return size >= sizeof(FlatSequenceData);
  return size >= sizeof(SequenceData) && Live().hold(static_cast<const SequenceData*>(*handle));
}

PF_Err SequenceSetup(PF_InData* in_data, PF_OutData* out_data) {
  SuiteHandler suites(in_data->pica_basicP);
  const auto* handles = HandleSuite(suites);
  OwnedHandle handle(handles, sizeof(SequenceData));
  const HandleLock lock(handles, handle.get());
  auto* seq = static_cast<SequenceData*>(lock.data());
  if (!seq) return PF_Err_OUT_OF_MEMORY;
  StartLiveRecord(handle.get(), seq);
  // A record without its buffers is still the host's to hand back at setdown, where they are
  // freed with it.
  out_data->sequence_data = handle.handOver();
  if (!HasBuffers(seq)) return PF_Err_OUT_OF_MEMORY;
  SetDefaults(in_data, seq);
  return PF_Err_NONE;
}

PF_Err SequenceFlatten(PF_InData* in_data, PF_OutData* out_data) {
  if (!in_data->sequence_data) return PF_Err_INTERNAL_STRUCT_DAMAGED;
  SuiteHandler suites(in_data->pica_basicP);
  const auto* handles = HandleSuite(suites);
  PF_Handle live_handle = in_data->sequence_data;
  if (handles->host_get_handle_size(live_handle) < sizeof(SequenceData)) {
    return PF_Err_NONE;  // already flat (or too small to be a live record): nothing to do
  }
  auto* live = static_cast<SequenceData*>(*live_handle);
  if (!live || live->flattened) return PF_Err_NONE;
  // Not a record this plug-in made: left as it is, for resetup to refuse in plain words.
  if (!Live().hold(live)) return PF_Err_NONE;

  OwnedHandle flat_handle(handles, sizeof(FlatSequenceData));
  {
    const HandleLock lock(handles, flat_handle.get());
    auto* flat = static_cast<FlatSequenceData*>(lock.data());
    if (!flat) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    std::memset(flat, 0, sizeof(*flat));
    flat->flattened = 1;
    StoreField(flat->alpha_prefix, live->alpha_prefix);
    StoreField(flat->specular_prefix, live->specular_prefix);
    StoreField(flat->diffuse_prefix, live->diffuse_prefix);
    flat->version = live->version;
  }
  out_data->sequence_data = flat_handle.handOver();

  // The host no longer hands the live record back once it holds the flat one, so the live
  // record and its buffers are released here rather than leaked.
  Live().release(live, live_handle);
  handles->host_dispose_handle(live_handle);
  return PF_Err_NONE;
}

PF_Err SequenceResetup(PF_InData* in_data, PF_OutData* out_data) {
  PF_Handle old_handle = in_data->sequence_data;
  if (!old_handle || !*old_handle) return PF_Err_NONE;
  SuiteHandler suites(in_data->pica_basicP);
  const auto* handles = HandleSuite(suites);
  const A_HandleSize old_size = handles->host_get_handle_size(old_handle);
  if (old_size == 0) return PF_Err_NONE;
  if (IsLive(old_handle, old_size)) {
    // The host may resetup an instance whose record was never flattened (the original after a
    // duplicate, an undo): the record is this instance's own and is kept as it is. Rebuilding
    // it would leave its buffers with nobody to free them.
    KeepLive(in_data, static_cast<const SequenceData*>(*old_handle));
    out_data->sequence_data = old_handle;
    return PF_Err_NONE;
  }

  OwnedHandle handle(handles, sizeof(SequenceData));
  if (!handle.get()) return PF_Err_NONE;  // the old data stays in place
  const HandleLock lock(handles, handle.get());
  auto* seq = static_cast<SequenceData*>(lock.data());
  if (!seq) return PF_Err_NONE;
  StartLiveRecord(handle.get(), seq);
  if (!HasBuffers(seq)) {
    Live().release(seq, handle.get());
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
  RestorePrefixes(in_data, seq, static_cast<const A_u_char*>(*old_handle), old_size);
  seq->version = kSequenceVersion;
  out_data->sequence_data = handle.handOver();
  handles->host_dispose_handle(old_handle);
  return PF_Err_NONE;
}

namespace {

// Frees a live record's buffers and disposes of its handle, whichever form it is in.
template <typename SizeOf, typename Dispose>
void ReleaseRecord(PF_Handle handle, SizeOf size_of, Dispose dispose) {
  if (*handle && size_of(handle) >= sizeof(SequenceData)) {
    auto* seq = static_cast<SequenceData*>(*handle);
    if (!seq->flattened) Live().release(seq, handle);
  }
  dispose(handle);
}

}  // namespace

PF_Err SequenceSetdown(PF_InData* in_data, PF_OutData*) {
  PF_Handle handle = in_data->sequence_data;
  if (!handle) return PF_Err_NONE;
  try {
    SuiteHandler suites(in_data->pica_basicP);
    const auto* handles = HandleSuite(suites);
    ReleaseRecord(handle, handles->host_get_handle_size, handles->host_dispose_handle);
  } catch (const HostError&) {
    // Nothing hands the record back after setdown: without the handle suite it goes through the
    // utility callbacks, and the failure is still reported.
    const PF_UtilCallbacks* utils = in_data->utils;
    if (utils && utils->host_get_handle_size && utils->host_dispose_handle) {
      ReleaseRecord(handle, utils->host_get_handle_size, utils->host_dispose_handle);
    }
    throw;
  }
  return PF_Err_NONE;
}

}  // namespace mf
