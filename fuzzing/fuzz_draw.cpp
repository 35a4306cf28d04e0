// Drawing between two small bitmaps with arbitrary rectangles, positions, keys and modes:
// stretched drawing into another bitmap, drawing through a memory CDC and onto a painter,
// composed sprites, raw StretchBlt and BitBlt (a bitmap onto itself included), keyed copies,
// palette remapping and single dissolve blocks. No read or write may leave a bitmap, and a
// blit or an unmirrored copy must leave exactly the pixels that its sampling rule gives.
#include "dc.h"
#include "dib.h"
#include "fuzz_input.h"

#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// A CDC over a bitmap's own memory context; detached again so that the bitmap keeps it.
class BorrowedDC : public CDC {
public:
    explicit BorrowedDC(CDIB& dib) { Attach(dib.m_hDC); }
    ~BorrowedDC() override { Detach(); }
};

void MakePalette(FuzzInput& in, CPalette& pal) {
    const int n = 1 + in.Byte();
    std::vector<BYTE> block(4 + 4 * (size_t)n);
    auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = (WORD)n;
    uint32_t state = (uint32_t)in.Int();
    for (int i = 0; i < n; ++i) {
        state = state * 1664525u + 1013904223u;
        lp->palPalEntry[i] =
            PALETTEENTRY{(BYTE)(state >> 8), (BYTE)(state >> 16), (BYTE)(state >> 24), 0};
    }
    pal.CreatePalette(lp);
}

bool MakeBitmap(FuzzInput& in, CDIB& dib, CPalette* pal) {
    const int w = 1 + in.Small(40), h = 1 + in.Small(40);
    const int fill = in.Int();
    if (!dib.Create(w, h, fill, in.Small(2) ? pal : nullptr))
        return false;
    const BYTE step = in.Byte() | 1;
    for (int i = 0; i < dib.GetStride() * dib.GetHeight(); ++i)
        dib.m_pBits[i] = (BYTE)(i * step + 3);
    return true;
}

RECT Rect(FuzzInput& in) {
    RECT r;
    r.left = in.Coordinate();
    r.top = in.Coordinate();
    r.right = in.Coordinate();
    r.bottom = in.Coordinate();
    return r;
}

// What a blit between two bitmaps with one colour table must leave: every destination pixel
// of the run whose sampled source pixel lies in the source gets that pixel.
struct Blit {
    int x, y, w, h, sx, sy, sw, sh;
};

std::vector<BYTE> Expected(const CDIB& dst, const std::vector<BYTE>& before,
                           const std::vector<BYTE>& src, const CDIB& srcDib, const Blit& b) {
    std::vector<BYTE> out = before;
    const int sH = srcDib.GetHeight(), sS = srcDib.GetStride();
    for (int dy = 0; dy < dst.GetHeight(); ++dy) {
        const long long ky = (long long)dy - b.y;
        if (ky < 0 || ky >= b.h)
            continue;
        const long long syy = b.sy + ((2 * ky + 1) * b.sh) / (2LL * b.h);
        if (syy < 0 || syy >= sH)
            continue;
        for (int dx = 0; dx < dst.GetWidth(); ++dx) {
            const long long kx = (long long)dx - b.x;
            if (kx < 0 || kx >= b.w)
                continue;
            const long long sxx = b.sx + ((2 * kx + 1) * b.sw) / (2LL * b.w);
            if (sxx < 0 || sxx >= srcDib.GetWidth())
                continue;
            out[(size_t)dst.GetStride() * (dst.GetHeight() - 1 - dy) + dx] =
                src[(size_t)sS * (sH - 1 - syy) + sxx];
        }
    }
    return out;
}

std::vector<BYTE> Pixels(const CDIB& dib) {
    return std::vector<BYTE>(dib.m_pBits, dib.m_pBits + (size_t)dib.GetStride() * dib.GetHeight());
}

bool SameTables(const CDIB& a, const CDIB& b) {
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD &p = a.m_pBMI->bmiColors[i], &q = b.m_pBMI->bmiColors[i];
        if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue)
            return false;
    }
    return true;
}

void RawBlit(FuzzInput& in, CDIB& dst, CDIB& src, bool stretch) {
    Blit b{in.Coordinate(),
           in.Coordinate(),
           in.Coordinate(),
           in.Coordinate(),
           in.Coordinate(),
           in.Coordinate(),
           0,
           0};
    b.sw = stretch ? in.Coordinate() : b.w;
    b.sh = stretch ? in.Coordinate() : b.h;
    SetStretchBltMode(dst.m_hDC, in.Small(6));
    const bool check = b.w > 0 && b.h > 0 && b.sw > 0 && b.sh > 0 && SameTables(dst, src);
    const std::vector<BYTE> before = Pixels(dst), source = Pixels(src);
    const BOOL ok = stretch ? StretchBlt(dst.m_hDC, b.x, b.y, b.w, b.h, src.m_hDC, b.sx, b.sy, b.sw,
                                         b.sh, SRCCOPY)
                            : BitBlt(dst.m_hDC, b.x, b.y, b.w, b.h, src.m_hDC, b.sx, b.sy, SRCCOPY);
    if (check && (!ok || Pixels(dst) != Expected(dst, before, source, src, b)))
        abort();
}

