#include "raster/EnvironmentMap.h"

#include <cmath>
#include <numbers>

namespace mf {

bool DirectionToLatLong(Vec3 dir, float* u, float* v) {
  const double pi = std::numbers::pi;
  const double phi =
      (dir.y >= -1.0f && dir.y <= 1.0f) ? std::acos(static_cast<double>(dir.y)) : 0.0;
  const double theta = (dir.z != 0.0f || dir.x != 0.0f)
                           ? std::atan2(static_cast<double>(dir.z), -static_cast<double>(dir.x))
                           : 0.0;
  *u = 1.0f - static_cast<float>((pi + theta) / (2.0 * pi));
  *v = 1.0f - static_cast<float>(phi / pi);
  return true;
}

namespace {

// x clamped into [0, last] and truncated. A NaN coordinate (from a direction that is not finite)
// goes to 0 instead of reaching the integer conversion. At the clamp the index is taken as last
// itself, not from the float, which may have rounded past it for very wide worlds.
inline A_long ClampIndex(float x, A_long last, float* clamped) {
  if (!(x >= 0.0f)) x = 0.0f;
  if (x >= static_cast<float>(last)) {
    *clamped = static_cast<float>(last);
    return last;
  }
  *clamped = x;
  return static_cast<A_long>(x);
}

inline double ClampUnit(double a) {
  return a > 0.0 ? (a < 1.0 ? a : 1.0) : 0.0;
}

template <typename Pixel>
ColorF Sample(const WorldView& map, float u, float v, bool antialias) {
  const A_long width = map.width, height = map.height;
  float x, y;
  const A_long ix = ClampIndex(u * static_cast<float>(width - 1), width - 1, &x);
  const A_long iy = ClampIndex(v * static_cast<float>(height - 1), height - 1, &y);
  if (!antialias) return ToColorF(*map.at<Pixel>(ix, iy));

  const double fx = static_cast<double>(x) - ix;
  const double fy = static_cast<double>(y) - iy;
  const A_long ix1 = ix + 1 >= width ? 0 : ix + 1;
  const A_long iy1 = iy + 1 >= height ? 0 : iy + 1;
  const struct {
    A_long x, y;
    double w;
  } taps[4] = {{ix, iy, (1.0 - fx) * (1.0 - fy)},
               {ix1, iy, fx * (1.0 - fy)},
               {ix, iy1, (1.0 - fx) * fy},
               {ix1, iy1, fx * fy}};
  double a = 0.0, r = 0.0, g = 0.0, b = 0.0;
  for (const auto& tap : taps) {
    const ColorF c = ToColorF(*map.at<Pixel>(tap.x, tap.y));
    a += tap.w * c.alpha;
    r += tap.w * c.red;
    g += tap.w * c.green;
    b += tap.w * c.blue;
  }
  a = ClampUnit(a);
  return {static_cast<float>(a), static_cast<float>(r * a), static_cast<float>(g * a),
          static_cast<float>(b * a)};
}

}  // namespace

bool SampleEnvironmentMap(const WorldView& map, Vec3 dir, bool antialias, ColorF* color) {
  float u, v;
  DirectionToLatLong(dir, &u, &v);
  return DispatchPixelFormat(map.format, [&](auto tag) {
    using Pixel = typename decltype(tag)::type;
    if (map.data == nullptr || map.width < 1 || map.height < 1) {
      *color = {0.0f, 0.0f, 0.0f, 0.0f};
      return;
    }
    *color = Sample<Pixel>(map, u, v, antialias);
  });
}

}  // namespace mf
