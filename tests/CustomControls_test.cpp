// The two controls the effect draws in the panel: the banner and the link button, their pixels
// on the host's panel surface, and the press of the button through click, drag and release.
#include <fstream>
#include <iterator>

#include "Bitmaps.h"
#include "PanelFixture.h"
#include "host/Drawbot.h"
#include "resources/resource.h"

namespace mf::test {
namespace {

using platform::DialogSession;

// A bitmap read straight from the resource file: 24-bit, rows stored bottom-up and padded to
// four bytes, blue-green-red. rgb(x, y) counts y from the top.
struct BmpFile {
  int width = 0, height = 0;
  std::vector<uint8_t> bytes;
  explicit BmpFile(const std::string& name) {
    std::ifstream in(std::string(MOTEFIELD_SOURCE_DIR) + "/resources/" + name, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    width = Read32(18);
    height = Read32(22);
  }
  int Read32(size_t at) const {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24;
  }
  std::array<uint8_t, 3> rgb(int x, int y) const {
    const size_t row = (size_t(width) * 3 + 3) / 4 * 4;
    const uint8_t* p = &bytes[Read32(10) + (height - 1 - y) * row + x * 3];
    return {p[2], p[1], p[0]};
  }
};

class CustomControls : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    panel_ = std::make_unique<host::EffectPanel>(host(), *instance_);
  }
  void TearDown() override {
    panel_.reset();
    PanelTest::TearDown();
  }
  std::array<uint8_t, 3> Shown(int x, int y) {
    const uint8_t* p = panel_->surface().at(x, y);
    return {p[0], p[1], p[2]};
  }
  // True when the control's area on the panel shows the bitmap pixel for pixel, and the pixel
  // just outside its top-left corner is still the panel's background.
  ::testing::AssertionResult ShowsBitmap(PF_ParamIndex index, const BmpFile& bmp) {
    const PF_Rect r = panel_->controlFrame(index);
    for (int y = 0; y < bmp.height; ++y)
      for (int x = 0; x < bmp.width; ++x)
        if (Shown(r.left + x, r.top + y) != bmp.rgb(x, y))
          return ::testing::AssertionFailure() << "differs at " << x << "," << y;
    const uint8_t* outside = panel_->surface().at(r.left - 1, r.top - 1);
    if (outside[0] != host::EffectPanel::kBackground[0])
      return ::testing::AssertionFailure() << "drawn outside its area";
    return ::testing::AssertionSuccess();
  }
  PF_Rect Button() { return panel_->controlFrame(LINK_REFERENCE_CAMERA); }

