#include "dib_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

void MakeNumbered(CDIB& dib, int w, int h) {
    MakeNumbered(dib, w, h, 10);
}

// The bitmap's indices as rows, top row first.
std::vector<std::vector<int>> Pixels(CDIB& dib) {
    std::vector<std::vector<int>> rows(dib.GetHeight(), std::vector<int>(dib.GetWidth()));
    for (int y = 0; y < dib.GetHeight(); ++y)
        for (int x = 0; x < dib.GetWidth(); ++x)
            rows[y][x] = At(dib, x, y);
    return rows;
}

} // namespace

TEST(BlitKeyed, CopiesARectangleToAPositionAcrossDifferentStrides) {
    CDIB src, dst;
    MakeNumbered(src, 5, 4); // stride 8
    ASSERT_TRUE(dst.Create(7, 6, 0, nullptr));
    RECT r{1, 1, 4, 3};
    dst.BlitKeyed(&src, 2, 3, &r, 200, BLIT_KEYED, FALSE);
    auto p = Pixels(dst);
    EXPECT_EQ(p[3][2], 12);
    EXPECT_EQ(p[3][4], 14);
    EXPECT_EQ(p[4][2], 22);
    EXPECT_EQ(p[4][4], 24);
    EXPECT_EQ(p[3][5], 0);
    EXPECT_EQ(p[5][2], 0);
    EXPECT_EQ(p[2][2], 0);
}

TEST(BlitKeyed, LeavesKeyPixelsOutAndComparesOnlyTheLowByteOfTheKey) {
    CDIB src, dst;
    MakeNumbered(src, 3, 1); // 1 2 3
    ASSERT_TRUE(dst.Create(3, 1, 9, nullptr));
    dst.BlitKeyed(&src, 0, 0, nullptr, 2 + 256, BLIT_KEYED, FALSE);
    auto p = Pixels(dst);
    EXPECT_EQ(p[0], (std::vector<int>{1, 9, 3}));
}

