#include "ui/CameraLink.h"

#include <climits>
#include <cstdlib>

#include "AE_CompSuites.h"
#include "support/Globals.h"
#include "support/HostResources.h"
#include "support/SuiteHandler.h"
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

// The composition's cameras in layer order, at most `limit` of them; each is handed to `use`
// with its place among the cameras.
template <typename Use>
PF_Err ForEachCamera(const AEGP_LayerSuite5* layers, AEGP_CompH comp, A_long num_layers, int limit,
                     Use use) {
  PF_Err err = PF_Err_NONE;
  int found = 0;
  for (A_long i = 0; i < num_layers && found < limit && !err; ++i) {
    AEGP_LayerH layer = nullptr;
    err = layers->AEGP_GetCompLayerByIndex(comp, i, &layer);
    if (!err && layer && IsCamera(layers, layer, &err)) err = use(layer, found++);
  }
  return err;
}

// Writes the four expressions naming `camera` on the sliders. Both suites are had before the
// effect reference is made, so that whatever reference is made can be disposed of.
PF_Err WriteLinkExpressions(PF_InData* in_data, SuiteHandler& suites,
                            const AEGP_PFInterfaceSuite1* pf_interface, const char* camera) {
  if (!in_data->global_data || !*in_data->global_data) return PF_Err_INTERNAL_STRUCT_DAMAGED;
  const AEGP_PluginID plugin_id = static_cast<GlobalData*>(*in_data->global_data)->plugin_id;
  const auto* stream_suite =
      suites.get<AEGP_StreamSuite2>(kAEGPStreamSuite, kAEGPStreamSuiteVersion2);
  EffectRef effect(suites.get<AEGP_EffectSuite2>(kAEGPEffectSuite, kAEGPEffectSuiteVersion2));
  PF_Err err =
      pf_interface->AEGP_GetNewEffectForEffect(plugin_id, in_data->effect_ref, effect.out());
  StreamRef streams[kLinkedCount] = {StreamRef(stream_suite), StreamRef(stream_suite),
                                     StreamRef(stream_suite), StreamRef(stream_suite)};
  for (int i = 0; i < kLinkedCount && !err && effect.get(); ++i) {
    err = stream_suite->AEGP_GetNewEffectStreamByIndex(plugin_id, effect.get(),
                                                       kLinkedSliders[i].index, streams[i].out());
  }
  for (int i = 0; i < kLinkedCount && !err; ++i) {
    if (!streams[i].get()) continue;  // a slider the host has no stream for is left unlinked
    char expression[80] = {};
    in_data->utils->ansi.sprintf(expression, "%s%s%s", kExpressionPrefix, camera,
                                 kLinkedSliders[i].suffix);
    err = stream_suite->AEGP_SetExpression(plugin_id, streams[i].get(), expression);
    if (!err) err = stream_suite->AEGP_SetExpressionState(plugin_id, streams[i].get(), 1);
  }
  KeepFirst(err, effect.release());
  for (StreamRef& stream : streams) KeepFirst(err, stream.release());
  return err;
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
  if (!err) {
    err = ForEachCamera(layers, comp, num_layers, INT_MAX, [&](AEGP_LayerH, int) {
      ++count;
      return PF_Err_NONE;
    });
  }
  if (count > kMaxOfferedCameras) count = kMaxOfferedCameras;
  if (count == 0) {
    MessageBoxA(owner, kNoCameras, kCaption, MB_ICONASTERISK);
    return err;
  }

  CameraNames names;
  if (!names.allocate(count)) return PF_Err_OUT_OF_MEMORY;
  err = ForEachCamera(layers, comp, num_layers, count, [&](AEGP_LayerH layer, int k) {
    const PF_Err e = layers->AEGP_GetLayerName(layer, names.names()[k], nullptr);
    // However long the host's name, the buffer ends in a terminator.
    names.names()[k][kCameraNameBuffer - 1] = '\0';
    return e;
  });
  if (err) return err;

  CameraChoice choice{0, count, names.names()};
  const INT_PTR chosen =
      DialogBoxParamA(g_module_handle, MAKEINTRESOURCEA(IDD_CAMERA_PICKER), owner, CameraPickerProc,
                      reinterpret_cast<LPARAM>(&choice));
  if (chosen < 0 || chosen >= count) return err;
  return WriteLinkExpressions(in_data, suites, pf_interface, names.names()[chosen]);
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
