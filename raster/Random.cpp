#include "raster/Random.h"

namespace mf {

namespace {
// A fresh thread starts as if seeded with 1.
thread_local uint32_t t_random_state = 1;
}  // namespace

void SeedRandom(uint32_t seed) {
  t_random_state = seed;
}

int NextRandom() {
  // Unsigned arithmetic wraps modulo 2^32 by definition.
  t_random_state = t_random_state * 214013u + 2531011u;
  return static_cast<int>((t_random_state >> 16) & 0x7FFFu);
}

float RandomBetween(float lo, float hi) {
  // The divisor is a double, so the scaling is done in double and rounded once.
  const int r = NextRandom();
  return static_cast<float>(lo + (hi - lo) * (r / 32767.0));
}

}  // namespace mf
