// `motefield render`: renders a scene's frames through the effect and writes them to image files.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>

#include "cli/Commands.h"
#include "cli/CompleteFrame.h"
#include "cli/FrameOutput.h"
#include "cli/FrameRange.h"
#include "cli/FrameScheduler.h"
#include "cli/RenderJob.h"
#include "host/Composition.h"
#include "host/Expressions.h"
#include "host/Footage.h"
#include "host/FrameRender.h"
#include "params/ParamTable.h"

namespace mf::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitInterrupted = 130;

const char* Meaning(PF_Err err) {
  switch (err) {
    case PF_Err_OUT_OF_MEMORY:
      return "out of memory";
    case PF_Err_INTERNAL_STRUCT_DAMAGED:
      return "internal data damaged";
    case PF_Err_BAD_CALLBACK_PARAM:
      return "a host service was refused or given a bad argument";
    case PF_Interrupt_CANCEL:
      return "interrupted";
    default:
      return "unknown error";
  }
}

// The effect's instance on a layer: restored from its stored record when the scene has one, with
// the layer's controls applied. Throws SceneError for controls written wrongly.
host::EffectInstance* SetUpInstance(host::Host& host, const host::Scene& scene, int layer,
                                    std::ostream& err_out, PF_Err* err) {
  const nlohmann::json& effect = scene.layers[layer].json["effect"];
  host::EffectInstance* instance = nullptr;
  *err = PF_Err_NONE;
  if (effect.contains("sequence_data")) {
    auto bytes = host::Base64Decode(effect["sequence_data"].get<std::string>());
    if (bytes) {
      instance = host.restoreInstance(*bytes, err);
    } else {
      err_out << "motefield: " << scene.file.string() << ": layers[" << layer
              << "].effect.sequence_data is not valid base64; the light prefixes are reset to "
                 "their defaults\n";
      instance = host.newInstance(err);
    }
  } else {
    instance = host.newInstance(err);
  }
  if (!instance || *err) return nullptr;
  host::ApplyControls(scene, layer, *instance,
                      [](const std::string& id) { return ParamIndexFromIdentifier(id); });
  return instance;
}

std::string PointCount(const std::vector<std::string>& info, long long* points) {
  if (info.size() < 2 || info[0].rfind("Number of pixels", 0) != 0) return "";
  try {
    *points += std::stoll(info[1]);
  } catch (...) {
  }
  return info[0] + info[1];
}

}  // namespace

