// Drawing a CDIB to a device context or into another CDIB, and composed sprite drawing.
#include "dc.h"
#include "dib.h"

#include <cstdint>

namespace {

RECT WholeOf(const CDIB* dib) {
    return RECT{0, 0, dib->GetWidth(), dib->GetHeight()};
}

// StretchBlt takes sizes, not corners; a rectangle whose size does not fit 32 bits cannot be
// drawn at all.
void StretchRect(HDC hdcDest, const RECT& dest, HDC hdcSrc, const RECT& src) {
    long long dw = (long long)dest.right - dest.left, dh = (long long)dest.bottom - dest.top;
    long long sw = (long long)src.right - src.left, sh = (long long)src.bottom - src.top;
    if (!FitsInt(dw) || !FitsInt(dh) || !FitsInt(sw) || !FitsInt(sh))
        return;
    StretchBlt(hdcDest, dest.left, dest.top, (int)dw, (int)dh, hdcSrc, src.left, src.top, (int)sw,
               (int)sh, SRCCOPY);
}

// The device's selected palette as a framework object for the length of a scope. It is only
// borrowed: the destructor detaches it, so the device's palette is never deleted, whichever
// way the scope is left.
class BorrowedPalette {
public:
    explicit BorrowedPalette(HGDIOBJ hPalette) { m_palette.Attach(hPalette); }
    ~BorrowedPalette() { m_palette.Detach(); }
    CPalette* Get() { return &m_palette; }

private:
    CPalette m_palette;
};

// The part of the background under a tw x th sprite at (x, y): the rectangle of pBack at
// (x - xBack, y - yBack). False when it cannot overlap any bitmap.
bool BackgroundRect(int x, int y, int xBack, int yBack, int tw, int th, RECT& rc) {
    long long left = (long long)x - xBack, top = (long long)y - yBack;
    if (!FitsInt(left) || !FitsInt(top))
        return false;
    long long right = left + tw, bottom = top + th;
    // Columns and rows past 2^31 - 1 exist in no bitmap, so cutting them off loses nothing.
    rc = RECT{(LONG)left, (LONG)top, (LONG)(right > INT32_MAX ? INT32_MAX : right),
              (LONG)(bottom > INT32_MAX ? INT32_MAX : bottom)};
    return true;
}

} // namespace

void CDIB::Draw(CDC* pDC, const RECT* pDestRect, const RECT* pSrcRect) {
    if (!m_hDC || !pDC)
        return;
    const RECT dest = pDestRect ? *pDestRect : WholeOf(this);
    const RECT src = pSrcRect ? *pSrcRect : WholeOf(this);
    SetStretchBltMode(pDC->m_hDC, COLORONCOLOR);
    StretchRect(pDC->m_hDC, dest, m_hDC, src);
}

void CDIB::StretchDraw(CDIB* pDest, const RECT* pDestRect, const RECT* pSrcRect) {
    if (!m_hDC || !pDest || !pDest->m_hDC)
        return;
    const RECT dest = pDestRect ? *pDestRect : WholeOf(pDest);
    const RECT src = pSrcRect ? *pSrcRect : WholeOf(this);
    SetStretchBltMode(pDest->m_hDC, COLORONCOLOR);
    StretchRect(pDest->m_hDC, dest, m_hDC, src);
}

void CDIB::DrawComposite(CDC* pDC, int x, int y, const RECT* pSrcRect, int nKey, int nFill,
                         CDIB* pBack, int xBack, int yBack) {
    CDIB composite;
    // Without a device nothing could be shown; the device's palette is not even looked up.
    if (!m_pBMI || !m_pBits || !pDC)
        return;
    const RECT sprite = pSrcRect ? *pSrcRect : WholeOf(this);
    const long long rw = (long long)sprite.right - sprite.left;
    const long long rh = (long long)sprite.bottom - sprite.top;
    if (rw <= 0 || rh <= 0 || rw > INT32_MAX || rh > INT32_MAX)
        return;
    {
        BorrowedPalette palette(GetCurrentObject(pDC->m_hAttribDC, OBJ_PAL));
        if (!composite.Create((int)rw, (int)rh, nFill, palette.Get()))
            return;
    }
    const int tw = composite.GetWidth(), th = composite.GetHeight();

    RECT back;
    if (pBack && BackgroundRect(x, y, xBack, yBack, tw, th, back))
        composite.CopyFrom(pBack, 0, 0, &back, -1);
    composite.CopyFrom(this, 0, 0, pSrcRect, nKey);

    // A sprite whose far edge lies past 2^31 - 1 is beyond every device.
    if (!FitsInt((long long)x + tw) || !FitsInt((long long)y + th))
        return;
    const RECT dest{x, y, x + tw, y + th};
    composite.Draw(pDC, &dest, nullptr);
}
