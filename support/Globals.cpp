#include "support/Globals.h"

HINSTANCE g_module_handle = nullptr;
SPBasicSuite* g_basic_suite = nullptr;
bool g_no_pass_alerts = false;
bool g_no_preview_alerts = false;
bool g_no_pixel_perspective_alerts = false;
bool g_link_button_down = false;

char g_alpha_prefix[kPrefixBufferSize] = {};
char g_diffuse_prefix[kPrefixBufferSize] = {};
char g_specular_prefix[kPrefixBufferSize] = {};
