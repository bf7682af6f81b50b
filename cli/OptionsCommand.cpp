// `motefield options`: the effect's options dialog, answered on the person's behalf with the
// prefixes and alert switch given, and the scene saved with the instance's new record.
#include <iostream>

#include "PlatformUser.h"
#include "cli/PanelCommands.h"
#include "cli/SceneInstance.h"
#include "host/PanelEvents.h"
#include "host/ScriptedPerson.h"
#include "resources/resource.h"

namespace mf::cli {

int RunOptions(const CommonOptions& common, const std::string& scene_path,
               const OptionsAnswers& answers, const std::string& output) {
  if (answers.reset_alerts && answers.disable_alerts) {
    std::cerr << "motefield: --reset-alerts and --disable-alerts cannot be given together\n";
    return 2;
  }
  // The person outlives the host, which takes its own user back when it goes.
  host::ScriptedPerson person;
  host::Host host(MakeHostOptions(common));
  ShowMessagesOnStderr(host);
  host::InstallPanelServices(host);
  platform::SetUser(&person);
  SceneEffect effect;
  if (int status = SetUpSceneEffect(host, scene_path, &effect)) return status;

  bool opened = false;
  person.actOnDialog([&](platform::DialogSession& d) {
    opened = d.resource() == IDD_OPTIONS;
    if (!opened) return;
    if (answers.alpha) d.type(IDC_ALPHA_PREFIX, *answers.alpha);
    if (answers.specular) d.type(IDC_SPECULAR_PREFIX, *answers.specular);
    if (answers.diffuse) d.type(IDC_DIFFUSE_PREFIX, *answers.diffuse);
    if (answers.reset_alerts) d.setChecked(IDC_RESET_ALERTS, true);
    if (answers.disable_alerts) d.setChecked(IDC_DISABLE_ALERTS, true);
    d.click(IDOK);
  });
  const size_t messages_before = host.messages().size();
  PF_Err err = effect.instance->send(PF_Cmd_DO_DIALOG);
  if (err) {
    std::cerr << "motefield: the options dialog failed (error " << err << ")\n";
    return 1;
  }
  if (!opened) {
    std::cerr << "motefield: the options dialog could not be opened\n";
    return 1;
  }
  if (host.messages().size() > messages_before) {
    // The effect refused the prefixes and said why; the scene is left as it was.
    std::cerr << "motefield: the prefixes were not accepted; " << output << " not written\n";
    return 1;
  }
  if (answers.reset_alerts) std::cerr << "all alerts will be shown again\n";
  if (answers.disable_alerts) std::cerr << "all alerts are switched off\n";
  return SaveSceneEffect(effect, output);
}

}  // namespace mf::cli
