// motefield: renders and inspects Motefield scenes without the compositing host.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "cli/Commands.h"
#include "cli/FarmCommands.h"
#include "cli/PanelCommands.h"

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

  mf::cli::RenderOptions render_options;
  auto* render = app.add_subcommand("render", "render a scene's frames to image files");
  render->add_option("scene", render_options.scene, "the scene file")->required();
  render->add_option("--frames", render_options.frames,
                     "frames to render, e.g. 0-47, 1-10x2 or 3,5,8-9 (default: the scene's)");
  render->add_option("-o,--output", render_options.output,
                     "output file or pattern, e.g. out.####.exr (.exr, .tif, .png)");
  render->add_option("--bit-depth", render_options.bit_depth, "8, 16 or 32 (default: the scene's)")
      ->check(CLI::IsMember({8, 16, 32}));
  render
      ->add_option("--downsample", render_options.downsample,
                   "render at 1/N resolution (default: the scene's)")
      ->check(CLI::Range(1, 64));
  render->add_flag("--skip-existing", render_options.skip_existing,
                   "leave frames whose file is already there and complete");
  render
      ->add_option("--jobs", render_options.jobs,
                   "frames rendered at once, each in its own process (default: one per core)")
      ->check(CLI::Range(1, 256));
  render->add_option("--compression", render_options.compression,
                     "EXR compression: none, rle, zips, zip (default), piz, pxr24, b44, b44a, "
                     "dwaa or dwab");

  std::string demo_output = "demo.png";
  auto* demo = app.add_subcommand("demo", "render a built-in scene; no files needed");
  demo->add_option("-o,--output", demo_output, "where to write the picture (default demo.png)");

  int status = 0;
  mf::cli::AddPanelCommands(app, common, &status);
  mf::cli::AddFarmCommands(app, common, &status);

  CLI11_PARSE(app, argc, argv);
  try {
    if (*info) return mf::cli::RunInfo(common, std::cout);
    if (*save) return mf::cli::RunSave(common, scene, output);
    if (*render) return mf::cli::RunRender(common, render_options);
    if (*demo) return mf::cli::RunDemo(common, demo_output);
  } catch (const std::exception& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return 1;
  }
  return status;
}
