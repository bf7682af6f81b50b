// Where each chunk of a farm job stands, from the output folder (which frames are complete), the
// scheduler (which tasks are queued, running or ended, while it remembers them) and the tasks'
// logs (how a task ended, once the scheduler has forgotten it).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/FarmRecord.h"
#include "cli/Slurm.h"

namespace mf::cli {

enum class TaskState { NotRun, Queued, Running, Completed, Failed, Stopped, Unknown };

struct ChunkStatus {
  int chunk = 0;
  std::string task;  // "job_chunk" of its last run
  TaskState state = TaskState::NotRun;
  std::string scheduler_state;  // as the scheduler says it, when it does
  int done = 0;
  int running = 0, queued = 0, failed = 0, missing = 0;  // frames not done, by the task's state
  std::string failure;                                   // the task log's last error line

  bool active() const { return state == TaskState::Queued || state == TaskState::Running; }
  bool needsRun() const { return !active() && (failed + missing) > 0; }
};

struct FarmStatus {
  std::vector<ChunkStatus> chunks;
  bool scheduler_reached = true;
};

// The tasks ("job_chunk") the scheduler still has queued or running for the record.
std::vector<std::string> ActiveTasks(const FarmRecord& record, const Slurm& slurm);

FarmStatus GetFarmStatus(const FarmRecord& record, const Slurm& slurm);
void PrintFarmStatus(const FarmRecord& record, const FarmStatus& status, std::ostream& out);

}  // namespace mf::cli
