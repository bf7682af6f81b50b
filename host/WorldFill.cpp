#include "WorldFill.h"

#include "PixelTraits.h"
#include "Rects.h"
#include "Worlds.h"

namespace mf::host {
namespace {

template <typename Pixel>
void FillRect(PF_EffectWorld& world, const PF_LRect& r, const Pixel& value) {
  const A_long cols = r.right - r.left;
  for (A_long y = r.top; y < r.bottom; ++y) {
    Pixel* p = PixelAt<Pixel>(world, r.left, y);
    if (cols == 1) {
      *p = value;  // a point's stamp, without the set-up of a vectorised row
    } else {
      for (A_long x = 0; x < cols; ++x) p[x] = value;
    }
  }
}

template <typename ColorPixel>
PF_Err FillAnyDepth(PF_EffectWorld* world, const ColorPixel* color, const PF_LRect* rect) {
  auto format = UsableFormat(world);
  if (!format) return PF_Err_BAD_CALLBACK_PARAM;
  const PF_LRect r = Intersect(RectOrWorld(rect, *world), WorldRect(*world));
  if (IsEmpty(r)) return PF_Err_NONE;
  // The colour at the world's own depth (every stamp's fill) needs no conversion.
  if (*format == PixelTraits<ColorPixel>::kFormat) {
    FillRect(*world, r, color ? *color : ColorPixel{});
    return PF_Err_NONE;
  }
  return DispatchFormat(*format, [&](auto tag) {
    using Pixel = decltype(tag);
    FillRect(*world, r, color ? ConvertPixel<Pixel>(*color) : Pixel{});
    return PF_Err_NONE;
  });
}

}  // namespace

PF_Err FillWorld(PF_EffectWorld* world, const PF_Pixel8* color, const PF_LRect* rect) {
  return FillAnyDepth(world, color, rect);
}
PF_Err FillWorld(PF_EffectWorld* world, const PF_Pixel16* color, const PF_LRect* rect) {
  return FillAnyDepth(world, color, rect);
}
PF_Err FillWorld(PF_EffectWorld* world, const PF_PixelFloat* color, const PF_LRect* rect) {
  return FillAnyDepth(world, color, rect);
}

}  // namespace mf::host
