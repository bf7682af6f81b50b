// `motefield render` and `motefield demo` as a person runs them: what they write, in which format
// and size, and how they fail: in plain words, with a non-zero status and no output file.
#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "CliFixture.h"
#include "cli/DemoScene.h"
#include "cli/FrameOutput.h"
#include "host/Worlds.h"

namespace mf::test {
namespace {

namespace fs = std::filesystem;

class RenderCommand : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    // A 2 × 2 position pass the scene below reads; the camera sees its four points at
    // (1.5, 0.5), (4.5, 0.5), (1.5, 3.5) and (4.5, 3.5): 0.5 units off its axis at a distance of
    // 100, with a zoom of 300 pixels, from the frame's centre (3, 2).
    WritePass("p.exr", {{10, 20, 30, 1}, {11, 20, 30, 1}, {10, 21, 30, 1}, {11, 21, 30, 1}});
  }
  void WritePass(const std::string& name, const float (&p)[4][4]) { WriteExr2x2(dir_ / name, p); }
  fs::path scene(const std::string& position_source, const std::string& extra = "",
                 bool camera = true) {
    fs::path p = dir_ / "scene.json";
    std::ofstream(p) << R"({"composition": {"width": 6, "height": 4, "duration": 3},
      "layers": [)"
                     << (camera ? R"({"name": "Camera", "type": "camera", "zoom": 300,
         "position": [10.5, 20.5, -70], "point_of_interest": [10.5, 20.5, 30]},)"
                                : "")
                     << R"({"name": "P", "type": "footage", "source": ")" << position_source
                     << R"("},
        {"name": "Cloud", "type": "solid", "color": [0, 0, 0, 0],
         "effect": {"params": {"POSITION_PASS": "P", "SOURCE_LAYER": "P", "ENABLE_GRID": false}}}]
      )" << extra << "}";
    return p;
  }
  // Files left in the folder whose names mark them unfinished.
  int partialFiles() const {
    int n = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir_))
      if (e.path().filename().string().find("partial") != std::string::npos) ++n;
    return n;
  }
  // Pixels of a file with any alpha at all.
  static int Covered(const fs::path& file) {
    auto in = OIIO::ImageInput::open(file.string());
    EXPECT_TRUE(in) << file;
    if (!in) return -1;
    std::vector<float> v(static_cast<size_t>(in->spec().image_pixels()) * 4);
    in->read_image(0, 0, 0, 4, OIIO::TypeDesc::FLOAT, v.data());
    int n = 0;
    for (size_t i = 3; i < v.size(); i += 4) n += v[i] > 0;
    return n;
  }
  static OIIO::ImageSpec SpecOf(const fs::path& file) {
    auto in = OIIO::ImageInput::open(file.string());
    EXPECT_TRUE(in) << file;
    return in ? in->spec() : OIIO::ImageSpec();
  }
};

TEST_F(RenderCommand, WritesEachFrameInTheFormatAndDepthAsked) {
  scene("p.exr");
  // Scene-relative: no render block, so every composition frame (0-2) unless --frames says.
  CliResult r = motefield("render scene.json --frames 0-2x2 -o out/cloud.####.exr --bit-depth 32");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("rendered 2 frames"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(dir_ / "out/cloud.0000.exr"));
  EXPECT_FALSE(fs::exists(dir_ / "out/cloud.0001.exr"));
  OIIO::ImageSpec exr = SpecOf(dir_ / "out/cloud.0002.exr");
  EXPECT_EQ(exr.width, 6);
  EXPECT_EQ(exr.height, 4);
  EXPECT_EQ(exr.nchannels, 4);
  EXPECT_EQ(exr.format, OIIO::TypeDesc::FLOAT);

  // A line per frame, also without a terminal: frame, file, points, time. The effect samples
  // a grid of at least 4 × 4, four samples to each of the pass's pixels.
  EXPECT_NE(r.out.find("frame 0 (1 of 2): out/cloud.0000.exr, 16 points, "), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("frame 2 (2 of 2): out/cloud.0002.exr, 16 points, "), std::string::npos)
      << r.out;
  EXPECT_EQ(Covered(dir_ / "out/cloud.0000.exr"), 4);

  // The float render written as an 8-bit PNG keeps its points; --quiet drops the frame lines.
  r = motefield("render scene.json --frames 1 -o eight.png --bit-depth 32 --output-depth 8 -q");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("frame 1"), std::string::npos) << r.out;
  EXPECT_EQ(SpecOf(dir_ / "eight.png").format, OIIO::TypeDesc::UINT8);
  EXPECT_EQ(Covered(dir_ / "eight.png"), 4);

  // Half resolution, 16-bit: a 3 × 2 PNG of 16-bit channels; EXR from a 16-bit render is half.
  // The pass holds positions 10 to 30, which a 16-bit world clamps: refused unless allowed.
  r = motefield("render scene.json --frames 1 -o one.png --bit-depth 16 --downsample 2");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("layer \"P\" is the position pass"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("render at 32 bits"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "one.png"));
  r = motefield(
      "render scene.json --frames 1 -o one.png --bit-depth 16 --downsample 2 --allow-clamped");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("warning: layer \"P\" holds values outside 0 to 1, clamped at 16 bits"),
            std::string::npos)
      << r.err;
  OIIO::ImageSpec png = SpecOf(dir_ / "one.png");
  EXPECT_EQ(png.width, 3);
  EXPECT_EQ(png.height, 2);
  EXPECT_EQ(png.format, OIIO::TypeDesc::UINT16);
  r = motefield("render scene.json --frames 1 -o half.exr --bit-depth 16 --allow-clamped");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(SpecOf(dir_ / "half.exr").format, OIIO::TypeDesc::HALF);
  r = motefield("render scene.json --frames 1 -o eight.tif --bit-depth 8 --allow-clamped");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(SpecOf(dir_ / "eight.tif").format, OIIO::TypeDesc::UINT8);
  EXPECT_EQ(partialFiles(), 0);
}

