// Bitmaps and memory device contexts of the stand-in graphics interface. LoadBitmapA reads a
// bitmap resource of a module into a bitmap object; GetDIBits hands its pixels out in the layout
// the caller describes, as Windows does for device-independent bitmaps.
#pragma once

#include <cstddef>

#include "PlatformExport.h"

namespace mf::platform {

// How many bitmaps and device contexts are alive: what a caller that forgets DeleteObject or
// DeleteDC leaves behind.
struct GdiObjectCounts {
  size_t bitmaps = 0;
  size_t device_contexts = 0;
};
MF_PLATFORM_CXX GdiObjectCounts LiveGdiObjects();

}  // namespace mf::platform
