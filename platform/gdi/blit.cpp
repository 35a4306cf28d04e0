// StretchBlt and BitBlt: nearest-neighbour copies from a memory context's bitmap to another
// memory context (as indices) or to a painter context (as RGB through QPainter::drawImage).
#include "dc.h"

#include "gdi_internal.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

using namespace gdi;

namespace {

// One axis of a stretch: the destination run [d0, d0 + dn) samples the source run
// [s0, s0 + sn), back to front when mirrored. Both lengths are positive and at most 2^31, so
// (2k + 1) * sn stays below 2^63 for every step k < dn.
struct Axis {
    long long m_d0, m_dn, m_s0, m_sn;
    bool m_mirror = false;
};

// A run given by a start and a signed extent, as StretchBlt takes it: a negative extent runs
// leftwards (upwards) from the start, which it includes. Extents of different signs mirror.
Axis MakeAxis(long long d0, long long dn, long long s0, long long sn) {
    Axis a{d0, dn, s0, sn};
    auto runForwards = [&a](long long& start, long long& extent) {
        if (extent < 0) {
            start += extent + 1;
            extent = -extent;
            a.m_mirror = !a.m_mirror;
        }
    };
    runForwards(a.m_d0, a.m_dn);
    runForwards(a.m_s0, a.m_sn);
    return a;
}

long long SourceOf(const Axis& a, long long k) {
    const long long j = a.m_mirror ? a.m_dn - 1 - k : k;
    return a.m_s0 + ((2 * j + 1) * a.m_sn) / (2 * a.m_dn);
}

// First step k in [lo, hi) whose source is at least limit, or hi. The source never decreases
// along the run, so a binary search finds it without walking hostile lengths.
long long FirstReaching(const Axis& a, long long lo, long long hi, long long limit) {
    while (lo < hi) {
        long long mid = lo + (hi - lo) / 2;
        if (SourceOf(a, mid) >= limit)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// The steps [k0, k1) whose destination lies in [dLo, dHi) and whose source lies in
// [0, sLimit): the part of the run that neither reads nor writes outside a bitmap.
bool ClipAxis(const Axis& a, long long dLo, long long dHi, long long sLimit, long long& k0,
              long long& k1) {
    long long lo = std::max(dLo - a.m_d0, 0LL);
    long long hi = std::min(dHi - a.m_d0, a.m_dn);
    if (lo >= hi)
        return false;
    // Mirrored step k samples what the unmirrored step dn - 1 - k does.
    if (a.m_mirror)
        std::tie(lo, hi) = std::pair{a.m_dn - hi, a.m_dn - lo};
    Axis forward = a;
    forward.m_mirror = false;
    const long long j0 = FirstReaching(forward, lo, hi, 0);
    const long long j1 = FirstReaching(forward, j0, hi, sLimit);
    k0 = a.m_mirror ? a.m_dn - j1 : j0;
    k1 = a.m_mirror ? a.m_dn - j0 : j1;
    return k0 < k1;
}

// Source index to destination index. The last pair of tables is remembered: repeated blits
// between the same two bitmaps (a dissolve, say) match each colour once. The map returned is
// that memory, so it holds only until the next call on this thread: each blit asks once.
struct ColorMap {
    bool m_identity = true;
    BYTE m_map[256];
};

const ColorMap& MapBetween(const RGBQUAD* src, const RGBQUAD* dst) {
    thread_local RGBQUAD lastSrc[256], lastDst[256];
    thread_local ColorMap result;
    thread_local bool valid = false;
    if (valid && memcmp(lastSrc, src, sizeof(lastSrc)) == 0 &&
        memcmp(lastDst, dst, sizeof(lastDst)) == 0)
        return result;
    result.m_identity = true;
    for (int i = 0; i < 256; ++i) {
        const bool same = SameRgb(src[i], dst[i]);
        result.m_identity = result.m_identity && same;
        result.m_map[i] = (BYTE)(same ? i
                                      : NearestColorIndex(dst, 256, src[i].rgbRed, src[i].rgbGreen,
                                                          src[i].rgbBlue));
    }
    memcpy(lastSrc, src, sizeof(lastSrc));
    memcpy(lastDst, dst, sizeof(lastDst));
    valid = true;
    return result;
}

// Source columns of the steps [k0, k1) of a run. A vector of its own each time: one per blit
// costs nothing beside the blit, and no later call can change what an earlier one returned.
std::vector<int> ColumnsOf(const Axis& a, long long k0, long long k1) {
    std::vector<int> columns((size_t)(k1 - k0));
    for (size_t i = 0; i < columns.size(); ++i)
        columns[i] = (int)SourceOf(a, k0 + (long long)i);
    return columns;
}

// The source's pixels, copied first when the source is also the destination; laid out as the
// bitmap's own.
const BYTE* SourceBits(const Bitmap* src, const Bitmap* dst) {
    if (src != dst)
        return src->m_bits;
    thread_local std::vector<BYTE> snapshot;
    snapshot.assign(src->m_bits, src->m_bits + (size_t)src->m_stride * src->m_height);
    return snapshot.data();
}

BOOL BlitToMemory(Bitmap* dst, const Bitmap* src, const Axis& ax, const Axis& ay) {
    long long kx0, kx1, ky0, ky1;
    if (!ClipAxis(ax, 0, dst->m_width, src->m_width, kx0, kx1) ||
        !ClipAxis(ay, 0, dst->m_height, src->m_height, ky0, ky1))
        return TRUE;

    const ColorMap& colors = MapBetween(src->m_table, dst->m_table);
    const BYTE* bits = SourceBits(src, dst);
    const size_t n = (size_t)(kx1 - kx0);
    const std::vector<int> columns = ColumnsOf(ax, kx0, kx1);
    const bool unitColumns = ax.m_sn == ax.m_dn && !ax.m_mirror;

    for (long long ky = ky0; ky < ky1; ++ky) {
        const BYTE* from = bits + (src->Pixel(0, (int)SourceOf(ay, ky)) - src->m_bits);
        BYTE* to = dst->Pixel((int)(ax.m_d0 + kx0), (int)(ay.m_d0 + ky));
        if (unitColumns && colors.m_identity) {
            memcpy(to, from + columns[0], n);
            continue;
        }
        for (size_t i = 0; i < n; ++i)
            to[i] = colors.m_map[from[columns[i]]];
    }
    return TRUE;
}

// The painter's device in the painter's own coordinates, widened to whole pixels: drawing
// beyond it would be clipped anyway, and bounding the runs keeps them in Qt's int range.
void PainterBounds(QPainter* painter, long long& x0, long long& y0, long long& x1, long long& y1) {
    QPaintDevice* device = painter->device();
    QRectF bounds = painter->worldTransform().inverted().mapRect(
        QRectF(0, 0, device->width(), device->height()));
    x0 = (long long)std::floor(bounds.left());
    y0 = (long long)std::floor(bounds.top());
    x1 = (long long)std::ceil(bounds.right());
    y1 = (long long)std::ceil(bounds.bottom());
}

// An RGB32 image of at least w x h, kept between calls and grown when needed.
QImage& RgbBuffer(int w, int h) {
    thread_local QImage buffer;
    if (buffer.width() < w || buffer.height() < h)
        buffer =
            QImage(std::max(w, buffer.width()), std::max(h, buffer.height()), QImage::Format_RGB32);
    return buffer;
}

// The destination pixels are sampled here, at the destination's size, and drawn unscaled:
// Qt's own scaler rounds in fixed point and strays from the sampling rule (even for integer
// enlargements of a few hundred pixels), so it is left only the device's pixel ratio.
BOOL BlitToPainter(QPainter* painter, const Bitmap* src, const Axis& ax, const Axis& ay) {
    if (!painter->isActive())
        return FALSE;
    long long bx0, by0, bx1, by1;
    PainterBounds(painter, bx0, by0, bx1, by1);
    long long kx0, kx1, ky0, ky1;
    if (!ClipAxis(ax, bx0, bx1, src->m_width, kx0, kx1) ||
        !ClipAxis(ay, by0, by1, src->m_height, ky0, ky1))
        return TRUE;

    const int w = (int)(kx1 - kx0), h = (int)(ky1 - ky0);
    const std::vector<int> columns = ColumnsOf(ax, kx0, kx1);
    QRgb lut[256];
    for (int i = 0; i < 256; ++i)
        lut[i] = qRgb(src->m_table[i].rgbRed, src->m_table[i].rgbGreen, src->m_table[i].rgbBlue);
    QImage& image = RgbBuffer(w, h);
    long long previous = -1;
    for (int row = 0; row < h; ++row) {
        const long long sy = SourceOf(ay, ky0 + row);
        QRgb* to = reinterpret_cast<QRgb*>(image.scanLine(row));
        if (sy == previous) { // an enlarged row repeats the one above it
            memcpy(to, image.constScanLine(row - 1), (size_t)w * sizeof(QRgb));
            continue;
        }
        const BYTE* from = src->Pixel(0, (int)sy);
        for (int i = 0; i < w; ++i)
            to[i] = lut[from[columns[i]]];
        previous = sy;
    }

    const bool smooth = painter->testRenderHint(QPainter::SmoothPixmapTransform);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->drawImage(QPoint((int)(ax.m_d0 + kx0), (int)(ay.m_d0 + ky0)), image,
                       QRect(0, 0, w, h));
    painter->setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    return TRUE;
}

} // namespace

BOOL StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc,
                int ySrc, int wSrc, int hSrc, DWORD rop) {
    DeviceContext* dst = As<DeviceContext>(hdcDest);
    DeviceContext* srcDC = As<DeviceContext>(hdcSrc);
    if (!dst || !srcDC || rop != SRCCOPY || !srcDC->MemoryBitmap())
        return FALSE;
    if (wDest == 0 || hDest == 0 || wSrc == 0 || hSrc == 0)
        return FALSE;
    const Bitmap* src = srcDC->m_bitmap;
    const Axis ax = MakeAxis(xDest, wDest, xSrc, wSrc), ay = MakeAxis(yDest, hDest, ySrc, hSrc);
    switch (dst->m_dcKind) {
    case DCKind::Painter:
        return BlitToPainter(dst->Painter(), src, ax, ay);
    case DCKind::Memory:
        return BlitToMemory(dst->MemoryBitmap(), src, ax, ay);
    case DCKind::Display:
        break;
    }
    return FALSE; // the display's context draws nothing
}

BOOL BitBlt(HDC hdcDest, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
    return StretchBlt(hdcDest, x, y, cx, cy, hdcSrc, x1, y1, cx, cy, rop);
}
