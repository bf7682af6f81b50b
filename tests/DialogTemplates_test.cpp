// The dialog templates as the built plug-in carries them, read with the template reader, and the
// reader itself on a classic template put together byte by byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "DialogTemplate.h"
#include "ElfSection.h"
#include "ResourceImage.h"
#include "TextEncoding.h"
#include "Win32.h"
#include "resources/resource.h"

namespace {

using mf::platform::DialogItemTemplate;
using mf::platform::DialogTemplate;
using mf::platform::ResourceId;
using mf::platform::ResourceImage;
using mf::platform::Utf16ToUtf8;

const std::vector<uint8_t>& PluginResources() {
  static const std::vector<uint8_t> bytes =
      mf::platform::ReadElfSection(MOTEFIELD_PLUGIN_PATH, "motefield_rsrc")
          .value_or(std::vector<uint8_t>{});
  return bytes;
}

DialogTemplate PluginDialog(int id) {
  const auto& bytes = PluginResources();
  auto image = ResourceImage::Parse(bytes.data(), bytes.size());
  if (!image) return {};
  const auto* entry = image->find(ResourceId(5), ResourceId(uint16_t(id)), 1033);
  if (!entry) return {};
  return mf::platform::ParseDialogTemplate(entry->data, entry->size).value_or(DialogTemplate{});
}

// One control as a table row: class, ID, place, size and text (or image).
struct Row {
  std::string cls;
  int id;
  int x, y, cx, cy;
  std::string text;
  int image = -1;
};

void ExpectControls(const DialogTemplate& t, const std::vector<Row>& rows) {
  ASSERT_EQ(t.items.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE("control " + std::to_string(i) + " " + rows[i].text);
    const DialogItemTemplate& item = t.items[i];
    EXPECT_EQ(item.className(), rows[i].cls);
    EXPECT_EQ(item.id, rows[i].id);
    EXPECT_EQ(item.x, rows[i].x);
    EXPECT_EQ(item.y, rows[i].y);
    EXPECT_EQ(item.cx, rows[i].cx);
    EXPECT_EQ(item.cy, rows[i].cy);
    if (rows[i].image >= 0) {
      EXPECT_EQ(item.title.ordinal, std::optional<uint16_t>(rows[i].image));
      EXPECT_EQ(item.style & SS_TYPEMASK, uint32_t(SS_BITMAP));
      EXPECT_TRUE(item.style & SS_CENTERIMAGE);
      EXPECT_TRUE(item.style & WS_BORDER);
    } else {
      EXPECT_EQ(Utf16ToUtf8(item.title.text), rows[i].text);
    }
    EXPECT_TRUE(item.style & WS_CHILD);
    EXPECT_TRUE(item.style & WS_VISIBLE);
  }
}

void ExpectModalCentredFrame(const DialogTemplate& t, const char* font) {
  EXPECT_TRUE(t.style & DS_MODALFRAME);
  EXPECT_TRUE(t.style & DS_CENTER);
  EXPECT_TRUE(t.style & WS_POPUP);
  EXPECT_EQ(t.style & WS_CAPTION, uint32_t(WS_CAPTION));
  EXPECT_TRUE(t.style & WS_SYSMENU);
  EXPECT_TRUE(t.style & DS_SETFONT);
  EXPECT_EQ(t.point_size, 8);
  EXPECT_EQ(Utf16ToUtf8(t.typeface), font);
}

TEST(DialogTemplates, OptionsDialog) {
  DialogTemplate t = PluginDialog(IDD_OPTIONS);
  EXPECT_EQ(t.cx, 250);
  EXPECT_EQ(t.cy, 393);
  EXPECT_EQ(Utf16ToUtf8(t.title), "");
  ExpectModalCentredFrame(t, "Ms Shell Dlg 2");
  ExpectControls(t, {
                        {"static", 1003, 25, 10, 200, 49, "", 117},
                        {"button", -1, 24, 141, 196, 99, "通用的 32位 项目工程"},
                        {"static", -1, 39, 157, 132, 8, "1.导入图像和32位通过位置."},
                        {"static", -1, 39, 170, 132, 8, "2. 位置通过保留RGB."},
                        {"static", -1, 39, 183, 112, 8, "3. 应用 Motefield 到空白固态层."},
                        {"static", -1, 39, 196, 139, 8, "4. 创建摄像机匹配到3D软件."},
                        {"static", -1, 39, 209, 108, 8, "5. 调整坐标系统."},
                        {"static", -1, 39, 222, 117, 8, "7. 设置来源和位置到图层."},
                        {"button", 1008, 40, 251, 67, 8, "重置所有警报"},
                        {"button", 1009, 40, 266, 71, 8, "禁用所有警报"},
                        {"static", -1, 42, 287, 72, 8, "Diffuse Lights Prefix : "},
                        {"edit", 1004, 116, 285, 80, 12, ""},
                        {"static", -1, 42, 307, 64, 8, "Spec Lights Prefix : "},
                        {"edit", 1000, 116, 305, 80, 12, ""},
                        {"static", -1, 42, 327, 67, 8, "Alpha Lights Prefix : "},
                        {"edit", 1010, 116, 325, 80, 12, ""},
                        {"button", 2, 58, 350, 60, 20, "取消"},
                        {"button", 1, 134, 350, 60, 20, "确定"},
                    });
  ASSERT_EQ(t.items.size(), 18u);
  EXPECT_EQ(t.items[1].style & BS_TYPEMASK, uint32_t(BS_GROUPBOX));
  EXPECT_EQ(t.items[8].style & BS_TYPEMASK, uint32_t(BS_AUTOCHECKBOX));
  EXPECT_EQ(t.items[9].style & BS_TYPEMASK, uint32_t(BS_AUTOCHECKBOX));
  for (size_t edit : {11u, 13u, 15u}) {
    EXPECT_TRUE(t.items[edit].style & WS_BORDER);
    EXPECT_TRUE(t.items[edit].style & ES_AUTOHSCROLL);
  }
  EXPECT_EQ(t.items[16].style & BS_TYPEMASK, uint32_t(BS_PUSHBUTTON));
  EXPECT_EQ(t.items[17].style & BS_TYPEMASK, uint32_t(BS_PUSHBUTTON));
}

TEST(DialogTemplates, ThreeAlerts) {
  struct Alert {
    int id, height;
    std::vector<std::string> lines;
    int first_line_y;
    std::string box;
    int box_y, button_y;
  };
  const std::vector<Alert> alerts = {
      {IDD_PASS_ALERT,
       140,
       {"When using a 32-bit position pass from a", "3D software package make sure to select",
        "Preserve RGB from interpret footage options.", "For traditional depth passes modify the",
        "Map Adjustment parameter."},
       16,
       " 别在提示我此消息",
       83,
       100},
      {IDD_RENDER_MODE_ALERT,
       125,
       {"When using one of the 2D Render Modes", "It is necessary to set a Reference Camera",
        "Which will be used to calculate", "A proper relight."},
       15,
       "别在提示我此消息",
       72,
       88},
      {IDD_PIXEL_PERSPECTIVE_ALERT,
       125,
       {"Pixel Perspective changes pixel size according",
        "To camera distance. Use it to make an object",
        "Appear solid as camera perspective changes.",
        "Fill transform parameters for a 1:1 size ratio."},
       15,
       "别在提示我此消息",
       72,
       88},
  };
  for (const Alert& a : alerts) {
    SCOPED_TRACE("dialog " + std::to_string(a.id));
    DialogTemplate t = PluginDialog(a.id);
    EXPECT_EQ(t.cx, 250);
    EXPECT_EQ(t.cy, a.height);
    EXPECT_EQ(Utf16ToUtf8(t.title), "警告!");
    ExpectModalCentredFrame(t, "Ms Shell Dlg");
    ASSERT_EQ(t.items.size(), a.lines.size() + 3);
    EXPECT_EQ(t.items[0].id, IDC_ALERT_PICTURE);
    EXPECT_EQ(t.items[0].x, 23);
    EXPECT_EQ(t.items[0].y, 14);
    EXPECT_EQ(t.items[0].cx, 43);
    EXPECT_EQ(t.items[0].cy, 39);
    EXPECT_EQ(t.items[0].title.ordinal, std::optional<uint16_t>(IDB_ALERT));
    for (size_t i = 0; i < a.lines.size(); ++i) {
      const DialogItemTemplate& line = t.items[1 + i];
      EXPECT_EQ(line.className(), "static");
      EXPECT_EQ(line.style & SS_TYPEMASK, uint32_t(SS_LEFT));
      EXPECT_EQ(line.x, 80);
      EXPECT_EQ(line.y, a.first_line_y + 13 * int(i));
      EXPECT_EQ(Utf16ToUtf8(line.title.text), a.lines[i]);
    }
    const DialogItemTemplate& box = t.items[a.lines.size() + 1];
    EXPECT_EQ(box.id, 1004);
    EXPECT_EQ(box.style & BS_TYPEMASK, uint32_t(BS_AUTOCHECKBOX));
    EXPECT_EQ(Utf16ToUtf8(box.title.text), a.box);
    EXPECT_EQ(box.x, 81);
    EXPECT_EQ(box.y, a.box_y);
    EXPECT_EQ(box.cx, 137);
    EXPECT_EQ(box.cy, 8);
    const DialogItemTemplate& button = t.items[a.lines.size() + 2];
    EXPECT_EQ(button.id, IDOK);
    EXPECT_EQ(button.style & BS_TYPEMASK, uint32_t(BS_DEFPUSHBUTTON));
    EXPECT_EQ(Utf16ToUtf8(button.title.text), "关闭窗口");
    EXPECT_EQ(button.x, 88);
    EXPECT_EQ(button.y, a.button_y);
    EXPECT_EQ(button.cx, 70);
    EXPECT_EQ(button.cy, 26);
    for (const auto& item : t.items) EXPECT_NE(item.id, IDCANCEL);  // no Cancel button
  }
}

TEST(DialogTemplates, CameraPicker) {
  DialogTemplate t = PluginDialog(IDD_CAMERA_PICKER);
  EXPECT_EQ(t.cx, 265);
  EXPECT_EQ(t.cy, 140);
  EXPECT_EQ(Utf16ToUtf8(t.title), "链接参考摄像机");
  ExpectModalCentredFrame(t, "Ms Shell Dlg");
  ExpectControls(t, {
                        {"static", -1, 21, 17, 45, 42, "", 109},
                        {"static", -1, 85, 18, 160, 8, "此操作将放置一个表达式链接参考给摄像机"},
                        {"static", -1, 85, 31, 149, 8, ""},
                        {"static", -1, 85, 44, 154, 8, "从下面下拉菜单中选择。"},
                        {"combobox", 1001, 84, 63, 92, 25, ""},
                        {"button", 2, 66, 97, 60, 20, "取消"},
                        {"button", 1, 142, 97, 60, 20, "确定"},
                    });
  ASSERT_EQ(t.items.size(), 7u);
  const uint32_t combo = t.items[4].style;
  EXPECT_EQ(combo & 0x3, uint32_t(CBS_DROPDOWN));  // a drop-down list with an edit field
  EXPECT_TRUE(combo & CBS_HASSTRINGS);
  EXPECT_FALSE(combo & CBS_SORT);  // positions are indices into the caller's names
}

// A classic template: style, extended style, count, frame, menu, class, caption, font; then
// each item on a 4-byte boundary with a 16-bit ID.
TEST(DialogTemplates, ClassicLayoutAndDamage) {
  std::vector<uint8_t> b;
  auto u16 = [&](uint16_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); };
  auto u32 = [&](uint32_t v) { u16(uint16_t(v)), u16(uint16_t(v >> 16)); };
  auto str = [&](const std::u16string& s) {
    for (char16_t c : s) u16(c);
    u16(0);
  };
  auto align = [&] {
    while (b.size() % 4) b.push_back(0);
  };
  u32(WS_POPUP | DS_SETFONT), u32(0), u16(2);
  u16(1), u16(2), u16(100), u16(50);
  u16(0), u16(0), str(u"Hi");
  u16(9), str(u"Tahoma");
  align();
  u32(WS_CHILD | BS_AUTOCHECKBOX), u32(0), u16(5), u16(6), u16(40), u16(10), u16(0xFFFF);
  u16(0xFFFF), u16(0x0080), str(u"Tick"), u16(0);
  align();
  u32(WS_CHILD), u32(0), u16(7), u16(8), u16(30), u16(12), u16(1234);
  str(u"MyClass"), u16(0xFFFF), u16(77), u16(2), u16(0xABCD);

