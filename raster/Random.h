// The random generator behind scatter: a linear congruential generator with a per-thread 32-bit
// state, so that one seed gives the same cloud on every platform and every thread. The platform's
// own rand is not used: its sequence differs between runtimes.
#pragma once

#include <cstdint>

namespace mf {

// Largest value NextRandom returns.
inline constexpr int kRandomMax = 0x7FFF;

// Sets this thread's state. Every render reseeds before it draws.
void SeedRandom(uint32_t seed);

// Advances this thread's state (s ← s × 214013 + 2531011 modulo 2^32) and returns
// (s >> 16) & 0x7FFF.
int NextRandom();

// lo + (hi − lo) × (R ÷ 32767), R the next value of NextRandom.
float RandomBetween(float lo, float hi);

}  // namespace mf
