#include "dib.h"
#include "read_test_support.h"

#include <gtest/gtest.h>

using namespace readtest;

namespace {

BOOL ReadBmpBytes(CDIB& dib, const std::vector<BYTE>& bytes, CPalette* pPalette = nullptr) {
    CMemFile file(bytes);
    return dib.ReadBMP(&file, pPalette);
}

BmpBuilder EightBit(int w, int h) {
    BmpBuilder b;
    b.info.biWidth = w;
    b.info.biHeight = h;
    b.table.resize(256);
    for (int i = 0; i < 256; ++i)
        b.table[i] = RGBQUAD{(BYTE)i, (BYTE)(255 - i), (BYTE)(i / 2), 0x55};
    size_t stride = ((size_t)w + 3) & ~(size_t)3;
    b.pixels.resize(stride * h);
    for (size_t i = 0; i < b.pixels.size(); ++i)
        b.pixels[i] = (BYTE)(i * 13 + i / stride);
    return b;
}

BmpBuilder TrueColour(int w, int h, std::vector<BYTE> rows) {
    BmpBuilder b;
    b.info.biWidth = w;
    b.info.biHeight = h;
    b.info.biBitCount = 24;
    b.pixels = std::move(rows);
    return b;
}

void MakePrevious(CDIB& dib) {
    ASSERT_TRUE(dib.Create(7, 3, 42, nullptr));
}

bool IsPrevious(const CDIB& dib) {
    return dib.GetWidth() == 7 && dib.m_pBits[0] == 42;
}

bool IsEmpty(const CDIB& dib) {
    return !dib.m_pBMI && !dib.m_pBits && !dib.m_hBitmap && !dib.m_hDC && !dib.m_hOldBitmap;
}

const RGBQUAD* TableOf(const CDIB& dib) {
    return reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(dib.m_pBMI) +
                                            sizeof(BITMAPINFOHEADER));
}

} // namespace

TEST(ReadBmp, EightBitFileKeepsItsTableAndEveryIndex) {
    BmpBuilder b = EightBit(99, 50);
    b.table[200] = b.table[3]; // a repeated colour still keeps its own index
    CDIB dib;
    ASSERT_TRUE(ReadBmpBytes(dib, b.Build()));
    ASSERT_EQ(dib.GetWidth(), 99);
    ASSERT_EQ(dib.GetHeight(), 50);
    ASSERT_EQ(dib.GetStride(), 100);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(TableOf(dib)[i].rgbRed, b.table[i].rgbRed);
        EXPECT_EQ(TableOf(dib)[i].rgbBlue, b.table[i].rgbBlue);
        EXPECT_EQ(TableOf(dib)[i].rgbReserved, 0);
    }
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 99; ++x)
            ASSERT_EQ(dib.m_pBits[y * 100 + x], b.pixels[y * 100 + x]);
    // The section is selected in the image's context again.
    EXPECT_NE(dib.m_hDC, nullptr);
    EXPECT_EQ(GetCurrentObject(dib.m_hDC, OBJ_BITMAP), (HGDIOBJ)dib.m_hBitmap);
}

TEST(ReadBmp, ShortTableLeavesTheRestBlackAndPixelsAreTakenAtTheirOffset) {
    BmpBuilder b = EightBit(8, 2);
    b.info.biClrUsed = 16;
    b.table.resize(16);
    b.fixSizes = false;
    b.file.bfOffBits = 14 + 40 + 16 * 4 + 20; // a gap before the pixels
    b.file.bfSize = b.file.bfOffBits + 16;
    b.pixels = {0, 1, 2, 3, 4, 5, 6, 7, 15, 14, 13, 12, 11, 10, 9, 8};
    CDIB dib;
    ASSERT_TRUE(ReadBmpBytes(dib, b.Build()));
    EXPECT_EQ(TableOf(dib)[15].rgbBlue, 15);
    for (int i = 16; i < 256; ++i)
        ASSERT_EQ(memcmp(&TableOf(dib)[i], "\0\0\0\0", 4), 0) << i;
    EXPECT_EQ(memcmp(dib.m_pBits, b.pixels.data(), 16), 0);
}

