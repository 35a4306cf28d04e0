#include "dib.h"
#include "jpeg_source.h"
#include "read_test_support.h"

#include <gtest/gtest.h>

using namespace readtest;

namespace {

BOOL ReadJpegBytes(CDIB& dib, std::vector<BYTE> bytes, CPalette* pPalette = nullptr) {
    CMemFile file(std::move(bytes));
    return dib.ReadJPEG(&file, pPalette);
}

std::vector<BYTE> ColourJpeg(int w, int h, JpegOptions opt = {}) {
    return EncodeJpeg(SpritePicture(w, h), w, h, 3, opt);
}

// A previously loaded picture, to show that a refused file leaves it alone.
void MakePrevious(CDIB& dib) {
    ASSERT_TRUE(dib.Create(7, 3, 42, nullptr));
}

void ExpectPrevious(const CDIB& dib) {
    ASSERT_EQ(dib.GetWidth(), 7);
    ASSERT_EQ(dib.GetHeight(), 3);
    EXPECT_EQ(dib.m_pBits[0], 42);
}

// Offset of the baseline frame header (SOF0) marker.
size_t FrameHeaderAt(const std::vector<BYTE>& jpeg) {
    size_t at = 2;
    while (!(jpeg[at] == 0xFF && jpeg[at + 1] == 0xC0))
        at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]);
    return at;
}

} // namespace

TEST(ReadJpeg, ColourPictureMatchesTheLibrarysOwnQuantisationShiftedByTen) {
    for (JpegOptions opt : {JpegOptions{}, JpegOptions{75, true, 0}, JpegOptions{90, false, 2}}) {
        std::vector<BYTE> jpeg = ColourJpeg(61, 37, opt);
        int w = 0, h = 0;
        std::vector<BYTE> expected = ReferenceDecode(jpeg, &w, &h);
        ASSERT_EQ(w, 61);

        CDIB dib;
        ASSERT_TRUE(ReadJpegBytes(dib, jpeg));
        ASSERT_EQ(dib.GetWidth(), 61);
        ASSERT_EQ(dib.GetHeight(), 37);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(IndexAt(dib, x, y), expected[(size_t)y * w + x] + 10)
                    << "at " << x << "," << y << " progressive " << opt.progressive;
            // Row padding keeps the fill value.
            for (int x = w; x < dib.GetStride(); ++x)
                ASSERT_EQ(dib.m_pBits[(size_t)y * dib.GetStride() + x], 0);
        }
    }
    EXPECT_EQ(AfxLiveExceptionCount(), 0);
}

TEST(ReadJpeg, TopRowOfThePictureIsTheLastRowInMemoryAndColoursStayInTheMiddle) {
    // Red above, blue below.
    const int w = 16, h = 16;
    std::vector<BYTE> rgb((size_t)w * h * 3, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rgb[((size_t)y * w + x) * 3 + (y < h / 2 ? 0 : 2)] = 255;
    CDIB dib;
    ASSERT_TRUE(ReadJpegBytes(dib, EncodeJpeg(rgb, w, h, 3, {95})));
    RGBQUAD top = ColorAt(dib, 8, 1);
    RGBQUAD bottom = ColorAt(dib, 8, 14);
    EXPECT_GT(top.rgbRed, 200);
    EXPECT_LT(top.rgbBlue, 60);
    EXPECT_GT(bottom.rgbBlue, 200);
    EXPECT_LT(bottom.rgbRed, 60);
    for (int i = 0; i < dib.GetStride() * h; ++i) {
        if (i % dib.GetStride() < w) {
            ASSERT_GE(dib.m_pBits[i], 10);
            ASSERT_LE(dib.m_pBits[i], 245);
        }
    }
}

TEST(ReadJpeg, GreyscaleIsShownInGreyThroughTheSharedColourMap) {
    const int w = 40, h = 20;
    std::vector<BYTE> grey((size_t)w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            grey[(size_t)y * w + x] = (BYTE)(x * 255 / (w - 1));
    std::vector<BYTE> jpeg = EncodeJpeg(grey, w, h, 1);
    int rw = 0, rh = 0;
    std::vector<BYTE> expected = ReferenceDecode(jpeg, &rw, &rh);

    CDIB dib;
    ASSERT_TRUE(ReadJpegBytes(dib, jpeg));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            ASSERT_EQ(IndexAt(dib, x, y), expected[(size_t)y * w + x] + 10);
            RGBQUAD c = ColorAt(dib, x, y);
            ASSERT_EQ(c.rgbRed, c.rgbGreen);
            ASSERT_EQ(c.rgbGreen, c.rgbBlue);
        }
    }
    // The ends of the ramp are black and white, not colours from the palette's edges.
    EXPECT_EQ(ColorAt(dib, 0, 5).rgbRed, 0);
    EXPECT_EQ(ColorAt(dib, w - 1, 5).rgbRed, 255);
}

TEST(ReadJpeg, CmykPictureLoads) {
    const int w = 12, h = 9;
    std::vector<BYTE> cmyk((size_t)w * h * 4);
    for (size_t i = 0; i < cmyk.size(); ++i)
        cmyk[i] = (BYTE)(i * 7);
    CDIB dib;
    ASSERT_TRUE(ReadJpegBytes(dib, EncodeJpeg(cmyk, w, h, 4)));
    EXPECT_EQ(dib.GetWidth(), w);
    EXPECT_EQ(dib.GetHeight(), h);
}