// What an unmirrored keyed or opaque copy must leave: each source pixel of the rectangle that
// lies in the source lands, unless it is the key, at its place in the destination, if that
// lies in the destination. A bitmap copied onto itself is read as it was before the copy.
std::vector<BYTE> ExpectedKeyed(const CDIB& dst, const std::vector<BYTE>& before,
                                const CDIB& srcDib, const std::vector<BYTE>& src, int x, int y,
                                const RECT& r, int key) {
    std::vector<BYTE> out = before;
    const long long sw = srcDib.GetWidth(), sh = srcDib.GetHeight(), ss = srcDib.GetStride();
    const long long w = (long long)r.right - r.left, h = (long long)r.bottom - r.top;
    for (long long dy = 0; dy < dst.GetHeight(); ++dy)
        for (long long dx = 0; dx < dst.GetWidth(); ++dx) {
            const long long k = dx - x, j = dy - y, sx = r.left + k, sy = r.top + j;
            if (k < 0 || k >= w || j < 0 || j >= h || sx < 0 || sx >= sw || sy < 0 || sy >= sh)
                continue;
            const BYTE v = src[(size_t)(ss * (sh - 1 - sy) + sx)];
            if (key < 0 || v != (BYTE)key)
                out[(size_t)(dst.GetStride() * (dst.GetHeight() - 1 - dy) + dx)] = v;
        }
    return out;
}

void KeyedCopy(FuzzInput& in, CDIB& dst, CDIB& src, const RECT* pRect) {
    const int x = in.Coordinate(), y = in.Coordinate(), key = in.Int() % 300;
    const int mode = in.Small(8) - 1;
    const BOOL mirror = in.Small(2);
    const std::vector<BYTE> before = Pixels(dst), source = Pixels(src);
    dst.BlitKeyed(&src, x, y, pRect, key, mode, mirror);
    // Keyed copies of a bitmap onto itself depend on the order of the walk; opaque ones not.
    const bool checked = key < 0 || (mode == BLIT_KEYED && !mirror && &dst != &src);
    const RECT whole{0, 0, src.GetWidth(), src.GetHeight()};
    if (checked &&
        Pixels(dst) != ExpectedKeyed(dst, before, src, source, x, y, pRect ? *pRect : whole, key))
        abort();
}

// A sprite rectangle of at most 64 x 64 anywhere: the composing bitmap is as big as it.
RECT SpriteRect(FuzzInput& in) {
    RECT r;
    r.left = in.Coordinate();
    r.top = in.Coordinate();
    r.right = (LONG)((long long)r.left + in.Small(66) - 1);
    r.bottom = (LONG)((long long)r.top + in.Small(66) - 1);
    return r;
}

void DrawToPainter(FuzzInput& in, CDIB& src) {
    static QImage image(64, 48, QImage::Format_RGB32);
    QPainter painter(&image);
    if (in.Small(2)) {
        const int sx = 1 + in.Small(3), sy = 1 + in.Small(3);
        painter.scale(sx, sy);
    }
    CDC dc(&painter);
    const RECT dest = Rect(in), from = Rect(in);
    const bool wholeDest = in.Small(3) == 0, wholeSource = in.Small(3) == 0;
    src.Draw(&dc, wholeDest ? nullptr : &dest, wholeSource ? nullptr : &from);
}

// A dissolve whose abort flag is already set draws exactly one block, wherever the random
// offsets put it: any rectangle and block size, with no clock involved.
void OneDissolveBlock(FuzzInput& in, CDIB& dst, CDIB& src, const RECT* pRect) {
    BorrowedDC dc(dst);
    const int x = in.Coordinate(), y = in.Coordinate(), block = in.Coordinate();
    const int option = in.Coordinate();
    BOOL abort = TRUE;
    src.Dissolve(&dc, x, y, pRect, block, option, 1, &abort);
}

void Operation(FuzzInput& in, CDIB* dibs[2], CPalette& pal) {
    CDIB& dst = *dibs[in.Small(2)];
    CDIB& src = *dibs[in.Small(2)];
    const RECT a = Rect(in), b = Rect(in);
    const bool nullA = in.Small(4) == 0, nullB = in.Small(4) == 0;
    switch (in.Small(9)) {
    case 0:
        src.StretchDraw(&dst, nullA ? nullptr : &a, nullB ? nullptr : &b);
        break;
    case 1: {
        BorrowedDC dc(dst);
        src.Draw(&dc, nullA ? nullptr : &a, nullB ? nullptr : &b);
        break;
    }
    case 2:
    case 3:
        RawBlit(in, dst, src, in.Small(2));
        break;
    case 4: {
        BorrowedDC dc(dst);
        const RECT sprite = SpriteRect(in);
        const int x = in.Coordinate(), y = in.Coordinate(), key = in.Int() % 300;
        const int fill = in.Int(), xBack = in.Coordinate(), yBack = in.Coordinate();
        src.DrawComposite(&dc, x, y, nullA ? nullptr : &sprite, key, fill, nullB ? nullptr : &dst,
                          xBack, yBack);
        break;
    }
    case 5:
        KeyedCopy(in, dst, src, nullA ? nullptr : &a);
        break;
    case 6:
        DrawToPainter(in, src);
        break;
    case 7:
        dst.MapToPalette(in.Small(2) ? &pal : nullptr);
        break;
    case 8:
        OneDissolveBlock(in, dst, src, nullA ? nullptr : &a);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    CPalette pal;
    MakePalette(in, pal);
    CDIB first, second;
    if (!MakeBitmap(in, first, &pal) || !MakeBitmap(in, second, &pal))
        return 0;
    CDIB* dibs[2] = {&first, &second};
    for (int op = 0; op < 6 && in.Left() != 0; ++op)
        Operation(in, dibs, pal);
    return 0;
}
