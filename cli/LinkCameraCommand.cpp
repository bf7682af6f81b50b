// `motefield link-camera`: presses the effect's link button in the panel, picks the named camera
// in the picker, and saves the scene with the expressions the effect put on its sliders.
#include <iostream>

#include "PlatformUser.h"
#include "cli/PanelCommands.h"
#include "cli/SceneInstance.h"
#include "host/PanelEvents.h"
#include "host/ScriptedPerson.h"
#include "params/ParamIndex.h"
#include "resources/resource.h"

namespace mf::cli {

int RunLinkCamera(const CommonOptions& common, const std::string& scene_path,
                  const std::string& camera, const std::string& output) {
  // The person outlives the host, which takes its own user back when it goes.
  host::ScriptedPerson person;
  host::Host host(MakeHostOptions(common));
  ShowMessagesOnStderr(host);
  host::InstallPanelServices(host);
  platform::SetUser(&person);
  SceneEffect effect;
  if (int status = SetUpSceneEffect(host, scene_path, &effect)) return status;

  bool offered = false, opened = false;
  std::vector<std::string> offers;
  person.actOnDialog([&](platform::DialogSession& d) {
    opened = d.resource() == IDD_CAMERA_PICKER;
    if (!opened) return;
    offers = d.comboItems(IDC_CAMERA_LIST);
    offered = d.pick(IDC_CAMERA_LIST, camera);
    if (offered) d.click(IDOK);
  });
  const size_t messages_before = host.messages().size();
  host::EffectPanel panel(host, *effect.instance);
  const PF_Rect button = panel.controlFrame(LINK_REFERENCE_CAMERA);
  const PF_Point middle{button.left + 24, button.top + 12};
  if (PF_Err err = panel.press(LINK_REFERENCE_CAMERA, middle, {}, middle)) {
    std::cerr << "motefield: linking the reference camera failed (error " << err << ")\n";
    return 1;
  }
  if (!opened) {
    // The effect said why (no camera in the composition) when it could.
    if (host.messages().size() == messages_before)
      std::cerr << "motefield: the camera picker could not be opened\n";
    return 1;
  }
  if (!offered) {
    std::cerr << "motefield: " << scene_path << ": no camera named \"" << camera
              << "\" among those offered (the first nine camera layers):";
    for (const std::string& name : offers) std::cerr << " \"" << name << "\"";
    std::cerr << "\n";
    return 2;
  }
  std::cerr << "linked the reference camera to \"" << camera << "\"\n";
  return SaveSceneEffect(effect, output);
}

}  // namespace mf::cli
