// `motefield render` and `motefield demo` as a person runs them: what they write, in which format
// and size, and how they fail: in plain words, with a non-zero status and no output file.
#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <fstream>
#include <sstream>

#include "HostFixture.h"
#include "cli/DemoScene.h"
#include "cli/FrameOutput.h"
#include "host/Worlds.h"

namespace mf::test {
namespace {

namespace fs = std::filesystem;

struct CliResult {
  int status;
  std::string out;
  std::string err;
};

class RenderCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDir(std::string("render-") +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
    // A 2 × 2 position pass the scene below reads.
    const float p[4][4] = {{10, 20, 30, 1}, {11, 20, 30, 1}, {10, 21, 30, 1}, {11, 21, 30, 1}};
    OIIO::ImageSpec spec(2, 2, 4, OIIO::TypeDesc::FLOAT);
    auto out = OIIO::ImageOutput::create((dir_ / "p.exr").string());
    out->open((dir_ / "p.exr").string(), spec);
    out->write_image(OIIO::TypeDesc::FLOAT, p);
    out->close();
  }
  void TearDown() override { fs::remove_all(dir_); }

  CliResult motefield(const std::string& args) {
    const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
    std::string cmd = "cd " + dir_.string() + " && " + MOTEFIELD_CLI_PATH + " --preferences " +
                      (dir_ / "prefs.json").string() + " " + args + " >" + out.string() + " 2>" +
                      err.string();
    int status = std::system(cmd.c_str());
    return CliResult{WEXITSTATUS(status), Read(out), Read(err)};
  }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path scene(const std::string& position_source, const std::string& extra = "") {
    fs::path p = dir_ / "scene.json";
    std::ofstream(p) << R"({"composition": {"width": 6, "height": 4, "duration": 3},
      "layers": [
        {"name": "P", "type": "footage", "source": ")"
                     << position_source << R"("},
        {"name": "Cloud", "type": "solid", "color": [0, 0, 0, 0],
         "effect": {"params": {"POSITION_PASS": "P", "SOURCE_LAYER": "P"}}}]
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
  static OIIO::ImageSpec SpecOf(const fs::path& file) {
    auto in = OIIO::ImageInput::open(file.string());
    EXPECT_TRUE(in) << file;
    return in ? in->spec() : OIIO::ImageSpec();
  }

  fs::path dir_;
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

  // Half resolution, 16-bit: a 3 × 2 PNG of 16-bit channels; EXR from a 16-bit render is half.
  r = motefield("render scene.json --frames 1 -o one.png --bit-depth 16 --downsample 2");
  ASSERT_EQ(r.status, 0) << r.err;
  // The pass holds positions 10 to 30, which a 16-bit world cannot: the person is told, once.
  EXPECT_NE(r.err.find("warning: layer \"P\" holds values outside 0 to 1, clamped at 16 bits"),
            std::string::npos)
      << r.err;
  OIIO::ImageSpec png = SpecOf(dir_ / "one.png");
  EXPECT_EQ(png.width, 3);
  EXPECT_EQ(png.height, 2);
  EXPECT_EQ(png.format, OIIO::TypeDesc::UINT16);
  r = motefield("render scene.json --frames 1 -o half.exr --bit-depth 16");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(SpecOf(dir_ / "half.exr").format, OIIO::TypeDesc::HALF);
  r = motefield("render scene.json --frames 1 -o eight.tif --bit-depth 8");
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
  r = motefield("render scene.json --frames 0-1 -o f.####.png");
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
    std::string text = Read(dir_ / "scene.json");
    text.replace(text.find("[0, 0, 0, 0]"), 12, "[255, 0, 0]");
    std::ofstream(dir_ / "scene.json") << text;
  }
  r = motefield("render scene.json --frames 0");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("layers[1].color[0]"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "o.png"));
  EXPECT_FALSE(fs::exists(dir_ / "x.png"));
  EXPECT_EQ(partialFiles(), 0);
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
  // EXR float keeps everything, out-of-range values too.
  cli::FrameOutput(dir_ / "f.exr", 32).write(frame, 0);
  EXPECT_EQ(read(dir_ / "f.exr"), std::vector<float>({0.5f, 1.5f, -0.25f, 1, 0.25f, 0, 1, 0.5f}));
  // PNG 16-bit: clamped to 0-1, colour not divided by alpha: 0.25 → 16384 / 65535 = 0.250004.
  cli::FrameOutput(dir_ / "f.png", 32).write(frame, 0);
  std::vector<float> png = read(dir_ / "f.png");
  EXPECT_FLOAT_EQ(png[1], 1.0f);
  EXPECT_FLOAT_EQ(png[2], 0.0f);
  EXPECT_NEAR(png[4], 0.25f, 1.0f / 65535);
  EXPECT_NEAR(png[7], 0.5f, 1.0f / 65535);

  // An 8-bit frame reaches an 8-bit TIFF channel for channel.
  host::Frame eight;
  ASSERT_EQ(host::MakeWorld(1, 1, PF_PixelFormat_ARGB32, true, &eight.world), PF_Err_NONE);
  eight.format = PF_PixelFormat_ARGB32;
  *static_cast<PF_Pixel8*>(static_cast<void*>(eight.world.data)) = PF_Pixel8{7, 200, 100, 3};
  cli::FrameOutput(dir_ / "e.tif", 8).write(eight, 0);
  uint8_t rgba[4] = {};
  auto in = OIIO::ImageInput::open((dir_ / "e.tif").string(), &as_stored);
  ASSERT_TRUE(in);
  in->read_image(0, 0, 0, 4, OIIO::TypeDesc::UINT8, rgba);
  EXPECT_EQ(rgba[0], 200);
  EXPECT_EQ(rgba[1], 100);
  EXPECT_EQ(rgba[2], 3);
  EXPECT_EQ(rgba[3], 7);
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