TEST(ReadBmp, HeadersItCannotTakeLeaveTheImageUntouched) {
    std::vector<std::vector<BYTE>> files;
    for (DWORD size : {12u, 108u, 124u}) {
        BmpBuilder b = EightBit(4, 4);
        b.info.biSize = size;
        files.push_back(b.Build());
    }
    BmpBuilder planes = EightBit(4, 4);
    planes.info.biPlanes = 2;
    files.push_back(planes.Build());
    std::vector<BYTE> cut = EightBit(4, 4).Build();
    cut.resize(14 + 30); // info header cut short
    files.push_back(cut);
    std::vector<BYTE> notBm = EightBit(4, 4).Build();
    notBm[1] = 'A';
    files.push_back(notBm);
    files.push_back(std::vector<BYTE>(cut.begin(), cut.begin() + 13));

    for (const std::vector<BYTE>& bytes : files) {
        CDIB dib;
        MakePrevious(dib);
        EXPECT_FALSE(ReadBmpBytes(dib, bytes));
        EXPECT_TRUE(IsPrevious(dib));
    }
    EXPECT_EQ(AfxLiveExceptionCount(), 0);
}

TEST(ReadBmp, FailuresAfterTheHeaderLeaveTheImageEmpty) {
    std::vector<std::vector<BYTE>> files;
    BmpBuilder topDown = EightBit(4, 4);
    topDown.info.biHeight = -4;
    files.push_back(topDown.Build());
    BmpBuilder noWidth = EightBit(4, 4);
    noWidth.info.biWidth = 0;
    files.push_back(noWidth.Build());
    std::vector<BYTE> cutTable = EightBit(4, 4).Build();
    cutTable.resize(14 + 40 + 500);
    files.push_back(cutTable);
    // bfSize below bfOffBits with no biSizeImage would announce ~4 GB of pixels.
    BmpBuilder wrapped = EightBit(4, 4);
    wrapped.fixSizes = false;
    wrapped.file.bfOffBits = 1078;
    wrapped.file.bfSize = 1000;
    files.push_back(wrapped.Build());
    BmpBuilder unknownLayout = EightBit(4, 4);
    unknownLayout.info.biBitCount = 7;
    files.push_back(unknownLayout.Build());

    for (const std::vector<BYTE>& bytes : files) {
        CDIB dib;
        MakePrevious(dib);
        EXPECT_FALSE(ReadBmpBytes(dib, bytes));
        EXPECT_TRUE(IsEmpty(dib));
    }
}

