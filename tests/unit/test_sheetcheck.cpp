#include "sheet.h"
#include "sheetcheck.h"

#include <gtest/gtest.h>

#include <vector>

using namespace sheetcheck;

namespace {

// Indices of the display's palette, which a sheet made with no palette carries.
constexpr int kKey = 0;        // (0, 0, 0)
constexpr int kNearKey = 226;  // (12, 12, 12)
constexpr int kBlackTwin = 10; // (0, 0, 0) again, under another index
constexpr int kGrid = 96;      // (102, 102, 102)
constexpr int kNearGrid = 233; // (97, 97, 97)
constexpr int kRed = 249;      // (255, 0, 0)

void Put(CDIB& dib, int x, int y, int index) {
    dib.m_pBits[(size_t)(dib.GetHeight() - 1 - y) * dib.GetStride() + x] = (BYTE)index;
}

// A sheet of the mode's full size with a grid in `grid` (the key for none) and a small red
// sprite in the middle of every cell.
void MakeSheet(CDIB& dib, int nMode, int grid, int width = 0, int height = 0) {
    SheetGeometry g = GetSheetGeometry(nMode);
    const int c = g.cellSize;
    ASSERT_TRUE(
        dib.Create(width ? width : g.framesPerRow * c, height ? height : 10 * c, kKey, nullptr));
    for (int y = 0; y < dib.GetHeight(); ++y)
        for (int x = 0; x < dib.GetWidth(); ++x)
            if ((x % c == 0 || y % c == 0) && (x | y) != 0)
                Put(dib, x, y, grid);
            else if (x % c == c / 2 && y % c == c / 2)
                Put(dib, x, y, kRed);
}

} // namespace

TEST(SheetCheck, CleanSheetsHaveNoFinding) {
    for (int mode : {MODE_ATTACK, MODE_EFFECTS})
        for (int grid : {kGrid, kKey}) {
            CDIB dib;
            MakeSheet(dib, mode, grid);
            EXPECT_TRUE(CheckSheet(dib, mode).empty()) << mode << " " << grid;
        }
}

TEST(SheetCheck, NearKeyColoursInSpritesAreFound) {
    CDIB dib;
    MakeSheet(dib, MODE_ATTACK, kGrid);
    Put(dib, 5 * 48 + 10, 3 * 48 + 7, kNearKey);
    Put(dib, 2 * 48 + 1, 9 * 48 + 1, kBlackTwin); // the key's colour under another index
    Put(dib, 30, 30, kKey);                       // the key itself is fine anywhere
    std::vector<Finding> f = CheckSheet(dib, MODE_ATTACK);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].problem, Problem::NearKey);
    EXPECT_EQ(f[0].row, 3);
    EXPECT_EQ(f[0].cell, 5);
    EXPECT_EQ(f[0].x, 250);
    EXPECT_EQ(f[0].y, 151);
    EXPECT_EQ(f[1].problem, Problem::NearKey);
    EXPECT_EQ(f[1].row, 9);
    EXPECT_EQ(f[1].cell, 2);
    EXPECT_EQ(FormatFinding("attack03.bmp", 3, f[0]),
              "attack03.bmp row 33 (offset 3) cell 5 pixel (250, 151): colour (12, 12, 12) "
              "(index 226) is close to the key colour (0, 0, 0) (index 0)");
}

// The key is the top-left pixel, whatever index that is.
TEST(SheetCheck, KeyIsTheTopLeftPixel) {
    CDIB dib;
    MakeSheet(dib, MODE_EFFECTS, kGrid);
    Put(dib, 0, 0, kRed);  // red is now the key; black is sprite colour, far from it
    Put(dib, 40, 40, 190); // the cube's (255, 0, 0), red under another index
    std::vector<Finding> f = CheckSheet(dib, MODE_EFFECTS);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].problem, Problem::NearKey);
    EXPECT_EQ(f[0].x, 40);
}

