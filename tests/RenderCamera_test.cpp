// Camera choice, projection, stamp sizes and depth order. Expected pixels are worked out by hand
// in the comments from the camera's position, rotation and zoom.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <vector>

#include "HostFixture.h"
#include "support/SuiteHandler.h"
#include "host/Composition.h"
#include "host/Scene.h"
#include "render/PreRenderData.h"
#include "render/RenderCamera.h"
#include "render/FrameSettings.h"

namespace mf::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A 200 × 100 layer seen by a camera at (100, 50, -100) looking along +z with zoom 100: a point at
// camera-space (X, Y, Z) lands on x = 100 + 100·X/Z, y = 50 + 100·Y/Z.
struct Frame {
  PreRenderData pre{};
  RenderCamera camera = MakeControlCamera(Vec3{100, 50, -100}, Vec3{0, 0, 0}, 100);
  Frame() {
    pre.RENDER_MODE = kRenderModeFull;
    pre.layer_width = 200;
    pre.layer_height = 100;
    pre.downsample_factor_x = pre.downsample_factor_y = 1;
    pre.PIXEL_SIZE = 1;
    pre.REFERENCE_CAMERA_POSITION_X = 100;
    pre.REFERENCE_CAMERA_POSITION_Y = 50;
    pre.REFERENCE_CAMERA_POSITION_Z = -100;
    pre.REFERENCE_CAMERA_ZOOM = 100;
  }
  std::optional<ProjectedPoint> project(Vec3 w, bool two_d = false) { return project(w, w, two_d); }
  std::optional<ProjectedPoint> project(Vec3 w, Vec3 reference, bool two_d = false) {
    const ProjectionConstants k = MakeProjectionConstants(pre, camera, 200, 100);
    return ProjectPoint(camera, k, pre, two_d, w, reference);
  }
};

TEST(RenderCameraProjection, KnownWorldPointsLandOnKnownPixels) {
  Frame f;
  // (150, 50, 100) is (50, 0, 200) from the camera: x = 100 + 100·50/200 = 125, y = 50.
  auto p = f.project(Vec3{150, 50, 100});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->screen_x, 125);
  EXPECT_EQ(p->screen_y, 50);
  EXPECT_DOUBLE_EQ(p->fraction_x, 0);
  EXPECT_FLOAT_EQ(p->depth, 200);
  EXPECT_EQ(p->stamp_size, 1);
  EXPECT_TRUE(p->is_small);
  EXPECT_DOUBLE_EQ(p->coverage, 0);
  // (90, 30, 0) is (-10, -20, 100): x = 100 - 10 = 90, y = 50 - 20 = 30.
  p = f.project(Vec3{90, 30, 0});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->screen_x, 90);
  EXPECT_EQ(p->screen_y, 30);

  // Half resolution with the input's origin at (10, 5): (125 / 2 - 10, 50 / 2 - 5) = (52.5, 20).
  f.pre.downsample_factor_x = f.pre.downsample_factor_y = 2;
  f.pre.input_origin_x = 10;
  f.pre.input_origin_y = 5;
  p = f.project(Vec3{150, 50, 100});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->screen_x, 52);
  EXPECT_DOUBLE_EQ(p->fraction_x, 0.5);
  EXPECT_EQ(p->screen_y, 20);

  // Anti-aliasing shifts by the offset less half a pixel: (125 + 0.25 - 0.5, 50 - 0.5).
  f = Frame();
  f.pre.ENABLE_PIXEL_ANTIALIAS = true;
  f.pre.OFFSET_X = 0.25f;
  p = f.project(Vec3{150, 50, 100});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->screen_x, 124);
  EXPECT_DOUBLE_EQ(p->fraction_x, 0.75);
  EXPECT_EQ(p->screen_y, 49);
  EXPECT_DOUBLE_EQ(p->fraction_y, 0.5);
  // ... but not for a one-pixel point when sub-pixel placement is disabled.
  f.pre.DISABLE_SUBPIXEL = true;
  p = f.project(Vec3{150, 50, 100});
  EXPECT_EQ(p->screen_x, 125);
  // The depth-from-channel mappings shift by the offset alone: 125.25 → 125, fraction 0.25.
  f.pre.DISABLE_SUBPIXEL = false;
  f.pre.MAP_RGB_TO = 8;
  p = f.project(Vec3{150, 50, 100});
  EXPECT_EQ(p->screen_x, 125);
  EXPECT_DOUBLE_EQ(p->fraction_x, 0.25);
  EXPECT_EQ(p->screen_y, 50);
}

