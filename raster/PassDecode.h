// Per-sample decoders that turn one pixel of an auxiliary layer into geometry: a position, a
// normal, a displacement, or a matte scalar. Each reads exactly one pixel (the caller has already
// clamped the coordinates into the layer) and reports whether the sample is usable.
//
// The settings blocks hold the frame's converted control values (angles in radians, percentages
// as fractions); the point generator fills them once per frame from the pre-render record.
#pragma once

#include "AE_Effect.h"
#include "params/MenuValues.h"
#include "raster/PixelFormat.h"
#include "raster/VectorMath.h"

namespace mf {

struct PositionDecodeSettings {
  A_long map_rgb_to;  // kMapXYZ … kMapBlueZProjected
  bool invert_x, invert_y, invert_z;
  bool uniform_gain;  // all axes take gain_x
  float gain_x, gain_y, gain_z;
  A_u_long downsample_x, downsample_y;  // 1 at full resolution, 2 at half, …
  bool curved_projection;
  double reference_camera_zoom;
  bool uniform_scatter;  // all axes take scatter_x
  float scatter_x, scatter_y, scatter_z;
  // The frame's source width ÷ position width and height ÷ height, and the reference camera's
  // position, for the mappings that place a pixel by its own coordinates.
  float x_scale, y_scale;
  Vec3 reference_camera;
};

struct NormalDecodeSettings {
  bool invert_x, invert_y, invert_z;
  bool remap;  // maps 0 … 1 onto min … max per axis
  float min_x, max_x, min_y, max_y, min_z, max_z;
  bool rotate;
  Matrix4 rotation;  // rotation part used when rotate is set
};

struct DisplacementDecodeSettings {
  bool remap;
  bool uniform;  // all axes use min_x, max_x
  float min_x, max_x, min_y, max_y, min_z, max_z;
};

// Position of one position-pass pixel (px, py). On success writes placed (before scatter) and
// scattered (after) and returns true. Returns false, making no point, for a pixel whose alpha is
// zero, for a separator or unknown mapping, for an unrecognised format, and for a position that
// is not finite (NaN or infinite positions come from a renderer's empty pixels; no point can be
// placed there). The scatter draws are made before that last test, so a refused sample takes the
// same random numbers as an accepted one and the sequence of later samples does not shift.
bool DecodePositionSample(const WorldView& world, A_long px, A_long py,
                          const PositionDecodeSettings& settings, Vec3* placed, Vec3* scattered);

// Normal of one normal-pass pixel, not normalised. False for a pixel whose alpha is zero or an
// unrecognised format. A normal with a NaN or infinite component decodes as the zero vector: like
// any zero-length normal it leaves the point unlit but drawn.
bool DecodeNormalSample(const WorldView& world, A_long nx, A_long ny,
                        const NormalDecodeSettings& settings, Vec3* normal);

// Displacement of one pixel: colour times alpha, optionally remapped. False for a pixel whose
// alpha is zero, an unrecognised format, or a displacement that is not finite (it is not applied).
bool DecodeDisplacementSample(const WorldView& world, A_long dx, A_long dy,
                              const DisplacementDecodeSettings& settings, Vec3* vector);

// One scalar from a pixel, by the channel choice: luminance times alpha, red, green, blue, alpha;
// any other choice gives the plain channel mean. No presence test. value is 0 first; false only
// for an unrecognised format. A NaN or infinite result reads as 0.
bool SampleMatteChannel(const WorldView& world, A_long x, A_long y, A_long mode, float* value);

}  // namespace mf
