#include "draw_support.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <climits>

using namespace drawtest;

namespace {

// Source and destination bitmaps with the system palette's table, the destination filled with
// a guard index that no pattern pixel uses.
struct MemoryPair {
    CDIB src, dst;
    static constexpr BYTE kGuard = 1;
    MemoryPair(int sw, int sh, int dw, int dh) {
        src.Create(sw, sh, 0, nullptr);
        dst.Create(dw, dh, kGuard, nullptr);
        FillPattern(src);
    }
};

int ChangedPixels(CDIB& dib, BYTE guard) {
    int n = 0;
    for (int y = 0; y < dib.GetHeight(); ++y)
        for (int x = 0; x < dib.GetWidth(); ++x)
            n += Px(dib, x, y) != guard;
    return n;
}

} // namespace

TEST(StretchBlt, EqualTablesCopyIndicesAndRepeatPixelsOnIntegerEnlargement) {
    MemoryPair m(3, 2, 12, 8);
    ASSERT_TRUE(StretchBlt(m.dst.m_hDC, 0, 0, 12, 8, m.src.m_hDC, 0, 0, 3, 2, SRCCOPY));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(Px(m.dst, x, y), Px(m.src, x / 4, y / 4)) << x << "," << y;
}

TEST(StretchBlt, NonIntegerRatiosSampleAtPixelCentres) {
    // 3 -> 7 columns: (2k + 1) * 3 / 14 gives 0 0 1 1 1 2 2; 5 -> 2 rows: (2k + 1) * 5 / 4
    // gives 1 3.
    MemoryPair m(5, 5, 7, 2);
    ASSERT_TRUE(StretchBlt(m.dst.m_hDC, 0, 0, 7, 2, m.src.m_hDC, 1, 0, 3, 5, SRCCOPY));
    const int columns[7] = {1, 1, 2, 2, 2, 3, 3}, rows[2] = {1, 3};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(Px(m.dst, x, y), Px(m.src, columns[x], rows[y])) << x << "," << y;
}

TEST(StretchBlt, DifferentTablesMatchColoursButKeepEqualEntries) {
    CDIB src, dst;
    src.Create(4, 1, 0, nullptr);
    dst.Create(4, 1, 0, nullptr);
    RGBQUAD table[256];
    memcpy(table, src.m_pBMI->bmiColors, sizeof(table));
    // Entries 5 and 9 both pure red in both tables; the destination also differs at entry 0.
    table[5] = table[9] = RGBQUAD{0, 0, 255, 0};
    SetDIBColorTable(src.m_hDC, 0, 256, table);
    table[0] = RGBQUAD{1, 2, 3, 0};
    table[40] = RGBQUAD{0, 0, 250, 0};
    SetDIBColorTable(dst.m_hDC, 0, 256, table);
    SetDIBColorTable(src.m_hDC, 100, 1, &table[40]); // near red, absent at 100 in dst

    Px(src, 0, 0) = 9;   // same colour at the same index: stays 9, not the lower 5
    Px(src, 1, 0) = 0;   // black is not at 0 in dst any more
    Px(src, 2, 0) = 100; // (250, 0, 0): exactly entry 40 of dst
    Px(src, 3, 0) = 7;   // unchanged entry
    ASSERT_TRUE(BitBlt(dst.m_hDC, 0, 0, 4, 1, src.m_hDC, 0, 0, SRCCOPY));
    EXPECT_EQ(Px(dst, 0, 0), 9);
    EXPECT_EQ(Px(dst, 1, 0), 10); // the cube's black, first exact match after entry 0
    EXPECT_EQ(Px(dst, 2, 0), 40);
    EXPECT_EQ(Px(dst, 3, 0), 7);
}