TEST(RenderCameraProjection, OrthographicCamerasDoNotDivideByDepth) {
  Frame f;
  f.camera.orthographic = true;
  // Identity rotation: k = 0 + 1 + 0, so view space is divided by k² = 1. x = 100 + 50 at any
  // depth.
  for (float z : {100.0f, 1000.0f}) {
    auto p = f.project(Vec3{150, 60, z});
    ASSERT_TRUE(p);
    EXPECT_EQ(p->screen_x, 150);
    EXPECT_EQ(p->screen_y, 60);
  }
  // Pixel perspective still scales by distances: the point is twice as far from the camera as
  // its reference point is from the reference camera, so a 4-pixel stamp becomes 2.
  f.pre.ENABLE_PIXEL_PERSPECTIVE = true;
  f.pre.REFERENCE_DISPLACEMENT = true;
  f.pre.ADD_PIXEL_PERSPECTIVE = 1;
  f.pre.PIXEL_SIZE = 4;
  auto p = f.project(Vec3{100, 50, 300}, Vec3{100, 50, 100});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->stamp_size, 2);
}

TEST(RenderCameraProjection, PointsBehindTheCameraOrOffScreenAreDropped) {
  Frame f;
  EXPECT_FALSE(f.project(Vec3{100, 50, -100}));  // depth exactly 0
  EXPECT_FALSE(f.project(Vec3{100, 50, -150}));  // behind
  // x = 100 + 100·(-100.5)/100 = -0.5 → column -1, kept; -1.5 → column -2, dropped.
  auto p = f.project(Vec3{-0.5f, 50, 0});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->screen_x, -1);
  EXPECT_FALSE(f.project(Vec3{-1.5f, 50, 0}));
  EXPECT_TRUE(f.project(Vec3{199.5f, 50, 0}));
  EXPECT_FALSE(f.project(Vec3{200, 50, 0}));
  p = f.project(Vec3{100, -0.5f, 0});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->screen_y, -1);
  EXPECT_FALSE(f.project(Vec3{100, -1.5f, 0}));
  EXPECT_FALSE(f.project(Vec3{100, 100, 0}));
  // Far beyond any output: dropped, never turned into an out-of-range integer.
  EXPECT_FALSE(f.project(Vec3{1e30f, 50, 0}));

  // 2D modes keep every point, even at depth 0, off screen or far away...
  EXPECT_TRUE(f.project(Vec3{100, 50, -100}, /*two_d=*/true));
  EXPECT_TRUE(f.project(Vec3{-500, 50, 0}, true));
  p = f.project(Vec3{1e30f, 50, 0}, true);
  ASSERT_TRUE(p);
  // ... but a position that is not a number makes no point in any mode.
  const float nan = (float)kNaN;
  EXPECT_FALSE(f.project(Vec3{nan, 0, 0}));
  EXPECT_FALSE(f.project(Vec3{0, 0, nan}, true));
  EXPECT_FALSE(f.project(Vec3{std::numeric_limits<float>::infinity(), 0, 0}, true));

  // A camera of zoom 0 puts every visible point on the centre; nothing divides by it.
  f.camera.zoom = 0;
  p = f.project(Vec3{150, 20, 0});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->screen_x, 100);
  EXPECT_EQ(p->screen_y, 50);
}

