// Changing a supervised control in the panel: the three explanatory alerts, shown at most once
// per load of the library, and the "do not remind me" choice kept in the host's preferences
// across restarts of the host.
#include "PanelFixture.h"
#include "resources/resource.h"

namespace mf::test {
namespace {

using platform::DialogSession;

constexpr const char* kPassKey = "motefieldnopassalerts";
constexpr const char* kPreviewKey = "motefieldnopreviewalerts";
constexpr const char* kPerspectiveKey = "motefieldnopixperspalerts";

class ChangeHandling : public PanelTest {
 protected:
  std::vector<int> ShownResources() const {
    std::vector<int> out;
    for (const auto& d : person_.dialogs()) out.push_back(d.resource.value_or(-1));
    return out;
  }
  void CloseWithBox(bool ticked) {
    person_.actOnDialog([ticked](DialogSession& d) {
      ASSERT_TRUE(d.setChecked(IDC_ALERT_DONT_REMIND, ticked));
      d.click(IDOK);
    });
  }
};

TEST_F(ChangeHandling, PositionPassAlertAppearsOnceAndOnlyForALayerWithPixels) {
  // No layer, then a layer without pixels: nothing, and the alert stays armed.
  EXPECT_EQ(SetLayer(POSITION_PASS, ""), PF_Err_NONE);
  EXPECT_EQ(SetLayer(POSITION_PASS, "empty"), PF_Err_NONE);
  EXPECT_TRUE(person_.dialogs().empty());

  person_.actOnDialog([](DialogSession& d) {
    EXPECT_EQ(d.caption(), "警告!");
    EXPECT_EQ(d.control(IDC_ALERT_DONT_REMIND)->text, " 别在提示我此消息");
    EXPECT_FALSE(d.isChecked(IDC_ALERT_DONT_REMIND));
    EXPECT_EQ(d.control(IDOK)->text, "关闭窗口");
    d.click(IDOK);  // box left unticked
  });
  EXPECT_EQ(SetLayer(POSITION_PASS, "P"), PF_Err_NONE);
  EXPECT_EQ(ShownResources(), std::vector<int>{IDD_PASS_ALERT});
  ASSERT_EQ(person_.dialogs()[0].result, std::optional<INT_PTR>(IDOK));
  // Unticked and no key yet: the preferences are not written at all.
  EXPECT_EQ(host().faults().calls("aegp.SetString"), 0);
  EXPECT_EQ(host().faults().calls("aegp.DeleteEntry"), 0);
  EXPECT_FALSE(Pref(kPassKey));

  // Another layer in the same load: no second alert.
  EXPECT_EQ(SetLayer(POSITION_PASS, "beauty"), PF_Err_NONE);
  EXPECT_EQ(person_.dialogs().size(), 1u);
  EXPECT_EQ(host().suites().outstanding(), 0);
  // "", "empty" and "P" were looked at; with the alert seen, "beauty" is not even checked out.
  EXPECT_EQ(host().faults().calls("inter.checkout_param"), 3);
}

TEST_F(ChangeHandling, RenderModeAlertOnlyForTheTwoDimensionalModes) {
  for (int mode : {1, 3, 4, 5, 6, 9, 10}) EXPECT_EQ(SetPopup(RENDER_MODE, mode), PF_Err_NONE);
  EXPECT_TRUE(person_.dialogs().empty());
  // Esc closes it: it is seen for this load but nothing is stored.
  EXPECT_EQ(SetPopup(RENDER_MODE, 2), PF_Err_NONE);
  EXPECT_EQ(SetPopup(RENDER_MODE, 7), PF_Err_NONE);
  EXPECT_EQ(ShownResources(), std::vector<int>{IDD_RENDER_MODE_ALERT});
  EXPECT_EQ(person_.dialogs()[0].result, std::optional<INT_PTR>(IDCANCEL));
  EXPECT_FALSE(Pref(kPreviewKey));

  // After a restart the alert is back, for 7 and (once more after another restart) for 8.
  Restart();
  EXPECT_EQ(SetPopup(RENDER_MODE, 7), PF_Err_NONE);
  EXPECT_EQ(ShownResources(), std::vector<int>{IDD_RENDER_MODE_ALERT});
  Restart();
  person_.actOnDialog([](DialogSession& d) { d.close(); });  // the close box acts as Esc
  EXPECT_EQ(SetPopup(RENDER_MODE, 8), PF_Err_NONE);
  EXPECT_EQ(ShownResources(), std::vector<int>{IDD_RENDER_MODE_ALERT});
  EXPECT_FALSE(Pref(kPreviewKey));
}

TEST_F(ChangeHandling, TickedBoxKeepsPixelPerspectiveAlertAwayAcrossRestarts) {
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, false), PF_Err_NONE);
  EXPECT_TRUE(person_.dialogs().empty());  // switching off never explains anything
  CloseWithBox(true);
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, true), PF_Err_NONE);
  EXPECT_EQ(ShownResources(), std::vector<int>{IDD_PIXEL_PERSPECTIVE_ALERT});
  EXPECT_EQ(Pref(kPerspectiveKey), std::optional<std::string>("TRUE"));
  EXPECT_FALSE(Pref(kPassKey));  // only its own key

  Restart();  // a new host reads the preference file again
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, false), PF_Err_NONE);
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, true), PF_Err_NONE);
  EXPECT_TRUE(person_.dialogs().empty());
  // The other two alerts are not affected.
  EXPECT_EQ(SetPopup(RENDER_MODE, 2), PF_Err_NONE);
  EXPECT_EQ(ShownResources(), std::vector<int>{IDD_RENDER_MODE_ALERT});
}

