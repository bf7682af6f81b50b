// One render of a scene's effect layer over a list of frames into image files, shared by
// `motefield render` and `motefield demo`.
#pragma once

#include <ostream>
#include <vector>

#include "cli/Commands.h"
#include "cli/FrameOutput.h"
#include "host/Frame.h"
#include "host/Scene.h"

namespace mf::cli {

struct RenderJob {
  host::Scene scene;
  int layer;  // the layer carrying the effect
  std::vector<int> frames;
  FrameOutput output;
  int bit_depth;
  int downsample;
  bool high_quality;
  host::LayerSource* source;   // pixels of the scene's layers (not owned)
  bool skip_existing = false;  // leave frames whose file is already complete
  bool quiet = false;          // no line per frame
  bool allow_clamped = false;  // render a position pass an 8- or 16-bit world clamps
  // Frames whose lack of a camera is told before rendering: empty for every frame of the job,
  // {-1} for none (a worker process whose frames another one tells of).
  std::vector<int> camera_frames = {};
  // Warnings about the whole render go with the per-frame lines on out instead of err: a worker
  // process's, which the parent prints once for all of them.
  bool warnings_on_out = false;

  // Renders every frame and writes it; a line per frame (unless quiet), then a summary on out;
  // problems on err in plain words. Returns the exit status: 0, 1 (failed), 2 (bad input) or
  // 130 (interrupted with Ctrl-C).
  int run(const CommonOptions& common, std::ostream& out, std::ostream& err);

 private:
  void warnOfDefaultCamera(host::Host& host, const host::EffectInstance& instance,
                           std::ostream& err) const;
  long long nonFinitePositions(const host::EffectInstance& instance, int frame) const;
};

}  // namespace mf::cli