TEST(RenderCameraProjection, PixelPerspectiveScalesTheStampByDistanceRatios) {
  // The reference camera sits where the camera does. W = (100, 50, 100) is 200 from the camera;
  // reference points at z = 300 and z = 0 are 400 and 100 from the reference camera: ratios 2
  // and 0.5. Base stamp 4; the largest stamp is half of min(200, 100) = 50.
  const Vec3 w{100, 50, 100}, far{100, 50, 300}, near{100, 50, 0};
  Frame f;
  f.pre.ENABLE_PIXEL_PERSPECTIVE = true;
  f.pre.REFERENCE_DISPLACEMENT = true;
  f.pre.AA_PIXEL_PERSPECTIVE = true;
  f.pre.PIXEL_SIZE = 4;
  auto stamp = [&](float a, Vec3 ref) {
    f.pre.ADD_PIXEL_PERSPECTIVE = a;
    auto p = f.project(w, ref);
    EXPECT_TRUE(p);
    return p ? *p : ProjectedPoint{};
  };
  // A = 1: the ratio unchanged on both sides. 4·2 = 8 (coverage 8 - 8 = 0); 4·0.5 = 2.
  EXPECT_EQ(stamp(1, far).stamp_size, 8);
  EXPECT_DOUBLE_EQ(stamp(1, far).coverage, 0);
  EXPECT_EQ(stamp(1, near).stamp_size, 2);
  // A = 0: a ratio above 1 becomes 1, one below 1 still shrinks.
  EXPECT_EQ(stamp(0, far).stamp_size, 4);
  EXPECT_EQ(stamp(0, near).stamp_size, 2);
  // A = 2: 2² = 4 → 16; 0.5^(1/2) = 0.7071 → 2.828: stamp 3, coverage 0.828.
  EXPECT_EQ(stamp(2, far).stamp_size, 16);
  ProjectedPoint p = stamp(2, near);
  EXPECT_EQ(p.stamp_size, 3);
  EXPECT_NEAR(p.coverage, 4 * std::sqrt(0.5) - 2, 1e-6);
  EXPECT_FALSE(p.is_small);
  // A = -0.5: above 1 gives 1 + A = 0.5 → 2; below 1 gives 0.5·0.5 = 0.25 → exactly 1: small.
  EXPECT_EQ(stamp(-0.5f, far).stamp_size, 2);
  p = stamp(-0.5f, near);
  EXPECT_EQ(p.stamp_size, 1);
  EXPECT_TRUE(p.is_small);
  EXPECT_DOUBLE_EQ(p.coverage, 1);  // size ≤ 1 without the lock: 2·1 − 1
  f.pre.LOCK_IDEAL_PIXEL = true;
  EXPECT_DOUBLE_EQ(stamp(-0.5f, near).coverage, 0);  // with the lock, size ≥ 1: 1 − 1

  // Without the reference displacement the point is its own reference: ratio 1.
  f.pre.REFERENCE_DISPLACEMENT = false;
  EXPECT_EQ(stamp(1, far).stamp_size, 4);
  // A camera zoom of 100 against a reference zoom of 50 doubles the ratio: 8.
  f.pre.REFERENCE_CAMERA_ZOOM = 50;
  EXPECT_EQ(stamp(1, far).stamp_size, 8);
  // A huge ratio is held to half the smaller output side.
  f.pre.REFERENCE_CAMERA_ZOOM = 0.01;
  EXPECT_EQ(stamp(1, far).stamp_size, 50);
  // A reference zoom of 0 makes the ratio unbounded: the largest stamp, and a coverage that is a
  // number.
  f.pre.REFERENCE_CAMERA_ZOOM = 0;
  p = stamp(1, far);
  EXPECT_EQ(p.stamp_size, 50);
  EXPECT_TRUE(std::isfinite(p.coverage));
  // In a 2D mode a point at the camera's own position has no distance: the largest stamp.
  f.pre.REFERENCE_CAMERA_ZOOM = 100;
  auto at_camera = f.project(Vec3{100, 50, -100}, Vec3{100, 50, -100}, true);
  ASSERT_TRUE(at_camera);
  EXPECT_EQ(at_camera->stamp_size, 50);
  EXPECT_FALSE(at_camera->is_small);

  // Without pixel perspective the base size is clamped to [1, 50].
  f.pre.ENABLE_PIXEL_PERSPECTIVE = false;
  f.pre.PIXEL_SIZE = 0;
  EXPECT_EQ(stamp(1, far).stamp_size, 1);
  f.pre.PIXEL_SIZE = 300;
  EXPECT_EQ(stamp(1, far).stamp_size, 50);
  EXPECT_FALSE(stamp(1, far).is_small);
}

