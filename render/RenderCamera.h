// The camera a frame is seen through, and how one world position becomes a stamped screen point:
// projection, the stamp size with pixel perspective, the anti-aliasing offset, culling, and the
// farthest-first order in which the points are drawn.
#pragma once

#include <optional>
#include <vector>

#include "AE_CompSuites.h"
#include "AE_Effect.h"
#include "raster/VectorMath.h"
#include "raster/RenderRecords.h"
#include "render/PointStore.h"

namespace mf {

class SuiteHandler;
struct PreRenderData;
struct ProjectionConstants;

struct RenderCamera {
  Matrix4 matrix;     // camera to world, the host's A_Matrix4 layout; row 3 is the position
  double zoom;        // distance of the image plane in pixels
  bool orthographic;  // only a composition camera of the orthographic type
  Vec3 position;      // row 3 of the matrix in single precision
};

// Which camera a frame uses, before any host call is made.
enum class CameraSource {
  kComposition,   // the composition's camera layer
  kAffectCamera,  // the CAMERA_* controls
  kReference,     // the REFERENCE_CAMERA_* controls
};

// Composition camera when there is one and the mode is 3D (or 2D data with RELATIVE_CAMERA
// on); the affect-camera controls under the same test without one; the reference camera in
// mode 2 always and in modes 7 and 8 with RELATIVE_CAMERA off.
CameraSource ChooseCameraSource(A_long render_mode, bool relative_camera, bool has_comp_camera);

// A perspective camera from a position and rotation (radians), built as BuildTransform does.
RenderCamera MakeControlCamera(Vec3 position, Vec3 rotation, double zoom);

// Builds the frame's camera. camera_layer is the composition camera the effect sees (null when
// none); comp_time the effect's comp time. Host calls (camera type, effect camera matrix, zoom
// stream) are made only for the composition camera; their first error is returned and the
// camera is then left as it was.
PF_Err SetUpRenderCamera(SuiteHandler& suites, PF_ProgPtr effect_ref, const A_Time& comp_time,
                         AEGP_LayerH camera_layer, const PreRenderData& pre, RenderCamera* camera);

// The per-frame projection constants: layer size, downsampling, input origin and reference
// camera from the pre-render record; output size as given; base and largest stamp sizes;
// zoom ratio = camera zoom ÷ REFERENCE_CAMERA_ZOOM (infinite when that zoom is 0).
ProjectionConstants MakeProjectionConstants(const PreRenderData& pre, const RenderCamera& camera,
                                            A_long output_width, A_long output_height);

// One projected point.
struct ProjectedPoint {
  float depth;  // camera-space z
  A_long screen_x, screen_y;
  double fraction_x, fraction_y;
  A_short stamp_size;  // 1 … half the smaller output side
  double coverage;     // pixel-perspective anti-aliasing coverage, 0 when not used
  bool is_small;       // stamp of at most one pixel
};

// Projects the world position `world` (reference point `reference`, its position before
// displacement) through the camera. Absent when the point is dropped: in 3D modes for a depth
// not above 0, a screen position outside [-1, output) on either axis, or any position that is not
// a finite number; in 2D modes only for a non-finite position.
std::optional<ProjectedPoint> ProjectPoint(const RenderCamera& camera,
                                           const ProjectionConstants& constants,
                                           const PreRenderData& pre, bool two_d, Vec3 world,
                                           Vec3 reference);

// The drawing order of count points from their depth entries (DepthEntry, in storage order):
// farthest first (larger depth first), equal depths in storage order. The order, count indices,
// is written over the entries' own memory and returned, so the entries are gone afterwards; the
// records stay where they are. Null when there is no point.
const uint32_t* CloudDrawOrder(uint64_t* entries, A_long count);

}  // namespace mf
