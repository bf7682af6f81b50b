// How `motefield farm` splits a sequence into scheduler tasks and what each task runs. The batch
// script is plain: every task runs `motefield render --frames` on its own chunk, so any scheduler
// that can start one command per task can run it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace mf::cli {

// Consecutive runs of `size` frames, in the order given; the last chunk may be shorter.
std::vector<std::vector<int>> SplitIntoChunks(const std::vector<int>& frames, int size);

// The frames as a range `motefield render --frames` reads back: "1-3,7,9-10".
std::string FrameListText(const std::vector<int>& frames);

// Quoted for a POSIX shell.
std::string ShellQuote(const std::string& text);

struct BatchScript {
  std::string job_name;
  std::filesystem::path motefield;       // the command line, at the same path on every node
  std::vector<std::string> common_args;  // --plugin / --preferences, when given
  std::filesystem::path scene;
  std::filesystem::path log_folder;
  std::string partition;   // empty: the cluster's default
  std::string time_limit;  // empty: the partition's default
  std::vector<std::vector<int>> chunks;

  // The script for `sbatch`: one array task per chunk (task id = chunk index).
  std::string text() const;
};

// The array tasks' log of one chunk in one submission, as the script names it.
std::filesystem::path ChunkLog(const std::filesystem::path& log_folder, int chunk,
                               const std::string& job);

// The render's exit status from the line a task writes last in its log; absent when the task
// was stopped before it could write it.
std::optional<int> ChunkEndStatus(const std::string& log_text);

}  // namespace mf::cli