TEST_F(RenderCommand, ReportsBadInputInPlainWordsAndWritesNothing) {
  // Missing footage: the file is named; nothing is written.
  scene("missing.####.exr");
  CliResult r = motefield("render scene.json --frames 0 -o out.png");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("missing.####.exr"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("layer \"P\""), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "out.png"));

  // A frame the sequence does not have.
  fs::copy_file(dir_ / "p.exr", dir_ / "seq.0000.exr");
  scene("seq.####.exr");
  r = motefield("render scene.json --frames 0-1 -o f.####.png --bit-depth 32");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("frame 1 is outside the sequence"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(dir_ / "f.0000.png"));  // the frame before was complete
  EXPECT_FALSE(fs::exists(dir_ / "f.0001.png"));

  scene("p.exr");
  // A frame range that is not one.
  r = motefield("render scene.json --frames 5-3 -o x.png");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("ends before it starts"), std::string::npos) << r.err;
  // Several frames, one file name.
  r = motefield("render scene.json --frames 0-1 -o x.png");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("####"), std::string::npos) << r.err;
  // A format it cannot write.
  r = motefield("render scene.json --frames 0 -o x.jpg");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unknown output format"), std::string::npos) << r.err;
  // An output folder that cannot be made: reported before anything is rendered.
  std::ofstream(dir_ / "blocker") << "a file, not a folder";
  r = motefield("render scene.json --frames 0 -o blocker/x.png");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot write to the output folder"), std::string::npos) << r.err;
  // No output at all.
  r = motefield("render scene.json --frames 0");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no output file"), std::string::npos) << r.err;
  // A solid colour written in 0-255.
  scene("p.exr", R"(, "render": {"output": "o.png"})");
  {
    std::string text = ReadText(dir_ / "scene.json");
    text.replace(text.find("[0, 0, 0, 0]"), 12, "[255, 0, 0]");
    std::ofstream(dir_ / "scene.json") << text;
  }
  r = motefield("render scene.json --frames 0");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("layers[2].color[0]"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "o.png"));

  // Frames the composition does not have, a depth the format cannot hold, a colour space that
  // does not exist: each named, nothing written.
  scene("p.exr", R"(, "render": {"output": "o.png", "colorspace": "sRBG"})");
  r = motefield("render scene.json --frames 2-3 -o x.png");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("frame 3 is outside the composition: its frames are 0 to 2"),
            std::string::npos)
      << r.err;
  r = motefield("render scene.json --frames 0 -o x.png --output-depth half --colorspace linear");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("x.png: PNG holds 8 or 16 bits, not half"), std::string::npos) << r.err;
  r = motefield("render scene.json --frames 0 -o x.png --colorspace rec.709");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--colorspace: unknown colour space \"rec.709\""), std::string::npos)
      << r.err;
  r = motefield("render scene.json --frames 0");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("scene.json: render.colorspace: unknown colour space \"sRBG\""),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "o.png"));
  EXPECT_FALSE(fs::exists(dir_ / "x.png"));
  EXPECT_EQ(partialFiles(), 0);
}

