#include "cli/FarmRecord.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

namespace mf::cli {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

void WriteWhole(const fs::path& file, const std::string& text) {
  const fs::path temp = file.string() + "." + std::to_string(::getpid()) + ".partial";
  {
    std::ofstream out(temp);
    out << text;
    if (!out.flush()) {
      std::error_code ec;
      fs::remove(temp, ec);
      throw FarmRecordError("cannot write " + file.string());
    }
  }
  std::error_code ec;
  fs::rename(temp, file, ec);
  if (ec) throw FarmRecordError("cannot write " + file.string() + ": " + ec.message());
}

}  // namespace

const FarmSubmission* FarmRecord::lastRunOf(int chunk) const {
  for (auto s = submissions.rbegin(); s != submissions.rend(); ++s)
    for (int c : s->chunks)
      if (c == chunk) return &*s;
  return nullptr;
}

void FarmRecord::save() const {
  json subs = json::array();
  for (const FarmSubmission& s : submissions)
    subs.push_back({{"job", s.job}, {"chunks", s.chunks}});
  json doc = {{"source_scene", source_scene.string()},
              {"output", output.string()},
              {"bit_depth", bit_depth},
              {"chunks", chunks},
              {"submissions", subs}};
  WriteWhole(file(), doc.dump(1) + "\n");
}

FarmRecord FarmRecord::Load(const fs::path& file) {
  std::ifstream in(file);
  if (!in) throw FarmRecordError("cannot read the farm job record " + file.string());
  FarmRecord r;
  r.folder = fs::absolute(file).parent_path();
  try {
    json doc = json::parse(in);
    r.source_scene = doc.at("source_scene").get<std::string>();
    r.output = doc.at("output").get<std::string>();
    r.bit_depth = doc.at("bit_depth").get<int>();
    r.chunks = doc.at("chunks").get<std::vector<std::vector<int>>>();
    for (const json& s : doc.at("submissions"))
      r.submissions.push_back(
          {s.at("job").get<std::string>(), s.at("chunks").get<std::vector<int>>()});
  } catch (const json::exception& e) {
    throw FarmRecordError(file.string() + " is not a farm job record (" + e.what() + ")");
  }
  return r;
}

fs::path FarmIndexFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && *state) return fs::path(state) / "motefield" / "farm";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : ".") / ".local" / "state" / "motefield" / "farm";
}

void RememberJob(const std::string& job, const FarmRecord& record) {
  std::error_code ec;
  fs::create_directories(FarmIndexFolder(), ec);
  WriteWhole(FarmIndexFolder() / job, record.file().string() + "\n");
}

std::optional<fs::path> RecordOfJob(const std::string& job) {
  std::ifstream in(FarmIndexFolder() / job);
  std::string path;
  if (!in || !std::getline(in, path) || path.empty()) return std::nullopt;
  return fs::path(path);
}

}  // namespace mf::cli
