#include "host/CameraImport.h"

// The Windows build of the host has no image library: there an EXR's camera is refused, the rest
// of the import (matrices, .chan files) is the same.
#if !defined(_WIN32)
#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>
#endif

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

namespace mf::host {

namespace {

using V3 = std::array<double, 3>;
using M3 = std::array<V3, 3>;
constexpr double kPi = 3.14159265358979323846;

[[noreturn]] void Refuse(const std::string& what) {
  throw CameraImportError(what);
}

std::string Num(double v) {
  std::ostringstream out;
  out.precision(6);
  out << v;
  return out.str();
}

// Hundredths of a pixel, without the noise of single precision.
std::string Pixels(double v) {
  return Num(std::round(v * 100.0) / 100.0 + 0.0);
}

double Dot(const V3& a, const V3& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
V3 Cross(const V3& a, const V3& b) {
  return V3{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Length(const V3& v) {
  return std::sqrt(Dot(v, v));
}
V3 Scaled(const V3& v, double s) {
  return V3{v[0] * s, v[1] * s, v[2] * s};
}
double Det3(const M3& m) {
  return Dot(m[0], Cross(m[1], m[2]));
}

bool Finite(const Matrix44& m) {
  for (const auto& row : m)
    for (double v : row)
      if (!std::isfinite(v)) return false;
  return true;
}

double MaxAbs(const Matrix44& m) {
  double s = 0;
  for (const auto& row : m)
    for (double v : row) s = std::max(s, std::fabs(v));
  return s;
}

// Gauss-Jordan with partial pivoting; absent when a pivot vanishes against the matrix's scale.
std::optional<Matrix44> Inverse(const Matrix44& m) {
  Matrix44 a = m, inv{};
  for (int i = 0; i < 4; ++i) inv[i][i] = 1;
  const double tiny = MaxAbs(m) * 1e-12;
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    if (!(std::fabs(a[pivot][col]) > tiny)) return std::nullopt;
    std::swap(a[pivot], a[col]);
    std::swap(inv[pivot], inv[col]);
    const double d = a[col][col];
    for (int j = 0; j < 4; ++j) {
      a[col][j] /= d;
      inv[col][j] /= d;
    }
    for (int r = 0; r < 4; ++r) {
      if (r == col) continue;
      const double f = a[r][col];
      for (int j = 0; j < 4; ++j) {
        a[r][j] -= f * a[col][j];
        inv[r][j] -= f * inv[col][j];
      }
    }
  }
  return inv;
}

Matrix44 Mul(const Matrix44& a, const Matrix44& b) {
  Matrix44 r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) r[i][j] += a[i][k] * b[k][j];
  return r;
}

double Degrees(double radians) {
  return radians * 180.0 / kPi;
}

// The host's orientation (x, then y, then z; rows turned as p·Rx·Ry·Rz) of a rotation whose
// rows are the camera's right, down and forward.
V3 OrientationOf(const M3& r) {
  const double cy = std::hypot(r[0][0], r[0][1]);
  const double y = std::atan2(-r[0][2], cy);
  if (cy > 1e-9)
    return V3{Degrees(std::atan2(r[1][2], r[2][2])), Degrees(y),
              Degrees(std::atan2(r[0][1], r[0][0]))};
  return V3{Degrees(std::atan2(-r[2][1], r[1][1])), Degrees(y), 0.0};
}

// The host's camera from the picture's right, down and forward directions in the world.
HostCamera FromFrame(M3 frame, V3 position, double zoom, bool invert_z, std::string conventions) {
  if (invert_z) {
    for (V3& axis : frame) axis[2] = -axis[2];
    position[2] = -position[2];
  }
  if (Det3(frame) < 0) {
    if (invert_z)
      Refuse(
          "with \"invert_z\" the world no longer has the host's handedness; the renderer's "
          "world already matches the host's: remove \"invert_z\" from the camera layer and turn "
          "INVERT_Z and NORMAL_INVERT_Z off");
    Refuse(
        "the renderer's world has the other handedness than the host's composition space (its "
        "right, down and forward make a left-handed frame), so no camera can show the passes "
        "unmirrored. Mirror the world in z: turn on INVERT_Z (positions) and NORMAL_INVERT_Z "
        "(normals) on the effect and add \"invert_z\": true to this camera layer");
  }
  // Re-square the frame: a header stores its matrices in single precision.
  V3 forward = Scaled(frame[2], 1.0 / Length(frame[2]));
  V3 right = frame[0];
  const double along = Dot(right, forward);
  for (int i = 0; i < 3; ++i) right[i] -= along * forward[i];
  right = Scaled(right, 1.0 / Length(right));
  const V3 down = Cross(forward, right);
  HostCamera camera;
  camera.position = position;
  camera.orientation = OrientationOf(M3{right, down, forward});
  camera.zoom = zoom;
  camera.conventions = std::move(conventions);
  return camera;
}

// How far the projection may stray from a pinhole at the camera's origin: matrices stored in
// single precision carry errors of about 1e-7 of their largest entries.
constexpr double kRelative = 1e-5;
constexpr double kPixels = 0.01;

}  // namespace

HostCamera CameraFromMatrices(const Matrix44& w2c_in, const Matrix44& w2n, int width, int height,
                              bool invert_z) {
  if (!Finite(w2c_in)) Refuse("worldToCamera holds a value that is not a finite number");
  if (!Finite(w2n)) Refuse("worldToNDC holds a value that is not a finite number");
  if (width <= 0 || height <= 0) Refuse("the display window is empty");
  Matrix44 w2c = w2c_in;
  const double scale = MaxAbs(w2c);
  for (int i = 0; i < 3; ++i)
    if (std::fabs(w2c[i][3]) > kRelative * scale)
      Refuse(
          "worldToCamera is a projection, not a camera's placement (its last column is not 0, 0, "
          "0, 1)");
  if (!(std::fabs(w2c[3][3]) > kRelative * scale))
    Refuse("worldToCamera is singular: it has no inverse, so it places no camera");
  for (auto& row : w2c)
    for (double& v : row) v /= w2c_in[3][3];
  const std::optional<Matrix44> c2w = Inverse(w2c);
  if (!c2w) Refuse("worldToCamera is singular: it has no inverse, so it places no camera");

  // The camera's axes in the world; a placement turns and moves, it may scale evenly.
  M3 axes;
  for (int i = 0; i < 3; ++i) axes[i] = V3{(*c2w)[i][0], (*c2w)[i][1], (*c2w)[i][2]};
  const double unit = Length(axes[0]);
  for (int i = 0; i < 3; ++i) {
    const V3& a = axes[i];
    const V3& b = axes[(i + 1) % 3];
    if (std::fabs(Length(a) - unit) > 1e-4 * unit || std::fabs(Dot(a, b)) > 1e-4 * unit * unit)
      Refuse(
          "worldToCamera stretches or shears the camera's axes; a camera's placement only turns "
          "and moves it");
  }
  const V3 position{(*c2w)[3][0], (*c2w)[3][1], (*c2w)[3][2]};

  // Camera space to NDC: w carries the depth, positive in front of the camera.
  const Matrix44 c = Mul(*c2w, w2n);
  const double k = c[2][3];
  const double s = std::max({std::fabs(c[0][0]), std::fabs(c[1][1]), std::fabs(k)});
  if (!(s > 0) || !(std::fabs(c[0][0]) > kRelative * s) || !(std::fabs(c[1][1]) > kRelative * s))
    Refuse("worldToNDC is singular: it flattens the picture onto a line or a point");
  if (!(std::fabs(k) > kRelative * s))
    Refuse(
        "worldToNDC has no perspective (depth does not divide the picture): an orthographic "
        "projection, which this import does not take");
  if (std::fabs(c[0][3]) > kRelative * std::fabs(k) ||
      std::fabs(c[1][3]) > kRelative * std::fabs(k))
    Refuse("worldToNDC tilts the image plane against the camera; the host's camera cannot");
  const double length = std::max(1.0, Length(position) / unit);  // camera-space units
  if (std::fabs(c[3][3] / k) > kRelative * length ||
      std::fabs(c[3][0] / c[0][0]) > kRelative * length ||
      std::fabs(c[3][1] / c[1][1]) > kRelative * length)
    Refuse("worldToNDC does not project through worldToCamera's origin");
  if (std::fabs(c[1][0]) > kRelative * std::fabs(c[0][0]) ||
      std::fabs(c[0][1]) > kRelative * std::fabs(c[1][1]))
    Refuse(
        "worldToNDC skews the picture (or turns it against the camera's x and y); the host's "
        "camera has square, upright pixels");
  if (c[0][0] < 0)
    Refuse("worldToNDC mirrors the picture left to right (NDC x runs against camera x)");

  // NDC runs from -1 to 1 about 0, or from 0 to 1 about 0.5; y spans the height, or the same
  // units as x (a screen window).
  const double cx = c[2][0] / k, cy = c[2][1] / k;
  const double centre = std::fabs(cx) <= std::fabs(cx - 0.5) ? 0.0 : 0.5;
  const double half = centre == 0.0 ? 1.0 : 0.5;
  const double fx = std::fabs(c[0][0] / k) * (width / 2.0) / half;
  const double ay = std::fabs(c[1][1] / k);
  double half_y = half;
  if (std::fabs(ay * (height / 2.0) / half - fx) > 1e-4 * fx) {
    half_y = half * height / width;
    if (std::fabs(ay * (width / 2.0) / half - fx) > 1e-4 * fx)
      Refuse("the pixels are not square: worldToNDC gives a focal length of " + Num(fx) +
             " pixels across and " + Num(ay * (height / 2.0) / half) +
             " down; the host's camera has one zoom");
  }
  const double dx = (cx - centre) / half * width / 2.0;
  const double dy = (cy - centre) / half_y * height / 2.0;
  if (std::fabs(dx) > kPixels || std::fabs(dy) > kPixels)
    Refuse("the principal point is off centre by " + Pixels(dx) + ", " + Pixels(dy) +
           " pixels (a shifted lens or a crop); the host's camera looks through the centre of "
           "the picture");

  const double look = k > 0 ? 1.0 : -1.0;
  std::string conventions =
      std::string("derived: camera space looks down ") + (k > 0 ? "+Z" : "-Z") + ", NDC y runs " +
      (c[1][1] > 0 ? "up" : "down") + ", NDC spans " + (centre == 0.0 ? "-1 to 1" : "0 to 1") +
      (half_y != half ? " across (a screen window)" : "");
  M3 frame{Scaled(axes[0], 1 / unit), Scaled(axes[1], -1 / unit), Scaled(axes[2], look / unit)};
  return FromFrame(frame, position, fx, invert_z, std::move(conventions));
}

#if !defined(_WIN32)
namespace {

std::optional<Matrix44> MatrixAttribute(const OIIO::ImageSpec& spec, const char* name) {
  const OIIO::ParamValue* p = spec.find_attribute(name);
  if (!p) return std::nullopt;
  Matrix44 m{};
  if (p->type() == OIIO::TypeMatrix44) {
    const float* f = static_cast<const float*>(p->data());
    for (int i = 0; i < 16; ++i) m[i / 4][i % 4] = f[i];
  } else if (p->type() == OIIO::TypeDesc(OIIO::TypeDesc::DOUBLE, OIIO::TypeDesc::MATRIX44)) {
    const double* d = static_cast<const double*>(p->data());
    for (int i = 0; i < 16; ++i) m[i / 4][i % 4] = d[i];
  } else {
    Refuse(std::string(name) + " is not a 4×4 matrix (it holds " + p->type().c_str() + ")");
  }
  return m;
}

ExrCameraHeader FromInput(OIIO::ImageInput* in) {
  if (!in) Refuse("not a readable image: " + OIIO::geterror());
  if (std::string(in->format_name()) != "openexr") Refuse("not an EXR file");
  const OIIO::ImageSpec& spec = in->spec();
  ExrCameraHeader header;
  header.world_to_camera = MatrixAttribute(spec, "worldToCamera");
  header.world_to_ndc = MatrixAttribute(spec, "worldToNDC");
  header.width = spec.full_width;
  header.height = spec.full_height;
  return header;
}

}  // namespace

ExrCameraHeader ReadExrCameraHeader(const void* bytes, size_t size) {
  OIIO::Filesystem::IOMemReader reader(bytes, size);
  auto in = OIIO::ImageInput::open("header.exr", nullptr, &reader);
  return FromInput(in.get());
}

ExrCameraHeader ReadExrCameraHeader(const std::string& path) {
  auto in = OIIO::ImageInput::open(path);
  return FromInput(in.get());
}

#else

ExrCameraHeader ReadExrCameraHeader(const void*, size_t) {
  Refuse("this build reads no EXR files");
}

ExrCameraHeader ReadExrCameraHeader(const std::string&) {
  Refuse("this build reads no EXR files");
}

#endif

HostCamera CameraFromExrHeader(const ExrCameraHeader& header, bool invert_z) {
  if (!header.world_to_camera && !header.world_to_ndc)
    Refuse("the header holds no camera: neither worldToCamera nor worldToNDC");
  if (!header.world_to_camera) Refuse("the header has worldToNDC but no worldToCamera");
  if (!header.world_to_ndc) Refuse("the header has worldToCamera but no worldToNDC");
  return CameraFromMatrices(*header.world_to_camera, *header.world_to_ndc, header.width,
                            header.height, invert_z);
}

// ---- .chan -----------------------------------------------------------------------------------
namespace {

// Right-handed turn about one world axis, acting on column vectors.
M3 Turn(char axis, double degrees) {
  const double c = std::cos(degrees * kPi / 180.0), s = std::sin(degrees * kPi / 180.0);
  if (axis == 'x') return M3{V3{1, 0, 0}, V3{0, c, -s}, V3{0, s, c}};
  if (axis == 'y') return M3{V3{c, 0, s}, V3{0, 1, 0}, V3{-s, 0, c}};
  return M3{V3{c, -s, 0}, V3{s, c, 0}, V3{0, 0, 1}};
}
M3 Mul3(const M3& a, const M3& b) {
  M3 r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r[i][j] += a[i][k] * b[k][j];
  return r;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
    if (j > i) out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

HostCamera ChanCamera(const std::array<double, 8>& v, bool has_fov, const ChanOptions& o,
                      const std::string& where) {
  double zoom = 0;
  if (has_fov) {
    if (!(v[7] > 0 && v[7] < 180))
      Refuse(where + "the field of view " + Num(v[7]) + "° is not between 0 and 180");
    zoom = (o.height / 2.0) / std::tan(v[7] * kPi / 360.0);
  } else if (o.default_zoom) {
    zoom = *o.default_zoom;
  } else {
    Refuse(where +
           "no field of view (an eighth number) and the camera layer gives no \"zoom\" either");
  }
  M3 r{V3{1, 0, 0}, V3{0, 1, 0}, V3{0, 0, 1}};
  for (char axis : o.rotation_order) r = Mul3(Turn(axis, v[4 + (axis - 'x')]), r);
  // Columns of r are the camera's x, y, z in the world; it looks down -z with y up.
  const M3 frame{V3{r[0][0], r[1][0], r[2][0]}, V3{-r[0][1], -r[1][1], -r[2][1]},
                 V3{-r[0][2], -r[1][2], -r[2][2]}};
  try {
    return FromFrame(frame, V3{v[1], v[2], v[3]}, zoom, o.invert_z,
                     "assumed: a right-handed world, the camera looking down -Z with y up, "
                     "rotations in the order " +
                         o.rotation_order + ", a vertical field of view");
  } catch (const CameraImportError& e) {
    Refuse(where + e.what());
  }
}

}  // namespace

std::vector<ChanKey> ParseChan(std::string_view text, const ChanOptions& o) {
  std::string order = o.rotation_order;
  std::sort(order.begin(), order.end());
  if (order != "xyz")
    Refuse("the rotation order \"" + o.rotation_order + "\" is not an order of x, y and z");
  if (o.height <= 0) Refuse("the composition has no height");
  std::vector<ChanKey> keys;
  size_t line_number = 0;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.empty() || fields[0][0] == '#') continue;
    const std::string where = "line " + std::to_string(line_number) + ": ";
    if (fields.size() != 7 && fields.size() != 8)
      Refuse(where +
             "expected 7 or 8 numbers (frame, tx, ty, tz, rx, ry, rz and the vertical field of "
             "view), found " +
             std::to_string(fields.size()));
    std::array<double, 8> v{};
    for (size_t i = 0; i < fields.size(); ++i) {
      const char* first = fields[i].data();
      const char* last = first + fields[i].size();
      if (*first == '+') ++first;
      auto [ptr, ec] = std::from_chars(first, last, v[i]);
      if (ec != std::errc() || ptr != last || !std::isfinite(v[i]))
        Refuse(where + "\"" + std::string(fields[i]) + "\" is not a finite number");
    }
    if (!keys.empty() && !(v[0] > keys.back().frame))
      Refuse(where + "frame " + Num(v[0]) + " does not follow frame " + Num(keys.back().frame) +
             " (frames must increase)");
    keys.push_back(ChanKey{v[0], ChanCamera(v, fields.size() == 8, o, where)});
  }
  if (keys.empty()) Refuse("holds no camera keys");
  return keys;
}

}  // namespace mf::host
