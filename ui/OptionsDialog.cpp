#include "ui/OptionsDialog.h"

#include <cstring>

#include "support/Globals.h"
#include "support/SuiteHandler.h"
#include "params/SequenceData.h"
#include "resources/resource.h"
#include "ui/AlertPreferences.h"
#include "ui/HostWindow.h"

namespace mf {
namespace {

constexpr const char* kInvalidPrefix = "Invalid Prefix!\nPlease enter a valid prefix string.";
constexpr const char* kErrorCaption = "错误";
// A prefix taken from the dialog: 30 characters and the terminator.
constexpr int kDialogPrefixBuffer = 31;

// The record's three texts, in whichever form the record is in.
struct RecordPrefixes {
  char* alpha = nullptr;
  char* diffuse = nullptr;
  char* specular = nullptr;
};

// Absent (all null) when there is no record, or a live record lacks a text buffer.
RecordPrefixes PrefixesOf(PF_InData* in_data) {
  RecordPrefixes p;
  PF_Handle handle = in_data->sequence_data;
  if (!handle || !HoldsWholeRecord(handle, in_data->utils->host_get_handle_size(handle))) return p;
  auto* bytes = static_cast<A_u_char*>(*handle);
  if (bytes[0] != 0) {
    auto* flat = reinterpret_cast<FlatSequenceData*>(bytes);
    // A stored field need not be terminated; the last byte is kept for the terminator so
    // that every reader below stops inside the field.
    flat->alpha_prefix[kPrefixSize - 1] = '\0';
    flat->diffuse_prefix[kPrefixSize - 1] = '\0';
    flat->specular_prefix[kPrefixSize - 1] = '\0';
    return RecordPrefixes{flat->alpha_prefix, flat->diffuse_prefix, flat->specular_prefix};
  }
  auto* live = reinterpret_cast<SequenceData*>(bytes);
  if (!live->alpha_prefix || !live->diffuse_prefix || !live->specular_prefix) return p;
  return RecordPrefixes{live->alpha_prefix, live->diffuse_prefix, live->specular_prefix};
}

bool Present(const RecordPrefixes& p) {
  return p.alpha && p.diffuse && p.specular;
}

void RestoreBuffers(PF_InData* in_data, const RecordPrefixes& record) {
  auto copy = in_data->utils->ansi.strcpy;
  copy(g_alpha_prefix, record.alpha);
  copy(g_specular_prefix, record.specular);
  copy(g_diffuse_prefix, record.diffuse);
}

bool AnyTwoEqual() {
  return std::strcmp(g_alpha_prefix, g_specular_prefix) == 0 ||
         std::strcmp(g_alpha_prefix, g_diffuse_prefix) == 0 ||
         std::strcmp(g_specular_prefix, g_diffuse_prefix) == 0;
}

int FieldLength(HWND dialog, int id) {
  return GetWindowTextLengthA(GetDlgItem(dialog, id));
}

}  // namespace

PF_Err DoDialog(PF_InData* in_data, PF_OutData* out_data) {
  SuiteHandler suites(in_data->pica_basicP);
  HWND owner = nullptr;
  if (PF_Err err = GetMainWindow(suites, &owner)) return err;
  const RecordPrefixes record = PrefixesOf(in_data);
  if (!Present(record)) return PF_Err_INTERNAL_STRUCT_DAMAGED;

  const INT_PTR result = DialogBoxParamA(g_module_handle, MAKEINTRESOURCEA(IDD_OPTIONS), owner,
                                         OptionsDialogProc, reinterpret_cast<LPARAM>(in_data));
  if (result != IDOK) {
    RestoreBuffers(in_data, record);
    return PF_Err_NONE;
  }
  if (AnyTwoEqual()) {
    // Two roles with one prefix would make the render give one light two roles.
    MessageBoxA(owner, kInvalidPrefix, kErrorCaption, MB_ICONEXCLAMATION | MB_OK);
    RestoreBuffers(in_data, record);
    return PF_Err_NONE;
  }
  auto copy = in_data->utils->ansi.strcpy;
  copy(record.alpha, g_alpha_prefix);
  copy(record.specular, g_specular_prefix);
  copy(record.diffuse, g_diffuse_prefix);
  // Frames made with the old prefixes gave lights the old roles.
  out_data->out_flags |= PF_OutFlag_FORCE_RERENDER;
  return PF_Err_NONE;
}

INT_PTR OptionsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    OptionsDialogInit(dialog, reinterpret_cast<PF_InData*>(lparam));
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wparam)) {
    case IDOK:
      OptionsDialogApply(dialog);
      EndDialog(dialog, IDOK);
      break;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
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

PF_Err OptionsDialogInit(HWND dialog, PF_InData* in_data) {
  const RecordPrefixes record = in_data ? PrefixesOf(in_data) : RecordPrefixes{};
  if (!Present(record)) return PF_Err_INTERNAL_STRUCT_DAMAGED;
  if (record.alpha[0]) SetDlgItemTextA(dialog, IDC_ALPHA_PREFIX, record.alpha);
  if (record.specular[0]) SetDlgItemTextA(dialog, IDC_SPECULAR_PREFIX, record.specular);
  if (record.diffuse[0]) SetDlgItemTextA(dialog, IDC_DIFFUSE_PREFIX, record.diffuse);
  return PF_Err_NONE;
}

PF_Err OptionsDialogApply(HWND dialog) {
  const int alpha_length = FieldLength(dialog, IDC_ALPHA_PREFIX);
  const int specular_length = FieldLength(dialog, IDC_SPECULAR_PREFIX);
  const int diffuse_length = FieldLength(dialog, IDC_DIFFUSE_PREFIX);
  PF_Err err = PF_Err_NONE;
  try {
    SuiteHandler suites(g_basic_suite);
    AlertPreferences prefs(suites);
    bool exists[kAlertCount];
    for (int i = 0; i < kAlertCount; ++i)
      exists[i] = prefs.exists(SwitchOf(static_cast<Alert>(i)).key);

    if (IsDlgButtonChecked(dialog, IDC_RESET_ALERTS)) {
      for (int i = 0; i < kAlertCount; ++i) {
        *SwitchOf(static_cast<Alert>(i)).suppressed = false;
        if (exists[i]) prefs.remove(SwitchOf(static_cast<Alert>(i)).key);
      }
    } else if (IsDlgButtonChecked(dialog, IDC_DISABLE_ALERTS)) {
      for (int i = 0; i < kAlertCount; ++i) {
        *SwitchOf(static_cast<Alert>(i)).suppressed = true;
        prefs.store(SwitchOf(static_cast<Alert>(i)).key);
      }
    }

    // Longer text is cut to its first 30 characters by the size of the copy.
    if (alpha_length > 0)
      GetDlgItemTextA(dialog, IDC_ALPHA_PREFIX, g_alpha_prefix, kDialogPrefixBuffer);
    if (specular_length > 0)
      GetDlgItemTextA(dialog, IDC_SPECULAR_PREFIX, g_specular_prefix, kDialogPrefixBuffer);
    if (diffuse_length > 0)
      GetDlgItemTextA(dialog, IDC_DIFFUSE_PREFIX, g_diffuse_prefix, kDialogPrefixBuffer);
    err = prefs.err();
  } catch (const HostError& thrown) {
    // A dialog procedure answers the dialog, not the host: nothing may leave it as an exception.
    err = thrown.code();
  }
  return err;
}

}  // namespace mf
