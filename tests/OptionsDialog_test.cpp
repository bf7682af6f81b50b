// The options dialog: this instance's light prefixes edited, checked for duplicates and stored in
// its record (read back from the stored form), and the two switches that act on all alerts.
#include <cstring>

#include "PanelFixture.h"
#include "host/Text.h"
#include "params/SequenceData.h"
#include "resources/resource.h"

namespace mf::test {
namespace {

using platform::DialogSession;

struct Prefixes {
  std::string alpha, diffuse, specular;
  bool operator==(const Prefixes&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Prefixes& p) {
  return os << "{" << p.alpha << ", " << p.diffuse << ", " << p.specular << "}";
}

class OptionsDialog : public PanelTest {
 protected:
  // The prefixes as the host would save them: the flat record's three fields.
  Prefixes Stored(host::EffectInstance& instance) {
    std::vector<uint8_t> flat;
    EXPECT_EQ(instance.flatten(&flat), PF_Err_NONE);
    if (flat.size() != sizeof(FlatSequenceData)) return {};
    FlatSequenceData record;
    std::memcpy(&record, flat.data(), sizeof record);
    // The record keeps the host's 8-bit code page; compared as UTF-8.
    auto field = [](const char* f) {
      return host::GbkToUtf8(std::string(f, strnlen(f, kPrefixSize)));
    };
    return {field(record.alpha_prefix), field(record.diffuse_prefix),
            field(record.specular_prefix)};
  }
  // Opens the dialog; the person types what is given (nullptr: leave the field) and presses OK.
  PF_Err Edit(host::EffectInstance& instance, const char* alpha, const char* diffuse,
              const char* specular, int switch_id = 0) {
    person_.actOnDialog([=](DialogSession& d) {
      if (alpha) d.type(IDC_ALPHA_PREFIX, alpha);
      if (diffuse) d.type(IDC_DIFFUSE_PREFIX, diffuse);
      if (specular) d.type(IDC_SPECULAR_PREFIX, specular);
      if (switch_id) d.click(switch_id);
      d.click(IDOK);
    });
    return instance.send(PF_Cmd_DO_DIALOG);
  }
  const Prefixes kDefaults{"Alpha", "Diffuse", "Specular"};
};

TEST_F(OptionsDialog, FieldsShowTheRecordAndConfirmedPrefixesAreStored) {
  person_.actOnDialog([](DialogSession& d) {
    EXPECT_EQ(d.resource(), std::optional<int>(IDD_OPTIONS));
    EXPECT_EQ(d.text(IDC_ALPHA_PREFIX), "Alpha");
    EXPECT_EQ(d.text(IDC_SPECULAR_PREFIX), "Specular");
    EXPECT_EQ(d.text(IDC_DIFFUSE_PREFIX), "Diffuse");
    EXPECT_FALSE(d.isChecked(IDC_RESET_ALERTS));
    EXPECT_FALSE(d.isChecked(IDC_DISABLE_ALERTS));
    d.type(IDC_DIFFUSE_PREFIX, "Key");
    d.type(IDC_SPECULAR_PREFIX, "Spec");
    d.type(IDC_ALPHA_PREFIX, "Matte");
    d.click(IDOK);
  });
  EXPECT_EQ(instance_->send(PF_Cmd_DO_DIALOG), PF_Err_NONE);
  EXPECT_EQ(Stored(*instance_), (Prefixes{"Matte", "Key", "Spec"}));
  EXPECT_TRUE(host().messages().empty());

  // Prefixes differing only in letter case are different prefixes; a Chinese prefix is kept in
  // the host's code page and reads back the same.
  EXPECT_EQ(Edit(*instance_, "key", "Key", "主光"), PF_Err_NONE);
  EXPECT_EQ(Stored(*instance_), (Prefixes{"key", "Key", "主光"}));

  // A 40-character prefix keeps its first 30 characters.
  EXPECT_EQ(Edit(*instance_, nullptr, "0123456789abcdefghijABCDEFGHIJ0123456789", nullptr),
            PF_Err_NONE);
  EXPECT_EQ(Stored(*instance_).diffuse, "0123456789abcdefghijABCDEFGHIJ");
}

TEST_F(OptionsDialog, DuplicatePrefixesAreRefusedWithAMessage) {
  EXPECT_EQ(Edit(*instance_, "Rim", nullptr, "Rim"), PF_Err_NONE);
  ASSERT_EQ(host().messages().size(), 1u);
  const host::MessageRecord& m = host().messages()[0];
  EXPECT_EQ(m.text, "Invalid Prefix!\nPlease enter a valid prefix string.");
  EXPECT_EQ(m.caption, "错误");
  EXPECT_EQ(m.style, 0x30u);
  EXPECT_TRUE(m.owned);  // an error in the user's input: owned by the host's window
  EXPECT_EQ(Stored(*instance_), kDefaults);

  // The refused text does not linger in the working copies: the next OK stores the record's.
  host().clearMessages();
  EXPECT_EQ(Edit(*instance_, nullptr, nullptr, nullptr), PF_Err_NONE);
  EXPECT_TRUE(host().messages().empty());
  EXPECT_EQ(Stored(*instance_), kDefaults);

  // Diffuse equal to specular is refused too.
  EXPECT_EQ(Edit(*instance_, nullptr, "Same", "Same"), PF_Err_NONE);
  EXPECT_EQ(host().messages().size(), 1u);
  EXPECT_EQ(Stored(*instance_), kDefaults);
}

TEST_F(OptionsDialog, EmptyFieldKeepsTheWorkingCopyOfTheLastInstanceSetUp) {
  // A second instance restored with its own alpha prefix: the working copies now hold its
  // prefixes, and an emptied field on the first instance takes that value.
  FlatSequenceData flat{};
  flat.flattened = 1;
  flat.version = 1;
  std::strcpy(flat.alpha_prefix, "Holdout");
  std::strcpy(flat.diffuse_prefix, "Fill");
  std::strcpy(flat.specular_prefix, "Glint");
  std::vector<uint8_t> bytes(sizeof flat);
  std::memcpy(bytes.data(), &flat, sizeof flat);
  host::EffectInstance* other = host().restoreInstance(bytes);
  ASSERT_NE(other, nullptr);

  EXPECT_EQ(Edit(*instance_, "", nullptr, nullptr), PF_Err_NONE);
  EXPECT_EQ(Stored(*instance_).alpha, "Holdout");
  EXPECT_EQ(Stored(*other), (Prefixes{"Holdout", "Fill", "Glint"}));
}

TEST_F(OptionsDialog, CancelChangesNothing) {
  person_.actOnDialog([](DialogSession& d) {
    d.type(IDC_ALPHA_PREFIX, "Changed");
    d.click(IDC_RESET_ALERTS);
    d.click(IDCANCEL);
  });
  host().preferences().set("Main Pref Section", "motefieldnopassalerts", "TRUE");
  EXPECT_EQ(instance_->send(PF_Cmd_DO_DIALOG), PF_Err_NONE);
  EXPECT_EQ(Stored(*instance_), kDefaults);
  EXPECT_EQ(Pref("motefieldnopassalerts"), std::optional<std::string>("TRUE"));
  // Esc as well.
  EXPECT_EQ(instance_->send(PF_Cmd_DO_DIALOG), PF_Err_NONE);
  EXPECT_EQ(person_.dialogs().back().result, std::optional<INT_PTR>(IDCANCEL));
  EXPECT_EQ(Stored(*instance_), kDefaults);
}

TEST_F(OptionsDialog, AlertSwitchesAreExclusiveAndActOnAllThreeAlerts) {
  // Tick one, then the other: only one stays ticked. Ticking and unticking leaves both off, and
  // OK then changes no alert state.
  person_.actOnDialog([](DialogSession& d) {
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
  EXPECT_EQ(host().faults().calls("aegp.SetString"), 0);
  EXPECT_EQ(host().faults().calls("aegp.DeleteEntry"), 0);

  // Disable all: three keys "TRUE", and no alert from now on, even after a restart.
  EXPECT_EQ(Edit(*instance_, nullptr, nullptr, nullptr, IDC_DISABLE_ALERTS), PF_Err_NONE);
  for (const char* key :
       {"motefieldnopassalerts", "motefieldnopreviewalerts", "motefieldnopixperspalerts"})
    EXPECT_EQ(Pref(key), std::optional<std::string>("TRUE")) << key;
  EXPECT_EQ(SetPopup(RENDER_MODE, 2), PF_Err_NONE);
  EXPECT_EQ(person_.dialogs().size(), 2u);  // the two options dialogs only
  Restart();
  EXPECT_EQ(SetLayer(POSITION_PASS, "P"), PF_Err_NONE);
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, true), PF_Err_NONE);
  EXPECT_TRUE(person_.dialogs().empty());

  // Reset all: keys gone, and every alert appears again at once, even in this load. The
  // switches act although the prefixes are then refused as duplicates.
  EXPECT_EQ(Edit(*instance_, "X", "X", nullptr, IDC_RESET_ALERTS), PF_Err_NONE);
  EXPECT_EQ(host().messages().size(), 1u);
  for (const char* key :
       {"motefieldnopassalerts", "motefieldnopreviewalerts", "motefieldnopixperspalerts"})
    EXPECT_FALSE(Pref(key)) << key;
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, false), PF_Err_NONE);
  EXPECT_EQ(SetCheckbox(ENABLE_PIXEL_PERSPECTIVE, true), PF_Err_NONE);
  EXPECT_EQ(SetPopup(RENDER_MODE, 8), PF_Err_NONE);
  EXPECT_EQ(person_.dialogs().size(), 3u);
  EXPECT_EQ(person_.dialogs()[1].resource, std::optional<int>(IDD_PIXEL_PERSPECTIVE_ALERT));
  EXPECT_EQ(person_.dialogs()[2].resource, std::optional<int>(IDD_RENDER_MODE_ALERT));
}

TEST_F(OptionsDialog, MissingRecordOrWindowOpensNoDialog) {
  PF_Handle record = instance_->sequence_data;
  instance_->sequence_data = nullptr;
  EXPECT_EQ(instance_->send(PF_Cmd_DO_DIALOG), PF_Err_INTERNAL_STRUCT_DAMAGED);
  instance_->sequence_data = record;
  EXPECT_TRUE(person_.dialogs().empty());

  host().faults().failOnCall("aegp.GetMainHWND", 1);
  EXPECT_EQ(instance_->send(PF_Cmd_DO_DIALOG), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(person_.dialogs().empty());

  // A preference call failing on OK: the rest are skipped silently, the prefixes still count.
  host().faults().failAlways("aegp.DoesKeyExist");
  EXPECT_EQ(Edit(*instance_, "Edge", nullptr, nullptr, IDC_DISABLE_ALERTS), PF_Err_NONE);
  EXPECT_FALSE(Pref("motefieldnopassalerts"));
  EXPECT_EQ(Stored(*instance_).alpha, "Edge");
  EXPECT_EQ(host().suites().outstanding(), 0);
}

}  // namespace
}  // namespace mf::test
