// Footage and solids as the effect receives them from the host: tiny files written here with
// OpenImageIO, read through a scene's layers, converted to the render's depth and compared with
// values worked out by hand.
#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <fstream>
#include <tuple>

#include "HostFixture.h"
#include "host/Footage.h"
#include "host/FrameRender.h"
#include "host/Worlds.h"
#include "host/PixelTraits.h"
#include "params/ParamIndex.h"

namespace mf::test {
namespace {

namespace fs = std::filesystem;
using host::FootageSource;
using host::LayerError;

void WriteImage(const fs::path& file, int w, int h, const std::vector<std::string>& channels,
                OIIO::TypeDesc type, const void* data) {
  OIIO::ImageSpec spec(w, h, static_cast<int>(channels.size()), type);
  spec.channelnames = channels;
  spec.alpha_channel = -1;
  for (size_t i = 0; i < channels.size(); ++i)
    if (channels[i] == "A") spec.alpha_channel = static_cast<int>(i);
  spec.attribute("oiio:UnassociatedAlpha", 1);
  auto out = OIIO::ImageOutput::create(file.string());
  ASSERT_TRUE(out) << file;
  ASSERT_TRUE(out->open(file.string(), spec)) << out->geterror();
  ASSERT_TRUE(out->write_image(type, data)) << out->geterror();
  ASSERT_TRUE(out->close());
}

class FootageTest : public HostTest {
 protected:
  // A scene in the test folder with the given layers.
  host::Scene scene(const std::string& layers_json) {
    const fs::path file = dir_ / "scene.json";
    std::ofstream(file) << R"({"composition": {"width": 4, "height": 2}, "layers": )" << layers_json
                        << "}";
    return host::LoadScene(file);
  }

  // The world the host makes of a layer for a frame at a depth.
  template <typename Pixel>
  std::vector<Pixel> pixels(FootageSource& source, int layer, int frame, int depth,
                            int downsample = 1, int* width = nullptr, int* height = nullptr) {
    host().setLayerSource(&source);
    host::FrameRequest request;
    request.bit_depth = depth;
    request.downsample = downsample;
    host().frames().begin(request);
    PF_EffectWorld* world = host().frames().layerWorld(layer, frame);
    std::vector<Pixel> out;
    if (world) {
      EXPECT_EQ(host::FormatOf(*world), host::PixelTraits<Pixel>::kFormat);
      for (A_long y = 0; y < world->height; ++y)
        for (A_long x = 0; x < world->width; ++x)
          out.push_back(*host::PixelAt<Pixel>(*world, x, y));
      if (width) *width = world->width;
      if (height) *height = world->height;
    }
    host().frames().end();
    host().setLayerSource(nullptr);
    return out;
  }
};

TEST_F(FootageTest, PicksAChannelSetOfAMultiLayerExrByName) {
  // One part holding beauty (R G B A), a position set P.X/Y/Z and a normal set N.x/y/z.
  const std::vector<std::string> names = {"R",   "G",   "B",   "A",   "P.X",
                                          "P.Y", "P.Z", "N.x", "N.y", "N.z"};
  const float data[2][10] = {
      {0.1f, 0.2f, 0.3f, 0.5f, 1234.5f, -0.25f, 1e6f, 0.0f, -1.0f, 0.0f},
      {2.0f, -1.0f, 0.0f, 1.0f, 960.0f, 540.0f, -2666.75f, 0.6f, 0.8f, 0.0f}};
  WriteImage(dir_ / "passes.exr", 2, 1, names, OIIO::TypeDesc::FLOAT, data);
  FootageSource source(scene(R"([
      {"name": "beauty", "type": "footage", "source": "passes.exr"},
      {"name": "P", "type": "footage", "source": "passes.exr", "channels": "P"},
      {"name": "N", "type": "footage", "source": "passes.exr", "channels": "N"},
      {"name": "Q", "type": "footage", "source": "passes.exr", "channels": "Q"}])"));

  // 32-bit: every value exactly as stored; alpha from A since there is no P.A.
  auto p = pixels<PF_PixelFloat>(source, 1, 0, 32);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].red, 1234.5f);
  EXPECT_EQ(p[0].green, -0.25f);
  EXPECT_EQ(p[0].blue, 1e6f);
  EXPECT_EQ(p[0].alpha, 0.5f);
  EXPECT_EQ(p[1].blue, -2666.75f);
  auto n = pixels<PF_PixelFloat>(source, 2, 0, 32);
  EXPECT_EQ(n[0].green, -1.0f);
  EXPECT_EQ(n[1].red, 0.6f);
  EXPECT_EQ(n[1].green, 0.8f);
  // Beauty out of range is kept as stored in float...
  auto b = pixels<PF_PixelFloat>(source, 0, 0, 32);
  EXPECT_EQ(b[1].red, 2.0f);
  EXPECT_EQ(b[1].green, -1.0f);
  // ...and clamped in 8-bit: 0.1 × 255 = 25.5 → 26, 0.2 × 255 = 51, 0.3 × 255 = 76.5 → 77,
  // 0.5 × 255 = 127.5 → 128; 2.0 → 255; -1.0 → 0.
  auto b8 = pixels<PF_Pixel8>(source, 0, 0, 8);
  EXPECT_EQ(b8[0].red, 26);
  EXPECT_EQ(b8[0].green, 51);
  EXPECT_EQ(b8[0].blue, 77);
  EXPECT_EQ(b8[0].alpha, 128);
  EXPECT_EQ(b8[1].red, 255);
  EXPECT_EQ(b8[1].green, 0);
  // 16-bit: 0.1 × 32768 = 3276.8 → 3277; 0.5 × 32768 = 16384; 2.0 → 32768.
  auto b16 = pixels<PF_Pixel16>(source, 0, 0, 16);
  EXPECT_EQ(b16[0].red, 3277);
  EXPECT_EQ(b16[0].alpha, 16384);
  EXPECT_EQ(b16[1].red, 32768);