  auto t = mf::platform::ParseDialogTemplate(b.data(), b.size());
  ASSERT_TRUE(t.has_value());
  EXPECT_FALSE(t->extended);
  EXPECT_EQ(t->x, 1);
  EXPECT_EQ(t->cx, 100);
  EXPECT_EQ(Utf16ToUtf8(t->title), "Hi");
  EXPECT_EQ(t->point_size, 9);
  EXPECT_EQ(Utf16ToUtf8(t->typeface), "Tahoma");
  ASSERT_EQ(t->items.size(), 2u);
  EXPECT_EQ(t->items[0].id, -1);  // 0xFFFF in 16 bits is "no ID"
  EXPECT_EQ(t->items[0].className(), "button");
  EXPECT_EQ(Utf16ToUtf8(t->items[0].title.text), "Tick");
  EXPECT_EQ(t->items[1].id, 1234);
  EXPECT_EQ(t->items[1].className(), "myclass");
  EXPECT_EQ(t->items[1].title.ordinal, std::optional<uint16_t>(77));
  EXPECT_EQ(t->items[1].creation_data, (std::vector<uint8_t>{0xCD, 0xAB}));

  // Cut anywhere, the template is refused rather than read past its end.
  for (size_t cut = 0; cut < b.size(); ++cut)
    EXPECT_FALSE(mf::platform::ParseDialogTemplate(b.data(), cut).has_value()) << cut;
  // A count of items larger than what follows.
  std::vector<uint8_t> more = b;
  more[8] = 3;
  EXPECT_FALSE(mf::platform::ParseDialogTemplate(more.data(), more.size()).has_value());
}

}  // namespace
