// Identifiers of the plug-in's resources and dialog controls, shared by the resource script and
// the code that opens the dialogs and draws the bitmaps.
#pragma once

// Dialogs
#define IDD_OPTIONS 101
#define IDD_PASS_ALERT 102
#define IDD_PIXEL_PERSPECTIVE_ALERT 104
#define IDD_RENDER_MODE_ALERT 105
#define IDD_CAMERA_PICKER 108

// Bitmaps
#define IDB_ALERT 103
#define IDB_CAMERA 109
#define IDB_BANNER 117
#define IDB_LINK_UP 119
#define IDB_LINK_DOWN 121

// Controls of the three alerts (102, 104, 105)
#define IDC_ALERT_PICTURE 1002
#define IDC_ALERT_DONT_REMIND 1004

// Controls of the options dialog (101)
#define IDC_OPTIONS_BANNER 1003
#define IDC_SPECULAR_PREFIX 1000
#define IDC_DIFFUSE_PREFIX 1004
#define IDC_RESET_ALERTS 1008
#define IDC_DISABLE_ALERTS 1009
#define IDC_ALPHA_PREFIX 1010

// Controls of the camera picker (108)
#define IDC_CAMERA_LIST 1001

// Controls that nothing addresses
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
