// The effect's dialogs as Windows runs them: the three alerts, the options dialog and the camera
// picker opened by the plug-in with DialogBoxParamA over the host's window, answered by a person
// at the screen, with the outcomes the effect promises (what is stored, what is shown again).
#include <cstring>

#include "PanelFixture.h"
#include "host/Text.h"
#include "params/SequenceData.h"
#include "resources/resource.h"

namespace mf::wintest {
namespace {

constexpr const char* kPassKey = "motefieldnopassalerts";
constexpr const char* kPreviewKey = "motefieldnopreviewalerts";
constexpr const char* kPerspectiveKey = "motefieldnopixperspalerts";

// Which of the effect's dialogs a window is, from what it shows; 0 for anything else (a message
// box).
int Resource(const SeenDialog& d) {
  if (d.control(IDC_ALPHA_PREFIX) && d.control(IDC_RESET_ALERTS)) return IDD_OPTIONS;
  if (d.control(IDC_CAMERA_LIST)) return IDD_CAMERA_PICKER;
  const auto texts = d.staticTexts();
  if (texts.empty()) return 0;
  if (texts[0] == "When using a 32-bit position pass from a") return IDD_PASS_ALERT;
  if (texts[0] == "When using one of the 2D Render Modes") return IDD_RENDER_MODE_ALERT;
  if (texts[0] == "Pixel Perspective changes pixel size according")
    return IDD_PIXEL_PERSPECTIVE_ALERT;
  return 0;
}

std::vector<int> Resources(const std::vector<SeenDialog>& seen) {
  std::vector<int> out;
  for (const auto& d : seen) out.push_back(Resource(d));
  return out;
}

using Alerts = PanelTest;

TEST_F(Alerts, PositionPassAlertShowsOnceForALayerWithPixels) {
  EXPECT_EQ(SetLayer(POSITION_PASS, ""), PF_Err_NONE);
  EXPECT_EQ(SetLayer(POSITION_PASS, "empty"), PF_Err_NONE);
  EXPECT_TRUE(person_.seen().empty());

  person_.act([](OpenDialog& d) {
    d.picture("alert-102");
    EXPECT_FALSE(d.isChecked(IDC_ALERT_DONT_REMIND));
    d.click(IDOK);  // box left unticked
  });
  EXPECT_EQ(SetLayer(POSITION_PASS, "P"), PF_Err_NONE);
  auto seen = person_.seen();
  ASSERT_EQ(Resources(seen), std::vector<int>{IDD_PASS_ALERT});
  const SeenDialog& alert = seen[0];
  EXPECT_EQ(alert.caption, "警告!");
  EXPECT_TRUE(alert.owned);  // over the host's main window
  EXPECT_EQ(
      alert.staticTexts(),
      (std::vector<std::string>{
          "When using a 32-bit position pass from a", "3D software package make sure to select",
          "Preserve RGB from interpret footage options.", "For traditional depth passes modify the",
          "Map Adjustment parameter."}));
  ASSERT_NE(alert.control(IDC_ALERT_DONT_REMIND), nullptr);
  EXPECT_EQ(alert.control(IDC_ALERT_DONT_REMIND)->text, " 别在提示我此消息");
  ASSERT_NE(alert.control(IDOK), nullptr);
  EXPECT_EQ(alert.control(IDOK)->text, "关闭窗口");
  // The picture control holds the 64 x 64 alert bitmap.
  ASSERT_NE(alert.control(IDC_ALERT_PICTURE), nullptr);
  EXPECT_EQ(alert.control(IDC_ALERT_PICTURE)->style & SS_TYPEMASK, SS_BITMAP);
  EXPECT_FALSE(Pref(kPassKey));  // unticked with no key: nothing written

  EXPECT_EQ(SetLayer(POSITION_PASS, "beauty"), PF_Err_NONE);
  EXPECT_EQ(person_.seen().size(), 1u);
}

TEST_F(Alerts, RenderModeAlertForTheTwoDimensionalModesEscStoresNothing) {
  for (int mode : {1, 3, 4, 5, 6, 9, 10}) EXPECT_EQ(SetPopup(RENDER_MODE, mode), PF_Err_NONE);
  EXPECT_TRUE(person_.seen().empty());
  person_.act([](OpenDialog& d) {
    d.picture("alert-105");
    d.pressEscape();
  });
  EXPECT_EQ(SetPopup(RENDER_MODE, 2), PF_Err_NONE);
  EXPECT_EQ(SetPopup(RENDER_MODE, 7), PF_Err_NONE);
  auto seen = person_.seen();
  ASSERT_EQ(Resources(seen), std::vector<int>{IDD_RENDER_MODE_ALERT});
  EXPECT_EQ(seen[0].control(IDC_ALERT_DONT_REMIND)->text, "别在提示我此消息");
  EXPECT_EQ(seen[0].staticTexts().size(), 4u);
  EXPECT_FALSE(Pref(kPreviewKey));

  // Loaded again, the alert is back; the close box acts as Esc.
  Restart();
  person_.forget();
  person_.act([](OpenDialog& d) { d.closeBox(); });
  EXPECT_EQ(SetPopup(RENDER_MODE, 8), PF_Err_NONE);
  EXPECT_EQ(Resources(person_.seen()), std::vector<int>{IDD_RENDER_MODE_ALERT});
  EXPECT_FALSE(Pref(kPreviewKey));
}

TEST_F(Alerts, TickedBoxKeepsThePixelPerspectiveAlertAwayAfterARestart) {
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, false), PF_Err_NONE);
  EXPECT_TRUE(person_.seen().empty());
  person_.act([](OpenDialog& d) {
    d.picture("alert-104");
    d.click(IDC_ALERT_DONT_REMIND);
    EXPECT_TRUE(d.isChecked(IDC_ALERT_DONT_REMIND));
    d.click(IDOK);
  });
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, true), PF_Err_NONE);
  EXPECT_EQ(Resources(person_.seen()), std::vector<int>{IDD_PIXEL_PERSPECTIVE_ALERT});
  EXPECT_EQ(Pref(kPerspectiveKey), std::optional<std::string>("TRUE"));
  EXPECT_FALSE(Pref(kPassKey));

  Restart();
  person_.forget();
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, false), PF_Err_NONE);
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, true), PF_Err_NONE);
  EXPECT_TRUE(person_.seen().empty());
}

