// What a module handle is outside Windows: the compiled resource script of the module, as the
// plug-in embeds it in its own library. Windows hands a DLL its HINSTANCE at attach; the
// plug-in's load-time constructor makes one from the bounds of its resource section instead.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Win32.h"

namespace mf::platform {

struct ModuleImage {
  const uint8_t* data;
  size_t size;
};

inline HINSTANCE ToInstance(const ModuleImage* image) {
  return reinterpret_cast<HINSTANCE>(const_cast<ModuleImage*>(image));
}

inline const ModuleImage* FromInstance(HINSTANCE instance) {
  return reinterpret_cast<const ModuleImage*>(instance);
}

}  // namespace mf::platform
