#include "cli/FarmStatus.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "cli/CompleteFrame.h"
#include "cli/FarmPlan.h"
#include "host/Footage.h"

namespace mf::cli {

namespace {

TaskState FromScheduler(const std::string& s) {
  static const std::set<std::string> queued = {"PENDING", "REQUEUED", "REQUEUE_HOLD", "REQUEUE_FED",
                                               "RESV_DEL_HOLD"};
  static const std::set<std::string> running = {
      "CONFIGURING", "RUNNING", "COMPLETING", "SUSPENDED", "RESIZING", "SIGNALING", "STAGE_OUT"};
  static const std::set<std::string> failed = {"FAILED",        "TIMEOUT",   "NODE_FAIL",
                                               "OUT_OF_MEMORY", "BOOT_FAIL", "DEADLINE"};
  if (queued.count(s)) return TaskState::Queued;
  if (running.count(s)) return TaskState::Running;
  if (failed.count(s)) return TaskState::Failed;
  if (s == "COMPLETED") return TaskState::Completed;
  return TaskState::Stopped;  // cancelled, preempted
}

const char* Name(TaskState s) {
  switch (s) {
    case TaskState::NotRun:
      return "not run";
    case TaskState::Queued:
      return "queued";
    case TaskState::Running:
      return "running";
    case TaskState::Completed:
      return "completed";
    case TaskState::Failed:
      return "failed";
    case TaskState::Stopped:
      return "stopped";
    case TaskState::Unknown:
      return "unknown";
  }
  return "";
}

std::optional<std::string> ReadLog(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string LastErrorLine(const std::string& log) {
  std::istringstream lines(log);
  std::string line, last;
  while (std::getline(lines, line))
    if (line.rfind("motefield: ", 0) == 0 && line.find("warning") == std::string::npos) last = line;
  return last;
}

// The task's state from its log, once the scheduler no longer knows it.
TaskState FromLog(const std::optional<std::string>& log, bool scheduler_reached) {
  if (!log) return scheduler_reached ? TaskState::Stopped : TaskState::Unknown;
  std::optional<int> status = ChunkEndStatus(*log);
  if (!status) return scheduler_reached ? TaskState::Stopped : TaskState::Unknown;
  return *status == 0 ? TaskState::Completed : TaskState::Failed;
}

}  // namespace

std::vector<std::string> ActiveTasks(const FarmRecord& record, const Slurm& slurm) {
  std::vector<std::string> active;
  for (const FarmSubmission& s : record.submissions) {
    const auto states = slurm.taskStates(s.job);
    if (!states) continue;
    for (const auto& [chunk, state] : *states) {
      const TaskState t = FromScheduler(state);
      if ((t == TaskState::Queued || t == TaskState::Running) && record.lastRunOf(chunk) == &s)
        active.push_back(s.job + "_" + std::to_string(chunk));
    }
  }
  return active;
}

FarmStatus GetFarmStatus(const FarmRecord& record, const Slurm& slurm) {
  FarmStatus status;
  std::map<std::string, std::optional<std::map<int, std::string>>> states;
  for (const FarmSubmission& s : record.submissions) {
    states[s.job] = slurm.taskStates(s.job);
    if (!states[s.job]) status.scheduler_reached = false;
  }
  const host::FramePattern pattern = host::FramePattern::Parse(record.output);
  for (size_t c = 0; c < record.chunks.size(); ++c) {
    ChunkStatus chunk;
    chunk.chunk = static_cast<int>(c);
    if (const FarmSubmission* run = record.lastRunOf(chunk.chunk)) {
      chunk.task = run->job + "_" + std::to_string(c);
      const auto& known = states[run->job];
      const std::optional<std::string> log =
          ReadLog(ChunkLog(record.logs(), chunk.chunk, run->job));
      if (known && known->count(chunk.chunk)) {
        chunk.scheduler_state = known->at(chunk.chunk);
        chunk.state = FromScheduler(chunk.scheduler_state);
      } else {
        chunk.state = FromLog(log, known.has_value());
      }
      if (chunk.state == TaskState::Failed && log) chunk.failure = LastErrorLine(*log);
    }
    for (int frame : record.chunks[c]) {
      if (IsCompleteImage(pattern.fileFor(frame))) {
        ++chunk.done;
        continue;
      }
      switch (chunk.state) {
        case TaskState::Queued:
          ++chunk.queued;
          break;
        case TaskState::Running:
          ++chunk.running;
          break;
        case TaskState::Failed:
          ++chunk.failed;
          break;
        default:
          ++chunk.missing;
      }
    }
    status.chunks.push_back(chunk);
  }
  return status;
}

void PrintFarmStatus(const FarmRecord& record, const FarmStatus& status, std::ostream& out) {
  out << "farm job " << record.firstJob() << ": " << record.source_scene.string() << " -> "
      << record.output.string() << "\n";
  if (!status.scheduler_reached)
    out << "the Slurm controller did not answer: task states come from the tasks' logs\n";
  char line[200];
  std::snprintf(line, sizeof line, "%-6s %-16s %-12s %-10s %5s %8s %7s %7s %8s\n", "chunk",
                "frames", "task", "state", "done", "running", "queued", "failed", "missing");
  out << line;
  int done = 0, running = 0, queued = 0, failed = 0, missing = 0;
  for (const ChunkStatus& c : status.chunks) {
    std::string frames = FrameListText(record.chunks[c.chunk]);
    std::snprintf(line, sizeof line, "%-6d %-16s %-12s %-10s %5d %8d %7d %7d %8d\n", c.chunk,
                  frames.c_str(), c.task.empty() ? "-" : c.task.c_str(), Name(c.state), c.done,
                  c.running, c.queued, c.failed, c.missing);
    out << line;
    done += c.done, running += c.running, queued += c.queued, failed += c.failed,
        missing += c.missing;
  }
  const int total = done + running + queued + failed + missing;
  out << total << " frames: " << done << " done, " << running << " running, " << queued
      << " queued, " << failed << " failed, " << missing << " missing\n";
  for (const ChunkStatus& c : status.chunks) {
    if (c.state != TaskState::Failed) continue;
    const FarmSubmission* run = record.lastRunOf(c.chunk);
    out << "chunk " << c.chunk << " failed" << (c.failure.empty() ? "" : ": " + c.failure)
        << " (log: " << ChunkLog(record.logs(), c.chunk, run->job).string() << ")\n";
  }
}

}  // namespace mf::cli
