// `motefield farm`: a sequence rendered on a Slurm cluster, one array task per chunk of frames.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "cli/Commands.h"

namespace mf::cli {

struct FarmSubmitOptions {
  std::string scene;
  std::string frames;  // empty: the scene's, else the whole composition
  int chunk = 10;      // frames per task
  std::string partition, time_limit;
  bool dry_run = false;  // print the batch script instead of submitting it
};

// Each returns the exit status: 0, 1 (the scheduler failed or refused) or 2 (bad input).
int RunFarmSubmit(const CommonOptions& common, const FarmSubmitOptions& options, std::ostream& out,
                  std::ostream& err);
int RunFarmStatus(const std::string& job, std::ostream& out, std::ostream& err);
int RunFarmResubmit(const std::string& job, std::ostream& out, std::ostream& err);

void AddFarmCommands(CLI::App& app, CommonOptions& common, int* status);

}  // namespace mf::cli
