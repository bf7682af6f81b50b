#include "Worlds.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cstring>
#include <deque>
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
  int32_t size_class;  // -1: not pooled, mapped from the system on its own
  // Taken back to 0 by one exchange, so that of two disposals of one world (a stale copy, maybe on
  // another thread) exactly one succeeds.
  std::atomic<uint32_t> live;
  uint32_t untouched;  // fresh from the system: every byte still zero
  int64_t capacity;
};
static_assert(sizeof(BufferRecord) == kRecordBytes);
static_assert(kSmallestClassBytes % kRecordBytes == 0);  // pooled capacities are whole lines

class LocalWorlds;

struct Pool {
  std::mutex mutex;
  std::vector<BufferRecord*> free_lists[kClassCount];
  // Every record ever made for a small world (they are never released) and every live large one:
  // a record is only read after it is found here, so a stale or foreign world cannot make the
  // host read freed memory.
  std::set<const BufferRecord*> known;
  // Large buffers disposed of, kept for the next frame's worlds of the same size until the host
  // goes away (ReleaseSpareWorlds); the oldest go back to the system beyond kSpareLimit.
  std::deque<BufferRecord*> spares;
  // Each thread counts its own worlds (LocalWorlds); these hold the counts of threads that ended.
  // Linked through the threads' own records, so that a thread's first host call never allocates.
  LocalWorlds* locals = nullptr;
  int64_t ended_live = 0, ended_reuses = 0;
  int64_t heap_allocations = 0;
};
constexpr std::size_t kSpareLimit = 8;

Pool& ThePool() {
  static Pool* pool = new Pool;  // never destroyed: worlds may be freed during static teardown
  return *pool;
}

int SizeClassOf(int64_t bytes) {
  int k = 0;
  while (k < kClassCount && (kSmallestClassBytes << k) < bytes) ++k;
  return k < kClassCount ? k : -1;
}

// Large buffers are mapped from the system directly: their pages arrive zeroed and are only
// made resident when written, so a cleared world that nothing draws into costs no memory.
BufferRecord* AllocateRecord(int64_t capacity, int size_class) {
  const std::size_t bytes = kRecordBytes + (std::size_t)capacity;
  void* raw = nullptr;
  if (size_class < 0) {
#if defined(_WIN32)
    raw = ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!raw) return nullptr;
#else
    raw = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    // Layers are walked a column at a time and the canvas is drawn at scattered places: with
    // small pages nearly every access of a frame-sized world misses the address cache. A refusal
    // only costs that speed.
    ::madvise(raw, bytes, MADV_HUGEPAGE);
#endif
  } else {
    raw = ::operator new (bytes, std::align_val_t{64}, std::nothrow);
    if (!raw) return nullptr;
  }
  return new (raw) BufferRecord{kRecordMagic, size_class, 0, size_class < 0 ? 1u : 0u, capacity};
}

void ReleaseRecord(BufferRecord* record) {
  record->magic = 0;
  if (record->size_class < 0) {
#if defined(_WIN32)
    ::VirtualFree(record, 0, MEM_RELEASE);
#else
    ::munmap(record, kRecordBytes + (std::size_t)record->capacity);
#endif
  } else {
    ::operator delete (record, std::align_val_t{64});
  }
}

// A thread's own small buffers, so that the tiny world of every point is made and disposed of
// without the pool's lock: those it disposed of last, to be made again, and those it handed out
// last, which it may take back without looking them up (a small record is never released, so
// one handed out stays safe to read). A thread that ends gives its buffers back to the pool.
class LocalWorlds {
 public:
  // A count only its own thread changes, so without a locked instruction, and any thread reads.
  class Count {
   public:
    void add(int64_t n) {
      value_.store(value_.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
    }
    int64_t get() const { return value_.load(std::memory_order_relaxed); }

   private:
    std::atomic<int64_t> value_{0};
  };

  LocalWorlds() {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    next_ = pool.locals;
    if (next_) next_->prev_ = this;
    pool.locals = this;
  }
  ~LocalWorlds() {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    for (int k = 0; k < kClassCount; ++k) {
      for (int i = 0; i < count_[k]; ++i) GiveBack(pool, free_[k][i]);
    }
    pool.ended_live += live.get();
    pool.ended_reuses += reuses.get();
    (prev_ ? prev_->next_ : pool.locals) = next_;
    if (next_) next_->prev_ = prev_;
  }