TEST(BlitKeyed, NegativeKeyCopiesOpaqueWhateverModeAndMirrorSay) {
    CDIB src, dst;
    MakeNumbered(src, 3, 2);
    ASSERT_TRUE(dst.Create(3, 2, 0, nullptr));
    dst.BlitKeyed(&src, 0, 0, nullptr, -1, 99, TRUE);
    auto p = Pixels(dst);
    EXPECT_EQ(p[0], (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(p[1], (std::vector<int>{11, 12, 13}));
}

TEST(BlitKeyed, SilhouetteModesPaintNonKeyPixelsInTheirIndex) {
    const int fills[][2] = {{BLIT_SILHOUETTE, 1},
                            {BLIT_SILHOUETTE_16, 16},
                            {BLIT_SILHOUETTE_255, 255},
                            {BLIT_SILHOUETTE_39, 39}};
    for (auto [mode, fill] : fills) {
        CDIB src, dst;
        MakeNumbered(src, 3, 1);
        ASSERT_TRUE(dst.Create(3, 1, 50, nullptr));
        dst.BlitKeyed(&src, 0, 0, nullptr, 2, mode, FALSE);
        EXPECT_EQ(Pixels(dst)[0], (std::vector<int>{fill, 50, fill})) << "mode " << mode;
    }
}

TEST(BlitKeyed, InvalidModeWithAKeyChangesNothing) {
    CDIB src, dst;
    MakeNumbered(src, 3, 3);
    ASSERT_TRUE(dst.Create(3, 3, 50, nullptr));
    dst.BlitKeyed(&src, 0, 0, nullptr, 0, 6, FALSE);
    dst.BlitKeyed(&src, 0, 0, nullptr, 0, -1, TRUE);
    for (auto& row : Pixels(dst))
        for (int v : row)
            EXPECT_EQ(v, 50);
}

TEST(BlitKeyed, ClipsAtEveryEdgeKeepingAlignment) {
    CDIB src, dst;
    MakeNumbered(src, 4, 4);
    ASSERT_TRUE(dst.Create(4, 4, 0, nullptr));
    dst.BlitKeyed(&src, -2, -1, nullptr, 0, BLIT_KEYED, FALSE); // past left and top
    auto p = Pixels(dst);
    EXPECT_EQ(p[0], (std::vector<int>{13, 14, 0, 0}));
    EXPECT_EQ(p[2], (std::vector<int>{33, 34, 0, 0}));
    EXPECT_EQ(p[3], (std::vector<int>{0, 0, 0, 0}));

    ASSERT_TRUE(dst.Fill(0));
    dst.BlitKeyed(&src, 3, 2, nullptr, 0, BLIT_KEYED, FALSE); // past right and bottom
    p = Pixels(dst);
    EXPECT_EQ(p[2], (std::vector<int>{0, 0, 0, 1}));
    EXPECT_EQ(p[3], (std::vector<int>{0, 0, 0, 11}));
    EXPECT_EQ(p[1], (std::vector<int>{0, 0, 0, 0}));
}

TEST(BlitKeyed, SourceRectanglePastTheSourceIsCutToIt) {
    CDIB src, dst;
    MakeNumbered(src, 3, 3);
    ASSERT_TRUE(dst.Create(6, 6, 0, nullptr));
    RECT r{1, 1, 10, 10};
    dst.BlitKeyed(&src, 0, 0, &r, 0, BLIT_KEYED, FALSE);
    auto p = Pixels(dst);
    EXPECT_EQ(p[0], (std::vector<int>{12, 13, 0, 0, 0, 0}));
    EXPECT_EQ(p[1], (std::vector<int>{22, 23, 0, 0, 0, 0}));
    EXPECT_EQ(p[2], (std::vector<int>{0, 0, 0, 0, 0, 0}));

    ASSERT_TRUE(dst.Fill(0));
    RECT before{-2, -1, 2, 2}; // starts before the source: shifted as if drawn whole
    dst.BlitKeyed(&src, 2, 2, &before, 0, BLIT_KEYED, FALSE);
    p = Pixels(dst);
    EXPECT_EQ(p[3], (std::vector<int>{0, 0, 0, 0, 1, 2}));
    EXPECT_EQ(p[4], (std::vector<int>{0, 0, 0, 0, 11, 12}));
}

TEST(BlitKeyed, MirrorPlacesColumnsRightToLeftAndClipsTheRightColumns) {
    CDIB src, dst;
    MakeNumbered(src, 4, 1); // 1 2 3 4
    ASSERT_TRUE(dst.Create(6, 1, 0, nullptr));
    dst.BlitKeyed(&src, 1, 0, nullptr, 0, BLIT_KEYED, TRUE);
    EXPECT_EQ(Pixels(dst)[0], (std::vector<int>{0, 4, 3, 2, 1, 0}));

    // Past the right edge the source's leftmost columns go; past the left edge its rightmost.
    ASSERT_TRUE(dst.Fill(0));
    dst.BlitKeyed(&src, 4, 0, nullptr, 0, BLIT_KEYED, TRUE);
    EXPECT_EQ(Pixels(dst)[0], (std::vector<int>{0, 0, 0, 0, 4, 3}));
    ASSERT_TRUE(dst.Fill(0));
    dst.BlitKeyed(&src, -2, 0, nullptr, 0, BLIT_KEYED, TRUE);
    EXPECT_EQ(Pixels(dst)[0], (std::vector<int>{2, 1, 0, 0, 0, 0}));

    // A one-pixel-wide rectangle lands on the same column either way.
    CDIB a, b;
    ASSERT_TRUE(a.Create(6, 1, 0, nullptr));
    ASSERT_TRUE(b.Create(6, 1, 0, nullptr));
    RECT one{2, 0, 3, 1};
    a.BlitKeyed(&src, 3, 0, &one, 0, BLIT_KEYED, TRUE);
    b.BlitKeyed(&src, 3, 0, &one, 0, BLIT_KEYED, FALSE);
    EXPECT_EQ(Pixels(a), Pixels(b));
}

// An asymmetric 5 x 3 sprite of a sub-rectangle, key pixels inside it, placed mirrored so
// that it runs two columns past the destination's right edge; every destination pixel is
// checked against the placement rule worked out here: source column sx + k of the whole
// rectangle lands at x + w - 1 - k, mirrored, or x + k, opaque.
TEST(BlitKeyed, MirroredKeyedCopiesOfAMultiRowSpriteClippedAtTheRight) {
    constexpr int kKey = 7, kGuard = 250, kW = 5, kH = 3, kX = 6, kY = 1;
    const int sprite[kH][kW] = {
        {1, 2, kKey, 4, 5}, {kKey, 11, 12, 13, kKey}, {21, kKey, kKey, 24, 25}};
    CDIB src;
    ASSERT_TRUE(src.Create(kW + 2, kH + 1, 99, nullptr));
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            At(src, x + 1, y + 1) = (BYTE)sprite[y][x];
    const RECT rect{1, 1, 1 + kW, 1 + kH};
    const struct {
        int key, mode, fill; // fill < 0: the source index itself
        bool mirrored;
    } cases[] = {{-1, BLIT_KEYED, -1, false},
                 {kKey, BLIT_KEYED, -1, true},
                 {kKey, BLIT_SILHOUETTE, 1, true},
                 {kKey, BLIT_SILHOUETTE_255, 255, true}};
    for (const auto& c : cases) {
        CDIB dst;
        ASSERT_TRUE(dst.Create(9, 5, kGuard, nullptr));
        dst.BlitKeyed(&src, kX, kY, &rect, c.key, c.mode, TRUE);
        std::vector<std::vector<int>> expected(5, std::vector<int>(9, kGuard));
        for (int j = 0; j < kH; ++j)
            for (int k = 0; k < kW; ++k) {
                const int tx = c.mirrored ? kX + kW - 1 - k : kX + k;
                const int index = sprite[j][k];
                if (tx >= 9 || (c.key >= 0 && index == c.key))
                    continue;
                expected[kY + j][tx] = c.fill < 0 ? index : c.fill;
            }
        EXPECT_EQ(Pixels(dst), expected) << "key " << c.key << " mode " << c.mode;
    }
}

TEST(BlitKeyed, MirroredRectanglePastTheSourceReadsOnlyTheSource) {
    CDIB src, dst;
    MakeNumbered(src, 4, 2);
    ASSERT_TRUE(dst.Create(8, 2, 0, nullptr));
    // Columns -2..5 of a 4-wide source: only 0..3 exist; each keeps its mirrored place,
    // where column c of the rectangle lands at 2 + 8 - 1 - (c + 2) = 7 - c.
    RECT r{-2, 0, 6, 1};
    dst.BlitKeyed(&src, 2, 0, &r, 0, BLIT_KEYED, TRUE);
    EXPECT_EQ(Pixels(dst)[0], (std::vector<int>{0, 0, 0, 0, 4, 3, 2, 1}));
    EXPECT_EQ(Pixels(dst)[1], (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(BlitKeyed, RowDropoutDrawsOneRandomNumberPerClippedRow) {
    CDIB src, dst;
    MakeNumbered(src, 4, 8);
    ASSERT_TRUE(dst.Create(4, 5, 0, nullptr));
    // Predict from the same sequence: seed, note the numbers, seed again, blit.
    srand(12345);
    std::vector<int> draws;
    for (int i = 0; i < 6; ++i)
        draws.push_back(rand());
    srand(12345);
    dst.BlitKeyed(&src, 0, 0, nullptr, 0, BLIT_ROW_DROPOUT, FALSE); // clipped to 5 rows
    EXPECT_EQ(rand(), draws[5]);
    for (int y = 0; y < 5; ++y) {
        bool dropped = (draws[y] & 0x0C00) == 0x0800;
        EXPECT_EQ(At(dst, 0, y), dropped ? 0 : 10 * y + 1) << "row " << y;
    }

    ASSERT_TRUE(dst.Fill(0));
    srand(777);
    draws.clear();
    for (int i = 0; i < 5; ++i)
        draws.push_back(rand());
    srand(777);
    dst.BlitKeyed(&src, 0, 0, nullptr, 0, BLIT_ROW_DROPOUT, TRUE);
    for (int y = 0; y < 5; ++y) {
        bool dropped = (draws[y] & 0xC0) == 0x80;
        EXPECT_EQ(At(dst, 3, y), dropped ? 0 : 10 * y + 1) << "mirrored row " << y;
    }
}

TEST(BlitKeyed, MissingBitmapsDoNothing) {
    CDIB src, dst, empty;
    MakeNumbered(src, 2, 2);
    ASSERT_TRUE(dst.Create(2, 2, 5, nullptr));
    dst.BlitKeyed(nullptr, 0, 0, nullptr, -1, BLIT_KEYED, FALSE);
    dst.BlitKeyed(&empty, 0, 0, nullptr, -1, BLIT_KEYED, FALSE);
    empty.BlitKeyed(&src, 0, 0, nullptr, -1, BLIT_KEYED, FALSE);
    EXPECT_EQ(At(dst, 0, 0), 5);
    EXPECT_EQ(empty.m_pBits, nullptr);
}

TEST(BlitKeyed, HostileRectanglesAndPositionsStayInside) {
    CDIB src, dst;
    MakeNumbered(src, 3, 3);
    ASSERT_TRUE(dst.Create(3, 3, 0, nullptr));
    const int big = 0x7FFFFFFF, small = -0x7FFFFFFF - 1;
    RECT rects[] = {
        {small, small, big, big}, {big, big, small, small}, {0, 0, big, 2}, {small, 0, 2, 2}};
    for (const RECT& r : rects)
        for (int x : {small, -1, 0, 2, big})
            for (BOOL mirror : {FALSE, TRUE})
                dst.BlitKeyed(&src, x, x, &r, 0, BLIT_KEYED, mirror);
    SUCCEED(); // the sanitizers report any read or write outside either bitmap
}

TEST(CopyFrom, MatchesBlitKeyedInKeyedModeUnmirrored) {
    CDIB src, a, b;
    MakeNumbered(src, 5, 5);
    ASSERT_TRUE(a.Create(6, 6, 3, nullptr));
    ASSERT_TRUE(b.Create(6, 6, 3, nullptr));
    RECT r{1, 0, 5, 4};
    a.CopyFrom(&src, -1, 2, &r, 13);
    b.BlitKeyed(&src, -1, 2, &r, 13, BLIT_KEYED, FALSE);
    EXPECT_EQ(Pixels(a), Pixels(b));
    a.CopyFrom(&src, 1, 1, nullptr, -1);
    b.BlitKeyed(&src, 1, 1, nullptr, -1, BLIT_KEYED, FALSE);
    EXPECT_EQ(Pixels(a), Pixels(b));
}
