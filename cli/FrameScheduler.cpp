#include "cli/FrameScheduler.h"

#include <OpenImageIO/imageio.h>
#include <poll.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <streambuf>
#include <string>

#include "host/FrameRender.h"

namespace mf::cli {

namespace {

// An output stream onto a pipe's write end.
class FdBuf final : public std::streambuf {
 public:
  explicit FdBuf(int fd) : fd_(fd) { setp(buf_, buf_ + sizeof(buf_)); }
  ~FdBuf() override { sync(); }

 protected:
  int_type overflow(int_type c) override {
    if (sync() != 0) return traits_type::eof();
    if (c != traits_type::eof()) {
      *pptr() = (char)c;
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override {
    for (char* p = pbase(); p < pptr();) {
      const ssize_t n = ::write(fd_, p, (size_t)(pptr() - p));
      if (n <= 0) return -1;
      p += n;
    }
    setp(buf_, buf_ + sizeof(buf_));
    return 0;
  }

 private:
  int fd_;
  char buf_[4096];
};

struct Worker {
  pid_t pid = -1;
  int fd = -1;                 // read end of its stdout
  std::vector<size_t> frames;  // indices into the job's frame list, in its rendering order
  size_t lines = 0;            // per-frame lines received
  std::string pending;         // a line not yet complete
  int status = 0;
};

[[noreturn]] void RunWorker(RenderJob job, const std::vector<size_t>& mine, int fd,
                            const CommonOptions& common, std::ostream& err) {
  std::vector<int> frames;
  for (size_t i : mine) frames.push_back(job.frames[i]);
  // The worker with the first frame tells of frames without a camera, for all of them, once.
  job.camera_frames = !mine.empty() && mine.front() == 0 ? job.frames : std::vector<int>{-1};
  job.frames = frames;
  job.warnings_on_out = true;
  int status = 1;
  {
    FdBuf buf(fd);
    std::ostream out(&buf);
    if (job.source) {
      PrefetchingSource ahead(*job.source, frames);
      job.source = &ahead;
      status = job.run(common, out, err);
    } else {
      status = job.run(common, out, err);
    }
    out.flush();
  }
  err.flush();
  std::fflush(nullptr);
  ::_exit(status);
}

// The status a person should see of several: an interruption first, then bad input, then any
// other failure.
int Worse(int a, int b) {
  for (int s : {130, 2, 1}) {
    if (a == s || b == s) return s;
  }
  return a ? a : b;
}

}  // namespace

void DisableReaderThreads() {
  // Only the EXR library's pool is switched off: it is made as soon as a file is opened (a scene
  // reads camera headers before the workers start). The image library's own pool is made on its
  // first parallel job, in each worker by itself; setting its size here would make it in the
  // parent, and a worker would then wait on threads it did not inherit.
  OIIO::attribute("exr_threads", -1);
}

int AvailableCores() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof(set), &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

int RunFramesInParallel(RenderJob job, int workers, const CommonOptions& common, std::ostream& out,
                        std::ostream& err) {
  const size_t total = job.frames.size();
  workers = (int)std::min<size_t>((size_t)workers, total);
  std::vector<Worker> pool((size_t)workers);
  for (size_t i = 0; i < total; ++i) pool[i % (size_t)workers].frames.push_back(i);

  out.flush();
  err.flush();
  std::fflush(nullptr);
  host::ClearAbort();
  host::InstallInterruptHandler();  // Ctrl-C reaches the workers too; they stop cleanly
  const auto start = std::chrono::steady_clock::now();
  for (Worker& w : pool) {
    int fds[2];
    if (::pipe(fds) != 0) {
      err << "motefield: cannot start a worker process (no pipe)\n";
      return 1;
    }
    w.pid = ::fork();
    if (w.pid == 0) {
      ::close(fds[0]);
      for (const Worker& other : pool)
        if (other.fd >= 0) ::close(other.fd);
      RunWorker(job, w.frames, fds[1], common, err);
    }
    ::close(fds[1]);
    if (w.pid < 0) {
      ::close(fds[0]);
      err << "motefield: cannot start a worker process\n";
      return 1;
    }
    w.fd = fds[0];
  }

  // Per-frame lines by their place in the frame list; printed as soon as all before are in.
  std::map<size_t, std::string> lines;
  size_t next_line = 0;
  long long points = 0;
  int rendered = 0, complete = 0;
  std::set<std::string> warnings;  // every worker may meet the same; each is told once
  const std::regex count(R"(\(\d+ of \d+\))");
  const std::regex summary(
      R"(^rendered (\d+) frames?, (\d+) points.*?(; (\d+) already complete)?$)");
  auto take = [&](Worker& w, const std::string& line) {
    std::smatch m;
    if (std::regex_search(line, m, summary)) {
      rendered += std::stoi(m[1]);
      points += std::stoll(m[2]);
      if (m[4].matched) complete += std::stoi(m[4]);
    } else if (line.rfind("motefield: warning: ", 0) == 0) {
      warnings.insert(line);
    } else if (line.rfind("frame ", 0) == 0 && w.lines < w.frames.size()) {
      const size_t at = w.frames[w.lines++];
      lines[at] = std::regex_replace(
          line, count, "(" + std::to_string(at + 1) + " of " + std::to_string(total) + ")",
          std::regex_constants::format_first_only);
    } else {
      out << line << "\n";
    }
    for (auto it = lines.find(next_line); it != lines.end(); it = lines.find(next_line)) {
      out << it->second << std::endl;
      lines.erase(it);
      ++next_line;
    }
  };

  for (size_t open = pool.size(); open > 0;) {
    std::vector<pollfd> fds;
    for (const Worker& w : pool)
      if (w.fd >= 0) fds.push_back(pollfd{w.fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), -1) < 0) continue;  // a signal: poll again
    for (Worker& w : pool) {
      if (w.fd < 0) continue;
      auto f = std::find_if(fds.begin(), fds.end(), [&](const pollfd& p) { return p.fd == w.fd; });
      if (f == fds.end() || !f->revents) continue;
      char buf[4096];
      const ssize_t n = ::read(w.fd, buf, sizeof(buf));
      if (n > 0) {
        w.pending.append(buf, (size_t)n);
        for (size_t eol; (eol = w.pending.find('\n')) != std::string::npos;) {
          const std::string line = w.pending.substr(0, eol);
          w.pending.erase(0, eol + 1);
          take(w, line);
        }
        continue;
      }
      if (!w.pending.empty()) take(w, w.pending);
      ::close(w.fd);
      w.fd = -1;
      --open;
    }
  }
  int status = 0;
  for (Worker& w : pool) {
    int raw = 0;
    while (::waitpid(w.pid, &raw, 0) < 0 && errno == EINTR) {
    }
    w.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 1;
    if (WIFSIGNALED(raw)) {
      err << "motefield: a worker process ended on signal " << WTERMSIG(raw) << "\n";
    }
    status = Worse(status, w.status);
  }
  for (const std::string& warning : warnings) err << warning << "\n";
  for (auto& [at, line] : lines) out << line << "\n";  // after a failure, those that came
  if (status != 0) return status;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  char text[200];
  std::snprintf(text, sizeof(text), "rendered %d frame%s, %lld points, %.2f s (%d processes)",
                rendered, rendered == 1 ? "" : "s", points, seconds, workers);
  out << text;
  if (job.skip_existing) out << "; " << complete << " already complete";
  out << std::endl;
  return 0;
}

PrefetchingSource::PrefetchingSource(host::LayerSource& inner, std::vector<int> frames)
    : inner_(inner), frames_(std::move(frames)) {
  if (frames_.size() > 1) reader_ = std::thread([this] { readAhead(); });
}

PrefetchingSource::~PrefetchingSource() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (reader_.joinable()) reader_.join();
}

std::shared_ptr<const host::LayerImage> PrefetchingSource::image(int layer, int frame) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last_call_ = std::chrono::steady_clock::now();
    if (frame != current_) {
      current_ = frame;
      layers_.clear();
      auto it = std::find(frames_.begin(), frames_.end(), frame);
      wanted_ = (it != frames_.end() && it + 1 != frames_.end()) ? *(it + 1) : -1;
    }
    if (std::find(layers_.begin(), layers_.end(), layer) == layers_.end()) layers_.push_back(layer);
  }
  wake_.notify_all();
  std::lock_guard<std::mutex> lock(inner_mutex_);
  return inner_.image(layer, frame);
}

void PrefetchingSource::readAhead() {
  constexpr auto kQuiet = std::chrono::milliseconds(25);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || wanted_ >= 0; });
    if (stop_) return;
    // The host asks for a frame's layers in one burst; read once it has moved on to drawing.
    const auto quiet_at = last_call_ + kQuiet;
    if (std::chrono::steady_clock::now() < quiet_at) {
      wake_.wait_until(lock, quiet_at);
      continue;
    }
    const int frame = wanted_;
    wanted_ = -1;
    const std::vector<int> layers = layers_;
    for (int layer : layers) {
      if (stop_ || current_ == frame) break;  // the frame itself has begun
      lock.unlock();
      {
        std::lock_guard<std::mutex> inner(inner_mutex_);
        try {
          inner_.image(layer, frame);
        } catch (const std::exception&) {
          // Reported when the frame asks for the layer itself.
        }
      }
      lock.lock();
    }
  }
}

}  // namespace mf::cli
