// `motefield farm submit | status | resubmit`.
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iostream>
#include <set>

#include "cli/FarmCommands.h"
#include "cli/FarmPlan.h"
#include "cli/FarmRecord.h"
#include "cli/FarmStatus.h"
#include "cli/FrameOutput.h"
#include "cli/FrameRange.h"
#include "cli/SharedStorage.h"
#include "cli/Slurm.h"
#include "host/Scene.h"

namespace mf::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;

// Holds an exclusive lock on a file while it lives, so two resubmits of one job cannot both
// send the same chunks. The lock has a file of its own: the record is replaced when saved.
class FileLock {
 public:
  explicit FileLock(const fs::path& file) : fd_(::open(file.c_str(), O_RDWR | O_CREAT, 0644)) {
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

std::string UtcStamp() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &tm);
  return text;
}

std::string Join(const std::vector<std::string>& items, const std::string& separator) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
  return text;
}

// The scene's footage and output as absolute paths, so every node reads and writes the same files
// whatever its working folder.
nlohmann::json AbsoluteScene(const host::Scene& scene, const fs::path& output) {
  nlohmann::json doc = scene.doc;
  for (nlohmann::json& layer : doc["layers"])
    if (layer.contains("source") && layer["source"].is_string())
      layer["source"] = scene.resolve(layer["source"].get<std::string>()).string();
  doc["render"]["output"] = output.string();
  return doc;
}

// Names, in one warning, the scene, footage and output folders other nodes cannot reach.
void WarnOfLocalPaths(const host::Scene& scene, const fs::path& output, std::ostream& err) {
  std::vector<std::pair<std::string, fs::path>> paths = {{"the scene", scene.file}};
  for (const host::SceneLayer& layer : scene.layers)
    if (layer.json.contains("source") && layer.json["source"].is_string())
      paths.push_back({"the footage of layer \"" + layer.name + "\"",
                       scene.resolve(layer.json["source"].get<std::string>())});
  paths.push_back({"the output folder", output.parent_path()});
  std::vector<std::string> local;
  std::string kinds;
  for (const auto& [what, path] : paths) {
    if (auto kind = LocalFileSystem(path)) {
      local.push_back(what + " " + path.string());
      if (kinds.find(*kind) == std::string::npos) kinds += (kinds.empty() ? "" : ", ") + *kind;
    }
  }
  if (!local.empty())
    err << "motefield: warning: on a local disk (" << kinds
        << "), not shared storage, so other nodes of the cluster will not find them: "
        << Join(local, "; ") << "\n";
}

struct Plan {
  host::Scene scene;
  fs::path output;
  std::vector<std::vector<int>> chunks;
};

// Reads and checks what a submission needs; reports bad input on err and returns nothing.
std::optional<Plan> PlanSubmission(const FarmSubmitOptions& o, std::ostream& err) {
  if (o.chunk < 1) {
    err << "motefield: --chunk must be 1 or more frames per task, not " << o.chunk << "\n";
    return std::nullopt;
  }
  Plan plan;
  try {
    plan.scene = host::LoadScene(fs::absolute(o.scene).lexically_normal());
    std::string range = !o.frames.empty() ? o.frames : plan.scene.render.frames;
    if (range.empty())
      range = "0-" + std::to_string(std::max(0, int(plan.scene.composition.duration) - 1));
    const std::vector<int> frames = ParseFrameRange(range);
    if (plan.scene.render.output.empty()) {
      err << "motefield: " << o.scene
          << ": the scene names no output (render.output); farm tasks write where the scene says\n";
      return std::nullopt;
    }
    plan.output = plan.scene.resolve(plan.scene.render.output).lexically_normal();
    FrameOutput check(plan.output, plan.scene.render.bit_depth);
    if (!check.hasPattern() && frames.size() > 1) {
      err << "motefield: " << plan.output.string() << ": " << frames.size()
          << " frames would go to one file; put a frame number pattern (#### or %04d) in "
             "render.output\n";
      return std::nullopt;
    }
    plan.chunks = SplitIntoChunks(frames, o.chunk);
  } catch (const std::exception& e) {  // scene, frame range or output written wrongly
    err << "motefield: " << e.what() << "\n";
    return std::nullopt;
  }
  return plan;
}

BatchScript ScriptFor(const CommonOptions& common, const FarmSubmitOptions& o, const Plan& plan,
                      const FarmRecord& record) {
  BatchScript script;
  script.job_name = "motefield-" + plan.scene.file.stem().string();
  std::error_code ec;
  script.motefield = fs::read_symlink("/proc/self/exe", ec);
  if (ec) script.motefield = "motefield";
  if (!common.plugin.empty())
    script.common_args = {"--plugin", fs::absolute(common.plugin).string()};
  if (!common.preferences.empty()) {
    script.common_args.push_back("--preferences");
    script.common_args.push_back(fs::absolute(common.preferences).string());
  }
  script.scene = record.scene();
  script.log_folder = record.logs();
  script.partition = o.partition;
  script.time_limit = o.time_limit;
  script.chunks = plan.chunks;
  return script;
}