  std::unique_ptr<host::EffectPanel> panel_;
  const BmpFile banner_{"banner.bmp"}, up_{"link_up.bmp"}, down_{"link_down.bmp"};
};

TEST_F(CustomControls, BannerAndButtonAreDrawnFromTheirBitmaps) {
  ASSERT_EQ(banner_.width, 300);
  ASSERT_EQ(up_.width, 48);
  // The panel lays out exactly the two controls registered as custom, at their sizes.
  EXPECT_EQ(panel_->customControls(),
            (std::vector<PF_ParamIndex>{ABOUT_BANNER, LINK_REFERENCE_CAMERA}));
  const PF_Rect b = panel_->controlFrame(ABOUT_BANNER);
  EXPECT_EQ(b.right - b.left, 300);
  EXPECT_EQ(b.bottom - b.top, 80);

  PF_EventExtra seen{};
  host::EventOutcome drawn = panel_->draw(ABOUT_BANNER, PF_EA_CONTROL, PF_EI_NONE, &seen);
  EXPECT_EQ(drawn.err, PF_Err_NONE);
  EXPECT_EQ(drawn.out_flags, PF_EO_HANDLED_EVENT);
  EXPECT_TRUE(ShowsBitmap(ABOUT_BANNER, banner_));
  EXPECT_EQ(panel_->draw(LINK_REFERENCE_CAMERA).err, PF_Err_NONE);
  EXPECT_TRUE(ShowsBitmap(LINK_REFERENCE_CAMERA, up_));
  // Each draw makes and releases its image and its suites.
  EXPECT_EQ(host::LiveDrawbotImages(), 0);
  EXPECT_EQ(host().suites().outstanding(), 0);
  EXPECT_EQ(platform::LiveGdiObjects().bitmaps, 0u);
  EXPECT_EQ(platform::LiveGdiObjects().device_contexts, 0u);
}

TEST_F(CustomControls, TitleAreaDontDrawAndOtherControlsDrawNothing) {
  const std::vector<uint8_t> blank = panel_->surface().rgba;
  EXPECT_EQ(panel_->draw(ABOUT_BANNER, PF_EA_PARAM_TITLE).out_flags, PF_EO_HANDLED_EVENT);
  EXPECT_EQ(panel_->draw(ABOUT_BANNER, PF_EA_CONTROL, PF_EI_DONT_DRAW).out_flags,
            PF_EO_HANDLED_EVENT);
  EXPECT_EQ(panel_->draw(PIXEL_SIZE).out_flags, PF_EO_HANDLED_EVENT);
  EXPECT_EQ(panel_->surface().rgba, blank);
}

TEST_F(CustomControls, OnlyAPressStrictlyInsideTheButtonPressesIt) {
  const PF_Rect r = Button();
  // The four edges and a point beside the button, within its control strip.
  for (PF_Point p : {PF_Point{r.left, r.top + 5}, PF_Point{r.left + 5, r.top},
                     PF_Point{r.left + 48, r.top + 5}, PF_Point{r.left + 5, r.top + 24}}) {
    host::EventOutcome o = panel_->click(LINK_REFERENCE_CAMERA, p);
    EXPECT_EQ(o.err, PF_Err_NONE);
    EXPECT_EQ(o.out_flags, PF_EO_HANDLED_EVENT);
    EXPECT_FALSE(o.send_drag) << p.h << "," << p.v;
  }
  // A click on the banner is handled and changes nothing.
  const PF_Rect b = panel_->controlFrame(ABOUT_BANNER);
  host::EventOutcome o = panel_->click(ABOUT_BANNER, PF_Point{b.left + 10, b.top + 10});
  EXPECT_EQ(o.out_flags, PF_EO_HANDLED_EVENT);
  EXPECT_FALSE(o.send_drag);
  EXPECT_TRUE(panel_->invalidated().empty());

  // Just inside the corner: pressed, drags asked for, the control repainted pressed.
  o = panel_->click(LINK_REFERENCE_CAMERA, PF_Point{r.left + 1, r.top + 1});
  EXPECT_TRUE(o.send_drag);
  ASSERT_EQ(panel_->invalidated().size(), 1u);
  EXPECT_EQ(panel_->invalidated()[0].left, r.left);
  EXPECT_EQ(panel_->invalidated()[0].bottom, r.bottom);
  EXPECT_EQ(panel_->draw(LINK_REFERENCE_CAMERA).err, PF_Err_NONE);
  EXPECT_TRUE(ShowsBitmap(LINK_REFERENCE_CAMERA, down_));
  // Released (Esc in the picker): the next draw shows the button up again.
  EXPECT_EQ(panel_->drag(LINK_REFERENCE_CAMERA, PF_Point{r.left + 1, r.top + 1}, true).err,
            PF_Err_NONE);
  EXPECT_EQ(panel_->draw(LINK_REFERENCE_CAMERA).err, PF_Err_NONE);
  EXPECT_TRUE(ShowsBitmap(LINK_REFERENCE_CAMERA, up_));
}

TEST_F(CustomControls, DraggingOffTheButtonStillLinksOnceOnRelease) {
  const PF_Rect r = Button();
  person_.actOnDialog([](DialogSession& d) { d.click(IDOK); });
  // Drags: each keeps the button down and asks for an immediate repaint.
  EXPECT_EQ(panel_->click(LINK_REFERENCE_CAMERA, PF_Point{r.left + 10, r.top + 10}).err, 0);
  host::EventOutcome o =
      panel_->drag(LINK_REFERENCE_CAMERA, PF_Point{r.left + 200, r.top + 90}, false);
  EXPECT_EQ(o.out_flags, PF_EO_UPDATE_NOW);
  EXPECT_TRUE(o.send_drag);
  EXPECT_TRUE(person_.dialogs().empty());  // nothing happens before the release
  o = panel_->drag(LINK_REFERENCE_CAMERA, PF_Point{r.left + 400, r.top + 300}, true);
  EXPECT_EQ(o.err, PF_Err_NONE);
  EXPECT_FALSE(o.send_drag);
  EXPECT_EQ(person_.dialogs().size(), 1u);
  EXPECT_EQ(instance_->expressions.size(), 4u);

  // The whole gesture through the host: the picker opens once, the panel ends up showing the
  // button up.
  person_.forget();
  EXPECT_EQ(panel_->press(LINK_REFERENCE_CAMERA, PF_Point{r.left + 3, r.top + 3},
                          {PF_Point{-50, -50}, PF_Point{5000, 5000}}, PF_Point{-1, -1}),
            PF_Err_NONE);
  EXPECT_EQ(person_.dialogs().size(), 1u);
  EXPECT_TRUE(ShowsBitmap(LINK_REFERENCE_CAMERA, up_));
}

TEST_F(CustomControls, MissingSuitesAreReportedToTheHost) {
  // A drawing suite missing: 516, the display-error flag and the stated message; nothing drawn.
  const std::vector<uint8_t> blank = panel_->surface().rgba;
  host().faults().failAlways("suite:DRAWBOT Surface Suite");
  host::EventOutcome o = panel_->draw(ABOUT_BANNER);
  EXPECT_EQ(o.err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(o.out_flags, 0);
  EXPECT_TRUE(host().lastOut().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
  EXPECT_EQ(host().lastReturnMessage(), "Not able to acquire AEFX Suite.");
  EXPECT_EQ(panel_->surface().rgba, blank);
  EXPECT_EQ(host().suites().outstanding(), 0);
  host().faults().clearAll();

  // A drawing call failing: the error comes back, the image is still released.
  host().faults().failOnCall("drawbot.DrawImage", 1);
  o = panel_->draw(ABOUT_BANNER);
  EXPECT_EQ(o.err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(o.out_flags, 0);
  EXPECT_EQ(host::LiveDrawbotImages(), 0);

  // The application suite missing on a press: "Couldn't load suite.", and no repaint asked.
  host().faults().failAlways("suite:PF AE App Suite");
  const PF_Rect r = Button();
  o = panel_->click(LINK_REFERENCE_CAMERA, PF_Point{r.left + 5, r.top + 5});
  EXPECT_EQ(o.err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host().lastReturnMessage(), "Couldn't load suite.");
  EXPECT_TRUE(panel_->invalidated().empty());
  // The release still brings the button up (Esc in the picker).
  o = panel_->drag(LINK_REFERENCE_CAMERA, PF_Point{r.left + 5, r.top + 5}, true);
  host().faults().clearAll();
  EXPECT_EQ(panel_->draw(LINK_REFERENCE_CAMERA).err, PF_Err_NONE);
  EXPECT_TRUE(ShowsBitmap(LINK_REFERENCE_CAMERA, up_));
}

}  // namespace
}  // namespace mf::test