  Count live, reuses;  // worlds made less those disposed of on this thread; small ones reused
  const LocalWorlds* next() const { return next_; }

  BufferRecord* take(int size_class) {
    return count_[size_class] ? free_[size_class][--count_[size_class]] : nullptr;
  }
  bool keep(BufferRecord* record) {
    const int k = record->size_class;
    if (count_[k] == kDepth) return false;
    free_[k][count_[k]++] = record;
    return true;
  }
  void noteIssued(const BufferRecord* record) { issued_[next_issued_++ % kDepth] = record; }
  bool issuedHere(const BufferRecord* record) const {
    for (const BufferRecord* r : issued_) {
      if (r == record) return true;
    }
    return false;
  }

  // Back on the pool's free list of its class; the pool's lock is held.
  static void GiveBack(Pool& pool, BufferRecord* record) {
    // push_back allocates only while the pool grows to its high-water mark. Without room, the
    // buffer is left out of the pool rather than released: a thread may still name it among
    // those it handed out, and reads it on a stale dispose.
    try {
      pool.free_lists[record->size_class].push_back(record);
    } catch (const std::bad_alloc&) {
    }
  }

 private:
  static constexpr int kDepth = 8;
  BufferRecord* free_[kClassCount][kDepth] = {};
  int count_[kClassCount] = {};
  const BufferRecord* issued_[kDepth] = {};
  unsigned next_issued_ = 0;
  LocalWorlds* prev_ = nullptr;
  LocalWorlds* next_ = nullptr;
};

LocalWorlds& Local() {
  thread_local LocalWorlds local;
  return local;
}

// A kept large buffer of exactly this capacity, taken out of the spares; null when none.
BufferRecord* TakeSpare(Pool& pool, int64_t capacity) {
  for (auto it = pool.spares.begin(); it != pool.spares.end(); ++it) {
    if ((*it)->capacity != capacity) continue;
    BufferRecord* record = *it;
    pool.spares.erase(it);
    return record;
  }
  return nullptr;
}

char* PixelsOf(BufferRecord* record) {
  return reinterpret_cast<char*>(record) + kRecordBytes;
}

// Zeroes a buffer's pixels. A mapped buffer hands its whole pages back to the system instead,
// which gives them again as zeroes when they are next written: a cleared world that nothing
// draws into (an effect's blank input) then costs no memory, however often it is reused.
void ClearPixels(BufferRecord* record, int64_t bytes) {
  char* pixels = PixelsOf(record);
#if !defined(_WIN32)
  static const int64_t page = ::sysconf(_SC_PAGESIZE);
  if (record->size_class < 0 && page > 0 && bytes > 4 * page) {
    char* start = reinterpret_cast<char*>(record) + page;  // the mapping starts on a page
    const int64_t head = start - pixels;
    const int64_t whole = (bytes - head) / page * page;
    if (::madvise(start, (std::size_t)whole, MADV_DONTNEED) == 0) {
      std::memset(pixels, 0, (std::size_t)head);
      std::memset(start + whole, 0, (std::size_t)(bytes - head - whole));
      return;
    }
  }
#endif
  std::memset(pixels, 0, (std::size_t)bytes);
}

// Zeroes a pooled buffer's pixels in whole cache lines (its capacity is a multiple of one and
// the pixels start on one): a point's tiny world is cleared in a few stores, without a call into
// the C library.
void ClearPooledPixels(BufferRecord* record, int64_t bytes) {
  char* pixels = PixelsOf(record);
  for (int64_t at = 0; at < bytes; at += kRecordBytes) std::memset(pixels + at, 0, kRecordBytes);
}

// Whether the world names this live record, which it then no longer is.
bool TakeLive(const PF_EffectWorld* world, BufferRecord* record) {
  return record->magic == kRecordMagic &&
         reinterpret_cast<char*>(world->data) == PixelsOf(record) &&
         record->live.exchange(0, std::memory_order_acq_rel) == 1;
}

// A buffer for a world when the thread has none of its class at hand: from the pool's free list,
// a kept large buffer, or the system; null when the system has none. Kept out of line, so that
// the common case of a point's world does not pay for this path's registers.
[[gnu::noinline]] BufferRecord* TakeFromPool(LocalWorlds& local, int size_class, int64_t bytes) {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  BufferRecord* record = nullptr;
  if (size_class >= 0 && !pool.free_lists[size_class].empty()) {
    record = pool.free_lists[size_class].back();
    pool.free_lists[size_class].pop_back();
    local.reuses.add(1);
    return record;
  }
  if (size_class < 0) record = TakeSpare(pool, bytes);
  if (!record) {
    const int64_t capacity = size_class >= 0 ? kSmallestClassBytes << size_class : bytes;
    record = AllocateRecord(capacity, size_class);
    if (!record) return nullptr;
    ++pool.heap_allocations;
  }
  try {
    pool.known.insert(record);
  } catch (const std::bad_alloc&) {
    ReleaseRecord(record);
    return nullptr;
  }
  return record;
}

// A small buffer disposed of on the thread that handed it out, beyond what the thread keeps.
[[gnu::noinline]] void GiveBackToPool(BufferRecord* record) {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  LocalWorlds::GiveBack(pool, record);
}

// Disposal of a world this thread did not hand out last: under the pool's lock, where the record
// is looked up before it is read.
[[gnu::noinline]] PF_Err FreeThroughPool(const PF_EffectWorld* world, BufferRecord* record,
                                         LocalWorlds& local) {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  if (!pool.known.count(record) || !TakeLive(world, record)) return PF_Err_BAD_CALLBACK_PARAM;
  local.live.add(-1);
  if (record->size_class >= 0) {
    LocalWorlds::GiveBack(pool, record);
  } else {
    pool.known.erase(record);
    try {
      pool.spares.push_back(record);
    } catch (const std::bad_alloc&) {
      ReleaseRecord(record);
    }
    if (pool.spares.size() > kSpareLimit) {
      ReleaseRecord(pool.spares.front());
      pool.spares.pop_front();
    }
  }
  return PF_Err_NONE;
}

}  // namespace

