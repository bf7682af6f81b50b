// Loading the plug-in and the commands that concern it as a whole, driven through the host.
#include <cstring>

#include "AE_GeneralPlug.h"
#include "HostFixture.h"

namespace mf::test {
namespace {

using host::MessageRecord;

class GlobalLifecycle : public HostTest {};

TEST_F(GlobalLifecycle, HostVersionIsComparedAsAPair) {
  struct Case {
    A_short major, minor;
    bool accepted;
  };
  // 14.0 is newer than 13.1 and must pass even though its minor part is below 1.
  const Case cases[] = {{13, 1, true},  {13, 2, true},  {14, 0, true},   {20, 0, true},
                        {13, 0, false}, {12, 9, false}, {12, 30, false}, {0, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
    options_.api_version = {c.major, c.minor};
    RestartHost();
    PF_Err err = host().globalSetup();
    if (c.accepted) {
      EXPECT_EQ(err, PF_Err_NONE);
      EXPECT_NE(host().globalData(), nullptr);
      EXPECT_TRUE(host().messages().empty());
    } else {
      EXPECT_EQ(err, PF_Err_INTERNAL_STRUCT_DAMAGED);
      EXPECT_EQ(host().globalData(), nullptr);
      ASSERT_EQ(host().messages().size(), 1u);
      const MessageRecord& m = host().messages()[0];
      EXPECT_EQ(m.text, "Motefield internal error: Version invalid");
      EXPECT_EQ(m.caption, "Error");
      EXPECT_EQ(m.style, 0x2030u);
      EXPECT_FALSE(m.owned);
      // Refused before anything was allocated or acquired.
      EXPECT_EQ(host().handles().live(), 0u);
      EXPECT_EQ(host().faults().calls("aegp.RegisterWithAEGP"), 0);
    }
  }
}

TEST_F(GlobalLifecycle, SetupReportsVersionFlagsAndRegistersGlobalRecord) {
  host().preferences().set("Main Pref Section", "motefieldnopassalerts", "TRUE");
  host().preferences().set("Main Pref Section", "motefieldnopixperspalerts", "true");
  ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
  const PF_OutData& out = host().lastOut();
  EXPECT_EQ(out.my_version, 525825u);
  EXPECT_EQ(out.out_flags, 0x06008430);
  EXPECT_EQ(out.out_flags2, 0x140E);
  EXPECT_EQ(out.out_flags2 & PF_OutFlag2_I_AM_THREADSAFE, 0);
  ASSERT_NE(host().globalData(), nullptr);
  ASSERT_EQ(host().handles().size(host().globalData()), 8u);  // valid byte, padding, plug-in ID
  const auto* bytes = static_cast<const uint8_t*>(*host().globalData());
  EXPECT_EQ(bytes[0], 1);
  int32_t plugin_id;
  std::memcpy(&plugin_id, bytes + 4, 4);
  EXPECT_EQ(plugin_id, 42);  // what the host's registration handed out
  // The three alert keys were asked for, in one section; values read only for the two there.
  EXPECT_EQ(host().faults().calls("aegp.DoesKeyExist"), 3);
  EXPECT_EQ(host().faults().calls("aegp.GetString"), 2);
  EXPECT_EQ(host().suites().outstanding(), 0);

  EXPECT_EQ(host().globalSetdown(), PF_Err_NONE);
  EXPECT_EQ(host().handles().live(), 0u);
}

TEST_F(GlobalLifecycle, FailuresLeaveNoRecordAndNoLeak) {
  // Registration refused: its error is returned, no preference is read, no handle survives.
  host().faults().failAlways("aegp.RegisterWithAEGP");
  EXPECT_EQ(host().globalSetup(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host().globalData(), nullptr);
  EXPECT_EQ(host().faults().calls("aegp.GetApplicationBlob"), 0);
  EXPECT_EQ(host().handles().live(), 0u);
  host().faults().clearAll();

  // The handle refused.
  host().faults().failAlways("handle.new");
  EXPECT_EQ(host().globalSetup(), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(host().globalData(), nullptr);
  host().faults().clearAll();

  // A suite the host cannot supply surfaces as 512 whatever the thrown code, with every suite
  // released and the record disposed.
  host().faults().failAlways("suite:AEGP Utility Suite");
  EXPECT_EQ(host().globalSetup(), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(host().handles().live(), 0u);
  EXPECT_EQ(host().suites().outstanding(), 0);
  host().faults().clearAll();

  // A preference call failing is returned, but the record is already kept.
  host().faults().failAlways("aegp.DoesKeyExist");
  EXPECT_EQ(host().globalSetup(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host().faults().calls("aegp.DoesKeyExist"), 1);  // the rest are skipped
  EXPECT_EQ(host().faults().calls("aegp.GetString"), 0);
}

TEST_F(GlobalLifecycle, UnknownAndUnusedCommandsAnswerDoneAndTouchNothing) {
  ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
  PF_Pixel pixels[4] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}};
  PF_LayerDef output{};
  output.data = pixels;
  output.width = 2;
  output.height = 2;
  output.rowbytes = 8;
  for (PF_Cmd cmd : {2, 10, 11, 12, 16, 17, 18, 19, 20, 21, 22, 25, 26, 1000, -1, -1000}) {
    SCOPED_TRACE(cmd);
    EXPECT_EQ(host().send(cmd, nullptr, nullptr, &output), PF_Err_NONE);
  }
  EXPECT_EQ(pixels[0].alpha, 1);
  EXPECT_EQ(pixels[3].blue, 16);
}

TEST_F(GlobalLifecycle, AboutShowsNameVersionAndDescription) {
  std::string text;
  ASSERT_EQ(host().about(&text), PF_Err_NONE);
  EXPECT_EQ(text.rfind("Motefield, v1.0\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("\rIncorporate 3D World Position Pass"), std::string::npos);
}

TEST_F(GlobalLifecycle, SetdownWithoutRecordDoesNothing) {
  EXPECT_EQ(host().send(PF_Cmd_GLOBAL_SETDOWN, nullptr), PF_Err_NONE);
}

}  // namespace
}  // namespace mf::test
