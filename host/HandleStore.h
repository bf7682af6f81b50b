// Host memory handles ("PF Handle Suite"): a handle is a pointer to a master pointer, which the
// host keeps here together with the block's size and lock count.
//
// Memory rules (the guide's "Memory allocation" section): a handle is disposed of once. The real
// host frees whatever it is handed, so a second dispose or one of a handle it never made corrupts
// its heap; here it is refused and reported, so that a test doing it fails.
#pragma once

#include <cstddef>
#include <set>

#include "AE_Effect.h"
#include "Faults.h"
#include "Violations.h"

namespace mf::host {

class HandleStore {
 public:
  HandleStore(Faults& faults, Violations& violations) : faults_(faults), violations_(violations) {}
  ~HandleStore();

  PF_Handle create(size_t size);  // zero-filled; null when refused ("handle.new")
  void* lock(PF_Handle h);
  void unlock(PF_Handle h);
  void dispose(PF_Handle h);  // an unknown handle is reported and left alone; null is ignored
  size_t size(PF_Handle h) const;
  PF_Err resize(size_t size, PF_Handle* h);
  bool owns(PF_Handle h) const;
  size_t live() const { return blocks_.size(); }

 private:
  struct Block {
    void* data;  // first: the handle is the address of this pointer
    size_t size;
    int locks;
  };
  Block* find(PF_Handle h) const;

  Faults& faults_;
  Violations& violations_;
  std::set<Block*> blocks_;
};

}  // namespace mf::host
