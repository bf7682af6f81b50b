#include "TransferRect.h"

#include <algorithm>
#include <cstdint>

#include "PixelTraits.h"
#include "Rects.h"
#include "TransferModes.h"
#include "Worlds.h"

namespace mf::host {
namespace {

UnitPixel Unpremultiply(UnitPixel p) {
  if (p.a != 0.0) {
    p.r /= p.a;
    p.g /= p.a;
    p.b /= p.a;
  }
  return p;
}

UnitPixel Premultiply(UnitPixel p) {
  p.r *= p.a;
  p.g *= p.a;
  p.b *= p.a;
  return p;
}

template <typename Pixel>
void TransferKernel(const BlendSettings& settings, bool premultiplied, const PF_EffectWorld& src,
                    const PF_LRect& from, A_long dx, A_long dy, const PF_MaskWorld* mask,
                    PF_EffectWorld& dst) {
  if (!premultiplied && !mask) {
    for (A_long y = from.top; y < from.bottom; ++y) {
      BlendRun<Pixel>(settings, PixelAt<Pixel>(src, from.left, y),
                      PixelAt<Pixel>(dst, from.left + dx, y + dy), from.right - from.left);
    }
    return;
  }
  for (A_long y = from.top; y < from.bottom; ++y) {
    const Pixel* in = PixelAt<Pixel>(src, from.left, y);
    Pixel* out = PixelAt<Pixel>(dst, from.left + dx, y + dy);
    for (A_long x = from.left; x < from.right; ++x, ++in, ++out) {
      UnitPixel s = ToUnitPixel(*in);
      UnitPixel d = ToUnitPixel(*out);
      if (premultiplied) {
        s = Unpremultiply(s);
        d = Unpremultiply(d);
      }
      if (mask) {
        const int64_t mx = (int64_t)x + dx - mask->offset.h;
        const int64_t my = (int64_t)y + dy - mask->offset.v;
        const PF_EffectWorld& m = mask->mask;
        s.a *= mx >= 0 && my >= 0 && mx < m.width && my < m.height
                   ? ToUnit<Pixel>(PixelAt<Pixel>(m, (A_long)mx, (A_long)my)->alpha)
                   : 0.0;
      }
      UnitPixel r = BlendPixel(settings, s, d);
      if (premultiplied) r = Premultiply(r);
      *out = FromUnitPixel<Pixel>(r);
    }
  }
}

}  // namespace

PF_Err TransferRect(PF_ModeFlags m_flags, const PF_LRect* src_rec, const PF_EffectWorld* src,
                    const PF_CompositeMode* comp_mode, const PF_MaskWorld* mask, A_long dest_x,
                    A_long dest_y, PF_EffectWorld* dst) {
  auto src_format = UsableFormat(src);
  auto dst_format = UsableFormat(dst);
  if (!src_format || !dst_format || *src_format != *dst_format || !comp_mode ||
      !IsServedTransferMode(comp_mode->xfer)) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (mask) {
    auto mask_format = UsableFormat(&mask->mask);
    if (!mask_format || *mask_format != *src_format) return PF_Err_BAD_CALLBACK_PARAM;
  }

  // Placement in 64 bits: a far-away destination must clip, not wrap.
  const PF_LRect asked = RectOrWorld(src_rec, *src);
  const int64_t dx = (int64_t)dest_x - asked.left;
  const int64_t dy = (int64_t)dest_y - asked.top;
  PF_LRect from = Intersect(asked, WorldRect(*src));
  // The destination world seen in source coordinates, kept within 32 bits.
  auto fit = [](int64_t v) { return (A_long)std::clamp<int64_t>(v, INT32_MIN, INT32_MAX); };
  const A_long lo_x = fit(-dx), lo_y = fit(-dy);
  const A_long hi_x = fit((int64_t)dst->width - dx), hi_y = fit((int64_t)dst->height - dy);
  from = Intersect(from, PF_LRect{lo_x, lo_y, hi_x, hi_y});
  if (IsEmpty(from)) return PF_Err_NONE;

  const bool eight = *src_format == PF_PixelFormat_ARGB32;
  BlendSettings settings;
  settings.mode = comp_mode->xfer;
  settings.opacity =
      eight ? comp_mode->opacity / 255.0 : std::min(comp_mode->opacitySu / 32768.0, 1.0);
  settings.rgb_only = comp_mode->rgb_only != 0;
  settings.clamp_blend = *src_format != PF_PixelFormat_ARGB128;
  const bool premultiplied = m_flags != PF_MF_Alpha_STRAIGHT;

  PF_EffectWorld snapshot;
  const PF_EffectWorld* from_world = SnapshotIfShared(*src, *dst, &snapshot);
  return DispatchFormat(*src_format, [&](auto tag) {
    using Pixel = decltype(tag);
    TransferKernel<Pixel>(settings, premultiplied, *from_world, from, (A_long)dx, (A_long)dy, mask,
                          *dst);
    return PF_Err_NONE;
  });
}

}  // namespace mf::host
