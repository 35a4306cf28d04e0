// Sheets whose few header bytes announce far more than they hold: refused from the header
// before any bitmap is made, while honest large sheets still load exactly and the decoding
// budget holds to the byte.
#include "dib.h"
#include "hostile_sheets.h"

#include <gtest/gtest.h>

using namespace readtest;

namespace {

BOOL ReadBytes(CDIB& dib, std::vector<BYTE> bytes) {
    CMemFile file(std::move(bytes));
    return dib.Read(&file, nullptr);
}

bool IsEmpty(const CDIB& dib) {
    return !dib.m_pBMI && !dib.m_pBits && !dib.m_hBitmap && !dib.m_hDC && !dib.m_hOldBitmap;
}

bool IsPrevious(const CDIB& dib) {
    return dib.m_pBits && dib.GetWidth() == 7 && dib.GetHeight() == 3 && dib.m_pBits[0] == 42;
}

struct Outcome {
    BOOL result;
    DWORD dibSections; // CreateDIBSection calls the read made
    bool empty;
    bool previous;
    bool fileUntouched; // the file stands where the read began: the decoder never read it
};

Outcome ReadOverPrevious(std::vector<BYTE> bytes) {
    CDIB dib;
    EXPECT_TRUE(dib.Create(7, 3, 42, nullptr));
    const DWORD before = AfxGdiDibSectionCalls();
    CMemFile file(std::move(bytes));
    const BOOL result = dib.Read(&file, nullptr);
    return Outcome{result, AfxGdiDibSectionCalls() - before, IsEmpty(dib), IsPrevious(dib),
                   file.GetPosition() == 0};
}

} // namespace

TEST(HostileSheets, HeadersAnnouncingMoreThanTheBudgetAreRefusedBeforeAnyBitmap) {
    for (HostileSheet& sheet : HostileHeaders()) {
        ASSERT_LT(sheet.bytes.size(), 1100u) << sheet.name;
        const Outcome o = ReadOverPrevious(std::move(sheet.bytes));
        EXPECT_FALSE(o.result) << sheet.name;
        EXPECT_EQ(o.dibSections, 0u) << sheet.name;
        // Past its headers a BMP has given up the old picture; a JPEG refused before
        // decoding keeps it.
        EXPECT_EQ(o.empty, sheet.bmp) << sheet.name;
        EXPECT_EQ(o.previous, !sheet.bmp) << sheet.name;
    }
    EXPECT_EQ(AfxLiveExceptionCount(), 0);
}

namespace {

void ExpectLoadsAsReference(const std::vector<BYTE>& jpeg, int n, const char* what) {
    int w = 0, h = 0;
    const std::vector<BYTE> reference = ReferenceDecode(jpeg, &w, &h);
    ASSERT_EQ(reference.size(), (size_t)n * n) << what;
    CDIB dib;
    ASSERT_TRUE(ReadBytes(dib, jpeg)) << what;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            ASSERT_EQ(IndexAt(dib, x, y), (BYTE)(reference[(size_t)y * n + x] + 10))
                << what << " " << x << "," << y;
}

void ExpectRefusedKeepingPrevious(std::vector<BYTE> jpeg, const char* what) {
    const Outcome o = ReadOverPrevious(std::move(jpeg));
    EXPECT_FALSE(o.result) << what;
    EXPECT_EQ(o.dibSections, 0u) << what;
    EXPECT_TRUE(o.previous) << what;
    EXPECT_TRUE(o.fileUntouched) << what << ": refused only once the decoder read it";
}

// The file with a comment segment after its first (JFIF) segment, the comment holding what would
// read as scan headers if segments were searched rather than skipped by their length.
std::vector<BYTE> WithScanLookingComment(std::vector<BYTE> jpeg, size_t pairs) {
    std::vector<BYTE> comment = {0xFF, 0xFE, (BYTE)((pairs * 2 + 2) >> 8), (BYTE)(pairs * 2 + 2)};
    for (size_t i = 0; i < pairs; ++i) {
        comment.push_back(0xFF);
        comment.push_back(0xDA);
    }
    const size_t afterJfif = 4 + (size_t)(jpeg[4] << 8 | jpeg[5]);
    jpeg.insert(jpeg.begin() + (long)afterJfif, comment.begin(), comment.end());
    return jpeg;
}

} // namespace