TEST_F(RenderCommand, FrameLinesTellTheDefaultCameraAndDroppedSamples) {
  // One position sample that is not a number.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float p[4][4] = {{10, 20, 30, 1}, {nan, 20, 30, 1}, {10, 21, 30, 1}, {11, 21, 30, 1}};
  WritePass("nan.exr", p);
  scene("nan.exr");
  CliResult r = motefield("render scene.json --frames 0-1 -o n.####.exr --bit-depth 32");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("frame 1 (2 of 2): n.0001.exr, 12 points, 4 samples dropped (position not "
                       "finite), "),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.err, "");

  // No camera layer: the camera the effect falls back on is named.
  scene("p.exr", "", false);
  r = motefield("render scene.json --frames 0-1 -o n.####.exr --bit-depth 32");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("warning: scene.json: no camera layer is active at frames 0-1; the "
                       "effect's own default camera is used there: position (0, 0, 0), "
                       "rotation (0°, 0°, 0°), zoom 622.2"),
            std::string::npos)
      << r.err;
}

TEST_F(RenderCommand, OutputsKeepTheRendersValuesPerFormat) {
  // A 2 × 1 float frame: (r, g, b, a) = (0.5, 1.5, -0.25, 1) and (0.25, 0, 1, 0.5).
  host::Frame frame;
  ASSERT_EQ(host::MakeWorld(2, 1, PF_PixelFormat_ARGB128, true, &frame.world), PF_Err_NONE);
  frame.format = PF_PixelFormat_ARGB128;
  auto* px = static_cast<PF_PixelFloat*>(static_cast<void*>(frame.world.data));
  px[0] = PF_PixelFloat{1.0f, 0.5f, 1.5f, -0.25f};
  px[1] = PF_PixelFloat{0.5f, 0.25f, 0.0f, 1.0f};
  // Read back as stored: alpha not multiplied in by the reader.
  OIIO::ImageSpec as_stored;
  as_stored.attribute("oiio:UnassociatedAlpha", 1);
  auto read = [&](const fs::path& file) {
    std::vector<float> v(8);
    auto in = OIIO::ImageInput::open(file.string(), &as_stored);
    EXPECT_TRUE(in);
    if (in) in->read_image(0, 0, 0, 4, OIIO::TypeDesc::FLOAT, v.data());
    return v;
  };
  // EXR float keeps everything as handed over: linear, premultiplied, out-of-range values too.
  cli::FrameOutput(dir_ / "f.exr", 32).write(frame, 0);
  EXPECT_EQ(read(dir_ / "f.exr"), std::vector<float>({0.5f, 1.5f, -0.25f, 1, 0.25f, 0, 1, 0.5f}));
  // So does float TIFF, also when the file's depth is asked for.
  cli::FrameOutput(dir_ / "f.tif", 8, {cli::FileDepth::kFloat, "sRGB"}).write(frame, 0);
  EXPECT_EQ(read(dir_ / "f.tif"), std::vector<float>({0.5f, 1.5f, -0.25f, 1, 0.25f, 0, 1, 0.5f}));
  // and says so, for the command line to warn that the colour space asked for does not apply.
  EXPECT_TRUE(
      cli::FrameOutput(dir_ / "f.tif", 8, {cli::FileDepth::kFloat, "sRGB"}).ignoresColorspace());
  EXPECT_FALSE(cli::FrameOutput(dir_ / "f.png", 32, {std::nullopt, "sRGB"}).ignoresColorspace());

  // 16-bit PNG: straight colour (0.25 / 0.5 = 0.5 linear), encoded as sRGB by its own formula,
  // 1.055 · 0.5^(1/2.4) − 0.055; clamped to 0-1.
  const float srgb_half = 1.055f * std::pow(0.5f, 1 / 2.4f) - 0.055f;  // 0.735357
  cli::FrameOutput(dir_ / "f.png", 32).write(frame, 0);
  std::vector<float> png = read(dir_ / "f.png");
  EXPECT_FLOAT_EQ(png[1], 1.0f);
  EXPECT_FLOAT_EQ(png[2], 0.0f);
  EXPECT_NEAR(png[4], srgb_half, 2.0f / 65535);
  EXPECT_FLOAT_EQ(png[6], 1.0f);  // 1 / 0.5 = 2, clamped
  EXPECT_NEAR(png[7], 0.5f, 1.0f / 65535);
  // "linear": straight but not encoded.
  cli::FrameOutput(dir_ / "l.png", 32, {std::nullopt, "linear"}).write(frame, 0);
  EXPECT_NEAR(read(dir_ / "l.png")[4], 0.5f, 1.0f / 65535);
  // The file's depth is chosen apart from the render's.
  cli::FrameOutput(dir_ / "e.png", 32, {cli::FileDepth::k8, "sRGB"}).write(frame, 0);
  EXPECT_EQ(SpecOf(dir_ / "e.png").format, OIIO::TypeDesc::UINT8);
  EXPECT_NEAR(read(dir_ / "e.png")[4], srgb_half, 0.5f / 255);
  EXPECT_THROW(cli::FrameOutput(dir_ / "x.exr", 32, {cli::FileDepth::k16, "sRGB"}),
               cli::OutputError);
  EXPECT_THROW(cli::FrameOutput(dir_ / "x.png", 32, {std::nullopt, "no such space"}),
               cli::OutputError);

  // An 8-bit frame reaches an 8-bit linear TIFF channel for channel.
  host::Frame eight;
  ASSERT_EQ(host::MakeWorld(2, 1, PF_PixelFormat_ARGB32, true, &eight.world), PF_Err_NONE);
  eight.format = PF_PixelFormat_ARGB32;
  auto* e8 = static_cast<PF_Pixel8*>(static_cast<void*>(eight.world.data));
  e8[0] = PF_Pixel8{255, 200, 100, 3};
  e8[1] = PF_Pixel8{0, 200, 100, 3};  // transparent: no colour left to recover
  cli::FrameOutput(dir_ / "e.tif", 8, {std::nullopt, "linear"}).write(eight, 0);
  uint8_t rgba[8] = {};
  auto in = OIIO::ImageInput::open((dir_ / "e.tif").string(), &as_stored);
  ASSERT_TRUE(in);
  in->read_image(0, 0, 0, 4, OIIO::TypeDesc::UINT8, rgba);
  EXPECT_EQ(std::vector<int>(rgba, rgba + 8), std::vector<int>({200, 100, 3, 255, 0, 0, 0, 0}));
  cli::FrameOutput(dir_ / "s.tif", 8).write(eight, 0);
  in = OIIO::ImageInput::open((dir_ / "s.tif").string(), &as_stored);
  ASSERT_TRUE(in);
  in->read_image(0, 0, 0, 4, OIIO::TypeDesc::UINT8, rgba);
  // sRGB by default: 200 → 229, 100 → 168, 3 → 28.
  auto encoded = [](int v) {
    return static_cast<int>(std::lround(255 * (1.055 * std::pow(v / 255.0, 1 / 2.4) - 0.055)));
  };
  EXPECT_EQ(std::vector<int>(rgba, rgba + 4),
            std::vector<int>({encoded(200), encoded(100), encoded(3), 255}));
  EXPECT_EQ(partialFiles(), 0);
}

