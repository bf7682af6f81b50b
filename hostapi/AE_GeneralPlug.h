// "AEGP ..." suites: the host's general plug-in layer (registration, messages, preferences,
// memory). The composition suites (layer, camera, light, stream, effect, PF interface) are in
// AE_CompSuites.h.
#pragma once

#include "AE_Effect.h"

typedef void* AEGP_GlobalRefcon;

struct _AEGP_MemHandle;
typedef _AEGP_MemHandle* AEGP_MemHandle;
typedef A_u_long AEGP_MemSize;
typedef A_long AEGP_MemFlag;
enum {
  AEGP_MemFlag_NONE = 0,
  AEGP_MemFlag_CLEAR = 1,
  AEGP_MemFlag_QUIET = 2,
};

#define kAEGPUtilitySuite "AEGP Utility Suite"
#define kAEGPUtilitySuiteVersion7 7
#define kAEGPUtilitySuiteVersion11 11

typedef void* AEGP_HWND;

// Versions 7 and 11 share their leading members; the effect calls only these.
struct AEGP_UtilitySuite {
  A_Err (*AEGP_ReportInfo)(AEGP_PluginID aegp_plugin_id, const A_char* info_stringZ);
  A_Err (*AEGP_ReportInfoUnicode)(AEGP_PluginID aegp_plugin_id, const A_u_short* info_stringP);
  A_Err (*AEGP_GetDriverPluginInitFuncVersion)(A_short* major_versionPS, A_short* minor_versionPS);
  A_Err (*AEGP_GetDriverImplementationVersion)(A_short* major_versionPS, A_short* minor_versionPS);
  A_Err (*AEGP_StartQuietErrors)(void* err_stateP);
  A_Err (*AEGP_EndQuietErrors)(A_Boolean report_quieted_errorsB, void* err_stateP);
  A_Err (*AEGP_GetLastErrorMessage)(A_long buffer_size, A_char* error_string, A_Err* error_num);
  A_Err (*AEGP_StartUndoGroup)(const A_char* undo_nameZ);
  A_Err (*AEGP_EndUndoGroup)(void);
  A_Err (*AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon global_refcon, const A_char* plugin_nameZ,
                                 AEGP_PluginID* plugin_id);
  A_Err (*AEGP_GetMainHWND)(void* main_hwnd);
  A_Err (*AEGP_ShowHideAllFloaters)(A_Boolean include_tool_palB);
  void* reserved[24];
};

#define kAEGPPersistentDataSuite "AEGP Persistent Data Suite"
#define kAEGPPersistentDataSuiteVersion3 3

struct _AEGP_PersistentBlob;
typedef _AEGP_PersistentBlob* AEGP_PersistentBlobH;

struct AEGP_PersistentDataSuite3 {
  A_Err (*AEGP_GetApplicationBlob)(AEGP_PersistentBlobH* blobPH);
  A_Err (*AEGP_GetNumSections)(AEGP_PersistentBlobH blobH, A_long* num_sectionPL);
  A_Err (*AEGP_GetSectionKeyByIndex)(AEGP_PersistentBlobH blobH, A_long section_index,
                                     A_long max_section_size, A_char* section_keyZ);
  A_Err (*AEGP_DoesKeyExist)(AEGP_PersistentBlobH blobH, const A_char* section_keyZ,
                             const A_char* value_keyZ, A_Boolean* existsPB);
  A_Err (*AEGP_GetNumKeys)(AEGP_PersistentBlobH blobH, const A_char* section_keyZ,
                           A_long* num_keysPL);
  A_Err (*AEGP_GetValueKeyByIndex)(AEGP_PersistentBlobH blobH, const A_char* section_keyZ,
                                   A_long key_index, A_long max_key_size, A_char* value_keyZ);
  A_Err (*AEGP_GetDataHandle)(AEGP_PluginID plugin_id, AEGP_PersistentBlobH blobH,
                              const A_char* section_keyZ, const A_char* value_keyZ,
                              AEGP_MemHandle defaultH0, AEGP_MemHandle* valuePH);
  A_Err (*AEGP_GetData)(AEGP_PersistentBlobH blobH, const A_char* section_keyZ,
                        const A_char* value_keyZ, A_u_long data_sizeLu, const void* defaultP0,
                        void* bufPV);
  // Copies at most buf_sizeLu bytes, NUL included, and reports the stored length plus one.
  A_Err (*AEGP_GetString)(AEGP_PluginID plugin_id, AEGP_PersistentBlobH blobH,
                          const A_char* section_keyZ, const A_char* value_keyZ,
                          const A_char* defaultZ0, A_u_long buf_sizeLu, A_char* bufZ,
                          A_u_long* actual_buf_sizeLu0);
  A_Err (*AEGP_GetLong)(AEGP_PersistentBlobH blobH, const A_char* section_keyZ,
                        const A_char* value_keyZ, A_long defaultL, A_long* valuePL);
  A_Err (*AEGP_GetFpLong)(AEGP_PersistentBlobH blobH, const A_char* section_keyZ,
                          const A_char* value_keyZ, A_FpLong defaultF, A_FpLong* valuePF);
  A_Err (*AEGP_SetDataHandle)(AEGP_PersistentBlobH blobH, const A_char* section_keyZ,
                              const A_char* value_keyZ, const AEGP_MemHandle valueH);
  A_Err (*AEGP_SetData)(AEGP_PersistentBlobH blobH, const A_char* section_keyZ,
                        const A_char* value_keyZ, A_u_long data_sizeLu, const void* dataPV);
  A_Err (*AEGP_SetString)(AEGP_PersistentBlobH blobH, const A_char* section_keyZ,
                          const A_char* value_keyZ, const A_char* strZ);
  A_Err (*AEGP_SetLong)(AEGP_PersistentBlobH blobH, const A_char* section_keyZ,
                        const A_char* value_keyZ, A_long valueL);
  A_Err (*AEGP_SetFpLong)(AEGP_PersistentBlobH blobH, const A_char* section_keyZ,
                          const A_char* value_keyZ, A_FpLong valueF);
  A_Err (*AEGP_DeleteEntry)(AEGP_PersistentBlobH blobH, const A_char* section_keyZ,
                            const A_char* value_keyZ);
  A_Err (*AEGP_GetPrefsDirectory)(AEGP_MemHandle* unicode_pathPH);
};

#define kAEGPMemorySuite "AEGP Memory Suite"
#define kAEGPMemorySuiteVersion1 1

struct AEGP_MemorySuite1 {
  A_Err (*AEGP_NewMemHandle)(AEGP_PluginID plugin_id, const A_char* whatZ, AEGP_MemSize size,
                             AEGP_MemFlag flags, AEGP_MemHandle* memPH);
  A_Err (*AEGP_FreeMemHandle)(AEGP_MemHandle memH);
  A_Err (*AEGP_LockMemHandle)(AEGP_MemHandle memH, void** ptrToPtr);
  A_Err (*AEGP_UnlockMemHandle)(AEGP_MemHandle memH);
  A_Err (*AEGP_GetMemHandleSize)(AEGP_MemHandle memH, AEGP_MemSize* sizeP);
  A_Err (*AEGP_ResizeMemHandle)(const A_char* whatZ, AEGP_MemSize new_size, AEGP_MemHandle memH);
  A_Err (*AEGP_SetMemReportingOn)(A_Boolean turn_OnB);
  A_Err (*AEGP_GetMemStats)(AEGP_PluginID plugin_id, A_long* countPL, A_long* sizePL);
};
