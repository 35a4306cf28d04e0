#include "draw_support.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstring>
#include <span>
#include <vector>

using namespace drawtest;

namespace {

constexpr QRgb kBlank = 0xFF010203;

QImage BlankImage(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kBlank);
    return image;
}

} // namespace

TEST(Draw, FourTimesLargerRectangleGivesFourByFourBlocksOfTableColours) {
    CDIB sheet;
    sheet.Create(6, 5, 0, nullptr);
    FillPattern(sheet);
    QImage image = BlankImage(30, 30);
    const RECT src{1, 1, 5, 4}, dest{3, 2, 3 + 16, 2 + 12};
    {
        QPainter painter(&image);
        CDC dc(&painter);
        sheet.Draw(&dc, &dest, &src);
        EXPECT_EQ(SetStretchBltMode(dc.m_hDC, COLORONCOLOR), COLORONCOLOR); // what Draw set
    }
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            bool inside = x >= 3 && x < 19 && y >= 2 && y < 14;
            QRgb expected =
                inside ? SystemRgb(Px(sheet, 1 + (x - 3) / 4, 1 + (y - 2) / 4)) : kBlank;
            ASSERT_EQ(image.pixel(x, y), expected) << x << "," << y;
        }
}

TEST(Draw, NullRectanglesDrawTheWholeBitmapOneToOneAtTheOrigin) {
    CDIB sheet, target;
    sheet.Create(3, 2, 0, nullptr);
    FillPattern(sheet);
    target.Create(5, 4, 1, nullptr);
    BorrowedDC dc(target);
    sheet.Draw(&dc, nullptr, nullptr);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(Px(target, x, y), x < 3 && y < 2 ? Px(sheet, x, y) : 1) << x << "," << y;

    CDIB empty;
    empty.Draw(&dc, nullptr, nullptr); // no context: nothing happens
    sheet.Draw(nullptr, nullptr, nullptr);
    const RECT hostile{INT_MIN, 0, INT_MAX, 2}; // a width that does not fit 32 bits
    sheet.Draw(&dc, &hostile, nullptr);
    EXPECT_EQ(Px(target, 4, 0), 1);
}

TEST(StretchDraw, StretchesIntoAnotherBitmapAndIgnoresOneWithoutContext) {
    CDIB sprite, target, empty;
    sprite.Create(2, 2, 0, nullptr);
    FillPattern(sprite);
    target.Create(4, 4, 1, nullptr);
    sprite.StretchDraw(&target, nullptr, nullptr); // null destination: the whole target
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(Px(target, x, y), Px(sprite, x / 2, y / 2));

    sprite.StretchDraw(&empty, nullptr, nullptr);
    EXPECT_EQ(empty.m_pBits, nullptr);
    sprite.StretchDraw(nullptr, nullptr, nullptr);
    empty.StretchDraw(&target, nullptr, nullptr);
    EXPECT_EQ(Px(target, 0, 0), Px(sprite, 0, 0));
}

// DrawComposite onto a painter: the composed bitmap takes the painter's (system) palette, so
// every index shows as its system colour.
class DrawCompositeTest : public ::testing::Test {
protected:
    static constexpr int kKey = 3, kFill = 200, kBack = 100, kSprite = 50;
    CDIB sprite, back;
    QImage image = BlankImage(40, 40);

    void SetUp() override {
        // A 4 x 4 sprite: key colour in its left column, the sprite colour elsewhere.
        sprite.Create(4, 4, kSprite, nullptr);
        for (int y = 0; y < 4; ++y)
            Px(sprite, 0, y) = kKey;
        back.Create(10, 10, kBack, nullptr);
    }

    void Compose(int x, int y, const RECT* pSrcRect, int nKey, CDIB* pBack, int xBack, int yBack) {
        QPainter painter(&image);
        CDC dc(&painter);
        sprite.DrawComposite(&dc, x, y, pSrcRect, nKey, kFill, pBack, xBack, yBack);
    }

    QRgb At(int x, int y) const { return image.pixel(x, y); }
};