TEST(StretchBlt, ClipsToBothBitmapsAtEveryEdge) {
    {
        // Past the destination's left and top edges.
        MemoryPair m(4, 4, 6, 6);
        BitBlt(m.dst.m_hDC, -2, -1, 4, 4, m.src.m_hDC, 0, 0, SRCCOPY);
        EXPECT_EQ(ChangedPixels(m.dst, MemoryPair::kGuard), 2 * 3);
        EXPECT_EQ(Px(m.dst, 0, 0), Px(m.src, 2, 1));
        EXPECT_EQ(Px(m.dst, 1, 2), Px(m.src, 3, 3));
    }
    {
        // Past the destination's right and bottom edges.
        MemoryPair m(4, 4, 6, 6);
        BitBlt(m.dst.m_hDC, 4, 5, 4, 4, m.src.m_hDC, 0, 0, SRCCOPY);
        EXPECT_EQ(ChangedPixels(m.dst, MemoryPair::kGuard), 2 * 1);
        EXPECT_EQ(Px(m.dst, 5, 5), Px(m.src, 1, 0));
    }
    {
        // Source rectangle hanging over every edge of the source: only the pixels that exist
        // are copied, each to its own place.
        MemoryPair m(4, 4, 8, 8);
        BitBlt(m.dst.m_hDC, 1, 1, 6, 6, m.src.m_hDC, -1, -1, SRCCOPY);
        EXPECT_EQ(ChangedPixels(m.dst, MemoryPair::kGuard), 16);
        EXPECT_EQ(Px(m.dst, 1, 1), MemoryPair::kGuard);
        EXPECT_EQ(Px(m.dst, 2, 2), Px(m.src, 0, 0));
        EXPECT_EQ(Px(m.dst, 5, 5), Px(m.src, 3, 3));
    }
    {
        // Hostile values never reach outside either bitmap (the sanitizers watch the reads).
        MemoryPair m(4, 4, 6, 6);
        const int cases[][8] = {
            {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, 4, 4},
            {0, 0, INT_MAX, INT_MAX, INT_MIN, INT_MIN, INT_MAX, INT_MAX},
            {INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0, 0, 1, 1},
            {-3, -3, 6, 6, INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX},
            {5, 5, 1, 1, 3, 3, INT_MAX, INT_MAX},
        };
        for (const auto& c : cases)
            StretchBlt(m.dst.m_hDC, c[0], c[1], c[2], c[3], m.src.m_hDC, c[4], c[5], c[6], c[7],
                       SRCCOPY);
        // {5, 5, 1, 1} samples the middle of a huge source run, far outside the source.
        EXPECT_EQ(ChangedPixels(m.dst, MemoryPair::kGuard), 0);
        // A run of 2^31 - 1 pixels enlarging the source's first pixel covers the destination.
        StretchBlt(m.dst.m_hDC, -1, -1, INT_MAX, INT_MAX, m.src.m_hDC, 0, 0, 4, 4, SRCCOPY);
        EXPECT_EQ(Px(m.dst, 0, 0), Px(m.src, 0, 0));
        EXPECT_EQ(Px(m.dst, 5, 5), Px(m.src, 0, 0));
    }
}

TEST(StretchBlt, OverlappingCopyWithinOneBitmapReadsTheOriginalPixels) {
    CDIB dib;
    dib.Create(6, 1, 0, nullptr);
    FillPattern(dib);
    BitBlt(dib.m_hDC, 1, 0, 5, 1, dib.m_hDC, 0, 0, SRCCOPY);
    for (int x = 1; x < 6; ++x)
        EXPECT_EQ(Px(dib, x, 0), 10 + x - 1);
}