TEST(RenderCameraChoice, ModesPickTheCompositionAffectOrReferenceCamera) {
  using S = CameraSource;
  for (A_long mode : {1, 3, 4, 5, 6, 9, 10}) {
    for (bool relative : {false, true}) {
      EXPECT_EQ(ChooseCameraSource(mode, relative, true), S::kComposition) << mode;
      EXPECT_EQ(ChooseCameraSource(mode, relative, false), S::kAffectCamera) << mode;
    }
  }
  for (bool has : {false, true}) {
    for (bool relative : {false, true}) {
      EXPECT_EQ(ChooseCameraSource(2, relative, has), S::kReference);
    }
    for (A_long mode : {7, 8}) {
      EXPECT_EQ(ChooseCameraSource(mode, false, has), S::kReference);
      EXPECT_EQ(ChooseCameraSource(mode, true, has), has ? S::kComposition : S::kAffectCamera);
    }
  }
}

TEST(RenderCameraSort, FarthestFirstWithEqualDepthsInStorageOrder) {
  // Depths whose keys differ in one, two and all three of the sort's digits (an odd number of
  // passes ends in the work space, an even one in place), many of them equal.
  const std::function<float(A_long)> depth_of[] = {
      [](A_long i) { return std::ldexp(1.0f, (int)((i * 37) % 11)); },
      [](A_long i) { return (float)((i * 37) % 11); },
      [](A_long i) {
        return std::ldexp(1.0f + (float)(i % 3) / 1024.0f + (float)(i % 5) * 1e-6f, (int)(i % 4));
      }};
  for (const auto& depth : depth_of) {
    for (A_long n : {0, 1, 2, 99, 100, 257}) {
      std::vector<float> depths(n);
      std::vector<uint64_t> entries(n);
      for (A_long i = 0; i < n; ++i) {
        depths[i] = depth(i);
        entries[i] = DepthEntry(depths[i], (uint32_t)i);
      }
      const uint32_t* order = CloudDrawOrder(entries.data(), n);
      ASSERT_EQ(order == nullptr, n == 0);
      std::vector<bool> seen(n, false);
      for (A_long i = 0; i < n; ++i) {
        ASSERT_LT(order[i], (uint32_t)n);
        seen[order[i]] = true;
        if (i == 0) continue;
        ASSERT_GE(depths[order[i - 1]], depths[order[i]]) << n;
        if (depths[order[i - 1]] == depths[order[i]]) {
          EXPECT_LT(order[i - 1], order[i]) << "equal depths reordered";
        }
      }
      EXPECT_EQ(std::count(seen.begin(), seen.end(), true), n);
    }
  }
  EXPECT_EQ(CloudDrawOrder(nullptr, 5), nullptr);  // nothing to sort, nothing touched
}

// The camera choice through the host's composition suites.
class RenderCameraHost : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    const auto path = dir_ / "scene.json";
    std::ofstream(path) << R"({
      "composition": {"width": 200, "height": 100},
      "layers": [
        {"name": "Ortho", "type": "camera", "camera_type": "orthographic", "enabled": false,
         "position": [100, 50, -500], "point_of_interest": [100, 50, 0], "zoom": 300},
        {"name": "Aimed", "type": "camera", "position": [0, 0, -100],
         "point_of_interest": [100, 0, 0], "zoom": 141.42135623730951},
        {"name": "Cloud", "type": "solid"}
      ]})";
    host().setComposition(host::Composition::FromScene(host::LoadScene(path)));
    ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
    instance_ = host().newInstance();
    ASSERT_NE(instance_, nullptr);
    host().composition()->attachEffect(2, instance_);
  }
  AEGP_LayerH layer(int i) { return reinterpret_cast<AEGP_LayerH>(host().composition()->layer(i)); }
  PF_ProgPtr ref() { return reinterpret_cast<PF_ProgPtr>(instance_); }
  host::EffectInstance* instance_ = nullptr;
};

