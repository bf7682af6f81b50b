// A person at the screen of the Windows tests: a second thread that watches the test thread's
// top-level dialogs (modal dialogs and message boxes, window class "#32770"), notes what each
// shows, and acts on it as a script says, with the same messages a person's mouse and keyboard
// produce (BM_CLICK on buttons, text set in edit fields, Esc, the close box). A dialog with no
// script left gets Esc.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace mf::wintest {

struct SeenControl {
  int id = 0;
  std::string window_class;  // as registered: "Button", "Static", "Edit", "ComboBox"
  std::string text;          // UTF-8
  LONG style = 0;
  bool checked = false;  // check boxes
};

// One dialog as it looked when it had appeared.
struct SeenDialog {
  std::string caption;  // UTF-8
  bool owned = false;   // it has an owner window
  std::vector<SeenControl> controls;
  const SeenControl* control(int id) const;
  // The texts of the static controls, top to bottom as created.
  std::vector<std::string> staticTexts() const;
};

// The dialog being acted on; valid during the script only.
class OpenDialog {
 public:
  explicit OpenDialog(HWND window) : window_(window) {}
  HWND window() const { return window_; }
  std::string text(int id) const;
  bool isChecked(int id) const;
  void click(int id);                          // BM_CLICK on a button or check box
  void type(int id, const std::string& text);  // replaces an edit field's text
  // The combo box's list and selection; typeInCombo sets the text of its edit field.
  std::vector<std::string> comboItems(int id) const;
  int comboSelection(int id) const;
  void typeInCombo(int id, const std::string& text);
  void pressEscape();
  void closeBox();  // the caption's close button
  // A picture of the dialog as drawn, into folder/name.bmp, when pictures are asked for (the
  // MOTEFIELD_DIALOG_PICTURES environment variable names the folder).
  void picture(const std::string& name) const;

 private:
  HWND window_;
};

class ScreenPerson {
 public:
  using Script = std::function<void(OpenDialog&)>;

  // Watches the dialogs of the thread that makes the person.
  ScreenPerson();
  ~ScreenPerson();
  ScreenPerson(const ScreenPerson&) = delete;
  ScreenPerson& operator=(const ScreenPerson&) = delete;

  void act(Script script);
  // Everything seen so far, oldest first; forget() starts the list again.
  std::vector<SeenDialog> seen() const;
  void forget();
  size_t scriptsLeft() const;

 private:
  void watch();
  void handle(HWND dialog);

  const DWORD ui_thread_;
  mutable std::mutex mutex_;
  std::deque<Script> scripts_;
  std::vector<SeenDialog> seen_;
  std::set<HWND> handled_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The text of a window (UTF-8).
std::string WindowText(HWND window);

}  // namespace mf::wintest
