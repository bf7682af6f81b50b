// Small fixed set of 3D routines shared by point placement, projection, normal rotation, lighting
// and the grid. Vectors are single precision; matrices are double precision, row-major, applied to
// column vectors (component i of R·v is row i dotted with v). The translation lives in row 3.
#pragma once

#include <cmath>

namespace mf {

struct Vec3 {
  float x, y, z;
};

// 4×4 doubles, indexed m[row][column]. Rows 0-2, columns 0-2: rotation. Column 3 of rows 0-2: 0.
// Row 3: translation (tx, ty, tz) and 1.0. Same layout as the host's A_Matrix4.
struct Matrix4 {
  double m[4][4];
  double* operator[](int row) { return m[row]; }
  const double* operator[](int row) const { return m[row]; }
};

// 3×3 doubles, indexed m[row][column].
struct Matrix3 {
  double m[3][3];
  double* operator[](int row) { return m[row]; }
  const double* operator[](int row) const { return m[row]; }
};

Matrix4 IdentityMatrix4();
Matrix3 IdentityMatrix3();

inline Vec3 operator+(Vec3 a, Vec3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, float s) {
  return {a.x * s, a.y * s, a.z * s};
}

// Single-precision dot product.
inline float Dot3(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// √((a − b)·(a − b)), single precision.
inline float Distance3(Vec3 a, Vec3 b) {
  const Vec3 d = a - b;
  return std::sqrt(Dot3(d, d));
}

// Scales v to unit length and returns true. Returns false and leaves v as it was when the length
// is not above 0 or is not finite (a NaN or infinite component, or a length beyond float range),
// since no unit vector can come of it.
inline bool Normalize3(Vec3& v) {
  const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (!(length > 0.0f) || !std::isfinite(length)) return false;
  v.x /= length;
  v.y /= length;
  v.z /= length;
  return true;
}

// Rotation part of m times v, double sums.
inline void RotateDouble(const Matrix4& m, Vec3 v, double out[3]) {
  for (int i = 0; i < 3; ++i) {
    out[i] = m[i][0] * static_cast<double>(v.x) + m[i][1] * static_cast<double>(v.y) +
             m[i][2] * static_cast<double>(v.z);
  }
}

// Rotation part of m times v; products and sums in double, rounded to float at the end.
inline Vec3 RotateByMatrix(const Matrix4& m, Vec3 v) {
  double r[3];
  RotateDouble(m, v, r);
  return {static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2])};
}

// Rotation by angle (radians, counter-clockwise, right-handed) about the unit axis (ax, ay, az).
Matrix3 AxisAngleMatrix(double angle, double ax, double ay, double az);

// a·b, row by column.
Matrix3 Multiply3x3(const Matrix3& a, const Matrix3& b);

// Rx(angles.x)·(Ry(angles.y)·Rz(angles.z)): on a vector, Z acts first, then Y, then X.
Matrix3 BuildRotation(Vec3 angles);

// Rotation from BuildRotation in rows/columns 0-2, zeros in column 3, translation in row 3.
Matrix4 BuildTransform(Vec3 translation, Vec3 angles);

// World to camera space: p ← p − translation of m (in place, in float), then the rotation part of
// m times p (double sums). With orthographic set the result is further divided by k², where k is
// the sum of column 1 of the rotation rows (1e-9 when k is exactly 0).
Vec3 WorldToView(const Matrix4& m, Vec3& p, bool orthographic);

// Per-point offset transform: p ← (p − pivot) scaled component-wise (in place); the result is the
// rotation part of m times p (double sums, rounded to float), plus pivot, plus the translation of
// m rounded to float.
Vec3 TransformAboutPivot(const Matrix4& m, Vec3 pivot, Vec3& p, Vec3 scale);

// Point where the ray a + t·d meets the plane at depth z. The caller guarantees d.z ≠ 0.
Vec3 IntersectAtZ(Vec3 a, Vec3 d, float z);

}  // namespace mf
