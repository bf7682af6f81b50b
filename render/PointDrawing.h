// Point drawing: every point of the sorted cache becomes a small square stamp (source colour or,
// in the data modes, its position or normal), optionally blended with its reflection, relit,
// softened and textured, and is composited into the canvas with the chosen pixel blend mode.
#pragma once

#include <cstdint>

#include "AE_Effect.h"
#include "AE_WorldSuites.h"

namespace mf {

class SuiteHandler;
struct CloudPoints;
struct FrameSettings;
struct StageHost;
struct StampSetup;

// How far a stamp of the given size reaches left of and above its point: a stamp of 5 reaches
// 2, one of 4 reaches 1.
struct StampOffset {
  A_long left, top;
};
StampOffset StampOffsetFor(A_long size);

// Host transfer mode of a PIXEL_BLEND_MODE value (1, copy, and the averaging modes are not
// transfers; they and unknown values give PF_Xfer_IN_FRONT).
PF_TransferMode PixelBlendTransfer(A_long mode);
// Host transfer mode of a TEXTURE_BLEND_MODE value.
PF_TransferMode TextureBlendTransfer(A_long mode);

// Alpha factor of the sub-pixel shift from a point's coverage and the ALPHA_OFFSET fraction,
// clamped to [-1, 1].
double SubPixelAlphaFactor(double coverage, double alpha_offset);

// Texture time, in the effect's time units, of a point of the given life: life × total inside
// (0, 1), last from 1 on, 0 at or below 0, plus start; single precision, truncated (clamped to
// the 32-bit range before the conversion).
A_long TextureTimeForLife(float life, A_long total, A_long last, A_long start);

// The frame's stamp setup: the composite modes of the pixel and texture blends and, when both
// the texture and life layers are present, the texture times (found through the effect's own
// texture-layer stream). Returns the first host error; references it obtained are disposed.
PF_Err PrepareStampSetup(SuiteHandler& suites, const FrameSettings& frame, StampSetup* stamp);

// Stamps the cloud's points into the canvas, in the given order (null: the order they were
// stored in). Returns the first host error (516 for a pixel format other than the three known
// ones); the worlds of the point being drawn are disposed on every path and the canvas keeps the
// points drawn so far.
PF_Err DrawCloudPoints(const StageHost& host, const FrameSettings& frame, const CloudPoints& cloud,
                       const uint32_t* order, PF_EffectWorld* canvas);

}  // namespace mf
