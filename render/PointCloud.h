// Point generation: the grid of samples over the source and position layers, and the walk that
// turns every usable sample into one CloudPoint of the pixel cache.
#pragma once

#include <cstdint>
#include <optional>

#include "AE_Effect.h"
#include "raster/SampleGrid.h"
#include "render/PointStore.h"

namespace mf {

struct CloudPoints;
struct FixedTransforms;
struct FrameConstants;
struct FrameSettings;
struct PointSettings;
struct PreRenderData;

// Byte size of a cache of one record of stride bytes and one depth entry per sample, as the
// host's unsigned 32-bit size; absent when the product does not fit that size. The driver refuses
// a grid whose records with every part would not fit, before it knows the frame's parts.
std::optional<uint32_t> PixelCacheBytes(SampleGrid grid, uint32_t stride = kMaxPointStride);

// The parts the frame's point records carry: those its drawing reads.
PointLayout CloudPointLayout(const FrameSettings& frame);

// The offset transform and the displacement, normal, image-based-light and reflection rotations,
// each with its in-use flag.
FixedTransforms BuildFixedTransforms(const PreRenderData& pre);

// The pass decoders' and the lighting's settings for the frame, from the controls, the normal
// rotation and the frame's specular switch.
PointSettings PreparePointSettings(const PreRenderData& pre, const FixedTransforms& transforms,
                                   const FrameConstants& constants);

// Walks the grid column by column, storing each point in cloud->store (which has room for one per
// sample) and counting them in cloud->count. Returns the host error that stopped the walk
// (lighting or abort), else 0.
PF_Err BuildPointCloud(PF_InData* in_data, const FrameSettings& frame, CloudPoints* cloud);

}  // namespace mf
