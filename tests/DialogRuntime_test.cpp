// Modal dialogs of the built plug-in run by small dialog procedures written here, with a scripted
// person clicking, typing and choosing. The procedures see the messages, handles and 8-bit (GBK)
// texts that Windows would give them.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ConsoleUser.h"
#include "Dialogs.h"
#include "ElfSection.h"
#include "ModuleImage.h"
#include "PlatformUser.h"
#include "ScriptedUser.h"
#include "Win32.h"
#include "resources/resource.h"

namespace {

using mf::platform::ControlKind;
using mf::platform::DialogSession;
using mf::platform::ModuleImage;
using mf::platform::ScopedUser;
using mf::platform::ScriptedUser;

// "中文" in GBK: 中 is D6 D0, 文 is CE C4.
const char kZhongWenGbk[] = "\xD6\xD0\xCE\xC4";

HINSTANCE Plugin() {
  static const std::vector<uint8_t> bytes =
      mf::platform::ReadElfSection(MOTEFIELD_PLUGIN_PATH, "motefield_rsrc")
          .value_or(std::vector<uint8_t>{});
  static const ModuleImage image{bytes.data(), bytes.size()};
  return mf::platform::ToInstance(&image);
}

// What a procedure saw, one line per event.
std::vector<std::string> g_trace;
HWND g_dialog = nullptr;

std::string Text(HWND dialog, int id) {
  char buffer[64];
  GetDlgItemTextA(dialog, id, buffer, sizeof buffer);
  return buffer;
}

// Options-like procedure: fills a field at start, keeps the two switches exclusive, reports the
// fields on OK.
INT_PTR OptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  g_dialog = dialog;
  if (message == WM_INITDIALOG) {
    g_trace.push_back("init " + std::to_string(lParam) + " focus " +
                      std::to_string(GetDlgCtrlID(reinterpret_cast<HWND>(wParam))));
    SetDlgItemTextA(dialog, IDC_DIFFUSE_PREFIX, kZhongWenGbk);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  const int id = LOWORD(wParam);
  g_trace.push_back("command " + std::to_string(id) + " " + std::to_string(HIWORD(wParam)));
  if (id != IDOK && id != IDCANCEL) {
    EXPECT_EQ(reinterpret_cast<HWND>(lParam), GetDlgItem(dialog, id));  // the control's window
  }
  switch (id) {
    case IDOK:
      g_trace.push_back(
          "ok alpha=" + Text(dialog, IDC_ALPHA_PREFIX) + " alpha length " +
          std::to_string(GetWindowTextLengthA(GetDlgItem(dialog, IDC_ALPHA_PREFIX))) +
          " diffuse length " +
          std::to_string(GetWindowTextLengthA(GetDlgItem(dialog, IDC_DIFFUSE_PREFIX))) + " reset " +
          std::to_string(IsDlgButtonChecked(dialog, IDC_RESET_ALERTS)) + " disable " +
          std::to_string(IsDlgButtonChecked(dialog, IDC_DISABLE_ALERTS)));
      EndDialog(dialog, 1);
      break;
    case IDCANCEL:
      EndDialog(dialog, 2);
      break;
    case IDC_RESET_ALERTS:
      if (IsDlgButtonChecked(dialog, IDC_RESET_ALERTS))
        CheckDlgButton(dialog, IDC_DISABLE_ALERTS, BST_UNCHECKED);
      break;
    case IDC_DISABLE_ALERTS:
      if (IsDlgButtonChecked(dialog, IDC_DISABLE_ALERTS))
        CheckDlgButton(dialog, IDC_RESET_ALERTS, BST_UNCHECKED);
      break;
    default:
      break;
  }
  return TRUE;
}

TEST(DialogRuntime, OptionsDialogDrivenByAPerson) {
  g_trace.clear();
  ScriptedUser person;
  ScopedUser installed(person);
  person.actOnDialog([](DialogSession& d) {
    EXPECT_EQ(d.resource(), std::optional<int>(IDD_OPTIONS));
    EXPECT_EQ(d.text(IDC_DIFFUSE_PREFIX), "中文");  // the procedure's GBK, shown as UTF-8
    EXPECT_EQ(d.control(IDC_OPTIONS_BANNER)->kind, ControlKind::Picture);
    EXPECT_EQ(d.control(IDC_OPTIONS_BANNER)->image, std::optional<int>(IDB_BANNER));
    EXPECT_EQ(d.control(IDC_RESET_ALERTS)->kind, ControlKind::CheckBox);
    EXPECT_FALSE(d.isChecked(IDC_RESET_ALERTS));

    EXPECT_TRUE(d.click(IDC_RESET_ALERTS));
    EXPECT_TRUE(d.isChecked(IDC_RESET_ALERTS));
    EXPECT_TRUE(d.setChecked(IDC_DISABLE_ALERTS, true));  // the procedure unticks reset
    EXPECT_FALSE(d.isChecked(IDC_RESET_ALERTS));
    EXPECT_TRUE(d.setChecked(IDC_DISABLE_ALERTS, true));  // already so: no click
    EXPECT_TRUE(d.type(IDC_ALPHA_PREFIX, "Key"));
    EXPECT_FALSE(d.type(IDC_RESET_ALERTS, "x"));  // not something one types into
    EXPECT_FALSE(d.click(9999));
    EXPECT_TRUE(d.click(IDOK));
    EXPECT_FALSE(d.isOpen());
    EXPECT_FALSE(d.click(IDCANCEL));  // the dialog is gone
  });
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, OptionsProc, 77), 1);
  const std::vector<std::string> expected = {
      "init 77 focus 1008",  // the first tab stop has the focus
      "command 1004 768",    // EN_CHANGE from SetDlgItemTextA on an edit field
      "command 1008 0",      // BN_CLICKED
      "command 1009 0",     "command 1010 768",
      "command 1 0",        "ok alpha=Key alpha length 3 diffuse length 4 reset 0 disable 1",
  };
  EXPECT_EQ(g_trace, expected);
  ASSERT_EQ(person.dialogs().size(), 1u);
  EXPECT_EQ(person.dialogs()[0].result, std::optional<INT_PTR>(1));

  // The dialog's windows are gone with it.
  EXPECT_EQ(GetDlgItem(g_dialog, IDC_ALPHA_PREFIX), nullptr);
  EXPECT_FALSE(EndDialog(g_dialog, 5));
  EXPECT_EQ(SendMessageA(g_dialog, WM_COMMAND, IDOK, 0), 0);
  EXPECT_EQ(Text(g_dialog, IDC_ALPHA_PREFIX), "");
}

