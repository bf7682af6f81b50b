// Process-wide state shared by the interface side of the effect: global setup, the sequence
// commands, the interface handlers and the modal dialogs. The render reads none of it.
#pragma once

#include "AE_Effect.h"
#include "AE_GeneralPlug.h"
#include "SPBasic.h"
#include "Win32.h"

extern HINSTANCE g_module_handle;
extern SPBasicSuite* g_basic_suite;
extern bool g_no_pass_alerts;
extern bool g_no_preview_alerts;
extern bool g_no_pixel_perspective_alerts;
extern bool g_link_button_down;

constexpr int kPrefixBufferSize = 32;
extern char g_alpha_prefix[kPrefixBufferSize];
extern char g_diffuse_prefix[kPrefixBufferSize];
extern char g_specular_prefix[kPrefixBufferSize];

namespace mf {

// Per-load record, kept by the host in out_data->global_data.
struct GlobalData {
  A_u_char valid;
  AEGP_PluginID plugin_id;
};

// The effect's own version, reported to the host and in the property list: 1.0 release 1.
constexpr A_u_long kEffectVersion = PF_VERSION(1, 0, 0, PF_Stage_RELEASE, 1);
static_assert(kEffectVersion == 525825);

constexpr A_long kOutFlags = PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING | PF_OutFlag_I_DO_DIALOG |
                             PF_OutFlag_PIX_INDEPENDENT | PF_OutFlag_CUSTOM_UI |
                             PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_SEND_UPDATE_PARAMS_UI;
static_assert(kOutFlags == 0x06008430);
constexpr A_long kOutFlags2 = PF_OutFlag2_I_USE_3D_CAMERA | PF_OutFlag2_I_USE_3D_LIGHTS |
                              PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG |
                              PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE;
static_assert(kOutFlags2 == 0x140E);

// Message-box style of internal errors: task-modal, exclamation icon, OK button.
constexpr unsigned kErrorBoxStyle = MB_TASKMODAL | MB_ICONEXCLAMATION | MB_OK;
static_assert(kErrorBoxStyle == 0x2030);

// Preference keys of the three alert switches.
constexpr const char* kPrefSection = "Main Pref Section";
constexpr const char* kPrefNoPassAlerts = "motefieldnopassalerts";
constexpr const char* kPrefNoPreviewAlerts = "motefieldnopreviewalerts";
constexpr const char* kPrefNoPixelPerspectiveAlerts = "motefieldnopixperspalerts";

}  // namespace mf
