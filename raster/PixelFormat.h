// The three pixel depths the effect handles, how a pixel is addressed, and how channel values
// become normalised floats and back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "AE_Effect.h"

namespace mf {

// Working colour: alpha, red, green, blue; full scale 1.0. Values outside [0, 1] are allowed
// while shading and are clamped only when written to an 8- or 16-bit world.
struct ColorF {
  float alpha, red, green, blue;
};

// Byte offset of row y. The host describes worlds with a signed 32-bit row stride and computes
// this as a signed 32-bit product; for every world whose buffer fits in 2 GiB that is the value
// below. The product is formed in 64 bits so that a larger world (which the host can make: a
// float world of 32768 × 32768 is 16 GiB) neither overflows into undefined behaviour nor wraps
// to an address inside some other row. Negative strides (bottom-up worlds) work as well.
inline std::ptrdiff_t RowOffset(A_long y, A_long rowbytes) {
  return static_cast<std::ptrdiff_t>(static_cast<int64_t>(y) * static_cast<int64_t>(rowbytes));
}

// Address of pixel (x, y) in a world of Pixel's depth. No bounds check: the caller guarantees
// 0 ≤ x < width, 0 ≤ y < height.
template <typename Pixel>
inline Pixel* PixelAddress(void* base, A_long x, A_long y, A_long rowbytes) {
  constexpr auto kPixelBytes = static_cast<std::ptrdiff_t>(sizeof(Pixel));
  return reinterpret_cast<Pixel*>(static_cast<char*>(base) + RowOffset(y, rowbytes) +
                                  static_cast<std::ptrdiff_t>(x) * kPixelBytes);
}

// Read conversion, in single precision. The 8-bit quotients are looked up: each entry is the
// same correctly rounded quotient, worked out once when compiled rather than divided per channel.
struct Channel8Table {
  float value[256];
};
inline constexpr Channel8Table kChannel8 = [] {
  Channel8Table t{};
  for (int v = 0; v < 256; ++v) t.value[v] = static_cast<float>(v) / 255.0f;
  return t;
}();
inline float FromChannel8(A_u_char v) {
  return kChannel8.value[v];
}
inline float FromChannel16(A_u_short v) {
  return static_cast<float>(v) / 32768.0f;
}

// Write conversion: scale, truncate toward zero, keep [1, full] and send the rest to 0. NaN and
// values that do not fit an integer are decided before any conversion, so nothing undefined
// happens on a bad sample: NaN and negatives give 0, anything at or above full scale gives full.
inline A_u_char ToChannel8(float v) {
  float scaled = v * 255.0f;
  if (!(scaled >= 1.0f)) return 0;  // also NaN
  if (scaled >= 255.0f) return 255;
  return static_cast<A_u_char>(static_cast<int>(scaled));
}
inline A_u_short ToChannel16(float v) {
  float scaled = v * 32768.0f;
  if (!(scaled >= 1.0f)) return 0;
  if (scaled >= 32768.0f) return 32768;
  return static_cast<A_u_short>(static_cast<int>(scaled));
}
// The same rule for values already in channel units (computed in double).
inline A_u_char ClampChannel8(double v) {
  if (!(v >= 1.0)) return 0;
  if (v >= 255.0) return 255;
  return static_cast<A_u_char>(static_cast<int>(v));
}
inline A_u_short ClampChannel16(double v) {
  if (!(v >= 1.0)) return 0;
  if (v >= 32768.0) return 32768;
  return static_cast<A_u_short>(static_cast<int>(v));
}

// Per-depth facts for the kernels that are templated on the pixel type. FromFloat converts a
// normalised value, FromUnits one already in channel units; both clamp for the integer depths
// only.
template <typename Pixel>
struct PixelTraits;

template <>
struct PixelTraits<PF_Pixel8> {
  using Channel = A_u_char;
  static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB32;
  static constexpr float kFullScale = 255.0f;
  static float ToFloat(Channel v) { return FromChannel8(v); }
  static Channel FromFloat(float v) { return ToChannel8(v); }
  static Channel FromUnits(double v) { return ClampChannel8(v); }
  static bool IsPresent(Channel alpha) { return alpha != 0; }
};

template <>
struct PixelTraits<PF_Pixel16> {
  using Channel = A_u_short;
  static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB64;
  static constexpr float kFullScale = 32768.0f;
  static float ToFloat(Channel v) { return FromChannel16(v); }
  static Channel FromFloat(float v) { return ToChannel16(v); }
  static Channel FromUnits(double v) { return ClampChannel16(v); }
  static bool IsPresent(Channel alpha) { return alpha != 0; }
};

template <>
struct PixelTraits<PF_PixelFloat> {
  using Channel = PF_FpShort;
  static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB128;
  static constexpr float kFullScale = 1.0f;
  static float ToFloat(Channel v) { return v; }
  static Channel FromFloat(float v) { return v; }
  static Channel FromUnits(double v) { return static_cast<Channel>(v); }
  // Only ±0.0 is empty: negative and NaN alphas count as present.
  static bool IsPresent(Channel alpha) { return !(alpha == 0.0f); }
};

// Tag carrying a pixel type through a generic lambda: fn(PixelTag<PF_Pixel16>{}).
template <typename Pixel>
struct PixelTag {
  using type = Pixel;
};

// Calls fn with the tag of the format's pixel type, trying 8-bit, 16-bit, float in that order.
// Returns false, without calling fn, for any other format code.
template <typename Fn>
inline bool DispatchPixelFormat(PF_PixelFormat format, Fn&& fn) {
  switch (format) {
    case PF_PixelFormat_ARGB32:
      fn(PixelTag<PF_Pixel8>{});
      return true;
    case PF_PixelFormat_ARGB64:
      fn(PixelTag<PF_Pixel16>{});
      return true;
    case PF_PixelFormat_ARGB128:
      fn(PixelTag<PF_PixelFloat>{});
      return true;
    default:
      return false;
  }
}

// A world as the pixel kernels read it: its pixels (not owned), the byte stride between rows,
// its size and its pixel format. Kernels take it first, then the pixel coordinates.
struct WorldView {
  void* data;
  A_long rowbytes;
  A_long width, height;
  PF_PixelFormat format;

