// A library whose resources were damaged after the build: the position-pass alert, the camera
// picker, the options dialog and the alert bitmap under the wrong numbers. The dialogs that
// cannot open are ignored as the effect promises (nothing shown, nothing changed, no error), the
// others still work without their picture, and nothing crashes.
#include <cstring>
#include <fstream>
#include <iterator>

#include "PanelFixture.h"
#include "resources/resource.h"

namespace mf::wintest {
namespace {

// Gives the resource TYPE/FROM the number TO in the file's resource directory, as a slip in a
// later edit of the library would. TO must keep the numbers of that type in order (the loader
// searches them by halves).
bool Renumber(std::vector<char>& file, WORD type, WORD from, WORD to) {
  auto at = [&](size_t offset) { return file.data() + offset; };
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0));
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(at(dos->e_lfanew));
  const DWORD rsrc_rva =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress;
  const auto* section = IMAGE_FIRST_SECTION(nt);
  size_t base = 0;
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (rsrc_rva >= section->VirtualAddress &&
        rsrc_rva < section->VirtualAddress + section->Misc.VirtualSize)
      base = section->PointerToRawData + (rsrc_rva - section->VirtualAddress);
  }
  if (base == 0) return false;
  // The entry with an ID in the directory at `offset`, or null.
  auto find = [&](size_t offset, WORD id) -> IMAGE_RESOURCE_DIRECTORY_ENTRY* {
    const auto* dir = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY*>(at(base + offset));
    auto* entries =
        reinterpret_cast<IMAGE_RESOURCE_DIRECTORY_ENTRY*>(at(base + offset + sizeof *dir));
    for (int i = 0; i < dir->NumberOfNamedEntries + dir->NumberOfIdEntries; ++i)
      if (!entries[i].NameIsString && entries[i].Id == id) return &entries[i];
    return nullptr;
  };
  IMAGE_RESOURCE_DIRECTORY_ENTRY* of_type = find(0, type);
  if (!of_type || !of_type->DataIsDirectory) return false;
  IMAGE_RESOURCE_DIRECTORY_ENTRY* entry = find(of_type->OffsetToDirectory, from);
  if (!entry) return false;
  entry->Id = to;
  return true;
}

// A copy of the library with the position-pass alert and the camera picker out of reach (under
// numbers nothing asks for), the options dialog under another number and the alert bitmap gone.
std::string DamagedCopy(const std::filesystem::path& dir) {
  std::ifstream in(std::filesystem::path(Wide(PluginPath())), std::ios::binary);
  std::vector<char> file((std::istreambuf_iterator<char>(in)), {});
  EXPECT_TRUE(Renumber(file, 5, IDD_PASS_ALERT, 103));
  EXPECT_TRUE(Renumber(file, 5, IDD_CAMERA_PICKER, 109));
  EXPECT_TRUE(Renumber(file, 5, IDD_OPTIONS, 100));
  EXPECT_TRUE(Renumber(file, 2, IDB_ALERT, 102));
  const std::filesystem::path copy = dir / L"Damaged.aex";
  std::ofstream(copy, std::ios::binary).write(file.data(), (std::streamsize)file.size());
  return Utf8(copy.wstring());
}

class MissingResources : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    instance_ = nullptr;
    host_.reset();  // the original library is let go before the copy is made
    options_.plugin_path = DamagedCopy(dir_);
    host_ = std::make_unique<host::Host>(options_);
    Start();
  }
};

TEST_F(MissingResources, DialogsThatCannotOpenAreIgnoredAndTheOthersStillWork) {
  // The copy really lacks the resources.
  HMODULE damaged =
      LoadLibraryExW(Wide(options_.plugin_path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(damaged, nullptr);
  EXPECT_EQ(FindResourceW(damaged, MAKEINTRESOURCEW(IDD_PASS_ALERT), MAKEINTRESOURCEW(5)), nullptr);
  EXPECT_EQ(FindResourceW(damaged, MAKEINTRESOURCEW(IDD_OPTIONS), MAKEINTRESOURCEW(5)), nullptr);
  EXPECT_EQ(FindResourceW(damaged, MAKEINTRESOURCEW(IDB_ALERT), MAKEINTRESOURCEW(2)), nullptr);
  EXPECT_NE(FindResourceW(damaged, MAKEINTRESOURCEW(IDD_RENDER_MODE_ALERT), MAKEINTRESOURCEW(5)),
            nullptr);
  FreeLibrary(damaged);

  // Position pass alert: nothing shown, no error, no preference; asked again, still nothing.
  EXPECT_EQ(SetLayer(POSITION_PASS, "P"), PF_Err_NONE);
  EXPECT_EQ(SetLayer(POSITION_PASS, "beauty"), PF_Err_NONE);
  EXPECT_TRUE(person_.seen().empty());
  EXPECT_FALSE(Pref("motefieldnopassalerts"));

  // Options dialog under another number: treated as cancelled, the record keeps its prefixes.
  EXPECT_EQ(instance_->send(PF_Cmd_DO_DIALOG), PF_Err_NONE);
  EXPECT_TRUE(person_.seen().empty());
  std::vector<uint8_t> flat;
  ASSERT_EQ(instance_->flatten(&flat), PF_Err_NONE);
  ASSERT_EQ(flat.size(), 104u);
  EXPECT_STREQ(reinterpret_cast<const char*>(&flat[8]), "Alpha");
  EXPECT_STREQ(reinterpret_cast<const char*>(&flat[40]), "Diffuse");

  // Camera picker missing: nothing linked, no error.
  host::EffectPanel panel(host(), *instance_);
  const PF_Rect r = panel.controlFrame(LINK_REFERENCE_CAMERA);
  const PF_Point middle{r.left + 24, r.top + 12};
  EXPECT_EQ(panel.press(LINK_REFERENCE_CAMERA, middle, {}, middle), PF_Err_NONE);
  EXPECT_TRUE(person_.seen().empty());
  EXPECT_TRUE(instance_->expressions.empty());

  // The render-mode alert opens without its bitmap and still stores the choice.
  person_.act([](OpenDialog& d) {
    d.picture("alert-105-without-bitmap");
    d.click(IDC_ALERT_DONT_REMIND);
    d.click(IDOK);
  });
  EXPECT_EQ(SetPopup(RENDER_MODE, 2), PF_Err_NONE);
  ASSERT_EQ(person_.seen().size(), 1u);
  EXPECT_EQ(person_.seen()[0].caption, "警告!");
  EXPECT_EQ(Pref("motefieldnopreviewalerts"), std::optional<std::string>("TRUE"));
}

}  // namespace
}  // namespace mf::wintest
