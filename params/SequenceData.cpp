#include "params/SequenceData.h"

#include <cstdlib>
#include <cstring>

#include "AE_EffectCB.h"
#include "AE_EffectSuites.h"
#include "entry/Globals.h"
#include "entry/SuiteHandler.h"

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

// Makes a locked, zeroed live record with its three buffers; null when the handle is refused.
PF_Handle NewLiveRecord(const PF_HandleSuite1* handles, SequenceData** out) {
  PF_Handle handle = handles->host_new_handle(sizeof(SequenceData));
  if (!handle) return nullptr;
  auto* seq = static_cast<SequenceData*>(handles->host_lock_handle(handle));
  if (!seq) {
    handles->host_dispose_handle(handle);
    return nullptr;
  }
  std::memset(seq, 0, sizeof(*seq));
  seq->alpha_prefix = static_cast<char*>(std::calloc(kPrefixSize, 1));
  seq->diffuse_prefix = static_cast<char*>(std::calloc(kPrefixSize, 1));
  seq->specular_prefix = static_cast<char*>(std::calloc(kPrefixSize, 1));
  seq->flattened = 0;
  seq->version = kSequenceVersion;
  *out = seq;
  return handle;
}

// Copies up to the NUL, at most the whole 32-byte field; the field was zero-filled before.
void StoreField(char* field, const char* text) {
  if (text) std::memcpy(field, text, strnlen(text, kPrefixSize));
}

bool HasBuffers(const SequenceData* seq) {
  return seq->alpha_prefix && seq->diffuse_prefix && seq->specular_prefix;
}

void FreeBuffers(SequenceData* seq) {
  std::free(seq->alpha_prefix);
  std::free(seq->diffuse_prefix);
  std::free(seq->specular_prefix);
  seq->alpha_prefix = seq->diffuse_prefix = seq->specular_prefix = nullptr;
}

// A whole live record with its three buffers.
bool IsLive(PF_Handle handle, A_HandleSize size) {
  if (size < sizeof(SequenceData)) return false;
  const auto* seq = static_cast<const SequenceData*>(*handle);
  return !seq->flattened && HasBuffers(seq);
}

// The process-wide copies follow the record the host last set up, as they do for a stored one.
void KeepLive(PF_InData* in_data, const SequenceData* seq) {
  in_data->utils->ansi.strcpy(g_alpha_prefix, seq->alpha_prefix);
  in_data->utils->ansi.strcpy(g_specular_prefix, seq->specular_prefix);
  in_data->utils->ansi.strcpy(g_diffuse_prefix, seq->diffuse_prefix);
}

}  // namespace

bool HoldsWholeRecord(PF_Handle handle, A_HandleSize size) {
  if (!handle || !*handle || size == 0) return false;
  const bool flat = *static_cast<const A_u_char*>(*handle) != 0;
  return size >= (flat ? sizeof(FlatSequenceData) : sizeof(SequenceData));
}

PF_Err SequenceSetup(PF_InData* in_data, PF_OutData* out_data) {
  SuiteHandler suites(in_data->pica_basicP);
  const auto* handles = HandleSuite(suites);
  SequenceData* seq = nullptr;
  PF_Handle handle = NewLiveRecord(handles, &seq);
  if (!handle) return PF_Err_OUT_OF_MEMORY;
  PF_Err err = PF_Err_NONE;
  if (HasBuffers(seq)) {
    SetDefaults(in_data, seq);
  } else {
    err = PF_Err_OUT_OF_MEMORY;
  }
  out_data->sequence_data = handle;
  handles->host_unlock_handle(handle);
  return err;
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

  PF_Handle flat_handle = handles->host_new_handle(sizeof(FlatSequenceData));
  if (!flat_handle) return PF_Err_INTERNAL_STRUCT_DAMAGED;
  auto* flat = static_cast<FlatSequenceData*>(handles->host_lock_handle(flat_handle));
  if (!flat) {
    handles->host_dispose_handle(flat_handle);
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
  std::memset(flat, 0, sizeof(*flat));
  flat->flattened = 1;
  StoreField(flat->alpha_prefix, live->alpha_prefix);
  StoreField(flat->specular_prefix, live->specular_prefix);
  StoreField(flat->diffuse_prefix, live->diffuse_prefix);
  flat->version = live->version;
  out_data->sequence_data = flat_handle;
  handles->host_unlock_handle(flat_handle);

  // The host no longer hands the live record back once it holds the flat one, so the live
  // record and its buffers are released here rather than leaked.
  FreeBuffers(live);
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

  SequenceData* seq = nullptr;
  PF_Handle handle = NewLiveRecord(handles, &seq);
  if (!handle) return PF_Err_NONE;  // the old data stays in place
  if (!HasBuffers(seq)) {
    FreeBuffers(seq);
    handles->host_unlock_handle(handle);
    handles->host_dispose_handle(handle);
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }

  // The record is read only as far as the handle really reaches: a stored record cut short
  // (a damaged project) restores the defaults and says so.
  const auto* bytes = static_cast<const A_u_char*>(*old_handle);
  const bool flat = bytes[0] != 0;
  const A_HandleSize needed = flat ? sizeof(FlatSequenceData) : sizeof(SequenceData);
  if (old_size < needed) {
    MessageBoxA(nullptr, kDamagedRecord, kErrorCaption, kErrorBoxStyle);
    SetDefaults(in_data, seq);
  } else {
    A_u_long version = 0;
    const char *alpha = nullptr, *diffuse = nullptr, *specular = nullptr;
    if (flat) {
      const auto* stored = reinterpret_cast<const FlatSequenceData*>(bytes);
      version = stored->version;
      alpha = stored->alpha_prefix;
      diffuse = stored->diffuse_prefix;
      specular = stored->specular_prefix;
    } else {
      const auto* copy = reinterpret_cast<const SequenceData*>(bytes);
      version = copy->version;
      alpha = copy->alpha_prefix;
      diffuse = copy->diffuse_prefix;
      specular = copy->specular_prefix;
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

  seq->version = kSequenceVersion;
  out_data->sequence_data = handle;
  handles->host_dispose_handle(old_handle);
  handles->host_unlock_handle(handle);
  return PF_Err_NONE;
}

namespace {

// Frees a live record's buffers and disposes of its handle, whichever form it is in.
template <typename SizeOf, typename Dispose>
void ReleaseRecord(PF_Handle handle, SizeOf size_of, Dispose dispose) {
  if (*handle && size_of(handle) >= sizeof(SequenceData)) {
    auto* seq = static_cast<SequenceData*>(*handle);
    if (!seq->flattened) FreeBuffers(seq);
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
  } catch (PF_Err&) {
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
