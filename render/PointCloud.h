// Point generation: the grid of samples over the source and position layers, and the walk that
// turns every usable sample into one CloudPoint of the pixel cache.
#pragma once

#include <cstdint>
#include <optional>

#include "AE_Effect.h"
#include "raster/SampleGrid.h"

namespace mf {

struct RenderContext;

// Byte size of a cache of one CloudPoint per sample, as the host's unsigned 32-bit size; absent
// when the product does not fit that size.
std::optional<uint32_t> PixelCacheBytes(SampleGrid grid);

// Builds the offset transform and the displacement, normal, image-based-light and reflection
// rotations from the pre-render record, each with its in-use flag.
void BuildFixedTransforms(RenderContext& ctx);

// Prepares the per-frame settings of the pass decoders from the pre-render record (called by the
// driver before the walk).
void PreparePointSettings(RenderContext& ctx);

// Walks the grid column by column, filling ctx.cache (which holds one record per sample; every
// record's depth is set to -1 first) and ctx.point_count. Returns the host error that stopped the
// walk (lighting or abort), else 0.
PF_Err BuildPointCloud(RenderContext& ctx);

}  // namespace mf
