// The motefield command as a person runs it: exit status, what it prints, what it writes.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "CliFixture.h"
#include "host/Scene.h"

namespace mf::test {
namespace {

namespace fs = std::filesystem;

class CommandLine : public CliTest {
 protected:
  fs::path write(const std::string& name, const std::string& text) {
    fs::path p = dir_ / name;
    std::ofstream(p) << text;
    return p;
  }
};

const char* kScene = R"({
  "composition": {"width": 64, "height": 48},
  "layers": [
    {"name": "P", "type": "footage", "source": "p.exr"},
    {"name": "Cloud", "type": "solid", "color": [0, 0, 0, 0],
     "effect": {"params": {"POSITION_PASS": "P", "PIXEL_SIZE": 2, "ENABLE_GRID": false,
                           "RENDER_MODE": 3, "GAIN_X": [[0, 1.0], [2.0, 3.0]]}%SEQ%}}
  ],
  "render": {"layer": "Cloud", "frames": "0-3"}
})";

std::string SceneWith(const std::string& sequence) {
  std::string s = kScene;
  s.replace(s.find("%SEQ%"), 5,
            sequence.empty() ? "" : ", \"sequence_data\": \"" + sequence + "\"");
  return s;
}

// The stored record of the default prefixes, byte by byte.
std::vector<uint8_t> DefaultRecord(uint32_t version = 1) {
  std::vector<uint8_t> b(104, 0);
  b[0] = 1;
  b[4] = static_cast<uint8_t>(version);
  std::memcpy(&b[8], "Alpha", 5);
  std::memcpy(&b[40], "Diffuse", 7);
  std::memcpy(&b[72], "Specular", 8);
  return b;
}

TEST_F(CommandLine, InfoListsEveryParameterAsTheHostReceivedIt) {
  CliResult r = motefield("info");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Motefield, v1.0\n", 0), 0u);
  EXPECT_NE(r.out.find("170 parameters"), std::string::npos);
  // A few rows, checked against the control table by hand.
  EXPECT_NE(r.out.find("138   PIXEL_SIZE"), std::string::npos);
  EXPECT_NE(r.out.find("像素尺寸"), std::string::npos);
  EXPECT_NE(r.out.find("153   PIXEL_BLEND_MODE"), std::string::npos);
  EXPECT_NE(r.out.find("13 (均值添加Alpha)"), std::string::npos);
  EXPECT_NE(r.out.find("169   AFFECT_CAMERA_END"), std::string::npos);
  int rows = 0;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])) && line.find("  ") < 6)
      ++rows;
  EXPECT_EQ(rows, 170);
}

TEST_F(CommandLine, PopupsTakeTheirChoicesByNameAndSlipsGetSuggestions) {
  // A popup's value by the menu's text, by its English name (any case, "color" too) or number.
  fs::path scene = write("named.json", R"({"composition": {"width": 8, "height": 8},
    "layers": [{"name": "Cloud", "type": "solid", "effect": {"params": {
      "PIXEL_BLEND_MODE": "normal", "RENDER_MODE": "1/2", "LIFE_MAP": "Alpha",
      "TEXTURE_BLEND_MODE": "Color", "MAP_RGB_TO": "红Z 投影"}}}]})");
  CliResult r = motefield("panel " + scene.string());
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* row : {"PIXEL_BLEND_MODE              像素混合模式        2 (正常)",
                          "RENDER_MODE                   渲染模式            3 (1/2)",
                          "LIFE_MAP                    映射生命值          5 (Alpha)",
                          "TEXTURE_BLEND_MODE          材质混合模式        9 (颜色)",
                          "MAP_RGB_TO                  贴图RGB到           14 (红Z 投影)"})
    EXPECT_NE(r.out.find(row), std::string::npos) << row << "\n" << r.out;

  // info lists both names of every choice.
  r = motefield("info");
  const size_t menu = r.out.find("\nPIXEL_BLEND_MODE\n");
  ASSERT_NE(menu, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("   2  正常              normal\n", menu), std::string::npos);
  EXPECT_NE(r.out.find("  13  均值添加Alpha     average add alpha\n", menu), std::string::npos);

  r = motefield("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "motefield 1.0\n");
  r = motefield("rendr scene.json");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unknown command \"rendr\" (did you mean \"render\"?)"), std::string::npos)
      << r.err;
  r = motefield("render scene.json --bitdepth 8");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unknown option \"--bitdepth\" for render (did you mean \"--bit-depth\"?)"),
            std::string::npos)
      << r.err;
}

TEST_F(CommandLine, SaveStoresTheRecordOfEachInstance) {
  fs::path scene = write("scene.json", SceneWith(""));
  fs::path out = dir_ / "saved.json";
  CliResult r = motefield("save " + scene.string() + " -o " + out.string());
  ASSERT_EQ(r.status, 0) << r.err;
  auto doc = nlohmann::json::parse(ReadText(out));
  EXPECT_EQ(doc["layers"][1]["effect"]["sequence_data"], host::Base64Encode(DefaultRecord()));
  // The controls are written back as they were.
  EXPECT_EQ(doc["layers"][1]["effect"]["params"]["PIXEL_SIZE"], 2);
}