// The scans of a file may walk the picture's blocks twelve times over in all. Every scan of a
// grey picture walks all its blocks; a 4:2:0 colour picture of 64 x 64 has 64 luma and 2 x 16
// chroma blocks: its ten honest scans (two of all three components, four of luma, two of each
// chroma) walk 96 x 2 + 64 x 4 + 16 x 4 = 512 blocks, and each luma scan sent again adds 64, so
// ten more reach the limit of 12 x 96 exactly.
TEST(HostileSheets, ScansMayWalkThePictureTwelveTimesAndNoMore) {
    const std::vector<BYTE> grey = ManyScans(64, 6);
    ASSERT_EQ(CountScans(grey), 6u);
    ExpectLoadsAsReference(WithScans(grey, 12), 64, "grey, 12 scans");
    ExpectRefusedKeepingPrevious(WithScans(grey, 13), "grey, 13 scans");
    ExpectRefusedKeepingPrevious(WithScans(grey, 10000), "grey, 10000 scans");

    const std::vector<BYTE> colour =
        EncodeJpeg(SpritePicture(64, 64), 64, 64, 3, JpegOptions{85, true});
    ASSERT_EQ(CountScans(colour), 10u);
    ExpectLoadsAsReference(colour, 64, "colour, 10 scans");
    ExpectLoadsAsReference(WithScans(colour, 20), 64, "colour, 20 scans");
    ExpectRefusedKeepingPrevious(WithScans(colour, 21), "colour, 21 scans");

    // Restart markers in every scan and a comment full of scan-marker bytes change nothing.
    const std::vector<BYTE> restarts =
        EncodeJpeg(SpritePicture(64, 64), 64, 64, 3, JpegOptions{85, true, 1});
    ASSERT_EQ(CountScans(restarts), 10u);
    size_t restartMarkers = 0;
    for (size_t i = 0; i + 1 < restarts.size(); ++i)
        restartMarkers += restarts[i] == 0xFF && (restarts[i + 1] & 0xF8) == 0xD0;
    ASSERT_GT(restartMarkers, 10u);
    ExpectLoadsAsReference(WithScanLookingComment(WithScans(restarts, 20), 600), 64,
                           "colour with restarts, 20 scans, comment");
    ExpectRefusedKeepingPrevious(WithScans(restarts, 21), "colour with restarts, 21 scans");
    EXPECT_EQ(AfxLiveExceptionCount(), 0);
}

