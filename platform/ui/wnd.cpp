#include "afxqt.h"
#include "dialog_widget.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <cstring>
#include <memory>
#include <unordered_map>
#include <utility>

namespace {

struct CurrentMessage {
    UINT m_message = WM_NULL;
    WPARAM m_wParam = 0;
    LPARAM m_lParam = 0;
};

CurrentMessage g_current;

// Handles of widgets that are still alive, each with the object attached to it (null while
// none is). A handle whose widget is gone finds nothing, so a message sent to it is dropped,
// as the original platform drops it, instead of reaching freed memory.
std::unordered_map<HWND, CWnd*>& LiveWindows() {
    static std::unordered_map<HWND, CWnd*> live;
    return live;
}

// First used after LiveWindows, so it goes first at exit, while the destructors of the objects
// it still holds can look their windows up.
std::unordered_map<HWND, std::unique_ptr<CWnd>>& TemporaryMap() {
    static std::unordered_map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}

// Forgets everything attached to a window when its widget is destroyed.
void ForgetWindow(HWND hWnd) {
    if (CWnd* pWnd = CWnd::FromHandlePermanent(hWnd)) {
        pWnd->Detach();
        if (AfxGetApp() && AfxGetApp()->m_pMainWnd == pWnd)
            AfxGetApp()->m_pMainWnd = nullptr;
    }
    TemporaryMap().erase(hWnd);
    LiveWindows().erase(hWnd);
}

QPoint TopLeftOnScreen(const QWidget* widget) {
    return widget->mapToGlobal(QPoint(0, 0));
}

} // namespace

QWidget* AfxWidgetFromHandle(HWND hWnd) {
    return LiveWindows().count(hWnd) ? reinterpret_cast<QWidget*>(hWnd) : nullptr;
}

HWND AfxHandleFromWidget(QWidget* widget) {
    HWND hWnd = reinterpret_cast<HWND>(widget);
    if (widget && LiveWindows().try_emplace(hWnd, nullptr).second)
        QObject::connect(widget, &QObject::destroyed, [hWnd] { ForgetWindow(hWnd); });
    return hWnd;
}

namespace ui {

DialogWidget* AsDialog(HWND hWnd) {
    return dynamic_cast<DialogWidget*>(AfxWidgetFromHandle(hWnd));
}

int ControlId(const QWidget* widget) {
    return widget ? widget->property("afxId").toInt() : 0;
}

void SetControlId(QWidget* widget, int nID) {
    widget->setProperty("afxId", nID);
}

int CopyText(const QString& text, LPTSTR lpBuffer, int cchMax) {
    if (!lpBuffer || cchMax <= 0)
        return 0;
    QByteArray bytes = ToAfx(text);
    qsizetype n = std::min<qsizetype>(bytes.size(), cchMax - 1);
    while (n > 0 && n < bytes.size() && ((unsigned char)bytes[n] & 0xC0) == 0x80)
        --n;
    memcpy(lpBuffer, bytes.constData(), (size_t)n);
    lpBuffer[n] = '\0';
    return (int)n;
}

QString StripMnemonics(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

QString ControlText(const QWidget* widget) {
    if (auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title();
    if (widget->isWindow())
        return widget->windowTitle();
    return widget->property("afxText").toString();
}

void SetControlText(QWidget* widget, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
        NotifyParent(widget, EN_CHANGE);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    } else if (widget->isWindow()) {
        widget->setWindowTitle(text);
    } else {
        widget->setProperty("afxText", text);
        if (auto* label = qobject_cast<QLabel*>(widget))
            label->setText((widget->property("afxStyle").toUInt() & SS_NOPREFIX)
                               ? text
                               : StripMnemonics(text));
    }
}

void NotifyParent(QWidget* control, UINT nCode) {
    QWidget* parent = control->parentWidget();
    if (!parent)
        return;
    ::SendMessage(AfxHandleFromWidget(parent), WM_COMMAND, MAKEWPARAM(ControlId(control), nCode),
                  (LPARAM)AfxHandleFromWidget(control));
}

LRESULT CommonWindowProc(QWidget* widget, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* button = qobject_cast<QAbstractButton*>(widget);
    switch (message) {
    case WM_SETTEXT:
        SetControlText(widget, FromAfx(reinterpret_cast<LPCTSTR>(lParam)));
        return TRUE;
    case WM_GETTEXT:
        return CopyText(ControlText(widget), reinterpret_cast<LPTSTR>(lParam), (int)wParam);
    case BM_GETCHECK:
        return button && button->isCheckable() && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
        if (button && button->isCheckable())
            button->setChecked(wParam == BST_CHECKED);
        return 0;
    case BM_CLICK:
        // As a click by the user: an auto radio button checks itself and clears its
        // siblings, and the parent hears BN_CLICKED.
        if (button && button->isEnabled())
            button->click();
        return 0;
    default:
        return 0;
    }
}

// The window's own reaction to a message that no message map handled.
LRESULT DefaultWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (DialogWidget* dialog = AsDialog(hWnd))
        return dialog->DefaultProc(message, wParam, lParam);
    QWidget* widget = AfxWidgetFromHandle(hWnd);
    return widget ? CommonWindowProc(widget, message, wParam, lParam) : 0;
}

} // namespace ui

using namespace ui;

LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hWnd)
        return 0;
    if (CWnd* pWnd = CWnd::FromHandlePermanent(hWnd))
        return pWnd->WindowProc(message, wParam, lParam);
    return DefaultWindowProc(hWnd, message, wParam, lParam);
}

