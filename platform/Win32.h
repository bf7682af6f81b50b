// The Win32 user-interface calls the plug-in makes. On Windows these are the system's own; on
// other systems the platform UI layer implements them over the plug-in's compiled resources and
// a pluggable "user" that answers dialogs (see PlatformUser.h).
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else

#include <cstdint>

typedef int BOOL;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int32_t LONG;  // 32 bits, as on Windows: BITMAPINFOHEADER is 40 bytes
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;

struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HBITMAP__;
typedef HBITMAP__* HBITMAP;
struct HDC__;
typedef HDC__* HDC;
typedef void* HGDIOBJ;

typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

struct HRSRC__;
typedef HRSRC__* HRSRC;
typedef void* HGLOBAL;

#define TRUE 1
#define FALSE 0

#define MAKEINTRESOURCEA(i) ((LPSTR)((uintptr_t)((WORD)(i))))
#define IS_INTRESOURCE(p) ((((uintptr_t)(p)) >> 16) == 0)
#define LOWORD(l) ((WORD)(((uintptr_t)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((uintptr_t)(l)) >> 16) & 0xffff))
#define MAKELONG(a, b) \
  ((LONG)(((WORD)(((uintptr_t)(a)) & 0xffff)) | ((DWORD)((WORD)(((uintptr_t)(b)) & 0xffff))) << 16))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))

// Predefined resource types
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_RCDATA MAKEINTRESOURCEA(10)

// Message boxes
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNO 0x00000004L
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_APPLMODAL 0x00000000L
#define MB_SYSTEMMODAL 0x00001000L
#define MB_TASKMODAL 0x00002000L

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// Window messages used by the dialogs
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_CLOSE 0x0010
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define BN_CLICKED 0
#define EN_CHANGE 0x0300
#define CBN_SELCHANGE 1
#define CBN_EDITCHANGE 5
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1

#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define BST_INDETERMINATE 0x0002

// Window and control styles found in the dialog templates
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_EX_DLGMODALFRAME 0x00000001L

#define DS_SETFONT 0x0040L
#define DS_MODALFRAME 0x0080L
#define DS_FIXEDSYS 0x0008L
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)
#define DS_CENTER 0x0800L

#define BS_PUSHBUTTON 0x0000L
#define BS_DEFPUSHBUTTON 0x0001L
#define BS_CHECKBOX 0x0002L
#define BS_AUTOCHECKBOX 0x0003L
#define BS_RADIOBUTTON 0x0004L
#define BS_3STATE 0x0005L
#define BS_AUTO3STATE 0x0006L
#define BS_GROUPBOX 0x0007L
#define BS_AUTORADIOBUTTON 0x0009L
#define BS_TYPEMASK 0x000FL

#define SS_LEFT 0x0000L
#define SS_BITMAP 0x000EL
#define SS_TYPEMASK 0x001FL
#define SS_CENTERIMAGE 0x0200L
#define SS_SUNKEN 0x1000L

#define ES_AUTOHSCROLL 0x0080L

#define CBS_SIMPLE 0x0001L
#define CBS_DROPDOWN 0x0002L
#define CBS_DROPDOWNLIST 0x0003L
#define CBS_SORT 0x0100L
#define CBS_HASSTRINGS 0x0200L

#define CB_ADDSTRING 0x0143
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_GETLBTEXTLEN 0x0149
#define CB_RESETCONTENT 0x014B
#define CB_SETCURSEL 0x014E
#define CB_OKAY 0
#define CB_ERR (-1)

// Bitmaps
#define BI_RGB 0L
#define DIB_RGB_COLORS 0

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "the header as stored in bitmap files");

#if defined(MOTEFIELD_PLATFORM_BUILD)
#define MF_PLATFORM_API extern "C" __attribute__((visibility("default")))
#else
#define MF_PLATFORM_API extern "C"
#endif

MF_PLATFORM_API int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
MF_PLATFORM_API INT_PTR DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                                        DLGPROC lpDialogFunc, LPARAM dwInitParam);
MF_PLATFORM_API BOOL EndDialog(HWND hDlg, INT_PTR nResult);
MF_PLATFORM_API HWND GetDlgItem(HWND hDlg, int nIDDlgItem);
MF_PLATFORM_API int GetDlgCtrlID(HWND hWnd);
MF_PLATFORM_API UINT GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax);
MF_PLATFORM_API BOOL SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString);
MF_PLATFORM_API int GetWindowTextLengthA(HWND hWnd);
MF_PLATFORM_API UINT IsDlgButtonChecked(HWND hDlg, int nIDButton);
MF_PLATFORM_API BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck);
MF_PLATFORM_API LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
MF_PLATFORM_API HBITMAP LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName);
MF_PLATFORM_API HDC CreateCompatibleDC(HDC hdc);
MF_PLATFORM_API int GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, LPVOID lpvBits,
                              BITMAPINFO* lpbmi, UINT usage);
MF_PLATFORM_API BOOL DeleteObject(HGDIOBJ ho);
MF_PLATFORM_API BOOL DeleteDC(HDC hdc);

// Resources of a module (on this system, a ModuleImage: see ModuleImage.h)
MF_PLATFORM_API HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
MF_PLATFORM_API HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo);
MF_PLATFORM_API LPVOID LockResource(HGLOBAL hResData);
MF_PLATFORM_API DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo);

#endif  // _WIN32
