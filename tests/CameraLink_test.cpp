// Linking the reference camera: the press on the link button, the picker with the
// composition's first nine cameras, the four expressions written on the sliders, and the host
// evaluating them so the sliders follow the camera at every frame.
#include <cmath>

#include "PanelFixture.h"
#include "host/Expressions.h"
#include "host/HostServices.h"
#include "host/Text.h"
#include "resources/resource.h"

namespace mf::test {
namespace {

using platform::DialogSession;

host::CompLayer Camera(const std::string& name, host::StreamTuple position, double zoom) {
  host::CompLayer l;
  l.name = name;
  l.kind = host::LayerKind::kCamera;
  l.streams[AEGP_LayerStream_POSITION] = host::Animated::Constant(position);
  l.streams[AEGP_LayerStream_ZOOM] = host::Animated::Constant({zoom, 0, 0, 0});
  return l;
}

class CameraLink : public PanelTest {
 protected:
  // The four expressions a link to NAME writes.
  static std::vector<std::string> ExpressionsFor(const std::string& name) {
    const std::string head = "thisComp.layer(\"" + name;
    return {head + "\").transform.position[0];\n", head + "\").transform.position[1];\n",
            head + "\").transform.position[2];\n", head + "\").zoom;\n"};
  }
  // The four sliders' expressions as the host keeps them (UTF-8), empty when absent; each must
  // be switched on.
  std::vector<std::string> Linked() {
    std::vector<std::string> out;
    for (PF_ParamIndex i : {REFERENCE_CAMERA_POSITION_X, REFERENCE_CAMERA_POSITION_Y,
                            REFERENCE_CAMERA_POSITION_Z, REFERENCE_CAMERA_ZOOM}) {
      auto it = instance_->expressions.find(i);
      if (it == instance_->expressions.end()) {
        out.push_back("");
        continue;
      }
      EXPECT_TRUE(it->second.enabled) << i;
      out.push_back(host::GbkToUtf8(it->second.text));
    }
    return out;
  }
  // Presses the link button in the middle and releases it there.
  PF_Err PressLink() {
    host::EffectPanel panel(host(), *instance_);
    const PF_Rect r = panel.controlFrame(LINK_REFERENCE_CAMERA);
    const PF_Point middle{r.left + 24, r.top + 12};
    return panel.press(LINK_REFERENCE_CAMERA, middle, {}, middle);
  }
  // Links the camera at this place in the picker; -1: the one the picker has selected already.
  PF_Err LinkTo(int item = -1) {
    person_.actOnDialog([item](DialogSession& d) {
      if (item >= 0) d.pick(IDC_CAMERA_LIST, item);
      d.click(IDOK);
    });
    return PressLink();
  }
  // The slider's value as the effect checks it out at a composition time (seconds).
  double SliderAt(PF_ParamIndex index, double seconds, PF_Err* err = nullptr) {
    PF_ParamDef def{};
    PF_InteractCallbacks& inter = host().inData().inter;
    PF_Err e = inter.checkout_param(reinterpret_cast<PF_ProgPtr>(instance_), index,
                                    static_cast<A_long>(std::lround(seconds * 24)), 1, 24, &def);
    inter.checkin_param(reinterpret_cast<PF_ProgPtr>(instance_), &def);
    if (err) *err = e;
    return def.u.fs_d.value;
  }
};

TEST_F(CameraLink, PickerOffersTheFirstNineCamerasWithTheLastSelected) {
  layers_.clear();
  for (int i = 1; i <= 12; ++i) {
    layers_.push_back(Camera("Cam " + std::to_string(i), {0, 0, 0, 0}, 1000));
    if (i == 4) {  // other layers in between do not count
      host::CompLayer solid;
      solid.name = "Cloud";
      solid.kind = host::LayerKind::kSolid;
      layers_.push_back(solid);
    }
  }
  Restart();
  person_.actOnDialog([](DialogSession& d) {
    EXPECT_EQ(d.resource(), std::optional<int>(IDD_CAMERA_PICKER));
    EXPECT_EQ(d.caption(), "链接参考摄像机");
    const std::vector<std::string> expected = {"Cam 1", "Cam 2", "Cam 3", "Cam 4", "Cam 5",
                                               "Cam 6", "Cam 7", "Cam 8", "Cam 9"};
    EXPECT_EQ(d.comboItems(IDC_CAMERA_LIST), expected);  // in layer order, not sorted
    EXPECT_EQ(d.comboSelection(IDC_CAMERA_LIST), 8);
    d.click(IDOK);  // the list untouched
  });
  EXPECT_EQ(PressLink(), PF_Err_NONE);
  ASSERT_EQ(person_.dialogs().size(), 1u);
  EXPECT_EQ(Linked(), ExpressionsFor("Cam 9"));
  // Every reference the effect took from the host was given back.
  const host::CompositionRefCounts refs = host::OutstandingCompositionRefs();
  EXPECT_EQ(refs.effects, 0);
  EXPECT_EQ(refs.streams, 0);
  EXPECT_EQ(host().suites().outstanding(), 0);
}

TEST_F(CameraLink, SlidersFollowTheLinkedCameraAtEveryFrame) {
  // A camera moving from (100, 200, -900) at 0 s to (300, 0, -500) at 2 s, zoom 800 to 1200.
  host::CompLayer moving = Camera("Dolly", {0, 0, 0, 0}, 0);
  moving.streams[AEGP_LayerStream_POSITION] =
      host::Animated{{{0.0, {100, 200, -900, 0}}, {2.0, {300, 0, -500, 0}}}};
  moving.streams[AEGP_LayerStream_ZOOM] =
      host::Animated{{{0.0, {800, 0, 0, 0}}, {2.0, {1200, 0, 0, 0}}}};
  layers_.push_back(moving);
  Restart();
  person_.actOnDialog([](DialogSession& d) {
    EXPECT_TRUE(d.pick(IDC_CAMERA_LIST, "Dolly"));
    d.click(IDOK);
  });
  ASSERT_EQ(PressLink(), PF_Err_NONE);
  EXPECT_EQ(Linked(), ExpressionsFor("Dolly"));

  // Linear between the keys: at 0.5 s a quarter of the way, at 1 s half, after 2 s the last key.
  EXPECT_DOUBLE_EQ(SliderAt(REFERENCE_CAMERA_POSITION_X, 0.5), 150);
  EXPECT_DOUBLE_EQ(SliderAt(REFERENCE_CAMERA_POSITION_Y, 0.5), 150);
  EXPECT_DOUBLE_EQ(SliderAt(REFERENCE_CAMERA_POSITION_Z, 1.0), -700);
  EXPECT_DOUBLE_EQ(SliderAt(REFERENCE_CAMERA_ZOOM, 1.0), 1000);
  EXPECT_DOUBLE_EQ(SliderAt(REFERENCE_CAMERA_ZOOM, 3.0), 1200);
  // Sliders not linked keep their own values.
  EXPECT_DOUBLE_EQ(SliderAt(CAMERA_ZOOM, 1.0), instance_->params[CAMERA_ZOOM].u.fs_d.value);
}

TEST_F(CameraLink, ALinkedCameraRenamedAwayIsReportedInPlainWords) {
  ASSERT_EQ(LinkTo(), PF_Err_NONE);
  host().composition()->layerByName("Camera 1")->name = "Crane";
  PF_Err err = PF_Err_NONE;
  SliderAt(REFERENCE_CAMERA_ZOOM, 1.0, &err);
  EXPECT_NE(err, PF_Err_NONE);
  EXPECT_NE(host().frames().failure().find("no layer named \"Camera 1\""), std::string::npos)
      << host().frames().failure();
  EXPECT_NE(host().frames().failure().find("thisComp.layer(\"Camera 1\").zoom"), std::string::npos);
}

// Cameras whose names an expression must carry as they are: a quote and non-ASCII text.
class OddlyNamedCameras : public CameraLink {
 protected:
  void SetUp() override {
    CameraLink::SetUp();
    layers_.push_back(Camera("Shot \"A\"", {10, 20, 30, 0}, 500));
    layers_.push_back(Camera("镜头 2", {-1, -2, -3, 0}, 700));
    Restart();
  }
};

// The quote is not escaped; the host still finds the layer it names.
TEST_F(OddlyNamedCameras, ANameIsInsertedUnchanged) {
  ASSERT_EQ(LinkTo(1), PF_Err_NONE);
  EXPECT_EQ(Linked(), ExpressionsFor("Shot \"A\""));
  EXPECT_DOUBLE_EQ(SliderAt(REFERENCE_CAMERA_POSITION_Y, 0), 20);
}

TEST_F(OddlyNamedCameras, LinkingAgainLeavesOnlyTheNewCamerasExpressions) {
  ASSERT_EQ(LinkTo(1), PF_Err_NONE);
  ASSERT_EQ(LinkTo(2), PF_Err_NONE);
  EXPECT_EQ(Linked(), ExpressionsFor("镜头 2"));
  EXPECT_DOUBLE_EQ(SliderAt(REFERENCE_CAMERA_POSITION_Z, 0), -3);
}

TEST_F(CameraLink, NothingIsLinkedWithoutAChoice) {
  // Text typed into the list's field is no choice; Cancel and Esc are none either.
  person_.actOnDialog([](DialogSession& d) {
    d.type(IDC_CAMERA_LIST, "Camera 1");
    d.click(IDOK);
  });
  person_.actOnDialog([](DialogSession& d) { d.click(IDCANCEL); });
  EXPECT_EQ(PressLink(), PF_Err_NONE);
  EXPECT_EQ(PressLink(), PF_Err_NONE);
  EXPECT_EQ(PressLink(), PF_Err_NONE);  // Esc by default
  EXPECT_EQ(person_.dialogs().size(), 3u);
  EXPECT_TRUE(instance_->expressions.empty());
}

TEST_F(CameraLink, WithoutACameraAMessageAndNoPicker) {
  host().composition()->layerByName("Camera 1")->kind = host::LayerKind::kSolid;
  EXPECT_EQ(PressLink(), PF_Err_NONE);
  EXPECT_TRUE(person_.dialogs().empty());
  ASSERT_EQ(host().messages().size(), 1u);
  EXPECT_EQ(host().messages()[0].text, "No cameras are available in timeline.");
  EXPECT_EQ(host().messages()[0].caption, "Motefield");
  EXPECT_EQ(host().messages()[0].style, 0x40u);
  EXPECT_TRUE(host().messages()[0].owned);
}

TEST_F(CameraLink, AStreamThatCannotBeHadFailsTheLinkAndReleasesEverything) {
  host().faults().failOnCall("aegp.GetNewEffectStreamByIndex", 3);
  EXPECT_EQ(LinkTo(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(instance_->expressions.empty());
  EXPECT_EQ(host::OutstandingCompositionRefs().streams, 0);
  EXPECT_EQ(host::OutstandingCompositionRefs().effects, 0);
}

TEST_F(CameraLink, AFailedExpressionLinksOnlyTheSlidersBeforeIt) {
  host().faults().failOnCall("aegp.SetExpression", 2);
  EXPECT_EQ(LinkTo(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(Linked(), (std::vector<std::string>{ExpressionsFor("Camera 1")[0], "", "", ""}));
}

TEST_F(CameraLink, EachMissingSuiteFailsTheLinkAndLeavesNoReferenceBehind) {
  // The stream and effect suites are asked for after the camera is chosen, the others before.
  for (const std::string suite : {kAEGPUtilitySuite, kAEGPPFInterfaceSuite, kAEGPLayerSuite,
                                  kAEGPStreamSuite, kAEGPEffectSuite}) {
    const bool after_choice = suite == kAEGPStreamSuite || suite == kAEGPEffectSuite;
    if (after_choice) person_.actOnDialog([](DialogSession& d) { d.click(IDOK); });
    host().faults().failAlways("suite:" + suite);
    EXPECT_EQ(PressLink(), PF_Err_INTERNAL_STRUCT_DAMAGED) << suite;
    host().faults().clearAll();
    EXPECT_TRUE(instance_->expressions.empty()) << suite;
    EXPECT_EQ(host().suites().outstanding(), 0) << suite;
    EXPECT_EQ(host::OutstandingCompositionRefs().streams, 0) << suite;
    EXPECT_EQ(host::OutstandingCompositionRefs().effects, 0) << suite;
  }
}

}  // namespace
}  // namespace mf::test
