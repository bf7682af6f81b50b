// The reader of the compiled resource format, on files put together byte by byte here.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ModuleImage.h"
#include "ResourceImage.h"
#include "Win32.h"

namespace {

using mf::platform::ModuleImage;
using mf::platform::ResourceId;
using mf::platform::ResourceImage;

struct ResBuilder {
  std::vector<uint8_t> bytes;

  void u16(uint16_t v) { bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8)}); }
  void u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
  }
  void align() {
    while (bytes.size() % 4) bytes.push_back(0);
  }
  void id(const ResourceId& r) {
    if (r.isNumber()) {
      u16(0xFFFF);
      u16(r.number());
    } else {
      for (char16_t c : r.name()) u16(c);
      u16(0);
    }
  }
  // One entry: DataSize, HeaderSize, TYPE, NAME, padding, DataVersion, MemoryFlags, LanguageId,
  // Version, Characteristics, then the data padded to 4.
  void entry(const ResourceId& type, const ResourceId& name, uint16_t language,
             const std::vector<uint8_t>& data) {
    size_t start = bytes.size();
    u32(uint32_t(data.size()));
    u32(0);  // header size, patched below
    id(type);
    id(name);
    align();
    u32(0);
    u16(0x1030);
    u16(language);
    u32(7);
    u32(9);
    uint32_t header_size = uint32_t(bytes.size() - start);
    for (int i = 0; i < 4; ++i) bytes[start + 4 + i] = uint8_t(header_size >> (8 * i));
    bytes.insert(bytes.end(), data.begin(), data.end());
    align();
  }
  void marker() { entry(ResourceId(0), ResourceId(0), 0, {}); }
};

TEST(PlatformResourceImage, FindsByTypeNameAndLanguage) {
  ResBuilder res;
  res.marker();
  res.entry(ResourceId(5), ResourceId(101), 1033, {1, 2, 3});
  res.entry(ResourceId(u"PIPL"), ResourceId(16000), 1031, {9});
  res.entry(ResourceId(u"PIPL"), ResourceId(16000), 1033, {4, 5, 6, 7, 8});
  res.entry(ResourceId(2), ResourceId(u"BANNER"), 1033, {});

  auto image = ResourceImage::Parse(res.bytes.data(), res.bytes.size());
  ASSERT_TRUE(image.has_value());
  ASSERT_EQ(image->entries().size(), 4u);  // the leading marker is not a resource

  const auto* dialog = image->find(ResourceId(5), ResourceId(101));
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(dialog->data, dialog->data + dialog->size),
            (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(dialog->memory_flags, 0x1030);
  EXPECT_EQ(dialog->version, 7u);
  EXPECT_EQ(dialog->characteristics, 9u);

  // Language chosen exactly; without one, the first in the file.
  ASSERT_NE(image->find(ResourceId(u"pipl"), ResourceId(16000), 1033), nullptr);
  EXPECT_EQ(image->find(ResourceId(u"pipl"), ResourceId(16000), 1033)->size, 5u);
  EXPECT_EQ(image->find(ResourceId(u"PIPL"), ResourceId(16000))->language, 1031);
  EXPECT_EQ(image->find(ResourceId(u"PIPL"), ResourceId(16000), 2052), nullptr);
  // Numbers and names never match each other; "#2" is the number 2.
  EXPECT_EQ(image->find(ResourceId(5), ResourceId(u"101")), nullptr);
  EXPECT_NE(image->find(*ResourceId::FromA("#2"), *ResourceId::FromA("banner")), nullptr);
  EXPECT_EQ(image->find(ResourceId(2), ResourceId(u"BANNER"))->size, 0u);

  // The same through the Win32 calls, on a module handle over the bytes.
  ModuleImage module{res.bytes.data(), res.bytes.size()};
  HINSTANCE instance = mf::platform::ToInstance(&module);
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(101), RT_DIALOG);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(SizeofResource(instance, found), 3u);
  const uint8_t* locked = static_cast<const uint8_t*>(LockResource(LoadResource(instance, found)));
  ASSERT_NE(locked, nullptr);
  EXPECT_EQ(locked[0], 1);
  EXPECT_EQ(locked[2], 3);
  EXPECT_EQ(FindResourceA(instance, MAKEINTRESOURCEA(102), RT_DIALOG), nullptr);
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(101), RT_DIALOG), nullptr);
  EXPECT_EQ(FindResourceA(instance, "#x1", RT_DIALOG), nullptr);
}

TEST(PlatformResourceImage, DamagedFilesAreRefusedNotOverrun) {
  ResBuilder res;
  res.marker();
  res.entry(ResourceId(5), ResourceId(u"DLG"), 1033, {1, 2, 3, 4, 5, 6, 7, 8});
  const std::vector<uint8_t> good = res.bytes;
  ASSERT_TRUE(ResourceImage::Parse(good.data(), good.size()).has_value());

  // Every truncation inside the second entry is refused (the vector keeps the bytes past the cut
  // readable, so a reader that ignored the size would be caught by the sanitizers' build).
  for (size_t cut = 33; cut < good.size(); ++cut) {
    std::vector<uint8_t> shorter(good.begin(), good.begin() + cut);
    bool tail_is_zero = true;
    for (size_t i = 32; i < cut; ++i) tail_is_zero = tail_is_zero && shorter[i] == 0;
    if (tail_is_zero) continue;
    EXPECT_FALSE(ResourceImage::Parse(shorter.data(), shorter.size()).has_value()) << cut;
  }

  // A data size running past the end.
  std::vector<uint8_t> long_data = good;
  long_data[32] = 0xF0;
  EXPECT_FALSE(ResourceImage::Parse(long_data.data(), long_data.size()).has_value());
  // A header size too small for its own fields, and one larger than the file.
  std::vector<uint8_t> small_header = good;
  small_header[36] = 12;
  EXPECT_FALSE(ResourceImage::Parse(small_header.data(), small_header.size()).has_value());
  std::vector<uint8_t> huge_header = good;
  huge_header[39] = 0x7F;
  EXPECT_FALSE(ResourceImage::Parse(huge_header.data(), huge_header.size()).has_value());
  // A name that never ends within its header.
  std::vector<uint8_t> open_name = good;
  for (size_t i = 44; i < 52; ++i) open_name[i] = 'A';
  EXPECT_FALSE(ResourceImage::Parse(open_name.data(), open_name.size()).has_value());

  // Zero bytes of section alignment after the last entry are fine; other junk is not.
  std::vector<uint8_t> padded = good;
  padded.insert(padded.end(), 12, 0);
  EXPECT_TRUE(ResourceImage::Parse(padded.data(), padded.size()).has_value());
  std::vector<uint8_t> junk = good;
  junk.insert(junk.end(), {0, 0, 0, 1});
  EXPECT_FALSE(ResourceImage::Parse(junk.data(), junk.size()).has_value());
  // Nothing at all is an empty file.
  EXPECT_TRUE(ResourceImage::Parse(nullptr, 0).has_value());

  // A damaged module finds nothing through the Win32 calls and does not crash.
  ModuleImage module{long_data.data(), long_data.size()};
  EXPECT_EQ(FindResourceA(mf::platform::ToInstance(&module), "DLG", RT_DIALOG), nullptr);
}

}  // namespace