TEST_F(DrawCompositeTest, KeyShowsTheBackgroundOrTheFill) {
    Compose(5, 6, nullptr, kKey, &back, 0, 0);
    EXPECT_EQ(At(5, 6), SystemRgb(kBack));
    EXPECT_EQ(At(6, 6), SystemRgb(kSprite));
    EXPECT_EQ(At(8, 9), SystemRgb(kSprite));
    EXPECT_EQ(At(4, 6), kBlank);
    EXPECT_EQ(At(9, 6), kBlank);

    Compose(20, 20, nullptr, kKey, nullptr, 0, 0);
    EXPECT_EQ(At(20, 20), SystemRgb(kFill));
    EXPECT_EQ(At(21, 23), SystemRgb(kSprite));
}

// The background's own pixels are never keyed: where it holds the key index under the
// sprite's key pixels, that index is what shows, not the fill.
TEST_F(DrawCompositeTest, BackgroundPixelsOfTheKeyIndexShowUnderTheSpritesKeyPixels) {
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            Px(back, x, y) = (BYTE)((x + y) % 2 ? kKey : kBack);
    Compose(5, 6, nullptr, kKey, &back, 2, 3);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const int under = (x + 5 - 2 + y + 6 - 3) % 2 ? kKey : kBack;
            EXPECT_EQ(At(5 + x, 6 + y), SystemRgb(x == 0 ? under : kSprite)) << x << "," << y;
        }
}

TEST_F(DrawCompositeTest, BackgroundMissingUnderPartOfTheSpriteLeavesTheFill) {
    // The background's corner lies at (7, 7): the sprite's first key column at x = 5 and its
    // first two rows lie outside it.
    Compose(5, 5, nullptr, kKey, &back, 7, 7);
    for (int y = 5; y < 9; ++y)
        EXPECT_EQ(At(5, y), SystemRgb(kFill)) << y;
    Compose(8, 10, nullptr, kKey, &back, 7, 7);
    EXPECT_EQ(At(8, 10), SystemRgb(kBack));
}

TEST_F(DrawCompositeTest, NegativeKeyCoversTheBackgroundAndEmptySourceDrawsNothing) {
    Compose(5, 5, nullptr, -1, &back, 0, 0);
    EXPECT_EQ(At(5, 5), SystemRgb(kKey));
    EXPECT_EQ(At(8, 8), SystemRgb(kSprite));

    const RECT zeroWidth{1, 0, 1, 4};
    Compose(20, 20, &zeroWidth, kKey, &back, 0, 0);
    for (int y = 0; y < 40; ++y)
        for (int x = 15; x < 40; ++x)
            ASSERT_EQ(At(x, y), kBlank);
}

TEST_F(DrawCompositeTest, SubRectangleAndHostilePositionsStayInBounds) {
    const RECT right{1, 1, 4, 3}; // 3 x 2 of sprite colour
    Compose(30, 30, &right, kKey, &back, INT_MIN, INT_MAX);
    EXPECT_EQ(At(30, 30), SystemRgb(kSprite));
    EXPECT_EQ(At(32, 31), SystemRgb(kSprite));
    EXPECT_EQ(At(33, 31), kBlank);
    Compose(INT_MAX - 1, INT_MAX - 1, nullptr, kKey, &back, INT_MIN, INT_MIN);
    Compose(INT_MIN, INT_MIN, nullptr, -1, &back, INT_MAX, INT_MAX);
}

TEST_F(DrawCompositeTest, BorrowsTheDevicePaletteAndLeavesNothingBehind) {
    // A memory context holds the twenty static colours, so the composed bitmap's table is
    // those and black past them: the sprite's index 50 reaches the target as black, where the
    // system palette would have kept it 50.
    CDIB target;
    target.Create(8, 8, 77, nullptr);
    const HGDIOBJ devicePalette = GetCurrentObject(target.m_hDC, OBJ_PAL);
    ASSERT_EQ(GetPaletteEntries(reinterpret_cast<HPALETTE>(devicePalette), 0, 0, nullptr), 20u);
    const DWORD before = AfxGdiLiveObjectCount();
    {
        BorrowedDC dc(target);
        sprite.DrawComposite(&dc, 0, 0, nullptr, kKey, kFill, nullptr, 0, 0);
    }
    EXPECT_EQ(AfxGdiLiveObjectCount(), before);
    EXPECT_EQ(GetCurrentObject(target.m_hDC, OBJ_PAL), devicePalette);
    EXPECT_EQ(Px(target, 1, 1),
              fixtures::NearestIndex(fixtures::SystemPalette().data(), 256, 0, 0, 0));

    CDIB empty;
    BorrowedDC dc(target);
    empty.DrawComposite(&dc, 0, 0, nullptr, kKey, kFill, &back, 0, 0);
    sprite.DrawComposite(nullptr, 0, 0, nullptr, kKey, kFill, &back, 0, 0);
    EXPECT_EQ(AfxGdiLiveObjectCount(), before);
}

