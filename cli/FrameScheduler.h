// Frames of a render shared among worker processes, one effect instance each. The stand-in host
// and the plug-in keep one host per process, so parallel frames need processes, not threads.
// The per-frame lines come back in the order of the frame list, numbered over the whole render,
// and one summary closes; messages on stderr pass straight through.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

#include "cli/Commands.h"
#include "cli/RenderJob.h"
#include "host/Frame.h"

namespace mf::cli {

// The number of processors this process may run on, at least 1.
int AvailableCores();

// Makes the EXR library read on the calling thread only, so that the process can be forked
// into workers safely. Call before any image is opened.
void DisableReaderThreads();

// Renders the job's frames in `workers` processes (more than one, and more than one frame).
// Returns the exit status of RenderJob::run: the worst a worker met.
int RunFramesInParallel(RenderJob job, int workers, const CommonOptions& common, std::ostream& out,
                        std::ostream& err);

// A layer source that reads the next frame's layers on a second thread while the current frame
// draws: once the host has gone quiet for a moment after asking for a frame's layers, the same
// layers of the next frame in the list are asked for, which fills the inner source's cache.
class PrefetchingSource final : public host::LayerSource {
 public:
  PrefetchingSource(host::LayerSource& inner, std::vector<int> frames);
  ~PrefetchingSource() override;

  std::shared_ptr<const host::LayerImage> image(int layer, int frame) override;

 private:
  void readAhead();

  host::LayerSource& inner_;
  std::vector<int> frames_;
  std::mutex inner_mutex_;  // one caller of the inner source at a time
  std::mutex mutex_;        // what follows
  std::condition_variable wake_;
  std::vector<int> layers_;  // asked for at the current frame
  int current_ = -1;
  int wanted_ = -1;  // the frame to read ahead; -1: none
  std::chrono::steady_clock::time_point last_call_;
  bool stop_ = false;
  std::thread reader_;
};

}  // namespace mf::cli
