// motefield: renders and inspects Motefield scenes without the compositing host.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "cli/Commands.h"

int main(int argc, char** argv) {
  CLI::App app{"motefield: re-render world-position passes as lit 3D point clouds"};
  app.require_subcommand(1);
  mf::cli::CommonOptions common;
  app.add_option("--plugin", common.plugin, "the plug-in library to load")
      ->check(CLI::ExistingFile);
  app.add_option(
      "--preferences", common.preferences,
      "the preference file (default: $MOTEFIELD_PREFS or ~/.config/motefield/preferences.json)");

  auto* info = app.add_subcommand("info", "print the About text and every control of the effect");

  std::string scene, output;
  auto* save = app.add_subcommand("save", "set up each effect of a scene and store its record");
  save->add_option("scene", scene, "the scene file")->required();
  save->add_option("-o,--output", output, "where to write the scene")->required();

  CLI11_PARSE(app, argc, argv);
  try {
    if (*info) return mf::cli::RunInfo(common, std::cout);
    if (*save) return mf::cli::RunSave(common, scene, output);
  } catch (const std::exception& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
