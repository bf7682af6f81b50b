// Whole frames through the stand-in host and the plug-in, against a bare splat of the same points
// as the floor no renderer of this cloud can beat: decode, project, sort, one pixel per point.
//
// The position pass is a displaced plane in 0 … 1 world units, seen by a camera whose zoom equals
// the frame width from one unit away, so the plane fills the frame at every size. Keeping the
// pass inside 0 … 1 lets it survive the host's conversion to 8 and 16-bit worlds, so every depth
// renders the same cloud with the effect's controls left at their defaults (gain 1).
//
// Memory: the peak resident-set growth over one frame, from the kernel's high-water mark reset
// through /proc/self/clear_refs just before the frame (ru_maxrss cannot be reset and only shows
// growth beyond the largest earlier frame).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/Composition.h"
#include "host/Frame.h"
#include "host/FrameRender.h"
#include "host/Host.h"
#include "params/ParamIndex.h"
#include "raster/PixelFormat.h"

namespace {

constexpr double kEye[3] = {0.5, 0.5, -1.0};
constexpr double kTarget[3] = {0.5, 0.5, 0.5};

// Colour, position and normal passes of the displaced plane, w × h, every pixel opaque.
struct Passes {
  std::shared_ptr<mf::host::LayerImage> color, position, normal;
};

Passes MakePasses(int w, int h) {
  Passes p;
  p.color = std::make_shared<mf::host::LayerImage>();
  p.position = std::make_shared<mf::host::LayerImage>();
  for (auto* img : {p.color.get(), p.position.get()}) {
    img->width = w;
    img->height = h;
    img->rgba.resize((size_t)w * h * 4);
  }
  const double pi = 3.14159265358979323846;
  const double aspect = (double)h / w;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double u = (x + 0.5) / w, v = (y + 0.5) / h;
      const size_t i = ((size_t)y * w + x) * 4;
      float* pos = &p.position->rgba[i];
      pos[0] = (float)u;
      pos[1] = (float)(0.5 + (v - 0.5) * aspect);
      pos[2] = (float)(0.075 * (1.0 + std::sin(6 * pi * u) * std::cos(4 * pi * v)));
      pos[3] = 1;
      float* c = &p.color->rgba[i];
      c[0] = (float)u;
      c[1] = (float)v;
      c[2] = pos[2] / 0.15f;
      c[3] = 1;
    }
  }
  p.normal = std::make_shared<mf::host::LayerImage>(*p.position);
  for (size_t i = 0; i < p.normal->rgba.size(); i += 4) {
    float* n = &p.normal->rgba[i];  // tilted by the displacement, never away from the camera
    const float x = n[2] - 0.075f, y = 0.5f * (n[0] - 0.5f), z = -1.0f;
    const float k = 1.0f / std::sqrt(x * x + y * y + z * z);
    n[0] = x * k, n[1] = y * k, n[2] = z * k, n[3] = 1;
  }
  return p;
}

// Kilobytes of a /proc/self/status line ("VmRSS", "VmHWM"); -1 when unreadable.
long StatusKb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, key.size() + 1, key + ":") == 0)
      return std::stol(line.substr(key.size() + 1));
  }
  return -1;
}

// Resets VmHWM to the current RSS; false when the kernel refuses.
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return bool(clear);
}

// Peak RSS growth in MB while f runs. Freed heap pages of earlier benchmarks are handed back
// first, or a frame reusing them would not show as growth.
template <typename F>
double PeakGrowthMb(F&& f) {
  malloc_trim(0);
  const bool reset = ResetPeak();
  const long before = StatusKb("VmRSS");
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  const long maxrss_before = ru.ru_maxrss;
  f();
  if (reset && before >= 0) {
    const long peak = StatusKb("VmHWM");
    if (peak >= 0) return (peak - before) / 1024.0;
  }
  getrusage(RUSAGE_SELF, &ru);
  return (ru.ru_maxrss - maxrss_before) / 1024.0;  // a lower bound only
}

class PassSource final : public mf::host::LayerSource {
 public:
  std::shared_ptr<const mf::host::LayerImage> image(int layer, int) override {
    auto it = images.find(layer);
    return it == images.end() ? nullptr : it->second;
  }
  std::map<int, std::shared_ptr<const mf::host::LayerImage>> images;
};