// ---- CCmdTarget -------------------------------------------------------------------------

// The root of every chain of maps handles nothing, so it has no map at all.
const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    return nullptr;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

BOOL CCmdTarget::DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap()) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfn; ++entry) {
            if (entry->nMessage != message)
                continue;
            if (message == WM_COMMAND &&
                (entry->nCode != HIWORD(wParam) || entry->nID != LOWORD(wParam)))
                continue;
            LRESULT result = entry->pfn(this, wParam, lParam);
            if (pResult)
                *pResult = result;
            return TRUE;
        }
    }
    return FALSE;
}

// ---- CWnd -------------------------------------------------------------------------------

CWnd::~CWnd() {
    Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    auto it = LiveWindows().find(hWnd);
    return it == LiveWindows().end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (!AfxWidgetFromHandle(hWnd))
        return nullptr;
    if (CWnd* pWnd = FromHandlePermanent(hWnd))
        return pWnd;
    std::unique_ptr<CWnd>& pWnd = TemporaryMap()[hWnd];
    if (!pWnd) {
        pWnd = std::make_unique<CWnd>();
        pWnd->m_hWnd = hWnd;
    }
    return pWnd.get();
}

BOOL CWnd::Attach(HWND hWndNew) {
    if (!AfxWidgetFromHandle(hWndNew) || m_hWnd || FromHandlePermanent(hWndNew))
        return FALSE;
    m_hWnd = hWndNew;
    LiveWindows()[hWndNew] = this;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hWnd = std::exchange(m_hWnd, nullptr);
    if (hWnd && FromHandlePermanent(hWnd) == this)
        LiveWindows()[hWnd] = nullptr;
    return hWnd;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessage(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    CurrentMessage saved = g_current;
    g_current = {message, wParam, lParam};
    LRESULT result = 0;
    const BOOL bHandled = message == WM_COMMAND
                              ? OnCommand(wParam, lParam)
                              : DispatchMessageMap(message, wParam, lParam, &result);
    if (!bHandled)
        result = DefWindowProc(message, wParam, lParam);
    g_current = saved;
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultWindowProc(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    return DispatchMessageMap(WM_COMMAND, wParam, lParam, nullptr);
}

LRESULT CWnd::Default() {
    return DefWindowProc(g_current.m_message, g_current.m_wParam, g_current.m_lParam);
}

void CWnd::OnClose() {
    Default();
}
void CWnd::OnTimer(UINT) {
    Default();
}
void CWnd::OnSysCommand(UINT, LPARAM) {
    Default();
}
void CWnd::OnLButtonDown(UINT, CPoint) {
    Default();
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
    QWidget* widget = AfxWidgetFromHandle(m_hWnd);
    if (!lpRect)
        return;
    QRect frame; // empty for a window that is gone
    if (widget)
        frame = widget->isWindow() ? widget->frameGeometry()
                                   : QRect(TopLeftOnScreen(widget), widget->size());
    *lpRect =
        RECT{frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    QWidget* widget = AfxWidgetFromHandle(m_hWnd);
    if (lpRect)
        *lpRect = RECT{0, 0, widget ? widget->width() : 0, widget ? widget->height() : 0};
}

void CWnd::ScreenToClient(LPRECT lpRect) const {
    QWidget* widget = AfxWidgetFromHandle(m_hWnd);
    if (!widget || !lpRect)
        return;
    const QPoint origin = TopLeftOnScreen(widget);
    lpRect->left -= origin.x();
    lpRect->top -= origin.y();
    lpRect->right -= origin.x();
    lpRect->bottom -= origin.y();
}

void CWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase) {
    QWidget* widget = AfxWidgetFromHandle(m_hWnd);
    if (!widget)
        return;
    QRect rect = lpRect ? QRect(QPoint(lpRect->left, lpRect->top),
                                QPoint(lpRect->right - 1, lpRect->bottom - 1))
                        : widget->rect();
    if (DialogWidget* dialog = AsDialog(m_hWnd))
        dialog->Invalidate(rect, bErase != FALSE);
    else
        widget->update(rect);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC) {
    DialogWidget* dialog = AsDialog(m_hWnd);
    return dialog ? dialog->StartTimer(nIDEvent, nElapse) : 0;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    DialogWidget* dialog = AsDialog(m_hWnd);
    return dialog && dialog->StopTimer(nIDEvent);
}

// Nothing reverts the system menu: a revert request is answered with null and leaves the menu
// as it is.
CMenu* CWnd::GetSystemMenu(BOOL bRevert) {
    DialogWidget* dialog = bRevert ? nullptr : AsDialog(m_hWnd);
    return dialog ? dialog->SystemMenu() : nullptr;
}

BOOL CWnd::IsIconic() const {
    QWidget* widget = AfxWidgetFromHandle(m_hWnd);
    return widget && widget->isMinimized();
}

CWnd* CWnd::GetDlgItem(int nID) const {
    DialogWidget* dialog = AsDialog(m_hWnd);
    QWidget* control = dialog ? dialog->Control(nID) : nullptr;
    return control ? FromHandle(AfxHandleFromWidget(control)) : nullptr;
}

int CWnd::GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const {
    return (int)::SendMessage(m_hWnd, WM_GETTEXT, (WPARAM)nMaxCount, (LPARAM)lpszStringBuf);
}

void CWnd::SetWindowText(LPCTSTR lpszString) {
    ::SendMessage(m_hWnd, WM_SETTEXT, 0, (LPARAM)(lpszString ? lpszString : ""));
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, (LPARAM)hIcon));
}
