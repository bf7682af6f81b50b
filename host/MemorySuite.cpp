// Every handle the host gives out is recorded; a handle not in the record (never made, or freed
// already) is refused with PF_Err_BAD_CALLBACK_PARAM instead of being dereferenced, so a double
// free in the effect shows as an error code rather than a crash. Sizes are the suite's unsigned
// 32-bit sizes, taken as they are (a block of up to 4 GiB − 1 is attempted; the system's refusal
// is PF_Err_OUT_OF_MEMORY). A block of size 0 is a valid block with no usable bytes.
#include "MemorySuite.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#if !defined(_WIN32)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "Guarded.h"

namespace mf::host {
namespace {

struct Block {
  void* bytes;
  AEGP_MemSize size;
  int locks;
  std::string what;
};

std::mutex g_mutex;
std::set<Block*>* g_blocks = new std::set<Block*>;  // never destroyed: see OutstandingMemHandles

// The last large block freed, kept for a block of the same size (the next frame's point cache)
// until the host goes away.
constexpr AEGP_MemSize kSpareBlockBytes = AEGP_MemSize{16} << 20;
void* g_spare = nullptr;
AEGP_MemSize g_spare_size = 0;

void* TakeSpareBlock(AEGP_MemSize size, bool clear) {
  if (!g_spare || g_spare_size != size) return nullptr;
  void* bytes = g_spare;
  g_spare = nullptr;
  if (clear) std::memset(bytes, 0, size);
  return bytes;
}

void FreeBytes(void* bytes, AEGP_MemSize size) {
  if (size < kSpareBlockBytes) {
    std::free(bytes);
    return;
  }
  std::free(g_spare);
  g_spare = bytes;
  g_spare_size = size;
}

// A large block (a frame's point cache) is read at scattered places; large pages keep those reads
// from missing the address cache. Only the whole pages inside the block are advised.
void AskForLargePages([[maybe_unused]] void* bytes, [[maybe_unused]] AEGP_MemSize size) {
#if !defined(_WIN32)
  const uintptr_t page = (uintptr_t)::sysconf(_SC_PAGESIZE);
  const uintptr_t begin = ((uintptr_t)bytes + page - 1) / page * page;
  const uintptr_t end = ((uintptr_t)bytes + size) / page * page;
  if (page > 0 && end > begin) ::madvise((void*)begin, end - begin, MADV_HUGEPAGE);
#endif
}

Block* Find(AEGP_MemHandle memH) {
  auto* block = reinterpret_cast<Block*>(memH);
  return g_blocks->count(block) ? block : nullptr;
}

A_Err NewMemHandle(AEGP_PluginID, const A_char* whatZ, AEGP_MemSize size, AEGP_MemFlag flags,
                   AEGP_MemHandle* memPH) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!memPH) return PF_Err_BAD_CALLBACK_PARAM;
  // malloc(0) may return null; one byte keeps "made" and "refused" apart.
  const bool clear = (flags & AEGP_MemFlag_CLEAR) != 0;
  void* bytes = TakeSpareBlock(size, clear);
  if (!bytes) {
    bytes = clear ? std::calloc(size ? size : 1, 1) : std::malloc(size ? size : 1);
    if (bytes && size >= kSpareBlockBytes) AskForLargePages(bytes, size);
  }
  if (!bytes) return PF_Err_OUT_OF_MEMORY;
  Block* block = nullptr;
  try {
    block = new Block{bytes, size, 0, whatZ ? whatZ : ""};
    g_blocks->insert(block);
  } catch (const std::bad_alloc&) {
    delete block;
    std::free(bytes);
    return PF_Err_OUT_OF_MEMORY;
  }
  *memPH = reinterpret_cast<AEGP_MemHandle>(block);
  return PF_Err_NONE;
}

A_Err FreeMemHandle(AEGP_MemHandle memH) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* block = Find(memH);
  if (!block) return PF_Err_BAD_CALLBACK_PARAM;
  g_blocks->erase(block);
  FreeBytes(block->bytes, block->size);
  delete block;
  return PF_Err_NONE;
}

A_Err LockMemHandle(AEGP_MemHandle memH, void** ptrToPtr) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* block = Find(memH);
  if (!block || !ptrToPtr) return PF_Err_BAD_CALLBACK_PARAM;
  ++block->locks;
  *ptrToPtr = block->bytes;
  return PF_Err_NONE;
}

A_Err UnlockMemHandle(AEGP_MemHandle memH) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* block = Find(memH);
  if (!block || block->locks == 0) return PF_Err_BAD_CALLBACK_PARAM;
  --block->locks;
  return PF_Err_NONE;
}

A_Err GetMemHandleSize(AEGP_MemHandle memH, AEGP_MemSize* sizeP) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (sizeP) *sizeP = 0;
  Block* block = Find(memH);
  if (!block || !sizeP) return PF_Err_BAD_CALLBACK_PARAM;
  *sizeP = block->size;
  return PF_Err_NONE;
}

// A locked block cannot move, so resizing one is refused. The contents up to the smaller size
// are kept; bytes beyond the old size are not cleared.
A_Err ResizeMemHandle(const A_char*, AEGP_MemSize new_size, AEGP_MemHandle memH) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* block = Find(memH);
  if (!block || block->locks != 0) return PF_Err_BAD_CALLBACK_PARAM;
  void* bytes = std::realloc(block->bytes, new_size ? new_size : 1);
  if (!bytes) return PF_Err_OUT_OF_MEMORY;
  block->bytes = bytes;
  block->size = new_size;
  return PF_Err_NONE;
}

A_Err SetMemReportingOn(A_Boolean) {
  return PF_Err_NONE;
}

// Count and total bytes of the blocks outstanding, over every plug-in.
A_Err GetMemStats(AEGP_PluginID, A_long* countPL, A_long* sizePL) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!countPL || !sizePL) return PF_Err_BAD_CALLBACK_PARAM;
  uint64_t total = 0;
  for (const Block* block : *g_blocks) total += block->size;
  *countPL = (A_long)g_blocks->size();
  *sizePL = total > INT32_MAX ? INT32_MAX : (A_long)total;
  return PF_Err_NONE;
}

const AEGP_MemorySuite1 kMemorySuite = {
    Guarded<NewMemHandle, "aegp.NewMemHandle", kOutOfMemory>,
    Guarded<FreeMemHandle, "aegp.FreeMemHandle", kDamaged>,
    Guarded<LockMemHandle, "aegp.LockMemHandle", kDamaged>,
    Guarded<UnlockMemHandle, "aegp.UnlockMemHandle", kDamaged>,
    Guarded<GetMemHandleSize, "aegp.GetMemHandleSize", kDamaged>,
    Guarded<ResizeMemHandle, "aegp.ResizeMemHandle", kOutOfMemory>,
    Guarded<SetMemReportingOn>,
    Guarded<GetMemStats>};

}  // namespace

void ReleaseSpareMemory() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::free(g_spare);
  g_spare = nullptr;
}

const AEGP_MemorySuite1* MemorySuiteTable() {
  return &kMemorySuite;
}

int OutstandingMemHandles() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return (int)g_blocks->size();
}

}  // namespace mf::host