// A host with the effect applied at its defaults, the two passes chosen in its layer controls.
// Lit: a normal pass and two point lights, a diffuse and a specular one, with normal blending,
// anti-aliasing and softened stamps. Layers: the camera, the lights, the solid carrying the
// effect, colour, position, normal.
class Rig {
 public:
  Rig(int w, int h, const Passes& passes, bool lit = false) : w_(w), h_(h) {
    dir_ =
        std::filesystem::temp_directory_path() / ("motefield-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    mf::host::HostOptions options;
    options.preferences_path = (dir_ / "preferences.json").string();
    host_ = std::make_unique<mf::host::Host>(options);

    auto comp =
        std::make_unique<mf::host::Composition>(mf::host::CompositionSettings{w, h, 24, 48});
    mf::host::CompLayer camera;
    camera.name = "Camera 1";
    camera.kind = mf::host::LayerKind::kCamera;
    camera.camera_type = AEGP_CameraType_PERSPECTIVE;
    camera.has_point_of_interest = true;
    camera.streams[AEGP_LayerStream_POSITION] =
        mf::host::Animated::Constant({kEye[0], kEye[1], kEye[2], 0});
    camera.streams[AEGP_LayerStream_ANCHORPOINT] =
        mf::host::Animated::Constant({kTarget[0], kTarget[1], kTarget[2], 0});
    camera.streams[AEGP_LayerStream_ZOOM] = mf::host::Animated::Constant({(double)w, 0, 0, 0});
    comp->addLayer(camera);
    if (lit) {
      const char* names[2] = {"Diffuse key", "Specular key"};
      const double at[2][3] = {{0.2, 0.2, -0.6}, {0.8, 0.3, -0.5}};
      for (int i = 0; i < 2; ++i) {
        mf::host::CompLayer light;
        light.name = names[i];
        light.kind = mf::host::LayerKind::kLight;
        light.light_type = AEGP_LightType_POINT;
        light.streams[AEGP_LayerStream_POSITION] =
            mf::host::Animated::Constant({at[i][0], at[i][1], at[i][2], 0});
        comp->addLayer(light);
      }
    }
    solid_ = comp->numLayers();
    mf::host::CompLayer solid;
    solid.name = "Cloud";
    solid.width = w;
    solid.height = h;
    comp->addLayer(solid);
    for (const char* name : {"beauty", "P", "N"}) {
      mf::host::CompLayer footage;
      footage.name = name;
      footage.kind = mf::host::LayerKind::kFootage;
      footage.width = w;
      footage.height = h;
      comp->addLayer(footage);
    }
    const int color = solid_ + 1, positions = solid_ + 2, normals = solid_ + 3;
    source_.images[color] = passes.color;
    source_.images[positions] = passes.position;
    source_.images[normals] = passes.normal;
    host_->setComposition(std::move(comp));
    host_->setLayerSource(&source_);
    if (host_->globalSetup() != PF_Err_NONE) return;
    instance_ = host_->newInstance();
    if (!instance_) return;
    host_->composition()->attachEffect(solid_, instance_);
    auto choose = [&](int param, int layer) {
      instance_->params[param].u.ld.reserved0 = reinterpret_cast<void*>((intptr_t)layer + 1);
    };
    choose(SOURCE_LAYER, color);
    choose(POSITION_PASS, positions);
    if (!lit) return;
    choose(NORMAL_PASS, normals);
    instance_->params[PIXEL_BLEND_MODE].u.pd.value = 2;  // normal
    instance_->params[ENABLE_PIXEL_ANTIALIAS].u.bd.value = 1;
    instance_->params[SOFTEN_PIXELS].u.bd.value = 1;
  }
  ~Rig() {
    frame_.reset();
    host_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  bool ready() const { return instance_ != nullptr; }

  PF_Err render(int bit_depth) {
    mf::host::FrameRequest request;
    request.layer = solid_;
    request.width = w_;
    request.height = h_;
    request.bit_depth = bit_depth;
    frame_.reset();
    return host_->renderFrame(*instance_, request, &frame_);
  }
  void dropFrame() { frame_.reset(); }
  const mf::host::Frame& frame() const { return frame_; }

 private:
  int w_, h_;
  int solid_ = 0;
  std::filesystem::path dir_;
  std::unique_ptr<mf::host::Host> host_;
  PassSource source_;
  mf::host::EffectInstance* instance_ = nullptr;
  mf::host::Frame frame_;
};

// Output pixels with any alpha: a check that the frame drew the cloud, comparable with the
// floor's count of distinct pixels written.
size_t CoveredPixels(const mf::host::Frame& frame) {
  size_t n = 0;
  for (A_long y = 0; y < frame.world.height; ++y) {
    for (A_long x = 0; x < frame.world.width; ++x) {
      mf::ColorF c{};
      if (mf::ReadColorF(mf::ViewOf(frame.world, frame.format), x, y, &c) && c.alpha > 0) ++n;
    }
  }
  return n;
}

void SetPointCounters(benchmark::State& state, double points, double peak_mb) {
  state.counters["points"] = points;
  state.counters["points/s"] =
      benchmark::Counter(points, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["peak_MB"] = peak_mb;
}

// Args: bit depth, width, height. "kept_MB": resident memory the host still held after the
// render, once it went away (the worlds and blocks it keeps between frames given back).
// "faults": page faults of a timed frame, each a fresh page the kernel zeroed or mapped.
void FrameRender(benchmark::State& state, bool lit) {
  const int depth = (int)state.range(0), w = (int)state.range(1), h = (int)state.range(2);
  const Passes passes = MakePasses(w, h);
  malloc_trim(0);
  const long resident_before = StatusKb("VmRSS");
  double peak = 0, covered = 0, faults = 0;
  PF_Err err = PF_Err_NONE;
  {
    Rig rig(w, h, passes, lit);
    if (!rig.ready()) {
      state.SkipWithError("the effect could not be set up in the host");
      return;
    }
    // One untimed frame measures memory and warms the host up.
    rig.dropFrame();
    peak = PeakGrowthMb([&] { err = rig.render(depth); });
    if (err != PF_Err_NONE) {
      state.SkipWithError(("renderFrame returned " + std::to_string(err)).c_str());
      return;
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    const long faults_before = ru.ru_minflt + ru.ru_majflt;
    for (auto _ : state) {
      err = rig.render(depth);
      benchmark::DoNotOptimize(rig.frame().world.data);
    }
    getrusage(RUSAGE_SELF, &ru);
    faults = (double)(ru.ru_minflt + ru.ru_majflt - faults_before) / (double)state.iterations();
    if (err != PF_Err_NONE) {
      state.SkipWithError(("renderFrame returned " + std::to_string(err)).c_str());
      return;
    }
    covered = (double)CoveredPixels(rig.frame());
  }
  SetPointCounters(state, (double)w * h, peak);
  state.counters["covered"] = covered;
  state.counters["faults"] = faults;
  state.counters["kept_MB"] = (StatusKb("VmRSS") - resident_before) / 1024.0;
}
void BM_FrameRender(benchmark::State& state) {
  FrameRender(state, false);
}
// Normal blend, anti-aliasing, soften and two lights.
void BM_FrameRenderLit(benchmark::State& state) {
  FrameRender(state, true);
}
BENCHMARK(BM_FrameRenderLit)
    ->ArgNames({"bits", "w", "h"})
    ->Args({32, 1920, 1080})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameRender)
    ->ArgNames({"bits", "w", "h"})
    ->Args({8, 1920, 1080})
    ->Args({16, 1920, 1080})
    ->Args({32, 1920, 1080})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
// Growth with the point count at 32 bits: 0.5, 4.7 and 8.3 M points (2.1 M is above).
BENCHMARK(BM_FrameRender)
    ->ArgNames({"bits", "w", "h"})
    ->Args({32, 1024, 512})
    ->Args({32, 2880, 1620})
    ->Args({32, 3840, 2160})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The floor: the camera's look-at frame, a pinhole projection centred on the frame, points sorted
// farthest first, each written as one float RGBA pixel.
struct FloorPoint {
  float depth;
  int32_t x, y;
  int32_t source;  // pixel index in the passes
};

struct FloorCamera {
  double eye[3], right[3], down[3], forward[3], zoom;
};

FloorCamera MakeFloorCamera(double zoom) {
  FloorCamera c{};
  for (int i = 0; i < 3; ++i) c.eye[i] = kEye[i];
  double f[3] = {kTarget[0] - kEye[0], kTarget[1] - kEye[1], kTarget[2] - kEye[2]};
  const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
  for (double& a : f) a /= fl;
  // right = (0, 1, 0) × forward, down = forward × right: y points down the screen.
  double r[3] = {f[2], 0, -f[0]};
  const double rl = std::sqrt(r[0] * r[0] + r[2] * r[2]);
  for (double& a : r) a /= rl;
  const double d[3] = {f[1] * r[2] - f[2] * r[1], f[2] * r[0] - f[0] * r[2],
                       f[0] * r[1] - f[1] * r[0]};
  for (int i = 0; i < 3; ++i) {
    c.forward[i] = f[i];
    c.right[i] = r[i];
    c.down[i] = d[i];
  }
  c.zoom = zoom;
  return c;
}

size_t FloorSplat(const mf::host::LayerImage& position, const mf::host::LayerImage& color,
                  const FloorCamera& cam, std::vector<FloorPoint>& points,
                  std::vector<float>& out) {
  const int w = position.width, h = position.height;
  points.clear();
  points.reserve((size_t)w * h);
  const double cx = w / 2.0, cy = h / 2.0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const float* p = &position.rgba[((size_t)y * w + x) * 4];
      if (p[3] == 0) continue;
      const double d[3] = {p[0] - cam.eye[0], p[1] - cam.eye[1], p[2] - cam.eye[2]};
      const double z = d[0] * cam.forward[0] + d[1] * cam.forward[1] + d[2] * cam.forward[2];
      if (!(z > 0)) continue;
      const double sx =
          cx + cam.zoom * (d[0] * cam.right[0] + d[1] * cam.right[1] + d[2] * cam.right[2]) / z;
      const double sy =
          cy + cam.zoom * (d[0] * cam.down[0] + d[1] * cam.down[1] + d[2] * cam.down[2]) / z;
      // The range test also turns away NaN before the conversion to int.
      if (!(sx >= 0 && sx < w && sy >= 0 && sy < h)) continue;
      points.push_back({(float)z, (int32_t)sx, (int32_t)sy, y * w + x});
    }
  }
  std::sort(points.begin(), points.end(),
            [](const FloorPoint& a, const FloorPoint& b) { return a.depth > b.depth; });
  out.assign((size_t)w * h * 4, 0.0f);
  for (const FloorPoint& pt : points) {
    const float* c = &color.rgba[(size_t)pt.source * 4];
    float* o = &out[((size_t)pt.y * w + pt.x) * 4];
    o[0] = c[0];
    o[1] = c[1];
    o[2] = c[2];
    o[3] = c[3];
  }
  return points.size();
}

// Args: width, height. Buffers are made anew each frame, as a renderer of one frame would.
void BM_FrameSplatFloor(benchmark::State& state) {
  const int w = (int)state.range(0), h = (int)state.range(1);
  const Passes passes = MakePasses(w, h);
  const FloorCamera cam = MakeFloorCamera(w);
  size_t drawn = 0;
  const double peak = PeakGrowthMb([&] {
    std::vector<FloorPoint> points;
    std::vector<float> out;
    drawn = FloorSplat(*passes.position, *passes.color, cam, points, out);
  });
  for (auto _ : state) {
    std::vector<FloorPoint> points;
    std::vector<float> out;
    drawn = FloorSplat(*passes.position, *passes.color, cam, points, out);
    benchmark::DoNotOptimize(out.data());
  }
  SetPointCounters(state, (double)w * h, peak);
  state.counters["drawn"] = (double)drawn;
  size_t covered = 0;
  {
    std::vector<FloorPoint> points;
    std::vector<float> out;
    FloorSplat(*passes.position, *passes.color, cam, points, out);
    for (size_t i = 3; i < out.size(); i += 4) covered += out[i] > 0;
  }
  state.counters["covered"] = (double)covered;
}
BENCHMARK(BM_FrameSplatFloor)
    ->ArgNames({"w", "h"})
    ->Args({1920, 1080})
    ->Args({1024, 512})
    ->Args({2880, 1620})
    ->Args({3840, 2160})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
