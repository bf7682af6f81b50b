// The property list through which the host finds the effect, read out of the built plug-in file
// exactly as a host scanning its plug-in folder would see it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ElfSection.h"
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

TEST(PropertyList, ElfReaderRejectsWhatIsNotThere) {
  EXPECT_FALSE(ReadElfSection(MOTEFIELD_PLUGIN_PATH, "no_such_section").has_value());
  EXPECT_FALSE(ReadElfSection(MOTEFIELD_PLUGIN_PATH, "motefield_rsr").has_value());
  EXPECT_FALSE(ReadElfSection("/nonexistent/Motefield.so", "motefield_rsrc").has_value());
  // A file that is not ELF at all.
  EXPECT_FALSE(
      ReadElfSection(MOTEFIELD_SOURCE_DIR "/resources/motefield.rc", "motefield_rsrc").has_value());
}

}  // namespace
