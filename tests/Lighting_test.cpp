#include "raster/Lighting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace mf {
namespace {

LightingSettings Settings() {
  LightingSettings s{};
  s.specular_lights = true;
  s.alpha_lights = true;
  s.specular_color = {1, 1, 1, 1};
  s.ibl_gain = 1;
  return s;
}

LightRecord Light(A_long type, Vec3 position, float intensity = 1.0f) {
  LightRecord l{};
  l.type = type;
  l.intensity = intensity;
  l.color = {1, 1, 1, 1};
  l.transform = IdentityMatrix4();
  l.transform[3][0] = position.x;
  l.transform[3][1] = position.y;
  l.transform[3][2] = position.z;
  l.is_diffuse_light = true;
  return l;
}

struct Shade {
  LightingSettings s = Settings();
  std::vector<LightRecord> lights;
  Vec3 n{0, 0, -1};
  Vec3 v{0, 0, -1};
  Vec3 p{0, 0, 0};
  bool has_n2 = false;
  Vec3 n2{0, 0, 0};
  bool alpha_uses_normal = false;
  bool ibl_active = false;
  float spec_intensity = 0;
  uint16_t shininess = 0;
  float bias = 0;
  PF_PixelFormat format = PF_PixelFormat_ARGB128;
  ColorF lit{0, 0, 0, 0};
  ColorF specular{1, 0, 0, 0};

