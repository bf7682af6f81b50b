// Zeroing of the plain records the drawing makes for every point.
#pragma once

#include <cstring>
#include <type_traits>

namespace mf {

// Zeroes a plain record. Written as a copy of a zero record, which compilers turn into a few
// vector stores: a plain zeroing of a record of this size becomes a string store, whose start-up
// costs more than the work around it where a record is zeroed for every point of a frame.
template <class T>
inline void ZeroRecord(T* record) {
  static_assert(std::is_trivially_copyable_v<T>);
  static constexpr T kZero{};
  std::memcpy(record, &kZero, sizeof(T));
}

}  // namespace mf
