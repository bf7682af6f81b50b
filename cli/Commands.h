// The sub-commands of `motefield`. Each returns the process exit status and reports problems on
// stderr in plain words.
#pragma once

#include <ostream>
#include <string>

#include "host/Host.h"

namespace mf::cli {

struct CommonOptions {
  std::string plugin;       // empty: the plug-in built beside the command
  std::string preferences;  // empty: the user's preference file
};

int RunInfo(const CommonOptions& common, std::ostream& out);
int RunSave(const CommonOptions& common, const std::string& scene, const std::string& output);

struct RenderOptions {
  std::string scene;
  std::string frames;  // empty: the scene's render.frames, else the whole composition
  std::string output;  // empty: the scene's render.output
  int bit_depth = 0;   // 0: the scene's
  int downsample = 0;  // 0: the scene's
  bool skip_existing = false;
  int jobs = 0;              // frames rendered at once, each in its own process; 0: one
  std::string compression;   // EXR compression; empty: the writer's default
  std::string output_depth;  // empty: the scene's, else the render's where the format can
  std::string colorspace;    // empty: the scene's, else sRGB
  bool allow_clamped = false;
  bool quiet = false;
};
int RunRender(const CommonOptions& common, const RenderOptions& options);
// Renders the built-in scene (no files needed) to output, by default demo.png.
int RunDemo(const CommonOptions& common, const std::string& output);

// A host set up for a person at a terminal: message boxes go to stderr.
host::HostOptions MakeHostOptions(const CommonOptions& common);
void ShowMessagesOnStderr(host::Host& host);

}  // namespace mf::cli
