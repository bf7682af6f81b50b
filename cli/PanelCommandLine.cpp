#include <iostream>

#include "cli/PanelCommands.h"

namespace mf::cli {

void AddPanelCommands(CLI::App& app, CommonOptions& common, int* status) {
  struct Values {
    std::string scene, output, picture, camera;
    std::string diffuse, specular, alpha;
    OptionsAnswers answers;
  };
  auto v = std::make_shared<Values>();

  auto* panel = app.add_subcommand(
      "panel", "print the effect panel after an update and draw its custom controls");
  panel->add_option("scene", v->scene, "the scene file")->required();
  panel->add_option("-o,--output", v->picture, "a picture of the controls the effect draws (PNG)");
  panel->callback(
      [v, &common, status] { *status = RunPanel(common, v->scene, v->picture, std::cout); });

  auto* options = app.add_subcommand(
      "options", "answer the effect's options dialog and save the scene with its new prefixes");
  options->add_option("scene", v->scene, "the scene file")->required();
  auto* diffuse = options->add_option("--diffuse", v->diffuse, "the diffuse lights' prefix");
  auto* specular = options->add_option("--specular", v->specular, "the specular lights' prefix");
  auto* alpha = options->add_option("--alpha", v->alpha, "the alpha lights' prefix");
  auto* reset =
      options->add_flag("--reset-alerts", v->answers.reset_alerts, "show all three alerts again");
  auto* disable =
      options->add_flag("--disable-alerts", v->answers.disable_alerts, "never show the alerts");
  reset->excludes(disable);
  options->add_option("-o,--output", v->output, "where to write the scene")->required();
  options->callback([v, &common, status, diffuse, specular, alpha] {
    OptionsAnswers a = v->answers;
    if (diffuse->count()) a.diffuse = v->diffuse;
    if (specular->count()) a.specular = v->specular;
    if (alpha->count()) a.alpha = v->alpha;
    *status = RunOptions(common, v->scene, a, v->output);
  });

  auto* link = app.add_subcommand(
      "link-camera", "press the link button, pick a camera and save the slider expressions");
  link->add_option("scene", v->scene, "the scene file")->required();
  link->add_option("--camera", v->camera, "the camera layer to link")->required();
  link->add_option("-o,--output", v->output, "where to write the scene")->required();
  link->callback(
      [v, &common, status] { *status = RunLinkCamera(common, v->scene, v->camera, v->output); });
}

}  // namespace mf::cli
