// `motefield render`: renders a scene's frames through the effect and writes them to image files.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>

#include "cli/Commands.h"
#include "cli/CompleteFrame.h"
#include "cli/ControlNames.h"
#include "cli/DroppedSamples.h"
#include "cli/FrameOutput.h"
#include "cli/FrameRange.h"
#include "cli/FrameScheduler.h"
#include "cli/RenderJob.h"
#include "cli/SceneInstance.h"
#include "host/Composition.h"
#include "host/Expressions.h"
#include "host/Footage.h"
#include "host/FrameRender.h"
#include "params/ParamIndex.h"

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
  host::ApplyControls(
      scene, layer, *instance, [](const std::string& id) { return ParamIndexFromIdentifier(id); },
      ControlWords(host.registeredParams()));
  return instance;
}

// The point count of the effect's Info line ("Number of pixels : ", N); absent without one.
std::optional<long long> PointCount(const std::vector<std::string>& info) {
  if (info.size() < 2 || info[0].rfind("Number of pixels", 0) != 0) return std::nullopt;
  try {
    return std::stoll(info[1]);
  } catch (...) {
    return std::nullopt;
  }
}

// The layer a layer control names; absent when none is chosen.
std::optional<int> ChosenLayer(const host::EffectInstance& instance, int index) {
  if (index >= static_cast<int>(instance.params.size())) return std::nullopt;
  const intptr_t chosen = reinterpret_cast<intptr_t>(instance.params[index].u.ld.reserved0);
  return chosen > 0 ? std::optional<int>(static_cast<int>(chosen - 1)) : std::nullopt;
}

// Whether the frame is seen through the composition's camera: every 3D mode, and the 2D
// position and normal modes relative to the camera.
bool NeedsCompCamera(const host::EffectInstance& instance) {
  const int mode = instance.params[RENDER_MODE].u.pd.value;
  if (mode == 2) return false;
  if (mode == 7 || mode == 8) return instance.params[RELATIVE_CAMERA].u.bd.value != 0;
  return true;
}

// "3" or "0-47" or "0-2, 5 and 9 more".
std::string FrameList(const std::vector<int>& frames) {
  std::string out;
  size_t runs = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    size_t j = i;
    while (j + 1 < frames.size() && frames[j + 1] == frames[j] + 1) ++j;
    if (++runs > 4) return out + " and more";
    out += (out.empty() ? "" : ", ") + std::to_string(frames[i]) +
           (j > i ? "-" + std::to_string(frames[j]) : "");
    i = j;
  }
  return out;
}

std::string FrameLine(int frame, size_t done, size_t total, const fs::path& file,
                      std::optional<long long> points, long long non_finite, double seconds) {
  char time[32];
  std::snprintf(time, sizeof(time), "%.2f s", seconds);
  std::string line = "frame " + std::to_string(frame) + " (" + std::to_string(done) + " of " +
                     std::to_string(total) + "): " + file.string();
  if (points) line += ", " + std::to_string(*points) + " points";
  if (non_finite)
    line += ", " + std::to_string(non_finite) + (non_finite == 1 ? " sample" : " samples") +
            " dropped (position not finite)";
  return line + ", " + time;
}

}  // namespace

void RenderJob::warnOfDefaultCamera(host::Host& host, const host::EffectInstance& instance,
                                    std::ostream& err) const {
  if (!NeedsCompCamera(instance)) return;
  std::vector<int> without;
  if (camera_frames == std::vector<int>{-1}) return;
  for (int frame : camera_frames.empty() ? frames : camera_frames)
    if (!host.composition()->activeCamera(frame / scene.composition.frame_rate))
      without.push_back(frame);
  if (without.empty()) return;
  const auto& p = instance.params;
  std::ostringstream camera;
  camera << "position (" << p[CAMERA_POSITION_X].u.fs_d.value << ", "
         << p[CAMERA_POSITION_Y].u.fs_d.value << ", " << p[CAMERA_POSITION_Z].u.fs_d.value
         << "), rotation (" << p[CAMERA_ROTATION_X].u.ad.value / 65536.0 << "°, "
         << p[CAMERA_ROTATION_Y].u.ad.value / 65536.0 << "°, "
         << p[CAMERA_ROTATION_Z].u.ad.value / 65536.0 << "°), zoom " << p[CAMERA_ZOOM].u.fs_d.value;
  err << "motefield: warning: " << scene.file.string() << ": no camera layer is active at "
      << (without.size() == 1 ? "frame " : "frames ") << FrameList(without)
      << "; the effect's own default camera is used there: " << camera.str()
      << " (its controls CAMERA_POSITION_X to CAMERA_ZOOM); add a layer of type \"camera\" to "
         "see the points through the composition's camera\n";
}

