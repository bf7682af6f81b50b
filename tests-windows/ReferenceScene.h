// A small fixed scene that both the native test suite and the Windows test program render: a
// 24 x 16 procedural position pass (a gently waved sheet) and colour layer, a camera and a point
// light, with anti-aliasing, perspective point sizes, a pivot rotation and scatter switched on so
// that the frame goes through the float, trigonometric and random paths. The native suite writes
// its frames at 8, 16 and 32 bits to files; the Windows program renders the same scene and
// compares (tests-windows/FrameRender_test.cpp). Header-only so that both builds share it.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/Composition.h"
#include "host/Frame.h"
#include "host/FrameRender.h"
#include "host/Host.h"
#include "host/Scene.h"
#include "params/ParamTable.h"

namespace mf::reference {

inline constexpr int kCompWidth = 48;
inline constexpr int kCompHeight = 32;
inline constexpr int kPassWidth = 24;
inline constexpr int kPassHeight = 16;

inline const char* SceneJson() {
  return R"({"composition": {"width": 48, "height": 32, "frame_rate": 24, "duration": 2},
    "layers": [
      {"name": "Camera 1", "type": "camera", "camera_type": "perspective",
       "position": [24, 16, -60], "point_of_interest": [24, 16, 0], "zoom": 60},
      {"name": "Diffuse key", "type": "light", "light_type": "point",
       "position": [10, 4, -40], "intensity": 100, "color": [1, 0.9, 0.8]},
      {"name": "beauty", "type": "footage", "source": "procedural"},
      {"name": "P", "type": "footage", "source": "procedural"},
      {"name": "Cloud", "type": "solid", "color": [0, 0, 0, 0],
       "effect": {"params": {"SOURCE_LAYER": "beauty", "POSITION_PASS": "P", "PIXEL_SIZE": 2,
                             "ENABLE_PIXEL_PERSPECTIVE": true, "ENABLE_PIXEL_ANTIALIAS": true,
                             "ROTATION_OFFSET_Y": 12.5, "ANCHOR_X": 24, "ANCHOR_Y": 16,
                             "SCATTER_X": 0.75, "SCATTER_RANDOM_SEED": 7}}}]})";
}

// The procedural layers: "P" holds composition-space positions, "beauty" a colour ramp.
class ReferenceLayers : public host::LayerSource {
 public:
  std::shared_ptr<const host::LayerImage> image(int layer, int) override {
    if (layer != 2 && layer != 3) return nullptr;
    auto img = std::make_shared<host::LayerImage>();
    img->width = kPassWidth;
    img->height = kPassHeight;
    img->rgba.resize(size_t(kPassWidth) * kPassHeight * 4);
    for (int y = 0; y < kPassHeight; ++y) {
      for (int x = 0; x < kPassWidth; ++x) {
        float* p = &img->rgba[(size_t(y) * kPassWidth + x) * 4];
        if (layer == 3) {
          p[0] = 2.0f * x + 1.0f;
          p[1] = 2.0f * y + 1.0f;
          p[2] = 4.0f * float(std::sin(0.5 * x) * std::cos(0.4 * y));
        } else {
          p[0] = x / float(kPassWidth - 1);
          p[1] = y / float(kPassHeight - 1);
          p[2] = 0.25f + 0.5f * ((x + y) % 2);
        }
        p[3] = 1.0f;
      }
    }
    return img;
  }
};

// Renders the scene's frame 0 at a depth into *frame. The host must be fresh; the scene file is
// written into dir.
inline PF_Err RenderReference(host::Host& host, const std::filesystem::path& dir, int bit_depth,
                              host::Frame* frame) {
  const std::filesystem::path file = dir / "reference-scene.json";
  std::ofstream(file) << SceneJson();
  host::Scene scene = host::LoadScene(file);
  PF_Err err = host.globalSetup();
  if (err) return err;
  host.setComposition(host::Composition::FromScene(scene));
  host::EffectInstance* instance = host.newInstance(&err);
  if (!instance || err) return err ? err : PF_Err_INTERNAL_STRUCT_DAMAGED;
  const int layer = 4;
  host::ApplyControls(scene, layer, *instance,
                      [](const std::string& id) { return ParamIndexFromIdentifier(id); });
  host.composition()->attachEffect(layer, instance);
  static ReferenceLayers layers;
  host.setLayerSource(&layers);
  host::FrameRequest request;
  request.layer = layer;
  request.width = kCompWidth;
  request.height = kCompHeight;
  request.frame = 0;
  request.bit_depth = bit_depth;
  return host.renderFrame(*instance, request, frame);
}

// The frame's pixels, row by row without padding, as stored (alpha, red, green, blue).
inline std::vector<uint8_t> FrameBytes(const host::Frame& frame) {
  const size_t pixel = frame.format == PF_PixelFormat_ARGB32   ? 4
                       : frame.format == PF_PixelFormat_ARGB64 ? 8
                                                               : 16;
  std::vector<uint8_t> bytes;
  const auto* base = reinterpret_cast<const uint8_t*>(frame.world.data);
  for (A_long y = 0; y < frame.world.height; ++y) {
    const uint8_t* row = base + size_t(y) * frame.world.rowbytes;
    bytes.insert(bytes.end(), row, row + pixel * frame.world.width);
  }
  return bytes;
}

inline std::string ReferenceFileName(int bit_depth) {
  return "reference-" + std::to_string(bit_depth) + ".argb";
}

// The point count the Info panel showed for the frame.
inline std::string PointCountFileName(int bit_depth) {
  return "reference-" + std::to_string(bit_depth) + ".points";
}

}  // namespace mf::reference
