// The motefield command run as a person runs it, in a scratch folder of the test's own with its
// own preference file: exit status and what it printed.
#pragma once

#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "HostFixture.h"

namespace mf::test {

struct CliResult {
  int status;
  std::string out, err;
};

inline std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A 2 × 2 four-channel float image, pixels in row order.
inline void WriteExr2x2(const std::filesystem::path& path, const float (&p)[4][4]) {
  auto out = OIIO::ImageOutput::create(path.string());
  out->open(path.string(), OIIO::ImageSpec(2, 2, 4, OIIO::TypeDesc::FLOAT));
  out->write_image(OIIO::TypeDesc::FLOAT, p);
  out->close();
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = ScratchDir(std::string("cli-") + info->test_suite_name() + "." + info->name());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs in the scratch folder; env is put in front of the command (variables for it).
  CliResult motefield(const std::string& args, const std::string& env = "") {
    const std::string cmd = "cd " + dir_.string() + " && " + env + MOTEFIELD_CLI_PATH +
                            " --preferences prefs.json " + args + " >stdout.txt 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    return {WEXITSTATUS(status), ReadText(dir_ / "stdout.txt"), ReadText(dir_ / "stderr.txt")};
  }

  std::filesystem::path dir_;
};

}  // namespace mf::test
