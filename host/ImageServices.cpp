#include "HostServices.h"

namespace mf::host {

void InstallImageServices(Faults&, SuiteRegistry&, PF_UtilCallbacks&) {}

}  // namespace mf::host