struct Prefixes {
  std::string alpha, diffuse, specular;
  bool operator==(const Prefixes&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Prefixes& p) {
  return os << "{" << p.alpha << ", " << p.diffuse << ", " << p.specular << "}";
}

class Options : public PanelTest {
 protected:
  // The prefixes as the host saves them, read back as UTF-8.
  Prefixes Stored() {
    std::vector<uint8_t> flat;
    EXPECT_EQ(instance_->flatten(&flat), PF_Err_NONE);
    if (flat.size() != 104) return {};
    auto field = [&](size_t at) {
      const char* f = reinterpret_cast<const char*>(flat.data() + at);
      return host::GbkToUtf8(std::string(f, strnlen(f, 32)));
    };
    return {field(8), field(40), field(72)};
  }
  PF_Err Edit(const char* alpha, const char* diffuse, const char* specular, int switch_id = 0) {
    person_.act([=](OpenDialog& d) {
      if (alpha) d.type(IDC_ALPHA_PREFIX, alpha);
      if (diffuse) d.type(IDC_DIFFUSE_PREFIX, diffuse);
      if (specular) d.type(IDC_SPECULAR_PREFIX, specular);
      if (switch_id) d.click(switch_id);
      d.click(IDOK);
    });
    return instance_->send(PF_Cmd_DO_DIALOG);
  }
  const Prefixes kDefaults{"Alpha", "Diffuse", "Specular"};
};

TEST_F(Options, FieldsShowTheRecordAndConfirmedPrefixesAreStored) {
  person_.act([](OpenDialog& d) {
    d.picture("options");
    EXPECT_EQ(d.text(IDC_ALPHA_PREFIX), "Alpha");
    EXPECT_EQ(d.text(IDC_SPECULAR_PREFIX), "Specular");
    EXPECT_EQ(d.text(IDC_DIFFUSE_PREFIX), "Diffuse");
    d.type(IDC_DIFFUSE_PREFIX, "Key");
    d.type(IDC_SPECULAR_PREFIX, "Spec");
    d.type(IDC_ALPHA_PREFIX, "Matte");
    d.click(IDOK);
  });
  EXPECT_EQ(instance_->send(PF_Cmd_DO_DIALOG), PF_Err_NONE);
  auto seen = person_.seen();
  ASSERT_EQ(Resources(seen), std::vector<int>{IDD_OPTIONS});
  EXPECT_EQ(seen[0].caption, "");
  EXPECT_FALSE(seen[0].control(IDC_RESET_ALERTS)->checked);
  EXPECT_FALSE(seen[0].control(IDC_DISABLE_ALERTS)->checked);
  EXPECT_EQ(seen[0].control(IDC_RESET_ALERTS)->text, "重置所有警报");
  EXPECT_EQ(seen[0].control(IDC_DISABLE_ALERTS)->text, "禁用所有警报");
  EXPECT_EQ(seen[0].control(IDOK)->text, "确定");
  EXPECT_EQ(seen[0].control(IDCANCEL)->text, "取消");
  EXPECT_EQ(Stored(), (Prefixes{"Matte", "Key", "Spec"}));

  // Case matters; a Chinese prefix goes through the system's code page and reads back the same;
  // 40 characters keep their first 30.
  EXPECT_EQ(Edit("key", "Key", "主光"), PF_Err_NONE);
  EXPECT_EQ(Stored(), (Prefixes{"key", "Key", "主光"}));
  EXPECT_EQ(Edit(nullptr, "0123456789abcdefghijABCDEFGHIJ0123456789", nullptr), PF_Err_NONE);
  EXPECT_EQ(Stored().diffuse, "0123456789abcdefghijABCDEFGHIJ");
  EXPECT_EQ(person_.seen().size(), 3u);  // no message box in between
}

TEST_F(Options, DuplicatesAreRefusedWithAMessageAndCancelChangesNothing) {
  person_.act([](OpenDialog& d) {
    d.type(IDC_ALPHA_PREFIX, "Rim");
    d.type(IDC_SPECULAR_PREFIX, "Rim");
    d.click(IDOK);
  });
  person_.act([](OpenDialog& d) {
    d.picture("message-invalid-prefix");
    d.click(IDOK);
  });
  EXPECT_EQ(instance_->send(PF_Cmd_DO_DIALOG), PF_Err_NONE);
  auto seen = person_.seen();
  ASSERT_EQ(Resources(seen), (std::vector<int>{IDD_OPTIONS, 0}));
  EXPECT_EQ(seen[1].caption, "错误");
  EXPECT_TRUE(seen[1].owned);
  EXPECT_EQ(seen[1].staticTexts().back(), "Invalid Prefix!\nPlease enter a valid prefix string.");
  EXPECT_EQ(Stored(), kDefaults);

  // Cancel after ticking reset and typing: no record change, the stored key stays.
  host().preferences().set("Main Pref Section", kPassKey, "TRUE");
  person_.act([](OpenDialog& d) {
    d.type(IDC_ALPHA_PREFIX, "Changed");
    d.click(IDC_RESET_ALERTS);
    d.click(IDCANCEL);
  });
  EXPECT_EQ(instance_->send(PF_Cmd_DO_DIALOG), PF_Err_NONE);
  EXPECT_EQ(Stored(), kDefaults);
  EXPECT_EQ(Pref(kPassKey), std::optional<std::string>("TRUE"));
}

TEST_F(Options, AlertSwitchesAreExclusiveAndActOnAllThreeAlerts) {
  person_.act([](OpenDialog& d) {
    d.click(IDC_RESET_ALERTS);
    d.click(IDC_DISABLE_ALERTS);
    EXPECT_FALSE(d.isChecked(IDC_RESET_ALERTS));
    EXPECT_TRUE(d.isChecked(IDC_DISABLE_ALERTS));
    d.click(IDC_RESET_ALERTS);
    EXPECT_FALSE(d.isChecked(IDC_DISABLE_ALERTS));
    d.click(IDC_RESET_ALERTS);
    EXPECT_FALSE(d.isChecked(IDC_RESET_ALERTS));
    d.click(IDOK);
  });
  EXPECT_EQ(instance_->send(PF_Cmd_DO_DIALOG), PF_Err_NONE);
  EXPECT_FALSE(Pref(kPassKey));

  EXPECT_EQ(Edit(nullptr, nullptr, nullptr, IDC_DISABLE_ALERTS), PF_Err_NONE);
  for (const char* key : {kPassKey, kPreviewKey, kPerspectiveKey})
    EXPECT_EQ(Pref(key), std::optional<std::string>("TRUE")) << key;
  EXPECT_EQ(SetPopup(RENDER_MODE, 2), PF_Err_NONE);
  EXPECT_EQ(person_.seen().size(), 2u);  // the two options dialogs only

  // Reset all acts even when the prefixes are then refused; every alert is back at once.
  person_.act([](OpenDialog& d) {
    d.type(IDC_ALPHA_PREFIX, "X");
    d.type(IDC_DIFFUSE_PREFIX, "X");
    d.click(IDC_RESET_ALERTS);
    d.click(IDOK);
  });
  person_.act([](OpenDialog& d) { d.click(IDOK); });  // the duplicate-prefix message
  person_.act([](OpenDialog& d) { d.click(IDOK); });  // pixel perspective alert
  EXPECT_EQ(instance_->send(PF_Cmd_DO_DIALOG), PF_Err_NONE);
  for (const char* key : {kPassKey, kPreviewKey, kPerspectiveKey}) EXPECT_FALSE(Pref(key)) << key;
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, true), PF_Err_NONE);
  EXPECT_EQ(Resources(person_.seen()), (std::vector<int>{IDD_OPTIONS, IDD_OPTIONS, IDD_OPTIONS, 0,
                                                         IDD_PIXEL_PERSPECTIVE_ALERT}));
}

