// The panel, options and link-camera commands on small scene files: what a person reads and the
// scene files they get back.
#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "HostFixture.h"
#include "cli/PanelCommands.h"
#include "host/Scene.h"

namespace mf::test {
namespace {

class PanelCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = ScratchDir(std::string("PanelCommand.") + info->name());
    common_.preferences = (dir_ / "preferences.json").string();
    nlohmann::json scene = {
        {"composition", {{"width", 64}, {"height", 48}, {"frame_rate", 24}, {"duration", 10}}},
        {"layers",
         {{{"name", "Shot \"A\""},
           {"type", "camera"},
           {"position", {32, 24, -500}},
           {"point_of_interest", {32, 24, 0}},
           {"zoom", 500}},
          {{"name", "Cloud"},
           {"type", "solid"},
           {"color", {0, 0, 0, 0}},
           {"effect", {{"params", {{"RENDER_MODE", 8}, {"UNIFORM_GAIN", false}}}}}}}}};
    scene_ = (dir_ / "scene.json").string();
    std::ofstream(scene_) << scene.dump(2);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  nlohmann::json Effect(const std::string& file) {
    std::ifstream in(file);
    return nlohmann::json::parse(in)["layers"][1]["effect"];
  }

  std::filesystem::path dir_;
  std::string scene_;
  cli::CommonOptions common_;
};

TEST_F(PanelCommand, PrintsThePanelAfterAnUpdateAndDrawsTheCustomControls) {
  std::ostringstream out;
  const std::string picture = (dir_ / "panel.png").string();
  ASSERT_EQ(cli::RunPanel(common_, scene_, picture, out), 0);
  const std::string text = out.str();
  // Mode 8 greys out the pixel size; the gain group is relabelled once its uniform switch is off.
  auto line = [&](const std::string& id) {
    size_t at = text.find(id + " ");
    return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) - at);
  };
  EXPECT_NE(line("PIXEL_SIZE").find("[disabled]"), std::string::npos) << line("PIXEL_SIZE");
  EXPECT_NE(line("GAIN_X").find("增益 X"), std::string::npos) << line("GAIN_X");
  EXPECT_EQ(line("GAIN_Y").find("[disabled]"), std::string::npos);
  EXPECT_NE(line("RENDER_MODE").find("8 ("), std::string::npos);
  EXPECT_NE(line("SPECULAR_SHININESS").find("slider 0 to 100"), std::string::npos)
      << line("SPECULAR_SHININESS");

  // The picture holds both controls: 300 x 80 and 48 x 24 with margins of 8.
  auto in = OIIO::ImageInput::open(picture);
  ASSERT_TRUE(in);
  EXPECT_EQ(in->spec().width, 316);
  EXPECT_EQ(in->spec().height, 8 + 80 + 8 + 24 + 8);
  EXPECT_EQ(in->spec().nchannels, 4);
  in->close();
  EXPECT_FALSE(std::filesystem::exists(dir_ / "panel.partial.png"));
}

TEST_F(PanelCommand, OptionsAndLinkCameraSaveWhatTheEffectDid) {
  const std::string options_out = (dir_ / "options.json").string();
  cli::OptionsAnswers answers;
  answers.diffuse = "Key";
  answers.alpha = "Holdout";
  answers.disable_alerts = true;
  ASSERT_EQ(cli::RunOptions(common_, scene_, answers, options_out), 0);
  auto record = host::Base64Decode(Effect(options_out)["sequence_data"].get<std::string>());
  ASSERT_TRUE(record);
  ASSERT_EQ(record->size(), 104u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record->data()) + 8), "Holdout");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record->data()) + 40), "Key");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record->data()) + 72), "Specular");

  // Duplicate prefixes: refused, and nothing is written.
  answers = cli::OptionsAnswers{};
  answers.specular = "Holdout";
  const std::string refused = (dir_ / "refused.json").string();
  EXPECT_EQ(cli::RunOptions(common_, options_out, answers, refused), 1);
  EXPECT_FALSE(std::filesystem::exists(refused));

  // Linking keeps the prefixes and adds the four expressions, quote and all; a scene with them
  // loads again and keeps them.
  const std::string linked = (dir_ / "linked.json").string();
  ASSERT_EQ(cli::RunLinkCamera(common_, options_out, "Shot \"A\"", linked), 0);
  const nlohmann::json effect = Effect(linked);
  EXPECT_EQ(effect["sequence_data"], Effect(options_out)["sequence_data"]);
  EXPECT_EQ(effect["expressions"]["REFERENCE_CAMERA_ZOOM"],
            "thisComp.layer(\"Shot \"A\"\").zoom;\n");
  EXPECT_EQ(effect["expressions"]["REFERENCE_CAMERA_POSITION_Y"],
            "thisComp.layer(\"Shot \"A\"\").transform.position[1];\n");
  std::ostringstream out;
  ASSERT_EQ(cli::RunPanel(common_, linked, "", out), 0);
  EXPECT_NE(out.str().find(".zoom; = 500 at 0 s"), std::string::npos) << out.str();

  // A camera that is not there: said in plain words, nothing written.
  const std::string missing = (dir_ / "missing.json").string();
  EXPECT_EQ(cli::RunLinkCamera(common_, scene_, "Camera 9", missing), 2);
  EXPECT_FALSE(std::filesystem::exists(missing));
}

}  // namespace
}  // namespace mf::test
