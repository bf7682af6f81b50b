#include "TransferModes.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace mf::host {
namespace {

struct Rgb {
  double r, g, b;
};

double Lum(const Rgb& c) {
  return Luma(c.r, c.g, c.b);
}

// Pulls a colour back into [0, 1] toward its luma, keeping the luma.
Rgb ClipColor(Rgb c) {
  const double l = Lum(c);
  const double n = std::min({c.r, c.g, c.b});
  const double x = std::max({c.r, c.g, c.b});
  if (n < 0.0 && l - n > 0.0) {
    const double k = l / (l - n);
    c = {l + (c.r - l) * k, l + (c.g - l) * k, l + (c.b - l) * k};
  }
  if (x > 1.0 && x - l > 0.0) {
    const double k = (1.0 - l) / (x - l);
    c = {l + (c.r - l) * k, l + (c.g - l) * k, l + (c.b - l) * k};
  }
  return c;
}

Rgb SetLum(const Rgb& c, double l) {
  const double d = l - Lum(c);
  return ClipColor({c.r + d, c.g + d, c.b + d});
}

double Sat(const Rgb& c) {
  return std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b});
}

// Rescales the colour so its saturation (max − min) is s, its smallest channel 0.
Rgb SetSat(Rgb c, double s) {
  double* ch[3] = {&c.r, &c.g, &c.b};
  std::sort(ch, ch + 3, [](const double* a, const double* b) { return *a < *b; });
  double& lo = *ch[0];
  double& mid = *ch[1];
  double& hi = *ch[2];
  if (hi > lo) {
    mid = (mid - lo) * s / (hi - lo);
    hi = s;
  } else {
    mid = 0.0;
    hi = 0.0;
  }
  lo = 0.0;
  return c;
}

double HardLight(double cb, double cs) {
  if (cs <= 0.5) return cb * 2.0 * cs;
  const double s = 2.0 * cs - 1.0;
  return cb + s - cb * s;
}

double SoftLight(double cb, double cs) {
  if (cs <= 0.5) return cb - (1.0 - 2.0 * cs) * cb * (1.0 - cb);
  const double d = cb <= 0.25 ? ((16.0 * cb - 12.0) * cb + 4.0) * cb : std::sqrt(std::max(cb, 0.0));
  return cb + (2.0 * cs - 1.0) * (d - cb);
}

template <A_long kMode>
double Separable(double cb, double cs) {
  if constexpr (kMode == PF_Xfer_DARKEN) {
    return std::min(cb, cs);
  } else if constexpr (kMode == PF_Xfer_LIGHTEN) {
    return std::max(cb, cs);
  } else if constexpr (kMode == PF_Xfer_MULTIPLY) {
    return cb * cs;
  } else if constexpr (kMode == PF_Xfer_SCREEN) {
    return cb + cs - cb * cs;
  } else if constexpr (kMode == PF_Xfer_ADD) {
    return cb + cs;
  } else if constexpr (kMode == PF_Xfer_DIFFERENCE) {
    return std::fabs(cb - cs);
  } else if constexpr (kMode == PF_Xfer_OVERLAY) {
    return HardLight(cs, cb);
  } else if constexpr (kMode == PF_Xfer_HARD_LIGHT) {
    return HardLight(cb, cs);
  } else if constexpr (kMode == PF_Xfer_SOFT_LIGHT) {
    return SoftLight(cb, cs);
  } else {
    return cs;  // IN_FRONT
  }
}

template <A_long kMode>
Rgb Blend(const Rgb& cb, const Rgb& cs) {
  if constexpr (kMode == PF_Xfer_HUE) {
    return SetLum(SetSat(cs, Sat(cb)), Lum(cb));
  } else if constexpr (kMode == PF_Xfer_SATURATION) {
    return SetLum(SetSat(cb, Sat(cs)), Lum(cb));
  } else if constexpr (kMode == PF_Xfer_COLOR) {
    return SetLum(cs, Lum(cb));
  } else if constexpr (kMode == PF_Xfer_LUMINOSITY) {
    return SetLum(cb, Lum(cs));
  } else {
    return {Separable<kMode>(cb.r, cs.r), Separable<kMode>(cb.g, cs.g),
            Separable<kMode>(cb.b, cs.b)};
  }
}

