// One straight 3D line of the reference grid, seen through the render camera and stamped into
// the output as a row of small squares behind what is already there.
#pragma once

#include "AE_Effect.h"
#include "AE_WorldSuites.h"
#include "raster/VectorMath.h"

namespace mf {

// Frame values the grid needs besides in_data: the integer grid size (its eighth is the near
// plane), the origin of the checked-out input, the integer downsample factors and the side of
// the squares a line is drawn with.
struct GridView {
  A_long grid_size;
  A_long origin_x, origin_y;
  A_long downsample_x, downsample_y;
  A_short thickness;
};

// The camera the grid is seen through.
struct GridCamera {
  Matrix4 matrix;
  bool orthographic;
  double zoom;
};

// A segment end in output pixels.
struct ScreenPoint16 {
  A_short x, y;
};

// The image services a segment uses.
struct GridSuites {
  const PF_WorldSuite2* world;
  const PF_FillMatteSuite2* fill;
  const PF_WorldTransformSuite1* transform;
};

// Stamps thickness × thickness squares (top-left on the line) from p1 towards p2, p1.x ≤ p2.x,
// one per column for a shallow line (half-transparent blue) and one per row for a steep one
// (opaque blue), only where the top-left lies in the output. A vertical segment, or a thickness
// below 1, draws nothing. Returns the first host error (516 for a pixel format other than the
// three known ones); no host call follows an error.
PF_Err StampLine(PF_InData* in_data, ScreenPoint16 p1, ScreenPoint16 p2, A_short thickness,
                 PF_EffectWorld* output, const GridSuites& suites, PF_PixelFormat format);

// Draws the world-space segment a–b through the camera, view.thickness wide (a and b are left in
// view space, cut at the near plane and projected). A segment wholly nearer than the near plane
// draws nothing; so does one whose ends are not finite after projection. Ends beyond 16-bit screen
// coordinates are clipped along the line to that range, so a far-reaching segment keeps its
// direction instead of wrapping around onto the image. Returns what StampLine returns.
PF_Err DrawGridSegment(PF_InData* in_data, const GridView& view, Vec3& a, Vec3& b,
                       const GridCamera& camera, PF_EffectWorld* output, const GridSuites& suites,
                       PF_PixelFormat format);

}  // namespace mf
