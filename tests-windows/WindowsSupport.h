// What every Windows test needs: where the program and the plug-in are, text in the forms the
// system and the host use, scratch folders, and a fresh host per test over its own preferences.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "host/Host.h"

namespace mf::wintest {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// The folder of the test program, which holds Motefield.aex.
std::filesystem::path ProgramDir();
std::string PluginPath();  // UTF-8
std::filesystem::path ScratchDir(const std::string& name);

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A new host over the same preference file, as after a restart: the library is loaded afresh.
  void RestartHost();
  mf::host::Host& host() { return *host_; }

  std::filesystem::path dir_;
  mf::host::HostOptions options_;
  std::unique_ptr<mf::host::Host> host_;
};

}  // namespace mf::wintest