class CameraPicker : public PanelTest {
 protected:
  static host::CompLayer Camera(const std::string& name) {
    host::CompLayer l = Layer(name, host::LayerKind::kCamera);
    l.streams[AEGP_LayerStream_POSITION] = host::Animated::Constant({0, 0, 0, 0});
    l.streams[AEGP_LayerStream_ZOOM] = host::Animated::Constant({1000, 0, 0, 0});
    return l;
  }
  std::vector<std::string> Linked() {
    std::vector<std::string> out;
    for (PF_ParamIndex i : {REFERENCE_CAMERA_POSITION_X, REFERENCE_CAMERA_POSITION_Y,
                            REFERENCE_CAMERA_POSITION_Z, REFERENCE_CAMERA_ZOOM}) {
      auto it = instance_->expressions.find(i);
      out.push_back(it == instance_->expressions.end() ? "" : host::GbkToUtf8(it->second.text));
    }
    return out;
  }
  PF_Err PressLink() {
    host::EffectPanel panel(host(), *instance_);
    const PF_Rect r = panel.controlFrame(LINK_REFERENCE_CAMERA);
    const PF_Point middle{r.left + 24, r.top + 12};
    return panel.press(LINK_REFERENCE_CAMERA, middle, {}, middle);
  }
};

TEST_F(CameraPicker, OffersTheFirstNineCamerasWithTheLastSelected) {
  layers_.clear();
  for (int i = 1; i <= 12; ++i) {
    layers_.push_back(Camera("Cam " + std::to_string(i)));
    if (i == 4) layers_.push_back(Layer("Cloud", host::LayerKind::kSolid));
  }
  Restart();
  person_.act([](OpenDialog& d) {
    d.picture("camera-picker");
    EXPECT_EQ(d.comboItems(IDC_CAMERA_LIST),
              (std::vector<std::string>{"Cam 1", "Cam 2", "Cam 3", "Cam 4", "Cam 5", "Cam 6",
                                        "Cam 7", "Cam 8", "Cam 9"}));
    EXPECT_EQ(d.comboSelection(IDC_CAMERA_LIST), 8);
    d.click(IDOK);
  });
  EXPECT_EQ(PressLink(), PF_Err_NONE);
  auto seen = person_.seen();
  ASSERT_EQ(Resources(seen), std::vector<int>{IDD_CAMERA_PICKER});
  EXPECT_EQ(seen[0].caption, "链接参考摄像机");
  EXPECT_TRUE(seen[0].owned);
  const std::string head = "thisComp.layer(\"Cam 9";
  EXPECT_EQ(Linked(),
            (std::vector<std::string>{
                head + "\").transform.position[0];\n", head + "\").transform.position[1];\n",
                head + "\").transform.position[2];\n", head + "\").zoom;\n"}));
}

