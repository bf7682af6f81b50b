// The DLL as Windows loads it: its one export, undecorated, and the property list resource the
// host reads before it ever calls the plug-in, checked byte for byte.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "WindowsSupport.h"

namespace mf::wintest {
namespace {

class LoadedPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryW(Wide(PluginPath()).c_str());
    ASSERT_NE(module_, nullptr) << PluginPath() << ": error " << GetLastError();
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
};

// Names in the export directory of a loaded module.
std::vector<std::string> ExportedNames(HMODULE module) {
  const auto* base = reinterpret_cast<const uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  std::vector<std::string> names;
  if (dir.Size == 0) return names;
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  const auto* name_rvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    names.emplace_back(reinterpret_cast<const char*>(base + name_rvas[i]));
  return names;
}

// Little-endian writer for the expected property list.
struct Bytes {
  std::vector<uint8_t> v;
  void u16(uint16_t x) {
    v.push_back(x & 0xff);
    v.push_back(x >> 8);
  }
  void u32(uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back((x >> (8 * i)) & 0xff);
  }
  // A four-character code as a little-endian 32-bit value: "8BIM" is stored as "MIB8".
  void code(const char (&c)[5]) {
    u32(uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 |
        uint32_t(uint8_t(c[2])) << 8 | uint8_t(c[3]));
  }
  void property(const char (&key)[5], const std::vector<uint8_t>& data, uint32_t length) {
    code("8BIM");
    code(key);
    u32(0);
    u32(length);
    v.insert(v.end(), data.begin(), data.end());
    while (v.size() % 4 != 2) v.push_back(0);  // the 10-byte header leaves records at 2 mod 4
  }
};

std::vector<uint8_t> Padded(std::vector<uint8_t> data) {
  while (data.size() % 4) data.push_back(0);
  return data;
}
std::vector<uint8_t> Pascal(const std::string& s) {
  std::vector<uint8_t> d{uint8_t(s.size())};
  d.insert(d.end(), s.begin(), s.end());
  return Padded(d);
}
std::vector<uint8_t> U32(uint32_t x) {
  Bytes b;
  b.u32(x);
  return b.v;
}

// The list as the effect's registration table gives it, built field by field.
std::vector<uint8_t> ExpectedPropertyList() {
  Bytes b;
  b.u16(1);   // kind of list
  b.u32(0);   // version
  b.u32(12);  // properties
  Bytes kind;
  kind.code("eFKT");
  b.property("kind", kind.v, 4);
  const auto name = Pascal("Motefield");  // 1 + 9 bytes, padded to 12
  b.property("name", name, (uint32_t)name.size());
  const auto category = Pascal("Tarnwick");  // 1 + 8, padded to 12
  b.property("catg", category, (uint32_t)category.size());
  std::string entry = "EntryPointFunc";  // NUL-terminated: 15, padded to 16
  std::vector<uint8_t> code(entry.begin(), entry.end());
  code.push_back(0);
  code = Padded(code);
  b.property("8664", code, (uint32_t)code.size());
  b.property("ePVR", {2, 0, 0, 0}, 4);   // 2.0
  b.property("eSVR", {13, 0, 1, 0}, 4);  // 13.1
  b.property("eVER", U32(525825), 4);    // PF_VERSION(1, 0, 0, RELEASE, 1)
  b.property("eINF", {0, 0, 0, 0}, 2);   // 16 bits, padding not counted
  b.property("eGLO", U32(0x06008430), 4);
  b.property("eGL2", U32(0x0000140E), 4);
  const auto match = Pascal("ADBE motefield");  // 1 + 14, padded to 16
  b.property("eMNA", match, (uint32_t)match.size());
  b.property("aeFL", U32(0), 4);
  return b.v;
}

TEST_F(LoadedPlugin, ExportsOnlyTheUndecoratedEntryPoint) {
  EXPECT_EQ(ExportedNames(module_), std::vector<std::string>{"EntryPointFunc"});
  EXPECT_NE(GetProcAddress(module_, "EntryPointFunc"), nullptr);
  // No stdcall or C++ decoration that a host looking the name up would miss.
  EXPECT_EQ(GetProcAddress(module_, "EntryPointFunc@48"), nullptr);
  EXPECT_EQ(GetProcAddress(module_, "_EntryPointFunc"), nullptr);
}

TEST_F(LoadedPlugin, PropertyListReadsBackByteForByte) {
  HRSRC found = FindResourceExW(module_, L"PIPL", MAKEINTRESOURCEW(16000),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  ASSERT_NE(found, nullptr) << "error " << GetLastError();
  HGLOBAL loaded = LoadResource(module_, found);
  ASSERT_NE(loaded, nullptr);
  const auto* data = static_cast<const uint8_t*>(LockResource(loaded));
  const DWORD size = SizeofResource(module_, found);
  ASSERT_NE(data, nullptr);
  const std::vector<uint8_t> actual(data, data + size);
  const std::vector<uint8_t> expected = ExpectedPropertyList();
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(actual[i], expected[i]) << "byte " << i;
  // Vendor code of the first property as stored on this platform.
  EXPECT_EQ(std::memcmp(data + 10, "MIB8dnik", 8), 0);
  // Only the one list, and found also without asking for its language.
  EXPECT_NE(FindResourceW(module_, MAKEINTRESOURCEW(16000), L"PIPL"), nullptr);
  EXPECT_EQ(FindResourceW(module_, MAKEINTRESOURCEW(16001), L"PIPL"), nullptr);
}

TEST_F(LoadedPlugin, DialogsAndBitmapsAreResourcesOfTheLibrary) {
  for (int id : {101, 102, 104, 105, 108})
    EXPECT_NE(FindResourceW(module_, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)), nullptr) << id;
  // Bitmaps as the dialogs and the panel load them: sizes and 24 bits per pixel.
  const struct {
    int id, width, height;
  } bitmaps[] = {{103, 64, 64}, {109, 64, 64}, {117, 300, 80}};
  for (const auto& b : bitmaps) {
    HBITMAP bitmap = LoadBitmapW(module_, MAKEINTRESOURCEW(b.id));
    ASSERT_NE(bitmap, nullptr) << b.id;
    BITMAP info{};
    ASSERT_NE(GetObjectW(bitmap, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, b.width) << b.id;
    EXPECT_EQ(info.bmHeight, b.height) << b.id;
    DeleteObject(bitmap);
    HRSRC raw = FindResourceW(module_, MAKEINTRESOURCEW(b.id), MAKEINTRESOURCEW(2));
    ASSERT_NE(raw, nullptr);
    const auto* header =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module_, raw)));
    EXPECT_EQ(header->biBitCount, 24) << b.id;
    EXPECT_EQ(header->biCompression, (DWORD)BI_RGB) << b.id;
  }
}

}  // namespace
}  // namespace mf::wintest