TEST_F(ChangeHandling, UntickedBoxForgetsAKeyThatDoesNotSuppress) {
  // "true" is not "TRUE": the alert shows, and closing it unticked removes the stray value.
  host().preferences().set("Main Pref Section", kPassKey, "true");
  Restart();
  CloseWithBox(false);
  EXPECT_EQ(SetLayer(POSITION_PASS, "P"), PF_Err_NONE);
  EXPECT_EQ(ShownResources(), std::vector<int>{IDD_PASS_ALERT});
  EXPECT_FALSE(Pref(kPassKey));
  EXPECT_EQ(host().faults().calls("aegp.DeleteEntry"), 1);
}

TEST_F(ChangeHandling, HostFailuresShowNothingOrStoreNothing) {
  // No main window: no dialog, the host's error comes back.
  host().faults().failOnCall("aegp.GetMainHWND", 1);
  EXPECT_EQ(SetPopup(RENDER_MODE, 2), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(person_.dialogs().empty());

  // The layer cannot be checked out: no dialog, the error comes back.
  host().faults().failOnCall("inter.checkout_param", 1);
  EXPECT_EQ(SetLayer(POSITION_PASS, "P"), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(person_.dialogs().empty());

  // An abort reported while checking: no dialog.
  host().faults().failOnCall("abort", 1);
  EXPECT_EQ(SetLayer(POSITION_PASS, "P"), PF_Interrupt_CANCEL);
  EXPECT_TRUE(person_.dialogs().empty());

  // The preference store refuses the write: nothing stored, nothing reported, and the alert
  // still stays away for the rest of this load.
  host().faults().failAlways("aegp.SetString");
  CloseWithBox(true);
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, true), PF_Err_NONE);
  EXPECT_EQ(ShownResources(), std::vector<int>{IDD_PIXEL_PERSPECTIVE_ALERT});
  EXPECT_FALSE(Pref(kPerspectiveKey));
  EXPECT_TRUE(host().messages().empty());
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, false), PF_Err_NONE);
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, true), PF_Err_NONE);
  EXPECT_EQ(person_.dialogs().size(), 1u);

  // The persistent data suite missing altogether: the alert still closes and stays away.
  host().faults().failAlways("suite:AEGP Persistent Data Suite");
  CloseWithBox(true);
  EXPECT_EQ(SetPopup(RENDER_MODE, 8), PF_Err_NONE);
  EXPECT_EQ(person_.dialogs().size(), 2u);
  EXPECT_EQ(SetPopup(RENDER_MODE, 2), PF_Err_NONE);
  EXPECT_EQ(person_.dialogs().size(), 2u);
  EXPECT_EQ(host().suites().outstanding(), 0);
}

}  // namespace
}  // namespace mf::test
