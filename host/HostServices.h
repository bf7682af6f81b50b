// Installers of the host's service groups. The Host calls each once when it is made; the
// services keep the Faults they are given for as long as that host lives (one host at a time).
#pragma once

#include "AE_EffectCB.h"
#include "Faults.h"
#include "SuiteRegistry.h"

namespace mf::host {

// Image services: "PF World Suite", "PF Fill Matte Suite", "PF World Transform Suite", the three
// iterate suites, "AEGP Memory Suite", and the copy/fill/new_world/dispose_world callbacks of
// in_data->utils.
void InstallImageServices(Faults& faults, SuiteRegistry& suites, PF_UtilCallbacks& utils);

}  // namespace mf::host
