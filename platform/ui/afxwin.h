// The application framework's window side: command targets and message maps, windows,
// controls, menus, dialogs and the application object, on Qt Widgets.
#pragma once

#include "afx.h"
#include "dc.h"
#include "winuser.h"

#include <string>

#define afx_msg

class CCmdTarget;
class CDataExchange;
class CMenu;

typedef LRESULT (*AFX_MSGTHUNK)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode; // WM_COMMAND only: the notification code
    UINT nID;   // WM_COMMAND only: the control or command id
    AFX_MSGTHUNK pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

class CCmdTarget : public CObject {
public:
    // Runs the handler that this class's map, or a base class's, gives for the message;
    // FALSE when there is none.
    BOOL DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

// Thunks that turn a message's parameters into a handler's arguments. Each is instantiated
// with the handler itself, so a handler of the wrong shape does not compile.
namespace afx {
template <class M> struct MemberOf;
template <class C, class R, class... A> struct MemberOf<R (C::*)(A...)> { using type = C; };
template <auto pfn> using ClassOf = typename MemberOf<decltype(pfn)>::type;

template <auto pfn> LRESULT Call_v(CCmdTarget* p, WPARAM, LPARAM) {
    (static_cast<ClassOf<pfn>*>(p)->*pfn)();
    return 0;
}
template <auto pfn> LRESULT Call_vw(CCmdTarget* p, WPARAM wParam, LPARAM) {
    (static_cast<ClassOf<pfn>*>(p)->*pfn)((UINT)wParam);
    return 0;
}
template <auto pfn> LRESULT Call_vwl(CCmdTarget* p, WPARAM wParam, LPARAM lParam) {
    (static_cast<ClassOf<pfn>*>(p)->*pfn)((UINT)wParam, lParam);
    return 0;
}
template <auto pfn> LRESULT Call_vwp(CCmdTarget* p, WPARAM wParam, LPARAM lParam) {
    CPoint point((short)LOWORD(lParam), (short)HIWORD(lParam));
    (static_cast<ClassOf<pfn>*>(p)->*pfn)((UINT)wParam, point);
    return 0;
}
template <auto pfn> LRESULT Call_vdrop(CCmdTarget* p, WPARAM wParam, LPARAM) {
    (static_cast<ClassOf<pfn>*>(p)->*pfn)(reinterpret_cast<HDROP>(wParam));
    return 0;
}
template <auto pfn> LRESULT Call_h(CCmdTarget* p, WPARAM, LPARAM) {
    return (LRESULT)(static_cast<ClassOf<pfn>*>(p)->*pfn)();
}
} // namespace afx

#define DECLARE_MESSAGE_MAP()                                                                      \
protected:                                                                                         \
    static const AFX_MSGMAP* GetThisMessageMap();                                                  \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                            \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                              \
        using ThisClass [[maybe_unused]] = theClass;                                               \
        using TheBaseClass = baseClass;                                                            \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                          \
    { 0, 0, 0, nullptr }                                                                           \
    }                                                                                              \
    ;                                                                                              \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};  \
    return &messageMap;                                                                            \
    }

#define ON_COMMAND(id, memberFxn) {WM_COMMAND, 0, (UINT)(id), &afx::Call_v<memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) {WM_COMMAND, BN_CLICKED, (UINT)(id), &afx::Call_v<memberFxn>},
#define ON_EN_CHANGE(id, memberFxn) {WM_COMMAND, EN_CHANGE, (UINT)(id), &afx::Call_v<memberFxn>},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, &afx::Call_v<&ThisClass::OnPaint>},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, &afx::Call_v<&ThisClass::OnClose>},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, &afx::Call_vw<&ThisClass::OnTimer>},
#define ON_WM_SYSCOMMAND() {WM_SYSCOMMAND, 0, 0, &afx::Call_vwl<&ThisClass::OnSysCommand>},
#define ON_WM_LBUTTONDOWN() {WM_LBUTTONDOWN, 0, 0, &afx::Call_vwp<&ThisClass::OnLButtonDown>},
#define ON_WM_DROPFILES() {WM_DROPFILES, 0, 0, &afx::Call_vdrop<&ThisClass::OnDropFiles>},
#define ON_WM_QUERYDRAGICON() {WM_QUERYDRAGICON, 0, 0, &afx::Call_h<&ThisClass::OnQueryDragIcon>},

