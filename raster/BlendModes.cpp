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

template <typename Pixel>
PF_Err BlendStamp(A_long mode, const BlendSuites& suites, PF_InData* in_data, PF_EffectWorld* stamp,
                  A_long stamp_side, BlendContext* ctx, PF_EffectWorld* temp) {
  const IterateCallback<Pixel> fn = AverageBlendFor<Pixel>(mode);
  if (stamp_side < 2) {
    // One pixel: blend it once and fill, which is cheaper than an iteration.
    Pixel px = *PixelAt<Pixel>(*stamp, 0, 0);
    fn(ctx, 0, 0, &px, &px);
    PF_Rect all{0, 0, temp->width, temp->height};
    return FillPixel(suites.fill, in_data->effect_ref, px, &all, temp);
  }
  return IterateSuiteOf<Pixel>(suites.iterate)
      ->iterate(in_data, 0, stamp->height, stamp, nullptr, ctx, fn, temp);
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

PF_Err ApplyCustomPixelBlend(A_long mode, const BlendSuites& suites, PF_InData* in_data,
                             PF_PixelFormat format, PF_EffectWorld* stamp, A_long stamp_side,
                             PF_EffectWorld* target, const PF_Rect& dst_rect) {
  const PF_WorldTransformSuite1* transform = suites.transform;
  if (!IsKnownPixelFormat(format)) return PF_Err_BAD_CALLBACK_PARAM;

  OwnedWorld temp_world(suites.world, in_data->effect_ref);
  PF_Err err = temp_world.make(stamp->width, stamp->height, format);
  if (err) return err;
  PF_EffectWorld& temp = *temp_world.get();

  BlendContext ctx{target, dst_rect.left, dst_rect.top, dst_rect.right, dst_rect.bottom};
  DispatchPixelFormat(format, [&](auto tag) {
    using Pixel = typename decltype(tag)::type;
    err = BlendStamp<Pixel>(mode, suites, in_data, stamp, stamp_side, &ctx, &temp);
  });

  if (!err) {
    PF_Rect src_r{0, 0, temp.width, temp.height};
    PF_Rect dst_r = dst_rect;
    err = in_data->quality == PF_Quality_HI
              ? transform->copy_hq(in_data->effect_ref, &temp, target, &src_r, &dst_r)
              : transform->copy(in_data->effect_ref, &temp, target, &src_r, &dst_r);
  }
  if (!err) err = PF_ABORT(in_data);
  KeepFirst(err, temp_world.release());
  return err;
}

}  // namespace mf
