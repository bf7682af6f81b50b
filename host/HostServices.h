// Installers of the host's service groups. The Host calls each once when it is made; the
// services keep the Faults they are given for as long as that host lives (one host at a time).
#pragma once

#include "AE_EffectCB.h"
#include "Faults.h"
#include "SuiteRegistry.h"

namespace mf::host {

class Host;

// Image services: "PF World Suite", "PF Fill Matte Suite", "PF World Transform Suite", the three
// iterate suites, "AEGP Memory Suite", and the copy/fill/new_world/dispose_world callbacks of
// in_data->utils. The Faults become the ones every callback of the host consults (Guarded.h).
void InstallImageServices(Faults& faults, SuiteRegistry& suites, PF_UtilCallbacks& utils);

// The composition suites: "AEGP Layer Suite" 11, "AEGP Camera Suite" 2, "AEGP Light Suite" 2,
// "AEGP Stream Suite" 7, "AEGP Effect Suite" 2, "AEGP PF Interface Suite" 1, and the Info panel's
// "PF AE App Suite" 6 and "PF AE Adv App Suite" 2. They serve host.composition().
void InstallCompositionSuites(Host& host);

// Stream and effect references and stream values handed out by the composition suites and not
// yet disposed: a handler that returns with any of these above its starting value leaked one.
struct CompositionRefCounts {
  int effects;
  int streams;
  int values;
};
CompositionRefCounts OutstandingCompositionRefs();

class EffectInstance;
// Effect references and effect streams of an instance being removed are refused from then on
// rather than followed.
void ForgetEffectReferences(const EffectInstance* instance);

}  // namespace mf::host
