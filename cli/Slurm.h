// The Slurm scheduler as `motefield farm` uses it: through its own commands (sbatch, squeue,
// scontrol), which must be on PATH and find the cluster's configuration as they do for a person.
// Needs no accounting database: task states come from the controller while it remembers the job.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mf::cli {

// The scheduler cannot be reached or refused a request; the message is in plain words.
class SchedulerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ProgramResult {
  int status = -1;  // exit status; -1 when it could not start or was stopped
  std::string out, err;
};
// Runs a program found on PATH with its output captured, stopping it after timeout_s.
ProgramResult RunProgram(const std::vector<std::string>& argv, int timeout_s = 60);

class Slurm {
 public:
  // Throws SchedulerError when the commands are missing or the controller does not answer.
  void checkReachable() const;
  // Submits the script for the given array tasks ("0-3" or "2,5"); returns the job id.
  std::string submit(const std::string& script_path, const std::string& array) const;
  // State of each array task the controller still remembers (PENDING, RUNNING, COMPLETED,
  // FAILED, CANCELLED, ...); absent when the controller cannot be asked.
  std::optional<std::map<int, std::string>> taskStates(const std::string& job) const;
  // The batch script a job was submitted with, while the controller remembers the job.
  std::optional<std::string> scriptOf(const std::string& job) const;
};

}  // namespace mf::cli
