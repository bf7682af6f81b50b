// What `motefield farm` remembers of a sequence sent to the scheduler: a record file in a folder
// beside the outputs (with the scene as submitted, the batch script and the tasks' logs), and a
// small index under the user's state folder that maps each scheduler job id to its record.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mf::cli {

class FarmRecordError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FarmSubmission {
  std::string job;          // the scheduler's job id
  std::vector<int> chunks;  // the chunks (array tasks) it ran
};

struct FarmRecord {
  std::filesystem::path folder;  // holds record.json, scene.json, job.sh and logs/
  std::filesystem::path source_scene;
  std::filesystem::path output;  // the frame pattern, absolute
  int bit_depth = 8;
  std::vector<std::vector<int>> chunks;
  std::vector<FarmSubmission> submissions;

  std::filesystem::path file() const { return folder / "record.json"; }
  std::filesystem::path scene() const { return folder / "scene.json"; }
  std::filesystem::path script() const { return folder / "job.sh"; }
  std::filesystem::path logs() const { return folder / "logs"; }
  std::string firstJob() const { return submissions.empty() ? "" : submissions.front().job; }
  // The last submission that ran the chunk.
  const FarmSubmission* lastRunOf(int chunk) const;

  // Written whole or not at all. Throws FarmRecordError.
  void save() const;
  static FarmRecord Load(const std::filesystem::path& file);
};

// The index entry for a job id: $XDG_STATE_HOME/motefield/farm (or ~/.local/state/...).
std::filesystem::path FarmIndexFolder();
void RememberJob(const std::string& job, const FarmRecord& record);
std::optional<std::filesystem::path> RecordOfJob(const std::string& job);

}  // namespace mf::cli
