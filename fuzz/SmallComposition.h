// The small composition the fuzz targets and the fault sweep render into, and what the host has
// lent out, which every command they drive must give back.
#pragma once

#include <cstddef>
#include <vector>
#include <memory>
#include <ostream>
#include <string>

#include "host/Composition.h"
#include "host/Host.h"

namespace mf::fuzz {

// Layers of the small composition, lights last.
enum : int {
  kCameraLayer,
  kSolidLayer,
  kColourLayer,
  kPositionLayer,
  kNormalLayer,
  kTextureLayer,
  kLightLayer
};

struct SmallLight {
  const char* name;
  AEGP_LightType type;
};

// A perspective camera at (0, 0, -100) with zoom 100, the solid "Cloud" of the composition's size
// under the effect, four footage passes of pass_size square ("beauty", "P", "N", "texture"), then
// the lights, each white, at (20, -10, -50) with intensity 80.
std::unique_ptr<host::Composition> SmallComposition(int width, int height, int pass_size,
                                                    const std::vector<SmallLight>& lights);

struct Holdings {
  size_t handles;
  int worlds, suites, mem_handles, streams, effects;
  size_t checkouts;
  int drawing_images;
  size_t bitmaps, device_contexts;
  bool operator==(const Holdings&) const = default;
};

Holdings Held(host::Host& host);
std::string Describe(const Holdings& h);
inline void PrintTo(const Holdings& h, std::ostream* os) {
  *os << Describe(h);
}

}  // namespace mf::fuzz
