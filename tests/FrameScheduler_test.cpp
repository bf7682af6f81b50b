// `motefield render --jobs N` and `--compression`, as a person runs them.
#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <fstream>
#include <sstream>

#include "CliFixture.h"

namespace mf::test {
namespace {

namespace fs = std::filesystem;

class RenderJobs : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    // A 2 × 2 position pass; every frame of the scene reads it.
    WriteExr2x2(dir_ / "p.exr",
                {{10, 20, 30, 1}, {11, 20, 30, 1}, {10, 21, 30, 1}, {11, 21, 30, 1}});
    std::ofstream(dir_ / "scene.json")
        << R"({"composition": {"width": 6, "height": 4, "duration": 5},
      "layers": [
        {"name": "P", "type": "footage", "source": "p.exr"},
        {"name": "Cloud", "type": "solid", "color": [0, 0, 0, 0],
         "effect": {"params": {"POSITION_PASS": "P", "SOURCE_LAYER": "P"}}}],
      "render": {"bit_depth": 32}})";
  }
  // What it printed on either stream.
  int motefield(const std::string& args, std::string* out) {
    const CliResult r = CliTest::motefield(args);
    *out = r.out + r.err;
    return r.status;
  }
};

TEST_F(RenderJobs, FramesSharedAmongProcessesAreAllWrittenAndCountedOnce) {
  std::string out;
  ASSERT_EQ(
      motefield("render scene.json --frames 0-4 --bit-depth 32 --jobs 3 -o out/c.####.exr", &out),
      0)
      << out;
  for (int f = 0; f <= 4; ++f) {
    char name[32];
    std::snprintf(name, sizeof(name), "out/c.%04d.exr", f);
    EXPECT_TRUE(fs::exists(dir_ / name)) << name;
  }
  EXPECT_NE(out.find("rendered 5 frames,"), std::string::npos) << out;
  for (const auto& e : fs::recursive_directory_iterator(dir_))
    EXPECT_EQ(e.path().filename().string().find("partial"), std::string::npos) << e.path();
}

// Both workers clamp the position pass at 16 bits, and the scene has no camera: each warning is
// told once for the whole render.
TEST_F(RenderJobs, AWarningEveryWorkerMeetsIsToldOnce) {
  std::string out;
  ASSERT_EQ(motefield("render scene.json --frames 0-3 --bit-depth 16 --allow-clamped --jobs 2 "
                      "-o out/c.####.png",
                      &out),
            0)
      << out;
  auto count = [&out](const std::string& what) {
    int n = 0;
    for (size_t at = out.find(what); at != std::string::npos; at = out.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("holds values outside 0 to 1"), 1) << out;
  EXPECT_EQ(count("no camera layer"), 1) << out;
  EXPECT_NE(out.find("rendered 4 frames,"), std::string::npos) << out;
}

TEST_F(RenderJobs, CompressionIsChosenByNameAndAnUnknownNameRefused) {
  std::string out;
  ASSERT_EQ(
      motefield("render scene.json --frames 0 --bit-depth 32 --compression piz -o c.exr", &out), 0)
      << out;
  auto in = OIIO::ImageInput::open((dir_ / "c.exr").string());
  ASSERT_TRUE(in);
  EXPECT_EQ(in->spec().get_string_attribute("compression"), "piz");
  in.reset();
  EXPECT_NE(
      motefield("render scene.json --frames 0 --bit-depth 32 --compression zap -o d.exr", &out), 0);
  EXPECT_NE(out.find("unknown EXR compression \"zap\""), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(dir_ / "d.exr"));
}

}  // namespace
}  // namespace mf::test