TEST(MapToPalette, IdenticalPaletteKeepsPixelsAndRewritesTheTable) {
    CPalette ramp;
    MakeRampPalette(ramp, 256);
    CDIB dib;
    dib.Create(7, 3, 0, &ramp);
    FillPattern(dib);
    std::vector<BYTE> before(dib.m_pBits, dib.m_pBits + dib.GetStride() * dib.GetHeight());
    for (auto& q : std::span(dib.m_pBMI->bmiColors, 256))
        q.rgbReserved = 9;

    ASSERT_TRUE(dib.MapToPalette(&ramp));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), dib.m_pBits));
    EXPECT_EQ(dib.m_pBMI->bmiHeader.biClrUsed, 256u);
    EXPECT_EQ(dib.m_pBMI->bmiColors[77].rgbReserved, 0);
    EXPECT_EQ(dib.m_pBMI->bmiColors[77].rgbGreen, 255 - 77);
}

TEST(MapToPalette, ShortPaletteMapsIntoItAndRepeatsItsLastColour) {
    CPalette ramp16;
    MakeRampPalette(ramp16, 16);
    CDIB dib;
    dib.Create(5, 2, 0, nullptr); // stride 8: three padding bytes a row
    for (size_t i = 0; i < 16; ++i)
        dib.m_pBits[i] = (BYTE)(i * 17);
    RGBQUAD table[256];
    memcpy(table, dib.m_pBMI->bmiColors, sizeof(table));

    ASSERT_TRUE(dib.MapToPalette(&ramp16));
    PALETTEENTRY entries[16];
    ramp16.GetPaletteEntries(0, 16, entries);
    for (size_t i = 0; i < 16; ++i) { // padding bytes included
        const RGBQUAD& c = table[i * 17];
        int nearest = fixtures::NearestIndex(entries, 16, c.rgbRed, c.rgbGreen, c.rgbBlue);
        EXPECT_EQ(dib.m_pBits[i], nearest) << i;
        EXPECT_LT(dib.m_pBits[i], 16);
    }
    for (int i = 15; i < 256; ++i) {
        EXPECT_EQ(dib.m_pBMI->bmiColors[i].rgbRed, 15) << i;
        EXPECT_EQ(dib.m_pBMI->bmiColors[i].rgbGreen, 240) << i;
        EXPECT_EQ(dib.m_pBMI->bmiColors[i].rgbBlue, 45) << i;
    }
}

TEST(MapToPalette, RemappedBitmapDrawsInItsNewColours) {
    CPalette ramp16;
    MakeRampPalette(ramp16, 16);
    CDIB dib;
    dib.Create(2, 1, 0, nullptr);
    Px(dib, 0, 0) = 249; // red
    Px(dib, 1, 0) = 255; // white
    ASSERT_TRUE(dib.MapToPalette(&ramp16));
    QImage image = BlankImage(2, 1);
    {
        QPainter painter(&image);
        CDC dc(&painter);
        dib.Draw(&dc, nullptr, nullptr);
    }
    for (int x = 0; x < 2; ++x) {
        const RGBQUAD& c = dib.m_pBMI->bmiColors[Px(dib, x, 0)];
        EXPECT_EQ(image.pixel(x, 0), RgbOf(c)) << x;
    }
}

TEST(MapToPalette, RefusesMissingPalettesAndEmptyBitmaps) {
    CDIB dib, empty;
    dib.Create(4, 4, 77, nullptr);
    CPalette none, ramp;
    MakeRampPalette(ramp, 4);
    EXPECT_FALSE(dib.MapToPalette(nullptr));
    EXPECT_FALSE(dib.MapToPalette(&none));
    EXPECT_FALSE(empty.MapToPalette(&ramp));
    EXPECT_EQ(Px(dib, 2, 2), 77);
    EXPECT_EQ(dib.m_pBMI->bmiHeader.biClrUsed, 0u);
}
