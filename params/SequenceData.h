// The per-instance record of light-name prefixes, in its live form (three owned text buffers)
// and its stored flat form (104 bytes, little-endian).
#pragma once

#include <cstddef>
#include <cstdint>

#include "AE_Effect.h"

namespace mf {

constexpr A_u_long kSequenceVersion = 1;
constexpr int kPrefixSize = 32;  // a prefix holds at most 31 characters and its NUL

struct SequenceData {
  A_u_char flattened;  // 0: live
  A_u_long version;
  char* alpha_prefix;
  char* diffuse_prefix;
  char* specular_prefix;
};

// The stored form. Byte 0 non-zero tells it from the live form.
struct FlatSequenceData {
  A_u_char flattened;
  A_u_char reserved[3];
  A_u_long version;
  char alpha_prefix[kPrefixSize];
  char diffuse_prefix[kPrefixSize];
  char specular_prefix[kPrefixSize];
};
static_assert(sizeof(FlatSequenceData) == 104);
static_assert(offsetof(FlatSequenceData, version) == 4);
static_assert(offsetof(FlatSequenceData, alpha_prefix) == 8);
static_assert(offsetof(FlatSequenceData, diffuse_prefix) == 40);
static_assert(offsetof(FlatSequenceData, specular_prefix) == 72);

constexpr const char* kDefaultAlphaPrefix = "Alpha";
constexpr const char* kDefaultDiffusePrefix = "Diffuse";
constexpr const char* kDefaultSpecularPrefix = "Specular";

// Whether a handle of this size holds a whole record in the form its first byte names, a live
// one only when its text buffers are ones this plug-in made. Resetup leaves an empty record as it
// is, a host may hand over one cut short, and a damaged project may hold "live" pointers of
// another session, so every reader asks before it reads.
bool HoldsWholeRecord(PF_Handle handle, A_HandleSize size);

PF_Err SequenceSetup(PF_InData* in_data, PF_OutData* out_data);
PF_Err SequenceResetup(PF_InData* in_data, PF_OutData* out_data);
PF_Err SequenceFlatten(PF_InData* in_data, PF_OutData* out_data);
PF_Err SequenceSetdown(PF_InData* in_data, PF_OutData* out_data);

}  // namespace mf
