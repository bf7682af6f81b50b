// A composition in code for whole-frame tests: a camera at (0, 0, −100) looking along +z with
// zoom 100 onto the 40 × 40 solid "Cloud", so a world point (x, y, z) lands at
// (x · 100 / (z + 100) + 20, y · 100 / (z + 100) + 20); then the footage layers "beauty" and "P"
// for the source colours and the position pass, served from images set by the test.
#pragma once

#include <map>
#include <memory>
#include <set>

#include "host/Composition.h"
#include "host/Frame.h"

namespace mf::test {

class ImageSource final : public host::LayerSource {
 public:
  std::shared_ptr<const host::LayerImage> image(int layer, int frame) override {
    if (log_frames) frames.insert(frame);
    auto it = images.find(layer);
    return it == images.end() ? nullptr : it->second;
  }
  std::map<int, std::shared_ptr<host::LayerImage>> images;
  bool log_frames = false;
  std::set<int> frames;  // composition frames asked for, once log_frames is set
};

inline std::shared_ptr<host::LayerImage> Blank(int w, int h) {
  auto img = std::make_shared<host::LayerImage>();
  img->width = w;
  img->height = h;
  img->rgba.assign((size_t)w * h * 4, 0.0f);
  return img;
}

inline void Set(host::LayerImage& img, int x, int y, float r, float g, float b, float a) {
  float* p = &img.rgba[((size_t)y * img.width + x) * 4];
  p[0] = r;
  p[1] = g;
  p[2] = b;
  p[3] = a;
}

// Layers: 0 camera, 1 the solid the effect is on, 2 the source colours, 3 the position pass.
inline std::unique_ptr<host::Composition> CameraOverSolid(int pass_size) {
  auto comp = std::make_unique<host::Composition>(host::CompositionSettings{40, 40, 24, 48});
  host::CompLayer camera;
  camera.name = "Camera 1";
  camera.kind = host::LayerKind::kCamera;
  camera.camera_type = AEGP_CameraType_PERSPECTIVE;
  camera.has_point_of_interest = true;
  camera.streams[AEGP_LayerStream_POSITION] = host::Animated::Constant({0, 0, -100, 0});
  camera.streams[AEGP_LayerStream_ANCHORPOINT] = host::Animated::Constant({0, 0, 0, 0});
  camera.streams[AEGP_LayerStream_ZOOM] = host::Animated::Constant({100, 0, 0, 0});
  comp->addLayer(camera);
  host::CompLayer solid;
  solid.name = "Cloud";
  solid.width = solid.height = 40;
  comp->addLayer(solid);
  for (const char* name : {"beauty", "P"}) {
    host::CompLayer footage;
    footage.name = name;
    footage.kind = host::LayerKind::kFootage;
    footage.width = footage.height = pass_size;
    comp->addLayer(footage);
  }
  return comp;
}

}  // namespace mf::test