int RenderJob::run(const CommonOptions& common, std::ostream& out, std::ostream& err_out) {
  if (frames.empty()) {
    err_out << "motefield: no frames to render\n";
    return kExitBadInput;
  }
  if (!output.hasPattern() && frames.size() > 1) {
    err_out << "motefield: " << output.fileFor(0).string() << ": " << frames.size()
            << " frames would go to one file; put a frame number pattern (#### or %04d) in the "
               "output name\n";
    return kExitBadInput;
  }
  try {
    output.checkWritable();
  } catch (const OutputError& e) {
    err_out << "motefield: " << e.what() << "\n";
    return kExitFailed;
  }

  host::HostOptions options = MakeHostOptions(common);
  options.interactive = true;  // a person runs the command: the Info panel is shown
  host::Host host(options);
  ShowMessagesOnStderr(host);
  if (PF_Err e = host.globalSetup()) {
    err_out << "motefield: the plug-in refused to start (error " << e << ")\n";
    return kExitFailed;
  }
  PF_Err setup_err = PF_Err_NONE;
  host::EffectInstance* instance = nullptr;
  try {
    host.setComposition(host::Composition::FromScene(scene));
    instance = SetUpInstance(host, scene, layer, err_out, &setup_err);
  } catch (const host::SceneError& e) {
    err_out << "motefield: " << e.what() << "\n";
    return kExitBadInput;
  }
  if (!instance) {
    err_out << "motefield: layer \"" << scene.layers[layer].name
            << "\": the effect could not be set up (error " << setup_err << ")\n";
    return kExitFailed;
  }
  host.composition()->attachEffect(layer, instance);
  for (int i = 0; i < host.composition()->numLayers(); ++i)
    if (const host::CompLayer* l = host.composition()->layer(i); !l->camera_source.empty())
      out << "camera \"" << l->name << "\": " << l->camera_source << "\n";
  host.setLayerSource(source);
  // Controls the scene drives by expressions (a linked reference camera) follow them per frame.
  host::InstallExpressionCheckout(host);

  const bool terminal = ::isatty(::fileno(stdout));
  host::ClearAbort();
  host::InstallInterruptHandler();
  const auto start = std::chrono::steady_clock::now();
  long long points = 0;
  int done = 0, skipped = 0;
  for (int frame : frames) {
    if (host::AbortRequested()) break;
    if (skip_existing && IsCompleteImage(output.fileFor(frame))) {
      ++skipped;
      if (terminal) out << "frame " << frame << " is already complete, left as it is" << std::endl;
      continue;
    }
    host::FrameRequest request;
    request.layer = layer;
    request.width = scene.composition.width;
    request.height = scene.composition.height;
    request.frame_rate = scene.composition.frame_rate;
    request.frame = frame;
    request.bit_depth = bit_depth;
    request.downsample = downsample;
    request.high_quality = high_quality;
    host::Frame result;
    PF_Err e = PF_Err_NONE;
    try {
      host.setInfoLines({});
      e = host.renderFrame(*instance, request, &result);
    } catch (const host::LayerError& le) {
      err_out << "motefield: frame " << frame << ": " << le.what() << "\n";
      return kExitFailed;
    }
    if (e == PF_Interrupt_CANCEL || host::AbortRequested()) break;
    if (e) {
      std::string message = host.lastReturnMessage();
      err_out << "motefield: frame " << frame << ": the effect failed (error " << e << ": "
              << Meaning(e) << ")" << (message.empty() ? "" : ": " + message) << "\n";
      return kExitFailed;
    }
    try {
      output.write(result, frame);
    } catch (const OutputError& oe) {
      err_out << "motefield: " << oe.what() << "\n";
      return kExitFailed;
    }
    ++done;
    const std::string info = PointCount(host.infoLines(), &points);
    if (terminal) {
      out << "frame " << frame << " (" << done << " of " << frames.size() << ") -> "
          << output.fileFor(frame).string();
      if (!info.empty()) out << "  " << info;
      out << std::endl;
    }
  }
  if (host::AbortRequested()) {
    err_out << "motefield: interrupted after " << done << " of " << frames.size()
            << " frames; no partial file was left\n";
    return kExitInterrupted;
  }
  for (int clamped : host.frames().clampedLayers()) {
    err_out << "motefield: warning: layer \"" << scene.layers[clamped].name
            << "\" holds values outside 0 to 1, clamped at " << bit_depth
            << " bits; render a position pass with --bit-depth 32\n";
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  char summary[160];
  std::snprintf(summary, sizeof(summary), "rendered %d frame%s, %lld points, %.2f s", done,
                done == 1 ? "" : "s", points, seconds);
  out << summary;
  if (skip_existing) out << "; " << skipped << " already complete";
  out << "\n";
  return 0;
}

int RunRender(const CommonOptions& common, const RenderOptions& options) {
  host::Scene scene;
  try {
    scene = host::LoadScene(options.scene);
  } catch (const host::SceneError& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return kExitBadInput;
  }
  const std::string where = options.scene + ": ";

  // The layer to render: the one the scene names, else its only effect layer.
  int layer = -1;
  if (!scene.render.layer.empty()) {
    layer = *scene.layerIndex(scene.render.layer);
    if (!scene.layers[layer].json.contains("effect")) {
      std::cerr << "motefield: " << where << "render.layer: layer \"" << scene.render.layer
                << "\" has no effect\n";
      return kExitBadInput;
    }
  } else {
    std::vector<int> with_effect = scene.effectLayers();
    if (with_effect.size() != 1) {
      std::cerr << "motefield: " << where
                << (with_effect.empty() ? "no layer has the effect"
                                        : "several layers have the effect; name one in "
                                          "render.layer")
                << "\n";
      return kExitBadInput;
    }
    layer = with_effect[0];
  }

  std::string range = options.frames;
  if (range.empty()) range = scene.render.frames;
  if (range.empty()) {
    const int last = std::max(0, static_cast<int>(scene.composition.duration) - 1);
    range = "0-" + std::to_string(last);
  }
  std::vector<int> frames;
  try {
    frames = ParseFrameRange(range);
  } catch (const FrameRangeError& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return kExitBadInput;
  }

  fs::path output_path;
  if (!options.output.empty()) {
    output_path = options.output;
  } else if (!scene.render.output.empty()) {
    output_path = scene.resolve(scene.render.output);
  } else {
    std::cerr << "motefield: " << where << "no output file: give -o or render.output\n";
    return kExitBadInput;
  }
  const int bit_depth = options.bit_depth ? options.bit_depth : scene.render.bit_depth;
  const int downsample = options.downsample ? options.downsample : scene.render.downsample;
  if (downsample < 1) {
    std::cerr << "motefield: --downsample must be 1 or more\n";
    return kExitBadInput;
  }

  try {
    host::FootageSource footage(scene);
    RenderJob job{
        std::move(scene), layer, std::move(frames), FrameOutput(output_path, bit_depth), bit_depth,
        downsample,       true,  &footage};
    job.high_quality = job.scene.render.quality != "draft";
    job.skip_existing = options.skip_existing;
    if (!options.compression.empty()) job.output.setCompression(options.compression);
    const int jobs = options.jobs > 0 ? options.jobs : AvailableCores();
    if (jobs > 1 && job.frames.size() > 1 && job.output.hasPattern())
      return RunFramesInParallel(std::move(job), jobs, common, std::cout, std::cerr);
    return job.run(common, std::cout, std::cerr);
  } catch (const host::SceneError& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return kExitBadInput;
  } catch (const OutputError& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return kExitBadInput;
  }
}

}  // namespace mf::cli
