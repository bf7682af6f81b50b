#include "host/CoreServices.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"
#include "Win32.h"
#include "host/FrameRender.h"
#include "host/Guarded.h"

namespace mf::host {
namespace {

Host& H() {
  return *Host::current();
}

// ---- basic suite -----------------------------------------------------------------------------
SPErr AcquireSuite(const char* name, int32_t version, const void** suite) {
  return H().suites().acquire(name, version, suite);
}
SPErr ReleaseSuite(const char* name, int32_t version) {
  return H().suites().release(name, version);
}
SPBoolean IsEqual(const char* a, const char* b) {
  return a && b && std::strcmp(a, b) == 0;
}
SPErr AllocateBlock(size_t size, void** block) {
  *block = std::malloc(size ? size : 1);
  return *block ? kSPNoError : kSPOutOfMemoryError;
}
SPErr FreeBlock(void* block) {
  std::free(block);
  return kSPNoError;
}
SPErr ReallocateBlock(void* block, size_t size, void** out) {
  *out = std::realloc(block, size ? size : 1);
  return *out ? kSPNoError : kSPOutOfMemoryError;
}
SPErr Undefined() {
  return kSPNoError;
}

// ---- handles ---------------------------------------------------------------------------------
PF_Handle NewHandle(A_HandleSize size) {
  return H().handles().create(size);
}
void* LockHandle(PF_Handle h) {
  return H().handles().lock(h);
}
void UnlockHandle(PF_Handle h) {
  H().handles().unlock(h);
}
void DisposeHandle(PF_Handle h) {
  H().handles().dispose(h);
}
A_HandleSize HandleSize(PF_Handle h) {
  return H().handles().size(h);
}
PF_Err ResizeHandle(A_HandleSize size, PF_Handle* h) {
  return H().handles().resize(size, h);
}

const PF_HandleSuite1 kHandleSuite = {Guarded<NewHandle>,    Guarded<LockHandle>,
                                      Guarded<UnlockHandle>, Guarded<DisposeHandle>,
                                      Guarded<HandleSize>,   Guarded<ResizeHandle>};

// ---- ANSI callbacks --------------------------------------------------------------------------
// The effect formats into return_msg, so output is bounded by that buffer's size.
int Sprintf(A_char* buffer, const A_char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, PF_MAX_EFFECT_MSG_LEN + 1, format, args);
  va_end(args);
  return n;
}
A_char* Strcpy(A_char* dst, const A_char* src) {
  return std::strcpy(dst, src);
}
A_FpLong Atan(A_FpLong x) {
  return std::atan(x);
}
A_FpLong Atan2(A_FpLong y, A_FpLong x) {
  return std::atan2(y, x);
}
A_FpLong Ceil(A_FpLong x) {
  return std::ceil(x);
}
A_FpLong Cos(A_FpLong x) {
  return std::cos(x);
}
A_FpLong Exp(A_FpLong x) {
  return std::exp(x);
}
A_FpLong Fabs(A_FpLong x) {
  return std::fabs(x);
}
A_FpLong Floor(A_FpLong x) {
  return std::floor(x);
}
A_FpLong Fmod(A_FpLong x, A_FpLong y) {
  return std::fmod(x, y);
}
A_FpLong Hypot(A_FpLong x, A_FpLong y) {
  return std::hypot(x, y);
}
A_FpLong Log(A_FpLong x) {
  return std::log(x);
}
A_FpLong Log10(A_FpLong x) {
  return std::log10(x);
}
A_FpLong Pow(A_FpLong x, A_FpLong y) {
  return std::pow(x, y);
}
A_FpLong Sin(A_FpLong x) {
  return std::sin(x);
}
A_FpLong Sqrt(A_FpLong x) {
  return std::sqrt(x);
}
A_FpLong Tan(A_FpLong x) {
  return std::tan(x);
}
A_FpLong Asin(A_FpLong x) {
  return std::asin(x);
}
A_FpLong Acos(A_FpLong x) {
  return std::acos(x);
}

// ---- interaction callbacks -------------------------------------------------------------------
EffectInstance* InstanceOf(PF_ProgPtr ref) {
  return reinterpret_cast<EffectInstance*>(ref);
}

PF_Err AddParam(PF_ProgPtr, PF_ParamIndex index, PF_ParamDef* def) {
  std::vector<PF_ParamDef>* defs = H().registration();
  if (!defs || !def) return PF_Err_BAD_CALLBACK_PARAM;
  PF_ParamDef added = *def;
  // A new float slider starts at its registered default, which the host holds as a float.
  if (added.param_type == PF_Param_FLOAT_SLIDER) added.u.fs_d.value = added.u.fs_d.dephault;
  if (index < 0 || index >= (PF_ParamIndex)defs->size()) {
    defs->push_back(added);
  } else {
    defs->insert(defs->begin() + index, added);
  }
  return PF_Err_NONE;
}

PF_Err RegisterUi(PF_ProgPtr, PF_CustomUIInfo* info) {
  if (info) H().setCustomUi(*info);
  return PF_Err_NONE;
}

PF_Err CheckoutParam(PF_ProgPtr ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                     A_u_long time_scale, PF_ParamDef* param) {
  EffectInstance* instance = InstanceOf(ref);
  if (!instance || !param || index < 0 || index >= (PF_ParamIndex)instance->params.size())
    return PF_Err_BAD_CALLBACK_PARAM;
  return CheckoutParamAt(*instance, index, what_time, time_step, time_scale, param);
}

PF_Err CheckinParam(PF_ProgPtr, PF_ParamDef*) {
  return PF_Err_NONE;
}

PF_Err Abort(PF_ProgPtr) {
  return AbortRequested() ? PF_Interrupt_CANCEL : PF_Err_NONE;
}
PF_Err Progress(PF_ProgPtr, A_long, A_long) {
  return AbortRequested() ? PF_Interrupt_CANCEL : PF_Err_NONE;
}

// ---- PF Effect UI and PF Param Utils suites --------------------------------------------------
PF_Err SetOptionsButtonName(PF_ProgPtr, const A_char* name) {
  H().setOptionsButtonName(name ? name : "");
  return PF_Err_NONE;
}
const PF_EffectUISuite1 kEffectUiSuite = {
    Guarded<SetOptionsButtonName, "pf.PF_SetOptionsButtonName">};

PF_Err UpdateParamUI(PF_ProgPtr ref, PF_ParamIndex index, const PF_ParamDef* def) {
  EffectInstance* instance = InstanceOf(ref);
  if (!instance || !def || index < 0 || index >= (PF_ParamIndex)instance->panel.size())
    return PF_Err_BAD_CALLBACK_PARAM;
  // The panel keeps a copy of what the effect may change (its flags, label and slider range), as
  // the real host does (the guide's "Parameter supervision" section): the definition passed in
  // stays the effect's, and params[] is not touched.
  PF_ParamDef& shown = instance->panel[index];
  shown.ui_flags = def->ui_flags;
  std::memcpy(shown.name, def->name, sizeof(shown.name));
  if (shown.param_type == PF_Param_FLOAT_SLIDER) {
    shown.u.fs_d.slider_min = def->u.fs_d.slider_min;
    shown.u.fs_d.slider_max = def->u.fs_d.slider_max;
  }
  instance->panel_updates.push_back(index);
  return PF_Err_NONE;
}
PF_Err IsIdenticalCheckout(PF_ProgPtr, PF_ParamIndex, A_long, A_long, A_u_long, A_long, A_long,
                           A_u_long, PF_Boolean* identical) {
  if (identical) *identical = 0;
  return PF_Err_NONE;
}
PF_ParamUtilsSuite1 MakeParamUtilsSuite() {
  PF_ParamUtilsSuite1 s{};
  s.PF_UpdateParamUI = Guarded<UpdateParamUI, "pf.PF_UpdateParamUI">;
  s.PF_IsIdenticalCheckout = Guarded<IsIdenticalCheckout>;
  return s;
}
const PF_ParamUtilsSuite1 kParamUtilsSuite = MakeParamUtilsSuite();

// ---- AEGP Utility suite ----------------------------------------------------------------------
constexpr AEGP_PluginID kPluginId = 42;
// Stands for the host's main window in message boxes owned by it.
HWND MainWindow() {
#if defined(_WIN32)
  // Windows refuses to open a dialog over an owner that is not a window: a hidden real one.
  static const HWND window = CreateWindowExA(0, "STATIC", "Motefield host", WS_OVERLAPPEDWINDOW, 0,
                                             0, 320, 200, nullptr, nullptr, nullptr, nullptr);
  return window;
#else
  return reinterpret_cast<HWND>(0x4d41494e);
#endif
}

A_Err ReportInfo(AEGP_PluginID, const A_char* info) {
  MessageRecord r{true, info ? info : "", "Motefield", MB_OK};
  H().showMessage(r);
  return PF_Err_NONE;
}
A_Err DriverVersion(A_short* major, A_short* minor) {
  if (major) *major = H().options().api_version.major;
  if (minor) *minor = H().options().api_version.minor;
  return PF_Err_NONE;
}
A_Err StartQuietErrors(AEGP_ErrReportState*) {
  return PF_Err_NONE;
}
A_Err EndQuietErrors(A_Boolean, AEGP_ErrReportState*) {
  return PF_Err_NONE;
}
A_Err GetLastErrorMessage(A_long size, A_char* text, A_Err* num) {
  if (text && size > 0) text[0] = 0;
  if (num) *num = 0;
  return PF_Err_NONE;
}
A_Err StartUndoGroup(const A_char*) {
  return PF_Err_NONE;
}
A_Err EndUndoGroup() {
  return PF_Err_NONE;
}
A_Err RegisterWithAEGP(AEGP_GlobalRefcon, const A_char*, AEGP_PluginID* id) {
  if (!id) return PF_Err_BAD_CALLBACK_PARAM;
  *id = kPluginId;
  return PF_Err_NONE;
}
A_Err GetMainHWND(void* main_hwnd) {
  if (main_hwnd) *static_cast<HWND*>(main_hwnd) = MainWindow();
  return PF_Err_NONE;
}
A_Err ShowHideAllFloaters(A_Boolean) {
  return PF_Err_NONE;
}

// Versions 7 and 11 are different tables: 11 inserts GetLastErrorMessage after EndQuietErrors.
template <class Suite>
Suite MakeUtilitySuite() {
  Suite s{};
  s.AEGP_ReportInfo = Guarded<ReportInfo, "aegp.ReportInfo">;
  s.AEGP_GetDriverPluginInitFuncVersion = Guarded<DriverVersion>;
  s.AEGP_GetDriverImplementationVersion = Guarded<DriverVersion>;
  s.AEGP_StartQuietErrors = Guarded<StartQuietErrors>;
  s.AEGP_EndQuietErrors = Guarded<EndQuietErrors>;
  s.AEGP_StartUndoGroup = Guarded<StartUndoGroup>;
  s.AEGP_EndUndoGroup = Guarded<EndUndoGroup>;
  s.AEGP_RegisterWithAEGP = Guarded<RegisterWithAEGP, "aegp.RegisterWithAEGP">;
  s.AEGP_GetMainHWND = Guarded<GetMainHWND, "aegp.GetMainHWND">;
  s.AEGP_ShowHideAllFloaters = Guarded<ShowHideAllFloaters>;
  if constexpr (requires { s.AEGP_GetLastErrorMessage; })
    s.AEGP_GetLastErrorMessage = Guarded<GetLastErrorMessage>;
  return s;
}
const AEGP_UtilitySuite3 kUtilitySuite7 = MakeUtilitySuite<AEGP_UtilitySuite3>();
const AEGP_UtilitySuite5 kUtilitySuite11 = MakeUtilitySuite<AEGP_UtilitySuite5>();

// ---- AEGP Persistent Data suite --------------------------------------------------------------
AEGP_PersistentBlobH AppBlob() {
  return reinterpret_cast<AEGP_PersistentBlobH>(&H().preferences());
}
bool IsAppBlob(AEGP_PersistentBlobH blob) {
  return blob && blob == AppBlob();
}

A_Err GetApplicationBlob(AEGP_PersistentBlobH* blob) {
  if (!blob) return PF_Err_BAD_CALLBACK_PARAM;
  *blob = AppBlob();
  return PF_Err_NONE;
}
A_Err DoesKeyExist(AEGP_PersistentBlobH blob, const A_char* section, const A_char* key,
                   A_Boolean* exists) {
  if (!IsAppBlob(blob) || !section || !key || !exists) return PF_Err_BAD_CALLBACK_PARAM;
  *exists = H().preferences().get(section, key).has_value();
  return PF_Err_NONE;
}
A_Err GetString(AEGP_PersistentBlobH blob, const A_char* section, const A_char* key,
                const A_char* fallback, A_u_long size, A_char* buf, A_u_long* actual) {
  if (!IsAppBlob(blob) || !section || !key) return PF_Err_BAD_CALLBACK_PARAM;
  auto value = H().preferences().get(section, key);
  if (!value) {
    if (!fallback) return PF_Err_BAD_CALLBACK_PARAM;  // no such key and no default
    value = std::string(fallback);
  }
  if (actual) *actual = static_cast<A_u_long>(value->size() + 1);
  if (buf && size > 0) {
    size_t n = std::min<size_t>(value->size(), size - 1);
    std::memcpy(buf, value->data(), n);
    buf[n] = '\0';
  }
  return PF_Err_NONE;
}
A_Err SetString(AEGP_PersistentBlobH blob, const A_char* section, const A_char* key,
                const A_char* value) {
  if (!IsAppBlob(blob) || !section || !key || !value) return PF_Err_BAD_CALLBACK_PARAM;
  return H().preferences().set(section, key, value) ? PF_Err_NONE : PF_Err_INTERNAL_STRUCT_DAMAGED;
}
A_Err DeleteEntry(AEGP_PersistentBlobH blob, const A_char* section, const A_char* key) {
  if (!IsAppBlob(blob) || !section || !key) return PF_Err_BAD_CALLBACK_PARAM;
  return H().preferences().erase(section, key) ? PF_Err_NONE : PF_Err_INTERNAL_STRUCT_DAMAGED;
}
A_Err GetLong(AEGP_PersistentBlobH blob, const A_char* section, const A_char* key, A_long fallback,
              A_long* value) {
  if (!IsAppBlob(blob) || !value) return PF_Err_BAD_CALLBACK_PARAM;
  auto text = H().preferences().get(section, key);
  *value = text ? std::atol(text->c_str()) : fallback;
  return PF_Err_NONE;
}
A_Err SetLong(AEGP_PersistentBlobH blob, const A_char* section, const A_char* key, A_long value) {
  if (!IsAppBlob(blob)) return PF_Err_BAD_CALLBACK_PARAM;
  return H().preferences().set(section, key, std::to_string(value))
             ? PF_Err_NONE
             : PF_Err_INTERNAL_STRUCT_DAMAGED;
}

AEGP_PersistentDataSuite3 MakePersistentDataSuite() {
  AEGP_PersistentDataSuite3 s{};
  s.AEGP_GetApplicationBlob = Guarded<GetApplicationBlob, "aegp.GetApplicationBlob">;
  s.AEGP_DoesKeyExist = Guarded<DoesKeyExist, "aegp.DoesKeyExist">;
  s.AEGP_GetString = Guarded<GetString, "aegp.GetString">;
  s.AEGP_SetString = Guarded<SetString, "aegp.SetString">;
  s.AEGP_DeleteEntry = Guarded<DeleteEntry, "aegp.DeleteEntry">;
  s.AEGP_GetLong = Guarded<GetLong>;
  s.AEGP_SetLong = Guarded<SetLong>;
  return s;
}
const AEGP_PersistentDataSuite3 kPersistentDataSuite = MakePersistentDataSuite();

}  // namespace