// Another farm job still queued or running into the same files.
bool RefuseIfRendering(const fs::path& output, const Slurm& slurm, std::ostream& err) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(output.parent_path() / ".motefield-farm", ec)) {
    try {
      FarmRecord other = FarmRecord::Load(entry.path() / "record.json");
      if (other.output != output) continue;
      std::vector<std::string> active = ActiveTasks(other, slurm);
      if (active.empty()) continue;
      err << "motefield: farm job " << other.firstJob() << " is still rendering into "
          << output.string() << " (tasks " << Join(active, ", ")
          << " queued or running); nothing was submitted. Wait for it, or cancel it with "
             "scancel, then use farm resubmit "
          << other.firstJob() << "\n";
      return true;
    } catch (const FarmRecordError&) {
    }
  }
  return false;
}

void Remember(const std::string& job, const FarmRecord& record, std::ostream& err) {
  try {
    record.save();
    RememberJob(job, record);
  } catch (const FarmRecordError& e) {
    err << "motefield: warning: job " << job << " was submitted, but " << e.what()
        << "; farm status may not find it\n";
  }
}

std::optional<FarmRecord> FindJob(const std::string& job, const Slurm& slurm, std::ostream& err) {
  try {
    if (job.empty() || job.find_first_not_of("0123456789") != std::string::npos) {
      const fs::path given(job);
      if (fs::is_regular_file(given)) return FarmRecord::Load(given);
      if (fs::is_regular_file(given / "record.json"))
        return FarmRecord::Load(given / "record.json");
      err << "motefield: \"" << job
          << "\" is not a farm job: give the job number farm submit printed, or its record file\n";
      return std::nullopt;
    }
    if (auto file = RecordOfJob(job); file && fs::exists(*file)) return FarmRecord::Load(*file);
    slurm.checkReachable();
    if (auto script = slurm.scriptOf(job)) {
      const fs::path file = fs::path(*script).parent_path() / "record.json";
      if (fs::exists(file)) return FarmRecord::Load(file);
      err << "motefield: Slurm job " << job << " is not a motefield farm job\n";
      return std::nullopt;
    }
  } catch (const FarmRecordError& e) {
    err << "motefield: " << e.what() << "\n";
    return std::nullopt;
  } catch (const SchedulerError&) {
  }
  err << "motefield: no farm job " << job << " is known (not in " << FarmIndexFolder().string()
      << ", nor to the Slurm controller)\n";
  return std::nullopt;
}

}  // namespace

