// The window manager's messages, constants, handles and free functions, as far as the viewer
// and its About box use them.
#pragma once

#include "gdi.h"
#include "winres.h"

DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HMENU);
DECLARE_HANDLE(HINSTANCE);
DECLARE_HANDLE(HDROP);
typedef HICON HCURSOR;

#define LOWORD(l) ((WORD)(((DWORD)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD)(l)) >> 16) & 0xffff))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)(((WORD)(l)) | (((DWORD)(WORD)(h)) << 16)))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)(((WORD)(l)) | (((DWORD)(WORD)(h)) << 16)))
#define MAKEINTRESOURCE(i) ((LPCTSTR)(uintptr_t)((WORD)(i)))
#define IS_INTRESOURCE(p) ((((uintptr_t)(p)) >> 16) == 0)

// Messages.
#define WM_NULL 0x0000
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_ICONERASEBKGND 0x0027
#define WM_QUERYDRAGICON 0x0037
#define WM_SETICON 0x0080
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_LBUTTONDOWN 0x0201
#define WM_DROPFILES 0x0233
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_CLICK 0x00F5

// Notification codes of WM_COMMAND.
#define BN_CLICKED 0
#define EN_CHANGE 0x0300

#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001

#define ICON_SMALL 0
#define ICON_BIG 1

// Mouse key states of WM_LBUTTONDOWN.
#define MK_LBUTTON 0x0001

// System commands.
#define SC_MINIMIZE 0xF020
#define SC_CLOSE 0xF060

// Menu item flags.
#define MF_STRING 0x00000000L
#define MF_SEPARATOR 0x00000800L

// Command ids (IDOK and IDCANCEL come with the resource definitions).
#define ID_HELP 0xE146

#define SM_CXICON 11
#define SM_CYICON 12

typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
// Whether a window takes the dropped file at that local path (CWnd::DragAcceptFilesIf).
typedef BOOL (*DRAGFILEPROC)(LPCTSTR lpszPath);

// The context alone: the window has erased what needed it before WM_PAINT, and no paint
// handler asks for the bounds of what it repaints.
struct PAINTSTRUCT {
    HDC hdc;
};

// Delivers a message to a window: through the message map of the object attached to it, or
// straight to the default processing of its kind.
LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Painting is possible only while the window handles WM_PAINT; outside it the context
// draws nothing.
HDC BeginPaint(HWND hWnd, PAINTSTRUCT* lpPaint);
BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint);
BOOL DrawIcon(HDC hDC, int x, int y, HICON hIcon);
int GetSystemMetrics(int nIndex);

// Where the resources come from: the table the program registered, until another replaces it;
// the previous table is returned. With none registered, no template, string, icon or version
// block is found.
const ResourceTable* AfxSetResourceTable(const ResourceTable* pTable);
HINSTANCE AfxGetResourceHandle();
// Icons are shared: a second load returns the same handle, and nothing is freed.
HICON LoadIcon(HINSTANCE hInstance, LPCTSTR lpIconName);
int LoadString(HINSTANCE hInstance, UINT uID, LPTSTR lpBuffer, int cchBufferMax);

// Files dropped on a window that accepts them (CWnd::DragAcceptFiles) arrive as WM_DROPFILES
// with an HDROP in wParam. iFile 0xFFFFFFFF gives the number of files; otherwise the local
// path of file iFile is copied into lpszFile (at most cch - 1 bytes and a terminator, never
// splitting a character) and its length returned; a null lpszFile gives the length alone.
// The handle is good until the message returns.
UINT DragQueryFile(HDROP hDrop, UINT iFile, LPTSTR lpszFile, UINT cch);
// Ends the use of a drop; the window that delivered it releases it.
void DragFinish(HDROP hDrop);
