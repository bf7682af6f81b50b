// Cameras taken from a render. Passes are ray-cast here from known cameras in a right-handed,
// y-up world, their headers written as renderers write them; the imported camera must put every
// sample back onto the pixel it was cast through.
#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "CliFixture.h"
#include "host/CameraImport.h"

namespace mf::test {
namespace {

namespace fs = std::filesystem;
using host::Matrix44;
using V3 = std::array<double, 3>;
using M3 = std::array<V3, 3>;  // rows

constexpr int kW = 64, kH = 48;
constexpr double kPi = 3.14159265358979323846;

// A camera as a .chan file writes it: position, degrees about the world's z, then x, then y; it
// looks down its -z with y up; vertical field of view in degrees.
struct Pose {
  V3 t;
  double rx, ry, rz, vfov;
};
const Pose kPoses[] = {{{0.3, 1.5, 6}, -8, 3, 0, 40},
                       {{4, 3, 4}, -25, 45, 30, 50},  // rolled
                       {{-5, 2, -3}, -12, -120, -10, 35}};

M3 Turn(int axis, double deg) {
  const double c = std::cos(deg * kPi / 180), s = std::sin(deg * kPi / 180);
  if (axis == 0) return M3{V3{1, 0, 0}, V3{0, c, -s}, V3{0, s, c}};
  if (axis == 1) return M3{V3{c, 0, s}, V3{0, 1, 0}, V3{-s, 0, c}};
  return M3{V3{c, -s, 0}, V3{s, c, 0}, V3{0, 0, 1}};
}
template <size_t N>
std::array<std::array<double, N>, N> Mul(const std::array<std::array<double, N>, N>& a,
                                         const std::array<std::array<double, N>, N>& b) {
  std::array<std::array<double, N>, N> r{};
  for (size_t i = 0; i < N; ++i)
    for (size_t j = 0; j < N; ++j)
      for (size_t k = 0; k < N; ++k) r[i][j] += a[i][k] * b[k][j];
  return r;
}
// Columns: the camera's x, y, z in the world.
M3 Rotation(const Pose& p) {
  return Mul(Turn(1, p.ry), Mul(Turn(0, p.rx), Turn(2, p.rz)));
}
double Focal(const Pose& p) {
  return kH / 2.0 / std::tan(p.vfov * kPi / 360);
}

// The world: a floor at y = 0 and a unit ball resting on it.
std::optional<V3> Cast(const V3& o, const V3& d) {
  std::optional<double> best;
  const V3 oc{o[0], o[1] - 1, o[2]};  // from the ball's centre (0, 1, 0)
  const double b = oc[0] * d[0] + oc[1] * d[1] + oc[2] * d[2];
  const double dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
  const double disc = b * b - dd * (oc[0] * oc[0] + oc[1] * oc[1] + oc[2] * oc[2] - 1);
  if (disc >= 0 && (-b - std::sqrt(disc)) > 0) best = (-b - std::sqrt(disc)) / dd;
  if (d[1] < 0 && (!best || -o[1] / d[1] < *best)) best = -o[1] / d[1];
  if (!best) return std::nullopt;
  return V3{o[0] + *best * d[0], o[1] + *best * d[1], o[2] + *best * d[2]};
}

// World point of pixel (i, j), cast through the pixel's centre; absent on a miss.
std::optional<V3> Sample(const Pose& p, int i, int j) {
  const M3 r = Rotation(p);
  const V3 cam{(i + 0.5 - kW / 2.0) / Focal(p), -(j + 0.5 - kH / 2.0) / Focal(p), -1};
  V3 d{};
  for (int a = 0; a < 3; ++a) d[a] = r[a][0] * cam[0] + r[a][1] * cam[1] + r[a][2] * cam[2];
  return Cast(p.t, d);
}

// worldToCamera of a right-handed camera space looking down -Z (row vectors).
Matrix44 WorldToCamera(const Pose& p) {
  const M3 r = Rotation(p);
  Matrix44 m{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m[i][j] = r[i][j];  // transpose of the row-vector camera-to-world
  for (int j = 0; j < 3; ++j) m[3][j] = -(p.t[0] * r[0][j] + p.t[1] * r[1][j] + p.t[2] * r[2][j]);
  m[3][3] = 1;
  return m;
}

enum class Convention { kMinusZ_YUp, kPlusZ_YDown };

// The two matrices as a renderer of each convention writes them.
std::pair<Matrix44, Matrix44> Header(const Pose& p, Convention c) {
  Matrix44 w2c = WorldToCamera(p), proj{};
  const double f = Focal(p), n = 0.1, far = 100;
  if (c == Convention::kMinusZ_YUp) {  // NDC -1 to 1, y up, w = -z
    proj[0][0] = 2 * f / kW, proj[1][1] = 2 * f / kH, proj[2][3] = -1;
    proj[2][2] = (far + n) / (n - far), proj[3][2] = 2 * far * n / (n - far);
  } else {  // left-handed camera space looking down +Z; NDC 0 to 1 from the top left, w = z
    for (auto& row : w2c) row[2] = -row[2];
    proj[0][0] = f / kW, proj[2][0] = 0.5, proj[1][1] = -f / kH, proj[2][1] = 0.5;
    proj[2][2] = far / (far - n), proj[3][2] = -far * n / (far - n), proj[2][3] = 1;
  }
  return {w2c, Mul(w2c, proj)};
}

void WriteExr(const fs::path& file, const std::vector<float>& rgba,
              const std::optional<std::pair<Matrix44, Matrix44>>& camera) {
  OIIO::ImageSpec spec(kW, kH, 4, OIIO::TypeDesc::FLOAT);
  if (camera) {
    float w2c[16], w2n[16];
    for (int i = 0; i < 16; ++i) {
      w2c[i] = static_cast<float>(camera->first[i / 4][i % 4]);
      w2n[i] = static_cast<float>(camera->second[i / 4][i % 4]);
    }
    spec.attribute("worldToCamera", OIIO::TypeMatrix44, w2c);
    spec.attribute("worldToNDC", OIIO::TypeMatrix44, w2n);
  }
  auto out = OIIO::ImageOutput::create(file.string());
  ASSERT_TRUE(out && out->open(file.string(), spec)) << file;
  out->write_image(OIIO::TypeDesc::FLOAT, rgba.data());
  out->close();
}

class CameraImport : public CliTest {
 protected:
  // Frame k of the sequences holds pose k: a beauty whose colour names its pixel, and P. A
  // mirrored world flips z in the passes and in the header.
  void WritePasses(Convention c, bool mirrored = false) {
    for (int k = 0; k < 3; ++k) {
      std::vector<float> beauty(kW * kH * 4), p(kW * kH * 4, 0.0f);
      for (int j = 0; j < kH; ++j)
        for (int i = 0; i < kW; ++i) {
          float* b = &beauty[(j * kW + i) * 4];
          b[0] = i, b[1] = j, b[2] = 0.25f, b[3] = 1;
          if (auto hit = Sample(kPoses[k], i, j)) {
            float* q = &p[(j * kW + i) * 4];
            q[0] = (*hit)[0], q[1] = (*hit)[1], q[2] = mirrored ? -(*hit)[2] : (*hit)[2], q[3] = 1;
          }
        }
      auto header = Header(kPoses[k], c);
      if (mirrored)  // world z negated: worldToX' = S · worldToX
        for (Matrix44* m : {&header.first, &header.second})
          for (double& v : (*m)[2]) v = -v;
      char name[32];
      std::snprintf(name, sizeof name, "%04d.exr", k);
      WriteExr(dir_ / (std::string("beauty.") + name), beauty, header);
      WriteExr(dir_ / (std::string("p.") + name), p, std::nullopt);
    }
  }

  std::string Run(const std::string& camera, const std::string& params = "") {
    // A .chan file has no picture size; an EXR header gives the composition its own.
    const std::string size =
        camera.find("from_chan") != std::string::npos ? R"("width": 64, "height": 48, )" : "";
    std::ofstream(dir_ / "scene.json")
        << R"({"composition": {)" << size << R"("frame_rate": 24, "duration": 3},
      "layers": [ {"name": "Cam", "type": "camera", )"
        << camera << R"(},
        {"name": "beauty", "type": "footage", "source": "beauty.####.exr"},
        {"name": "P", "type": "footage", "source": "p.####.exr"},
        {"name": "Cloud", "type": "solid", "color": [0, 0, 0, 0],
         "effect": {"params": {"SOURCE_LAYER": "beauty", "POSITION_PASS": "P",
                               "PIXEL_BLEND_MODE": 1, "ENABLE_GRID": false)"
        << params << R"(}}}],
      "render": {"layer": "Cloud", "frames": "0-2", "bit_depth": 32, "output": "out.####.exr"}})";
    const CliResult r = motefield("render scene.json");
    status_ = r.status;
    return r.out + r.err;
  }

  // Every cast sample is drawn on its own pixel, and nothing where the rays missed.
  void ExpectEverySampleOnItsOwnPixel() {
    for (int k = 0; k < 3; ++k) {
      char name[32];
      std::snprintf(name, sizeof name, "out.%04d.exr", k);
      auto in = OIIO::ImageInput::open((dir_ / name).string());
      ASSERT_TRUE(in) << name;
      ASSERT_EQ(in->spec().width, kW);
      std::vector<float> px(kW * kH * 4);
      in->read_image(0, 0, 0, 4, OIIO::TypeDesc::FLOAT, px.data());
      int wrong = 0, hits = 0;
      for (int j = 0; j < kH; ++j)
        for (int i = 0; i < kW; ++i) {
          const float* o = &px[(j * kW + i) * 4];
          const bool hit = Sample(kPoses[k], i, j).has_value();
          hits += hit;
          const bool ok = hit ? (o[0] == i && o[1] == j && o[3] == 1) : o[3] == 0;
          if (!ok && wrong++ < 3)
            ADD_FAILURE() << "pose " << k << " pixel " << i << "," << j << " holds the sample of "
                          << o[0] << "," << o[1] << " (alpha " << o[3] << ")";
        }
      EXPECT_EQ(wrong, 0) << "pose " << k;
      EXPECT_GT(hits, kW * kH / 3) << "pose " << k << " sees too little of the world";
    }
  }

  int status_ = -1;
};

// Both header conventions and the .chan file of the same poses.
TEST_F(CameraImport, EachSampleReprojectsOntoItsOwnPixel) {
  for (Convention c : {Convention::kMinusZ_YUp, Convention::kPlusZ_YDown}) {
    SCOPED_TRACE(c == Convention::kMinusZ_YUp ? "-Z, y-up NDC" : "+Z, y-down NDC");
    WritePasses(c);
    const std::string log = Run(R"("from_exr": "beauty.####.exr")");
    ASSERT_EQ(status_, 0) << log;
    EXPECT_NE(log.find(c == Convention::kMinusZ_YUp ? "looks down -Z, NDC y runs up"
                                                    : "looks down +Z, NDC y runs down"),
              std::string::npos)
        << log;
    ExpectEverySampleOnItsOwnPixel();
  }
  SCOPED_TRACE(".chan");
  std::ofstream chan(dir_ / "cam.chan");
  chan << "# frame tx ty tz rx ry rz vfov\n";
  for (int k = 0; k < 3; ++k) {
    const Pose& p = kPoses[k];
    chan << 1001 + k << ' ' << p.t[0] << ' ' << p.t[1] << ' ' << p.t[2] << ' ' << p.rx << ' '
         << p.ry << ' ' << p.rz << ' ' << p.vfov << '\n';
  }
  chan.close();
  const std::string log = Run(R"("from_chan": "cam.chan")");
  ASSERT_EQ(status_, 0) << log;
  ExpectEverySampleOnItsOwnPixel();
}

// A world of the other handedness (z mirrored) is refused (below); mirrored back, it matches.
TEST_F(CameraImport, WorldOfTheOtherHandednessMatchesWhenMirroredBack) {
  WritePasses(Convention::kMinusZ_YUp, /*mirrored=*/true);
  const std::string log = Run(R"("from_exr": "beauty.####.exr", "invert_z": true)",
                              R"(, "INVERT_Z": true, "NORMAL_INVERT_Z": true)");
  ASSERT_EQ(status_, 0) << log;
  ExpectEverySampleOnItsOwnPixel();
}

TEST_F(CameraImport, BadCamerasAreRefusedInPlainWordsWithNothingWritten) {
  WritePasses(Convention::kMinusZ_YUp);
  // A header with no camera, read from bytes as a fuzzer hands them over.
  std::vector<float> grey(kW * kH * 4, 0.5f);
  WriteExr(dir_ / "plain.exr", grey, std::nullopt);
  std::ifstream in(dir_ / "plain.exr", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const host::ExrCameraHeader plain = host::ReadExrCameraHeader(bytes.data(), bytes.size());
  EXPECT_EQ(plain.width, kW);
  EXPECT_THROW(host::CameraFromExrHeader(plain), host::CameraImportError);
  EXPECT_THROW(host::ReadExrCameraHeader(bytes.data(), bytes.size() / 3), host::CameraImportError);

  const auto [w2c, w2n] = Header(kPoses[1], Convention::kMinusZ_YUp);
  // Projections from camera space that a pinhole on the picture's centre does not make.
  auto projection = [&](int row, int col, double value) {
    Matrix44 proj{};
    const double f = Focal(kPoses[1]);
    proj[0][0] = 2 * f / kW, proj[1][1] = 2 * f / kH, proj[2][2] = -1, proj[2][3] = -1;
    proj[row][col] = value;
    return Mul(w2c, proj);
  };
  Matrix44 singular = w2c, infinite = w2n, ortho = projection(2, 3, 0);
  Matrix44 mirrored = w2c, mirrored_ndc = w2n;  // the same camera in a world with z mirrored
  singular[2] = singular[1];
  infinite[1][1] = std::numeric_limits<double>::infinity();
  ortho[3][3] = 1;  // w = 1: no division by depth
  for (int j = 0; j < 4; ++j) mirrored[2][j] = -mirrored[2][j], mirrored_ndc[2][j] *= -1;
  const std::pair<std::pair<Matrix44, Matrix44>, std::string> refused[] = {
      {{singular, w2n}, "worldToCamera is singular"},
      {{w2c, infinite}, "worldToNDC holds a value that is not a finite number"},
      {{w2c, projection(2, 0, 0.1)}, "off centre by -3.2, 0 pixels"},
      {{w2c, projection(1, 0, 0.05)}, "skews"},
      {{w2c, ortho}, "no perspective"},
      {{mirrored, mirrored_ndc}, "turn on INVERT_Z (positions) and NORMAL_INVERT_Z (normals)"}};
  for (const auto& [matrices, words] : refused) {
    std::string what = "accepted";
    try {
      host::CameraFromMatrices(matrices.first, matrices.second, kW, kH);
    } catch (const host::CameraImportError& e) {
      what = e.what();
    }
    EXPECT_NE(what.find(words), std::string::npos) << what;
  }

  // Through the command line: plain words naming the scene key and the file, exit 2, no output.
  fs::copy_file(dir_ / "plain.exr", dir_ / "beauty.0001.exr", fs::copy_options::overwrite_existing);
  std::string log = Run(R"("from_exr": "beauty.####.exr")");
  EXPECT_EQ(status_, 2) << log;
  EXPECT_NE(log.find("scene.json: layers[0].from_exr: "), std::string::npos) << log;
  EXPECT_NE(log.find("beauty.0001.exr: the header holds no camera"), std::string::npos) << log;

  std::ofstream(dir_ / "cam.chan") << "1 0 0 5 0 0 0 40\n\n2 0 0 5 0 zero 0 40\n";
  log = Run(R"("from_chan": "cam.chan")");
  EXPECT_EQ(status_, 2) << log;
  EXPECT_NE(log.find("layers[0].from_chan: "), std::string::npos) << log;
  EXPECT_NE(log.find("cam.chan: line 3: \"zero\" is not a finite number"), std::string::npos)
      << log;
  EXPECT_FALSE(fs::exists(dir_ / "out.0000.exr"));
}

}  // namespace
}  // namespace mf::test
