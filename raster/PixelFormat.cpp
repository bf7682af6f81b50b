#include "raster/PixelFormat.h"

namespace mf {

bool ReadColorF(void* base, PF_PixelFormat format, A_long x, A_long y, A_long rowbytes,
                ColorF* out) {
  return DispatchPixelFormat(format, [&](auto tag) {
    using Pixel = typename decltype(tag)::type;
    *out = ToColorF(*PixelTraits<Pixel>::Address(base, x, y, rowbytes));
  });
}

bool WriteColorF(void* base, PF_PixelFormat format, A_long x, A_long y, A_long rowbytes,
                 const ColorF& color) {
  return DispatchPixelFormat(format, [&](auto tag) {
    using Pixel = typename decltype(tag)::type;
    *PixelTraits<Pixel>::Address(base, x, y, rowbytes) = FromColorF<Pixel>(color);
  });
}

bool PixelHasAlpha(A_long x, A_long y, void* base, PF_PixelFormat format, A_long rowbytes) {
  bool present = false;
  DispatchPixelFormat(format, [&](auto tag) {
    using T = PixelTraits<typename decltype(tag)::type>;
    present = T::IsPresent(T::Address(base, x, y, rowbytes)->alpha);
  });
  return present;
}

}  // namespace mf
