// The command protocol through the Windows host: global setup, registration of the controls, the
// sequence record created, flattened and restored, and the About text.
#include <cstring>

#include "ScreenPerson.h"
#include "WindowsSupport.h"
#include "params/ParamIndex.h"
#include "params/SequenceData.h"

namespace mf::wintest {
namespace {

using Lifecycle = HostTest;

std::string Field(const std::vector<uint8_t>& flat, size_t offset) {
  const char* f = reinterpret_cast<const char*>(flat.data() + offset);
  return std::string(f, strnlen(f, 32));
}

TEST_F(Lifecycle, GlobalSetupReportsVersionFlagsAndKeepsItsRecord) {
  ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
  EXPECT_EQ(host().lastOut().my_version, 525825u);
  EXPECT_EQ(host().lastOut().out_flags, 0x06008430);
  EXPECT_EQ(host().lastOut().out_flags2, 0x140E);
  ASSERT_NE(host().globalData(), nullptr);
  // valid = 1, then the plug-in ID the host handed out at registration (42 in this host).
  const auto* record = static_cast<const uint8_t*>(*host().globalData());
  EXPECT_EQ(record[0], 1);

  std::string about;
  EXPECT_EQ(host().about(&about), PF_Err_NONE);
  EXPECT_EQ(about.rfind("Motefield, v1.0\r\n", 0), 0u) << about;
  EXPECT_NE(about.find("Incorporate 3D World Position Pass"), std::string::npos);

  // A host that is too old: refused with a task-modal box that has no owner.
  ScreenPerson person;
  person.act([](OpenDialog& d) { d.click(IDOK); });
  host().globalSetdown();
  options_.api_version = PF_SpecVersion{13, 0};
  RestartHost();
  EXPECT_EQ(host().globalSetup(), PF_Err_INTERNAL_STRUCT_DAMAGED);
  const auto seen = person.seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, "Error");
  EXPECT_FALSE(seen[0].owned);
  EXPECT_EQ(seen[0].staticTexts().back(), "Motefield internal error: Version invalid");
}

TEST_F(Lifecycle, ControlsAreRegisteredAndTheRecordFlattensAndRestores) {
  ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
  ASSERT_EQ(host().registerEffect(), PF_Err_NONE);
  EXPECT_EQ(host().registeredParams().size(), size_t(PARAM_COUNT));
  EXPECT_EQ(host().registeredParams()[POSITION_PASS].param_type, PF_Param_LAYER);
  EXPECT_EQ(host().registeredParams()[RENDER_MODE].param_type, PF_Param_POPUP);

  PF_Err err = PF_Err_NONE;
  host::EffectInstance* instance = host().newInstance(&err);
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(err, PF_Err_NONE);
  std::vector<uint8_t> flat;
  ASSERT_EQ(instance->flatten(&flat), PF_Err_NONE);
  ASSERT_EQ(flat.size(), 104u);
  EXPECT_EQ(flat[0], 1);
  EXPECT_EQ(flat[1] | flat[2] | flat[3], 0);
  EXPECT_EQ(flat[4] | flat[5] << 8 | flat[6] << 16 | flat[7] << 24, 1);
  EXPECT_EQ(Field(flat, 8), "Alpha");
  EXPECT_EQ(Field(flat, 40), "Diffuse");
  EXPECT_EQ(Field(flat, 72), "Specular");
  for (size_t i = 8 + 6; i < 40; ++i) EXPECT_EQ(flat[i], 0) << i;  // zero-filled to the end

  // A stored record comes back with its own prefixes.
  std::vector<uint8_t> stored(104, 0);
  stored[0] = 1;
  stored[4] = 1;
  std::memcpy(&stored[8], "Holdout", 7);
  std::memcpy(&stored[40], "Fill", 4);
  std::memcpy(&stored[72], "Glint", 5);
  host::EffectInstance* restored = host().restoreInstance(stored, &err);
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(err, PF_Err_NONE);
  ASSERT_EQ(restored->flatten(&flat), PF_Err_NONE);
  EXPECT_EQ(flat, stored);

  // Another version: the person is told, and the prefixes are the defaults again.
  ScreenPerson person;
  person.act([](OpenDialog& d) { d.click(IDOK); });
  stored[4] = 2;
  restored = host().restoreInstance(stored, &err);
  ASSERT_NE(restored, nullptr);
  const auto seen = person.seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, "错误");
  EXPECT_FALSE(seen[0].owned);
  EXPECT_EQ(seen[0].staticTexts().back(), "Motefield version mismatch. Some data may be reset.");
  ASSERT_EQ(restored->flatten(&flat), PF_Err_NONE);
  EXPECT_EQ(Field(flat, 8), "Alpha");
  EXPECT_EQ(Field(flat, 72), "Specular");
}

}  // namespace
}  // namespace mf::wintest
