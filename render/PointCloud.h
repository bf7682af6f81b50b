// Point generation: the grid of samples over the source and position layers, and the walk that
// turns every usable sample into one CloudPoint of the pixel cache.
#pragma once

#include <cstdint>
#include <optional>

#include "AE_Effect.h"

namespace mf {

struct RenderContext;

// The samples taken over the layers: one per grid cell, each side at least 4.
struct SampleGrid {
  A_short width;
  A_short height;
};

// Smallest side a grid may have.
inline constexpr A_long kMinimumGridSide = 4;

// Grid for the given layer sizes: trunc(max(source, position) × resolution) per side, at least 4.
// Absent when a side does not fit a 16-bit count or the resolution is not finite: such a grid
// cannot be addressed (and its cache could not be sized), so the frame is refused instead.
std::optional<SampleGrid> SizeSampleGrid(A_long source_width, A_long source_height,
                                         A_long position_width, A_long position_height,
                                         double resolution);

// Column (or row) of a layer of layer_size pixels for grid column (or row) index on a grid of
// grid_size samples: the index itself when the sizes agree, else trunc(index × layer_size ÷
// grid_size) in double precision, clamped to the layer's last pixel.
inline A_long MapSampleToPixel(A_long index, A_long grid_size, A_long layer_size) {
  A_long p = index;
  if (layer_size != grid_size) {
    const double scaled = (double)index * (double)layer_size / (double)grid_size;
    p = scaled >= (double)layer_size ? layer_size : (A_long)scaled;
  }
  if (p >= layer_size) p = layer_size - 1;
  if (p < 0) p = 0;
  return p;
}

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
