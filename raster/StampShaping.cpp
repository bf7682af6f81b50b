#include "raster/StampShaping.h"

#include <algorithm>
#include <cmath>

#include "raster/PixelFormat.h"

namespace mf {

template <typename Pixel>
PF_Err SoftenPixel(void* refcon, A_long x, A_long y, Pixel*, Pixel* out) {
  const auto* ctx = static_cast<const SoftenContext<Pixel>*>(refcon);
  if (!ctx || !out) return PF_Err_NONE;
  using T = PixelTraits<Pixel>;
  const Pixel color = ctx->color;
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
  const float a = static_cast<float>(color.alpha);
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
  // Never above full scale: the integer depths would clamp there anyway, float is capped.
  out->alpha = T::FromUnits(std::min(alpha, T::kFullScale));
  return PF_Err_NONE;
}
template PF_Err SoftenPixel(void*, A_long, A_long, PF_Pixel8*, PF_Pixel8*);
template PF_Err SoftenPixel(void*, A_long, A_long, PF_Pixel16*, PF_Pixel16*);
template PF_Err SoftenPixel(void*, A_long, A_long, PF_PixelFloat*, PF_PixelFloat*);

template <typename Pixel>
PF_Err SubPixelShift(void* refcon, A_long x, A_long y, Pixel*, Pixel* out) {
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
      taps[i] = *PixelAddress<Pixel>(src->data, cols[i], rows[i], src->rowbytes);
    } else {
      taps[i] = Pixel{};
    }
  }

  const double* wt = ctx->weights;
  auto mix = [&](auto channel) {
    double sum = 0.0;
    for (int i = 0; i < 4; ++i) sum += wt[i] * static_cast<double>(taps[i].*channel);
    return sum;
  };
  const double full = T::kFullScale;
  const double lin = mix(&Pixel::alpha) / full;
  double max_a = static_cast<double>(taps[0].alpha), min_a = max_a;
  for (int i = 1; i < 4; ++i) {
    max_a = std::max(max_a, static_cast<double>(taps[i].alpha));
    min_a = std::min(min_a, static_cast<double>(taps[i].alpha));
  }
  const double k = ctx->alpha_factor;
  const double target = (k >= 0.0 ? max_a : min_a) / full;
  const double alpha = lin + std::fabs(lin - target) * k;

  out->red = T::FromUnits(mix(&Pixel::red));
  out->green = T::FromUnits(mix(&Pixel::green));
  out->blue = T::FromUnits(mix(&Pixel::blue));
  out->alpha = T::FromUnits(alpha * full);
  return PF_Err_NONE;
}
template PF_Err SubPixelShift(void*, A_long, A_long, PF_Pixel8*, PF_Pixel8*);
template PF_Err SubPixelShift(void*, A_long, A_long, PF_Pixel16*, PF_Pixel16*);
template PF_Err SubPixelShift(void*, A_long, A_long, PF_PixelFloat*, PF_PixelFloat*);

}  // namespace mf
