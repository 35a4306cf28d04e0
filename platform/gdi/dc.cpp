// Device-context attributes, painter contexts, solid fills and CDC.
#include "dc.h"

#include "gdi_internal.h"

#include <QColor>
#include <QPainter>

#include <new>
#include <utility>

using namespace gdi;

namespace {

constexpr COLORREF kClrInvalid = 0xFFFFFFFF;

// Rectangle clipped to the context's bitmap, in 64 bits so that hostile values cannot wrap.
bool ClipToBitmap(const Bitmap* bmp, const RECT& rc, long long& x0, long long& y0, long long& x1,
                  long long& y1) {
    x0 = rc.left < 0 ? 0 : rc.left;
    y0 = rc.top < 0 ? 0 : rc.top;
    x1 = rc.right > bmp->m_width ? bmp->m_width : rc.right;
    y1 = rc.bottom > bmp->m_height ? bmp->m_height : rc.bottom;
    return x0 < x1 && y0 < y1;
}

void FillBitmapRect(Bitmap* bmp, const RECT& rc, BYTE index) {
    long long x0, y0, x1, y1;
    if (!ClipToBitmap(bmp, rc, x0, y0, x1, y1))
        return;
    for (long long y = y0; y < y1; ++y) {
        BYTE* row = bmp->Pixel((int)x0, (int)y);
        for (long long x = 0; x < x1 - x0; ++x)
            row[x] = index;
    }
}

} // namespace

HDC CreatePainterDC(QPainter* pPainter) {
    if (!pPainter)
        return nullptr;
    return HandleOfNew<HDC>(new (std::nothrow) DeviceContext(DcKind::Painter, nullptr, pPainter));
}

QPainter* GetDCPainter(HDC hdc) {
    DeviceContext* dc = AsDC(hdc);
    return dc && dc->m_dcKind == DcKind::Painter ? dc->m_painter : nullptr;
}

// Sets one attribute of a context and gives back what it was; `failed` when hdc is no context.
template <typename T> T ExchangeAttribute(HDC hdc, T DeviceContext::*attribute, T value, T failed) {
    DeviceContext* dc = AsDC(hdc);
    return dc ? std::exchange(dc->*attribute, value) : failed;
}

int SetStretchBltMode(HDC hdc, int mode) {
    if (mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    return ExchangeAttribute(hdc, &DeviceContext::m_stretchMode, mode, 0);
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    return ExchangeAttribute(hdc, &DeviceContext::m_textColor, color, kClrInvalid);
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    return ExchangeAttribute(hdc, &DeviceContext::m_bkColor, color, kClrInvalid);
}

int SetBkMode(HDC hdc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE)
        return 0;
    return ExchangeAttribute(hdc, &DeviceContext::m_bkMode, mode, 0);
}

BOOL FillSolidRect(HDC hdc, const RECT* lpRect, COLORREF color) {
    DeviceContext* dc = AsDC(hdc);
    if (!dc || !lpRect)
        return FALSE;
    dc->m_bkColor = color;
    if (dc->m_dcKind == DcKind::Painter && dc->m_painter) {
        long long w = (long long)lpRect->right - lpRect->left;
        long long h = (long long)lpRect->bottom - lpRect->top;
        if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX)
            return TRUE;
        dc->m_painter->fillRect(QRectF(lpRect->left, lpRect->top, (qreal)w, (qreal)h),
                                QColor(GetRValue(color), GetGValue(color), GetBValue(color)));
        return TRUE;
    }
    if (dc->m_dcKind != DcKind::Memory || !dc->m_bitmap)
        return FALSE;
    FillBitmapRect(dc->m_bitmap, *lpRect, MatchColor(*dc->m_bitmap, color));
    return TRUE;
}

CDC::CDC() : m_hDC(nullptr), m_hAttribDC(nullptr) {}

CDC::CDC(QPainter* pPainter) : CDC() {
    Attach(CreatePainterDC(pPainter));
}

CDC::~CDC() {
    DeleteDC();
}

void CDC::SetHandles(HDC hDC) {
    m_hDC = hDC;
    m_hAttribDC = hDC;
}

BOOL CDC::DeleteDC() {
    if (!m_hDC)
        return FALSE;
    return ::DeleteDC(Detach());
}

BOOL CDC::Attach(HDC hDC) {
    if (!hDC)
        return FALSE;
    SetHandles(hDC);
    return TRUE;
}

HDC CDC::Detach() {
    HDC hDC = m_hDC;
    SetHandles(nullptr);
    return hDC;
}

void CDC::FillSolidRect(const RECT* lpRect, COLORREF clr) {
    ::FillSolidRect(m_hDC, lpRect, clr);
}
