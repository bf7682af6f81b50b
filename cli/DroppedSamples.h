// Samples the effect drops without a word because their position is not a number or infinite:
// counted for the frame's line the way the effect samples, over its grid of the source and
// position layers.
#pragma once

#include "host/Frame.h"

namespace mf::cli {

// source and position as the scene holds them; downsample as the render asks; resolution the
// fraction of the layers' size the effect samples (its Resolution control and reduced modes).
long long NonFiniteSamples(const host::LayerImage& source, const host::LayerImage& position,
                           int downsample, double resolution);

// The fraction of the layers the effect samples for a Resolution control (percent) in a render
// mode.
double SampledFraction(double resolution_percent, int render_mode);

}  // namespace mf::cli
