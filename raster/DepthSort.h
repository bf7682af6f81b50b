// Orders the cloud's points farthest first, so that nearer stamps are drawn over farther ones.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "AE_Effect.h"
#include "raster/RenderRecords.h"

namespace mf {

// Sort key of a depth: ascending keys are descending depths. NaN sorts before everything (a point
// of unknown depth is drawn first, under all the others) and -0.0 equals +0.0, which makes the
// order a strict weak one whatever the depths hold.
inline uint32_t DescendingDepthKey(float depth) {
  if (depth != depth) return 0;
  if (depth == 0.0f) depth = 0.0f;
  const uint32_t bits = std::bit_cast<uint32_t>(depth);
  const uint32_t ascending = (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
  return ~ascending;  // at least 0x007FFFFF (+inf) for any non-NaN depth
}

// Sorts records [lo, hi] (inclusive) by non-increasing depth, in place. Records of equal depth
// keep their storage order, so the result is the same as that of repeated neighbour swaps; the
// time is linear in the count (a radix sort on the keys, then one pass moving the records). The
// work space is 16 bytes per record for the keys.
// Indices outside the array's meaning (lo < 0, hi < lo) sort nothing.
void SortByDepthDescending(CloudPoint* records, A_long lo, A_long hi);

namespace detail {

// The radix sort's digits of the 32-bit key in an entry's high half: 11, 11 and 10 bits.
inline constexpr int kRadixDigits = 3;
inline constexpr int kRadixShift[kRadixDigits] = {32, 43, 54};
inline constexpr uint32_t kRadixMask[kRadixDigits] = {0x7FF, 0x7FF, 0x3FF};
inline constexpr std::size_t kRadixBuckets = 2048;
// One histogram per digit, as CountRadixDigits fills them.
using RadixCounts = std::array<uint32_t, kRadixDigits * kRadixBuckets>;

inline uint32_t RadixDigit(uint64_t entry, int d) {
  return static_cast<uint32_t>(entry >> kRadixShift[d]) & kRadixMask[d];
}
inline void CountRadixDigits(uint64_t entry, RadixCounts& counts) {
  for (int d = 0; d < kRadixDigits; ++d) ++counts[d * kRadixBuckets + RadixDigit(entry, d)];
}

// The digits not every entry shares, in sorting order, with their histograms turned into
// starting places; returns how many there are.
inline int PrepareRadixPasses(uint64_t first, std::size_t n, RadixCounts& counts,
                              int (&passes)[kRadixDigits]) {
  int count = 0;
  for (int d = 0; d < kRadixDigits; ++d) {
    uint32_t* c = &counts[d * kRadixBuckets];
    if (c[RadixDigit(first, d)] == n) continue;
    uint32_t total = 0;
    for (uint32_t i = 0; i <= kRadixMask[d]; ++i) {
      const uint32_t k = c[i];
      c[i] = total;
      total += k;
    }
    passes[count++] = d;
  }
  return count;
}

// Stable radix sort of n (key, index) pairs on the 32-bit key in the high half, through the work
// space tmp of n pairs, skipping a digit every pair shares. The result ends in a.
inline void RadixSortEntries(uint64_t* a, uint64_t* tmp, std::size_t n) {
  if (n == 0) return;
  auto counts = std::make_unique<RadixCounts>();
  for (std::size_t i = 0; i < n; ++i) CountRadixDigits(a[i], *counts);
  int passes[kRadixDigits];
  const int count = PrepareRadixPasses(a[0], n, *counts, passes);
  uint64_t* from = a;
  uint64_t* to = tmp;
  for (int p = 0; p < count; ++p) {
    uint32_t* c = &(*counts)[passes[p] * kRadixBuckets];
    for (std::size_t i = 0; i < n; ++i) to[c[RadixDigit(from[i], passes[p])]++] = from[i];
    std::swap(from, to);
  }
  if (from != a) std::copy(from, from + n, a);
}

// The low halves (indices) of n sorted pairs, written as n uint32_t to order, which may be the
// pairs' own memory: each index is then written at or below the pair it came from, after that was
// read.
inline uint32_t* WriteEntryIndices(const uint64_t* sorted, std::size_t n, uint32_t* order) {
  for (std::size_t i = 0; i < n; ++i) {
    const uint32_t index = static_cast<uint32_t>(sorted[i]);
    std::memcpy(order + i, &index, sizeof index);
  }
  return order;
}

// The same sort, ending in the indices alone: the low halves of the sorted pairs, written over
// a's memory as n uint32_t, which are returned. counts holds the pairs' digits (CountRadixDigits
// over every pair) and is used up. When the last pass reads the work space, it writes the indices
// straight to their places; otherwise they are taken from the sorted pairs in one more walk.
inline uint32_t* RadixOrderEntries(uint64_t* a, uint64_t* tmp, std::size_t n, RadixCounts& counts) {
  uint32_t* order = reinterpret_cast<uint32_t*>(a);
  if (n == 0) return order;
  int passes[kRadixDigits];
  const int count = PrepareRadixPasses(a[0], n, counts, passes);
  uint64_t* from = a;
  uint64_t* to = tmp;
  for (int p = 0; p < count; ++p) {
    uint32_t* c = &counts[passes[p] * kRadixBuckets];
    if (p == count - 1 && from == tmp) {
      for (std::size_t i = 0; i < n; ++i) {
        const uint32_t index = static_cast<uint32_t>(from[i]);
        std::memcpy(order + c[RadixDigit(from[i], passes[p])]++, &index, sizeof index);
      }
      return order;
    }
    for (std::size_t i = 0; i < n; ++i) to[c[RadixDigit(from[i], passes[p])]++] = from[i];
    std::swap(from, to);
  }
  return WriteEntryIndices(from, n, order);
}

inline void RadixSortKeyed(std::vector<uint64_t>& a, std::vector<uint64_t>& tmp) {
  RadixSortEntries(a.data(), tmp.data(), a.size());
}

// Moves records so that position i receives the record at order(i), following the permutation's
// cycles with one record in hand; order is destroyed. Needs no memory, but every step waits for
// the previous one's load, so it is the slow path.
template <typename T>
void ApplyOrderInPlace(T* rec, std::vector<uint64_t>& order) {
  const std::size_t n = order.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (static_cast<uint32_t>(order[i]) == i) continue;
    T held = rec[i];
    std::size_t j = i;
    for (;;) {
      const std::size_t k = static_cast<uint32_t>(order[j]);
      order[j] = j;
      if (k == i) {
        rec[j] = held;
        break;
      }
      rec[j] = rec[k];
      j = k;
    }
  }
}

// The same by gathering into a copy of the records and copying back. For small records the loads
// are independent and the memory system overlaps them (about twenty times faster than the walk on
// millions of floats); for records of a few cache lines, such as CloudPoint, both ways cost the
// same random reads, so those keep the walk and need no second copy of the cloud. Falls back to
// the walk when the copy cannot be had.
template <typename T>
void ApplyOrder(T* rec, std::vector<uint64_t>& order) {
  const std::size_t n = order.size();
  if constexpr (sizeof(T) > 32) {
    ApplyOrderInPlace(rec, order);
    return;
  }
  try {
    std::unique_ptr<T[]> gathered(new T[n]);  // left uninitialised: every slot is written
    for (std::size_t i = 0; i < n; ++i) gathered[i] = rec[static_cast<uint32_t>(order[i])];
    std::copy(gathered.get(), gathered.get() + n, rec);
  } catch (const std::bad_alloc&) {
    ApplyOrderInPlace(rec, order);
  }
}

}  // namespace detail

// The sort behind SortByDepthDescending for any record type; depth_of(record) gives its depth.
// Stable. n must stay below 2^32.
template <typename T, typename DepthOf>
void SortDescendingByDepth(T* rec, std::size_t n, DepthOf depth_of) {
  if (n < 2) return;
  auto key = [&](const T& r) { return DescendingDepthKey(depth_of(r)); };

  bool sorted = true;
  for (std::size_t i = 1; i < n && sorted; ++i) sorted = key(rec[i - 1]) <= key(rec[i]);
  if (sorted) return;

  if (n <= 32) {
    for (std::size_t i = 1; i < n; ++i) {
      if (key(rec[i - 1]) <= key(rec[i])) continue;
      T held = rec[i];
      const uint32_t k = key(held);
      std::size_t j = i;
      for (; j > 0 && key(rec[j - 1]) > k; --j) rec[j] = rec[j - 1];
      rec[j] = held;
    }
    return;
  }

  try {
    std::vector<uint64_t> pairs(n), tmp(n);
    for (std::size_t i = 0; i < n; ++i)
      pairs[i] = (static_cast<uint64_t>(key(rec[i])) << 32) | static_cast<uint64_t>(i);
    detail::RadixSortKeyed(pairs, tmp);
    std::vector<uint64_t>().swap(tmp);  // give the radix buffer back before the records' copy
    detail::ApplyOrder(rec, pairs);
  } catch (const std::bad_alloc&) {
    // No room for the keys: merge the records themselves. std::stable_sort falls back to an
    // in-place merge when it cannot get a buffer, so this path needs no memory.
    std::stable_sort(rec, rec + n, [&](const T& a, const T& b) { return key(a) < key(b); });
  }
}

// The same order without moving the records: fills order with the indices of the n records,
// farthest first, equal depths in storage order. Moving a few bytes of key and index is several
// times cheaper than moving large records, and drawing can follow the order directly.
template <typename T, typename DepthOf>
void DepthOrder(const T* rec, std::size_t n, DepthOf depth_of, std::vector<uint32_t>& order) {
  order.resize(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(i);
  if (n < 2) return;
  auto key = [&](uint32_t i) { return DescendingDepthKey(depth_of(rec[i])); };
  try {
    std::vector<uint64_t> pairs(n);
    bool sorted = true;
    for (std::size_t i = 0; i < n; ++i) {
      pairs[i] =
          (static_cast<uint64_t>(key(static_cast<uint32_t>(i))) << 32) | static_cast<uint64_t>(i);
      sorted = sorted && (i == 0 || pairs[i - 1] <= pairs[i]);
    }
    if (sorted) return;
    {
      std::vector<uint64_t> tmp(n);
      detail::RadixSortKeyed(pairs, tmp);
    }
    for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(pairs[i]);
  } catch (const std::bad_alloc&) {
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
  }
}

}  // namespace mf
