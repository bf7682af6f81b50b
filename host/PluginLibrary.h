// The plug-in loaded with the system's dynamic loader; unloaded when this goes away.
#pragma once

#include <string>

#include "AE_Effect.h"

namespace mf::host {

class PluginLibrary {
 public:
  // Throws std::runtime_error naming the file when it cannot be loaded or lacks the entry point.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  PF_EntryPointFunc entry() const { return entry_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  void* handle_ = nullptr;
  PF_EntryPointFunc entry_ = nullptr;
};

}  // namespace mf::host
