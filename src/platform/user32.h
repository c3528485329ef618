// The Windows dialog manager functions the dialog framework calls, under
// their Win32 names.
//
// On Windows these are user32's own. Elsewhere there is no dialog manager, so
// the names are only declared here and left undefined in the module: the
// process that loads the module links a stand-in that defines them (see
// standin/user32_standin.h at the top of the tree), just as Windows provides user32.
#pragma once

#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#else

extern "C" {
typedef int BOOL;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef char16_t WCHAR;
typedef const WCHAR* LPCWSTR;
struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;

#define CALLBACK
typedef INT_PTR(CALLBACK* DLGPROC)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the dialog template `templateName` of `instance` modally and returns
// the result given to EndDialog, or -1 when the dialog cannot be shown.
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC procedure,
                        LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL CheckDlgButton(HWND dialog, int controlId, UINT check);
}  // extern "C"

// A resource named by number rather than by text, as Windows encodes it: the
// number in the low word of a pointer that is never dereferenced.
#define MAKEINTRESOURCEW(id) \
  (reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(static_cast<WORD>(id))))
#define IS_INTRESOURCE(name) ((reinterpret_cast<uintptr_t>(name) >> 16) == 0)

constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;

constexpr WORD BN_CLICKED = 0;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
#endif

// The two halves of a WM_COMMAND's wParam: the control id and the
// notification code.
inline WORD CommandId(WPARAM wParam) { return static_cast<WORD>(wParam & 0xFFFF); }
inline WORD CommandCode(WPARAM wParam) { return static_cast<WORD>((wParam >> 16) & 0xFFFF); }
inline WPARAM CommandParam(int controlId, WORD code) {
  return static_cast<WPARAM>(static_cast<WORD>(controlId)) | (static_cast<WPARAM>(code) << 16);
}