long long RenderJob::nonFinitePositions(const host::EffectInstance& instance, int frame) const {
  // Only float worlds carry a value that is not a number to the effect.
  const std::optional<int> position = ChosenLayer(instance, POSITION_PASS);
  if (bit_depth != 32 || !position || !source) return 0;
  const int colour = ChosenLayer(instance, SOURCE_LAYER).value_or(layer);
  try {
    auto src = source->image(colour, frame);
    auto pos = source->image(*position, frame);
    if (!src || !pos) return 0;
    const auto& p = instance.params;
    return NonFiniteSamples(*src, *pos, downsample,
                            SampledFraction(p[RESOLUTION].u.fs_d.value, p[RENDER_MODE].u.pd.value));
  } catch (const std::exception&) {
    return 0;  // the render itself reports a layer it cannot read
  }
}

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
  for (int i = 0; i < host.composition()->numLayers() && !quiet; ++i)
    if (const host::CompLayer* l = host.composition()->layer(i); !l->camera_source.empty())
      out << "camera \"" << l->name << "\": " << l->camera_source << "\n";
  host.setLayerSource(source);
  // Controls the scene drives by expressions (a linked reference camera) follow them per frame.
  host::InstallExpressionCheckout(host);

  warnOfDefaultCamera(host, *instance, err_out);
  const std::optional<int> position_layer = ChosenLayer(*instance, POSITION_PASS);

  host::ClearAbort();
  host::InstallInterruptHandler();
  const auto start = std::chrono::steady_clock::now();
  long long points = 0;
  int done = 0, skipped = 0;
  for (int frame : frames) {
    if (host::AbortRequested()) break;
    if (skip_existing && IsCompleteImage(output.fileFor(frame))) {
      ++skipped;
      if (!quiet)
        out << "frame " << frame << ": " << output.fileFor(frame).string()
            << " is already complete, left as it is" << std::endl;
      continue;
    }
    const auto frame_start = std::chrono::steady_clock::now();
    const host::FrameRequest request =
        LayerFrameRequest(scene.composition, layer, frame, {bit_depth, downsample, high_quality});
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
    if (position_layer && host.frames().clampedLayers().count(*position_layer) && !allow_clamped) {
      err_out << "motefield: layer \"" << scene.layers[*position_layer].name
              << "\" is the position pass and holds values outside 0 to 1, which "
              << (bit_depth == 8 ? "an 8" : "a 16")
              << "-bit render clamps, so the points would land in the wrong places; render at 32 "
                 "bits (--bit-depth 32, or render.bit_depth 32 in "
              << scene.file.string()
              << ") and choose the file's depth with --output-depth, or give --allow-clamped\n";
      return kExitBadInput;
    }
    try {
      output.write(result, frame);
    } catch (const OutputError& oe) {
      err_out << "motefield: " << oe.what() << "\n";
      return kExitFailed;
    }
    ++done;
    const std::optional<long long> count = PointCount(host.infoLines());
    points += count.value_or(0);
    if (!quiet) {
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - frame_start).count();
      out << FrameLine(frame, done, frames.size(), output.fileFor(frame), count,
                       nonFinitePositions(*instance, frame), seconds)
          << std::endl;
    }
  }
  if (host::AbortRequested()) {
    err_out << "motefield: interrupted after " << done << " of " << frames.size()
            << " frames; no partial file was left\n";
    return kExitInterrupted;
  }
  std::ostream& warn = warnings_on_out ? out : err_out;
  for (int clamped : host.frames().clampedLayers()) {
    warn << "motefield: warning: layer \"" << scene.layers[clamped].name
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

namespace {

// The frames of a composition run from 0 to its duration; a frame past them would render with
// none of its layers. Returns the message for the first frame outside, or empty.
std::string OutsideComposition(const host::Scene& scene, const std::vector<int>& frames) {
  const double duration = scene.composition.duration;
  const int count = static_cast<int>(std::ceil(std::min(duration, 1e9)));
  for (int frame : frames) {
    if (frame >= 0 && frame < count) continue;
    std::string valid = count > 0 ? "its frames are 0 to " + std::to_string(count - 1)
                                  : "it has no frames (its duration is 0)";
    std::ostringstream message;
    message << scene.file.string() << ": frame " << frame
            << " is outside the composition: " << valid << " (composition.duration " << duration
            << ")";
    return message.str();
  }
  return "";
}

// The file's depth and colour from the command line, else the scene; throws OutputError naming
// the option or the key.
OutputSettings OutputSettingsOf(const host::Scene& scene, const RenderOptions& options) {
  OutputSettings settings;
  const bool own_depth = !options.output_depth.empty();
  const std::string depth = own_depth ? options.output_depth : scene.render.output_depth;
  if (!depth.empty()) {
    settings.depth = ParseFileDepth(depth);
    if (!settings.depth)
      throw OutputError(
          (own_depth ? "--output-depth" : scene.file.string() + ": render.output_depth") +
          std::string(": expected 8, 16, half or float, found \"") + depth + "\"");
  }
  const bool own_colour = !options.colorspace.empty();
  if (own_colour)
    settings.colorspace = options.colorspace;
  else if (!scene.render.colorspace.empty())
    settings.colorspace = scene.render.colorspace;
  return settings;
}

}  // namespace

int RunRender(const CommonOptions& common, const RenderOptions& options) {
  // Frames rendered in forked workers must not inherit image-reading thread pools (a worker
  // would wait on threads that do not exist in it): reading stays on the calling thread, before
  // anything is read.
  if (options.jobs != 1) DisableReaderThreads();
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
    const int last =
        std::max(0, static_cast<int>(std::ceil(std::min(scene.composition.duration, 1e9))) - 1);
    range = "0-" + std::to_string(last);
  }
  std::vector<int> frames;
  try {
    frames = ParseFrameRange(range);
  } catch (const FrameRangeError& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return kExitBadInput;
  }

  if (std::string outside = OutsideComposition(scene, frames); !outside.empty()) {
    std::cerr << "motefield: " << outside << "\n";
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

  std::optional<FrameOutput> output;
  try {
    OutputSettings settings = OutputSettingsOf(scene, options);
    try {
      output.emplace(output_path, bit_depth, settings);
    } catch (const OutputError& e) {
      // Name where a colour space that is not known was asked for.
      const std::string what = e.what();
      if (what.rfind("unknown colour space", 0) != 0) throw;
      throw OutputError((options.colorspace.empty() ? scene.file.string() + ": render.colorspace"
                                                    : std::string("--colorspace")) +
                        ": " + what);
    }
    if (!options.compression.empty()) output->setCompression(options.compression);
    if (!options.colorspace.empty() && output->ignoresColorspace())
      std::cerr << "motefield: warning: --colorspace " << options.colorspace
                << " applies to 8- and 16-bit files; this file keeps linear values\n";
  } catch (const OutputError& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return kExitBadInput;
  }

  try {
    host::FootageSource footage(scene);
    RenderJob job{std::move(scene), layer, std::move(frames), std::move(*output), bit_depth,
                  downsample,       true,  &footage};
    job.high_quality = job.scene.render.quality != "draft";
    job.skip_existing = options.skip_existing;
    job.quiet = options.quiet;
    job.allow_clamped = options.allow_clamped;
    const int jobs = options.jobs > 0 ? options.jobs : AvailableCores();
    if (jobs > 1 && job.frames.size() > 1 && job.output.hasPattern())
      return RunFramesInParallel(std::move(job), jobs, common, std::cout, std::cerr);
    return job.run(common, std::cout, std::cerr);
  } catch (const host::SceneError& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return kExitBadInput;
  }
}

}  // namespace mf::cli
