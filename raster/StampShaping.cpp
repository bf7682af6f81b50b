#include "raster/StampShaping.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "raster/PixelFormat.h"

namespace mf {
namespace {

template <typename Pixel>
const Pixel& SoftenColor(const SoftenContext& ctx) {
  if constexpr (std::is_same_v<Pixel, PF_Pixel8>) {
    return ctx.color8;
  } else if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
    return ctx.color16;
  } else {
    return ctx.color_float;
  }
}

// Stores an alpha computed in channel units: truncated and clamped for the integer depths, only
// capped at 1.0 for float.
template <typename Pixel>
typename PixelTraits<Pixel>::Channel StoreAlpha(double alpha) {
  if constexpr (std::is_same_v<Pixel, PF_Pixel8>) {
    return ClampChannel8(alpha);
  } else if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
    return ClampChannel16(alpha);
  } else {
    return std::min(static_cast<float>(alpha), 1.0f);
  }
}

template <typename Pixel>
PF_Err Soften(void* refcon, A_long x, A_long y, Pixel* out) {
  const auto* ctx = static_cast<const SoftenContext*>(refcon);
  if (!ctx || !out) return PF_Err_NONE;
  using T = PixelTraits<Pixel>;
  const Pixel color = SoftenColor<Pixel>(*ctx);
  *out = color;

  const float r = static_cast<float>(ctx->stamp_size) / 2.0f;
  const float dx = static_cast<float>(x) - r, dy = static_cast<float>(y) - r;
  const float d = std::sqrt(dx * dx + dy * dy);
  // A size below 1 leaves no disc (and d ÷ r would be 0 ÷ 0 at the corner).
  if (!(r > 0.0f) || d > r) {
    out->alpha = 0;
    return PF_Err_NONE;
  }
  const float b = ctx->bias;
  const float ramp = 1.0f - d / r;
  const float a = (float)color.alpha;
  float alpha;
  if (b >= 1.0f) {
    alpha = T::kFullScale;
  } else if (b >= 0.0f) {
    alpha = ramp * (1.0f / (1.0f - b)) * a;
  } else if (b > -1.0f) {
    alpha = ramp * (1.0f + b) * a;
  } else {
    alpha = 0.0f;  // b ≤ −1, and a NaN bias
  }
  out->alpha = StoreAlpha<Pixel>(alpha);
  return PF_Err_NONE;
}

template <typename Pixel>
PF_Err Shift(void* refcon, A_long x, A_long y, Pixel* out) {
  const auto* ctx = static_cast<const SubPixelContext*>(refcon);
  if (!ctx || !out) return PF_Err_NONE;
  using T = PixelTraits<Pixel>;
  const A_long w = ctx->width, h = ctx->height;
  const PF_EffectWorld* src = ctx->source;

  // Taps in the order top-left, top-right, bottom-left, bottom-right. A tap outside the stamp is
  // transparent black; testing every tap against the stamp (rather than only the first row and
  // column beyond it) also keeps a larger destination from reading past the stamp.
  const A_long cols[4] = {x - 1, x, x - 1, x};
  const A_long rows[4] = {y - 1, y - 1, y, y};
  Pixel taps[4];
  for (int i = 0; i < 4; ++i) {
    if (src && src->data && cols[i] >= 0 && cols[i] < w && rows[i] >= 0 && rows[i] < h) {
      taps[i] = *T::Address(src->data, cols[i], rows[i], src->rowbytes);
    } else {
      taps[i] = Pixel{};
    }
  }

  const double* wt = ctx->weights;
  auto mix = [&](auto channel) {
    double sum = 0.0;
    for (int i = 0; i < 4; ++i) sum += wt[i] * (double)(taps[i].*channel);
    return sum;
  };
  const double full = T::kFullScale;
  const double lin = mix(&Pixel::alpha) / full;
  double max_a = (double)taps[0].alpha, min_a = max_a;
  for (int i = 1; i < 4; ++i) {
    max_a = std::max(max_a, (double)taps[i].alpha);
    min_a = std::min(min_a, (double)taps[i].alpha);
  }
  const double k = ctx->alpha_factor;
  const double target = (k >= 0.0 ? max_a : min_a) / full;
  const double alpha = lin + std::fabs(lin - target) * k;

  if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
    out->red = (float)mix(&Pixel::red);
    out->green = (float)mix(&Pixel::green);
    out->blue = (float)mix(&Pixel::blue);
    out->alpha = static_cast<float>(alpha);
  } else {
    auto store = [](double v) {
      if constexpr (std::is_same_v<Pixel, PF_Pixel8>) {
        return ClampChannel8(v);
      } else {
        return ClampChannel16(v);
      }
    };
    out->red = store(mix(&Pixel::red));
    out->green = store(mix(&Pixel::green));
    out->blue = store(mix(&Pixel::blue));
    out->alpha = store(alpha * full);
  }
  return PF_Err_NONE;
}

}  // namespace

PF_Err SoftenPixel8(void* r, A_long x, A_long y, PF_Pixel8*, PF_Pixel8* out) {
  return Soften(r, x, y, out);
}
PF_Err SoftenPixel16(void* r, A_long x, A_long y, PF_Pixel16*, PF_Pixel16* out) {
  return Soften(r, x, y, out);
}
PF_Err SoftenPixelFloat(void* r, A_long x, A_long y, PF_PixelFloat*, PF_PixelFloat* out) {
  return Soften(r, x, y, out);
}
PF_Err SubPixelShift8(void* r, A_long x, A_long y, PF_Pixel8*, PF_Pixel8* out) {
  return Shift(r, x, y, out);
}
PF_Err SubPixelShift16(void* r, A_long x, A_long y, PF_Pixel16*, PF_Pixel16* out) {
  return Shift(r, x, y, out);
}
PF_Err SubPixelShiftFloat(void* r, A_long x, A_long y, PF_PixelFloat*, PF_PixelFloat* out) {
  return Shift(r, x, y, out);
}

}  // namespace mf
