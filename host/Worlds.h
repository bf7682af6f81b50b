// Worlds the host makes: the layout of their buffers, the pool that serves small ones, and the
// pixel format each world carries.
//
// Layout: rows are padded to a multiple of 16 bytes, so rowbytes is generally larger than
// width × bytes per pixel and code that ignores rowbytes shows up in tests. The pixel format is
// kept in the world itself (reserved_long1 holds the format code; world_flags has
// PF_WorldFlag_WRITEABLE, plus PF_WorldFlag_DEEP for 16-bit), so PF_GetPixelFormat answers for
// any host world, whoever asked for it. reserved_long4 points at the host's buffer record;
// reserved0 is left alone because a layer parameter uses it as its "a layer is chosen" marker.
//
// Pool: the render makes and disposes a tiny world for every point of a cloud of millions, so a
// buffer of up to kLargestPooledBytes is served from free lists by power-of-two size class and
// returns there on disposal; each thread keeps the few it disposed of last for itself, so that in
// steady state making and disposing a small world takes no lock. Pooled buffers are never given
// back to the system while the process lives; the pool's size is bounded by the largest number of
// small worlds alive at one time. In steady state making and disposing a small world touches no
// allocator. Larger worlds (layers, outputs, canvases) come straight from the heap.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>

#include "AE_Effect.h"
#include "PixelTraits.h"

namespace mf::host {

// Zeroes a world record. Written as a copy of a zero record, which compilers turn into a few
// vector stores: a plain zeroing becomes a string store whose start-up costs more than the rest
// of making or disposing of a small world.
inline void ClearWorldRecord(PF_EffectWorld* world) {
  static constexpr PF_EffectWorld kNone{};
  std::memcpy(world, &kNone, sizeof kNone);
}

// Buffers of up to this many bytes are pooled.
inline constexpr int64_t kLargestPooledBytes = 256 * 1024;

// Makes a world of width × height in the given format; clear sets every byte to 0. Returns
// PF_Err_BAD_CALLBACK_PARAM for a null world, a negative size or an unknown format, and
// PF_Err_OUT_OF_MEMORY when the buffer cannot be had. On failure *world is zeroed.
PF_Err MakeWorld(A_long width, A_long height, PF_PixelFormat format, bool clear,
                 PF_EffectWorld* world);

// Returns a world made by MakeWorld; *world is zeroed so that a second disposal through the same
// record is refused. A world the host did not make (or already disposed) gives
// PF_Err_BAD_CALLBACK_PARAM and is left as it is.
PF_Err FreeWorld(PF_EffectWorld* world);
// Large buffers are kept after FreeWorld for the next frame's worlds of the same size; this hands
// them back to the system (the host does when it goes away).
void ReleaseSpareWorlds();

// Describes memory owned elsewhere as a world of the given format (rowbytes as given), so the
// image services accept it; FreeWorld refuses such a world.
void DescribeWorld(void* data, A_long rowbytes, A_long width, A_long height, PF_PixelFormat format,
                   PF_EffectWorld* world);

// The pixel format a world carries; absent for a world that carries none the host knows. Inline,
// as every image service asks it of every world it is handed, several times for each point.
inline std::optional<PF_PixelFormat> FormatOf(const PF_EffectWorld& world) {
  if (BytesPerPixel(world.reserved_long1) != 0) return world.reserved_long1;
  return std::nullopt;
}

// The format of a world the image services may read or write: absent for a null world, an
// unknown format, a negative size, missing pixels or rows shorter than the width.
inline std::optional<PF_PixelFormat> UsableFormat(const PF_EffectWorld* world) {
  if (!world) return std::nullopt;
  auto format = FormatOf(*world);
  if (!format || world->width < 0 || world->height < 0) return std::nullopt;
  if (world->width > 0 && world->height > 0) {
    if (!world->data) return std::nullopt;
    const int64_t row = (int64_t)world->width * BytesPerPixel(*format);
    if (world->rowbytes < row && -(int64_t)world->rowbytes < row) return std::nullopt;
  }
  return format;
}

// Worlds made by MakeWorld and not yet freed, over the process; tests compare it before and after.
int LiveWorldCount();

// A copy of src's pixels, in the calling thread's scratch, described in *snapshot.
const PF_EffectWorld* SnapshotOf(const PF_EffectWorld& src, PF_EffectWorld* snapshot);

// When src and dst share their pixels, a snapshot of src (SnapshotOf), so an operation reading src
// while writing dst sees the pixels as they were; src itself otherwise. Inline, so that worlds
// apart (every point's stamp and its canvas) cost only the comparison.
inline const PF_EffectWorld* SnapshotIfShared(const PF_EffectWorld& src, const PF_EffectWorld& dst,
                                              PF_EffectWorld* snapshot) {
  if (src.data != dst.data || !src.data) return &src;
  return SnapshotOf(src, snapshot);
}

struct WorldPoolStats {
  int64_t heap_allocations;  // buffers taken from the system (pooled or not)
  int64_t pool_reuses;       // small worlds served from a free list
};
WorldPoolStats PoolStats();

}  // namespace mf::host
