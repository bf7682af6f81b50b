// "AEGP Memory Suite" 1: relocatable memory blocks the effect asks the host for.
#pragma once

#include "AE_GeneralPlug.h"

namespace mf::host {

// The suite's table. Its calls consult the callbacks' Faults (Guarded.h) under
// "aegp.NewMemHandle", "aegp.FreeMemHandle", "aegp.LockMemHandle", "aegp.UnlockMemHandle",
// "aegp.GetMemHandleSize" and "aegp.ResizeMemHandle"; a failed call changes nothing.
const AEGP_MemorySuite1* MemorySuiteTable();

// Blocks made and not yet freed, over the process: a handler that returns with this above its
// starting value leaked a block.
int OutstandingMemHandles();
// The last large block freed is kept for the next block of its size (the next frame's point
// cache); this hands it back to the system (the host does when it goes away).
void ReleaseSpareMemory();

}  // namespace mf::host
