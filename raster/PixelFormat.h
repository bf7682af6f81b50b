// The three pixel depths the effect handles, how a pixel is addressed, and how channel values
// become normalised floats and back.
#pragma once

#include <cstdint>

#include "AE_Effect.h"

namespace mf {

// Working colour: alpha, red, green, blue; full scale 1.0. Values outside [0, 1] are allowed
// while shading and are clamped only when written to an 8- or 16-bit world.
struct ColorF {
  float alpha, red, green, blue;
};

enum class PixelDepth { k8, k16, kFloat };

// The depth of a host pixel-format code, tried in the order 8-bit, 16-bit, float; absent for any
// other code.
inline bool DepthOfFormat(PF_PixelFormat format, PixelDepth* depth) {
  switch (format) {
    case PF_PixelFormat_ARGB32: *depth = PixelDepth::k8; return true;
    case PF_PixelFormat_ARGB64: *depth = PixelDepth::k16; return true;
    case PF_PixelFormat_ARGB128: *depth = PixelDepth::kFloat; return true;
    default: return false;
  }
}

// Row offset as a signed 32-bit product, as the host computes it.
inline PF_Pixel8* PixelAddress8(void* base, A_long x, A_long y, A_long rowbytes) {
  return reinterpret_cast<PF_Pixel8*>(static_cast<char*>(base) + (int32_t)(y * rowbytes) +
                                      (intptr_t)x * 4);
}
inline PF_Pixel16* PixelAddress16(void* base, A_long x, A_long y, A_long rowbytes) {
  return reinterpret_cast<PF_Pixel16*>(static_cast<char*>(base) + (int32_t)(y * rowbytes) +
                                       (intptr_t)x * 8);
}
inline PF_PixelFloat* PixelAddressFloat(void* base, A_long x, A_long y, A_long rowbytes) {
  return reinterpret_cast<PF_PixelFloat*>(static_cast<char*>(base) + (int32_t)(y * rowbytes) +
                                          (intptr_t)x * 16);
}

// Read conversion, in single precision.
inline float FromChannel8(A_u_char v) { return (float)v / 255.0f; }
inline float FromChannel16(A_u_short v) { return (float)v / 32768.0f; }

// Write conversion: scale, truncate toward zero, keep [1, full] and send the rest to 0. NaN and
// values that do not fit an integer are decided before any conversion, so nothing undefined
// happens on a bad sample: NaN and negatives give 0, anything at or above full scale gives full.
inline A_u_char ToChannel8(float v) {
  float scaled = v * 255.0f;
  if (!(scaled >= 1.0f)) return 0;  // also NaN
  if (scaled >= 255.0f) return 255;
  return (A_u_char)(int)scaled;
}
inline A_u_short ToChannel16(float v) {
  float scaled = v * 32768.0f;
  if (!(scaled >= 1.0f)) return 0;
  if (scaled >= 32768.0f) return 32768;
  return (A_u_short)(int)scaled;
}
// The same rule for values already in channel units (computed in double).
inline A_u_char ClampChannel8(double v) {
  if (!(v >= 1.0)) return 0;
  if (v >= 255.0) return 255;
  return (A_u_char)(int)v;
}
inline A_u_short ClampChannel16(double v) {
  if (!(v >= 1.0)) return 0;
  if (v >= 32768.0) return 32768;
  return (A_u_short)(int)v;
}

}  // namespace mf
