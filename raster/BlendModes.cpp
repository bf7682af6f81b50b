#include "raster/BlendModes.h"

#include <algorithm>
#include <type_traits>

#include "AE_EffectCB.h"
#include "raster/PixelFormat.h"
#include "support/HostError.h"
#include "support/HostResources.h"

namespace mf {
namespace {

template <typename Pixel>
const Pixel* PixelAt(const PF_EffectWorld& w, A_long x, A_long y) {
  return PixelAddress<Pixel>(w.data, x, y, w.rowbytes);
}

enum class AlphaRule { kOver, kAddSaturated, kMax };

template <typename Pixel, AlphaRule rule>
PF_Err Average(void* refcon, A_long x, A_long y, Pixel* in, Pixel* out) {
  const auto* ctx = static_cast<const BlendContext*>(refcon);
  if (!ctx || !in || !out) return PF_Err_NONE;
  using D = PixelTraits<Pixel>;
  const Pixel src = *in;  // in and out may be the same pixel
  Pixel dst{};
  const A_long tx = x + ctx->left, ty = y + ctx->top;
  const PF_EffectWorld* target = ctx->target;
  if (target && target->data && tx >= 0 && ty >= 0 && tx < target->width && ty < target->height) {
    dst = *PixelAt<Pixel>(*target, tx, ty);
  }
  // Weighted sums in double: a product of two floats is exact there, so a stamp pixel over a
  // transparent target comes back with exactly its own colour ((c·aS) ÷ aS = c), which single
  // precision misses by one step for about one pair in twenty.
  const double aS = D::ToFloat(src.alpha), aD = D::ToFloat(dst.alpha);
  const double sum = aS + aD;
  if (!(sum > 0.0)) {  // nothing to weigh by (a NaN alpha included): the stamp stays
    *out = src;
    return PF_Err_NONE;
  }
  auto mix = [&](auto channel) {
    return D::FromFloat(
        static_cast<float>((D::ToFloat(dst.*channel) * aD + D::ToFloat(src.*channel) * aS) / sum));
  };
  Pixel res;
  res.red = mix(&Pixel::red);
  res.green = mix(&Pixel::green);
  res.blue = mix(&Pixel::blue);
  if constexpr (rule == AlphaRule::kOver) {
    res.alpha = D::FromFloat(static_cast<float>(aS + aD * (1.0 - aS)));
  } else if constexpr (rule == AlphaRule::kAddSaturated) {
    res.alpha =
        D::FromFloat(static_cast<float>(std::min(sum, 1.0)));  // the write conversion saturates too
  } else {
    res.alpha = std::max(src.alpha, dst.alpha);
  }
  *out = res;
  return PF_Err_NONE;
}

}  // namespace

template <typename Pixel>
IterateCallback<Pixel> AverageBlendFor(A_long mode) {
  if (mode == kPixelBlendAverageAddAlpha) return Average<Pixel, AlphaRule::kAddSaturated>;
  if (mode == kPixelBlendMaxAverageAlpha) return Average<Pixel, AlphaRule::kMax>;
  return Average<Pixel, AlphaRule::kOver>;
}
template IterateCallback<PF_Pixel8> AverageBlendFor(A_long);
template IterateCallback<PF_Pixel16> AverageBlendFor(A_long);
template IterateCallback<PF_PixelFloat> AverageBlendFor(A_long);

template <typename Pixel>
AverageBlend<Pixel>::AverageBlend(A_long mode, const BlendSuites& suites, PF_InData* in_data)
    : fn_(AverageBlendFor<Pixel>(mode)),
      suites_(suites),
      in_data_(in_data),
      high_quality_(in_data->quality == PF_Quality_HI) {}

template <typename Pixel>
PF_Err AverageBlend<Pixel>::apply(PF_EffectWorld* stamp, A_long stamp_side, PF_EffectWorld* target,
                                  const PF_Rect& dst_rect) const {
  const PF_ProgPtr ref = in_data_->effect_ref;
  OwnedWorld temp_world(suites_.world, ref);
  PF_Err err = temp_world.make(stamp->width, stamp->height, PixelTraits<Pixel>::kFormat);
  if (err) return err;
  PF_EffectWorld& temp = *temp_world.get();

  BlendContext ctx{target, dst_rect.left, dst_rect.top, dst_rect.right, dst_rect.bottom};
  if (stamp_side < 2) {
    // One pixel: blend it once and fill, which is cheaper than an iteration.
    Pixel px = *PixelAt<Pixel>(*stamp, 0, 0);
    fn_(&ctx, 0, 0, &px, &px);
    PF_Rect all{0, 0, temp.width, temp.height};
    err = FillPixel(suites_.fill, ref, px, &all, &temp);
  } else {
    err = IterateSuiteOf<Pixel>(suites_.iterate)
              ->iterate(in_data_, 0, stamp->height, stamp, nullptr, &ctx, fn_, &temp);
  }

  if (!err) {
    PF_Rect src_r{0, 0, temp.width, temp.height};
    PF_Rect dst_r = dst_rect;
    err = CopyAtQuality(suites_.transform, ref, high_quality_, &temp, target, &src_r, &dst_r);
  }
  if (!err) err = PF_ABORT(in_data_);
  KeepFirst(err, temp_world.release());
  return err;
}
template class AverageBlend<PF_Pixel8>;
template class AverageBlend<PF_Pixel16>;
template class AverageBlend<PF_PixelFloat>;

PF_Err ApplyCustomPixelBlend(A_long mode, const BlendSuites& suites, PF_InData* in_data,
                             PF_PixelFormat format, PF_EffectWorld* stamp, A_long stamp_side,
                             PF_EffectWorld* target, const PF_Rect& dst_rect) {
  if (!IsKnownPixelFormat(format)) return PF_Err_BAD_CALLBACK_PARAM;
  PF_Err err = PF_Err_NONE;
  DispatchPixelFormat(format, [&](auto tag) {
    using Pixel = typename decltype(tag)::type;
    err = AverageBlend<Pixel>(mode, suites, in_data).apply(stamp, stamp_side, target, dst_rect);
  });
  return err;
}

}  // namespace mf
