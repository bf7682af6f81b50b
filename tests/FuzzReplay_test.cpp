// Every input the fuzzers keep, replayed through its target: the seeds, and each input that ever
// made a target fail (fuzz/regressions/<target>/), so a fixed defect stays fixed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "HostFixture.h"
#include "fuzz/Targets.h"

namespace mf::test {
namespace {

namespace fs = std::filesystem;

class FuzzReplay : public HostTest {};

TEST_F(FuzzReplay, KeptInputsRunCleanThroughEveryTarget) {
  const fs::path root = fs::path(MOTEFIELD_SOURCE_DIR) / "fuzz";
  for (const fuzz::Target& target : fuzz::Targets()) {
    int replayed = 0;
    for (const char* kept : {"corpus", "regressions"}) {
      const fs::path dir = root / kept / target.name;
      if (!fs::is_directory(dir)) continue;
      for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        try {
          target.run(host(), bytes.data(), bytes.size());
        } catch (const fuzz::Finding& finding) {
          FAIL() << entry.path().string() << ": " << finding.what();  // the host is left dirty
        }
        ++replayed;
      }
    }
    EXPECT_GT(replayed, 0) << target.name << " has no seeds";
  }
}

}  // namespace
}  // namespace mf::test
