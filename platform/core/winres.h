// What a program's resource data is written in: window, dialog and control styles, and the
// shapes of dialog templates, string, icon and version resources. Plain data, so that a
// program's resources need nothing of the window side; the window side builds windows from
// them once the program has handed it its ResourceTable.
#pragma once

#include "wintypes.h"

// The ids of the buttons that end a dialog.
#define IDOK 1
#define IDCANCEL 2

// Window styles.
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_SYSMENU 0x00080000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_EX_APPWINDOW 0x00040000L

// Dialog styles.
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L

// Button styles.
#define BS_PUSHBUTTON 0x0L
#define BS_DEFPUSHBUTTON 0x1L
#define BS_AUTOCHECKBOX 0x3L
#define BS_GROUPBOX 0x7L
#define BS_AUTORADIOBUTTON 0x9L
#define BS_TYPEMASK 0xFL

// Edit styles.
#define ES_LEFT 0x0L
#define ES_AUTOHSCROLL 0x80L

// Static styles.
#define SS_LEFT 0x0L
#define SS_ICON 0x3L
#define SS_BLACKRECT 0x4L
#define SS_BLACKFRAME 0x7L
#define SS_TYPEMASK 0x1FL
#define SS_NOPREFIX 0x80L
#define SS_SUNKEN 0x1000L

#define IDC_STATIC (-1)

// Predefined control classes of a template item.
enum class ControlClass { Button, Edit, Static };

struct DialogItemTemplate {
    ControlClass windowClass;
    int nID; // IDC_STATIC for controls that are never addressed
    LPCTSTR lpszText;
    UINT nIconID; // SS_ICON statics: the icon resource they show
    DWORD dwStyle;
    short x, y, cx, cy; // dialog units
};

struct DialogTemplate {
    UINT nID;
    DWORD dwStyle;
    DWORD dwExStyle;
    short cx, cy; // dialog units
    LPCTSTR lpszTitle;
    LPCTSTR lpszFontFace; // DS_SETFONT: the font the template was laid out for
    WORD wPointSize;
    const DialogItemTemplate* pItems;
    int nItems;
};

// One image of an icon group, as XPM text.
struct IconImage {
    int nSize; // square, in pixels
    const char* const* xpm;
};

struct IconGroup {
    UINT nID;
    const IconImage* pImages;
    int nImages;
};

struct VersionString {
    LPCTSTR lpszName;
    LPCTSTR lpszValue;
};

#define VOS__WINDOWS32 0x00000004L
#define VFT_APP 0x00000001L

struct VersionResource {
    WORD fileVersion[4];
    WORD productVersion[4];
    DWORD dwFileOS;
    DWORD dwFileType;
    LPCTSTR lpszBlock; // language and code page of the string block, e.g. "040904B0"
    const VersionString* pStrings;
    int nStrings;
};

// A program's resources, looked up by their numeric ids; each function gives null when there is
// no such resource. The program hands its table to the window side at start
// (AfxSetResourceTable), as a program hands its module's resources to the framework.
struct ResourceTable {
    const DialogTemplate* (*pfnFindDialog)(UINT nID);
    LPCTSTR (*pfnFindString)(UINT nID);
    const IconGroup* (*pfnFindIconGroup)(UINT nID);
    const VersionResource* (*pfnFindVersion)();
};