// A window: a Qt widget that messages reach through the message map of the object attached
// to it. The widget belongs to the window system; the object only refers to it, and forgets
// it when the widget is destroyed.
class CWnd : public CCmdTarget {
public:
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The object attached to the window, or a temporary one that lives as long as the window.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);
    BOOL Attach(HWND hWndNew);
    HWND Detach();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

    void GetWindowRect(LPRECT lpRect) const;
    void GetClientRect(LPRECT lpRect) const;
    void ScreenToClient(LPRECT lpRect) const;
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
    BOOL KillTimer(UINT_PTR nIDEvent);
    CMenu* GetSystemMenu(BOOL bRevert);
    BOOL IsIconic() const;
    CWnd* GetDlgItem(int nID) const;
    int GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const;
    void SetWindowText(LPCTSTR lpszString);
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    // Whether files dropped from a file manager reach this window as WM_DROPFILES.
    void DragAcceptFiles(BOOL bAccept = TRUE);
    // Of a window that accepts files, a drag that carries none the function takes is refused
    // as it enters; a null function takes any file. A dialog's only, and not on the original
    // platform, which takes any file.
    void DragAcceptFilesIf(DRAGFILEPROC pfnAccepts);

protected:
    // The message being handled, for Default().
    LRESULT Default();

    afx_msg void OnClose();
    afx_msg void OnTimer(UINT nIDEvent);
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
};

// The control classes add nothing to a window; members of these types are attached to a
// dialog's controls by DDX_Control.
class CStatic : public CWnd {};
class CEdit : public CWnd {};
class CButton : public CWnd {};

// A menu: a handle to a pop-up menu that its window owns.
class CMenu : public CObject {
public:
    HMENU m_hMenu = nullptr;

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCTSTR lpszNewItem = nullptr);
};

// Only controls are bound to members; no values are exchanged, so the direction is not kept.
class CDataExchange {
public:
    explicit CDataExchange(CWnd* pDlgWnd) : m_pDlgWnd(pDlgWnd) {}
    CWnd* m_pDlgWnd;
};

// Attaches a member to the dialog's control with that id, once.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

// Converts a rectangle from dialog units to pixels, edge by edge, with the fixed base units
// 6 x 13.
void AfxMapDialogRect(LPRECT lpRect);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Builds the window from the template, runs it modally and destroys it; the id that
    // ended it, or -1 when the window could not be made.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    void MapDialogRect(LPRECT lpRect) const { AfxMapDialogRect(lpRect); }

    virtual BOOL OnInitDialog();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();

    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    int m_nModalResult;
    BOOL m_bEnded;

    DECLARE_MESSAGE_MAP()
};

class CWinApp : public CCmdTarget {
public:
    // Becomes the one application object until it is destroyed. A null name means the
    // executable's base name.
    explicit CWinApp(LPCTSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();

    BOOL Enable3dControls();
    void SetRegistryKey(LPCTSTR lpszRegistryKey);
    // Settings under the registry key and the application's name; an unreadable store gives
    // the default.
    CString GetProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszDefault = nullptr);
    // A null value removes the entry, a null entry the section. FALSE when the store could
    // not be written; the store is then as it was.
    BOOL WriteProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszValue);
    // The settings file: <config>/<registry key>/<application name>.conf.
    std::string GetProfilePath() const;

    afx_msg void OnHelp();

    CWnd* m_pMainWnd = nullptr;

    // What the framework sets up before InitInstance; here that is only the application's
    // name: the executable's base name, unless the constructor was given one. SetRegistryKey
    // calls it too, since the settings file is named after the application.
    void SetCurrentHandles();

private:
    std::string m_strAppName; // empty until named
    std::string m_strRegistryKey;
    int m_nExitCode = 0; // what the message loop ended with
};

CWinApp* AfxGetApp();
void AfxEnableControlContainer();

// The framework's entry point: makes the QApplication (unless one exists), then runs the
// application object. A FALSE InitInstance ends at once with ExitInstance's result.
int AfxWinMain(int argc, char** argv);

// The device context of one WM_PAINT: BeginPaint when made, EndPaint when it goes, so it is
// made on the stack of the paint handler.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps;

protected:
    HWND m_hWnd;
};
