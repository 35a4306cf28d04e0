// Device-context attributes, painter contexts, solid fills and CDC.
#include "dc.h"

#include "gdi_internal.h"

#include <QColor>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

using namespace gdi;

namespace {

constexpr COLORREF kClrInvalid = 0xFFFFFFFF;

// Coordinates are clamped to the bitmap before a width is taken, so none can overflow.
void FillBitmapRect(Bitmap* bmp, const RECT& rc, BYTE index) {
    const int x0 = std::max<int>(rc.left, 0), y0 = std::max<int>(rc.top, 0);
    const int x1 = std::min<int>(rc.right, bmp->m_width);
    const int y1 = std::min<int>(rc.bottom, bmp->m_height);
    for (int y = y0; x0 < x1 && y < y1; ++y)
        memset(bmp->Pixel(x0, y), index, (size_t)(x1 - x0));
}

} // namespace

HDC CreatePainterDC(QPainter* pPainter) {
    if (!pPainter)
        return nullptr;
    return HandleOfNew<HDC>(DeviceContext::NewPainter(pPainter));
}

QPainter* GetDCPainter(HDC hdc) {
    DeviceContext* dc = As<DeviceContext>(hdc);
    return dc ? dc->Painter() : nullptr;
}

// Sets one attribute of a context and gives back what it was; `failed` when hdc is no context.
template <typename T> T ExchangeAttribute(HDC hdc, T DeviceContext::*attribute, T value, T failed) {
    DeviceContext* dc = As<DeviceContext>(hdc);
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

CDC::CDC() : m_hDC(nullptr), m_hAttribDC(nullptr) {}

CDC::CDC(QPainter* pPainter) : CDC() {
    Attach(CreatePainterDC(pPainter));
}

CDC::~CDC() {
    DeleteDC();
}

BOOL CDC::DeleteDC() {
    if (!m_hDC)
        return FALSE;
    return ::DeleteDC(Detach());
}

BOOL CDC::Attach(HDC hDC) {
    if (!hDC)
        return FALSE;
    m_hDC = m_hAttribDC = hDC;
    return TRUE;
}

HDC CDC::Detach() {
    m_hAttribDC = nullptr;
    return std::exchange(m_hDC, nullptr);
}

void CDC::FillSolidRect(const RECT* lpRect, COLORREF color) {
    DeviceContext* dc = As<DeviceContext>(m_hDC);
    if (!dc || !lpRect)
        return;
    dc->m_bkColor = color;
    if (QPainter* painter = dc->Painter()) {
        long long w = (long long)lpRect->right - lpRect->left;
        long long h = (long long)lpRect->bottom - lpRect->top;
        if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX)
            return;
        painter->fillRect(QRectF(lpRect->left, lpRect->top, (qreal)w, (qreal)h),
                          QColor(GetRValue(color), GetGValue(color), GetBValue(color)));
        return;
    }
    if (Bitmap* bmp = dc->MemoryBitmap())
        FillBitmapRect(bmp, *lpRect, MatchColor(*bmp, color));
}
