// "AEGP ..." suites: the host's general plug-in layer (registration, messages, preferences,
// memory). The composition suites (layer, camera, light, stream, effect, PF interface) are in
// AE_CompSuites.h.
#pragma once

#include "AE_Effect.h"

struct _AEGP_GlobalRefcon;
typedef _AEGP_GlobalRefcon* AEGP_GlobalRefcon;
struct AEGP_ErrReportState;
struct AEGP_ColorVal;
struct A_Ratio;

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
#define kAEGPUtilitySuiteVersion3 7
#define kAEGPUtilitySuiteVersion5 11

typedef void* AEGP_HWND;

// Versions 7 and 11 are two tables: 11 adds AEGP_GetLastErrorMessage after the quiet-error
// pair, which moves every later slot, and more functions at the end.
struct AEGP_UtilitySuite3 {
  A_Err (*AEGP_ReportInfo)(AEGP_PluginID aegp_plugin_id, const A_char* info_stringZ);
  A_Err (*AEGP_GetDriverPluginInitFuncVersion)(A_short* major_versionPS, A_short* minor_versionPS);
  A_Err (*AEGP_GetDriverImplementationVersion)(A_short* major_versionPS, A_short* minor_versionPS);
  A_Err (*AEGP_StartQuietErrors)(AEGP_ErrReportState* err_stateP);
  A_Err (*AEGP_EndQuietErrors)(A_Boolean report_quieted_errorsB, AEGP_ErrReportState* err_stateP);
  A_Err (*AEGP_StartUndoGroup)(const A_char* undo_nameZ);
  A_Err (*AEGP_EndUndoGroup)(void);
  A_Err (*AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon global_refcon, const A_char* plugin_nameZ,
                                 AEGP_PluginID* plugin_id);
  A_Err (*AEGP_GetMainHWND)(void* main_hwnd);
  A_Err (*AEGP_ShowHideAllFloaters)(A_Boolean include_tool_palB);
  A_Err (*AEGP_PaintPalGetForeColor)(AEGP_ColorVal* fore_colorP);
  A_Err (*AEGP_PaintPalGetBackColor)(AEGP_ColorVal* back_colorP);
  A_Err (*AEGP_PaintPalSetForeColor)(const AEGP_ColorVal* fore_colorP);
  A_Err (*AEGP_PaintPalSetBackColor)(const AEGP_ColorVal* back_colorP);
  A_Err (*AEGP_CharPalGetFillColor)(A_Boolean* is_fill_color_definedPB, AEGP_ColorVal* fill_colorP);
  A_Err (*AEGP_CharPalGetStrokeColor)(A_Boolean* is_stroke_color_definedPB,
                                      AEGP_ColorVal* stroke_colorP);
  A_Err (*AEGP_CharPalSetFillColor)(const AEGP_ColorVal* fill_colorP);
  A_Err (*AEGP_CharPalSetStrokeColor)(const AEGP_ColorVal* stroke_colorP);
  A_Err (*AEGP_CharPalIsFillColorUIFrontmost)(A_Boolean* is_fill_color_selectedPB);
  A_Err (*AEGP_ConvertFpLongToHSFRatio)(A_FpLong numberF, A_Ratio* ratioPR);
  A_Err (*AEGP_ConvertHSFRatioToFpLong)(A_Ratio ratioR, A_FpLong* numberPF);
  A_Err (*AEGP_CauseIdleRoutinesToBeCalled)(void);
  A_Err (*AEGP_GetSuppressInteractiveUI)(A_Boolean* ui_is_suppressedPB);
  A_Err (*AEGP_WriteToOSConsole)(const A_char* textZ);
  A_Err (*AEGP_WriteToDebugLog)(const A_char* subsystemZ, const A_char* event_typeZ,
                                const A_char* infoZ);
};

