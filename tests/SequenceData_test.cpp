// The per-instance light prefixes: setup, the stored 104-byte form, restore and duplicate.
#include <cstring>

#include "HostFixture.h"

namespace mf::test {
namespace {

using Bytes = std::vector<uint8_t>;

// The stored form of three prefixes, built byte by byte.
Bytes StoredRecord(uint32_t version, const std::string& alpha, const std::string& diffuse,
                   const std::string& specular) {
  Bytes b(104, 0);
  b[0] = 1;
  b[4] = version & 0xff;
  b[5] = (version >> 8) & 0xff;
  b[6] = (version >> 16) & 0xff;
  b[7] = (version >> 24) & 0xff;
  std::memcpy(&b[8], alpha.data(), std::min<size_t>(alpha.size(), 32));
  std::memcpy(&b[40], diffuse.data(), std::min<size_t>(diffuse.size(), 32));
  std::memcpy(&b[72], specular.data(), std::min<size_t>(specular.size(), 32));
  return b;
}

class SequenceDataTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
  }
  Bytes Flatten(host::EffectInstance* fx) {
    Bytes flat;
    EXPECT_EQ(fx->flatten(&flat), PF_Err_NONE);
    return flat;
  }
};

TEST_F(SequenceDataTest, OtherVersionsResetToDefaultsWithOneMessage) {
  for (uint32_t version : {0u, 2u, 0xffffffffu}) {
    SCOPED_TRACE(version);
    host().clearMessages();
    host::EffectInstance* fx = host().restoreInstance(StoredRecord(version, "Rim", "Key", "Spec"));
    ASSERT_NE(fx, nullptr);
    ASSERT_EQ(host().messages().size(), 1u);
    EXPECT_EQ(host().messages()[0].text, "Motefield version mismatch. Some data may be reset.");
    EXPECT_EQ(host().messages()[0].caption, "错误");
    EXPECT_EQ(host().messages()[0].style, 0x2030u);
    EXPECT_EQ(Flatten(fx), StoredRecord(1, "Alpha", "Diffuse", "Specular"));
  }
}

TEST_F(SequenceDataTest, UnterminatedFieldRestoresItsFirst31Characters) {
  const std::string full32(32, 'L');
  Bytes stored = StoredRecord(1, full32, full32, "Spec");
  host::EffectInstance* fx = host().restoreInstance(stored);
  ASSERT_NE(fx, nullptr);
  EXPECT_EQ(Flatten(fx), StoredRecord(1, std::string(31, 'L'), std::string(31, 'L'), "Spec"));
}

TEST_F(SequenceDataTest, RecordsCutShortAreNeverReadPastTheirEnd) {
  // Each size is allocated exactly, so reading beyond it is caught by the sanitizer build.
  for (size_t size : {1u, 8u, 39u, 50u, 103u}) {
    SCOPED_TRACE(size);
    host().clearMessages();
    Bytes stored = StoredRecord(1, "Rim", "Key", "Spec");
    stored.resize(size);
    host::EffectInstance* fx = host().restoreInstance(stored);
    ASSERT_NE(fx, nullptr);
    ASSERT_EQ(host().messages().size(), 1u);
    EXPECT_NE(host().messages()[0].text.find("damaged"), std::string::npos);
    EXPECT_EQ(Flatten(fx), StoredRecord(1, "Alpha", "Diffuse", "Specular"));
  }
  // An empty record is no record: nothing happens.
  host().clearMessages();
  EXPECT_NE(host().restoreInstance(Bytes{}), nullptr);
  EXPECT_TRUE(host().messages().empty());
}

TEST_F(SequenceDataTest, DuplicateOwnsItsPrefixesAfterTheOriginalIsRemoved) {
  Bytes stored = StoredRecord(1, "Rim", "Key", "Spec");
  host::EffectInstance* original = host().restoreInstance(stored);
  ASSERT_NE(original, nullptr);
  EXPECT_TRUE(host().messages().empty());
  host::EffectInstance* copy = host().duplicateInstance(*original);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(host().removeInstance(original), PF_Err_NONE);
  EXPECT_EQ(Flatten(copy), stored);

  // And the other way round.
  host::EffectInstance* second = host().duplicateInstance(*copy);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(host().removeInstance(copy), PF_Err_NONE);
  EXPECT_EQ(Flatten(second), stored);
}