TEST(StretchBlt, RefusesWhatItCannotDo) {
    MemoryPair m(4, 4, 4, 4);
    EXPECT_FALSE(StretchBlt(m.dst.m_hDC, 0, 0, 4, 4, m.src.m_hDC, 0, 0, 4, 4, 0x00EE0086));
    EXPECT_FALSE(StretchBlt(m.dst.m_hDC, 0, 0, 4, 4, m.src.m_hDC, 0, 0, 4, 0, SRCCOPY));
    HDC display = CreateDC("DISPLAY", "", "", nullptr);
    EXPECT_FALSE(BitBlt(display, 0, 0, 4, 4, m.src.m_hDC, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(m.dst.m_hDC, 0, 0, 4, 4, display, 0, 0, SRCCOPY));
    DeleteDC(display);
    EXPECT_EQ(ChangedPixels(m.dst, MemoryPair::kGuard), 0);
}

TEST(StretchBlt, ExtentsOfDifferentSignsMirrorOnThatAxis) {
    {
        // A negative width runs leftwards from its start: columns 3, 2, 1, 0.
        MemoryPair m(4, 3, 6, 3);
        ASSERT_TRUE(StretchBlt(m.dst.m_hDC, 3, 0, -4, 3, m.src.m_hDC, 0, 0, 4, 3, SRCCOPY));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 6; ++x)
                EXPECT_EQ(Px(m.dst, x, y), x < 4 ? Px(m.src, 3 - x, y) : MemoryPair::kGuard)
                    << x << "," << y;
    }
    {
        // Rows 5 up to 0 sample a doubled source from its bottom; the bitmap keeps rows 0..3.
        MemoryPair m(2, 3, 4, 4);
        ASSERT_TRUE(StretchBlt(m.dst.m_hDC, 0, 5, 4, -6, m.src.m_hDC, 0, 0, 2, 3, SRCCOPY));
        const int rows[4] = {2, 2, 1, 1};
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(Px(m.dst, x, y), Px(m.src, x / 2, rows[y])) << x << "," << y;
    }
    {
        // Both extents negative: no mirror; the run still hangs over the right edge.
        MemoryPair m(4, 1, 3, 1);
        ASSERT_TRUE(StretchBlt(m.dst.m_hDC, 3, 0, -4, 1, m.src.m_hDC, 3, 0, -4, 1, SRCCOPY));
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Px(m.dst, x, 0), Px(m.src, x, 0)) << x;
    }
    {
        // On a painter, a CDIB drawn into a reversed rectangle shows mirrored, clipped left.
        CDIB src;
        src.Create(4, 2, 0, nullptr);
        FillPattern(src);
        const RGBQUAD* table = src.m_pBMI->bmiColors;
        QImage image(8, 2, QImage::Format_RGB32);
        image.fill(qRgb(1, 2, 3));
        {
            QPainter painter(&image);
            CDC dc(&painter);
            const RECT dest{5, 0, -3, 2}; // columns 5 down to -2, each source column twice
            src.Draw(&dc, &dest, nullptr);
        }
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 8; ++x) {
                QRgb expected = x <= 5 ? RgbOf(table[Px(src, (5 - x) / 2, y)]) : qRgb(1, 2, 3);
                EXPECT_EQ(image.pixel(x, y), expected) << x << "," << y;
            }
    }
}

TEST(PainterDC, BlitDrawsTableColoursAndNothingOutsideItsRectangle) {
    CDIB src;
    src.Create(4, 4, 0, nullptr);
    FillPattern(src);
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(qRgb(1, 2, 3));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        CDC dc(&painter);
        // Source rectangle hangs one pixel over the left edge: that destination column stays.
        ASSERT_TRUE(StretchBlt(dc.m_hDC, 2, 3, 10, 8, src.m_hDC, -1, 0, 5, 4, SRCCOPY));
        EXPECT_TRUE(painter.testRenderHint(QPainter::SmoothPixmapTransform));
    }
    RGBQUAD table[256];
    memcpy(table, src.m_pBMI->bmiColors, sizeof(table));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            bool inside = x >= 4 && x < 12 && y >= 3 && y < 11;
            QRgb expected =
                inside ? RgbOf(table[Px(src, (x - 4) / 2, (y - 3) / 2)]) : qRgb(1, 2, 3);
            ASSERT_EQ(image.pixel(x, y), expected) << x << "," << y;
        }
}