constexpr bool IsColourBlend(PF_TransferMode mode) {
  switch (mode) {
    case PF_Xfer_IN_FRONT:
    case PF_Xfer_ADD:
    case PF_Xfer_MULTIPLY:
    case PF_Xfer_SCREEN:
    case PF_Xfer_OVERLAY:
    case PF_Xfer_SOFT_LIGHT:
    case PF_Xfer_HARD_LIGHT:
    case PF_Xfer_DARKEN:
    case PF_Xfer_LIGHTEN:
    case PF_Xfer_DIFFERENCE:
    case PF_Xfer_HUE:
    case PF_Xfer_SATURATION:
    case PF_Xfer_COLOR:
    case PF_Xfer_LUMINOSITY:
      return true;
    default:
      return false;
  }
}

constexpr bool IsMatte(PF_TransferMode mode) {
  return mode == PF_Xfer_MULTIPLY_ALPHA || mode == PF_Xfer_MULTIPLY_ALPHA_LUMA ||
         mode == PF_Xfer_MULTIPLY_NOT_ALPHA || mode == PF_Xfer_MULTIPLY_NOT_ALPHA_LUMA;
}

double Clamp01(double v) {
  return std::clamp(v, 0.0, 1.0);
}

}  // namespace

bool IsServedTransferMode(PF_TransferMode mode) {
  switch (mode) {
    case PF_Xfer_COPY:
    case PF_Xfer_BEHIND:
    case PF_Xfer_ALPHA_ADD:
      return true;
    default:
      return IsColourBlend(mode) || IsMatte(mode);
  }
}

