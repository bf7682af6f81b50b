#include "host/PluginLibrary.h"

#include <dlfcn.h>

#include <stdexcept>

namespace mf::host {

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

}  // namespace mf::host
