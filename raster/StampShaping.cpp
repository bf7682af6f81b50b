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
  const bool readable = src && src->data;

  // Taps in the order top-left, top-right, bottom-left, bottom-right. A tap outside the stamp is
  // transparent black; testing every tap against the stamp (rather than only the first row and
  // column beyond it) also keeps a larger destination from reading past the stamp.
  const bool col_inside[2] = {x - 1 >= 0 && x - 1 < w, x >= 0 && x < w};
  const bool row_inside[2] = {y - 1 >= 0 && y - 1 < h, y >= 0 && y < h};
  // The weighted sums of alpha and red, and of green and blue, two channels to a vector: each
  // lane takes the same products and sums in the same order as a channel summed on its own.
  using Pair = double __attribute__((vector_size(16)));
  Pair alpha_red = {0.0, 0.0}, green_blue = {0.0, 0.0};
  double max_a = 0.0, min_a = 0.0;
  for (int i = 0; i < 4; ++i) {
    const int cx = i & 1, cy = i >> 1;
    Pixel tap{};
    if (readable && col_inside[cx] && row_inside[cy]) {
      tap = *PixelAddress<Pixel>(src->data, x - 1 + cx, y - 1 + cy, src->rowbytes);
    }
    const double wt = ctx->weights[i];
    const double a = static_cast<double>(tap.alpha);
    alpha_red += Pair{wt, wt} * Pair{a, static_cast<double>(tap.red)};
    green_blue +=
        Pair{wt, wt} * Pair{static_cast<double>(tap.green), static_cast<double>(tap.blue)};
    if (i == 0) {
      max_a = min_a = a;
    } else {
      max_a = std::max(max_a, a);
      min_a = std::min(min_a, a);
    }
  }

  const double full = T::kFullScale;
  const double lin = alpha_red[0] / full;
  const double k = ctx->alpha_factor;
  const double target = (k >= 0.0 ? max_a : min_a) / full;
  const double alpha = lin + std::fabs(lin - target) * k;

  out->red = T::FromUnits(alpha_red[1]);
  out->green = T::FromUnits(green_blue[0]);
  out->blue = T::FromUnits(green_blue[1]);
  out->alpha = T::FromUnits(alpha * full);
  return PF_Err_NONE;
}
template PF_Err SubPixelShift(void*, A_long, A_long, PF_Pixel8*, PF_Pixel8*);
template PF_Err SubPixelShift(void*, A_long, A_long, PF_Pixel16*, PF_Pixel16*);
template PF_Err SubPixelShift(void*, A_long, A_long, PF_PixelFloat*, PF_PixelFloat*);

}  // namespace mf