TEST(ReadJpeg, PaletteSuppliesTheMapAndUnreadableEntriesAreBlack) {
    // Eleven entries: map entry 0 is palette entry 10 (pure red), every other map entry
    // lies past the palette's end and so is black.
    struct {
        WORD version, count;
        PALETTEENTRY entries[11];
    } pal = {0x300, 11, {}};
    pal.entries[10] = PALETTEENTRY{255, 0, 0, 0};
    CPalette palette;
    ASSERT_TRUE(palette.CreatePalette(reinterpret_cast<LOGPALETTE*>(&pal)));

    std::vector<BYTE> red(8 * 8 * 3, 0);
    for (size_t i = 0; i < red.size(); i += 3)
        red[i] = 255;
    CDIB dib;
    ASSERT_TRUE(ReadJpegBytes(dib, EncodeJpeg(red, 8, 8, 3, {100}), &palette));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(IndexAt(dib, x, y), 10);
    RGBQUAD c = ColorAt(dib, 0, 0);
    EXPECT_EQ(c.rgbRed, 255);
    EXPECT_EQ(c.rgbGreen, 0);

    // A palette object without a handle means the system palette, as null does.
    CPalette empty;
    CDIB viaEmpty, viaNull;
    std::vector<BYTE> jpeg = ColourJpeg(20, 10);
    ASSERT_TRUE(ReadJpegBytes(viaEmpty, jpeg, &empty));
    ASSERT_TRUE(ReadJpegBytes(viaNull, jpeg, nullptr));
    EXPECT_EQ(memcmp(viaEmpty.m_pBits, viaNull.m_pBits, 20 * 10), 0);
    EXPECT_EQ(memcmp(viaEmpty.m_pBMI, viaNull.m_pBMI, kDibInfoBytes), 0);
}

TEST(ReadJpeg, StreamsWithoutAPictureAreRefusedAndLeaveTheImageAlone) {
    // Empty file, bad header, tables only.
    std::vector<BYTE> notJpeg = {'J', 'F', 'I', 'F', 1, 2, 3, 4, 5, 6};
    std::vector<BYTE> badHeader = ColourJpeg(16, 16);
    badHeader[FrameHeaderAt(badHeader) + 4] = 3; // a sample precision of 3 bits

    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = cinfo.image_height = 8;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_write_tables(&cinfo);
    std::vector<BYTE> tablesOnly(out, out + outSize);
    jpeg_destroy_compress(&cinfo);
    free(out);

    for (const std::vector<BYTE>& bytes : {std::vector<BYTE>{}, notJpeg, badHeader, tablesOnly}) {
        CDIB dib;
        MakePrevious(dib);
        EXPECT_FALSE(ReadJpegBytes(dib, bytes)) << bytes.size() << " bytes";
        ExpectPrevious(dib);
    }
    EXPECT_EQ(AfxLiveExceptionCount(), 0);
}

TEST(ReadJpeg, PictureTooLargeForABitmapIsRefusedBeforeDecoding) {
    std::vector<BYTE> jpeg = ColourJpeg(16, 16);
    // Patch the frame header to 65000 x 65000 (its 8-bit bitmap would pass 2 GB).
    size_t sof = FrameHeaderAt(jpeg);
    jpeg[sof + 5] = jpeg[sof + 7] = 0xFD;
    jpeg[sof + 6] = jpeg[sof + 8] = 0xE8;
    CDIB dib;
    MakePrevious(dib);
    EXPECT_FALSE(ReadJpegBytes(dib, jpeg));
    ExpectPrevious(dib);
}

TEST(ReadJpeg, CutOffOrUnreadableScanDataStillLoadsEveryRow) {
    std::vector<BYTE> jpeg = ColourJpeg(64, 64);
    std::vector<BYTE> cut(jpeg.begin(), jpeg.begin() + (long)jpeg.size() * 2 / 3);
    CDIB dib;
    MakePrevious(dib);
    ASSERT_TRUE(ReadJpegBytes(dib, cut));
    EXPECT_EQ(dib.GetWidth(), 64);
    EXPECT_EQ(dib.GetHeight(), 64);

    // A read error past the header acts exactly like the end of the file.
    CDIB viaError;
    FailingFile failing(jpeg, cut.size());
    ASSERT_TRUE(viaError.ReadJPEG(&failing, nullptr));
    EXPECT_EQ(memcmp(viaError.m_pBits, dib.m_pBits, 64 * 64), 0);
    EXPECT_EQ(AfxLiveExceptionCount(), 0);
}

TEST(ReadJpeg, ReadsFromTheCurrentPositionAndLeavesTheFileOpen) {
    std::vector<BYTE> jpeg = ColourJpeg(10, 10);
    std::vector<BYTE> padded(5, 0xAA);
    padded.insert(padded.end(), jpeg.begin(), jpeg.end());
    CMemFile file(padded);
    file.Seek(5, CFile::begin);
    CDIB dib;
    ASSERT_TRUE(dib.ReadJPEG(&file, nullptr));
    EXPECT_EQ(dib.GetWidth(), 10);
    file.Seek(0, CFile::begin);
    BYTE first = 0;
    EXPECT_EQ(file.Read(&first, 1), 1u);
    EXPECT_EQ(first, 0xAA);
}