TEST_F(SequenceDataTest, ResetupOfALiveRecordKeepsIt) {
  // After an undo the host may set up again a record that was never flattened; it stays this
  // instance's own and nothing of it is lost or left behind.
  host::EffectInstance* fx = host().restoreInstance(StoredRecord(1, "Rim", "Key", "Spec"));
  ASSERT_NE(fx, nullptr);
  const size_t handles = host().handles().live();
  EXPECT_EQ(fx->send(PF_Cmd_SEQUENCE_RESETUP), PF_Err_NONE);
  EXPECT_EQ(host().handles().live(), handles);
  EXPECT_EQ(Flatten(fx), StoredRecord(1, "Rim", "Key", "Spec"));
  EXPECT_EQ(host().removeInstance(fx), PF_Err_NONE);
  EXPECT_EQ(host().handles().live(), 1u);
}

TEST_F(SequenceDataTest, AHandleDisposedOfTwiceIsReported) {
  PF_Handle h = host().handles().create(8);
  host().handles().dispose(h);
  EXPECT_TRUE(host().violations().list().empty());
  host().handles().dispose(h);
  EXPECT_EQ(host().violations().list().size(), 1u);
  host().violations().clear();
}

TEST_F(SequenceDataTest, FlatteningAFlatRecordChangesNothing) {
  host::EffectInstance* fx = host().newInstance();
  ASSERT_NE(fx, nullptr);
  ASSERT_EQ(fx->send(PF_Cmd_SEQUENCE_FLATTEN), PF_Err_NONE);
  PF_Handle flat = fx->sequence_data;
  ASSERT_EQ(fx->send(PF_Cmd_SEQUENCE_FLATTEN), PF_Err_NONE);
  EXPECT_EQ(fx->sequence_data, flat);
  // Setdown of a flat record disposes of it and frees nothing else.
  EXPECT_EQ(host().removeInstance(fx), PF_Err_NONE);
}

TEST_F(SequenceDataTest, RefusedHandlesFollowEachCommandsRule) {
  host().faults().failAlways("handle.new");
  PF_Err err = PF_Err_NONE;
  EXPECT_EQ(host().newInstance(&err), nullptr);
  EXPECT_EQ(err, PF_Err_OUT_OF_MEMORY);
  host().faults().clearAll();

  host::EffectInstance* fx = host().newInstance();
  ASSERT_NE(fx, nullptr);
  PF_Handle live = fx->sequence_data;
  host().faults().failAlways("handle.new");
  EXPECT_EQ(fx->send(PF_Cmd_SEQUENCE_FLATTEN), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(fx->sequence_data, live);
  // Resetup keeps the data it was given when it cannot make a new record.
  EXPECT_EQ(fx->send(PF_Cmd_SEQUENCE_RESETUP), PF_Err_NONE);
  EXPECT_EQ(fx->sequence_data, live);
  host().faults().clearAll();
  EXPECT_EQ(Flatten(fx), StoredRecord(1, "Alpha", "Diffuse", "Specular"));
}

TEST_F(SequenceDataTest, NoCommandWithoutARecord) {
  host::EffectInstance* fx = host().newInstance();
  ASSERT_NE(fx, nullptr);
  PF_Handle live = fx->sequence_data;
  fx->sequence_data = nullptr;
  EXPECT_EQ(fx->send(PF_Cmd_SEQUENCE_FLATTEN), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(fx->send(PF_Cmd_SEQUENCE_RESETUP), PF_Err_NONE);
  EXPECT_EQ(fx->send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
  fx->sequence_data = live;
}

TEST_F(SequenceDataTest, RemovingEveryInstanceLeavesOnlyTheGlobalRecord) {
  host::EffectInstance* a = host().newInstance();
  host::EffectInstance* b = host().restoreInstance(StoredRecord(1, "A", "D", "S"));
  host::EffectInstance* c = host().duplicateInstance(*b);
  Flatten(a);
  for (auto* fx : {a, b, c}) EXPECT_EQ(host().removeInstance(fx), PF_Err_NONE);
  EXPECT_EQ(host().handles().live(), 1u);
}

}  // namespace
}  // namespace mf::test
