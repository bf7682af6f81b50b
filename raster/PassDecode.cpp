#include "raster/PassDecode.h"

#include <cmath>
#include <optional>

#include "raster/Random.h"

namespace mf {

namespace {

// Reads pixel (x, y) normalised, and whether its alpha is non-zero (8- and 16-bit: integer 0;
// float: exactly ±0.0, so NaN and negative alphas are present). False for an unknown format.
bool ReadSample(const WorldView& world, A_long x, A_long y, ColorF* color, bool* present) {
  return DispatchPixelFormat(world.format, [&](auto tag) {
    using Pixel = typename decltype(tag)::type;
    using T = PixelTraits<Pixel>;
    const Pixel* p = world.at<Pixel>(x, y);
    *present = T::IsPresent(p->alpha);
    *color = ToColorF(*p);
  });
}

inline bool IsFinite(Vec3 v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

inline float Sign(bool invert) {
  return invert ? -1.0f : 1.0f;
}

// The depth channel of the single-channel mappings: luminance, red, green or blue.
float DepthChannel(A_long mode_offset, const ColorF& c) {
  switch (mode_offset) {
    case 0:
      return (c.red + c.green + c.blue) / 3.0f;
    case 1:
      return c.red;
    case 2:
      return c.green;
    default:
      return c.blue;
  }
}

// The position a colour maps to, before scatter; absent for a separator or unknown mapping.
std::optional<Vec3> MapColorToPosition(const PositionDecodeSettings& s, const ColorF& c, A_long px,
                                       A_long py) {
  const float sx = Sign(s.invert_x), sy = Sign(s.invert_y), sz = Sign(s.invert_z);
  const float gx = s.gain_x;
  const float gy = s.uniform_gain ? s.gain_x : s.gain_y;
  const float gz = s.uniform_gain ? s.gain_x : s.gain_z;
  const float r = c.red, g = c.green, b = c.blue;
  const float x_scale = s.x_scale, y_scale = s.y_scale;
  const Vec3 ref = s.reference_camera;

  Vec3 p{};
  switch (s.map_rgb_to) {
    case kMapXYZ:
      p = {r, g, b};
      break;
    case kMapXZY:
      p = {r, b, g};
      break;
    case kMapYZX:
      p = {b, r, g};
      break;
    case kMapYXZ:
      p = {g, r, b};
      break;
    case kMapZYX:
      p = {b, g, r};
      break;
    case kMapZXY:
      p = {g, b, r};
      break;
    case kMapLuminanceZ:
    case kMapRedZ:
    case kMapGreenZ:
    case kMapBlueZ: {
      const float depth = DepthChannel(s.map_rgb_to - kMapLuminanceZ, c);
      p.z = sz * gz * depth;
      p.x = sx * gx * static_cast<float>(px) * static_cast<float>(s.downsample_x) * x_scale;
      p.y = sy * gy * static_cast<float>(py) * static_cast<float>(s.downsample_y) * y_scale;
      break;
    }
    case kMapLuminanceZProjected:
    case kMapRedZProjected:
    case kMapGreenZProjected:
    case kMapBlueZProjected: {
      const double zoom = s.reference_camera_zoom;
      float zc = gz * DepthChannel(s.map_rgb_to - kMapLuminanceZProjected, c);
      float x = gx * static_cast<float>(px) * static_cast<float>(s.downsample_x) * x_scale;
      float y = gy * static_cast<float>(py) * static_cast<float>(s.downsample_y) * y_scale;
      double offset = 0.0;
      if (s.curved_projection) {
        const double d = Distance3({x, y, 0.0f}, ref);
        const double side = ref.z >= 0.0f ? 1.0 : -1.0;
        offset = side * zoom * (d - zoom) / d;
      }
      zc = sz * zc;
      x = sx * x;
      y = sy * y;
      p.z = static_cast<float>(static_cast<double>(zc) + offset);
      // Points spread away from the reference camera's axis in proportion to their depth.
      const double k = (static_cast<double>(p.z) + zoom) / zoom;
      p.x = static_cast<float>(static_cast<double>(ref.x) +
                               (static_cast<double>(x) - static_cast<double>(ref.x)) * k);
      p.y = static_cast<float>(static_cast<double>(ref.y) +
                               (static_cast<double>(y) - static_cast<double>(ref.y)) * k);
      break;
    }
    default:
      return std::nullopt;
  }
  if (s.map_rgb_to >= kMapXYZ && s.map_rgb_to <= kMapZXY) {
    p.x = sx * gx * p.x;
    p.y = sy * gy * p.y;
    p.z = sz * gz * p.z;
  }
  return p;
}

// The placed position moved by the scatter controls' random draws.
Vec3 Scatter(const PositionDecodeSettings& s, Vec3 q) {
  if (!s.uniform_scatter) {
    if (s.scatter_x != 0.0f) q.x += RandomBetween(-s.scatter_x, s.scatter_x);
    if (s.scatter_y != 0.0f) q.y += RandomBetween(-s.scatter_y, s.scatter_y);
    if (s.scatter_z != 0.0f) q.z += RandomBetween(-s.scatter_z, s.scatter_z);
  } else if (s.scatter_x != 0.0f) {
    q.x += RandomBetween(-s.scatter_x, s.scatter_x);
    q.y += RandomBetween(-s.scatter_x, s.scatter_x);
    q.z += RandomBetween(-s.scatter_x, s.scatter_x);
  }
  return q;
}

}  // namespace

bool DecodePositionSample(const WorldView& world, A_long px, A_long py,
                          const PositionDecodeSettings& s, Vec3* placed, Vec3* scattered) {
  ColorF c;
  bool present = false;
  if (!ReadSample(world, px, py, &c, &present) || !present) return false;
  // Separators and unknown entries behave like empty samples.
  const std::optional<Vec3> p = MapColorToPosition(s, c, px, py);
  if (!p) return false;
  *placed = *p;
  const Vec3 q = Scatter(s, *p);
  // Tested after the draws so that the random sequence does not depend on the pass's contents.
  if (!IsFinite(*p) || !IsFinite(q)) return false;
  *scattered = q;
  return true;
}

bool DecodeNormalSample(const WorldView& world, A_long nx, A_long ny, const NormalDecodeSettings& s,
                        Vec3* normal) {
  ColorF c;
  bool present = false;
  if (!ReadSample(world, nx, ny, &c, &present) || !present) return false;
  Vec3 n{c.red, c.green, c.blue};
  if (s.remap) {
    n.x = n.x * (s.max_x - s.min_x) + s.min_x;
    n.y = n.y * (s.max_y - s.min_y) + s.min_y;
    n.z = n.z * (s.max_z - s.min_z) + s.min_z;
  }
  n.x *= Sign(s.invert_x);
  n.y *= Sign(s.invert_y);
  n.z *= Sign(s.invert_z);
  if (s.rotate) n = RotateByMatrix(s.rotation, n);
  if (!IsFinite(n)) n = {0.0f, 0.0f, 0.0f};
  *normal = n;
  return true;
}

bool DecodeDisplacementSample(const WorldView& world, A_long dx, A_long dy,
                              const DisplacementDecodeSettings& s, Vec3* vector) {
  ColorF c;
  bool present = false;
  if (!ReadSample(world, dx, dy, &c, &present) || !present) return false;
  Vec3 v{c.red * c.alpha, c.green * c.alpha, c.blue * c.alpha};
  if (s.remap) {
    const float min_y = s.uniform ? s.min_x : s.min_y;
    const float max_y = s.uniform ? s.max_x : s.max_y;
    const float min_z = s.uniform ? s.min_x : s.min_z;
    const float max_z = s.uniform ? s.max_x : s.max_z;
    v.x = v.x * (s.max_x - s.min_x) + s.min_x;
    v.y = v.y * (max_y - min_y) + min_y;
    v.z = v.z * (max_z - min_z) + min_z;
  }
  if (!IsFinite(v)) return false;
  *vector = v;
  return true;
}

bool SampleMatteChannel(const WorldView& world, A_long x, A_long y, A_long mode, float* value) {
  *value = 0.0f;
  ColorF c;
  bool present = false;
  if (!ReadSample(world, x, y, &c, &present)) return false;
  float v;
  switch (mode) {
    case kMatteLuminance:
      v = (c.red + c.green + c.blue) / 3.0f * c.alpha;
      break;
    case kMatteRed:
      v = c.red;
      break;
    case kMatteGreen:
      v = c.green;
      break;
    case kMatteBlue:
      v = c.blue;
      break;
    case kMatteAlpha:
      v = c.alpha;
      break;
    default:
      v = (c.red + c.green + c.blue) / 3.0f;
      break;
  }
  if (std::isfinite(v)) *value = v;
  return true;
}

}  // namespace mf
