#include "ScreenPerson.h"

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "WindowsSupport.h"

namespace mf::wintest {
namespace {

using namespace std::chrono_literals;

std::string ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return Utf8(name);
}

BOOL CALLBACK CollectDialogs(HWND window, LPARAM out) {
  if (ClassOf(window) == "#32770" && IsWindowVisible(window))
    reinterpret_cast<std::vector<HWND>*>(out)->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectControls(HWND window, LPARAM out) {
  auto* controls = reinterpret_cast<std::vector<SeenControl>*>(out);
  SeenControl c;
  c.id = GetDlgCtrlID(window);
  c.window_class = ClassOf(window);
  c.text = WindowText(window);
  c.style = GetWindowLongW(window, GWL_STYLE);
  if (c.window_class == "Button")
    c.checked = SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
  controls->push_back(c);
  return TRUE;
}

// Writes a 24-bit bottom-up BMP of the bitmap.
void WriteBmp(const std::filesystem::path& file, HDC dc, HBITMAP bitmap, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(size_t(stride) * height);
  GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
  BITMAPFILEHEADER head{};
  head.bfType = 0x4D42;
  head.bfOffBits = sizeof head + sizeof info.bmiHeader;
  head.bfSize = head.bfOffBits + (DWORD)pixels.size();
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&head), sizeof head);
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  out.write(pixels.data(), (std::streamsize)pixels.size());
}

}  // namespace

std::string WindowText(HWND window) {
  const int n = GetWindowTextLengthW(window);
  std::wstring text(n + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), n + 1);
  text.resize(got > 0 ? got : 0);
  return Utf8(text);
}

const SeenControl* SeenDialog::control(int id) const {
  for (const auto& c : controls)
    if (c.id == id) return &c;
  return nullptr;
}

std::vector<std::string> SeenDialog::staticTexts() const {
  std::vector<std::string> out;
  for (const auto& c : controls)
    if (c.window_class == "Static" && !c.text.empty() && (c.style & SS_TYPEMASK) != SS_BITMAP &&
        (c.style & SS_TYPEMASK) != SS_ICON)
      out.push_back(c.text);
  return out;
}

std::string OpenDialog::text(int id) const {
  return WindowText(GetDlgItem(window_, id));
}
bool OpenDialog::isChecked(int id) const {
  return SendMessageW(GetDlgItem(window_, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void OpenDialog::click(int id) {
  SendMessageW(GetDlgItem(window_, id), BM_CLICK, 0, 0);
}
void OpenDialog::type(int id, const std::string& text) {
  SetWindowTextW(GetDlgItem(window_, id), Wide(text).c_str());
}
std::vector<std::string> OpenDialog::comboItems(int id) const {
  HWND combo = GetDlgItem(window_, id);
  std::vector<std::string> items;
  const LRESULT n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    std::wstring item(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) + 1, L'\0');
    const LRESULT got = SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)item.data());
    item.resize(got > 0 ? got : 0);
    items.push_back(Utf8(item));
  }
  return items;
}
int OpenDialog::comboSelection(int id) const {
  return (int)SendMessageW(GetDlgItem(window_, id), CB_GETCURSEL, 0, 0);
}
void OpenDialog::typeInCombo(int id, const std::string& text) {
  // The edit field inside the combo box, as a person's typing reaches it.
  HWND edit = FindWindowExW(GetDlgItem(window_, id), nullptr, L"Edit", nullptr);
  if (!edit) return;
  SendMessageW(edit, EM_SETSEL, 0, -1);
  for (wchar_t c : Wide(text)) SendMessageW(edit, WM_CHAR, c, 1);
}
void OpenDialog::pressEscape() {
  PostMessageW(window_, WM_KEYDOWN, VK_ESCAPE, 0);
}
void OpenDialog::closeBox() {
  PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void OpenDialog::picture(const std::string& name) const {
  const char* folder = std::getenv("MOTEFIELD_DIALOG_PICTURES");
  if (!folder || !*folder) return;
  RECT r{};
  GetWindowRect(window_, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return;
  // The window as it stands on the screen (the X server under Wine).
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  WriteBmp(std::filesystem::path(folder) / (name + ".bmp"), memory, bitmap, width, height);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

ScreenPerson::ScreenPerson() : ui_thread_(GetCurrentThreadId()) {
  thread_ = std::thread([this] { watch(); });
}

ScreenPerson::~ScreenPerson() {
  stop_ = true;
  thread_.join();
}

void ScreenPerson::act(Script script) {
  std::lock_guard<std::mutex> lock(mutex_);
  scripts_.push_back(std::move(script));
}

std::vector<SeenDialog> ScreenPerson::seen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return seen_;
}

void ScreenPerson::forget() {
  std::lock_guard<std::mutex> lock(mutex_);
  seen_.clear();
}

size_t ScreenPerson::scriptsLeft() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return scripts_.size();
}

void ScreenPerson::watch() {
  while (!stop_) {
    std::vector<HWND> dialogs;
    EnumThreadWindows(ui_thread_, CollectDialogs, reinterpret_cast<LPARAM>(&dialogs));
    for (HWND d : dialogs) {
      if (handled_.count(d)) continue;
      handled_.insert(d);
      handle(d);
    }
    // Forget windows that are gone, so that a reused handle is a new dialog.
    for (auto it = handled_.begin(); it != handled_.end();)
      it = IsWindow(*it) ? std::next(it) : handled_.erase(it);
    std::this_thread::sleep_for(20ms);
  }
}

void ScreenPerson::handle(HWND dialog) {
  // Let the dialog finish drawing itself: a message answered by its thread means the modal loop
  // runs, and the paint is flushed before anything is read or pictured.
  std::this_thread::sleep_for(100ms);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  std::this_thread::sleep_for(200ms);

  SeenDialog seen;
  seen.caption = WindowText(dialog);
  seen.owned = GetWindow(dialog, GW_OWNER) != nullptr;
  EnumChildWindows(dialog, CollectControls, reinterpret_cast<LPARAM>(&seen.controls));
  Script script;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.push_back(seen);
    if (!scripts_.empty()) {
      script = std::move(scripts_.front());
      scripts_.pop_front();
    }
  }
  OpenDialog open(dialog);
  if (script) {
    script(open);
  } else {
    open.pressEscape();
  }
  // Wait for it to close; one the script left open gets Esc after a while.
  for (int i = 0; i < 500 && IsWindow(dialog) && IsWindowVisible(dialog); ++i) {
    if (i == 250) open.pressEscape();
    std::this_thread::sleep_for(20ms);
  }
}

}  // namespace mf::wintest