TEST_F(CameraPicker, TypedTextCancelAndNoCameraLinkNothing) {
  person_.act([](OpenDialog& d) {
    d.typeInCombo(IDC_CAMERA_LIST, "Somebody");
    EXPECT_EQ(d.comboSelection(IDC_CAMERA_LIST), -1);
    d.click(IDOK);
  });
  person_.act([](OpenDialog& d) { d.click(IDCANCEL); });
  person_.act([](OpenDialog& d) { d.pressEscape(); });
  EXPECT_EQ(PressLink(), PF_Err_NONE);
  EXPECT_EQ(PressLink(), PF_Err_NONE);
  EXPECT_EQ(PressLink(), PF_Err_NONE);
  EXPECT_EQ(person_.seen().size(), 3u);
  EXPECT_TRUE(instance_->expressions.empty());

  host().composition()->layerByName("Camera 1")->kind = host::LayerKind::kSolid;
  person_.forget();
  person_.act([](OpenDialog& d) {
    d.picture("message-no-cameras");
    d.click(IDOK);
  });
  EXPECT_EQ(PressLink(), PF_Err_NONE);
  auto seen = person_.seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(Resource(seen[0]), 0);
  EXPECT_EQ(seen[0].caption, "Motefield");
  EXPECT_TRUE(seen[0].owned);
  EXPECT_EQ(seen[0].staticTexts().back(), "No cameras are available in timeline.");
  EXPECT_TRUE(instance_->expressions.empty());
}

}  // namespace
}  // namespace mf::wintest
