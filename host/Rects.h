// Half-open rectangle arithmetic for the image services.
#pragma once

#include <algorithm>

#include "AE_Effect.h"

namespace mf::host {

inline PF_LRect WorldRect(const PF_EffectWorld& world) {
  return PF_LRect{0, 0, world.width, world.height};
}

inline bool IsEmpty(const PF_LRect& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

inline PF_LRect Intersect(const PF_LRect& a, const PF_LRect& b) {
  return PF_LRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                  std::min(a.bottom, b.bottom)};
}

// The rectangle given, or the whole world when none is given.
inline PF_LRect RectOrWorld(const PF_LRect* r, const PF_EffectWorld& world) {
  return r ? *r : WorldRect(world);
}

}  // namespace mf::host
