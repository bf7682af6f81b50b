#include "Worlds.h"

#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <vector>

#include "PixelTraits.h"

namespace mf::host {
namespace {

constexpr uint32_t kRecordMagic = 0x4D465744;  // "MFWD"
constexpr int64_t kSmallestClassBytes = 256;
constexpr int kClassCount = 11;  // 256 B … 256 KiB
static_assert((kSmallestClassBytes << (kClassCount - 1)) == kLargestPooledBytes);
// A world larger than this is refused as out of memory rather than attempted: on a system that
// over-commits, the allocation would succeed and clearing it would take the machine down.
constexpr int64_t kLargestWorldBytes = int64_t{1} << 32;
constexpr std::size_t kRecordBytes = 64;  // the pixels start one cache line after the record

// Sits in front of every buffer the host makes.
struct alignas(64) BufferRecord {
  uint32_t magic;
  int32_t size_class;  // -1: not pooled
  uint32_t live;
  int64_t capacity;
};
static_assert(sizeof(BufferRecord) == kRecordBytes);

struct Pool {
  std::mutex mutex;
  std::vector<BufferRecord*> free_lists[kClassCount];
  // Every record ever made for a small world (they are never released) and every live large one:
  // a record is only read after it is found here, so a stale or foreign world cannot make the
  // host read freed memory.
  std::set<const BufferRecord*> known;
  int live_worlds = 0;
  WorldPoolStats stats{0, 0};
};

Pool& ThePool() {
  static Pool* pool = new Pool;  // never destroyed: worlds may be freed during static teardown
  return *pool;
}

int SizeClassOf(int64_t bytes) {
  int k = 0;
  while (k < kClassCount && (kSmallestClassBytes << k) < bytes) ++k;
  return k < kClassCount ? k : -1;
}

BufferRecord* AllocateRecord(int64_t capacity, int size_class) {
  void* raw =
      ::operator new (kRecordBytes + (std::size_t)capacity, std::align_val_t{64}, std::nothrow);
  if (!raw) return nullptr;
  auto* record = new (raw) BufferRecord{kRecordMagic, size_class, 0, capacity};
  return record;
}

void ReleaseRecord(BufferRecord* record) {
  record->magic = 0;
  ::operator delete (record, std::align_val_t{64});
}

char* PixelsOf(BufferRecord* record) {
  return reinterpret_cast<char*>(record) + kRecordBytes;
}

bool KnownFormat(A_long code) {
  return BytesPerPixel(code) != 0;
}

}  // namespace

PF_Err MakeWorld(A_long width, A_long height, PF_PixelFormat format, bool clear,
                 PF_EffectWorld* world) {
  if (!world) return PF_Err_BAD_CALLBACK_PARAM;
  std::memset(world, 0, sizeof(*world));
  const int bpp = BytesPerPixel(format);
  if (width < 0 || height < 0 || bpp == 0) return PF_Err_BAD_CALLBACK_PARAM;

  const int64_t rowbytes = ((int64_t)width * bpp + 15) / 16 * 16;
  const int64_t bytes = rowbytes * height;
  if (rowbytes > INT32_MAX || bytes > kLargestWorldBytes) return PF_Err_OUT_OF_MEMORY;

  Pool& pool = ThePool();
  BufferRecord* record = nullptr;
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    const int size_class = SizeClassOf(bytes);
    if (size_class >= 0 && !pool.free_lists[size_class].empty()) {
      record = pool.free_lists[size_class].back();
      pool.free_lists[size_class].pop_back();
      ++pool.stats.pool_reuses;
    } else {
      const int64_t capacity = size_class >= 0 ? kSmallestClassBytes << size_class : bytes;
      record = AllocateRecord(capacity, size_class);
      if (!record) return PF_Err_OUT_OF_MEMORY;
      try {
        pool.known.insert(record);
      } catch (const std::bad_alloc&) {
        ReleaseRecord(record);
        return PF_Err_OUT_OF_MEMORY;
      }
      ++pool.stats.heap_allocations;
    }
    record->live = 1;
    ++pool.live_worlds;
  }

  if (clear) std::memset(PixelsOf(record), 0, (std::size_t)bytes);
  world->world_flags =
      PF_WorldFlag_WRITEABLE | (format == PF_PixelFormat_ARGB64 ? PF_WorldFlag_DEEP : 0);
  world->data = reinterpret_cast<PF_PixelPtr>(PixelsOf(record));
  world->rowbytes = (A_long)rowbytes;
  world->width = width;
  world->height = height;
  world->extent_hint = PF_LRect{0, 0, width, height};
  world->pix_aspect_ratio = PF_RationalScale{1, 1};
  world->reserved_long1 = format;
  world->reserved_long4 = record;
  return PF_Err_NONE;
}

PF_Err FreeWorld(PF_EffectWorld* world) {
  if (!world || !world->reserved_long4) return PF_Err_BAD_CALLBACK_PARAM;
  auto* record = static_cast<BufferRecord*>(world->reserved_long4);
  Pool& pool = ThePool();
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    if (!pool.known.count(record) || record->magic != kRecordMagic || !record->live ||
        reinterpret_cast<char*>(world->data) != PixelsOf(record)) {
      return PF_Err_BAD_CALLBACK_PARAM;
    }
    record->live = 0;
    --pool.live_worlds;
    if (record->size_class >= 0) {
      // push_back allocates only while the pool grows to its high-water mark.
      try {
        pool.free_lists[record->size_class].push_back(record);
      } catch (const std::bad_alloc&) {
        pool.known.erase(record);
        ReleaseRecord(record);
      }
    } else {
      pool.known.erase(record);
      ReleaseRecord(record);
    }
  }
  std::memset(world, 0, sizeof(*world));
  return PF_Err_NONE;
}

void DescribeWorld(void* data, A_long rowbytes, A_long width, A_long height, PF_PixelFormat format,
                   PF_EffectWorld* world) {
  if (!world) return;
  std::memset(world, 0, sizeof(*world));
  world->world_flags =
      PF_WorldFlag_WRITEABLE | (format == PF_PixelFormat_ARGB64 ? PF_WorldFlag_DEEP : 0);
  world->data = static_cast<PF_PixelPtr>(data);
  world->rowbytes = rowbytes;
  world->width = width;
  world->height = height;
  world->extent_hint = PF_LRect{0, 0, width, height};
  world->pix_aspect_ratio = PF_RationalScale{1, 1};
  world->reserved_long1 = format;
}

std::optional<PF_PixelFormat> FormatOf(const PF_EffectWorld& world) {
  if (KnownFormat(world.reserved_long1)) return world.reserved_long1;
  return std::nullopt;
}

std::optional<PF_PixelFormat> UsableFormat(const PF_EffectWorld* world) {
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

const PF_EffectWorld* SnapshotIfShared(const PF_EffectWorld& src, const PF_EffectWorld& dst,
                                       std::vector<unsigned char>& scratch,
                                       PF_EffectWorld* snapshot) {
  if (src.data != dst.data || !src.data) return &src;
  auto format = FormatOf(src);
  if (!format) return &src;
  const std::size_t row = (std::size_t)src.width * BytesPerPixel(*format);
  scratch.resize(row * (std::size_t)src.height);
  for (A_long y = 0; y < src.height; ++y) {
    std::memcpy(scratch.data() + row * y, PixelAt<char>(src, 0, y), row);
  }
  DescribeWorld(scratch.data(), (A_long)row, src.width, src.height, *format, snapshot);
  return snapshot;
}

int LiveWorldCount() {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  return pool.live_worlds;
}

WorldPoolStats PoolStats() {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  return pool.stats;
}

}  // namespace mf::host
