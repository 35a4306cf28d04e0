// sheetconv's own contract: arguments, exit codes, its one error line, and the file it writes.
#include "conformance_support.h"

#include <gtest/gtest.h>

using namespace conformance;

TEST(Sheetconv, WrongArgumentsGiveUsageAndStatusTwo) {
    ScratchFolder scratch;
    SheetconvResult none = RunSheetconv({}, scratch);
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.errorText.find("usage"), std::string::npos);
    EXPECT_EQ(RunSheetconv({"a", "b", "c"}, scratch).status, 2);
}

TEST(Sheetconv, AFileThatDoesNotLoadGivesOneLineAndNoOutput) {
    ScratchFolder scratch;
    std::string junk = scratch / "junk.bmp";
    WriteBytes(junk, std::vector<BYTE>{'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}); // 13 bytes
    for (const std::string& input : {junk, scratch / "missing.bmp"}) {
        std::string out = scratch / "out.bmp";
        SheetconvResult result = RunSheetconv({input, out}, scratch);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.errorText, "sheetconv: cannot read " + input + "\n");
        EXPECT_FALSE(FileExists(out));
    }
}

TEST(Sheetconv, WritesAnUncompressedEightBitBottomUpBmp) {
    ScratchFolder scratch;
    // A 5 x 3 file of 8 bits: the output must hold the same indices and table, padded with 0.
    std::vector<BYTE> file(14 + 40 + 1024 + 8 * 3, 0);
    BITMAPFILEHEADER bf{0x4D42, (DWORD)file.size(), 0, 0, 14 + 40 + 1024};
    BITMAPINFOHEADER bi{40, 5, 3, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
    memcpy(&file[0], &bf, 14);
    memcpy(&file[14], &bi, 40);
    for (int i = 0; i < 256; ++i) {
        file[54 + 4 * i] = (BYTE)i;
        file[54 + 4 * i + 1] = (BYTE)(255 - i);
        file[54 + 4 * i + 2] = (BYTE)(i * 3);
    }
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x)
            file[1078 + y * 8 + x] = (BYTE)(x < 5 ? 40 * y + x : 0xEE); // padding not zero
    std::string in = scratch / "Small.BMP";
    WriteBytes(in, file);

    std::string out = scratch / "out.bmp";
    // The platform's path rules apply: any case, either separator.
    std::string asTyped = scratch.path() + "\\small.bmp";
    ASSERT_EQ(RunSheetconv({asTyped, out}, scratch).status, 0);
    std::vector<BYTE> written = ReadBytes(out);
    ASSERT_EQ(written.size(), 1078u + 24);
    EXPECT_EQ(written[0], 'B');
    EXPECT_EQ(written[10], 0x36); // bfOffBits 1078 = 0x436
    EXPECT_EQ(written[11], 0x04);
    EXPECT_EQ(written[14], 40);
    EXPECT_EQ(written[28], 8);
    EXPECT_EQ(written[30], 0);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(memcmp(&written[54 + 4 * i], &file[54 + 4 * i], 3), 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(written[1078 + y * 8 + x], x < 5 ? 40 * y + x : 0) << x << "," << y;
}
