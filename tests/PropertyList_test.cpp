// The property list through which the host finds the effect, read out of the built plug-in file
// exactly as a host scanning its plug-in folder would see it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ElfSection.h"
#include "PropertyList.h"
#include "ResourceImage.h"

namespace {

using mf::platform::ReadElfSection;
using mf::platform::ResourceId;
using mf::platform::ResourceImage;

// Expected bytes, written out field by field from the published layout.
class Bytes {
 public:
  void u16(uint16_t v) { bytes_.insert(bytes_.end(), {uint8_t(v), uint8_t(v >> 8)}); }
  void u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(uint8_t(v >> (8 * i)));
  }
  // A four-character code as a little-endian 32-bit value: 'abcd' is 0x61626364.
  void code(const char (&c)[5]) {
    u32((uint32_t(uint8_t(c[0])) << 24) | (uint32_t(uint8_t(c[1])) << 16) |
        (uint32_t(uint8_t(c[2])) << 8) | uint32_t(uint8_t(c[3])));
  }
  void raw(const std::string& s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
  void zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
  const std::vector<uint8_t>& get() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

void Property(Bytes& b, const char (&key)[5], uint32_t length) {
  b.code("8BIM");
  b.code(key);
  b.u32(0);
  b.u32(length);
}

void PascalProperty(Bytes& b, const char (&key)[5], const std::string& text) {
  size_t data = 1 + text.size();
  size_t padded = (data + 3) / 4 * 4;
  Property(b, key, uint32_t(padded));
  b.raw(std::string(1, char(text.size())) + text);
  b.zeros(padded - data);
}

std::vector<uint8_t> ExpectedPropertyList() {
  Bytes b;
  b.u16(1);
  b.u32(0);
  b.u32(12);
  Property(b, "kind", 4);
  b.code("eFKT");
  PascalProperty(b, "name", "Motefield");  // 1 + 9 = 10 bytes, padded to 12
  PascalProperty(b, "catg", "Tarnwick");   // 1 + 8 = 9 bytes, padded to 12
  Property(b, "8664", 16);                 // 14 characters and a NUL, padded to 16
  b.raw("EntryPointFunc");
  b.zeros(2);
  Property(b, "ePVR", 4);
  b.u16(2);
  b.u16(0);
  Property(b, "eSVR", 4);
  b.u16(13);
  b.u16(1);
  Property(b, "eVER", 4);
  b.u32(525825);  // version 1.0, release stage, build 1
  Property(b, "eINF", 2);
  b.u16(0);
  b.zeros(2);
  Property(b, "eGLO", 4);
  b.u32(0x06008430);
  Property(b, "eGL2", 4);
  b.u32(0x0000140E);
  PascalProperty(b, "eMNA", "ADBE motefield");  // 1 + 14 = 15 bytes, padded to 16
  Property(b, "aeFL", 4);
  b.u32(0);
  return b.get();
}

TEST(PropertyList, BuiltPluginCarriesItByteForByte) {
  auto section = ReadElfSection(MOTEFIELD_PLUGIN_PATH, "motefield_rsrc");
  ASSERT_TRUE(section.has_value()) << "no resource section in " << MOTEFIELD_PLUGIN_PATH;
  auto resources = ResourceImage::Parse(section->data(), section->size());
  ASSERT_TRUE(resources.has_value());

  const auto* entry =
      resources->find(ResourceId(u"PIPL"), ResourceId(16000), mf::platform::kLanguageUsEnglish);
  ASSERT_NE(entry, nullptr);
  std::vector<uint8_t> actual(entry->data, entry->data + entry->size);
  std::vector<uint8_t> expected = ExpectedPropertyList();
  ASSERT_EQ(expected.size(), 290u);  // 10 bytes of header, 12 properties
  EXPECT_EQ(actual, expected);

  // The first property spelt out, as the bytes sit in the file.
  const std::vector<uint8_t> kind = {'M', 'I', 'B', '8', 'd', 'n', 'i', 'k', 0,   0,
                                     0,   0,   4,   0,   0,   0,   'T', 'K', 'F', 'e'};
  EXPECT_TRUE(std::equal(kind.begin(), kind.end(), actual.begin() + 10));
  // There is exactly one property list, and it is not also filed under another language.
  int lists = 0;
  for (const auto& e : resources->entries())
    if (e.type == ResourceId(u"PIPL")) ++lists;
  EXPECT_EQ(lists, 1);
}

// What a host reads from the list, through the reader the command line uses to describe a
// plug-in file.
TEST(PropertyList, ReaderSeesTheEffectAsAHostWould) {
  const std::vector<uint8_t> bytes = ExpectedPropertyList();
  auto list = mf::platform::PropertyList::Parse(bytes.data(), bytes.size());
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->properties().size(), 12u);
  for (const auto& p : list->properties()) {
    EXPECT_EQ(p.vendor, "8BIM");
    EXPECT_EQ(p.id, 0u);
  }
  EXPECT_EQ(list->code("kind"), std::optional<std::string>("eFKT"));
  EXPECT_EQ(list->pascalString("name"), std::optional<std::string>("Motefield"));
  EXPECT_EQ(list->pascalString("catg"), std::optional<std::string>("Tarnwick"));
  EXPECT_EQ(list->cString("8664"), std::optional<std::string>("EntryPointFunc"));
  EXPECT_EQ(list->u32("ePVR"), std::optional<uint32_t>(2));  // major 2 in the low half
  EXPECT_EQ(list->u32("eSVR"), std::optional<uint32_t>(13 | (1u << 16)));
  EXPECT_EQ(list->u32("eVER"), std::optional<uint32_t>(525825));
  EXPECT_EQ(list->find("eINF")->data.size(), 2u);
  EXPECT_EQ(list->u32("eINF"), std::nullopt);  // two bytes only
  EXPECT_EQ(list->u32("eGLO"), std::optional<uint32_t>(0x06008430));
  EXPECT_EQ(list->u32("eGL2"), std::optional<uint32_t>(0x140E));
  EXPECT_EQ(list->pascalString("eMNA"), std::optional<std::string>("ADBE motefield"));
  EXPECT_EQ(list->u32("aeFL"), std::optional<uint32_t>(0));
  EXPECT_EQ(list->find("nope"), nullptr);
  // The eINF property's padding is skipped even though its length leaves it out: the property
  // after it is read from the right place.
  EXPECT_EQ(list->properties()[8].key, "eGLO");

  for (size_t cut = 0; cut < bytes.size(); ++cut)
    EXPECT_FALSE(mf::platform::PropertyList::Parse(bytes.data(), cut).has_value()) << cut;
  std::vector<uint8_t> version2 = bytes;
  version2[0] = 2;
  EXPECT_FALSE(mf::platform::PropertyList::Parse(version2.data(), version2.size()).has_value());
}

TEST(PropertyList, ElfReaderRejectsWhatIsNotThere) {
  EXPECT_FALSE(ReadElfSection(MOTEFIELD_PLUGIN_PATH, "no_such_section").has_value());
  EXPECT_FALSE(ReadElfSection(MOTEFIELD_PLUGIN_PATH, "motefield_rsr").has_value());
  EXPECT_FALSE(ReadElfSection("/nonexistent/Motefield.so", "motefield_rsrc").has_value());
  // A file that is not ELF at all.
  EXPECT_FALSE(
      ReadElfSection(MOTEFIELD_SOURCE_DIR "/resources/motefield.rc", "motefield_rsrc").has_value());
}

}  // namespace
