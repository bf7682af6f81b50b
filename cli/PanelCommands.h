// The sub-commands that work in the effect panel: `panel`, `options` and `link-camera`.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "cli/Commands.h"

namespace mf::cli {

// `motefield panel SCENE.json [-o panel.png]`: the panel as the host holds it after an update of
// the effect's controls, and a picture of the controls the effect draws itself.
int RunPanel(const CommonOptions& common, const std::string& scene, const std::string& picture,
             std::ostream& out);

struct OptionsAnswers {
  std::optional<std::string> diffuse, specular, alpha;  // UTF-8; absent: leave the field
  bool reset_alerts = false;
  bool disable_alerts = false;
};
// `motefield options SCENE.json ... -o OUT.json`: the options dialog answered as given.
int RunOptions(const CommonOptions& common, const std::string& scene, const OptionsAnswers& answers,
               const std::string& output);

// `motefield link-camera SCENE.json --camera NAME -o OUT.json`.
int RunLinkCamera(const CommonOptions& common, const std::string& scene, const std::string& camera,
                  const std::string& output);

// Adds the three sub-commands to the command line; the one that runs leaves its exit status in
// *status.
void AddPanelCommands(CLI::App& app, CommonOptions& common, int* status);

}  // namespace mf::cli