TEST(ReadBmp, FileErrorsAreCaughtExceptInTheFileHeader) {
    std::vector<BYTE> bytes = EightBit(4, 4).Build();
    // The read that starts at failAt throws: info header, colour table, pixels.
    struct Case {
        ULONGLONG failAt;
        bool untouched;
    } cases[] = {{14, true}, {54, false}, {1078, false}};
    for (const Case& c : cases) {
        FailingFile file(bytes, c.failAt);
        CDIB dib;
        MakePrevious(dib);
        EXPECT_FALSE(dib.ReadBMP(&file, nullptr)) << c.failAt;
        EXPECT_EQ(IsPrevious(dib), c.untouched) << c.failAt;
        EXPECT_EQ(IsEmpty(dib), !c.untouched) << c.failAt;
    }
    FailingFile seekFails(bytes, bytes.size(), true);
    CDIB dib;
    EXPECT_FALSE(dib.ReadBMP(&seekFails, nullptr));
    EXPECT_TRUE(IsEmpty(dib));
    EXPECT_EQ(AfxLiveExceptionCount(), 0);

    // The 14-byte file header is read unguarded: its error reaches the caller of ReadBMP...
    FailingFile headerFails(bytes, 0);
    bool thrown = false;
    try {
        dib.ReadBMP(&headerFails, nullptr);
    } catch (CException* e) {
        thrown = true;
        e->Delete();
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(AfxLiveExceptionCount(), 0);
}

TEST(ReadBmp, TrueColourTakesThePalettesColoursAndMissingRowsKeepIndexZero) {
    // Entry 0 white, entry 1 black, entry 2 red.
    struct {
        WORD version, count;
        PALETTEENTRY e[3];
    } pal = {0x300, 3, {{255, 255, 255, 0}, {0, 0, 0, 0}, {250, 10, 10, 0}}};
    CPalette palette;
    ASSERT_TRUE(palette.CreatePalette(reinterpret_cast<LOGPALETTE*>(&pal)));

    // 2 x 3, only the bottom row present in the file: red, dark grey.
    std::vector<BYTE> bottom = {0, 0, 255, 40, 40, 40, 0, 0};
    CDIB dib;
    ASSERT_TRUE(ReadBmpBytes(dib, TrueColour(2, 3, bottom).Build(), &palette));
    EXPECT_EQ(IndexAt(dib, 0, 2), 2);
    EXPECT_EQ(IndexAt(dib, 1, 2), 1);
    // Nothing in the file stands for the rows it lacks: they keep the fill index 0 (white),
    // not the black that zero bytes would convert to.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(IndexAt(dib, x, y), 0) << x << "," << y;
    EXPECT_EQ(TableOf(dib)[2].rgbRed, 250);
    EXPECT_EQ(memcmp(&TableOf(dib)[3], "\0\0\0\0", 4), 0);

    // Without a palette the system palette supplies the table.
    CDIB viaSystem;
    ASSERT_TRUE(ReadBmpBytes(viaSystem, TrueColour(2, 3, bottom).Build()));
    EXPECT_EQ(TableOf(viaSystem)[249].rgbRed, 255);
    EXPECT_EQ(ColorAt(viaSystem, 0, 2).rgbRed, 255);
}

TEST(ReadBmp, BitfieldMasksAreReadRightAfterTheHeader) {
    BmpBuilder b;
    b.info.biWidth = 2;
    b.info.biHeight = 1;
    b.info.biBitCount = 16;
    b.info.biCompression = BI_BITFIELDS;
    b.masks = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}; // 5-6-5
    b.pixels = {0x00, 0xF8, 0x1F, 0x00};                           // red, blue
    CDIB dib;
    ASSERT_TRUE(ReadBmpBytes(dib, b.Build()));
    RGBQUAD red = ColorAt(dib, 0, 0), blue = ColorAt(dib, 1, 0);
    EXPECT_EQ(red.rgbRed, 255);
    EXPECT_EQ(red.rgbBlue, 0);
    EXPECT_EQ(blue.rgbBlue, 255);
    EXPECT_EQ(blue.rgbRed, 0);
}

TEST(ReadBmp, SizeImageCapsThePixelBytes) {
    // RLE8: row 0 is a run of 5s, row 1 a run of 6s; biSizeImage covers row 0 only.
    BmpBuilder b = EightBit(4, 2);
    b.info.biCompression = BI_RLE8;
    b.pixels = {4, 5, 0, 0, 4, 6, 0, 1};
    b.info.biSizeImage = 4;
    CDIB capped;
    ASSERT_TRUE(ReadBmpBytes(capped, b.Build()));
    EXPECT_EQ(capped.m_pBits[0], 5);
    EXPECT_EQ(capped.m_pBits[4], 0);

    b.info.biSizeImage = 0; // bfSize - bfOffBits
    CDIB whole;
    ASSERT_TRUE(ReadBmpBytes(whole, b.Build()));
    EXPECT_EQ(whole.m_pBits[4], 6);
}

TEST(ReadBmp, OffsetsCountFromWhereTheReadingStarts) {
    std::vector<BYTE> bytes(37, 0xEE);
    BmpBuilder b = EightBit(5, 3);
    std::vector<BYTE> bmp = b.Build();
    bytes.insert(bytes.end(), bmp.begin(), bmp.end());
    CMemFile file(bytes);
    file.Seek(37, CFile::begin);
    CDIB dib;
    ASSERT_TRUE(dib.Read(&file, nullptr));
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(memcmp(dib.m_pBits + 8 * y, &b.pixels[8 * y], 5), 0) << "row " << y;
}
