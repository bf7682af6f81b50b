// The host's own services besides images: the basic suite, handles, in_data callbacks,
// registration, preferences, the effect UI and parameter UI suites.
#pragma once

#include "host/Host.h"

namespace mf::host {

void InstallCoreServices(Host& host, SPBasicSuite& basic, PF_UtilCallbacks& utils,
                         PF_InteractCallbacks& inter);

}  // namespace mf::host