TEST(PainterDC, FollowsTheSamplingRuleAtEveryRatio) {
    CDIB src;
    src.Create(3, 1, 0, nullptr);
    FillPattern(src);
    RGBQUAD table[256];
    memcpy(table, src.m_pBMI->bmiColors, sizeof(table));
    QImage image(400, 2, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        CDC dc(&painter);
        StretchBlt(dc.m_hDC, 0, 0, 7, 1, src.m_hDC, 0, 0, 3, 1, SRCCOPY);
        // An integer enlargement long enough for fixed-point scaling to drift.
        StretchBlt(dc.m_hDC, 0, 1, 380, 1, src.m_hDC, 1, 0, 2, 1, SRCCOPY);
    }
    const int columns[7] = {0, 0, 1, 1, 1, 2, 2};
    for (int x = 0; x < 7; ++x)
        EXPECT_EQ(image.pixel(x, 0), RgbOf(table[Px(src, columns[x], 0)])) << x;
    for (int x = 0; x < 380; ++x)
        ASSERT_EQ(image.pixel(x, 1), RgbOf(table[Px(src, x < 190 ? 1 : 2, 0)])) << x;
}

TEST(PainterDC, ReportsTheSystemPaletteAndIsReleasedWithItsCDC) {
    QImage image(4, 4, QImage::Format_RGB32);
    QPainter painter(&image);
    DWORD before = AfxGdiLiveObjectCount();
    {
        CDC dc(&painter);
        ASSERT_NE(dc.m_hDC, nullptr);
        EXPECT_EQ(dc.m_hAttribDC, dc.m_hDC);
        HGDIOBJ pal = GetCurrentObject(dc.m_hAttribDC, OBJ_PAL);
        PALETTEENTRY e;
        EXPECT_EQ(GetPaletteEntries((HPALETTE)pal, 0, 0, nullptr), 256u);
        ASSERT_EQ(GetPaletteEntries((HPALETTE)pal, 10 + 36 * 5, 1, &e), 1u);
        EXPECT_EQ(e.peRed, 255);
        EXPECT_EQ(e.peGreen, 0);
        EXPECT_EQ(AfxGdiLiveObjectCount(), before + 1);
    }
    EXPECT_EQ(AfxGdiLiveObjectCount(), before);
}

TEST(DeviceContext, AttributesReturnThePreviousValue) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SetStretchBltMode(dc, COLORONCOLOR), BLACKONWHITE);
    EXPECT_EQ(SetStretchBltMode(dc, 99), 0);
    EXPECT_EQ(SetStretchBltMode(dc, HALFTONE), COLORONCOLOR);
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(dc, OPAQUE), TRANSPARENT);
    EXPECT_EQ(SetTextColor(dc, PALETTERGB(1, 2, 3)), 0u);
    EXPECT_EQ(SetTextColor(dc, 0), PALETTERGB(1, 2, 3));
    DeleteDC(dc);
}

TEST(DeviceContext, FillSolidRectMatchesTheTableAndStaysInsideTheBitmap) {
    CDIB dib;
    dib.Create(5, 3, 0, nullptr);
    BorrowedDC dc(dib);
    // The nearest system colour is pure red, first found in the colour cube at 190.
    const RECT overTheTop{3, -10, 103, 1};
    dc.FillSolidRect(&overTheTop, RGB(250, 0, 0));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(Px(dib, x, y), x >= 3 && y == 0 ? 190 : 0) << x << "," << y;
    EXPECT_EQ(SetBkColor(dc.m_hDC, 0), RGB(250, 0, 0)); // left set, as the framework does
    RECT hostile{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    dc.FillSolidRect(&hostile, RGB(255, 255, 255));
    EXPECT_EQ(Px(dib, 0, 2), 225); // white, first in the cube
}
