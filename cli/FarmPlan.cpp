#include "cli/FarmPlan.h"

#include <sstream>

namespace mf::cli {

namespace {
constexpr const char* kEndMark = "motefield farm: chunk finished with status ";
}

std::vector<std::vector<int>> SplitIntoChunks(const std::vector<int>& frames, int size) {
  std::vector<std::vector<int>> chunks;
  for (size_t i = 0; i < frames.size(); i += static_cast<size_t>(size)) {
    const size_t end = std::min(frames.size(), i + static_cast<size_t>(size));
    chunks.emplace_back(frames.begin() + static_cast<long>(i),
                        frames.begin() + static_cast<long>(end));
  }
  return chunks;
}

std::string FrameListText(const std::vector<int>& frames) {
  std::string text;
  for (size_t i = 0; i < frames.size();) {
    size_t j = i;
    while (j + 1 < frames.size() && frames[j + 1] == frames[j] + 1) ++j;
    if (!text.empty()) text += ',';
    text += std::to_string(frames[i]);
    if (j > i) text += '-' + std::to_string(frames[j]);
    i = j + 1;
  }
  return text;
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::filesystem::path ChunkLog(const std::filesystem::path& log_folder, int chunk,
                               const std::string& job) {
  return log_folder / ("chunk-" + std::to_string(chunk) + ".job-" + job + ".log");
}

std::optional<int> ChunkEndStatus(const std::string& log_text) {
  const size_t at = log_text.rfind(kEndMark);
  if (at == std::string::npos) return std::nullopt;
  try {
    return std::stoi(log_text.substr(at + std::char_traits<char>::length(kEndMark)));
  } catch (...) {
    return std::nullopt;
  }
}

std::string BatchScript::text() const {
  std::ostringstream s;
  s << "#!/bin/sh\n"
    << "#SBATCH --job-name=" << job_name << "\n"
    << "#SBATCH --array=0-" << chunks.size() - 1 << "\n"
    << "#SBATCH --ntasks=1\n"
    << "#SBATCH --output=" << (log_folder / "chunk-%a.job-%A.log").string() << "\n";
  if (!partition.empty()) s << "#SBATCH --partition=" << partition << "\n";
  if (!time_limit.empty()) s << "#SBATCH --time=" << time_limit << "\n";
  s << "# One task per chunk of frames; each renders its own chunk and leaves frames that are\n"
    << "# already complete, so a task run again finishes only what is missing.\n"
    << "case \"$SLURM_ARRAY_TASK_ID\" in\n";
  for (size_t i = 0; i < chunks.size(); ++i)
    s << "  " << i << ") frames=" << FrameListText(chunks[i]) << " ;;\n";
  s << "  *) echo \"motefield farm: no chunk numbered '$SLURM_ARRAY_TASK_ID' in this job\" >&2; "
       "exit 2 ;;\n"
    << "esac\n"
    << "echo \"motefield farm: chunk $SLURM_ARRAY_TASK_ID, frames $frames, on $(hostname)\"\n"
    << ShellQuote(motefield.string());
  for (const std::string& arg : common_args) s << " " << ShellQuote(arg);
  s << " render " << ShellQuote(scene.string()) << " --frames \"$frames\" --skip-existing\n"
    << "status=$?\n"
    << "echo \"" << kEndMark << "$status\"\n"
    << "exit $status\n";
  return s.str();
}

}  // namespace mf::cli
