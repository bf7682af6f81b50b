// motefield: renders and inspects Motefield scenes without the compositing host.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/FarmCommands.h"
#include "cli/PanelCommands.h"
#include "host/NearestName.h"

namespace {

// "--name" or "-n" for every option of an app.
std::vector<std::string> OptionNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::Option* option : app.get_options()) {
    for (const auto& n : option->get_lnames()) names.push_back("--" + n);
    for (const auto& n : option->get_snames()) names.push_back("-" + n);
  }
  return names;
}

// What a person most likely meant when the command line did not parse: an unknown command, or an
// option the command does not have, with the nearest known name; empty when neither applies.
std::string Suggestion(const CLI::App& app, int argc, char** argv) {
  std::vector<std::string> commands;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
    commands.push_back(sub->get_name());
  const CLI::App* command = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    if (word.rfind("-", 0) == 0) {
      const std::string name = word.substr(0, word.find('='));
      const CLI::App& owner = command ? *command : app;
      if (owner.get_option_no_throw(name) || (command && app.get_option_no_throw(name))) {
        const CLI::Option* o = owner.get_option_no_throw(name);
        if (!o) o = app.get_option_no_throw(name);
        if (o->get_type_size() != 0 && word.find('=') == std::string::npos) ++i;  // its value
        continue;
      }
      std::vector<std::string> known = OptionNames(owner);
      if (command)
        for (const auto& n : OptionNames(app)) known.push_back(n);
      return "unknown option \"" + name + "\"" +
             (command ? " for " + command->get_name() : std::string()) +
             mf::host::DidYouMean(name, known);
    }
    if (command) continue;  // a value of the command
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
      if (sub->get_name() == word) command = sub;
    if (!command) {
      std::string list;
      for (const auto& c : commands) list += (list.empty() ? "" : ", ") + c;
      return "unknown command \"" + word + "\"" + mf::host::DidYouMean(word, commands) +
             " (commands: " + list + ")";
    }
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"motefield: re-render world-position passes as lit 3D point clouds"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("motefield ") + MOTEFIELD_VERSION);
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
      ->add_option(
          "--jobs", render_options.jobs,
          "frames rendered at once, each in its own process (default: the number of cores)")
      ->check(CLI::Range(1, 256));
  render->add_option("--compression", render_options.compression,
                     "EXR compression: none, rle, zips, zip (default), piz, pxr24, b44, b44a, "
                     "dwaa or dwab");
  render->add_option("--output-depth", render_options.output_depth,
                     "the file's depth: 8, 16, half or float (default: the render's, where the "
                     "format can hold it)");
  render->add_option("--colorspace", render_options.colorspace,
                     "colour space of 8- and 16-bit files (default sRGB; linear writes the values "
                     "as they are; $OCIO's configuration names more)");
  render->add_flag("--allow-clamped", render_options.allow_clamped,
                   "render even when an 8- or 16-bit render clamps the position pass");
  render->add_flag("-q,--quiet", render_options.quiet,
                   "no line per frame, nor where a camera came from");

  std::string demo_output = "demo.png";
  auto* demo = app.add_subcommand("demo", "render a built-in scene; no files needed");
  demo->add_option("-o,--output", demo_output, "where to write the picture (default demo.png)");

  int status = 0;
  mf::cli::AddPanelCommands(app, common, &status);
  mf::cli::AddFarmCommands(app, common, &status);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    const std::string hint = Suggestion(app, argc, argv);
    std::cerr << "motefield: " << (hint.empty() ? std::string(e.what()) : hint)
              << "\nRun motefield --help (or motefield COMMAND --help) for what it takes.\n";
    return 2;
  }
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