  // A set the file does not have: named with the file.
  try {
    source.image(3, 0);
    FAIL();
  } catch (const LayerError& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find("layer \"Q\""), std::string::npos) << m;
    EXPECT_NE(m.find("passes.exr"), std::string::npos) << m;
    EXPECT_NE(m.find("no channel set \"Q\""), std::string::npos) << m;
  }
}

TEST_F(FootageTest, SixteenAndEightBitFilesReachEachDepthByHand) {
  // 16-bit TIFF, RGB without alpha: 0, 1000, 32768, 65535 in the red channel.
  const uint16_t tiff[4][3] = {{0, 0, 0}, {1000, 0, 0}, {32768, 0, 0}, {65535, 65535, 65535}};
  WriteImage(dir_ / "t16.tif", 4, 1, {"R", "G", "B"}, OIIO::TypeDesc::UINT16, tiff);
  // 8-bit PNG, RGBA with alpha not multiplied in: (200, 100, 50, 128).
  const uint8_t png[1][4] = {{200, 100, 50, 128}};
  WriteImage(dir_ / "p8.png", 1, 1, {"R", "G", "B", "A"}, OIIO::TypeDesc::UINT8, png);
  FootageSource source(scene(R"([
      {"name": "t", "type": "footage", "source": "t16.tif"},
      {"name": "p", "type": "footage", "source": "p8.png"}])"));

  // 16-bit world: v / 65535 × 32768 rounded: 0, 500.0076 → 500, 16384.25 → 16384, 32768;
  // no alpha in the file: opaque.
  auto t16 = pixels<PF_Pixel16>(source, 0, 0, 16);
  ASSERT_EQ(t16.size(), 4u);
  EXPECT_EQ(t16[0].red, 0);
  EXPECT_EQ(t16[1].red, 500);
  EXPECT_EQ(t16[2].red, 16384);
  EXPECT_EQ(t16[3].red, 32768);
  EXPECT_EQ(t16[0].alpha, 32768);
  // 8-bit world: v / 65535 × 255: 1000 → 3.89 → 4; 32768 → 127.502 → 128.
  auto t8 = pixels<PF_Pixel8>(source, 0, 0, 8);
  EXPECT_EQ(t8[1].red, 4);
  EXPECT_EQ(t8[2].red, 128);
  EXPECT_EQ(t8[3].blue, 255);
  EXPECT_EQ(t8[0].alpha, 255);
  // Float world: the stored fraction.
  auto tf = pixels<PF_PixelFloat>(source, 0, 0, 32);
  EXPECT_FLOAT_EQ(tf[1].red, 1000.0f / 65535.0f);

  // The PNG keeps its values as stored: colour not multiplied by alpha.
  auto p8 = pixels<PF_Pixel8>(source, 1, 0, 8);
  ASSERT_EQ(p8.size(), 1u);
  EXPECT_EQ(p8[0].red, 200);
  EXPECT_EQ(p8[0].green, 100);
  EXPECT_EQ(p8[0].blue, 50);
  EXPECT_EQ(p8[0].alpha, 128);
  // 16-bit: 200 / 255 × 32768 = 25700.39 → 25700; 128 / 255 × 32768 = 16448.25 → 16448.
  auto p16 = pixels<PF_Pixel16>(source, 1, 0, 16);
  EXPECT_EQ(p16[0].red, 25700);
  EXPECT_EQ(p16[0].alpha, 16448);
  auto pf = pixels<PF_PixelFloat>(source, 1, 0, 32);
  EXPECT_FLOAT_EQ(pf[0].red, 200.0f / 255.0f);
}