PF_Err MakeWorld(A_long width, A_long height, PF_PixelFormat format, bool clear,
                 PF_EffectWorld* world) {
  if (!world) return PF_Err_BAD_CALLBACK_PARAM;
  ClearWorldRecord(world);
  const int bpp = BytesPerPixel(format);
  if (width < 0 || height < 0 || bpp == 0) return PF_Err_BAD_CALLBACK_PARAM;

  const int64_t rowbytes = ((int64_t)width * bpp + 15) / 16 * 16;
  const int64_t bytes = rowbytes * height;
  if (rowbytes > INT32_MAX || bytes > kLargestWorldBytes) return PF_Err_OUT_OF_MEMORY;

  LocalWorlds& local = Local();
  const int size_class = SizeClassOf(bytes);
  BufferRecord* record = size_class >= 0 ? local.take(size_class) : nullptr;
  if (record) {
    local.reuses.add(1);
  } else {
    record = TakeFromPool(local, size_class, bytes);
    if (!record) return PF_Err_OUT_OF_MEMORY;
  }
  record->live.store(1, std::memory_order_release);
  local.live.add(1);
  if (size_class >= 0) local.noteIssued(record);
  if (clear && !record->untouched) {
    if (size_class >= 0) {
      ClearPooledPixels(record, bytes);
    } else {
      ClearPixels(record, bytes);
    }
  }
  record->untouched = 0;
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
  LocalWorlds& local = Local();
  PF_Err err = PF_Err_NONE;
  if (local.issuedHere(record)) {
    if (!TakeLive(world, record)) return PF_Err_BAD_CALLBACK_PARAM;
    local.live.add(-1);
    if (!local.keep(record)) GiveBackToPool(record);
  } else {
    err = FreeThroughPool(world, record, local);
  }
  if (!err) ClearWorldRecord(world);
  return err;
}

void ReleaseSpareWorlds() {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  for (BufferRecord* record : pool.spares) ReleaseRecord(record);
  pool.spares.clear();
}

void DescribeWorld(void* data, A_long rowbytes, A_long width, A_long height, PF_PixelFormat format,
                   PF_EffectWorld* world) {
  if (!world) return;
  ClearWorldRecord(world);
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

const PF_EffectWorld* SnapshotOf(const PF_EffectWorld& src, PF_EffectWorld* snapshot) {
  thread_local std::vector<unsigned char> scratch;
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
  int64_t live = pool.ended_live;
  for (const LocalWorlds* local = pool.locals; local; local = local->next()) {
    live += local->live.get();
  }
  return (int)live;
}

WorldPoolStats PoolStats() {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  int64_t reuses = pool.ended_reuses;
  for (const LocalWorlds* local = pool.locals; local; local = local->next()) {
    reuses += local->reuses.get();
  }
  return {pool.heap_allocations, reuses};
}

}  // namespace mf::host
