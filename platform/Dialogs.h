// Modal dialogs of the stand-in windowing system. DialogBoxParamA builds a dialog and its
// controls from the module's compiled template, lets the dialog procedure initialise it, then
// hands it to the installed User (PlatformUser.h) through a DialogSession: what a person sees
// on the screen and can do with mouse and keyboard, each action reaching the dialog procedure as
// the same messages Windows would send. Texts here are UTF-8; the plug-in's A calls see GBK.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PlatformExport.h"
#include "Win32.h"

namespace mf::platform {

struct DialogState;  // the live dialog, private to the runtime

enum class ControlKind {
  PushButton,
  CheckBox,
  RadioButton,
  GroupBox,
  Text,
  Picture,
  Edit,
  ComboBox,
  ListBox,
  Other
};

struct ControlInfo {
  int id = 0;
  ControlKind kind = ControlKind::Other;
  std::string class_name;  // "button", "edit", "static", "combobox", ...
  uint32_t style = 0;
  int x = 0, y = 0, width = 0, height = 0;  // dialog units, as in the template
  std::string text;                         // caption or field contents, UTF-8
  bool enabled = true;
  bool is_default = false;  // the default push button, pressed by Enter
  unsigned check = BST_UNCHECKED;
  std::optional<int> image;  // bitmap resource of a picture control
  std::vector<std::string> items;
  int selection = -1;  // combo box: index of the selected entry, -1 for none
};

class MF_PLATFORM_CXX DialogSession {
 public:
  explicit DialogSession(DialogState& state) : state_(state) {}

  // --- What is on the screen.
  std::optional<int> resource() const;  // the template's resource number
  std::string caption() const;
  HWND window() const;
  HWND owner() const;        // the parent window handed to DialogBoxParamA
  LPARAM initParam() const;  // the long parameter handed to the procedure at WM_INITDIALOG
  std::vector<ControlInfo> controls() const;  // in template order
  std::optional<ControlInfo> control(int id) const;
  std::string text(int id) const;
  bool isChecked(int id) const;
  std::vector<std::string> comboItems(int id) const;
  int comboSelection(int id) const;
  // False once the dialog procedure has called EndDialog; then result() holds its value.
  bool isOpen() const;
  std::optional<INT_PTR> result() const;

  // --- What the person does. Each returns false, and does nothing, when the dialog is no longer
  // open or the control is missing, disabled or cannot take that action.
  //
  // A button click: an automatic check box or radio button changes its own state first, then the
  // procedure gets WM_COMMAND (ID, BN_CLICKED).
  bool click(int id);
  // Clicks a check box only if its state differs; true when it ends in the state asked for.
  bool setChecked(int id, bool checked);
  // Replaces the text of an edit field (EN_CHANGE) or of a combo box's edit field (the list then
  // has no selection; CBN_EDITCHANGE).
  bool type(int id, std::string_view utf8);
  // Chooses a combo box entry by index or by its text (CB_SETCURSEL, then CBN_SELCHANGE).
  bool pick(int id, int index);
  bool pick(int id, std::string_view utf8_item);
  // Enter: the default push button's command (IDOK when there is none).
  bool pressEnter();
  // Esc: WM_COMMAND IDCANCEL.
  bool pressEscape();
  // The close box: WM_CLOSE; a procedure that does not handle it gets IDCANCEL.
  bool close();

 private:
  DialogState& state_;
};

}  // namespace mf::platform