TEST(DialogRuntime, EscCloseBoxAndTheDefaultPerson) {
  g_trace.clear();
  // Nobody installed: the default person presses Esc.
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, OptionsProc, 0), 2);
  EXPECT_EQ(g_trace.back(), "command 2 0");

  ScriptedUser person;
  ScopedUser installed(person);
  person.actOnDialog([](DialogSession& d) { EXPECT_TRUE(d.close()); });
  person.actOnDialog([](DialogSession&) {});  // walks away: Esc is pressed for them
  person.actOnDialog([](DialogSession& d) { EXPECT_TRUE(d.pressEnter()); });
  g_trace.clear();
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, OptionsProc, 0), 2);
  EXPECT_EQ(g_trace.back(), "command 2 0");  // WM_CLOSE is not handled, so IDCANCEL follows
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, OptionsProc, 0), 2);
  EXPECT_EQ(person.dialogs()[1].result, std::nullopt);
  // No default push button in the options dialog: Enter is IDOK.
  EXPECT_EQ(DialogBoxParamA(Plugin(), "#101", nullptr, OptionsProc, 0), 1);
}

// Alert-like procedure: every message but WM_COMMAND is unhandled.
INT_PTR AlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wParam) == IDOK)
    EndDialog(dialog,
              100 + static_cast<INT_PTR>(IsDlgButtonChecked(dialog, IDC_ALERT_DONT_REMIND)));
  if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
  return TRUE;
}

TEST(DialogRuntime, AlertsAnswerEnterWithTheirDefaultButton) {
  ScriptedUser person;
  ScopedUser installed(person);
  person.actOnDialog([](DialogSession& d) {
    EXPECT_EQ(d.owner(), reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(d.initParam(), 9);
    EXPECT_EQ(d.caption(), "警告!");
    EXPECT_TRUE(d.control(IDOK)->is_default);
    EXPECT_TRUE(d.click(IDC_ALERT_DONT_REMIND));
    EXPECT_TRUE(d.pressEnter());
  });
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_PASS_ALERT),
                            reinterpret_cast<HWND>(0x1234), AlertProc, 9),
            101);
  person.actOnDialog([](DialogSession& d) {
    EXPECT_TRUE(d.click(IDC_ALERT_DONT_REMIND));
    EXPECT_TRUE(d.click(IDC_ALERT_DONT_REMIND));  // ticked and unticked again
    EXPECT_TRUE(d.click(IDOK));
  });
  EXPECT_EQ(
      DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_RENDER_MODE_ALERT), nullptr, AlertProc, 0),
      100);
  // The default person closes the third with Esc, though it has no Cancel button.
  person.actOnDialog([](DialogSession& d) { EXPECT_FALSE(d.control(IDCANCEL).has_value()); });
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_PIXEL_PERSPECTIVE_ALERT), nullptr,
                            AlertProc, 0),
            IDCANCEL);
  ASSERT_EQ(person.dialogs().size(), 3u);
  EXPECT_EQ(person.dialogs()[0].owner, reinterpret_cast<HWND>(0x1234));
}