TEST(SheetCheck, SpritesOverAGridLineAreFoundButAUniformGridIsNot) {
    CDIB dib;
    MakeSheet(dib, MODE_ATTACK, kGrid);
    Put(dib, 96, 100, kRed);      // on cell 2's first column
    Put(dib, 150, 144, kRed);     // on row 3's first row
    Put(dib, 192, 20, kKey);      // a gap in the grid is no sprite
    Put(dib, 240, 20, kNearGrid); // a dithered grid line, as a JPEG comes back
    std::vector<Finding> f = CheckSheet(dib, MODE_ATTACK);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].problem, Problem::OnGrid);
    EXPECT_EQ(f[0].row, 2);
    EXPECT_EQ(f[0].cell, 2);
    EXPECT_EQ(f[0].x, 96);
    EXPECT_EQ(f[1].problem, Problem::OnGrid);
    EXPECT_EQ(f[1].row, 3);
    EXPECT_EQ(f[1].cell, 3);
    EXPECT_EQ(f[1].y, 144);
}

// Without a drawn grid, any colour on a cell's first column or row belongs to a sprite.
TEST(SheetCheck, OnAGridlessSheetEveryNonKeyGridPixelIsFound) {
    CDIB dib;
    MakeSheet(dib, MODE_EFFECTS, kKey);
    Put(dib, 16 * 7, 5, kNearGrid);
    Put(dib, 3, 16 * 9, kGrid);
    std::vector<Finding> f = CheckSheet(dib, MODE_EFFECTS);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].problem, Problem::OnGrid);
    EXPECT_EQ(f[0].cell, 7);
    EXPECT_EQ(f[1].problem, Problem::OnGrid);
    EXPECT_EQ(f[1].row, 9);
}

TEST(SheetCheck, EmptyCellsAreFoundAtTheirSprite) {
    CDIB dib;
    MakeSheet(dib, MODE_ATTACK, kGrid);
    Put(dib, 4 * 48 + 24, 6 * 48 + 24, kKey);
    std::vector<Finding> f = CheckSheet(dib, MODE_ATTACK);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].problem, Problem::EmptyCell);
    EXPECT_EQ(f[0].row, 6);
    EXPECT_EQ(f[0].cell, 4);
    EXPECT_EQ(f[0].x, 4 * 48 + 1);
    EXPECT_EQ(f[0].y, 6 * 48 + 1);
}

// A small picture is one finding; its cells that lie wholly inside are still checked, and
// those it cuts off are not reported one by one.
TEST(SheetCheck, SmallPicturesAreFoundAndTheirWholeCellsChecked) {
    CDIB dib;
    MakeSheet(dib, MODE_ATTACK, kGrid, 300, 470);
    Put(dib, 48 + 24, 48 + 24, kKey); // empties row 1 cell 1
    std::vector<Finding> f = CheckSheet(dib, MODE_ATTACK);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].problem, Problem::TooSmall);
    EXPECT_EQ(f[0].detail, "picture is 300 x 470, smaller than the 384 x 480 it needs");
    EXPECT_EQ(FormatFinding("attack00.bmp", 0, f[0]),
              "attack00.bmp: picture is 300 x 470, smaller than the 384 x 480 it needs");
    EXPECT_EQ(f[1].problem, Problem::EmptyCell);
    EXPECT_EQ(f[1].row, 1);
    EXPECT_EQ(f[1].cell, 1);

    CDIB tiny;
    ASSERT_TRUE(tiny.Create(10, 10, 0, nullptr));
    f = CheckSheet(tiny, MODE_EFFECTS);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].problem, Problem::TooSmall);
}

TEST(SheetCheck, AnEmptyBitmapIsNotLoaded) {
    CDIB dib;
    std::vector<Finding> f = CheckSheet(dib, MODE_ATTACK);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].problem, Problem::NotLoaded);
}
