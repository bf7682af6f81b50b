#include "raster/GridSegment.h"

#include <cmath>
#include <optional>
#include <utility>

#include "AE_EffectCB.h"
#include "raster/PixelFormat.h"
#include "raster/PixelServices.h"
#include "support/HostError.h"
#include "support/HostResources.h"

namespace mf {
namespace {

enum class Slope { kShallow, kSteep };

// Half-transparent blue for a shallow line, opaque blue for a steep one.
PF_Err FillStamp(PF_InData* in_data, const PF_FillMatteSuite2* fill, PF_PixelFormat format,
                 Slope slope, PF_EffectWorld* world) {
  const float alpha = slope == Slope::kShallow ? 0.5f : 1.0f;
  PF_Err err = PF_Err_BAD_CALLBACK_PARAM;
  DispatchPixelFormat(format, [&](auto tag) {
    using Pixel = typename decltype(tag)::type;
    const Pixel c = FromColorF<Pixel>(ColorF{alpha, 0.0f, 0.0f, 1.0f});
    err = FillPixel(fill, in_data->effect_ref, c, nullptr, world);
  });
  return err;
}

// One square of the line, composited behind the output's pixels.
PF_Err StampAt(PF_InData* in_data, A_long x, A_long y, A_short thickness, PF_EffectWorld* output,
               const GridSuites& suites, PF_PixelFormat format, Slope slope) {
  if (!IsKnownPixelFormat(format)) return PF_Err_BAD_CALLBACK_PARAM;
  OwnedWorld stamp(suites.world, in_data->effect_ref);
  PF_Err err = stamp.make(thickness, thickness, format);
  if (err) return err;
  err = PF_ABORT(in_data);
  if (!err) err = FillStamp(in_data, suites.fill, format, slope, stamp.get());
  if (!err) {
    const PF_Rect src{0, 0, thickness, thickness};
    const PF_CompositeMode mode{PF_Xfer_BEHIND, 0, 255, false, 32768};
    err = suites.transform->transfer_rect(in_data->effect_ref, in_data->quality,
                                          PF_MF_Alpha_STRAIGHT, in_data->field, &src, stamp.get(),
                                          &mode, nullptr, x, y, output);
  }
  if (!err) err = PF_ABORT(in_data);
  KeepFirst(err, stamp.release());
  return err;
}

// Clips the segment p–q to [lo, hi] on both axes (Liang-Barsky). Absent when nothing is left.
std::optional<std::pair<std::pair<double, double>, std::pair<double, double>>> ClipToBox(
    double px, double py, double qx, double qy, double lo, double hi) {
  const double dx = qx - px, dy = qy - py;
  double t0 = 0.0, t1 = 1.0;
  auto edge = [&](double p, double q) {  // p·t ≤ q must hold inside
    if (p == 0.0) return q >= 0.0;
    const double t = q / p;
    if (p < 0.0) {
      if (t > t1) return false;
      if (t > t0) t0 = t;
    } else {
      if (t < t0) return false;
      if (t < t1) t1 = t;
    }
    return true;
  };
  if (!edge(-dx, px - lo) || !edge(dx, hi - px) || !edge(-dy, py - lo) || !edge(dy, hi - py)) {
    return std::nullopt;
  }
  // The interpolated ends can stray past the box by rounding; keep them in.
  auto in_box = [&](double v) { return v < lo ? lo : (v > hi ? hi : v); };
  // An end that needed no cut is returned exactly as given.
  const double ax = t0 == 0.0 ? px : in_box(px + t0 * dx),
               ay = t0 == 0.0 ? py : in_box(py + t0 * dy);
  const double bx = t1 == 1.0 ? qx : in_box(px + t1 * dx),
               by = t1 == 1.0 ? qy : in_box(py + t1 * dy);
  return std::make_pair(std::make_pair(ax, ay), std::make_pair(bx, by));
}

}  // namespace

PF_Err StampLine(PF_InData* in_data, ScreenPoint16 p1, ScreenPoint16 p2, A_short thickness,
                 PF_EffectWorld* output, const GridSuites& suites, PF_PixelFormat format) {
  const A_long x1 = p1.x, y1 = p1.y, x2 = p2.x, y2 = p2.y;
  if (x2 - x1 <= 0 || thickness < 1) return PF_Err_NONE;
  const A_long w = output->width, h = output->height;
  const float m = static_cast<float>(y2 - y1) / static_cast<float>(x2 - x1);
  const float c = static_cast<float>(y1) - m * static_cast<float>(x1);
  PF_Err err = PF_Err_NONE;
  // With 16-bit ends every value below stays far inside the int range.
  if (m >= -1.0f && m <= 1.0f) {
    for (A_long x = x1; x < x2 && !err; ++x) {
      const A_long y = static_cast<A_long>(m * static_cast<float>(x) + c);
      if (x >= 0 && x < w && y >= 0 && y < h) {
        err = StampAt(in_data, x, y, thickness, output, suites, format, Slope::kShallow);
      }
    }
    return err;
  }
  const A_long y_first = y1 < y2 ? y1 : y2, y_last = y1 < y2 ? y2 : y1;
  for (A_long y = y_first; y < y_last && !err; ++y) {
    const A_long x = static_cast<A_long>((static_cast<float>(y) - c) / m);
    if (x >= 0 && x < w && y >= 0 && y < h) {
      err = StampAt(in_data, x, y, thickness, output, suites, format, Slope::kSteep);
    }
  }
  return err;
}

PF_Err DrawGridSegment(PF_InData* in_data, const GridView& view, Vec3& a, Vec3& b,
                       const GridCamera& camera, PF_EffectWorld* output, const GridSuites& suites,
                       PF_PixelFormat format) {
  const bool orthographic = camera.orthographic;
  const double zoom = camera.zoom;
  const A_short thickness = view.thickness;
  a = WorldToView(camera.matrix, a, orthographic);
  b = WorldToView(camera.matrix, b, orthographic);
  const float z_near = static_cast<float>(view.grid_size) / 8.0f;
  if (a.z < z_near && b.z < z_near) return PF_Err_NONE;
  const Vec3 d = b - a;
  if (!orthographic) {
    if (a.z < z_near) a = IntersectAtZ(a, d, z_near);
    if (b.z < z_near) b = IntersectAtZ(a, d, z_near);
    for (Vec3* p : {&a, &b}) {
      p->x = static_cast<float>(static_cast<double>(p->x) * (zoom / static_cast<double>(p->z)));
      p->y = static_cast<float>(static_cast<double>(p->y) * (zoom / static_cast<double>(p->z)));
    }
  }
  const float half_w = static_cast<float>(in_data->width) / 2.0f,
              half_h = static_cast<float>(in_data->height) / 2.0f;
  auto to_output = [&](const Vec3& p, double* x, double* y) {
    *x = static_cast<double>((p.x + half_w) / static_cast<float>(view.downsample_x) -
                             static_cast<float>(view.origin_x));
    *y = static_cast<double>((p.y + half_h) / static_cast<float>(view.downsample_y) -
                             static_cast<float>(view.origin_y));
  };
  double ax, ay, bx, by;
  to_output(a, &ax, &ay);
  to_output(b, &bx, &by);
  // A NaN or infinite end (a degenerate camera, a zero downsample factor) has no place on screen.
  if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by)) {
    return PF_Err_NONE;
  }
  // Truncation to 16 bits is defined only inside (-32769, 32768); ends beyond are moved along the
  // line onto that range. Ends already inside are left exactly as they are.
  const auto clipped = ClipToBox(ax, ay, bx, by, -32768.0, 32767.0);
  if (!clipped) return PF_Err_NONE;
  const ScreenPoint16 pa{static_cast<A_short>(clipped->first.first),
                         static_cast<A_short>(clipped->first.second)};
  const ScreenPoint16 pb{static_cast<A_short>(clipped->second.first),
                         static_cast<A_short>(clipped->second.second)};
  if (pb.x <= pa.x) return StampLine(in_data, pb, pa, thickness, output, suites, format);
  return StampLine(in_data, pa, pb, thickness, output, suites, format);
}

}  // namespace mf
