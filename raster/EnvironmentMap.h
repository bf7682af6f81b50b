// Latitude-longitude (equirectangular) lookups by 3D direction, shared by image-based lighting and
// reflection mapping.
#pragma once

#include "AE_Effect.h"
#include "raster/PixelFormat.h"
#include "raster/VectorMath.h"

namespace mf {

// Texture coordinates of a direction: (0, 1, 0) maps to v = 1 (bottom row), (0, -1, 0) to v = 0,
// and u runs right to left with the angle about the y axis. The direction need not be unit
// length. Always true.
bool DirectionToLatLong(Vec3 dir, float* u, float* v);

// Colour of the environment world along dir: nearest pixel (antialias off, straight colour as
// stored) or bilinear (antialias on, alpha clamped to [0, 1] and colour multiplied by it). False
// only for an unrecognised pixel format. A world with no pixels reads as transparent black.
bool SampleEnvironmentMap(const WorldView& map, Vec3 dir, bool antialias, ColorF* color);

}  // namespace mf