TEST(DemoScene, PassesDescribeTheSphereAndTheFloor) {
  cli::DemoPasses passes = cli::MakeDemoPasses(cli::kDemoWidth, cli::kDemoHeight);
  const auto& p = *passes.position;
  const auto& n = *passes.normal;
  const double* c = cli::kDemoSphereCentre;
  int sphere = 0, floor = 0, empty = 0;
  for (size_t i = 0; i < p.rgba.size(); i += 4) {
    if (p.rgba[i + 3] == 0) {
      ++empty;
      EXPECT_EQ(passes.color->rgba[i + 3], 0.0f);  // no colour, no point
      continue;
    }
    const double dx = p.rgba[i] - c[0], dy = p.rgba[i + 1] - c[1], dz = p.rgba[i + 2] - c[2];
    const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (std::fabs(p.rgba[i + 1] - cli::kDemoFloorY) < 1e-3 && n.rgba[i + 1] == -1.0f) {
      ++floor;  // on the floor plane, normal straight up (-y)
    } else {
      ++sphere;  // on the sphere, normal along the radius
      EXPECT_NEAR(r, cli::kDemoSphereRadius, 1e-2);
      EXPECT_NEAR(n.rgba[i], dx / r, 1e-4);
      EXPECT_NEAR(n.rgba[i + 2], dz / r, 1e-4);
    }
  }
  // All three kinds of pixel occur: a recognisable object, the floor and the sky.
  EXPECT_GT(sphere, 10000);
  EXPECT_GT(floor, 10000);
  EXPECT_GT(empty, 1000);
  // The demo's lights carry the role prefixes the effect sorts by.
  host::Scene scene = cli::MakeDemoScene();
  int diffuse = 0, specular = 0;
  for (const auto& l : scene.layers) {
    if (l.type != "light") continue;
    diffuse += l.name.rfind("Diffuse ", 0) == 0;
    specular += l.name.rfind("Specular ", 0) == 0;
  }
  EXPECT_GE(diffuse, 1);
  EXPECT_GE(specular, 1);
}

}  // namespace
}  // namespace mf::test
