// `motefield demo`: a built-in scene that needs no files. A small ray tracer stands in for the 3D
// package: it "renders" a sphere on a checker floor from one camera into a colour pass, a 32-bit
// position pass and a normal pass; the effect then places those pixels in 3D and sees them
// through a different composition camera, relit by two diffuse lights and a specular one, with
// stamps in pixel perspective and the grid on the floor.
#include <cmath>
#include <iostream>
#include <map>

#include "cli/Commands.h"
#include "cli/DemoScene.h"
#include "cli/RenderJob.h"

namespace mf::cli {

namespace {

struct V3 {
  double x, y, z;
};
V3 operator+(V3 a, V3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
V3 operator-(V3 a, V3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V3 operator*(V3 a, double k) {
  return {a.x * k, a.y * k, a.z * k};
}
double Dot(V3 a, V3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
V3 Cross(V3 a, V3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
V3 Normalized(V3 a) {
  return a * (1.0 / std::sqrt(Dot(a, a)));
}
V3 Of(const double (&a)[3]) {
  return {a[0], a[1], a[2]};
}

// The built-in layers by name, made once.
class DemoSource final : public host::LayerSource {
 public:
  DemoSource(const host::Scene& scene, DemoPasses passes) {
    for (size_t i = 0; i < scene.layers.size(); ++i) {
      const std::string& name = scene.layers[i].name;
      if (name == "beauty") images_[(int)i] = std::move(passes.color);
      if (name == "P") images_[(int)i] = std::move(passes.position);
      if (name == "N") images_[(int)i] = std::move(passes.normal);
    }
  }
  std::shared_ptr<const host::LayerImage> image(int layer, int) override {
    auto it = images_.find(layer);
    return it == images_.end() ? nullptr : it->second;
  }

 private:
  std::map<int, std::shared_ptr<const host::LayerImage>> images_;
};

}  // namespace

DemoPasses MakeDemoPasses(int width, int height) {
  DemoPasses passes;
  auto make = [&] {
    auto image = std::make_shared<host::LayerImage>();
    image->width = width;
    image->height = height;
    image->rgba.assign(static_cast<size_t>(width) * height * 4, 0.0f);
    return image;
  };
  auto color = make(), position = make(), normal = make();

  const V3 eye = Of(kDemoRenderEye);
  const V3 forward = Normalized(Of(kDemoRenderTarget) - eye);
  const V3 right = Normalized(Cross(V3{0, 1, 0}, forward));  // y points down the screen
  const V3 down = Cross(forward, right);
  const V3 centre = Of(kDemoSphereCentre);

  for (int py = 0; py < height; ++py) {
    for (int px = 0; px < width; ++px) {
      const V3 dir = Normalized(forward * kDemoRenderZoom + right * (px + 0.5 - width / 2.0) +
                                down * (py + 0.5 - height / 2.0));
      double best = INFINITY;
      V3 hit{}, n{};
      float albedo[3] = {0, 0, 0};
      // Sphere.
      const V3 oc = eye - centre;
      const double b = Dot(oc, dir);
      const double disc = b * b - (Dot(oc, oc) - kDemoSphereRadius * kDemoSphereRadius);
      if (disc >= 0) {
        const double t = -b - std::sqrt(disc);
        if (t > 0) {
          best = t;
          hit = eye + dir * t;
          n = Normalized(hit - centre);
          albedo[0] = 0.9f, albedo[1] = 0.42f, albedo[2] = 0.12f;
        }
      }
      // Floor: the plane y = kDemoFloorY, within its square.
      if (dir.y > 1e-9) {
        const double t = (kDemoFloorY - eye.y) / dir.y;
        const V3 p = eye + dir * t;
        if (t > 0 && t < best && std::fabs(p.x - centre.x) <= kDemoFloorHalf &&
            std::fabs(p.z - centre.z) <= kDemoFloorHalf) {
          best = t;
          hit = p;
          n = V3{0, -1, 0};
          const int cx = static_cast<int>(std::floor((p.x - centre.x) / kDemoCheckerSize));
          const int cz = static_cast<int>(std::floor((p.z - centre.z) / kDemoCheckerSize));
          const float v = ((cx + cz) & 1) ? 0.78f : 0.22f;
          albedo[0] = albedo[1] = albedo[2] = v;
        }
      }
      if (!std::isfinite(best)) continue;  // background: transparent, no point
      const size_t i = (static_cast<size_t>(py) * width + px) * 4;
      color->rgba[i + 0] = albedo[0];
      color->rgba[i + 1] = albedo[1];
      color->rgba[i + 2] = albedo[2];
      color->rgba[i + 3] = 1;
      position->rgba[i + 0] = static_cast<float>(hit.x);
      position->rgba[i + 1] = static_cast<float>(hit.y);
      position->rgba[i + 2] = static_cast<float>(hit.z);
      position->rgba[i + 3] = 1;
      normal->rgba[i + 0] = static_cast<float>(n.x);
      normal->rgba[i + 1] = static_cast<float>(n.y);
      normal->rgba[i + 2] = static_cast<float>(n.z);
      normal->rgba[i + 3] = 1;
    }
  }
  passes.color = color;
  passes.position = position;
  passes.normal = normal;
  return passes;
}

host::Scene MakeDemoScene() {
  using nlohmann::json;
  const double cx = kDemoSphereCentre[0], cz = kDemoSphereCentre[2];
  json doc = {
      {"composition",
       {{"width", kDemoWidth}, {"height", kDemoHeight}, {"frame_rate", 24}, {"duration", 1}}},
      {"layers", json::array({
                     {{"name", "Camera 1"},
                      {"type", "camera"},
                      {"camera_type", "perspective"},
                      {"position", {cx + 260, 40, -620}},
                      {"point_of_interest", {cx, 200, cz}},
                      {"zoom", 760}},
                     {{"name", "Diffuse key"},
                      {"type", "light"},
                      {"light_type", "point"},
                      {"position", {cx - 320, -80, -320}},
                      {"intensity", 110},
                      {"color", {1.0, 0.95, 0.85}}},
                     {{"name", "Diffuse rim"},
                      {"type", "light"},
                      {"light_type", "point"},
                      {"position", {cx + 300, 60, 320}},
                      {"intensity", 70},
                      {"color", {0.45, 0.6, 1.0}}},
                     {{"name", "Specular key"},
                      {"type", "light"},
                      {"light_type", "point"},
                      {"position", {cx - 150, -150, -450}},
                      {"intensity", 100},
                      {"color", {1, 1, 1}}},
                     {{"name", "beauty"}, {"type", "footage"}},
                     {{"name", "P"}, {"type", "footage"}},
                     {{"name", "N"}, {"type", "footage"}},
                     {{"name", "Cloud"},
                      {"type", "solid"},
                      {"color", {0, 0, 0, 0}},
                      {"effect",
                       {{"params",
                         {{"SOURCE_LAYER", "beauty"},
                          {"POSITION_PASS", "P"},
                          {"NORMAL_PASS", "N"},
                          {"DIFFUSE_LIGHTS", true},
                          {"SPECULAR_LIGHTS", true},
                          {"SPECULAR_INTENSITY", 1.2},
                          {"SPECULAR_SHININESS", 40},
                          {"PIXEL_SIZE", 2},
                          {"ENABLE_PIXEL_PERSPECTIVE", true},
                          {"ENABLE_GRID", true},
                          {"GRID_SIZE", kDemoFloorHalf},
                          {"GRID_SUBDIVIDE", 12},
                          {"GRID_POSITION_X", cx},
                          {"GRID_POSITION_Y", kDemoFloorY},
                          {"GRID_POSITION_Z", cz}}}}}},
                 })},
      {"render", {{"layer", "Cloud"}, {"frames", "0"}, {"bit_depth", 32}}}};

  host::Scene scene;
  scene.file = "(built-in demo scene)";
  scene.doc = doc;
  scene.composition.width = kDemoWidth;
  scene.composition.height = kDemoHeight;
  scene.composition.frame_rate = 24;
  scene.composition.duration = 1;
  for (const json& l : doc["layers"])
    scene.layers.push_back(
        host::SceneLayer{l["name"].get<std::string>(), l["type"].get<std::string>(), l});
  scene.render.layer = "Cloud";
  scene.render.frames = "0";
  scene.render.bit_depth = 32;
  return scene;
}

int RunDemo(const CommonOptions& common, const std::string& output) {
  try {
    host::Scene scene = MakeDemoScene();
    DemoSource source(scene, MakeDemoPasses(kDemoWidth, kDemoHeight));
    const int layer = *scene.layerIndex("Cloud");
    // The position pass holds composition coordinates, far beyond 8 or 16-bit channels: the
    // effect renders in 32-bit float and the file keeps what its format can.
    RenderJob job{std::move(scene), layer, {0}, FrameOutput(output, 32), 32, 1, true, &source};
    int status = job.run(common, std::cout, std::cerr);
    if (status == 0) std::cout << "wrote " << output << "\n";
    return status;
  } catch (const std::exception& e) {
    std::cerr << "motefield: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace mf::cli