TEST(HostileSheets, HonestSheetsOfFourThousandSquareLoadExactly) {
    // 24 bits, every pixel a colour of the system palette, so each must show that very colour.
    const int n = 4000;
    const std::array<PALETTEENTRY, 256>& system = fixtures::SystemPalette();
    auto colourAt = [&](int x, int y) { return system[(x / 7 + (y / 5) * 3) % 256]; };
    std::vector<BYTE> rows((size_t)n * n * 3);
    for (int y = 0; y < n; ++y) { // the file holds the bottom row first
        BYTE* p = &rows[(size_t)(n - 1 - y) * n * 3];
        for (int x = 0; x < n; ++x, p += 3) {
            const PALETTEENTRY e = colourAt(x, y);
            p[0] = e.peBlue;
            p[1] = e.peGreen;
            p[2] = e.peRed;
        }
    }
    CDIB bmp;
    ASSERT_TRUE(ReadBytes(bmp, BmpHeader(n, n, 24, BI_RGB, 0, std::move(rows))));
    ASSERT_EQ(bmp.GetWidth(), n);
    ASSERT_EQ(bmp.GetHeight(), n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const RGBQUAD q = ColorAt(bmp, x, y);
            const PALETTEENTRY e = colourAt(x, y);
            ASSERT_TRUE(q.rgbRed == e.peRed && q.rgbGreen == e.peGreen && q.rgbBlue == e.peBlue)
                << x << "," << y;
        }

    const std::vector<BYTE> jpeg = EncodeJpeg(SpritePicture(n, n), n, n, 3, JpegOptions{90, true});
    int w = 0, h = 0;
    const std::vector<BYTE> reference = ReferenceDecode(jpeg, &w, &h);
    ASSERT_EQ(reference.size(), (size_t)n * n);
    CDIB dib;
    ASSERT_TRUE(ReadBytes(dib, jpeg));
    ASSERT_EQ(dib.GetWidth(), n);
    ASSERT_EQ(dib.GetHeight(), n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            ASSERT_EQ(IndexAt(dib, x, y), (BYTE)(reference[(size_t)y * n + x] + 10))
                << x << "," << y;
}

TEST(HostileSheets, TheBudgetHoldsToTheByte) {
    // 8 bits, 8192 wide, the header announcing every row, the file holding seventeen (bytes
    // enough for the pixels it announces): bitmap and announced pixel bytes are 2 x 8192 x h,
    // exactly the budget at h = 16384.
    ASSERT_EQ(kDecodeBudgetBytes, 2ull * 8192 * 16384);
    auto sheet = [](LONG height) {
        std::vector<BYTE> pixels(17 * 8192);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = (BYTE)(i * 7 + i / 8192);
        std::vector<BYTE> bytes = BmpHeader(8192, height, 8, BI_RGB, 256, pixels);
        const DWORD announced = (DWORD)(bytes.size() - pixels.size() + 8192ull * height);
        memcpy(&bytes[2], &announced, 4);
        return std::make_pair(bytes, pixels);
    };
    {
        auto [bytes, pixels] = sheet(16384);
        CDIB dib;
        ASSERT_TRUE(ReadBytes(dib, bytes));
        ASSERT_EQ(dib.GetHeight(), 16384);
        EXPECT_EQ(memcmp(dib.m_pBits, pixels.data(), pixels.size()), 0);
        EXPECT_EQ(dib.m_pBits[pixels.size()], 0) << "rows the file lacks keep index 0";
        EXPECT_EQ(dib.m_pBits[(size_t)8192 * 16384 - 1], 0);
    }
    const Outcome over = ReadOverPrevious(sheet(16385).first);
    EXPECT_FALSE(over.result);
    EXPECT_EQ(over.dibSections, 0u);
    EXPECT_TRUE(over.empty);

    // Progressive, colour at full size: bitmap, row buffer and three components' coefficient
    // blocks (128 bytes each, 769 x 769 of them) come to 264 923 574 bytes at 6150 x 6150 and
    // to 269 086 200 at 6200 x 6200, past the budget of 268 435 456 only by the blocks.
    // The files are padded past their end so that they hold bytes enough for their pixels.
    const JpegOptions fullChroma{75, true, 0, true};
    auto announcing = [&](int side) {
        return WithTrailingBytes(Announcing(side, side, fullChroma),
                                 (size_t)side * side / kPixelsPerFileByte);
    };
    CDIB under;
    ASSERT_TRUE(ReadBytes(under, announcing(6150)));
    EXPECT_EQ(under.GetWidth(), 6150);
    // At 6192 x 6192 those come to 268 392 240 bytes, 43 216 under the budget, but the library
    // needs more than that for its own tables (the colour matcher's alone take 128 KiB): its
    // memory manager, held to what the budget leaves, must refuse the coefficient buffers.
    for (int side : {6200, 6192}) {
        const Outcome o = ReadOverPrevious(announcing(side));
        EXPECT_FALSE(o.result) << side;
        EXPECT_EQ(o.dibSections, 0u) << side;
        EXPECT_TRUE(o.previous) << side;
    }
}