  // Pixel (x, y) at the depth of Pixel, which the caller has matched to the format. No bounds
  // check: the caller guarantees 0 ≤ x < width, 0 ≤ y < height.
  template <typename Pixel>
  Pixel* at(A_long x, A_long y) const {
    return PixelAddress<Pixel>(data, x, y, rowbytes);
  }
};

inline WorldView ViewOf(const PF_EffectWorld& world, PF_PixelFormat format) {
  return {world.data, world.rowbytes, world.width, world.height, format};
}

// One of the three formats the effect draws in.
inline bool IsKnownPixelFormat(PF_PixelFormat format) {
  return DispatchPixelFormat(format, [](auto) {});
}

// Normalised colour of a pixel, not multiplied by alpha.
template <typename Pixel>
inline ColorF ToColorF(const Pixel& p) {
  using T = PixelTraits<Pixel>;
  return {T::ToFloat(p.alpha), T::ToFloat(p.red), T::ToFloat(p.green), T::ToFloat(p.blue)};
}

// A pixel from a normalised colour, by the write conversion of its depth.
template <typename Pixel>
inline Pixel FromColorF(const ColorF& c) {
  using T = PixelTraits<Pixel>;
  return {T::FromFloat(c.alpha), T::FromFloat(c.red), T::FromFloat(c.green), T::FromFloat(c.blue)};
}

// Reads pixel (x, y) of a world of the given format as a normalised colour. False, with out
// untouched, for an unrecognised format.
bool ReadColorF(const WorldView& world, A_long x, A_long y, ColorF* out);

// Writes a normalised colour to pixel (x, y) by the write conversion of the format. False, with
// the world untouched, for an unrecognised format.
bool WriteColorF(const WorldView& world, A_long x, A_long y, const ColorF& color);

// True when the alpha of pixel (x, y) is not zero. Float alphas that are NaN or negative count as
// present; ±0.0 does not. Any other format code yields false.
bool PixelHasAlpha(const WorldView& world, A_long x, A_long y);

}  // namespace mf
