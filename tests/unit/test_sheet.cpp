#include "sheet.h"

#include <gtest/gtest.h>

#include <string>

TEST(SheetAddressing, FileNameAndRowFollowTheRowNumber) {
    EXPECT_STREQ(SheetFileName(MODE_ATTACK, 0), "attack00.bmp");
    EXPECT_STREQ(SheetFileName(MODE_EFFECTS, 0), "effects00.bmp");
    EXPECT_STREQ(SheetFileName(MODE_ATTACK, 57), "attack05.bmp");
    EXPECT_STREQ(SheetFileName(MODE_EFFECTS, 57), "effects05.bmp");
    EXPECT_STREQ(SheetFileName(MODE_ATTACK, 199), "attack19.bmp");
    EXPECT_STREQ(SheetFileName(MODE_ATTACK, 10), "attack01.bmp");
    EXPECT_EQ(RowInFile(57), 7);
    EXPECT_EQ(RowInFile(199), 9);
    EXPECT_EQ(RowInFile(10), 0);
}

TEST(SheetAddressing, PathJoinsFolderAsTyped) {
    EXPECT_STREQ(SheetPath("c:\\Kyr\\art", "attack01.bmp"), "c:\\Kyr\\art\\attack01.bmp");
    EXPECT_STREQ(SheetPath("c:\\Kyr\\art\\", "attack01.bmp"), "c:\\Kyr\\art\\\\attack01.bmp");
    EXPECT_STREQ(SheetPath("", "attack00.bmp"), "\\attack00.bmp");

    std::string longFolder(1000, 'f');
    std::string path = SheetPath(longFolder.c_str(), "attack00.bmp").str();
    EXPECT_EQ(path, std::string(899, 'f') + "\\attack00.bmp");
}

TEST(SheetAddressing, InformationLineNamesOffsetAndFile) {
    EXPECT_STREQ(SheetInfoLine(57, "attack05.bmp"),
                 "This is the row at offset 7 of the file attack05.bmp");
    EXPECT_STREQ(SheetInfoLine(0, "effects00.bmp"),
                 "This is the row at offset 0 of the file effects00.bmp");
}

TEST(SheetAddressing, GeometryAndRectangles) {
    EXPECT_EQ(GetSheetGeometry(MODE_ATTACK).cellSize, 48);
    EXPECT_EQ(GetSheetGeometry(MODE_ATTACK).framesPerRow, 8);
    EXPECT_EQ(GetSheetGeometry(MODE_EFFECTS).cellSize, 16);
    EXPECT_EQ(GetSheetGeometry(MODE_EFFECTS).framesPerRow, 16);
    EXPECT_EQ(GetSheetGeometry(7).cellSize, 48); // only 1 selects the effects geometry

    RECT row = SheetRowRect(MODE_ATTACK, 7);
    EXPECT_EQ(row.left, 0);
    EXPECT_EQ(row.top, 336);
    EXPECT_EQ(row.right, 384);
    EXPECT_EQ(row.bottom, 384);

    RECT sprite = SheetSpriteRect(MODE_EFFECTS, 2, 3);
    EXPECT_EQ(sprite.left, 49);
    EXPECT_EQ(sprite.top, 33);
    EXPECT_EQ(sprite.right, 64);
    EXPECT_EQ(sprite.bottom, 48);
}

TEST(SheetAddressing, KeyIsTheTopLeftPixelOfTheBottomUpBitmap) {
    CDIB sheet;
    EXPECT_EQ(SheetKeyIndex(sheet), -1);
    ASSERT_TRUE(sheet.Create(10, 4, 3, nullptr));
    sheet.m_pBits[36] = 0; // first byte of the last stored row: the top-left pixel
    EXPECT_EQ(SheetKeyIndex(sheet), 0);
    sheet.m_pBits[36] = 99;
    sheet.m_pBits[0] = 5; // bottom-left pixel: not the key
    EXPECT_EQ(SheetKeyIndex(sheet), 99);
}

TEST(SheetAddressing, ADroppedPathIsASheetOnlyWhenTheViewerCanReadItBackWhole) {
    auto sheet = SheetFromDroppedPath("/home/me/art/ATTACK19.BMP");
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->folder, "/home/me/art");
    EXPECT_EQ(sheet->nMode, MODE_ATTACK);
    EXPECT_EQ(sheet->nFirstRow, 190);
    sheet = SheetFromDroppedPath("/eFFects00.bmp");
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->folder, "/") << "an empty folder would name the wrong place";
    EXPECT_EQ(sheet->nMode, MODE_EFFECTS);
    EXPECT_EQ(sheet->nFirstRow, 0);

    const std::string longest = "/" + std::string(kMaxFolderChars - 1, 'f');
    EXPECT_TRUE(SheetFromDroppedPath(longest + "/attack00.bmp"));
    EXPECT_FALSE(SheetFromDroppedPath(longest + "f/attack00.bmp")) << "cut by the folder edit";
    EXPECT_FALSE(SheetFromDroppedPath("/tmp/a\\b/attack00.bmp")) << "read as two folders";
    EXPECT_FALSE(SheetFromDroppedPath("/art/attack20.bmp")) << "there is no row 200";
    EXPECT_FALSE(SheetFromDroppedPath("attack00.bmp"));
    EXPECT_FALSE(SheetFromDroppedPath("/art/attack00.bmp/"));
}
