// Random-block dissolve of a CDIB onto a device, and text drawn into a CDIB.
#include "dc.h"
#include "dib.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int kBlocksPerBatch = 100;

// The caller may set the flag from elsewhere while the dissolve runs; read it afresh each time.
bool AbortRequested(BOOL* pbAbort) {
    return pbAbort && std::atomic_ref<BOOL>(*pbAbort).load(std::memory_order_relaxed) != 0;
}

// An offset in 0 .. |range| - 1 (the remainder keeps the sign of rand()'s non-negative value).
// The generator is drawn even when the range is empty, so the sequence stays two numbers per
// block; a block that spans the whole range has only offset 0.
long long RandomOffset(long long range) {
    long long r = rand();
    return range == 0 ? 0 : r % range;
}

struct DissolvePlan {
    RECT src;
    long long bw, bh, rx, ry;
};

DissolvePlan PlanBlocks(const RECT& r, int nBlock, int nBlockOption) {
    const long long wr = (long long)r.right - r.left, hr = (long long)r.bottom - r.top;
    const long long smaller = nBlock < wr ? nBlock : wr;
    const long long bw = smaller < 1 ? 1 : smaller;
    const long long bh = nBlockOption > 0 ? (wr < bw ? wr : bw) : bw;
    return DissolvePlan{r, bw, bh, wr - bw, hr - bh};
}

// One block from (src.left + ox, src.top + oy) to (x + ox, y + oy). A block whose corners do
// not fit 32 bits lies beyond every bitmap and device, and is skipped.
void CopyBlock(HDC hdcDest, HDC hdcSrc, const DissolvePlan& plan, int x, int y, long long ox,
               long long oy) {
    const long long sx = plan.src.left + ox, sy = plan.src.top + oy;
    const long long dx = x + ox, dy = y + oy;
    if (!FitsInt(sx) || !FitsInt(sy) || !FitsInt(dx) || !FitsInt(dy) || !FitsInt(plan.bh) ||
        plan.bh < 1)
        return;
    BitBlt(hdcDest, (int)dx, (int)dy, (int)plan.bw, (int)plan.bh, hdcSrc, (int)sx, (int)sy,
           SRCCOPY);
}

} // namespace

void CDIB::Dissolve(CDC* pDC, int x, int y, const RECT* pSrcRect, int nBlock, int nBlockOption,
                    int nMilliseconds, BOOL* pbAbort) {
    const DWORD start = GetTickCount();
    if (!m_hDC || !pDC)
        return;
    const RECT r = pSrcRect ? *pSrcRect : RECT{0, 0, GetWidth(), GetHeight()};
    const DissolvePlan plan = PlanBlocks(r, nBlock, nBlockOption);
    if (nMilliseconds <= 0)
        return;
    for (;;) {
        for (int i = 0; i < kBlocksPerBatch; ++i) {
            const long long ox = RandomOffset(plan.rx);
            const long long oy = RandomOffset(plan.ry);
            CopyBlock(pDC->m_hDC, m_hDC, plan, x, y, ox, oy);
            if (AbortRequested(pbAbort))
                break;
        }
        if (AbortRequested(pbAbort))
            return;
        if ((LONG)(GetTickCount() - start) >= nMilliseconds)
            return;
    }
}

void CDIB::DrawText(LPCTSTR lpszText, const RECT* pRect, UINT nFormat, CFont* pFont,
                    COLORREF crColor) {
    if (!m_hDC || !lpszText || !pRect || !pFont || !pFont->m_hObject)
        return;
    RECT bounds{0, 0, GetWidth(), GetHeight()}, visible;
    if (!IntersectRect(&visible, pRect, &bounds))
        return;

    HGDIOBJ oldFont = SelectObject(m_hDC, pFont->m_hObject);
    COLORREF oldColor = SetTextColor(m_hDC, 0x02000000 | (crColor & 0x00FFFFFF));
    int oldMode = SetBkMode(m_hDC, TRANSPARENT);
    RECT layout = *pRect;
    DrawTextA(m_hDC, lpszText, -1, &layout, nFormat);
    SetBkMode(m_hDC, oldMode);
    SetTextColor(m_hDC, oldColor);
    SelectObject(m_hDC, oldFont);
}
