#include "ui/CameraLink.h"

#include <cstdlib>

#include "AE_CompSuites.h"
#include "entry/Globals.h"
#include "entry/SuiteHandler.h"
#include "params/ParamIndex.h"
#include "resources/resource.h"
#include "ui/HostWindow.h"

namespace mf {
namespace {

constexpr const char* kNoCameras = "No cameras are available in timeline.";
constexpr const char* kCaption = "Motefield";
constexpr const char* kExpressionPrefix = "thisComp.layer(\"";

// The four linked sliders, in the order they are linked, with the expression suffix and the
// size of the buffer the expression is built in.
struct LinkedSlider {
  PF_ParamIndex index;
  const char* suffix;
  int buffer;
};
constexpr LinkedSlider kLinkedSliders[] = {
    {REFERENCE_CAMERA_POSITION_X, "\").transform.position[0];\n", 80},
    {REFERENCE_CAMERA_POSITION_Y, "\").transform.position[1];\n", 80},
    {REFERENCE_CAMERA_POSITION_Z, "\").transform.position[2];\n", 80},
    {REFERENCE_CAMERA_ZOOM, "\").zoom;\n", 64},
};
constexpr int kLinkedCount = 4;

// The name buffers of one link, released on every path.
class CameraNames {
 public:
  ~CameraNames() {
    if (names_) {
      for (int i = 0; i < count_; ++i) std::free(names_[i]);
      std::free(names_);
    }
  }
  bool allocate(int count) {
    names_ = static_cast<char**>(std::calloc(count, sizeof(char*)));
    if (!names_) return false;
    count_ = count;
    for (int i = 0; i < count; ++i) {
      names_[i] = static_cast<char*>(std::calloc(kCameraNameBuffer, 1));
      if (!names_[i]) return false;
    }
    return true;
  }
  char** names() { return names_; }
  int count() const { return count_; }

 private:
  char** names_ = nullptr;
  int count_ = 0;
};

bool IsCamera(const AEGP_LayerSuite5* layers, AEGP_LayerH layer, PF_Err* err) {
  AEGP_ObjectType type = AEGP_ObjectType_NONE;
  if (!*err) *err = layers->AEGP_GetLayerObjectType(layer, &type);
  return !*err && type == AEGP_ObjectType_CAMERA;
}

}  // namespace

PF_Err LinkReferenceCamera(PF_InData* in_data, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
  SuiteHandler suites(in_data->pica_basicP);
  HWND owner = nullptr;
  PF_Err err = GetMainWindow(suites, &owner);
  const auto* pf_interface =
      suites.get<AEGP_PFInterfaceSuite1>(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1);
  AEGP_LayerH effect_layer = nullptr;
  if (!err) err = pf_interface->AEGP_GetEffectLayer(in_data->effect_ref, &effect_layer);
  if (err || !effect_layer) return err;

  const auto* layers = suites.get<AEGP_LayerSuite5>(kAEGPLayerSuite, kAEGPLayerSuiteVersion5);
  AEGP_CompH comp = nullptr;
  A_long num_layers = 0;
  err = layers->AEGP_GetLayerParentComp(effect_layer, &comp);
  if (!err) err = layers->AEGP_GetCompNumLayers(comp, &num_layers);

  int count = 0;
  for (A_long i = 0; i < num_layers && !err; ++i) {
    AEGP_LayerH layer = nullptr;
    err = layers->AEGP_GetCompLayerByIndex(comp, i, &layer);
    if (!err && layer && IsCamera(layers, layer, &err)) ++count;
  }
  if (count > kMaxOfferedCameras) count = kMaxOfferedCameras;
  if (count == 0) {
    MessageBoxA(owner, kNoCameras, kCaption, MB_ICONASTERISK);
    return err;
  }

  CameraNames names;
  if (!names.allocate(count)) return PF_Err_OUT_OF_MEMORY;
  int collected = 0;
  for (A_long i = 0; i < num_layers && collected < count && !err; ++i) {
    AEGP_LayerH layer = nullptr;
    err = layers->AEGP_GetCompLayerByIndex(comp, i, &layer);
    if (!err && layer && IsCamera(layers, layer, &err)) {
      err = layers->AEGP_GetLayerName(layer, names.names()[collected], nullptr);
      // However long the host's name, the buffer ends in a terminator.
      names.names()[collected][kCameraNameBuffer - 1] = '\0';
      ++collected;
    }
  }
  if (err) return err;

  CameraChoice choice{0, count, names.names()};
  const INT_PTR chosen =
      DialogBoxParamA(g_module_handle, MAKEINTRESOURCEA(IDD_CAMERA_PICKER), owner, CameraPickerProc,
                      reinterpret_cast<LPARAM>(&choice));
  if (chosen < 0 || chosen >= count) return err;

  if (!in_data->global_data || !*in_data->global_data) return PF_Err_INTERNAL_STRUCT_DAMAGED;
  const AEGP_PluginID plugin_id = static_cast<GlobalData*>(*in_data->global_data)->plugin_id;
  // Both suites are had before the effect reference: a suite that cannot be had throws, and
  // would leave the reference with the host.
  const auto* streams = suites.get<AEGP_StreamSuite2>(kAEGPStreamSuite, kAEGPStreamSuiteVersion2);
  const auto* effects = suites.get<AEGP_EffectSuite2>(kAEGPEffectSuite, kAEGPEffectSuiteVersion2);
  AEGP_EffectRefH effect = nullptr;
  err = pf_interface->AEGP_GetNewEffectForEffect(plugin_id, in_data->effect_ref, &effect);

  char expressions[kLinkedCount][80] = {};
  for (int i = 0; i < kLinkedCount; ++i) {
    in_data->utils->ansi.sprintf(expressions[i], "%s%s%s", kExpressionPrefix, names.names()[chosen],
                                 kLinkedSliders[i].suffix);
  }

  AEGP_StreamRefH stream[kLinkedCount] = {};
  if (effect) {
    for (int i = 0; i < kLinkedCount && !err; ++i) {
      err = streams->AEGP_GetNewEffectStreamByIndex(plugin_id, effect, kLinkedSliders[i].index,
                                                    &stream[i]);
    }
  }
  for (int i = 0; i < kLinkedCount && !err; ++i) {
    if (!stream[i]) continue;  // a slider the host has no stream for is left unlinked
    err = streams->AEGP_SetExpression(plugin_id, stream[i], expressions[i]);
    if (!err) err = streams->AEGP_SetExpressionState(plugin_id, stream[i], 1);
  }

  if (effect) {
    PF_Err dispose = effects->AEGP_DisposeEffect(effect);
    if (!err) err = dispose;
  }
  for (int i = 0; i < kLinkedCount; ++i) {
    if (!stream[i]) continue;
    PF_Err dispose = streams->AEGP_DisposeStream(stream[i]);
    if (!err) err = dispose;
  }
  return err;
}

INT_PTR CameraPickerProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    const auto* choice = reinterpret_cast<const CameraChoice*>(lparam);
    HWND list = GetDlgItem(dialog, IDC_CAMERA_LIST);
    for (A_long i = 0; i < choice->count; ++i) {
      SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice->names[i]));
    }
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(choice->count - 1), 0);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wparam)) {
    case IDOK:
      // Text typed into the list's edit field is no selection: the list reports -1.
      EndDialog(dialog, SendMessageA(GetDlgItem(dialog, IDC_CAMERA_LIST), CB_GETCURSEL, 0, 0));
      break;
    case IDCANCEL:
      EndDialog(dialog, -1);
      break;
    default:
      break;
  }
  return TRUE;
}

}  // namespace mf
