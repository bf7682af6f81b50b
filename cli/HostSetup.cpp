#include <iostream>

#include "cli/Commands.h"

namespace mf::cli {

host::HostOptions MakeHostOptions(const CommonOptions& common) {
  host::HostOptions options;
  if (!common.plugin.empty()) options.plugin_path = common.plugin;
  options.preferences_path = common.preferences;
  return options;
}

void ShowMessagesOnStderr(host::Host& host) {
  host.setMessageSink([](const host::MessageRecord& m) {
    std::cerr << "[" << m.caption << "] " << m.text << "\n";
  });
}

}  // namespace mf::cli