int RunFarmSubmit(const CommonOptions& common, const FarmSubmitOptions& o, std::ostream& out,
                  std::ostream& err) {
  std::optional<Plan> plan = PlanSubmission(o, err);
  if (!plan) return kExitBadInput;
  FarmRecord record;
  record.folder =
      plan->output.parent_path() / ".motefield-farm" /
      (plan->scene.file.stem().string() + "-" + UtcStamp() + "-" + std::to_string(::getpid()));
  record.source_scene = plan->scene.file;
  record.output = plan->output;
  record.bit_depth = plan->scene.render.bit_depth;
  record.chunks = plan->chunks;
  const BatchScript script = ScriptFor(common, o, *plan, record);

  WarnOfLocalPaths(plan->scene, plan->output, err);
  if (o.dry_run) {
    out << script.text();
    return 0;
  }

  Slurm slurm;
  try {
    slurm.checkReachable();
  } catch (const SchedulerError& e) {
    err << "motefield: " << e.what() << "; nothing was submitted\n";
    return kExitFailed;
  }
  if (RefuseIfRendering(plan->output, slurm, err)) return kExitFailed;

  std::error_code ec;
  fs::create_directories(record.logs(), ec);
  std::ofstream(record.scene()) << AbsoluteScene(plan->scene, plan->output).dump(1) << "\n";
  std::ofstream(record.script()) << script.text();
  if (ec || !fs::exists(record.script())) {
    err << "motefield: cannot write the farm job's files in " << record.folder.string()
        << (ec ? ": " + ec.message() : "") << "; nothing was submitted\n";
    return kExitFailed;
  }
  std::string job;
  try {
    job = slurm.submit(record.script(), "0-" + std::to_string(record.chunks.size() - 1));
  } catch (const SchedulerError& e) {
    err << "motefield: " << e.what() << "\n";
    fs::remove_all(record.folder, ec);
    return kExitFailed;
  }
  std::vector<int> all(record.chunks.size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
  record.submissions.push_back({job, all});
  Remember(job, record, err);
  size_t frames = 0;
  for (const auto& c : record.chunks) frames += c.size();
  out << "submitted farm job " << job << ": " << frames << " frames in " << record.chunks.size()
      << " tasks of up to " << o.chunk << " -> " << record.output.string() << "\n"
      << "follow it with: motefield farm status " << job << "\n";
  return 0;
}

int RunFarmStatus(const std::string& job, std::ostream& out, std::ostream& err) {
  Slurm slurm;
  std::optional<FarmRecord> record = FindJob(job, slurm, err);
  if (!record) return kExitBadInput;
  const FarmStatus status = GetFarmStatus(*record, slurm);
  PrintFarmStatus(*record, status, out);
  // A script that waits on the farm must be able to tell a finished job from one with frames that
  // will never come without a resubmit.
  for (const ChunkStatus& c : status.chunks)
    if (c.failed + c.missing > 0) return kExitFailed;
  return 0;
}

int RunFarmResubmit(const std::string& job, std::ostream& out, std::ostream& err) {
  Slurm slurm;
  std::optional<FarmRecord> found = FindJob(job, slurm, err);
  if (!found) return kExitBadInput;
  try {
    slurm.checkReachable();
  } catch (const SchedulerError& e) {
    err << "motefield: " << e.what() << "; nothing was submitted\n";
    return kExitFailed;
  }
  FileLock lock(found->folder / "lock");
  FarmRecord record = FarmRecord::Load(found->file());  // as it is now that it is ours
  const FarmStatus status = GetFarmStatus(record, slurm);
  if (!status.scheduler_reached) {
    err << "motefield: the Slurm controller did not say which tasks still run; nothing was "
           "submitted\n";
    return kExitFailed;
  }
  std::vector<int> chunks;
  std::vector<std::string> names, busy;
  for (const ChunkStatus& c : status.chunks) {
    if (c.needsRun()) {
      chunks.push_back(c.chunk);
      names.push_back(std::to_string(c.chunk) + " (frames " +
                      FrameListText(record.chunks[c.chunk]) + ")");
    } else if (c.active()) {
      busy.push_back(std::to_string(c.chunk));
    }
  }
  if (chunks.empty()) {
    out << "nothing to resubmit: "
        << (busy.empty() ? "every frame is done"
                         : "the chunks left (" + Join(busy, ", ") + ") are still queued or running")
        << "\n";
    return 0;
  }
  std::vector<std::string> ids;
  for (int c : chunks) ids.push_back(std::to_string(c));
  std::string new_job;
  try {
    new_job = slurm.submit(record.script(), Join(ids, ","));
  } catch (const SchedulerError& e) {
    err << "motefield: " << e.what() << "\n";
    return kExitFailed;
  }
  record.submissions.push_back({new_job, chunks});
  Remember(new_job, record, err);
  out << "resubmitted chunk" << (chunks.size() == 1 ? " " : "s ") << Join(names, ", ") << " as job "
      << new_job << "\n";
  return 0;
}

void AddFarmCommands(CLI::App& app, CommonOptions& common, int* status) {
  auto* farm = app.add_subcommand("farm", "render a sequence on a Slurm cluster");
  farm->require_subcommand(1);
  auto o = std::make_shared<FarmSubmitOptions>();
  auto job = std::make_shared<std::string>();

  auto* submit = farm->add_subcommand("submit", "send a scene's frames as one Slurm array job");
  submit->add_option("scene", o->scene, "the scene file, on storage every node reads")->required();
  submit->add_option("--frames", o->frames, "frames to render (default: the scene's)");
  submit->add_option("--chunk", o->chunk, "frames per task (default 10)");
  submit->add_option("--partition", o->partition, "the Slurm partition (default: the cluster's)");
  submit->add_option("--time", o->time_limit, "time limit per task, as Slurm writes it");
  submit->add_flag("--dry-run", o->dry_run, "print the batch script; submit nothing");
  submit->callback(
      [o, &common, status] { *status = RunFarmSubmit(common, *o, std::cout, std::cerr); });

  auto* show = farm->add_subcommand("status", "how many frames of a farm job are done, per chunk");
  show->add_option("job", *job, "the job number farm submit printed")->required();
  show->callback([job, status] { *status = RunFarmStatus(*job, std::cout, std::cerr); });

  auto* again = farm->add_subcommand("resubmit", "submit again the chunks with frames missing");
  again->add_option("job", *job, "the job number farm submit printed")->required();
  again->callback([job, status] { *status = RunFarmResubmit(*job, std::cout, std::cerr); });
}

}  // namespace mf::cli