// Camera-picker-like procedure: the names come in through lParam, OK ends with the selection.
struct Names {
  std::vector<const char*> names;
};

INT_PTR PickerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND combo = GetDlgItem(dialog, IDC_CAMERA_LIST);
  if (message == WM_INITDIALOG) {
    const auto* names = reinterpret_cast<const Names*>(lParam);
    for (size_t i = 0; i < names->names.size(); ++i)
      EXPECT_EQ(SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names->names[i])),
                LRESULT(i));
    SendMessageA(combo, CB_SETCURSEL, names->names.size() - 1, 0);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wParam) == IDC_CAMERA_LIST)
    g_trace.push_back("combo " + std::to_string(HIWORD(wParam)));
  if (LOWORD(wParam) == IDOK) EndDialog(dialog, SendMessageA(combo, CB_GETCURSEL, 0, 0));
  if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, -1);
  return TRUE;
}

TEST(DialogRuntime, CameraPickerKeepsOrderAndReportsSelection) {
  g_trace.clear();
  Names cameras{{"Camera 1", "Zoom \"tele\"", kZhongWenGbk}};
  ScriptedUser person;
  ScopedUser installed(person);

  person.actOnDialog([](DialogSession& d) {
    EXPECT_EQ(d.caption(), "链接参考摄像机");
    EXPECT_EQ(d.comboItems(IDC_CAMERA_LIST),
              (std::vector<std::string>{"Camera 1", "Zoom \"tele\"", "中文"}));  // not sorted
    EXPECT_EQ(d.comboSelection(IDC_CAMERA_LIST), 2);                             // the last one
    EXPECT_EQ(d.text(IDC_CAMERA_LIST), "中文");
    EXPECT_TRUE(d.click(IDOK));
  });
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_CAMERA_PICKER), nullptr, PickerProc,
                            reinterpret_cast<LPARAM>(&cameras)),
            2);

  person.actOnDialog([](DialogSession& d) {
    EXPECT_TRUE(d.pick(IDC_CAMERA_LIST, std::string_view("Zoom \"tele\"")));
    EXPECT_FALSE(d.pick(IDC_CAMERA_LIST, 3));
    EXPECT_FALSE(d.pick(IDC_CAMERA_LIST, std::string_view("Camera 9")));
    EXPECT_TRUE(d.click(IDOK));
  });
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_CAMERA_PICKER), nullptr, PickerProc,
                            reinterpret_cast<LPARAM>(&cameras)),
            1);
  EXPECT_EQ(g_trace, std::vector<std::string>{"combo 1"});  // CBN_SELCHANGE

  // Typing into the combo box's edit field leaves no selection.
  person.actOnDialog([](DialogSession& d) {
    EXPECT_TRUE(d.type(IDC_CAMERA_LIST, "Camera 1"));
    EXPECT_EQ(d.comboSelection(IDC_CAMERA_LIST), -1);
    EXPECT_TRUE(d.click(IDOK));
  });
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_CAMERA_PICKER), nullptr, PickerProc,
                            reinterpret_cast<LPARAM>(&cameras)),
            -1);
  EXPECT_EQ(g_trace.back(), "combo 5");  // CBN_EDITCHANGE
}

