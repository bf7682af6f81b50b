#include "host/HandleStore.h"

#include <cstdlib>
#include <cstring>

namespace mf::host {

HandleStore::~HandleStore() {
  for (Block* b : blocks_) {
    std::free(b->data);
    delete b;
  }
}

HandleStore::Block* HandleStore::find(PF_Handle h) const {
  auto* b = reinterpret_cast<Block*>(h);
  return blocks_.count(b) ? b : nullptr;
}

bool HandleStore::owns(PF_Handle h) const {
  return find(h) != nullptr;
}

PF_Handle HandleStore::create(size_t size) {
  if (faults_.trip("handle.new")) return nullptr;
  void* data = std::calloc(size ? size : 1, 1);
  if (!data) return nullptr;
  auto* b = new Block{data, size, 0};
  blocks_.insert(b);
  return reinterpret_cast<PF_Handle>(b);
}

void* HandleStore::lock(PF_Handle h) {
  Block* b = find(h);
  if (!b) return nullptr;
  ++b->locks;
  return b->data;
}

void HandleStore::unlock(PF_Handle h) {
  if (Block* b = find(h); b && b->locks > 0) --b->locks;
}

void HandleStore::dispose(PF_Handle h) {
  Block* b = find(h);
  if (!b) {
    if (h) violations_.report("a handle was disposed of that is not live (disposed of twice?)");
    return;
  }
  blocks_.erase(b);
  std::free(b->data);
  delete b;
}

size_t HandleStore::size(PF_Handle h) const {
  const Block* b = find(h);
  return b ? b->size : 0;
}

PF_Err HandleStore::resize(size_t size, PF_Handle* h) {
  Block* b = h ? find(*h) : nullptr;
  if (!b) return PF_Err_BAD_CALLBACK_PARAM;
  if (b->locks > 0) return PF_Err_INTERNAL_STRUCT_DAMAGED;
  void* data = std::realloc(b->data, size ? size : 1);
  if (!data) return PF_Err_OUT_OF_MEMORY;
  if (size > b->size) std::memset(static_cast<char*>(data) + b->size, 0, size - b->size);
  b->data = data;
  b->size = size;
  return PF_Err_NONE;
}

}  // namespace mf::host
