// The sprite compositor: keyed, silhouette and row-dropout copies between two CDIBs,
// working on the 8-bit indices directly, with no device context and no colour conversion.
#include "dib.h"

#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

enum class BlitKind { Keyed, Silhouette, RowDropout, Invalid };

struct BlitPlan {
    BlitKind kind;
    BYTE fill;
};

BlitPlan DecodeMode(int nMode) {
    switch (nMode) {
    case BLIT_KEYED:
        return {BlitKind::Keyed, 0};
    case BLIT_SILHOUETTE:
        return {BlitKind::Silhouette, 1};
    case BLIT_SILHOUETTE_16:
        return {BlitKind::Silhouette, 16};
    case BLIT_SILHOUETTE_255:
        return {BlitKind::Silhouette, 255};
    case BLIT_ROW_DROPOUT:
        return {BlitKind::RowDropout, 0};
    case BLIT_SILHOUETTE_39:
        return {BlitKind::Silhouette, 39};
    default:
        return {BlitKind::Invalid, 0};
    }
}

// The copy after clipping: w x h pixels from source (sx, sy) to destination (x, y). All in
// 64 bits, so that hostile rectangles and positions cannot overflow.
struct Span {
    long long x, y, sx, sy, w, h;
};

bool Clip(Span& s, long long Wd, long long Hd, long long Ws, long long Hs, bool mirror) {
    if (mirror) {
        // A mirrored rectangle is first cut to the source's columns, so that nothing outside
        // the source rows is read; the columns that remain keep their mirrored places.
        if (s.sx < 0) {
            s.w += s.sx;
            s.sx = 0;
        }
        if (s.sx + s.w > Ws) {
            long long excess = s.sx + s.w - Ws;
            s.x += excess;
            s.w -= excess;
        }
    }
    long long d = s.x < s.sx ? s.x : s.sx;
    if (d < 0) {
        s.x -= d;
        s.w += d;
        if (!mirror)
            s.sx -= d;
    }
    d = s.y < s.sy ? s.y : s.sy;
    if (d < 0) {
        s.y -= d;
        s.sy -= d;
        s.h += d;
    }
    long long right = Wd - s.x - s.w, sourceRight = Ws - s.sx - s.w;
    d = right < sourceRight ? right : sourceRight;
    if (d < 0) {
        s.w += d;
        if (mirror)
            s.sx -= d;
    }
    long long bottom = Hd - s.y - s.h, sourceBottom = Hs - s.sy - s.h;
    d = bottom < sourceBottom ? bottom : sourceBottom;
    if (d < 0)
        s.h += d;
    return s.w > 0 && s.h > 0;
}

bool DroppedRow(bool mirror) {
    int r = rand();
    return mirror ? (r & 0xC0) == 0x80 : (r & 0x0C00) == 0x0800;
}

// Opaque copy of h rows of w bytes, from the top row down (each row one stride back in
// memory). A bitmap may be copied onto itself: rows are moved with memmove, and when the
// destination lies below the source in memory the rows are taken from the bottom up, so that
// no source row is overwritten before it has been read.
void CopyRows(BYTE* dst, const BYTE* src, int w, int h, long long strideD, long long strideS,
              bool sameBitmap) {
    if (sameBitmap && std::less<const BYTE*>()(dst, src)) {
        dst -= (h - 1) * strideD;
        src -= (h - 1) * strideS;
        for (int row = 0; row < h; ++row, dst += strideD, src += strideS)
            memmove(dst, src, (size_t)w);
        return;
    }
    for (int row = 0; row < h; ++row, dst -= strideD, src -= strideS)
        memmove(dst, src, (size_t)w);
}

} // namespace

void CDIB::BlitKeyed(CDIB* pSrc, int x, int y, const RECT* pSrcRect, int nKey, int nMode,
                     BOOL bMirror) {
    BlitPlan plan = DecodeMode(nMode);
    if (!m_pBMI || !m_pBits || !pSrc || !pSrc->m_pBMI || !pSrc->m_pBits)
        return;

    Span s{x, y, 0, 0, pSrc->GetWidth(), pSrc->GetHeight()};
    if (pSrcRect) {
        s.sx = pSrcRect->left;
        s.sy = pSrcRect->top;
        s.w = (long long)pSrcRect->right - pSrcRect->left;
        s.h = (long long)pSrcRect->bottom - pSrcRect->top;
    }
    bool opaque = nKey < 0;
    bool mirror = !opaque && bMirror;
    if (!Clip(s, GetWidth(), GetHeight(), pSrc->GetWidth(), pSrc->GetHeight(), mirror))
        return;

    const long long strideD = GetStride(), strideS = pSrc->GetStride();
    const int w = (int)s.w, h = (int)s.h;
    BYTE* dst = m_pBits + (GetHeight() - 1 - s.y) * strideD + s.x;
    const BYTE* src = pSrc->m_pBits + (pSrc->GetHeight() - 1 - s.sy) * strideS + s.sx;

    if (opaque) {
        CopyRows(dst, src, w, h, strideD, strideS, pSrc == this);
        return;
    }

    const BYTE key = (BYTE)(nKey & 255);
    switch (plan.kind) {
    case BlitKind::Keyed:
    case BlitKind::RowDropout: {
        const bool dropout = plan.kind == BlitKind::RowDropout;
        for (int row = 0; row < h; ++row, dst -= strideD, src -= strideS) {
            if (dropout && DroppedRow(mirror))
                continue;
            if (mirror) {
                for (int k = 0; k < w; ++k)
                    if (src[k] != key)
                        dst[w - 1 - k] = src[k];
            } else {
                for (int k = 0; k < w; ++k)
                    if (src[k] != key)
                        dst[k] = src[k];
            }
        }
        break;
    }
    case BlitKind::Silhouette: {
        const BYTE fill = plan.fill;
        for (int row = 0; row < h; ++row, dst -= strideD, src -= strideS) {
            if (mirror) {
                for (int k = 0; k < w; ++k)
                    if (src[k] != key)
                        dst[w - 1 - k] = fill;
            } else {
                for (int k = 0; k < w; ++k)
                    if (src[k] != key)
                        dst[k] = fill;
            }
        }
        break;
    }
    case BlitKind::Invalid:
        break;
    }
}

void CDIB::CopyFrom(CDIB* pSrc, int x, int y, const RECT* pSrcRect, int nKey) {
    BlitKeyed(pSrc, x, y, pSrcRect, nKey, BLIT_KEYED, FALSE);
}
