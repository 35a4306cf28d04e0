#include "draw_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>
#include <vector>

using namespace drawtest;

namespace {

DWORD g_now = 0, g_step = 0;
DWORD TestClock() {
    DWORD t = g_now;
    g_now += g_step;
    return t;
}

// Whether the generator is exactly `draws` numbers further on than after srand(seed).
bool GeneratorAdvancedBy(unsigned seed, int draws) {
    int next = rand();
    srand(seed);
    for (int i = 0; i < draws; ++i)
        rand();
    return rand() == next;
}

// A 12 x 10 patterned source dissolved onto a 20 x 20 target filled with a guard index.
class DissolveTest : public ::testing::Test {
protected:
    static constexpr BYTE kGuard = 1;
    static constexpr unsigned kSeed = 4711;
    CDIB src, target;

    void SetUp() override {
        src.Create(12, 10, 0, nullptr);
        FillPattern(src);
        target.Create(20, 20, kGuard, nullptr);
        AfxSetTickCountSource(TestClock);
        srand(kSeed);
    }
    void TearDown() override { AfxSetTickCountSource(nullptr); }

    void Run(const RECT* r, int nBlock, int nBlockOption, int ms, BOOL* pbAbort, int x = 2,
             int y = 3) {
        BorrowedDC dc(target);
        src.Dissolve(&dc, x, y, r, nBlock, nBlockOption, ms, pbAbort);
    }

    int Changed() {
        int n = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                n += Px(target, x, y) != kGuard;
        return n;
    }

    // The picture that `blocks` blocks of bw x bh, their offsets drawn x first from the
    // generator after srand(kSeed) modulo rx and ry, leave at (x, y).
    void ExpectBlocks(const RECT& r, int x, int y, int bw, int bh, int rx, int ry, int blocks) {
        CDIB expected;
        expected.Create(20, 20, kGuard, nullptr);
        srand(kSeed);
        for (int i = 0; i < blocks; ++i) {
            int ox = rand() % rx;
            int oy = rand() % ry;
            for (int j = 0; j < bh; ++j)
                for (int k = 0; k < bw; ++k)
                    Px(expected, x + ox + k, y + oy + j) = Px(src, r.left + ox + k, r.top + oy + j);
        }
        for (int j = 0; j < 20; ++j)
            for (int k = 0; k < 20; ++k)
                ASSERT_EQ(Px(target, k, j), Px(expected, k, j)) << k << "," << j;
    }
};

} // namespace

TEST_F(DissolveTest, NoTimeDrawsNothingAndLeavesTheGeneratorAlone) {
    g_step = 1000;
    Run(nullptr, 2, 0, 0, nullptr);
    Run(nullptr, 2, 0, -5, nullptr);
    EXPECT_EQ(Changed(), 0);
    EXPECT_TRUE(GeneratorAdvancedBy(kSeed, 0));
}

TEST_F(DissolveTest, OneBatchPlacesBlocksAtOffsetsDrawnXFirst) {
    // The clock moves 10 ms a reading: the check after the first batch finds the time up.
    g_now = 500, g_step = 10;
    const RECT r{1, 1, 7, 5}; // 6 x 4 with 2 x 2 blocks: offsets modulo 4 and 2
    Run(&r, 2, 0, 10, nullptr);
    EXPECT_TRUE(GeneratorAdvancedBy(kSeed, 200));
    ExpectBlocks(r, 2, 3, 2, 2, 4, 2, 100);
}

TEST_F(DissolveTest, WithoutAbortFlagRunsWholeBatchesUntilTimeIsUpAcrossTheWrap) {
    // Readings 0xFFFFFFFF, 0, 1, 2: the differences 1 and 2 go on, 3 stops.
    g_now = 0xFFFFFFFF, g_step = 1;
    Run(nullptr, 3, 0, 3, nullptr);
    EXPECT_TRUE(GeneratorAdvancedBy(kSeed, 3 * 200));
}

TEST_F(DissolveTest, FlagAlreadySetDrawsExactlyOneBlock) {
    g_step = 0;
    BOOL abort = TRUE;
    Run(nullptr, 3, 0, 1000, &abort);
    EXPECT_EQ(Changed(), 9);
    EXPECT_TRUE(GeneratorAdvancedBy(kSeed, 2));

    srand(kSeed);
    target.Fill(kGuard);
    Run(nullptr, -4, 0, 1000, &abort); // non-positive size: one-pixel blocks
    EXPECT_EQ(Changed(), 1);
}

