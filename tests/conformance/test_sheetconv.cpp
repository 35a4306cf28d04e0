// sheetconv's own contract: arguments, exit codes, its one error line, and the file it writes.
#include "conformance_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(Sheetconv, WritesThroughLinksAndIntoPipesWithoutReplacingThem) {
    ScratchFolder scratch;
    std::vector<BYTE> file(14 + 40 + 4 * 3, 0);
    BITMAPFILEHEADER bf{0x4D42, (DWORD)file.size(), 0, 0, 14 + 40};
    BITMAPINFOHEADER bi{40, 1, 3, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    memcpy(&file[0], &bf, 14);
    memcpy(&file[14], &bi, 40);
    file[54 + 2] = 255; // the bottom pixel red
    std::string in = scratch / "in.bmp";
    WriteBytes(in, file);
    std::string plain = scratch / "plain.bmp";
    ASSERT_EQ(RunSheetconv({in, plain}, scratch).status, 0);
    const std::vector<BYTE> expected = ReadBytes(plain);
    ASSERT_EQ(expected.size(), 1078u + 12);

    // A link to an existing file, and one to a file not made yet, relative to the link.
    WriteBytes(scratch / "old.bmp", {1, 2, 3});
    ASSERT_EQ(chmod((scratch / "old.bmp").c_str(), 06755), 0);
    ASSERT_EQ(symlink("old.bmp", (scratch / "to-old.bmp").c_str()), 0);
    ASSERT_EQ(symlink("new.bmp", (scratch / "to-new.bmp").c_str()), 0);
    for (const char* link : {"to-old.bmp", "to-new.bmp"}) {
        ASSERT_EQ(RunSheetconv({in, scratch / link}, scratch).status, 0) << link;
        struct stat st;
        ASSERT_EQ(lstat((scratch / link).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << link << " must stay a link";
    }
    EXPECT_EQ(ReadBytes(scratch / "old.bmp"), expected);
    struct stat replaced;
    ASSERT_EQ(stat((scratch / "old.bmp").c_str(), &replaced), 0);
    EXPECT_EQ(replaced.st_mode & 07777, 0755u) << "the bits kept, without setuid and setgid";
    EXPECT_EQ(ReadBytes(scratch / "new.bmp"), expected);

    // A pipe receives the bytes and stays a pipe. Its read end is open before sheetconv runs,
    // so the write never waits and the picture lies whole in the pipe's buffer afterwards.
    std::string pipe = scratch / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int fd = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(RunSheetconv({in, pipe}, scratch).status, 0);
    std::vector<BYTE> received(expected.size() + 16);
    const ssize_t n = read(fd, received.data(), received.size());
    close(fd);
    received.resize(n > 0 ? (size_t)n : 0);
    EXPECT_EQ(received, expected);
    struct stat st;
    ASSERT_EQ(lstat(pipe.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_FALSE(FileExists(pipe + ".part"));
}
