// Host-side controls of the image services beyond their installation (HostServices.h).
#pragma once

namespace mf::host {

// Forgets the Faults handed to InstallImageServices, so callbacks made after that host is gone
// consult nothing instead of a dead object. The Host calls it when
// it is destroyed; a later InstallImageServices attaches the next host's Faults. The memory kept
// for the next frame (large worlds, the last large block) goes back to the system with it.
void DetachImageServices();

}  // namespace mf::host