TEST_F(CommandLine, SaveOfAnOldRecordWarnsAndStoresTheDefaults) {
  std::vector<uint8_t> old = DefaultRecord(2);
  std::memcpy(&old[8], "Rim\0\0", 5);
  fs::path scene = write("scene.json", SceneWith(host::Base64Encode(old)));
  fs::path out = dir_ / "saved.json";
  CliResult r = motefield("save " + scene.string() + " -o " + out.string());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Motefield version mismatch. Some data may be reset."), std::string::npos);
  auto doc = nlohmann::json::parse(ReadText(out));
  EXPECT_EQ(doc["layers"][1]["effect"]["sequence_data"], host::Base64Encode(DefaultRecord()));
}

TEST_F(CommandLine, DamagedRecordsAreToldAndReset) {
  for (std::string stored : {std::string("not base64!"), host::Base64Encode({1, 0, 0, 0, 1})}) {
    SCOPED_TRACE(stored);
    fs::path scene = write("scene.json", SceneWith(stored));
    fs::path out = dir_ / "saved.json";
    CliResult r = motefield("save " + scene.string() + " -o " + out.string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(r.err.empty());
    auto doc = nlohmann::json::parse(ReadText(out));
    EXPECT_EQ(doc["layers"][1]["effect"]["sequence_data"], host::Base64Encode(DefaultRecord()));
  }
}

TEST_F(CommandLine, BadScenesAreRefusedWithTheKeyAndNoOutput) {
  struct Case {
    std::string text;
    std::string expected;  // in the message
  };
  std::string scene = SceneWith("");
  auto with = [&](const std::string& from, const std::string& to) {
    std::string s = scene;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  const Case cases[] = {
      {"{ not json", "not valid JSON"},
      {with("\"PIXEL_SIZE\": 2", "\"PIXEL_SIZ\": 2"),
       "effect.params.PIXEL_SIZ: unknown control \"PIXEL_SIZ\" (did you mean \"PIXEL_SIZE\"?)"},
      {with("\"frames\": \"0-3\"", "\"frame\": \"0-3\""),
       "render.frame: unknown key (did you mean \"frames\"?)"},
      {with("\"RENDER_MODE\": 3", "\"RENDER_MODE\": \"halve\""),
       "RENDER_MODE: no choice named \"halve\" (did you mean \"half\"?)"},
      {with("\"PIXEL_SIZE\": 2", "\"PIXEL_SIZE\": \"big\""),
       "effect.params.PIXEL_SIZE: expected a number"},
      {with("\"PIXEL_SIZE\": 2", "\"PIXEL_SIZE\": 0.5"), "effect.params.PIXEL_SIZE: out of range"},
      {with("\"ENABLE_GRID\": false", "\"ENABLE_GRID\": 0"),
       "effect.params.ENABLE_GRID: expected true or false"},
      {with("\"RENDER_MODE\": 3", "\"RENDER_MODE\": 11"),
       "effect.params.RENDER_MODE: expected a whole number from 1 to 10"},
      {with("\"POSITION_PASS\": \"P\"", "\"POSITION_PASS\": \"Q\""),
       "effect.params.POSITION_PASS: no layer named \"Q\""},
      {with("\"layer\": \"Cloud\"", "\"layer\": \"Cluod\""), "render.layer: no layer named"},
      {with("\"type\": \"footage\"", "\"type\": \"movie\""), "layers[0].type: unknown layer type"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    fs::path in = write("bad.json", c.text);
    fs::path out = dir_ / "never.json";
    CliResult r = motefield("save " + in.string() + " -o " + out.string());
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(in.string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
  }
}

TEST_F(CommandLine, UnwritableOutputFailsWithoutLeavingAFile) {
  fs::path scene = write("scene.json", SceneWith(""));
  fs::path out = dir_ / "missing-folder" / "saved.json";
  CliResult r = motefield("save " + scene.string() + " -o " + out.string());
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find(out.string()), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(out));
}

TEST(Base64, RoundTripsAndRejectsWhatIsNotBase64) {
  // Known encodings from the standard's examples.
  auto bytes = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
  EXPECT_EQ(host::Base64Encode(bytes("")), "");
  EXPECT_EQ(host::Base64Encode(bytes("f")), "Zg==");
  EXPECT_EQ(host::Base64Encode(bytes("fo")), "Zm8=");
  EXPECT_EQ(host::Base64Encode(bytes("foobar")), "Zm9vYmFy");
  EXPECT_EQ(host::Base64Decode("Zm9vYg=="), bytes("foob"));
  EXPECT_EQ(host::Base64Decode("Zm9vYmE="), bytes("fooba"));
  EXPECT_FALSE(host::Base64Decode("Zm9vYg="));   // wrong length
  EXPECT_FALSE(host::Base64Decode("Zm9v!mFy"));  // not in the alphabet
  EXPECT_FALSE(host::Base64Decode("Zg==Zg=="));  // data after padding
}

}  // namespace
}  // namespace mf::test
