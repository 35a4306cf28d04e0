#include "afxwin.h"
#include "dialog_widget.h"

#include <QPainter>

// A paint context wraps a painter on the window's kept picture; it paints only during the
// window's WM_PAINT, clipped to the region being repainted.
HDC BeginPaint(HWND hWnd, PAINTSTRUCT* lpPaint) {
    ui::DialogWidget* dialog = ui::AsDialog(hWnd);
    QPainter* painter = nullptr;
    if (dialog && !dialog->PaintRegion().isEmpty()) {
        painter = new QPainter(&dialog->Surface());
        painter->setClipRegion(dialog->PaintRegion());
    }
    HDC hdc = CreatePainterDC(painter);
    if (!hdc)
        delete painter;
    if (lpPaint)
        lpPaint->hdc = hdc;
    return hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* lpPaint) {
    QPainter* painter = lpPaint ? GetDCPainter(lpPaint->hdc) : nullptr;
    if (!painter)
        return FALSE;
    DeleteDC(lpPaint->hdc);
    delete painter;
    return TRUE;
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_ps{}, m_hWnd(pWnd ? pWnd->GetSafeHwnd() : nullptr) {
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
    Detach(); // EndPaint released the context
}

BOOL DrawIcon(HDC hDC, int x, int y, HICON hIcon) {
    QPainter* painter = GetDCPainter(hDC);
    if (!painter || !hIcon)
        return FALSE;
    int size = GetSystemMetrics(SM_CXICON);
    painter->drawPixmap(x, y, ui::IconPixmap(hIcon, size, painter->deviceTransform().m11()));
    return TRUE;
}
