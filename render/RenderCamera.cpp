#include "render/RenderCamera.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <limits>

#include "support/SuiteHandler.h"
#include "raster/DepthSort.h"
#include "render/PreRenderData.h"
#include "render/FrameSettings.h"

namespace mf {

CameraSource ChooseCameraSource(A_long render_mode, bool relative_camera, bool has_comp_camera) {
  if (render_mode == kRenderMode2DRelight) return CameraSource::kReference;
  const bool data_2d = render_mode == kRenderMode2DPosition || render_mode == kRenderMode2DNormal;
  if (data_2d && !relative_camera) return CameraSource::kReference;
  return has_comp_camera ? CameraSource::kComposition : CameraSource::kAffectCamera;
}

RenderCamera MakeControlCamera(Vec3 position, Vec3 rotation, double zoom) {
  RenderCamera camera{};
  camera.matrix = BuildTransform(position, rotation);
  camera.zoom = zoom;
  camera.orthographic = false;
  camera.position = position;
  return camera;
}

PF_Err SetUpRenderCamera(SuiteHandler& suites, PF_ProgPtr effect_ref, const A_Time& comp_time,
                         AEGP_LayerH camera_layer, const PreRenderData& pre, RenderCamera* camera) {
  switch (ChooseCameraSource(pre.RENDER_MODE, pre.RELATIVE_CAMERA, camera_layer != nullptr)) {
    case CameraSource::kReference:
      *camera =
          MakeControlCamera(Vec3{pre.REFERENCE_CAMERA_POSITION_X, pre.REFERENCE_CAMERA_POSITION_Y,
                                 pre.REFERENCE_CAMERA_POSITION_Z},
                            Vec3{0, 0, 0}, pre.REFERENCE_CAMERA_ZOOM);
      return PF_Err_NONE;
    case CameraSource::kAffectCamera:
      *camera = MakeControlCamera(
          Vec3{pre.CAMERA_POSITION_X, pre.CAMERA_POSITION_Y, pre.CAMERA_POSITION_Z},
          Vec3{pre.CAMERA_ROTATION_X, pre.CAMERA_ROTATION_Y, pre.CAMERA_ROTATION_Z},
          pre.CAMERA_ZOOM);
      return PF_Err_NONE;
    case CameraSource::kComposition:
      break;
  }

  const auto* camera_suite =
      suites.get<AEGP_CameraSuite2>(kAEGPCameraSuite, kAEGPCameraSuiteVersion2);
  const auto* pf_interface =
      suites.get<AEGP_PFInterfaceSuite1>(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1);
  const auto* stream_suite =
      suites.get<AEGP_StreamSuite2>(kAEGPStreamSuite, kAEGPStreamSuiteVersion2);

  AEGP_CameraType type = AEGP_CameraType_NONE;
  A_Matrix4 matrix{};
  A_FpLong plane_distance = 0;
  A_short plane_width = 0, plane_height = 0;
  AEGP_StreamVal zoom{};
  PF_Err err = camera_suite->AEGP_GetCameraType(camera_layer, &type);
  if (!err)
    err = pf_interface->AEGP_GetEffectCameraMatrix(effect_ref, &comp_time, &matrix, &plane_distance,
                                                   &plane_width, &plane_height);
  if (!err)
    err = stream_suite->AEGP_GetLayerStreamValue(camera_layer, AEGP_LayerStream_ZOOM,
                                                 AEGP_LTimeMode_CompTime, &comp_time, false, &zoom,
                                                 nullptr);
  if (err) return err;

  RenderCamera made{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) made.matrix[r][c] = matrix.mat[r][c];
  made.zoom = zoom.one_d;
  made.orthographic = type == AEGP_CameraType_ORTHOGRAPHIC;
  made.position = Vec3{(float)matrix.mat[3][0], (float)matrix.mat[3][1], (float)matrix.mat[3][2]};
  *camera = made;
  return PF_Err_NONE;
}

ProjectionConstants MakeProjectionConstants(const PreRenderData& pre, const RenderCamera& camera,
                                            A_long output_width, A_long output_height) {
  ProjectionConstants k{};
  k.layer_width = pre.layer_width;
  k.layer_height = pre.layer_height;
  // A factor of 0 would divide every point by zero; the host never sends one, so treat it as 1.
  k.downsample_x = pre.downsample_factor_x ? pre.downsample_factor_x : 1;
  k.downsample_y = pre.downsample_factor_y ? pre.downsample_factor_y : 1;
  k.origin_x = pre.input_origin_x;
  k.origin_y = pre.input_origin_y;
  k.output_width = output_width;
  k.output_height = output_height;
  // Half the smaller output side bounds every stamp; at least 1 so that a stamp of one output
  // pixel stays possible on a one-pixel-wide output.
  const A_long half = std::min(output_width, output_height) / 2;
  k.max_stamp_size = (A_short)std::clamp<A_long>(half, 1, 32767);
  A_short base = pre.PIXEL_SIZE < 1 ? (A_short)1 : (A_short)pre.PIXEL_SIZE;
  if (base > k.max_stamp_size) base = k.max_stamp_size;
  k.base_stamp_size = base;
  // A reference zoom of 0 makes the ratio unbounded; it is carried as infinity and the stamp
  // clamp bounds it.
  k.zoom_ratio = pre.REFERENCE_CAMERA_ZOOM != 0.0
                     ? camera.zoom / pre.REFERENCE_CAMERA_ZOOM
                     : (camera.zoom < 0 ? -std::numeric_limits<double>::infinity()
                                        : std::numeric_limits<double>::infinity());
  k.reference_camera_position =
      Vec3{pre.REFERENCE_CAMERA_POSITION_X, pre.REFERENCE_CAMERA_POSITION_Y,
           pre.REFERENCE_CAMERA_POSITION_Z};
  return k;
}

namespace {

bool Finite(Vec3 v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Stamp size, coverage and small flag from the distance ratio s.
void ApplyPixelPerspective(const PreRenderData& pre, const ProjectionConstants& k, double s,
                           ProjectedPoint* p) {
  const double a = pre.ADD_PIXEL_PERSPECTIVE;
  if (a >= 0) {
    if (s > 1)
      s = std::pow(s, a);
    else if (s < 1 && a > 1)
      s = std::pow(s, 1.0 / a);
  } else {
    if (s > 1)
      s = 1 + a;
    else if (s < 1)
      s = s * (1 + a);
  }
  float size = (float)(k.base_stamp_size * s);
  // An unbounded ratio (a reference zoom of 0, or a power past float range) gives the largest
  // stamp; an undefined one (0 × ∞) leaves the base size. Either way no NaN reaches ceil().
  if (std::isnan(size)) size = (float)k.base_stamp_size;
  if (size > (float)k.max_stamp_size) size = (float)k.max_stamp_size;
  if (size < 0) size = 0;
  p->is_small = size <= 1;
  p->coverage = 0;
  if (pre.AA_PIXEL_PERSPECTIVE) {
    const bool whole = pre.LOCK_IDEAL_PIXEL ? size >= 1 : size > 1;
    p->coverage = whole ? size - std::floor(size) : 2.0 * size - 1.0;
  }
  const float stamp = std::ceil(size);
  p->stamp_size = (A_short)std::clamp<float>(stamp, 1.0f, (float)k.max_stamp_size);
}

// floor() of a screen coordinate as an integer; absent when it cannot be one.
std::optional<A_long> ScreenCoordinate(double v) {
  const double f = std::floor(v);
  if (!(f >= -2147483648.0 && f <= 2147483647.0)) return std::nullopt;
  return (A_long)f;
}

}  // namespace

std::optional<ProjectedPoint> ProjectPoint(const RenderCamera& camera, const ProjectionConstants& k,
                                           const PreRenderData& pre, bool two_d, Vec3 world,
                                           Vec3 reference) {
  if (!Finite(world)) return std::nullopt;
  ProjectedPoint p{};
  Vec3 offset = world;
  const Vec3 q = WorldToView(camera.matrix, offset, camera.orthographic);
  if (!Finite(q)) return std::nullopt;
  p.depth = q.z;
  if (!two_d && !(p.depth > 0)) return std::nullopt;

  double x = q.x, y = q.y;
  if (!camera.orthographic) {
    x = x * camera.zoom / p.depth;
    y = y * camera.zoom / p.depth;
  }
  x += (float)k.layer_width / 2.0f;
  y += (float)k.layer_height / 2.0f;
  x /= k.downsample_x;
  y /= k.downsample_y;
  x -= k.origin_x;
  y -= k.origin_y;
  const float fx = (float)x, fy = (float)y;

  // Stamp size.
  p.stamp_size = k.base_stamp_size;
  p.coverage = 0;
  p.is_small = p.stamp_size <= 1;
  if (pre.ENABLE_PIXEL_PERSPECTIVE) {
    const Vec3 ref = pre.REFERENCE_DISPLACEMENT ? reference : world;
    const float d_ref = Distance3(ref, k.reference_camera_position);
    const float d_cam = Distance3(world, camera.position);
    if (!(d_cam > 0)) {
      p.stamp_size = k.max_stamp_size;
      p.is_small = false;
    } else {
      ApplyPixelPerspective(pre, k, (double)d_ref / d_cam * k.zoom_ratio, &p);
    }
  }

  // Anti-aliasing offset and the integer position.
  const bool depth_channel = pre.MAP_RGB_TO >= kMapLuminanceZ;
  double sx = fx, sy = fy;
  if (pre.ENABLE_PIXEL_ANTIALIAS && (!p.is_small || !pre.DISABLE_SUBPIXEL)) {
    sx += depth_channel ? pre.OFFSET_X : pre.OFFSET_X - 0.5;
    sy += depth_channel ? pre.OFFSET_Y : pre.OFFSET_Y - 0.5;
  }
  const double nudge = depth_channel ? 0.001 : 0.0;
  std::optional<A_long> screen_x = ScreenCoordinate(sx + nudge);
  std::optional<A_long> screen_y = ScreenCoordinate(sy + nudge);
  if (!screen_x || !screen_y) {
    // Beyond any output (or undefined, e.g. a 2D-mode point at depth 0). 2D modes draw at the
    // source position and keep the point; 3D modes drop it.
    if (!two_d) return std::nullopt;
    p.screen_x = p.screen_y = 0;
    p.fraction_x = p.fraction_y = 0;
    return p;
  }
  p.screen_x = *screen_x;
  p.screen_y = *screen_y;
  p.fraction_x = sx - p.screen_x;
  p.fraction_y = sy - p.screen_y;

  if (!two_d && (p.screen_x < -1 || p.screen_x >= k.output_width || p.screen_y < -1 ||
                 p.screen_y >= k.output_height))
    return std::nullopt;
  return p;
}

const uint32_t* CloudDrawOrder(uint64_t* entries, A_long count) {
  if (!entries || count < 1) return nullptr;
  const std::size_t n = static_cast<std::size_t>(count);
  // The digits are counted as the keys are made, which saves the sort a walk over them.
  detail::RadixCounts counts{};
  bool sorted = true;
  for (std::size_t i = 0; i < n; ++i) {
    entries[i] =
        ((uint64_t)DescendingDepthKey(DepthOfEntry(entries[i])) << 32) | (uint32_t)entries[i];
    detail::CountRadixDigits(entries[i], counts);
    sorted = sorted && (i == 0 || entries[i - 1] <= entries[i]);
  }
  if (!sorted) {
    try {
      std::unique_ptr<uint64_t[]> tmp(new uint64_t[n]);
      return detail::RadixOrderEntries(entries, tmp.get(), n, counts);
    } catch (const std::bad_alloc&) {
      // The index below each key makes every entry distinct, so an in-place sort that needs no
      // memory keeps equal depths in storage order all the same.
      std::sort(entries, entries + n);
    }
  }
  return detail::WriteEntryIndices(entries, n, reinterpret_cast<uint32_t*>(entries));
}

}  // namespace mf