TEST_F(FootageTest, SequencesStartAtTheLayersStartWhateverTheirFirstNumber) {
  // Three renders of three frames each, numbered from 0, 1 and 1001; each file's red is its own
  // number's last two digits, so the file read is seen in the pixel.
  for (int first : {0, 1, 1001}) {
    for (int f = first; f < first + 3; ++f) {
      const uint8_t red[1][3] = {{static_cast<uint8_t>(f % 100), 0, 0}};
      char name[32];
      std::snprintf(name, sizeof(name), "s%d.%04d.png", first, f);
      WriteImage(dir_ / name, 1, 1, {"R", "G", "B"}, OIIO::TypeDesc::UINT8, red);
    }
  }
  FootageSource source(scene(R"([
      {"name": "zero", "type": "footage", "source": "s0.####.png"},
      {"name": "one", "type": "footage", "source": "s1.%04d.png"},
      {"name": "film", "type": "footage", "source": "s1001.####.png"},
      {"name": "chosen", "type": "footage", "source": "s1001.####.png", "first_frame": 1002},
      {"name": "late", "type": "footage", "source": "s1.####.png", "start_time": 0.5},
      {"name": "gone", "type": "footage", "source": "nope.exr"},
      {"name": "none", "type": "footage", "source": "other.####.exr"}])"));
  auto red = [&](int layer, int frame) {
    return pixels<PF_Pixel8>(source, layer, frame, 8)[0].red;
  };
  // The first file is the layer's first frame; the frames follow one file each.
  EXPECT_EQ(red(0, 0), 0);
  EXPECT_EQ(red(0, 2), 2);
  EXPECT_EQ(red(1, 0), 1);
  EXPECT_EQ(red(1, 2), 3);
  EXPECT_EQ(red(2, 0), 1);  // 1001
  EXPECT_EQ(red(2, 1), 2);
  EXPECT_EQ(red(3, 0), 2);   // first_frame 1002
  EXPECT_EQ(red(4, 12), 1);  // starts half a second (12 frames at 24) into the composition
  EXPECT_EQ(red(4, 13), 2);

  // A first_frame the sequence does not have is refused before anything renders, by key.
  try {
    FootageSource bad(scene(R"([{"name": "x", "type": "footage", "source": "s1.####.png",
                                  "first_frame": 1001}])"));
    ADD_FAILURE() << "first_frame 1001 of s1.####.png was accepted";
  } catch (const host::SceneError& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find("scene.json: layers[0].first_frame: there is no file"), std::string::npos)
        << m;
    EXPECT_NE(m.find("s1.1001.png"), std::string::npos) << m;
    EXPECT_NE(m.find("numbered 1 to 3"), std::string::npos) << m;
  }

  auto message = [&](int layer, int frame) {
    try {
      source.image(layer, frame);
    } catch (const LayerError& e) {
      return std::string(e.what());
    }
    return std::string("(no error)");
  };
  const std::string outside = message(1, 3);
  EXPECT_NE(outside.find("frame 3 is outside the sequence"), std::string::npos) << outside;
  EXPECT_NE(outside.find("s1.####.png"), std::string::npos) << outside;
  EXPECT_NE(outside.find("s1.0004.png, which is missing"), std::string::npos) << outside;
  EXPECT_NE(outside.find("files on disk: 1 to 3"), std::string::npos) << outside;
  const std::string gone = message(5, 0);
  EXPECT_NE(gone.find("missing footage"), std::string::npos) << gone;
  EXPECT_NE(gone.find((dir_ / "nope.exr").string()), std::string::npos) << gone;
  const std::string none = message(6, 0);
  EXPECT_NE(none.find("no file matches"), std::string::npos) << none;

  // The host turns a layer it cannot read into a failure named for the person, never a crash.
  host().setLayerSource(&source);
  host::FrameRequest request;
  host().frames().begin(request);
  EXPECT_EQ(host().frames().layerWorld(5, 0), nullptr);
  EXPECT_NE(host().frames().failure().find("nope.exr"), std::string::npos);
  host().frames().end();
  host().setLayerSource(nullptr);

  // Decoded frames are cached: reading frame 2 again decodes nothing.
  const auto before = source.decodes();
  source.image(0, 2);
  source.image(0, 2);
  EXPECT_EQ(source.decodes(), before);
}