  PF_Err Run() {
    lit = {0, 0, 0, 0};
    specular = {1, 0, 0, 0};
    const LightList list{!lights.empty(), (A_long)lights.size(), lights.data()};
    const Matrix4 identity = IdentityMatrix4();
    const LightingFrame frame{s,      list, alpha_uses_normal, ibl_active, false, identity,
                              format, bias};
    return ComputeLighting(frame, LitPoint{p, n, has_n2, n2, v, spec_intensity, shininess}, &lit,
                           &specular);
  }
};

TEST(Lighting, Powi) {
  EXPECT_EQ(powi(0.5f, 0), 1.0f);
  EXPECT_EQ(powi(-2.0f, 3), -8.0f);
  EXPECT_EQ(powi(3.0f, 4), 81.0f);
  EXPECT_NEAR(powi(0.9f, 100), std::pow(0.9, 100.0), 1e-10);  // repeated squaring rounds a little
}

TEST(Lighting, SmoothAndInverseSquareFalloff) {
  // A point light at the origin facing the surface head on (N·L = 1), so the diffuse term is the
  // attenuation itself.
  Shade sh;
  sh.s.enable_falloff = true;
  LightRecord l = Light(kLightPoint, {0, 0, 0});
  l.falloff_type = kFalloffSmooth;
  l.falloff_radius = 100;
  l.falloff_distance = 50;
  sh.lights = {l};
  const struct {
    float d, expected;
  } smooth[] = {{50, 1}, {100, 1}, {125, 0.5f}, {140, 0.2f}, {150, 0}, {400, 0}};
  for (const auto& c : smooth) {
    sh.p = {0, 0, c.d};
    ASSERT_EQ(sh.Run(), PF_Err_NONE);
    EXPECT_NEAR(sh.lit.red, c.expected, 1e-6) << c.d;
  }
  // Inverse square clamped, radius 100: 1 up to the radius, then (100/d)².
  sh.lights[0].falloff_type = kFalloffInverseSquareClamped;
  sh.p = {0, 0, 200};
  sh.Run();
  EXPECT_FLOAT_EQ(sh.lit.red, 0.25f);
  sh.p = {0, 0, 80};
  sh.Run();
  EXPECT_FLOAT_EQ(sh.lit.red, 1.0f);
  sh.lights[0].falloff_radius = 0;  // no radius: nothing beyond the light itself
  sh.Run();
  EXPECT_EQ(sh.lit.red, 0.0f);
  // Falloff switched off, or a type without falloff: full light at any distance.
  sh.lights[0].falloff_type = kFalloffNone;
  sh.p = {0, 0, 1e6f};
  sh.Run();
  EXPECT_FLOAT_EQ(sh.lit.red, 1.0f);
  sh.s.enable_falloff = false;
  sh.lights[0].falloff_type = kFalloffSmooth;
  sh.Run();
  EXPECT_FLOAT_EQ(sh.lit.red, 1.0f);
}

TEST(Lighting, FalloffBiasShapesAttenuation) {
  Shade sh;
  sh.s.enable_falloff = true;
  LightRecord l = Light(kLightPoint, {0, 0, 0});
  l.falloff_type = kFalloffSmooth;
  l.falloff_radius = 100;
  l.falloff_distance = 50;
  sh.lights = {l};
  const float kBias = 0.99999899f;  // ±100 % after the driver's scaling
  // Bias -0.99999899: exponent 1.01e-6, so 0.5 becomes practically 1 and 0 stays 0.
  sh.bias = -kBias;
  sh.p = {0, 0, 125};
  sh.Run();
  EXPECT_NEAR(sh.lit.red, 1.0f, 1e-5);
  sh.p = {0, 0, 150};
  sh.Run();
  EXPECT_EQ(sh.lit.red, 0.0f);
  // Bias +0.99999899: exponent about 10^6, so 0.5 becomes 0 and 1 stays 1.
  sh.bias = kBias;
  sh.p = {0, 0, 125};
  sh.Run();
  EXPECT_EQ(sh.lit.red, 0.0f);
  sh.p = {0, 0, 100};
  sh.Run();
  EXPECT_EQ(sh.lit.red, 1.0f);
  // Bias -0.5: exponent 0.5, 0.25 → 0.5 (d = 137.5). Bias +0.5: exponent 2, 0.5 → 0.25.
  sh.bias = -0.5f;
  sh.p = {0, 0, 137.5f};
  sh.Run();
  EXPECT_FLOAT_EQ(sh.lit.red, 0.5f);
  sh.bias = 0.5f;
  sh.p = {0, 0, 125};
  sh.Run();
  EXPECT_FLOAT_EQ(sh.lit.red, 0.25f);
}

TEST(Lighting, RelativeNormalsLightBothSides) {
  // Point light 10 units in front; the surface faces away from it (N·L = -1).
  Shade sh;
  LightRecord l = Light(kLightPoint, {0, 0, -10});
  l.is_specular_light = true;
  sh.lights = {l};
  sh.n = {0, 0, 1};
  sh.v = {0, 0, -1};
  sh.spec_intensity = 1;
  sh.shininess = 1;
  sh.s.hard_specular = true;
  sh.Run();
  EXPECT_EQ(sh.lit.red, 0.0f);       // no diffuse
  EXPECT_EQ(sh.specular.red, 0.0f);  // no specular: the face is turned away
  // Relative normals: diffuse from |N·L| = 1; specular from the signed dot product:
  // R = N·(2·-1) - L = (0,0,-2) - (0,0,-1) → (0,0,-1), R·V = 1. (With |N·L| R would be (0,0,1)
  // and R·V = -1.)
  sh.s.relative_normals = true;
  sh.Run();
  EXPECT_FLOAT_EQ(sh.lit.red, 1.0f);
  EXPECT_FLOAT_EQ(sh.specular.red, 1.0f);
  EXPECT_EQ(sh.specular.alpha, 1.0f);
}

TEST(Lighting, ParallelLightDirectionAndBackFaceSpecular) {
  // Identity orientation: L = (0, 0, -1). A face turned away still gets specular.
  Shade sh;
  LightRecord l = Light(kLightParallel, {0, 0, -10});
  l.is_specular_light = true;
  sh.lights = {l};
  sh.n = {0, 0, 1};
  sh.v = {0, 0, 1};
  sh.spec_intensity = 0.5f;
  sh.shininess = 4;
  sh.Run();
  // dS = |N·L| = 1 → R = (0,0,2) - (0,0,-1) → (0,0,1); R·V = 1 → S = 0.5.
  EXPECT_EQ(sh.lit.red, 0.0f);
  EXPECT_FLOAT_EQ(sh.specular.red, 0.5f);
  // The same geometry with a point light: no specular on the back face.
  sh.lights[0].type = kLightPoint;
  sh.Run();
  EXPECT_EQ(sh.specular.red, 0.0f);

  // Direction from column 2 with z negated, not from row 2. Rx(90°)·Ry(90°) has rows (0,0,1),
  // (1,0,0), (0,1,0): column 2 gives L = (1, 0, -0); the negated row 2 would be (0, -1, 0).
  LightRecord r = Light(kLightParallel, {0, 0, 0});
  const float q = std::numbers::pi_v<float> / 2;
  const Matrix4 m = BuildTransform({0, 0, 0}, {q, q, 0});
  r.transform = m;
  sh.lights = {r};
  sh.n = {1, 0, 0};
  sh.Run();
  EXPECT_NEAR(sh.lit.red, 1.0f, 1e-6);
  sh.n = {0, -1, 0};
  sh.Run();
  EXPECT_NEAR(sh.lit.red, 0.0f, 1e-6);
}

// A spot light at the origin shining along +z (so the axis used for the cone test, minus row 2,
// is (0, 0, -1)), and a point at angle θ from the axis whose normal faces the light.
void SpotAt(Shade& sh, float degrees) {
  const double t = std::tan(degrees * std::numbers::pi / 180.0);
  sh.p = {(float)(100.0 * t), 0, 100};
  Vec3 l = Vec3{0, 0, 0} - sh.p;
  Normalize3(l);
  sh.n = l;
}

TEST(Lighting, SpotConeAndFeather) {
  Shade sh;
  LightRecord diffuse = Light(kLightSpot, {0, 0, 0});
  diffuse.cone_angle = 90;
  diffuse.cone_feather = 50;
  LightRecord alpha = diffuse;
  alpha.is_alpha_light = true;
  // Half angle 45°, feathered over its outer half: factor (45 - θ) / 22.5, at most 1.
  const struct {
    float degrees, factor;
  } cases[] = {{0, 1}, {22.5f, 1}, {33.75f, 0.5f}, {40, 5.0f / 22.5f}, {45.1f, 0}, {90, 0}};
  for (const auto& c : cases) {
    SpotAt(sh, c.degrees);
    sh.lights = {diffuse};
    sh.Run();
    EXPECT_NEAR(sh.lit.red, c.factor, 1e-5) << c.degrees;
    sh.lights = {alpha};  // the base intensity takes the same factor
    sh.Run();
    EXPECT_NEAR(sh.lit.alpha, c.factor, 1e-5) << c.degrees;
    EXPECT_EQ(sh.lit.red, 0.0f);
  }
  // No feather: a hard edge.
  diffuse.cone_feather = 0;
  sh.lights = {diffuse};
  SpotAt(sh, 44.9f);
  sh.Run();
  EXPECT_NEAR(sh.lit.red, 1.0f, 1e-5);
}

TEST(Lighting, SpotOnItsAxisIsLitDespiteRounding) {
  // The direction (0.37, 1.42, -3) normalised in single precision has a dot product with itself of
  // 1.00000012, outside acos's domain. A point on the axis must still be lit.
  Vec3 u{0.37f, 1.42f, -3.0f};
  Normalize3(u);
  ASSERT_GT(Dot3(u, u), 1.0f) << "the rounding case this test relies on";

  Shade sh;
  LightRecord l = Light(kLightSpot, {0.37f, 1.42f, -3.0f});
  // Minus row 2 is the direction from the lit point back to the light: L itself.
  l.transform[2][0] = -(double)0.37f;
  l.transform[2][1] = -(double)1.42f;
  l.transform[2][2] = 3.0;
  l.cone_angle = 1;
  l.cone_feather = 0;
  sh.lights = {l};
  sh.p = {0, 0, 0};
  sh.n = u;
  sh.Run();
  EXPECT_NEAR(sh.lit.red, 1.0f, 1e-6);
  // A cone of zero angle lights its axis and nothing else.
  sh.lights[0].cone_angle = 0;
  sh.Run();
  EXPECT_NEAR(sh.lit.red, 1.0f, 1e-6);
}

TEST(Lighting, HardSpecularKeepsNegativeSums) {
  // Parallel light, odd exponent, R·V = -1: S = -spec_intensity.
  Shade sh;
  LightRecord l = Light(kLightParallel, {0, 0, 0});
  l.is_specular_light = true;
  l.is_diffuse_light = false;
  sh.lights = {l};
  sh.n = {0, 0, 1};
  sh.v = {0, 0, -1};
  sh.spec_intensity = 2;
  sh.shininess = 1;
  sh.s.specular_color = {1, 1, 0.5f, 0.25f};
  sh.Run();
  EXPECT_EQ(sh.specular.red, 0.0f);
  EXPECT_EQ(sh.specular.green, 0.0f);
  EXPECT_EQ(sh.specular.alpha, 1.0f);
  sh.s.hard_specular = true;
  sh.Run();
  EXPECT_FLOAT_EQ(sh.specular.red, -2.0f);
  EXPECT_FLOAT_EQ(sh.specular.green, -1.0f);
  EXPECT_FLOAT_EQ(sh.specular.blue, -0.5f);
  // The light's own colour instead of the specular colour.
  sh.s.use_light_color = true;
  sh.lights[0].color = {1, 0.25f, 0, 1};
  sh.Run();
  EXPECT_FLOAT_EQ(sh.specular.red, -0.5f);
  EXPECT_FLOAT_EQ(sh.specular.blue, -2.0f);
}

TEST(Lighting, AlternateNormalFeedsSpecular) {
  // Point light in front; N faces it, N2 is perpendicular. With N: R = (0,0,-1), R·V = -1.
  // With N2: dS = 0, R = -L = (0,0,1), R·V = 1.
  Shade sh;
  LightRecord l = Light(kLightPoint, {0, 0, -10});
  l.is_specular_light = true;
  sh.lights = {l};
  sh.v = {0, 0, 1};
  sh.spec_intensity = 1;
  sh.shininess = 1;
  sh.s.hard_specular = true;
  sh.has_n2 = true;
  sh.n2 = {1, 0, 0};
  sh.Run();
  EXPECT_FLOAT_EQ(sh.specular.red, -1.0f);  // specular_use_normal off: N
  sh.s.specular_use_normal = true;
  sh.Run();
  EXPECT_FLOAT_EQ(sh.specular.red, 1.0f);
  EXPECT_FLOAT_EQ(sh.lit.red, 1.0f);  // diffuse stays with N
  sh.s.specular_lights = false;       // the switch gates the alternate normal
  sh.Run();
  EXPECT_FLOAT_EQ(sh.specular.red, -1.0f);
}

TEST(Lighting, AmbientAndAlphaLights) {
  Shade sh;
  LightRecord amb = Light(kLightAmbient, {0, 0, 0}, 0.7f);
  amb.color = {1, 1, 0.5f, 0};
  amb.is_alpha_light = true;
  amb.is_specular_light = true;
  sh.lights = {amb};
  sh.Run();
  EXPECT_FLOAT_EQ(sh.lit.alpha, 0.7f);  // alpha light: alpha slot only
  EXPECT_EQ(sh.lit.red, 0.0f);
  EXPECT_EQ(sh.specular.red, 0.0f);
  sh.s.alpha_lights = false;  // then it is an ordinary diffuse light
  sh.Run();
  EXPECT_EQ(sh.lit.alpha, 0.0f);
  EXPECT_FLOAT_EQ(sh.lit.red, 0.7f);
  EXPECT_FLOAT_EQ(sh.lit.green, 0.35f);
  EXPECT_FLOAT_EQ(sh.lit.blue, 0.0f);
  // Alpha amount from the normal: a point light with N·L = 0.6 gives A = D = 0.6.
  sh.s.alpha_lights = true;
  LightRecord pt = Light(kLightPoint, {0, 0, -10});
  pt.is_alpha_light = true;
  sh.lights = {pt};
  sh.n = {0.8f, 0, -0.6f};
  sh.Run();
  EXPECT_FLOAT_EQ(sh.lit.alpha, 1.0f);
  sh.alpha_uses_normal = true;
  sh.Run();
  EXPECT_FLOAT_EQ(sh.lit.alpha, 0.6f);
}

TEST(Lighting, BadRecordsReportButOthersStillCount) {
  Shade sh;
  LightRecord unknown = Light(7, {0, 0, -10});
  LightRecord at_point = Light(kLightPoint, {0, 0, 0});  // zero-length L: skipped silently
  LightRecord amb = Light(kLightAmbient, {0, 0, 0}, 0.5f);
  sh.lights = {at_point};
  EXPECT_EQ(sh.Run(), PF_Err_NONE);
  EXPECT_EQ(sh.lit.red, 0.0f);
  sh.lights = {unknown, at_point, amb};
  EXPECT_EQ(sh.Run(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_FLOAT_EQ(sh.lit.red, 0.5f);
  // A spot whose orientation has no z row cannot be aimed: skipped without error.
  LightRecord spot = Light(kLightSpot, {0, 0, -10});
  spot.transform[2][2] = 0;
  spot.cone_angle = 180;
  sh.lights = {spot};
  EXPECT_EQ(sh.Run(), PF_Err_NONE);
  EXPECT_EQ(sh.lit.red, 0.0f);
}

TEST(Lighting, ImageBasedLight) {
  // A 4×4 environment of one colour: (a 0.5, r 1, g 0.5, b 0.25), in float and in 8-bit.
  std::vector<PF_PixelFloat> envf(16, PF_PixelFloat{0.5f, 1, 0.5f, 0.25f});
  std::vector<PF_Pixel8> env8(16, PF_Pixel8{255, 255, 51, 0});
  PF_EffectWorld wf{}, w8{};
  wf.data = reinterpret_cast<PF_PixelPtr>(envf.data());
  wf.width = wf.height = 4;
  wf.rowbytes = 4 * sizeof(PF_PixelFloat);
  w8.data = env8.data();
  w8.width = w8.height = 4;
  w8.rowbytes = 4 * sizeof(PF_Pixel8);

  Shade sh;
  LightRecord ibl{};
  ibl.is_image_based = true;
  ibl.is_diffuse_light = ibl.is_specular_light = true;
  ibl.environment = &wf;
  sh.lights = {ibl};
  sh.ibl_active = true;
  sh.s.ibl_gain = 2;
  sh.s.use_light_color = true;
  sh.n = {0, 0, 1};
  sh.v = {0.6f, 0, 0.8f};
  sh.spec_intensity = 0.5f;
  sh.shininess = 2;
  ASSERT_EQ(sh.Run(), PF_Err_NONE);
  // D = 0.5 · 2 = 1; S = (N·V)² · 0.5 · D = 0.32; the record's colour is now the sample.
  EXPECT_FLOAT_EQ(sh.lit.red, 1.0f);
  EXPECT_FLOAT_EQ(sh.lit.green, 0.5f);
  EXPECT_FLOAT_EQ(sh.lit.blue, 0.25f);
  EXPECT_EQ(sh.lit.alpha, 0.0f);
  EXPECT_FLOAT_EQ(sh.specular.red, 0.32f);
  EXPECT_FLOAT_EQ(sh.specular.green, 0.16f);
  EXPECT_FLOAT_EQ(sh.lights[0].color.alpha, 0.5f);

  // 8-bit environment: alpha 1, D = 2.
  sh.lights[0].environment = &w8;
  sh.format = PF_PixelFormat_ARGB32;
  ASSERT_EQ(sh.Run(), PF_Err_NONE);
  EXPECT_FLOAT_EQ(sh.lit.red, 2.0f);
  EXPECT_FLOAT_EQ(sh.lit.green, 0.4f);

  // The alternate normal is used when asked for and present; a zero one cannot be sampled.
  sh.s.ibl_use_normal = true;
  sh.has_n2 = true;
  sh.n2 = {0, 0, 0};
  EXPECT_EQ(sh.Run(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(sh.lit.red, 0.0f);
  sh.ibl_active = false;  // not active: N again
  EXPECT_EQ(sh.Run(), PF_Err_NONE);

  // No world, or a format the sampler does not know: 516, nothing added.
  sh.lights[0].environment = nullptr;
  EXPECT_EQ(sh.Run(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(sh.lit.red, 0.0f);
  sh.lights[0].environment = &w8;
  sh.format = PF_PixelFormat_INVALID;
  EXPECT_EQ(sh.Run(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(sh.lit.red, 0.0f);
}

}  // namespace
}  // namespace mf
