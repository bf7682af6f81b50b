// The built-in demo scene: its geometry, the passes a small ray tracer makes of it, and the scene
// that renders them through the effect.
#pragma once

#include <memory>

#include "host/Frame.h"
#include "host/Scene.h"

namespace mf::cli {

inline constexpr int kDemoWidth = 640;
inline constexpr int kDemoHeight = 360;
// Composition space: x right, y down, z into the screen, in pixels.
inline constexpr double kDemoSphereCentre[3] = {320, 150, 0};
inline constexpr double kDemoSphereRadius = 100;
inline constexpr double kDemoFloorY = 250;     // the floor touches the sphere's bottom
inline constexpr double kDemoFloorHalf = 300;  // half the floor square's side
inline constexpr double kDemoCheckerSize = 50;
// The camera of the "3D package" that made the passes (not the composition's camera).
inline constexpr double kDemoRenderEye[3] = {320, 20, -700};
inline constexpr double kDemoRenderTarget[3] = {320, 190, 0};
inline constexpr double kDemoRenderZoom = 700;

struct DemoPasses {
  std::shared_ptr<const host::LayerImage> color;     // albedo; alpha 0 where nothing was hit
  std::shared_ptr<const host::LayerImage> position;  // composition-space x, y, z
  std::shared_ptr<const host::LayerImage> normal;    // unit normals in composition space
};
DemoPasses MakeDemoPasses(int width, int height);

host::Scene MakeDemoScene();

}  // namespace mf::cli