TEST_F(DissolveTest, BlocksAsLargeAsTheRectangleNeverDivideByZero) {
    g_now = 0, g_step = 10;
    // A square rectangle and a larger block: both ranges are 0, every block is the whole.
    const RECT square{2, 2, 6, 6};
    Run(&square, 50, 1, 10, nullptr);
    EXPECT_TRUE(GeneratorAdvancedBy(kSeed, 200));
    EXPECT_EQ(Changed(), 16);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(Px(target, 2 + x, 3 + y), Px(src, 2 + x, 2 + y));
}

TEST_F(DissolveTest, BlockTallerThanTheRectangleReachesBelowIt) {
    g_now = 0, g_step = 10;
    // 6 wide, 2 tall, blocks of 4 x 4: offsets x modulo 2, y in 0 .. 1 (range -2).
    const RECT flat{1, 1, 7, 3};
    Run(&flat, 4, 0, 10, nullptr);
    ExpectBlocks(flat, 2, 3, 4, 4, 2, -2, 100);
}

TEST_F(DissolveTest, MissingTargetOrSourceDrawsNothing) {
    g_step = 10;
    CDIB empty;
    BorrowedDC dc(target);
    empty.Dissolve(&dc, 0, 0, nullptr, 2, 0, 10, nullptr);
    src.Dissolve(nullptr, 0, 0, nullptr, 2, 0, 10, nullptr);
    const RECT hostile{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    src.Dissolve(&dc, INT_MAX, INT_MAX, &hostile, 3, 0, 10, nullptr);
    EXPECT_EQ(Changed(), 0);
}

namespace {

// Text into a white bitmap with the system palette; the colour's index is pure red's.
class DrawTextTest : public ::testing::Test {
protected:
    static constexpr BYTE kWhite = 255, kRed = 190;
    CFont font;

    void SetUp() override {
        EnsureGuiApplication();
        ASSERT_TRUE(
            font.CreateFont(-14, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Liberation Sans"));
    }

    static void Blank(CDIB& dib, int w, int h) { dib.Create(w, h, kWhite, nullptr); }

    // Pixels that changed, and whether all of them hold `index` and lie in `inside`.
    static int Inked(CDIB& dib, BYTE index, const RECT& inside, bool* onlyInside) {
        int n = 0;
        *onlyInside = true;
        for (int y = 0; y < dib.GetHeight(); ++y)
            for (int x = 0; x < dib.GetWidth(); ++x) {
                BYTE v = Px(dib, x, y);
                if (v == kWhite)
                    continue;
                ++n;
                bool in =
                    x >= inside.left && x < inside.right && y >= inside.top && y < inside.bottom;
                *onlyInside = *onlyInside && in && v == index;
            }
        return n;
    }

    static std::pair<int, int> InkColumns(CDIB& dib) {
        int first = INT_MAX, last = -1;
        for (int y = 0; y < dib.GetHeight(); ++y)
            for (int x = 0; x < dib.GetWidth(); ++x)
                if (Px(dib, x, y) != kWhite) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        return {first, last};
    }
};

} // namespace

TEST_F(DrawTextTest, GlyphsTakeTheMatchedIndexWithoutAntialiasing) {
    CDIB dib;
    Blank(dib, 80, 24);
    const RECT rc{4, 2, 70, 20};
    dib.DrawText("Hello", &rc, DT_LEFT | DT_SINGLELINE, &font, RGB(250, 0, 0));
    bool onlyInside;
    EXPECT_GT(Inked(dib, kRed, rc, &onlyInside), 20);
    EXPECT_TRUE(onlyInside);
}

TEST_F(DrawTextTest, RectangleOutsideTheBitmapDrawsNothing) {
    CDIB dib;
    Blank(dib, 40, 20);
    const RECT outside[] = {{40, 0, 100, 20}, {-60, 0, 0, 20}, {0, -30, 40, 0}, {5, 5, 5, 15}};
    for (const RECT& rc : outside)
        dib.DrawText("Hello", &rc, DT_LEFT | DT_NOCLIP, &font, RGB(255, 0, 0));
    bool onlyInside;
    EXPECT_EQ(Inked(dib, kRed, RECT{0, 0, 40, 20}, &onlyInside), 0);

    CFont none;
    const RECT rc{0, 0, 40, 20};
    dib.DrawText("Hello", &rc, DT_LEFT, &none, RGB(255, 0, 0));
    dib.DrawText(nullptr, &rc, DT_LEFT, &font, RGB(255, 0, 0));
    dib.DrawText("Hello", nullptr, DT_LEFT, &font, RGB(255, 0, 0));
    EXPECT_EQ(Inked(dib, kRed, rc, &onlyInside), 0);
}

TEST_F(DrawTextTest, PartlyOutsideIsTheWholeLayoutClippedToTheBitmap) {
    CDIB wide, narrow;
    Blank(wide, 90, 24);
    Blank(narrow, 60, 24);
    const RECT whole{0, 0, 90, 24}, shifted{-30, 0, 60, 24};
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    wide.DrawText("WAVE WAVE", &whole, format, &font, RGB(255, 0, 0));
    narrow.DrawText("WAVE WAVE", &shifted, format, &font, RGB(255, 0, 0));
    int inked = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 60; ++x) {
            ASSERT_EQ(Px(narrow, x, y), Px(wide, x + 30, y)) << x << "," << y;
            inked += Px(narrow, x, y) != kWhite;
        }
    EXPECT_GT(inked, 0);
}

TEST_F(DrawTextTest, RestoresFontColourAndModeEvenForAnEmptyString) {
    CDIB dib;
    Blank(dib, 40, 20);
    CFont previous;
    previous.CreateFont(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Liberation Sans");
    HGDIOBJ original = SelectObject(dib.m_hDC, previous.m_hObject);
    SetTextColor(dib.m_hDC, RGB(1, 2, 3));
    SetBkMode(dib.m_hDC, OPAQUE);
    const RECT rc{0, 0, 40, 20};
    for (const char* text : {"", "Hi"}) {
        dib.DrawText(text, &rc, DT_LEFT, &font, RGB(255, 0, 0));
        EXPECT_EQ(GetCurrentObject(dib.m_hDC, OBJ_FONT), previous.m_hObject);
        // Each setter returns what was set before: the values DrawText found.
        EXPECT_EQ(SetTextColor(dib.m_hDC, RGB(1, 2, 3)), RGB(1, 2, 3));
        EXPECT_EQ(SetBkMode(dib.m_hDC, OPAQUE), OPAQUE);
    }
    SelectObject(dib.m_hDC, original);
}

TEST_F(DrawTextTest, BackgroundModeClippingAndLayoutFlags) {
    const RECT rc{10, 2, 110, 40};
    auto draw = [&](CDIB& dib, int mode, UINT format, const char* text, const RECT& r) {
        Blank(dib, 120, 44);
        HGDIOBJ old = SelectObject(dib.m_hDC, font.m_hObject);
        SetTextColor(dib.m_hDC, RGB(255, 0, 0));
        SetBkColor(dib.m_hDC, RGB(0, 0, 255));
        SetBkMode(dib.m_hDC, mode);
        RECT copy = r;
        int height = DrawTextA(dib.m_hDC, text, -1, &copy, format);
        SelectObject(dib.m_hDC, old);
        return height;
    };
    CDIB a, b, c;
    bool onlyInside;

    draw(a, TRANSPARENT, DT_LEFT, "Text", rc);
    draw(b, OPAQUE, DT_LEFT, "Text", rc);
    int blue = 0, red = 0;
    for (int y = 0; y < 44; ++y)
        for (int x = 0; x < 120; ++x) {
            blue += Px(b, x, y) == 15; // (0, 0, 255) in the system palette
            red += Px(b, x, y) == kRed;
        }
    EXPECT_EQ(Inked(a, kRed, rc, &onlyInside), red);
    EXPECT_GT(blue, red);

    // A rectangle narrower than the text cuts it off, unless DT_NOCLIP.
    const RECT narrow{10, 2, 20, 40};
    draw(a, TRANSPARENT, DT_LEFT | DT_NOPREFIX, "Longer text", narrow);
    Inked(a, kRed, narrow, &onlyInside);
    EXPECT_TRUE(onlyInside);
    draw(a, TRANSPARENT, DT_LEFT | DT_NOCLIP, "Longer text", narrow);
    Inked(a, kRed, narrow, &onlyInside);
    EXPECT_FALSE(onlyInside);

    draw(a, TRANSPARENT, DT_LEFT | DT_SINGLELINE, "Mid", rc);
    draw(b, TRANSPARENT, DT_CENTER | DT_SINGLELINE, "Mid", rc);
    draw(c, TRANSPARENT, DT_RIGHT | DT_SINGLELINE, "Mid", rc);
    EXPECT_LT(InkColumns(a).first, InkColumns(b).first);
    EXPECT_LT(InkColumns(b).first, InkColumns(c).first);
    EXPECT_LT(InkColumns(c).second, rc.right);

    const char* words = "one two three four five six";
    int single = draw(a, TRANSPARENT, DT_LEFT | DT_SINGLELINE, words, rc);
    int wrapped = draw(b, TRANSPARENT, DT_LEFT | DT_WORDBREAK, words, rc);
    EXPECT_GT(wrapped, single);
    int lines = draw(c, TRANSPARENT, DT_LEFT, "one\r\ntwo", rc);
    EXPECT_GT(lines, draw(a, TRANSPARENT, DT_LEFT, "one", rc));
}
