// A fresh stand-in host per test, with its own preference file, driving the built plug-in.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "host/Host.h"

namespace mf::test {

inline std::filesystem::path ScratchDir(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() /
             ("motefield-test-" + std::to_string(::getpid()) + "-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = ScratchDir(std::string(info->test_suite_name()) + "." + info->name());
    options_.preferences_path = (dir_ / "preferences.json").string();
    host_ = std::make_unique<mf::host::Host>(options_);
  }
  void TearDown() override {
    // Whatever the real host would not have allowed fails the test that did it.
    if (host_) {
      for (const std::string& v : host_->violations().list()) ADD_FAILURE() << "host rule: " << v;
    }
    host_.reset();
    std::filesystem::remove_all(dir_);
  }
  // Starts again with a new host over the same preference file, as after a restart.
  void RestartHost() {
    host_.reset();
    host_ = std::make_unique<mf::host::Host>(options_);
  }

  mf::host::Host& host() { return *host_; }

  std::filesystem::path dir_;
  mf::host::HostOptions options_;
  std::unique_ptr<mf::host::Host> host_;
};

}  // namespace mf::test
