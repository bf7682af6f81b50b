#include "host/PluginLibrary.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <stdexcept>

namespace mf::host {

#if defined(_WIN32)

// Paths are UTF-8 everywhere in the host; Windows takes them as UTF-16.
namespace {
std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
  std::wstring wide(n, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), wide.data(), n);
  return wide;
}
}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
  HMODULE module = LoadLibraryW(Wide(path).c_str());
  if (!module) {
    throw std::runtime_error("cannot load the plug-in " + path + ": error " +
                             std::to_string(GetLastError()));
  }
  handle_ = module;
  entry_ = reinterpret_cast<PF_EntryPointFunc>(
      reinterpret_cast<void*>(GetProcAddress(module, "EntryPointFunc")));
  if (!entry_) {
    FreeLibrary(module);
    throw std::runtime_error("the plug-in " + path + " does not export EntryPointFunc");
  }
}

PluginLibrary::~PluginLibrary() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

#else

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = dlerror();
    throw std::runtime_error("cannot load the plug-in " + path + ": " + (why ? why : "unknown"));
  }
  entry_ = reinterpret_cast<PF_EntryPointFunc>(dlsym(handle_, "EntryPointFunc"));
  if (!entry_) {
    dlclose(handle_);
    throw std::runtime_error("the plug-in " + path + " does not export EntryPointFunc");
  }
}

PluginLibrary::~PluginLibrary() {
  if (handle_) dlclose(handle_);
}

#endif

}  // namespace mf::host