TEST_F(FootageTest, SolidsAndDownsampling) {
  // A 3 × 3 float image whose red channel counts the pixels 0 … 8.
  float grid[9][3];
  for (int i = 0; i < 9; ++i) grid[i][0] = static_cast<float>(i), grid[i][1] = grid[i][2] = 0;
  WriteImage(dir_ / "grid.exr", 3, 3, {"R", "G", "B"}, OIIO::TypeDesc::FLOAT, grid);
  FootageSource source(scene(R"([
      {"name": "grid", "type": "footage", "source": "grid.exr"},
      {"name": "solid", "type": "solid", "color": [0.5, 0.25, 1, 0.75]},
      {"name": "opaque", "type": "solid", "color": [1, 0, 0], "width": 3, "height": 1}])"));
  // Half resolution: ceil(3 / 2) = 2 per side, each pixel the layer pixel at its top-left:
  // (0,0) → 0, (2,0) → 2, (0,2) → 6, (2,2) → 8.
  int w = 0, h = 0;
  auto half = pixels<PF_PixelFloat>(source, 0, 0, 32, 2, &w, &h);
  ASSERT_EQ(w, 2);
  ASSERT_EQ(h, 2);
  EXPECT_EQ(half[0].red, 0.0f);
  EXPECT_EQ(half[1].red, 2.0f);
  EXPECT_EQ(half[2].red, 6.0f);
  EXPECT_EQ(half[3].red, 8.0f);

  // A solid is the composition's size (4 × 2) in its colour, 0 to 1: in 16-bit 16384, 8192,
  // 32768 and alpha 24576.
  auto solid = pixels<PF_Pixel16>(source, 1, 0, 16, 1, &w, &h);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 2);
  for (const auto& px : solid) {
    EXPECT_EQ(px.red, 16384);
    EXPECT_EQ(px.green, 8192);
    EXPECT_EQ(px.blue, 32768);
    EXPECT_EQ(px.alpha, 24576);
  }
  auto opaque = pixels<PF_Pixel8>(source, 2, 0, 8, 1, &w, &h);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(opaque[2].alpha, 255);  // alpha 1 when not given

  // Colours above 1 are a mistake in the scene, named with its key.
  try {
    FootageSource bad(scene(R"([{"name": "s", "type": "solid", "color": [255, 0, 0]}])"));
    FAIL();
  } catch (const host::SceneError& e) {
    EXPECT_NE(std::string(e.what()).find("layers[0].color[0]"), std::string::npos) << e.what();
  }
  EXPECT_THROW(FootageSource(scene(R"([{"name": "f", "type": "footage"}])")), host::SceneError);
}

TEST_F(FootageTest, LayerControlsCarryTheLayersWorldAtTheAskedTime) {
  for (int f : {0, 1}) {
    const float v[1][3] = {{100.0f + f, 0, 0}};
    char name[32];
    std::snprintf(name, sizeof(name), "p.%d.exr", f);
    WriteImage(dir_ / name, 1, 1, {"R", "G", "B"}, OIIO::TypeDesc::FLOAT, v);
  }
  FootageSource source(scene(R"([{"name": "P", "type": "footage", "source": "p.%d.exr"}])"));
  ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
  host::EffectInstance* instance = host().newInstance();
  ASSERT_NE(instance, nullptr);
  instance->params[POSITION_PASS].u.ld.reserved0 = reinterpret_cast<void*>(intptr_t{1});
  host().setLayerSource(&source);
  host::FrameRequest request;
  request.bit_depth = 32;
  host().frames().begin(request);

  // At 24 fps a time of 1 / 24 s is frame 1; 1 / 48 s lies within frame 0.
  const auto ref = reinterpret_cast<PF_ProgPtr>(instance);
  for (auto [time, scale, expected] :
       {std::tuple{1, 24u, 101.0f}, std::tuple{1, 48u, 100.0f}, std::tuple{0, 24u, 100.0f}}) {
    PF_ParamDef def{};
    ASSERT_EQ(host().inData().inter.checkout_param(ref, POSITION_PASS, time, 1, scale, &def),
              PF_Err_NONE)
        << host().frames().failure();
    ASSERT_NE(def.u.ld.data, nullptr);
    EXPECT_EQ(def.u.ld.reserved0, reinterpret_cast<void*>(intptr_t{1}));  // still marked chosen
    EXPECT_EQ(def.u.ld.width, 1);
    EXPECT_EQ(host::PixelAt<PF_PixelFloat>(def.u.ld, 0, 0)->red, expected);
    EXPECT_EQ(host().inData().inter.checkin_param(ref, &def), PF_Err_NONE);
  }
  // A layer control with no layer chosen has no pixels.
  PF_ParamDef def{};
  ASSERT_EQ(host().inData().inter.checkout_param(ref, NORMAL_PASS, 0, 1, 24, &def), PF_Err_NONE);
  EXPECT_EQ(def.u.ld.data, nullptr);
  // A frame the sequence does not have is refused, and the reason kept for the person.
  ASSERT_EQ(host().inData().inter.checkout_param(ref, POSITION_PASS, 2, 1, 24, &def),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_NE(host().frames().failure().find("frame 2 is outside"), std::string::npos);
  host().frames().end();
  host().setLayerSource(nullptr);
}

}  // namespace
}  // namespace mf::test
