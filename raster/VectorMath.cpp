#include "raster/VectorMath.h"

#include <cmath>

namespace mf {

Matrix4 IdentityMatrix4() {
  Matrix4 m{};
  for (int i = 0; i < 4; ++i) m[i][i] = 1.0;
  return m;
}

Matrix3 IdentityMatrix3() {
  Matrix3 m{};
  for (int i = 0; i < 3; ++i) m[i][i] = 1.0;
  return m;
}

Matrix3 AxisAngleMatrix(double angle, double ax, double ay, double az) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  const double t = 1.0 - c;
  Matrix3 r;
  r[0][0] = t * ax * ax + c;
  r[0][1] = t * ax * ay - s * az;
  r[0][2] = t * ax * az + s * ay;
  r[1][0] = t * ax * ay + s * az;
  r[1][1] = t * ay * ay + c;
  r[1][2] = t * ay * az - s * ax;
  r[2][0] = t * ax * az - s * ay;
  r[2][1] = t * ay * az + s * ax;
  r[2][2] = t * az * az + c;
  return r;
}

Matrix3 Multiply3x3(const Matrix3& a, const Matrix3& b) {
  Matrix3 r;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    }
  }
  return r;
}

Matrix3 BuildRotation(Vec3 angles) {
  const Matrix3 rx = AxisAngleMatrix(angles.x, 1.0, 0.0, 0.0);
  const Matrix3 ry = AxisAngleMatrix(angles.y, 0.0, 1.0, 0.0);
  const Matrix3 rz = AxisAngleMatrix(angles.z, 0.0, 0.0, 1.0);
  return Multiply3x3(rx, Multiply3x3(ry, rz));
}

Matrix4 BuildTransform(Vec3 translation, Vec3 angles) {
  const Matrix3 r = BuildRotation(angles);
  Matrix4 m;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) m[i][j] = r[i][j];
    m[i][3] = 0.0;
  }
  m[3][0] = static_cast<double>(translation.x);
  m[3][1] = static_cast<double>(translation.y);
  m[3][2] = static_cast<double>(translation.z);
  m[3][3] = 1.0;
  return m;
}

Vec3 WorldToView(const Matrix4& m, Vec3& p, bool orthographic) {
  p.x -= static_cast<float>(m[3][0]);
  p.y -= static_cast<float>(m[3][1]);
  p.z -= static_cast<float>(m[3][2]);
  double r[3];
  RotateDouble(m, p, r);
  if (orthographic) {
    double k = m[0][1] + m[1][1] + m[2][1];
    if (k == 0.0) k = 1e-9;
    const double k2 = k * k;
    for (double& c : r) c /= k2;
  }
  return {static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2])};
}

Vec3 TransformAboutPivot(const Matrix4& m, Vec3 pivot, Vec3& p, Vec3 scale) {
  p.x = (p.x - pivot.x) * scale.x;
  p.y = (p.y - pivot.y) * scale.y;
  p.z = (p.z - pivot.z) * scale.z;
  Vec3 out = RotateByMatrix(m, p);
  out = out + pivot;
  out.x += static_cast<float>(m[3][0]);
  out.y += static_cast<float>(m[3][1]);
  out.z += static_cast<float>(m[3][2]);
  return out;
}

Vec3 IntersectAtZ(Vec3 a, Vec3 d, float z) {
  const float t = (z - a.z) / d.z;
  return {a.x + d.x * t, a.y + d.y * t, z};
}

}  // namespace mf
