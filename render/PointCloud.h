// Point generation: the grid of samples over the source and position layers, and the walk that
// turns every usable sample into one CloudPoint of the pixel cache.
#pragma once

#include <cstdint>
#include <optional>

#include "AE_Effect.h"
#include "raster/SampleGrid.h"
#include "render/PointStore.h"

namespace mf {

struct RenderContext;

// Byte size of a cache of one record of stride bytes and one depth entry per sample, as the
// host's unsigned 32-bit size; absent when the product does not fit that size. The driver refuses
// a grid whose records with every part would not fit, before it knows the frame's parts.
std::optional<uint32_t> PixelCacheBytes(SampleGrid grid, uint32_t stride = kMaxPointStride);

// The parts the frame's point records carry: those its drawing reads.
PointLayout CloudPointLayout(const RenderContext& ctx);

// Builds the offset transform and the displacement, normal, image-based-light and reflection
// rotations from the pre-render record, each with its in-use flag.
void BuildFixedTransforms(RenderContext& ctx);

// Prepares the per-frame settings of the pass decoders from the pre-render record (called by the
// driver before the walk).
void PreparePointSettings(RenderContext& ctx);

// Walks the grid column by column, storing each point in ctx.points (which has room for one per
// sample) and counting them in ctx.point_count. Returns the host error that stopped the
// walk (lighting or abort), else 0.
PF_Err BuildPointCloud(RenderContext& ctx);

}  // namespace mf
