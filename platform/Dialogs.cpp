#include "Dialogs.h"

#include <algorithm>
#include <cstring>
#include <strings.h>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "DialogTemplate.h"
#include "PlatformUser.h"
#include "ResourceImage.h"
#include "TextEncoding.h"

namespace mf::platform {

// An HWND is the address of one of these; the table of live windows tells a stale or foreign
// handle from a live one, so that calls on it fail as they do on Windows instead of crashing.
struct Window {
  enum class Type { Dialog, Control } type;
  explicit Window(Type t) : type(t) {}
};

struct Control : Window {
  Control() : Window(Type::Control) {}
  DialogState* dialog = nullptr;
  ControlInfo info;
};

struct DialogState : Window {
  DialogState() : Window(Type::Dialog) {}
  std::optional<int> resource;
  std::string caption;
  DLGPROC procedure = nullptr;
  HWND owner = nullptr;
  LPARAM init_param = 0;
  std::vector<std::unique_ptr<Control>> controls;
  bool ended = false;
  INT_PTR result = 0;
};

namespace {

std::mutex g_windows_mutex;
std::unordered_set<const Window*> g_windows;

Window* LiveWindow(HWND hwnd) {
  std::lock_guard lock(g_windows_mutex);
  auto* window = reinterpret_cast<Window*>(hwnd);
  return g_windows.count(window) ? window : nullptr;
}

DialogState* LiveDialog(HWND hwnd) {
  Window* window = LiveWindow(hwnd);
  return window && window->type == Window::Type::Dialog ? static_cast<DialogState*>(window)
                                                        : nullptr;
}

Control* LiveControl(HWND hwnd) {
  Window* window = LiveWindow(hwnd);
  return window && window->type == Window::Type::Control ? static_cast<Control*>(window) : nullptr;
}

HWND Handle(Window* window) {
  return reinterpret_cast<HWND>(window);
}

Control* FindControl(DialogState& dialog, int id) {
  for (auto& control : dialog.controls)
    if (control->info.id == id) return control.get();
  return nullptr;
}

Control* FindDialogControl(HWND hDlg, int id) {
  DialogState* dialog = LiveDialog(hDlg);
  return dialog ? FindControl(*dialog, id) : nullptr;
}

ControlKind KindOf(const std::string& class_name, uint32_t style) {
  if (class_name == "button") {
    switch (style & BS_TYPEMASK) {
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON:
        return ControlKind::PushButton;
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
        return ControlKind::CheckBox;
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        return ControlKind::RadioButton;
      case BS_GROUPBOX:
        return ControlKind::GroupBox;
      default:
        return ControlKind::Other;
    }
  }
  if (class_name == "static") {
    const uint32_t type = style & SS_TYPEMASK;
    return (type == SS_BITMAP || type == 0x3 /* SS_ICON */) ? ControlKind::Picture
                                                            : ControlKind::Text;
  }
  if (class_name == "edit") return ControlKind::Edit;
  if (class_name == "combobox") return ControlKind::ComboBox;
  if (class_name == "listbox") return ControlKind::ListBox;
  return ControlKind::Other;
}

bool ComboHasEdit(const ControlInfo& info) {
  const uint32_t type = info.style & 0x3;
  return type == CBS_SIMPLE || type == CBS_DROPDOWN;
}

// Copies 8-bit text out as the A calls do: at most max - 1 bytes and a terminator, never half
// of a double-byte character. Returns the bytes copied, without the terminator.
int CopyOut(const std::string& gbk, char* buffer, size_t max) {
  if (buffer == nullptr || max == 0) return 0;
  const size_t n = GbkPrefixLength(gbk, max - 1);
  std::memcpy(buffer, gbk.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

INT_PTR SendToProcedure(DialogState& dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (dialog.procedure == nullptr) return FALSE;
  return dialog.procedure(Handle(&dialog), message, wParam, lParam);
}

void Notify(Control& control, WORD code) {
  SendToProcedure(*control.dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(control.info.id), code),
                  reinterpret_cast<LPARAM>(Handle(&control)));
}

void SetText(Control& control, std::string utf8) {
  control.info.text = std::move(utf8);
  if (control.info.kind == ControlKind::Edit) Notify(control, EN_CHANGE);
}

// Radio buttons of one group: from the nearest control at or before it with WS_GROUP to the
// next control with WS_GROUP.
void CheckRadioInGroup(DialogState& dialog, Control& chosen) {
  auto& controls = dialog.controls;
  auto it = std::find_if(controls.begin(), controls.end(),
                         [&](const auto& c) { return c.get() == &chosen; });
  auto first = it;
  while (first != controls.begin() && !((*first)->info.style & WS_GROUP)) --first;
  for (auto c = first; c != controls.end(); ++c) {
    if (c != first && ((*c)->info.style & WS_GROUP)) break;
    if ((*c)->info.kind == ControlKind::RadioButton &&
        ((*c)->info.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
      (*c)->info.check = BST_UNCHECKED;
  }
  chosen.info.check = BST_CHECKED;
}

LRESULT ComboMessage(Control& control, UINT message, WPARAM wParam, LPARAM lParam) {
  ControlInfo& info = control.info;
  const size_t count = info.items.size();
  switch (message) {
    case CB_ADDSTRING: {
      if (lParam == 0) return CB_ERR;
      std::string item = GbkToUtf8(reinterpret_cast<const char*>(lParam));
      size_t at = count;
      if (info.style & CBS_SORT) {
        at = static_cast<size_t>(std::upper_bound(info.items.begin(), info.items.end(), item,
                                                  [](const std::string& a, const std::string& b) {
                                                    return strcasecmp(a.c_str(), b.c_str()) < 0;
                                                  }) -
                                 info.items.begin());
        if (info.selection >= static_cast<int>(at)) ++info.selection;
      }
      info.items.insert(info.items.begin() + static_cast<ptrdiff_t>(at), std::move(item));
      return static_cast<LRESULT>(at);
    }
    case CB_GETCOUNT:
      return static_cast<LRESULT>(count);
    case CB_GETCURSEL:
      return info.selection;
    case CB_SETCURSEL:
      if (wParam >= count) {  // includes (WPARAM)-1
        info.selection = -1;
        if (ComboHasEdit(info)) info.text.clear();
        return CB_ERR;
      }
      info.selection = static_cast<int>(wParam);
      info.text = info.items[wParam];
      return info.selection;
    case CB_GETLBTEXT: {
      if (wParam >= count || lParam == 0) return CB_ERR;
      std::string gbk = Utf8ToGbk(info.items[wParam]);
      std::memcpy(reinterpret_cast<char*>(lParam), gbk.c_str(), gbk.size() + 1);
      return static_cast<LRESULT>(gbk.size());
    }
    case CB_GETLBTEXTLEN:
      if (wParam >= count) return CB_ERR;
      return static_cast<LRESULT>(Utf8ToGbk(info.items[wParam]).size());
    case CB_RESETCONTENT:
      info.items.clear();
      info.selection = -1;
      info.text.clear();
      return CB_OKAY;
    default:
      return 0;
  }
}

LRESULT ControlMessage(Control& control, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT:
      SetText(control, lParam ? GbkToUtf8(reinterpret_cast<const char*>(lParam)) : std::string());
      return TRUE;
    case WM_GETTEXT:
      return CopyOut(Utf8ToGbk(control.info.text), reinterpret_cast<char*>(lParam), wParam);
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(Utf8ToGbk(control.info.text).size());
    case BM_GETCHECK:
      return control.info.class_name == "button" ? control.info.check : 0;
    case BM_SETCHECK:
      if (control.info.class_name == "button") control.info.check = static_cast<unsigned>(wParam);
      return 0;
    default:
      if (control.info.kind == ControlKind::ComboBox)
        return ComboMessage(control, message, wParam, lParam);
      return 0;
  }
}

std::unique_ptr<DialogState> BuildDialog(const DialogTemplate& tmpl) {
  auto dialog = std::make_unique<DialogState>();
  dialog->caption = Utf16ToUtf8(tmpl.title);
  for (const DialogItemTemplate& item : tmpl.items) {
    auto control = std::make_unique<Control>();
    control->dialog = dialog.get();
    ControlInfo& info = control->info;
    info.id = item.id;
    info.class_name = item.className();
    info.style = item.style;
    info.kind = KindOf(info.class_name, item.style);
    info.x = item.x, info.y = item.y, info.width = item.cx, info.height = item.cy;
    info.enabled = (item.style & WS_DISABLED) == 0;
    info.is_default = info.class_name == "button" && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    if (item.title.ordinal) {
      if (info.kind == ControlKind::Picture) info.image = *item.title.ordinal;
    } else {
      info.text = Utf16ToUtf8(item.title.text);
    }
    dialog->controls.push_back(std::move(control));
  }
  return dialog;
}

// Registers the dialog's windows for as long as it is on the screen.
class Registration {
 public:
  explicit Registration(DialogState& dialog) : dialog_(dialog) {
    std::lock_guard lock(g_windows_mutex);
    g_windows.insert(&dialog_);
    for (auto& control : dialog_.controls) g_windows.insert(control.get());
  }
  ~Registration() {
    std::lock_guard lock(g_windows_mutex);
    g_windows.erase(&dialog_);
    for (auto& control : dialog_.controls) g_windows.erase(control.get());
  }
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;

 private:
  DialogState& dialog_;
};

}  // namespace

// ----------------------------------------------------------------------------------------------
// DialogSession
// ----------------------------------------------------------------------------------------------

std::optional<int> DialogSession::resource() const {
  return state_.resource;
}
std::string DialogSession::caption() const {
  return state_.caption;
}
HWND DialogSession::window() const {
  return Handle(&state_);
}
HWND DialogSession::owner() const {
  return state_.owner;
}
LPARAM DialogSession::initParam() const {
  return state_.init_param;
}

std::vector<ControlInfo> DialogSession::controls() const {
  std::vector<ControlInfo> out;
  for (const auto& control : state_.controls) out.push_back(control->info);
  return out;
}

std::optional<ControlInfo> DialogSession::control(int id) const {
  if (Control* c = FindControl(state_, id)) return c->info;
  return std::nullopt;
}

std::string DialogSession::text(int id) const {
  Control* c = FindControl(state_, id);
  return c ? c->info.text : std::string();
}

bool DialogSession::isChecked(int id) const {
  Control* c = FindControl(state_, id);
  return c && c->info.check != BST_UNCHECKED;
}

std::vector<std::string> DialogSession::comboItems(int id) const {
  Control* c = FindControl(state_, id);
  return c ? c->info.items : std::vector<std::string>();
}

int DialogSession::comboSelection(int id) const {
  Control* c = FindControl(state_, id);
  return c ? c->info.selection : -1;
}

bool DialogSession::isOpen() const {
  return !state_.ended;
}

std::optional<INT_PTR> DialogSession::result() const {
  if (!state_.ended) return std::nullopt;
  return state_.result;
}

bool DialogSession::click(int id) {
  Control* c = FindControl(state_, id);
  if (state_.ended || c == nullptr || !c->info.enabled) return false;
  ControlInfo& info = c->info;
  if (info.kind != ControlKind::PushButton && info.kind != ControlKind::CheckBox &&
      info.kind != ControlKind::RadioButton)
    return false;
  switch (info.style & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
      info.check = info.check == BST_UNCHECKED ? BST_CHECKED : BST_UNCHECKED;
      break;
    case BS_AUTO3STATE:
      info.check = (info.check + 1) % 3;
      break;
    case BS_AUTORADIOBUTTON:
      CheckRadioInGroup(state_, *c);
      break;
    default:
      break;
  }
  Notify(*c, BN_CLICKED);
  return true;
}

bool DialogSession::setChecked(int id, bool checked) {
  Control* c = FindControl(state_, id);
  if (state_.ended || c == nullptr || c->info.kind != ControlKind::CheckBox) return false;
  if ((c->info.check == BST_CHECKED) != checked && !click(id)) return false;
  return (c->info.check == BST_CHECKED) == checked;
}

bool DialogSession::type(int id, std::string_view utf8) {
  Control* c = FindControl(state_, id);
  if (state_.ended || c == nullptr || !c->info.enabled) return false;
  if (c->info.kind == ControlKind::Edit) {
    if (c->info.style & 0x0800 /* ES_READONLY */) return false;
    SetText(*c, std::string(utf8));
    return true;
  }
  if (c->info.kind == ControlKind::ComboBox && ComboHasEdit(c->info)) {
    c->info.text = std::string(utf8);
    c->info.selection = -1;
    Notify(*c, CBN_EDITCHANGE);
    return true;
  }
  return false;
}

bool DialogSession::pick(int id, int index) {
  Control* c = FindControl(state_, id);
  if (state_.ended || c == nullptr || !c->info.enabled || c->info.kind != ControlKind::ComboBox)
    return false;
  if (index < 0 || index >= static_cast<int>(c->info.items.size())) return false;
  ComboMessage(*c, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  Notify(*c, CBN_SELCHANGE);
  return true;
}

bool DialogSession::pick(int id, std::string_view utf8_item) {
  Control* c = FindControl(state_, id);
  if (c == nullptr) return false;
  auto& items = c->info.items;
  auto it = std::find(items.begin(), items.end(), utf8_item);
  if (it == items.end()) return false;
  return pick(id, static_cast<int>(it - items.begin()));
}

bool DialogSession::pressEnter() {
  if (state_.ended) return false;
  int id = IDOK;
  HWND button = nullptr;
  for (auto& control : state_.controls) {
    if (control->info.is_default) {
      if (!control->info.enabled) return false;
      id = control->info.id;
      button = Handle(control.get());
      break;
    }
  }
  if (button == nullptr)
    if (Control* ok = FindControl(state_, IDOK)) button = Handle(ok);
  SendToProcedure(state_, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                  reinterpret_cast<LPARAM>(button));
  return true;
}

bool DialogSession::pressEscape() {
  if (state_.ended) return false;
  Control* cancel = FindControl(state_, IDCANCEL);
  SendToProcedure(state_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                  reinterpret_cast<LPARAM>(cancel ? Handle(cancel) : nullptr));
  return true;
}

bool DialogSession::close() {
  if (state_.ended) return false;
  if (!SendToProcedure(state_, WM_CLOSE, 0, 0) && !state_.ended)
    SendToProcedure(state_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return true;
}

}  // namespace mf::platform

// ----------------------------------------------------------------------------------------------
// The Win32 calls
// ----------------------------------------------------------------------------------------------

using mf::platform::Control;
using mf::platform::DialogState;

MF_PLATFORM_API INT_PTR DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                                        DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  using namespace mf::platform;
  if (lpTemplateName == nullptr || lpDialogFunc == nullptr) return -1;
  auto name = ResourceId::FromA(lpTemplateName);
  if (!name) return -1;
  auto entry = FindModuleResource(hInstance, ResourceId(kResourceTypeDialog), *name);
  if (!entry) return -1;
  auto tmpl = ParseDialogTemplate(entry->data, entry->size);
  if (!tmpl) return -1;

  std::unique_ptr<DialogState> dialog = BuildDialog(*tmpl);
  if (name->isNumber()) dialog->resource = name->number();
  dialog->procedure = lpDialogFunc;
  dialog->owner = hWndParent;
  dialog->init_param = dwInitParam;
  Registration registration(*dialog);

  // wParam of WM_INITDIALOG: the control that gets the focus, the first tab stop.
  HWND focus = nullptr;
  for (auto& control : dialog->controls) {
    if ((control->info.style & WS_TABSTOP) && control->info.enabled) {
      focus = Handle(control.get());
      break;
    }
  }
  SendToProcedure(*dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), dwInitParam);

  DialogSession session(*dialog);
  if (!dialog->ended) {
    try {
      CurrentUser()->runDialog(session);
    } catch (...) {
      // A script that fails leaves the person gone from the screen; handled below like any
      // dialog left open.
    }
  }
  if (!dialog->ended) session.pressEscape();
  return dialog->ended ? dialog->result : -1;
}

MF_PLATFORM_API BOOL EndDialog(HWND hDlg, INT_PTR nResult) {
  DialogState* dialog = mf::platform::LiveDialog(hDlg);
  if (dialog == nullptr) return FALSE;
  dialog->ended = true;
  dialog->result = nResult;
  return TRUE;
}

MF_PLATFORM_API HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
  Control* control = mf::platform::FindDialogControl(hDlg, nIDDlgItem);
  return control ? mf::platform::Handle(control) : nullptr;
}

MF_PLATFORM_API int GetDlgCtrlID(HWND hWnd) {
  Control* control = mf::platform::LiveControl(hWnd);
  return control ? control->info.id : 0;
}

MF_PLATFORM_API UINT GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
  if (lpString == nullptr || cchMax <= 0) return 0;
  Control* control = mf::platform::FindDialogControl(hDlg, nIDDlgItem);
  if (control == nullptr) {
    lpString[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(mf::platform::CopyOut(mf::platform::Utf8ToGbk(control->info.text),
                                                 lpString, static_cast<size_t>(cchMax)));
}

MF_PLATFORM_API BOOL SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
  Control* control = mf::platform::FindDialogControl(hDlg, nIDDlgItem);
  if (control == nullptr) return FALSE;
  mf::platform::SetText(*control, lpString ? mf::platform::GbkToUtf8(lpString) : std::string());
  return TRUE;
}

MF_PLATFORM_API int GetWindowTextLengthA(HWND hWnd) {
  if (Control* control = mf::platform::LiveControl(hWnd))
    return static_cast<int>(mf::platform::Utf8ToGbk(control->info.text).size());
  if (DialogState* dialog = mf::platform::LiveDialog(hWnd))
    return static_cast<int>(mf::platform::Utf8ToGbk(dialog->caption).size());
  return 0;
}

MF_PLATFORM_API UINT IsDlgButtonChecked(HWND hDlg, int nIDButton) {
  Control* control = mf::platform::FindDialogControl(hDlg, nIDButton);
  if (control == nullptr || control->info.class_name != "button") return BST_UNCHECKED;
  return control->info.check;
}

MF_PLATFORM_API BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
  Control* control = mf::platform::FindDialogControl(hDlg, nIDButton);
  if (control == nullptr) return FALSE;
  if (control->info.class_name == "button") control->info.check = uCheck;
  return TRUE;
}

MF_PLATFORM_API LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (Control* control = mf::platform::LiveControl(hWnd))
    return mf::platform::ControlMessage(*control, Msg, wParam, lParam);
  if (DialogState* dialog = mf::platform::LiveDialog(hWnd)) {
    LRESULT handled = mf::platform::SendToProcedure(*dialog, Msg, wParam, lParam);
    // What the default dialog procedure does with a close request nobody handled.
    if (Msg == WM_CLOSE && !handled && !dialog->ended)
      mf::platform::SendToProcedure(*dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return handled;
  }
  return 0;
}
