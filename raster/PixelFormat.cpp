#include "raster/PixelFormat.h"

namespace mf {

bool ReadColorF(const WorldView& world, A_long x, A_long y, ColorF* out) {
  return DispatchPixelFormat(world.format, [&](auto tag) {
    using Pixel = typename decltype(tag)::type;
    *out = ToColorF(*world.at<Pixel>(x, y));
  });
}

bool WriteColorF(const WorldView& world, A_long x, A_long y, const ColorF& color) {
  return DispatchPixelFormat(world.format, [&](auto tag) {
    using Pixel = typename decltype(tag)::type;
    *world.at<Pixel>(x, y) = FromColorF<Pixel>(color);
  });
}

bool PixelHasAlpha(const WorldView& world, A_long x, A_long y) {
  bool present = false;
  DispatchPixelFormat(world.format, [&](auto tag) {
    using Pixel = typename decltype(tag)::type;
    present = PixelTraits<Pixel>::IsPresent(world.at<Pixel>(x, y)->alpha);
  });
  return present;
}

}  // namespace mf
