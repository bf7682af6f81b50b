// Cameras a renderer wrote, turned into the host's camera.
//
// The host's camera lives in composition space (x right, y down, z into the screen, a
// right-handed frame) and sees the pass's positions as they are: its rows are the picture's
// right, down and forward directions in the renderer's world, its zoom the distance of the image
// plane in pixels. A renderer's camera is read from the two standard matrices of an EXR header
// (Imath, acting on row vectors) or from a .chan text file. From the matrices the import derives
// which way the camera looks (the sign with which depth enters the homogeneous w: w is positive
// in front of a camera) and which way NDC y runs; it assumes only that camera space has x to the
// right and y up in the picture. A world whose handedness is not the host's cannot be matched by
// any camera; that, and a projection the host's camera cannot reproduce (off-centre principal
// point, skew, non-square pixels, no perspective), is refused in plain words.
//
// Every function here is pure: text or bytes in, a camera or a CameraImportError out.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mf::host {

class CameraImportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Row-vector 4 × 4 matrix as Imath stores it: p' = p · m, translation in row 3.
using Matrix44 = std::array<std::array<double, 4>, 4>;

struct HostCamera {
  std::array<double, 3> position{};     // in the renderer's world units
  std::array<double, 3> orientation{};  // degrees about x, then y, then z (the host's order)
  double zoom = 0;                      // image-plane distance in pixels
  std::string conventions;              // what was derived, for people: "looks down -Z, ..."
};

// What an EXR header says about its camera.
struct ExrCameraHeader {
  std::optional<Matrix44> world_to_camera;
  std::optional<Matrix44> world_to_ndc;
  int width = 0, height = 0;  // the display window
};

// Reads a header from the bytes of an EXR file (the header alone is enough).
ExrCameraHeader ReadExrCameraHeader(const void* bytes, size_t size);
// Reads the header of an EXR file on disk.
ExrCameraHeader ReadExrCameraHeader(const std::string& path);

// invert_z: the world is taken mirrored in z, as the effect sees it with INVERT_Z and
// NORMAL_INVERT_Z on (how a world of the other handedness is matched).
HostCamera CameraFromMatrices(const Matrix44& world_to_camera, const Matrix44& world_to_ndc,
                              int width, int height, bool invert_z = false);
HostCamera CameraFromExrHeader(const ExrCameraHeader& header, bool invert_z = false);

// .chan: one key a line, "frame tx ty tz rx ry rz [vfov]", white-space separated; blank lines and
// lines starting with # are skipped. A right-handed world; the camera looks down its -Z
// with y up; rotations in degrees about the world's axes, applied in rotation_order (first letter
// first, "zxy" by default); vfov the vertical field of view in degrees, or default_zoom (pixels)
// when a line has no eighth column.
struct ChanKey {
  double frame = 0;
  HostCamera camera;
};
struct ChanOptions {
  int height = 0;  // composition height in pixels, which the field of view spans
  std::string rotation_order = "zxy";
  std::optional<double> default_zoom;
  bool invert_z = false;
};
// Errors name the line ("line 4: ...").
std::vector<ChanKey> ParseChan(std::string_view text, const ChanOptions& options);

}  // namespace mf::host
