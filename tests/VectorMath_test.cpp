#include "raster/VectorMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace mf {
namespace {

constexpr float kHalfPi = std::numbers::pi_v<float> / 2.0f;
constexpr float kTol = 1e-6f;

void ExpectVec(Vec3 actual, Vec3 expected, float tol = kTol) {
  EXPECT_NEAR(actual.x, expected.x, tol);
  EXPECT_NEAR(actual.y, expected.y, tol);
  EXPECT_NEAR(actual.z, expected.z, tol);
}

Vec3 Rotate(Vec3 angles, Vec3 v) {
  return RotateByMatrix(BuildTransform({0, 0, 0}, angles), v);
}

TEST(VectorMath, RotationsTurnCounterClockwiseAndZActsFirst) {
  // Single axes, right-handed: z takes x to y, x takes y to z, y takes z to x.
  ExpectVec(Rotate({0, 0, kHalfPi}, {1, 0, 0}), {0, 1, 0});
  ExpectVec(Rotate({kHalfPi, 0, 0}, {0, 1, 0}), {0, 0, 1});
  ExpectVec(Rotate({0, kHalfPi, 0}, {0, 0, 1}), {1, 0, 0});
  // Rx·Ry: Ry turns (1,0,0) to (0,0,-1), then Rx turns that to (0,1,0).
  ExpectVec(Rotate({kHalfPi, kHalfPi, 0}, {1, 0, 0}), {0, 1, 0});
  // Rx·Ry·Rz on (1,0,0): Rz gives (0,1,0), Ry leaves it, Rx gives (0,0,1). X acting first would
  // give (0,0,-1).
  ExpectVec(Rotate({kHalfPi, kHalfPi, kHalfPi}, {1, 0, 0}), {0, 0, 1});
  // Composition matches the explicit product.
  const Matrix3 r = BuildRotation({0.3f, -0.7f, 1.1f});
  const Matrix3 p =
      Multiply3x3(AxisAngleMatrix(0.3f, 1, 0, 0),
                  Multiply3x3(AxisAngleMatrix(-0.7f, 0, 1, 0), AxisAngleMatrix(1.1f, 0, 0, 1)));
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_DOUBLE_EQ(r[i][j], p[i][j]);
}

TEST(VectorMath, AxisAngleAboutDiagonalCyclesAxes) {
  // A third of a turn about (1,1,1)/√3 takes x to y, y to z, z to x.
  const double k = 1.0 / std::sqrt(3.0);
  const Matrix3 r = AxisAngleMatrix(2.0 * std::numbers::pi / 3.0, k, k, k);
  EXPECT_NEAR(r[1][0], 1.0, 1e-12);  // column 0 (image of x) is (0,1,0)
  EXPECT_NEAR(r[0][0], 0.0, 1e-12);
  EXPECT_NEAR(r[2][1], 1.0, 1e-12);  // image of y is z
  EXPECT_NEAR(r[0][2], 1.0, 1e-12);  // image of z is x
}

TEST(VectorMath, BuildTransformLayout) {
  const Matrix4 m = BuildTransform({1.5f, -2.0f, 3.0f}, {0, 0, 0});
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) EXPECT_EQ(m[i][j], i == j ? 1.0 : 0.0);
    EXPECT_EQ(m[i][3], 0.0);
  }
  EXPECT_EQ(m[3][0], 1.5);
  EXPECT_EQ(m[3][1], -2.0);
  EXPECT_EQ(m[3][2], 3.0);
  EXPECT_EQ(m[3][3], 1.0);
  // Widened from float, not from the decimal.
  EXPECT_EQ(BuildTransform({0.1f, 0, 0}, {0, 0, 0})[3][0], (double)0.1f);
}

TEST(VectorMath, DistanceDotAndNormalize) {
  EXPECT_EQ(Distance3({1, 2, 3}, {4, 6, 3}), 5.0f);
  EXPECT_EQ(Dot3({1, 2, 3}, {4, -5, 6}), 12.0f);

  Vec3 v{3, 0, 4};
  EXPECT_TRUE(Normalize3(v));
  ExpectVec(v, {0.6f, 0, 0.8f});

  Vec3 zero{0, 0, 0};
  EXPECT_FALSE(Normalize3(zero));
  ExpectVec(zero, {0, 0, 0}, 0);
}

