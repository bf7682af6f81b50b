#include "WindowsSupport.h"

namespace mf::wintest {

std::wstring Wide(std::string_view utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), out.data(), n);
  return out;
}

std::string Utf8(std::wstring_view wide) {
  int n =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), out.data(), n, nullptr, nullptr);
  return out;
}

std::filesystem::path ProgramDir() {
  wchar_t buffer[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(nullptr, buffer, sizeof buffer / sizeof buffer[0]);
  return std::filesystem::path(std::wstring(buffer, n)).parent_path();
}

std::string PluginPath() {
  return Utf8((ProgramDir() / L"Motefield.aex").wstring());
}

std::filesystem::path ScratchDir(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() /
             ("motefield-wintest-" + std::to_string(GetCurrentProcessId()) + "-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

void HostTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir_ = ScratchDir(std::string(info->test_suite_name()) + "." + info->name());
  options_.plugin_path = PluginPath();
  options_.preferences_path = Utf8((dir_ / L"preferences.json").wstring());
  host_ = std::make_unique<mf::host::Host>(options_);
}

void HostTest::TearDown() {
  host_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void HostTest::RestartHost() {
  host_.reset();
  host_ = std::make_unique<mf::host::Host>(options_);
}

}  // namespace mf::wintest
