// StretchBlt and BitBlt: nearest-neighbour copies from a memory context's bitmap to another
// memory context (as indices) or to a painter context (as RGB through QPainter::drawImage).
#include "dc.h"

#include "gdi_internal.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

#include <cmath>
#include <cstring>
#include <vector>

using namespace gdi;

namespace {

// One axis of a stretch: the destination run [d0, d0 + dn) samples the source run
// [s0, s0 + sn), back to front when mirrored. Both lengths are positive and at most 2^31, so
// (2k + 1) * sn stays below 2^63 for every step k < dn.
struct Axis {
    long long d0, dn, s0, sn;
    bool mirror = false;
};

// A run given by a start and a signed extent, as StretchBlt takes it: a negative extent runs
// leftwards (upwards) from the start, which it includes. Extents of different signs mirror.
Axis MakeAxis(long long d0, long long dn, long long s0, long long sn) {
    Axis a{d0, dn, s0, sn};
    if (a.dn < 0) {
        a.d0 += a.dn + 1;
        a.dn = -a.dn;
        a.mirror = !a.mirror;
    }
    if (a.sn < 0) {
        a.s0 += a.sn + 1;
        a.sn = -a.sn;
        a.mirror = !a.mirror;
    }
    return a;
}

long long SourceOf(const Axis& a, long long k) {
    const long long j = a.mirror ? a.dn - 1 - k : k;
    return a.s0 + ((2 * j + 1) * a.sn) / (2 * a.dn);
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
    long long lo = dLo - a.d0 > 0 ? dLo - a.d0 : 0;
    long long hi = dHi - a.d0 < a.dn ? dHi - a.d0 : a.dn;
    if (lo >= hi)
        return false;
    if (!a.mirror) {
        k0 = FirstReaching(a, lo, hi, 0);
        k1 = FirstReaching(a, k0, hi, sLimit);
        return k0 < k1;
    }
    // Mirrored step k samples what the unmirrored step dn - 1 - k does.
    Axis forward = a;
    forward.mirror = false;
    const long long j0 = FirstReaching(forward, a.dn - hi, a.dn - lo, 0);
    const long long j1 = FirstReaching(forward, j0, a.dn - lo, sLimit);
    k0 = a.dn - j1;
    k1 = a.dn - j0;
    return k0 < k1;
}

// Read access to a source bitmap's rows, which may be a snapshot when the source is also the
// destination.
struct SourceView {
    const BYTE* bits;
    long long stride, height;
    const BYTE* Row(long long y) const { return bits + stride * (height - 1 - y); }
};

bool SameColors(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

bool TablesEqual(const RGBQUAD* a, const RGBQUAD* b) {
    for (int i = 0; i < 256; ++i)
        if (!SameColors(a[i], b[i]))
            return false;
    return true;
}

// Source index to destination index. The last pair of tables is remembered: repeated blits
// between the same two bitmaps (a dissolve, say) match each colour once.
struct ColorMap {
    bool identity = true;
    BYTE map[256];
};

const ColorMap& MapBetween(const RGBQUAD* src, const RGBQUAD* dst) {
    thread_local RGBQUAD lastSrc[256], lastDst[256];
    thread_local ColorMap result;
    thread_local bool valid = false;
    if (valid && memcmp(lastSrc, src, sizeof(lastSrc)) == 0 &&
        memcmp(lastDst, dst, sizeof(lastDst)) == 0)
        return result;
    result.identity = TablesEqual(src, dst);
    for (int i = 0; i < 256; ++i) {
        bool same = result.identity || SameColors(src[i], dst[i]);
        result.map[i] = (BYTE)(same ? i
                                    : NearestColorIndex(dst, 256, src[i].rgbRed, src[i].rgbGreen,
                                                        src[i].rgbBlue));
    }
    memcpy(lastSrc, src, sizeof(lastSrc));
    memcpy(lastDst, dst, sizeof(lastDst));
    valid = true;
    return result;
}

// Source columns of the steps [k0, k1) of a run, in a buffer kept between calls.
const std::vector<int>& ColumnsOf(const Axis& a, long long k0, long long k1) {
    thread_local std::vector<int> columns;
    columns.resize((size_t)(k1 - k0));
    for (size_t i = 0; i < columns.size(); ++i)
        columns[i] = (int)SourceOf(a, k0 + (long long)i);
    return columns;
}

SourceView ViewOf(const Bitmap* src, const Bitmap* dst) {
    long long bytes = (long long)src->stride * src->height;
    if (src != dst)
        return {src->bits, src->stride, src->height};
    thread_local std::vector<BYTE> snapshot;
    snapshot.assign(src->bits, src->bits + bytes);
    return {snapshot.data(), src->stride, src->height};
}

BOOL BlitToMemory(Bitmap* dst, const Bitmap* src, const Axis& ax, const Axis& ay) {
    long long kx0, kx1, ky0, ky1;
    if (!ClipAxis(ax, 0, dst->width, src->width, kx0, kx1) ||
        !ClipAxis(ay, 0, dst->height, src->height, ky0, ky1))
        return TRUE;

    const ColorMap& colors = MapBetween(src->table, dst->table);
    const SourceView view = ViewOf(src, dst);
    const size_t n = (size_t)(kx1 - kx0);
    const std::vector<int>& columns = ColumnsOf(ax, kx0, kx1);
    const bool unitColumns = ax.sn == ax.dn && !ax.mirror;

    for (long long ky = ky0; ky < ky1; ++ky) {
        const BYTE* from = view.Row(SourceOf(ay, ky));
        BYTE* to = dst->Pixel((int)(ax.d0 + kx0), (int)(ay.d0 + ky));
        if (unitColumns && colors.identity) {
            memcpy(to, from + columns[0], n);
            continue;
        }
        for (size_t i = 0; i < n; ++i)
            to[i] = colors.map[from[columns[i]]];
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
    if (!painter || !painter->isActive())
        return FALSE;
    long long bx0, by0, bx1, by1;
    PainterBounds(painter, bx0, by0, bx1, by1);
    long long kx0, kx1, ky0, ky1;
    if (!ClipAxis(ax, bx0, bx1, src->width, kx0, kx1) ||
        !ClipAxis(ay, by0, by1, src->height, ky0, ky1))
        return TRUE;

    const int w = (int)(kx1 - kx0), h = (int)(ky1 - ky0);
    const std::vector<int>& columns = ColumnsOf(ax, kx0, kx1);
    QRgb lut[256];
    for (int i = 0; i < 256; ++i)
        lut[i] = qRgb(src->table[i].rgbRed, src->table[i].rgbGreen, src->table[i].rgbBlue);
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
    painter->drawImage(QPoint((int)(ax.d0 + kx0), (int)(ay.d0 + ky0)), image, QRect(0, 0, w, h));
    painter->setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    return TRUE;
}

} // namespace

BOOL StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc,
                int ySrc, int wSrc, int hSrc, DWORD rop) {
    DeviceContext* dst = AsDC(hdcDest);
    DeviceContext* srcDC = AsDC(hdcSrc);
    if (!dst || !srcDC || rop != SRCCOPY || srcDC->dcKind != DcKind::Memory || !srcDC->bitmap)
        return FALSE;
    if (wDest == 0 || hDest == 0 || wSrc == 0 || hSrc == 0)
        return FALSE;
    const Bitmap* src = srcDC->bitmap;
    const Axis ax = MakeAxis(xDest, wDest, xSrc, wSrc), ay = MakeAxis(yDest, hDest, ySrc, hSrc);
    switch (dst->dcKind) {
    case DcKind::Memory:
        return dst->bitmap ? BlitToMemory(dst->bitmap, src, ax, ay) : FALSE;
    case DcKind::Painter:
        return BlitToPainter(dst->painter, src, ax, ay);
    case DcKind::Display:
        return FALSE;
    }
    return FALSE;
}

BOOL BitBlt(HDC hdcDest, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
    return StretchBlt(hdcDest, x, y, cx, cy, hdcSrc, x1, y1, cx, cy, rop);
}
