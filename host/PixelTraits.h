// How the host's image services see a pixel of each depth: channel type, full scale, addressing
// of a world, and the conversion of channel values to unit floats and back.
//
// The host rounds to nearest when it writes 8- and 16-bit channels (the effect's own kernels
// truncate). A compositor that truncated would lose a level on every identity pass: an opaque
// pixel copied through transfer_rect would come back one step darker whenever the floating-point
// product lands just below the integer.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "AE_Effect.h"

namespace mf::host {

template <typename Pixel>
struct PixelTraits;

template <>
struct PixelTraits<PF_Pixel8> {
  using Channel = A_u_char;
  static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB32;
  static constexpr double kFull = 255.0;
  static constexpr bool kIsFloat = false;
};
template <>
struct PixelTraits<PF_Pixel16> {
  using Channel = A_u_short;
  static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB64;
  static constexpr double kFull = 32768.0;
  static constexpr bool kIsFloat = false;
};
template <>
struct PixelTraits<PF_PixelFloat> {
  using Channel = PF_FpShort;
  static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB128;
  static constexpr double kFull = 1.0;
  static constexpr bool kIsFloat = true;
};

// Bytes per pixel of a known format, 0 for any other code.
inline int BytesPerPixel(PF_PixelFormat format) {
  switch (format) {
    case PF_PixelFormat_ARGB32:
      return 4;
    case PF_PixelFormat_ARGB64:
      return 8;
    case PF_PixelFormat_ARGB128:
      return 16;
    default:
      return 0;
  }
}

// Calls fn with a value-initialised pixel of the format's type, in the order 8-bit, 16-bit,
// float; any other format is a bad argument.
template <typename Fn>
PF_Err DispatchFormat(PF_PixelFormat format, Fn&& fn) {
  switch (format) {
    case PF_PixelFormat_ARGB32:
      return fn(PF_Pixel8{});
    case PF_PixelFormat_ARGB64:
      return fn(PF_Pixel16{});
    case PF_PixelFormat_ARGB128:
      return fn(PF_PixelFloat{});
    default:
      return PF_Err_BAD_CALLBACK_PARAM;
  }
}

template <typename Pixel>
inline Pixel* PixelAt(const PF_EffectWorld& world, A_long x, A_long y) {
  return reinterpret_cast<Pixel*>(reinterpret_cast<char*>(world.data) +
                                  (std::ptrdiff_t)y * world.rowbytes +
                                  (std::ptrdiff_t)x * (std::ptrdiff_t)sizeof(Pixel));
}

// Unit-scale working pixel, alpha first like the host's pixels.
struct UnitPixel {
  double a, r, g, b;
};

template <typename Pixel>
inline double ToUnit(typename PixelTraits<Pixel>::Channel v) {
  return (double)v / PixelTraits<Pixel>::kFull;
}

// Round to nearest and clamp to [0, full]; NaN writes 0. Float channels are stored as they are.
template <typename Pixel>
inline typename PixelTraits<Pixel>::Channel FromUnit(double v) {
  using Traits = PixelTraits<Pixel>;
  if constexpr (Traits::kIsFloat) {
    return (float)v;
  } else {
    double scaled = v * Traits::kFull;
    if (!(scaled > 0.0)) return 0;
    if (scaled >= Traits::kFull) return (typename Traits::Channel)Traits::kFull;
    return (typename Traits::Channel)std::floor(scaled + 0.5);
  }
}

template <typename Pixel>
inline UnitPixel ToUnitPixel(const Pixel& p) {
  return {ToUnit<Pixel>(p.alpha), ToUnit<Pixel>(p.red), ToUnit<Pixel>(p.green),
          ToUnit<Pixel>(p.blue)};
}

template <typename Pixel>
inline Pixel FromUnitPixel(const UnitPixel& u) {
  Pixel p;
  p.alpha = FromUnit<Pixel>(u.a);
  p.red = FromUnit<Pixel>(u.r);
  p.green = FromUnit<Pixel>(u.g);
  p.blue = FromUnit<Pixel>(u.b);
  return p;
}

// A pixel of one depth in another: exact when the depths agree, else through unit scale.
template <typename To, typename From>
inline To ConvertPixel(const From& p) {
  if constexpr (std::is_same_v<To, From>) {
    return p;
  } else {
    return FromUnitPixel<To>(ToUnitPixel<From>(p));
  }
}

}  // namespace mf::host
