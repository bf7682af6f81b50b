#include "cli/DroppedSamples.h"

#include <cmath>

#include "params/MenuValues.h"
#include "raster/SampleGrid.h"

namespace mf::cli {
namespace {

// Layer worlds at a downsample factor keep the top-left pixel of each block.
struct Downsampled {
  const host::LayerImage& image;
  int factor;
  A_long width() const { return (image.width + factor - 1) / factor; }
  A_long height() const { return (image.height + factor - 1) / factor; }
  const float* at(A_long x, A_long y) const {
    return &image.rgba[(static_cast<size_t>(y) * factor * image.width + x * factor) * 4];
  }
};

}  // namespace

double SampledFraction(double resolution_percent, int render_mode) {
  static const double kReduced[] = {0.5, 0.3333, 0.25, 0.125};  // half to eighth
  const double f = resolution_percent / 100.0;
  return render_mode >= kRenderModeHalf && render_mode <= kRenderModeEighth
             ? f * kReduced[render_mode - kRenderModeHalf]
             : f;
}

long long NonFiniteSamples(const host::LayerImage& source, const host::LayerImage& position,
                           int downsample, double resolution) {
  const Downsampled src{source, downsample > 0 ? downsample : 1};
  const Downsampled pos{position, src.factor};
  if (source.width <= 0 || position.width <= 0 || source.height <= 0 || position.height <= 0)
    return 0;
  const auto grid =
      SizeSampleGrid(src.width(), src.height(), pos.width(), pos.height(), resolution);
  if (!grid) return 0;
  long long count = 0;
  for (A_long column = 0; column < grid->width; ++column) {
    for (A_long row = 0; row < grid->height; ++row) {
      const float* s = src.at(MapSampleToPixel(column, grid->width, src.width()),
                              MapSampleToPixel(row, grid->height, src.height()));
      if (s[3] == 0) continue;  // no colour: the sample is skipped before its position is read
      const float* p = pos.at(MapSampleToPixel(column, grid->width, pos.width()),
                              MapSampleToPixel(row, grid->height, pos.height()));
      if (!(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]))) ++count;
    }
  }
  return count;
}

}  // namespace mf::cli