TEST_F(RenderCameraHost, CompositionCameraAffectCameraAndReferenceCamera) {
  SuiteHandler suites(host().basicSuite());
  const A_Time t{0, 24};
  Frame f;

  // The aimed camera looks from (0, 0, -100) at (100, 0, 0): its axes are x = (1, 0, -1)/√2,
  // y = (0, 1, 0), z = (1, 0, 1)/√2. The point (100, 20, 0) is (100, 20, 100) from it: view
  // (0, 20, 141.42). With zoom 141.42 it lands at x = 100 + 0, y = 50 + 20 = 70.
  RenderCamera camera{};
  ASSERT_EQ(SetUpRenderCamera(suites, ref(), t, layer(1), f.pre, &camera), PF_Err_NONE);
  EXPECT_FALSE(camera.orthographic);
  EXPECT_NEAR(camera.zoom, 141.42135623730951, 1e-9);
  EXPECT_FLOAT_EQ(camera.position.x, 0);
  EXPECT_FLOAT_EQ(camera.position.z, -100);
  f.camera = camera;
  auto p = f.project(Vec3{100, 20, 0});
  ASSERT_TRUE(p);
  EXPECT_NEAR(p->screen_x + p->fraction_x, 100, 1e-3);
  EXPECT_NEAR(p->screen_y + p->fraction_y, 70, 1e-3);
  EXPECT_NEAR(p->depth, 141.4214, 1e-3);

  // An orthographic comp camera is flagged as such (the layer handle is what the driver got
  // from the effect's camera; the matrix comes from the effect's camera all the same).
  ASSERT_EQ(SetUpRenderCamera(suites, ref(), t, layer(0), f.pre, &camera), PF_Err_NONE);
  EXPECT_TRUE(camera.orthographic);
  EXPECT_DOUBLE_EQ(camera.zoom, 300);

  // Without a comp camera the affect-camera controls alone: at (100, 50, -100) turned 90° about
  // y, view x is world z and view z is −(world x), so (−100, 50, −100), 200 to the camera's
  // left in world terms, is straight ahead at depth 200: the centre.
  f.pre.CAMERA_POSITION_X = 100;
  f.pre.CAMERA_POSITION_Y = 50;
  f.pre.CAMERA_POSITION_Z = -100;
  f.pre.CAMERA_ROTATION_Y = (float)(3.14159265358979323846 / 2);
  f.pre.CAMERA_ZOOM = 100;
  ASSERT_EQ(SetUpRenderCamera(suites, ref(), t, nullptr, f.pre, &camera), PF_Err_NONE);
  EXPECT_FALSE(camera.orthographic);
  f.camera = camera;
  p = f.project(Vec3{-100, 50, -100});
  ASSERT_TRUE(p);
  EXPECT_NEAR(p->screen_x + p->fraction_x, 100, 1e-3);
  EXPECT_NEAR(p->screen_y + p->fraction_y, 50, 1e-3);
  EXPECT_NEAR(p->depth, 200, 1e-3);

  // Mode 2 uses the reference camera even with a comp camera and relative camera on.
  f.pre.RENDER_MODE = kRenderMode2DRelight;
  f.pre.RELATIVE_CAMERA = true;
  f.pre.REFERENCE_CAMERA_POSITION_X = 7;
  f.pre.REFERENCE_CAMERA_ZOOM = 123;
  ASSERT_EQ(SetUpRenderCamera(suites, ref(), t, layer(1), f.pre, &camera), PF_Err_NONE);
  EXPECT_FLOAT_EQ(camera.position.x, 7);
  EXPECT_DOUBLE_EQ(camera.zoom, 123);
  EXPECT_DOUBLE_EQ(camera.matrix[0][0], 1);

  // A refused host call is the result, and the camera is left as it was.
  f.pre.RENDER_MODE = kRenderModeFull;
  host().faults().failOnCall("aegp.GetEffectCameraMatrix", 1);
  RenderCamera untouched{};
  untouched.zoom = -7;
  EXPECT_EQ(SetUpRenderCamera(suites, ref(), t, layer(1), f.pre, &untouched),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_DOUBLE_EQ(untouched.zoom, -7);
}

}  // namespace
}  // namespace mf::test