// The combo box messages, on the picker's list, from inside a procedure.
INT_PTR ComboMessagesProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  HWND combo = GetDlgItem(dialog, IDC_CAMERA_LIST);
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a"));
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kZhongWenGbk));
  EXPECT_EQ(SendMessageA(combo, CB_ADDSTRING, 0, 0), CB_ERR);
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXTLEN, 1, 0), 4);  // two GBK characters
  char buffer[16] = {};
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buffer)), 4);
  EXPECT_STREQ(buffer, kZhongWenGbk);
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(buffer)), CB_ERR);
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXTLEN, 2, 0), CB_ERR);
  EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 1, 0), 1);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 5, 0), CB_ERR);  // out of range clears it
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  EXPECT_EQ(SendMessageA(combo, CB_RESETCONTENT, 0, 0), CB_OKAY);
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  // Messages to no window at all.
  EXPECT_EQ(SendMessageA(nullptr, CB_GETCOUNT, 0, 0), 0);

  // Text copied out never ends in half a double-byte character: "a中文" is 61 D6 D0 CE C4.
  SetDlgItemTextA(dialog, IDC_CAMERA_LIST, "a\xD6\xD0\xCE\xC4");
  char small[4];
  EXPECT_EQ(GetDlgItemTextA(dialog, IDC_CAMERA_LIST, small, 4), 3u);  // "a中"
  EXPECT_STREQ(small, "a\xD6\xD0");
  EXPECT_EQ(GetDlgItemTextA(dialog, IDC_CAMERA_LIST, small, 3), 1u);  // only "a" fits whole
  EXPECT_STREQ(small, "a");
  EXPECT_EQ(GetDlgItemTextA(dialog, 4242, small, 4), 0u);
  EXPECT_STREQ(small, "");
  EXPECT_FALSE(SetDlgItemTextA(dialog, 4242, "x"));
  EXPECT_FALSE(CheckDlgButton(dialog, 4242, BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDOK), 0u);
  EXPECT_EQ(GetWindowTextLengthA(dialog), 14);  // the caption, seven GBK characters

  EndDialog(dialog, 42);  // ended while initialising: nobody is asked
  return TRUE;
}

TEST(DialogRuntime, ComboBoxMessagesAndTextLimits) {
  ScriptedUser person;
  ScopedUser installed(person);
  EXPECT_EQ(
      DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_CAMERA_PICKER), nullptr, ComboMessagesProc, 0),
      42);
  EXPECT_TRUE(person.dialogs().empty());
}

INT_PTR StubbornProc(HWND, UINT message, WPARAM, LPARAM) {
  g_trace.push_back(std::to_string(message));
  return message == WM_COMMAND ? TRUE : FALSE;
}

TEST(DialogRuntime, FailuresReturnMinusOneAndNeverCrash) {
  g_trace.clear();
  // Missing resources, a null module, a damaged module, no procedure.
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(999), nullptr, StubbornProc, 0), -1);
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDB_BANNER), nullptr, StubbornProc, 0), -1);
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, StubbornProc, 0), -1);
  const uint8_t junk[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  ModuleImage damaged{junk, sizeof junk};
  EXPECT_EQ(DialogBoxParamA(mf::platform::ToInstance(&damaged), MAKEINTRESOURCEA(IDD_OPTIONS),
                            nullptr, StubbornProc, 0),
            -1);
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, nullptr, 0), -1);
  EXPECT_TRUE(g_trace.empty());

  // A procedure that never ends its dialog does not hang the caller: after the person is done
  // and Esc has gone unanswered, the dialog gives up.
  ScriptedUser person;
  ScopedUser installed(person);
  person.actOnDialog([](DialogSession& d) { EXPECT_TRUE(d.pressEscape()); });
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_PASS_ALERT), nullptr, StubbornProc, 0),
            -1);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"272", "273", "273"}));  // init, Esc, Esc
  // A script that throws is treated like one that walked away.
  person.actOnDialog([](DialogSession&) { throw std::runtime_error("script failed"); });
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, OptionsProc, 0), 2);
}

TEST(DialogRuntime, ConsoleUserDescribesWhatIsShown) {
  std::ostringstream out;
  mf::platform::ConsoleUser console(out);
  ScopedUser installed(console);
  // "错误" in GBK is B4 ED CE F3.
  EXPECT_EQ(MessageBoxA(nullptr, "Invalid Prefix!\nPlease enter a valid prefix string.",
                        "\xB4\xED\xCE\xF3", MB_ICONEXCLAMATION | MB_OK),
            IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, "Go on?", "Motefield", MB_YESNO), IDYES);
  EXPECT_EQ(DialogBoxParamA(Plugin(), MAKEINTRESOURCEA(IDD_PASS_ALERT), nullptr, AlertProc, 0),
            IDCANCEL);
  const std::string text = out.str();
  EXPECT_NE(text.find("[错误] Invalid Prefix!\nPlease enter a valid prefix string. (OK)"),
            std::string::npos);
  EXPECT_NE(text.find("[Motefield] Go on? (Yes)"), std::string::npos);
  EXPECT_NE(text.find("[dialog 102] 警告!"), std::string::npos);
  EXPECT_NE(text.find("[ ]  别在提示我此消息"), std::string::npos);
  EXPECT_NE(text.find("< 关闭窗口 >"), std::string::npos);
}

}  // namespace