namespace {

// The modes that composite colour: every served mode but the mattes.
template <A_long kMode>
[[gnu::always_inline]] inline UnitPixel BlendColour(const BlendSettings& s, const UnitPixel& src,
                                                    const UnitPixel& dst) {
  const double op = s.opacity;
  const double ab = dst.a;
  const Rgb cb{dst.r, dst.g, dst.b};
  const Rgb cs{src.r, src.g, src.b};
  const double as = src.a * op;
  UnitPixel out = dst;
  if constexpr (kMode == PF_Xfer_COPY) {
    out = UnitPixel{as, cs.r, cs.g, cs.b};
  } else if constexpr (kMode == PF_Xfer_BEHIND) {
    const double ao = ab + as * (1.0 - ab);
    if (as == 0.0 || ao == 0.0) return dst;
    const double wb = ab, ws = (1.0 - ab) * as;
    out = UnitPixel{ao, (wb * cb.r + ws * cs.r) / ao, (wb * cb.g + ws * cs.g) / ao,
                    (wb * cb.b + ws * cs.b) / ao};
  } else if constexpr (kMode == PF_Xfer_ALPHA_ADD) {
    const double sum = as + ab;
    if (as == 0.0 || sum == 0.0) return dst;
    out = UnitPixel{std::min(sum, 1.0), (as * cs.r + ab * cb.r) / sum,
                    (as * cs.g + ab * cb.g) / sum, (as * cs.b + ab * cb.b) / sum};
  } else if constexpr (IsColourBlend(kMode)) {
    const double ao = as + ab * (1.0 - as);
    if (as == 0.0 || ao == 0.0) return dst;
    Rgb b = Blend<kMode>(cb, cs);
    if (s.clamp_blend) b = {Clamp01(b.r), Clamp01(b.g), Clamp01(b.b)};
    const double m[3] = {(1.0 - ab) * cs.r + ab * b.r, (1.0 - ab) * cs.g + ab * b.g,
                         (1.0 - ab) * cs.b + ab * b.b};
    const double keep = (1.0 - as) * ab;
    out = UnitPixel{ao, (as * m[0] + keep * cb.r) / ao, (as * m[1] + keep * cb.g) / ao,
                    (as * m[2] + keep * cb.b) / ao};
  } else {
    return dst;
  }
  if (s.rgb_only) out.a = ab;
  return out;
}

// One mode's composite, the mode fixed when compiled so that a run of pixels makes no choice per
// pixel.
template <A_long kMode>
[[gnu::always_inline]] inline UnitPixel BlendAs(const BlendSettings& s, const UnitPixel& src,
                                                const UnitPixel& dst) {
  if constexpr (IsMatte(kMode)) {
    // Mattes touch only the destination's alpha.
    const Rgb cs{src.r, src.g, src.b};
    double matte = 1.0;
    if constexpr (kMode == PF_Xfer_MULTIPLY_ALPHA) {
      matte = src.a;
    } else if constexpr (kMode == PF_Xfer_MULTIPLY_ALPHA_LUMA) {
      matte = Lum(cs) * src.a;
    } else if constexpr (kMode == PF_Xfer_MULTIPLY_NOT_ALPHA) {
      matte = 1.0 - src.a;
    } else {
      matte = 1.0 - Lum(cs) * src.a;  // MULTIPLY_NOT_ALPHA_LUMA
    }
    UnitPixel out = dst;
    out.a = dst.a * (1.0 - s.opacity * (1.0 - matte));
    return out;
  } else {
    return BlendColour<kMode>(s, src, dst);
  }
}

// Calls fn with the mode as a compile-time constant; an unserved mode comes as PF_Xfer_NONE.
template <typename Fn>
decltype(auto) WithMode(PF_TransferMode mode, Fn&& fn) {
  using M = PF_TransferMode;
  switch (mode) {
    case PF_Xfer_COPY:
      return fn(std::integral_constant<M, PF_Xfer_COPY>{});
    case PF_Xfer_BEHIND:
      return fn(std::integral_constant<M, PF_Xfer_BEHIND>{});
    case PF_Xfer_IN_FRONT:
      return fn(std::integral_constant<M, PF_Xfer_IN_FRONT>{});
    case PF_Xfer_ADD:
      return fn(std::integral_constant<M, PF_Xfer_ADD>{});
    case PF_Xfer_MULTIPLY:
      return fn(std::integral_constant<M, PF_Xfer_MULTIPLY>{});
    case PF_Xfer_SCREEN:
      return fn(std::integral_constant<M, PF_Xfer_SCREEN>{});
    case PF_Xfer_OVERLAY:
      return fn(std::integral_constant<M, PF_Xfer_OVERLAY>{});
    case PF_Xfer_SOFT_LIGHT:
      return fn(std::integral_constant<M, PF_Xfer_SOFT_LIGHT>{});
    case PF_Xfer_HARD_LIGHT:
      return fn(std::integral_constant<M, PF_Xfer_HARD_LIGHT>{});
    case PF_Xfer_DARKEN:
      return fn(std::integral_constant<M, PF_Xfer_DARKEN>{});
    case PF_Xfer_LIGHTEN:
      return fn(std::integral_constant<M, PF_Xfer_LIGHTEN>{});
    case PF_Xfer_DIFFERENCE:
      return fn(std::integral_constant<M, PF_Xfer_DIFFERENCE>{});
    case PF_Xfer_HUE:
      return fn(std::integral_constant<M, PF_Xfer_HUE>{});
    case PF_Xfer_SATURATION:
      return fn(std::integral_constant<M, PF_Xfer_SATURATION>{});
    case PF_Xfer_COLOR:
      return fn(std::integral_constant<M, PF_Xfer_COLOR>{});
    case PF_Xfer_LUMINOSITY:
      return fn(std::integral_constant<M, PF_Xfer_LUMINOSITY>{});
    case PF_Xfer_MULTIPLY_ALPHA:
      return fn(std::integral_constant<M, PF_Xfer_MULTIPLY_ALPHA>{});
    case PF_Xfer_MULTIPLY_ALPHA_LUMA:
      return fn(std::integral_constant<M, PF_Xfer_MULTIPLY_ALPHA_LUMA>{});
    case PF_Xfer_MULTIPLY_NOT_ALPHA:
      return fn(std::integral_constant<M, PF_Xfer_MULTIPLY_NOT_ALPHA>{});
    case PF_Xfer_MULTIPLY_NOT_ALPHA_LUMA:
      return fn(std::integral_constant<M, PF_Xfer_MULTIPLY_NOT_ALPHA_LUMA>{});
    case PF_Xfer_ALPHA_ADD:
      return fn(std::integral_constant<M, PF_Xfer_ALPHA_ADD>{});
    default:
      return fn(std::integral_constant<M, PF_Xfer_NONE>{});
  }
}

}  // namespace

UnitPixel BlendPixel(const BlendSettings& s, const UnitPixel& src, const UnitPixel& dst) {
  return WithMode(s.mode, [&](auto mode) { return BlendAs<mode()>(s, src, dst); });
}

template <typename Pixel>
void BlendRun(const BlendSettings& s, const Pixel* src, Pixel* dst, A_long n) {
  WithMode(s.mode, [&](auto mode) {
    for (A_long i = 0; i < n; ++i) {
      dst[i] = FromUnitPixel<Pixel>(BlendAs<mode()>(s, ToUnitPixel(src[i]), ToUnitPixel(dst[i])));
    }
  });
}

template void BlendRun<PF_Pixel8>(const BlendSettings&, const PF_Pixel8*, PF_Pixel8*, A_long);
template void BlendRun<PF_Pixel16>(const BlendSettings&, const PF_Pixel16*, PF_Pixel16*, A_long);
template void BlendRun<PF_PixelFloat>(const BlendSettings&, const PF_PixelFloat*, PF_PixelFloat*,
                                      A_long);

}  // namespace mf::host
