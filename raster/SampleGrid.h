// The grid of samples the cloud is taken on, over the source and position layers. Header only:
// the command line counts the samples a render drops with the same grid.
#pragma once

#include <cmath>
#include <limits>
#include <optional>

#include "AE_Effect.h"

namespace mf {

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
inline std::optional<SampleGrid> SizeSampleGrid(A_long source_width, A_long source_height,
                                                A_long position_width, A_long position_height,
                                                double resolution) {
  if (!std::isfinite(resolution)) return std::nullopt;
  const double w =
      static_cast<double>(source_width > position_width ? source_width : position_width);
  const double h =
      static_cast<double>(source_height > position_height ? source_height : position_height);
  const double sides[2] = {std::trunc(w * resolution), std::trunc(h * resolution)};
  A_short out[2];
  for (int i = 0; i < 2; ++i) {
    // Decided in double before any conversion: a side beyond 16 bits cannot be counted.
    if (sides[i] > static_cast<double>(std::numeric_limits<A_short>::max())) return std::nullopt;
    out[i] = sides[i] < static_cast<double>(kMinimumGridSide)
                 ? static_cast<A_short>(kMinimumGridSide)
                 : static_cast<A_short>(sides[i]);
  }
  return SampleGrid{out[0], out[1]};
}

// Column (or row) of a layer of layer_size pixels for grid column (or row) index on a grid of
// grid_size samples: the index itself when the sizes agree, else trunc(index × layer_size ÷
// grid_size) in double precision, clamped to the layer's last pixel.
inline A_long MapSampleToPixel(A_long index, A_long grid_size, A_long layer_size) {
  A_long p = index;
  if (layer_size != grid_size) {
    const double scaled = static_cast<double>(index) * static_cast<double>(layer_size) /
                          static_cast<double>(grid_size);
    p = scaled >= static_cast<double>(layer_size) ? layer_size : static_cast<A_long>(scaled);
  }
  if (p >= layer_size) p = layer_size - 1;
  if (p < 0) p = 0;
  return p;
}

}  // namespace mf