void InstallCoreServices(Host& host, SPBasicSuite& basic, PF_UtilCallbacks& utils,
                         PF_InteractCallbacks& inter) {
  basic = SPBasicSuite{Guarded<AcquireSuite, "", kSuiteRefused>,
                       Guarded<ReleaseSuite, "", kSuiteRefused>,
                       IsEqual,
                       Guarded<AllocateBlock, "", kSuiteRefused>,
                       Guarded<FreeBlock, "", kSuiteRefused>,
                       Guarded<ReallocateBlock, "", kSuiteRefused>,
                       Guarded<Undefined, "", kSuiteRefused>};

  utils.host_new_handle = Guarded<NewHandle>;
  utils.host_lock_handle = Guarded<LockHandle>;
  utils.host_unlock_handle = Guarded<UnlockHandle>;
  utils.host_dispose_handle = Guarded<DisposeHandle>;
  utils.host_get_handle_size = Guarded<HandleSize>;
  utils.host_resize_handle = Guarded<ResizeHandle>;
  PF_ANSICallbacks& a = utils.ansi;
  a.atan = Atan;
  a.atan2 = Atan2;
  a.ceil = Ceil;
  a.cos = Cos;
  a.exp = Exp;
  a.fabs = Fabs;
  a.floor = Floor;
  a.fmod = Fmod;
  a.hypot = Hypot;
  a.log = Log;
  a.log10 = Log10;
  a.pow = Pow;
  a.sin = Sin;
  a.sqrt = Sqrt;
  a.tan = Tan;
  a.sprintf = Sprintf;
  a.strcpy = Strcpy;
  a.asin = Asin;
  a.acos = Acos;

  inter.checkout_param = Guarded<CheckoutParam, "inter.checkout_param">;
  inter.checkin_param = Guarded<CheckinParam>;
  inter.add_param = Guarded<AddParam, "inter.add_param", kOutOfMemory>;
  inter.abort = Guarded<Abort, "abort", kCancelled>;
  inter.progress = Guarded<Progress, "abort", kCancelled>;
  inter.register_ui = Guarded<RegisterUi, "inter.register_ui">;

  SuiteRegistry& r = host.suites();
  r.add(kPFHandleSuite, kPFHandleSuiteVersion1, &kHandleSuite);
  r.add(kPFEffectUISuite, kPFEffectUISuiteVersion1, &kEffectUiSuite);
  r.add(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1, &kParamUtilsSuite);
  r.add(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion3, &kUtilitySuite7);
  r.add(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion5, &kUtilitySuite11);
  r.add(kAEGPPersistentDataSuite, kAEGPPersistentDataSuiteVersion3, &kPersistentDataSuite);
}

}  // namespace mf::host