TEST(VectorMath, NormalizeRefusesNonFiniteVectors) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  Vec3 a{nan, 1, 0};
  EXPECT_FALSE(Normalize3(a));
  EXPECT_EQ(a.y, 1.0f);  // left as it was
  Vec3 b{inf, 0, 0};
  EXPECT_FALSE(Normalize3(b));  // would otherwise become (NaN, 0, 0)
  EXPECT_EQ(b.x, inf);
  // Finite but with a squared length beyond float range: no unit vector in single precision.
  Vec3 c{1e20f, 0, 0};
  EXPECT_FALSE(Normalize3(c));
  EXPECT_EQ(c.x, 1e20f);
}

TEST(VectorMath, WorldToViewSubtractsInPlaceAndDividesOrthographic) {
  Matrix4 m = BuildTransform({0.5f, 0.5f, 0.5f}, {0, 0, 0});
  Vec3 p{1, 2, 3};
  ExpectVec(WorldToView(m, p, false), {0.5f, 1.5f, 2.5f});
  ExpectVec(p, {0.5f, 1.5f, 2.5f}, 0);  // changed in place

  // Orthographic with an identity rotation: k = 0 + 1 + 0, k² = 1.
  Vec3 q{1, 2, 3};
  ExpectVec(WorldToView(m, q, true), {0.5f, 1.5f, 2.5f});

  // Orthographic with k = 2 (a uniform scale of 2): divides by 4.
  Matrix4 s = IdentityMatrix4();
  s[0][0] = s[1][1] = s[2][2] = 2.0;
  Vec3 r{4, 8, 12};
  ExpectVec(WorldToView(s, r, true), {2, 4, 6});

  // Column 1 summing to exactly 0: k becomes 1e-9 and the result is divided by 1e-18.
  Matrix4 z = IdentityMatrix4();
  z[0][1] = 0.5;
  z[1][1] = -0.5;
  Vec3 t{1e-9f, 0, 0};
  const Vec3 out = WorldToView(z, t, true);
  EXPECT_FLOAT_EQ(out.x, (float)((double)1e-9f / 1e-18));

  // A rotation about z by 90°: world x becomes view y.
  Matrix4 rz = BuildTransform({10, 0, 0}, {0, 0, kHalfPi});
  Vec3 w{11, 0, 0};
  ExpectVec(WorldToView(rz, w, false), {0, 1, 0});
}

TEST(VectorMath, TransformAboutPivot) {
  // Neutral transform: p comes back unchanged for any pivot; p itself becomes p - pivot.
  const Matrix4 id = IdentityMatrix4();
  Vec3 p{3, -4, 5};
  ExpectVec(TransformAboutPivot(id, {100, 200, -300}, p, {1, 1, 1}), {3, -4, 5});
  ExpectVec(p, {-97, -204, 305}, 0);

  // (2,1,1) about pivot (1,1,1): (1,0,0) scaled by 2 -> (2,0,0); turned 90° about z -> (0,2,0);
  // plus pivot -> (1,3,1); plus translation (10,0,0) -> (11,3,1).
  const Matrix4 m = BuildTransform({10, 0, 0}, {0, 0, kHalfPi});
  Vec3 q{2, 1, 1};
  ExpectVec(TransformAboutPivot(m, {1, 1, 1}, q, {2, 2, 2}), {11, 3, 1}, 1e-5f);
  ExpectVec(q, {2, 0, 0}, 0);
}

TEST(VectorMath, IntersectAtZ) {
  // From (0,0,-10) along (1,2,5): t = 2 reaches z = 0 at (2,4).
  ExpectVec(IntersectAtZ({0, 0, -10}, {1, 2, 5}, 0), {2, 4, 0}, 0);
  // Backwards along the ray: t = -1.
  ExpectVec(IntersectAtZ({1, 1, 4}, {2, 0, 2}, 2), {-1, 1, 2}, 0);
}

}  // namespace
}  // namespace mf