struct AEGP_UtilitySuite5 {
  A_Err (*AEGP_ReportInfo)(AEGP_PluginID aegp_plugin_id, const A_char* info_stringZ);
  A_Err (*AEGP_GetDriverPluginInitFuncVersion)(A_short* major_versionPS, A_short* minor_versionPS);
  A_Err (*AEGP_GetDriverImplementationVersion)(A_short* major_versionPS, A_short* minor_versionPS);
  A_Err (*AEGP_StartQuietErrors)(AEGP_ErrReportState* err_stateP);
  A_Err (*AEGP_EndQuietErrors)(A_Boolean report_quieted_errorsB, AEGP_ErrReportState* err_stateP);
  A_Err (*AEGP_GetLastErrorMessage)(A_long buffer_size, A_char* error_string, A_Err* error_num);
  A_Err (*AEGP_StartUndoGroup)(const A_char* undo_nameZ);
  A_Err (*AEGP_EndUndoGroup)(void);
  A_Err (*AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon global_refcon, const A_char* plugin_nameZ,
                                 AEGP_PluginID* plugin_id);
  A_Err (*AEGP_GetMainHWND)(void* main_hwnd);
  A_Err (*AEGP_ShowHideAllFloaters)(A_Boolean include_tool_palB);
  A_Err (*AEGP_PaintPalGetForeColor)(AEGP_ColorVal* fore_colorP);
  A_Err (*AEGP_PaintPalGetBackColor)(AEGP_ColorVal* back_colorP);
  A_Err (*AEGP_PaintPalSetForeColor)(const AEGP_ColorVal* fore_colorP);
  A_Err (*AEGP_PaintPalSetBackColor)(const AEGP_ColorVal* back_colorP);
  A_Err (*AEGP_CharPalGetFillColor)(A_Boolean* is_fill_color_definedPB, AEGP_ColorVal* fill_colorP);
  A_Err (*AEGP_CharPalGetStrokeColor)(A_Boolean* is_stroke_color_definedPB,
                                      AEGP_ColorVal* stroke_colorP);
  A_Err (*AEGP_CharPalSetFillColor)(const AEGP_ColorVal* fill_colorP);
  A_Err (*AEGP_CharPalSetStrokeColor)(const AEGP_ColorVal* stroke_colorP);
  A_Err (*AEGP_CharPalIsFillColorUIFrontmost)(A_Boolean* is_fill_color_selectedPB);
  A_Err (*AEGP_ConvertFpLongToHSFRatio)(A_FpLong numberF, A_Ratio* ratioPR);
  A_Err (*AEGP_ConvertHSFRatioToFpLong)(A_Ratio ratioR, A_FpLong* numberPF);
  A_Err (*AEGP_CauseIdleRoutinesToBeCalled)(void);
  A_Err (*AEGP_GetSuppressInteractiveUI)(A_Boolean* ui_is_suppressedPB);
  A_Err (*AEGP_WriteToOSConsole)(const A_char* textZ);
  A_Err (*AEGP_WriteToDebugLog)(const A_char* subsystemZ, const A_char* event_typeZ,
                                const A_char* infoZ);
  A_Err (*AEGP_IsScriptingAvailable)(A_Boolean* outAvailablePB);
  A_Err (*AEGP_ExecuteScript)(AEGP_PluginID inPlugin_id, const A_char* inScriptZ,
                              const A_Boolean platform_encodingB, AEGP_MemHandle* outResultPH0,
                              AEGP_MemHandle* outErrorStringPH0);
  A_Err (*AEGP_HostIsActivated)(A_Boolean* is_activatedPB);
  A_Err (*AEGP_GetPluginPlatformRef)(AEGP_PluginID plug_id, void** plat_refPPV);
  A_Err (*AEGP_UpdateFontList)(void);
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
                        const A_char* value_keyZ, A_u_long data_sizeLu, const void* defaultPV0,
                        void* bufPV);
  A_Err (*AEGP_GetString)(AEGP_PersistentBlobH blobH, const A_char* section_keyZ,
                          const A_char* value_keyZ, const A_char* defaultZ0, A_u_long buf_sizeLu,
                          A_char* bufZ, A_u_long* actual_buf_sizeLu0);
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
  A_Err (*AEGP_LockMemHandle)(AEGP_MemHandle memH, void** ptr_to_ptr);
  A_Err (*AEGP_UnlockMemHandle)(AEGP_MemHandle memH);
  A_Err (*AEGP_GetMemHandleSize)(AEGP_MemHandle memH, AEGP_MemSize* sizeP);
  A_Err (*AEGP_ResizeMemHandle)(const A_char* whatZ, AEGP_MemSize new_size, AEGP_MemHandle memH);
  A_Err (*AEGP_SetMemReportingOn)(A_Boolean turn_OnB);
  A_Err (*AEGP_GetMemStats)(AEGP_PluginID plugin_id, A_long* countPL, A_long* sizePL);
};
