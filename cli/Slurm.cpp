#include "cli/Slurm.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace mf::cli {

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r')) s.pop_back();
  return s;
}

// A captured stream: a temporary file, so a chatty program never blocks on a full pipe.
class CaptureFile {
 public:
  CaptureFile() {
    std::string name = (fs::temp_directory_path() / "motefield-farm-XXXXXX").string();
    fd_ = ::mkstemp(name.data());
    if (fd_ >= 0) path_ = name;
  }
  ~CaptureFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  CaptureFile(const CaptureFile&) = delete;
  CaptureFile& operator=(const CaptureFile&) = delete;
  int fd() const { return fd_; }
  std::string text() const { return path_.empty() ? "" : ReadAll(path_); }

 private:
  int fd_ = -1;
  std::string path_;
};

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':'))
    if (!dir.empty() && ::access((fs::path(dir) / program).c_str(), X_OK) == 0) return true;
  return false;
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv, int timeout_s) {
  ProgramResult result;
  CaptureFile out, err;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out.fd(), 1);
  posix_spawn_file_actions_adddup2(&actions, err.fd(), 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    result.err = argv[0] + ": cannot be run";
    return result;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
  int wstatus = 0;
  while (::waitpid(pid, &wstatus, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &wstatus, 0);
      result.err = argv[0] + ": no answer after " + std::to_string(timeout_s) + " seconds";
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  result.out = out.text();
  result.err = Trim(err.text());
  return result;
}

void Slurm::checkReachable() const {
  for (const char* tool : {"sbatch", "squeue", "scontrol"})
    if (!OnPath(tool))
      throw SchedulerError(std::string("no Slurm scheduler here: the command ") + tool +
                           " is not installed or not on PATH");
  // Without a configuration the Slurm commands wait a minute before giving up.
  const char* conf = std::getenv("SLURM_CONF");
  if (conf && *conf && !fs::exists(conf))
    throw SchedulerError(std::string("no Slurm configuration at ") + conf + " (SLURM_CONF)");
  if ((!conf || !*conf) && !fs::exists("/etc/slurm/slurm.conf") &&
      !fs::exists("/run/slurm/conf/slurm.conf"))
    throw SchedulerError(
        "no Slurm configuration found: set SLURM_CONF or install /etc/slurm/slurm.conf");
  ProgramResult ping = RunProgram({"scontrol", "ping"}, 30);
  if (ping.status != 0)
    throw SchedulerError(
        "the Slurm controller is not reachable: " +
        Trim(ping.out.empty() ? ping.err : ping.out.substr(0, ping.out.find('\n'))));
}

std::string Slurm::submit(const std::string& script_path, const std::string& array) const {
  ProgramResult r = RunProgram({"sbatch", "--parsable", "--array=" + array, script_path}, 120);
  std::string id = Trim(r.out);
  id = id.substr(0, id.find(';'));  // "id;cluster" on a federation
  if (r.status != 0 || id.empty() || id.find_first_not_of("0123456789") != std::string::npos)
    throw SchedulerError("Slurm did not take the job: " + (r.err.empty() ? r.out : r.err));
  return id;
}

std::optional<std::map<int, std::string>> Slurm::taskStates(const std::string& job) const {
  ProgramResult r = RunProgram({"squeue", "-h", "-r", "-t", "all", "-j", job, "-o", "%i %T"}, 30);
  std::map<int, std::string> states;
  if (r.status != 0) {
    // A job the controller has forgotten is no failure to reach it.
    if (r.err.find("Invalid job id") != std::string::npos) return states;
    return std::nullopt;
  }
  std::istringstream lines(r.out);
  std::string id, state;
  while (lines >> id >> state) {
    const size_t underscore = id.find('_');
    if (underscore == std::string::npos || id.substr(0, underscore) != job) continue;
    try {
      states[std::stoi(id.substr(underscore + 1))] = state;
    } catch (...) {
    }
  }
  return states;
}

std::optional<std::string> Slurm::scriptOf(const std::string& job) const {
  ProgramResult r = RunProgram({"scontrol", "show", "job", "-o", job}, 30);
  if (r.status != 0) return std::nullopt;
  const size_t at = r.out.find("Command=");
  if (at == std::string::npos) return std::nullopt;
  const size_t start = at + 8;
  return r.out.substr(start, r.out.find_first_of(" \n", start) - start);
}

}  // namespace mf::cli
