// BMP files written by ImageMagick, and by a small writer of our own for the layouts it cannot
// write, loaded through sheetconv and compared pixel by pixel with ImageMagick's decoding.
#include "conformance_support.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace conformance;

namespace {

enum class Match {
    Exact,          // a palettised file: the very colour of the file
    NearestSystem,  // a true-colour file: the system palette's nearest colour
    NearestWithin1, // as above, after a difference of up to 1 per channel
};

bool Matches(Rgb ours, Rgb theirs, Match how) {
    if (how == Match::Exact)
        return ours == theirs;
    if (how == Match::NearestSystem)
        return ours == NearestSystemColor(theirs);
    for (int dr = -1; dr <= 1; ++dr)
        for (int dg = -1; dg <= 1; ++dg)
            for (int db = -1; db <= 1; ++db) {
                auto near = [](int v, int d) { return (BYTE)std::clamp(v + d, 0, 255); };
                Rgb c{near(theirs.r, dr), near(theirs.g, dg), near(theirs.b, db)};
                if (ours == NearestSystemColor(c))
                    return true;
            }
    return false;
}

// Loads `file` with sheetconv and compares it with ImageMagick's reading of the same file.
void ExpectLoadsLikeImageMagick(const ScratchFolder& scratch, const std::string& file, Match how) {
    SCOPED_TRACE(file);
    std::string out = file + ".ours.bmp";
    SheetconvResult result = RunSheetconv({file, out}, scratch);
    ASSERT_EQ(result.status, 0) << result.errorText;
    IndexedPicture ours = ReadIndexedBmp(out);
    Picture theirs = DecodeWithImageMagick(file);
    ASSERT_GT(theirs.width, 0) << "ImageMagick could not read it";
    ASSERT_EQ(ours.width, theirs.width);
    ASSERT_EQ(ours.height, theirs.height);
    int mismatches = 0;
    for (int y = 0; y < ours.height; ++y) {
        for (int x = 0; x < ours.width; ++x) {
            Rgb o = ours.ColorAt(x, y), t = theirs.At(x, y);
            if (!Matches(o, t, how) && ++mismatches <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << ": ours " << (int)o.r << " "
                              << (int)o.g << " " << (int)o.b << ", ImageMagick " << (int)t.r << " "
                              << (int)t.g << " " << (int)t.b;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

void ExpectRefused(const ScratchFolder& scratch, const std::string& file) {
    std::string out = file + ".ours.bmp";
    SheetconvResult result = RunSheetconv({file, out}, scratch);
    EXPECT_EQ(result.status, 1) << file;
    EXPECT_FALSE(FileExists(out)) << file;
}

std::string MakeWithImageMagick(const ScratchFolder& scratch, const std::string& name,
                                const std::string& options, const std::string& format) {
    std::string src = scratch / "source.ppm";
    if (!FileExists(src))
        WritePpm(src, SpriteSheetPicture(101, 53));
    std::string file = scratch / name;
    EXPECT_EQ(Run("convert " + Quote(src) + " " + options + " " + Quote(format + ":" + file)), 0);
    return file;
}

// A BMP with a 40-byte header, assembled by hand.
struct OwnBmp {
    OwnBmp(int w, int h, WORD bits, DWORD comp, DWORD colors = 0)
        : width(w), height(h), bitCount(bits), compression(comp), clrUsed(colors) {}
    int width;
    int height; // negative for top-down rows
    WORD bitCount;
    DWORD compression;
    DWORD clrUsed;
    std::vector<DWORD> masks;
    std::vector<RGBQUAD> table;
    std::vector<BYTE> pixels;

    std::vector<BYTE> Bytes() const {
        DWORD offBits = (DWORD)(14 + 40 + 4 * masks.size() + 4 * table.size());
        DWORD fileSize = offBits + (DWORD)pixels.size();
        BITMAPFILEHEADER bf{0x4D42, fileSize, 0, 0, offBits};
        BITMAPINFOHEADER bi{40, width, height, 1, bitCount, compression, 0, 2835, 2835, clrUsed, 0};
        if (compression != BI_RGB && compression != BI_BITFIELDS)
            bi.biSizeImage = (DWORD)pixels.size();
        std::vector<BYTE> out(14 + 40);
        memcpy(out.data(), &bf, 14);
        memcpy(out.data() + 14, &bi, 40);
        for (DWORD m : masks)
            out.insert(out.end(), {(BYTE)m, (BYTE)(m >> 8), (BYTE)(m >> 16), (BYTE)(m >> 24)});
        for (const RGBQUAD& q : table)
            out.insert(out.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, 0});
        out.insert(out.end(), pixels.begin(), pixels.end());
        return out;
    }
};

// Packs a picture bottom-up, `bytesPerPixel` little-endian bytes a pixel from `pack`.
template <typename Pack>
std::vector<BYTE> PackRows(const Picture& p, int bytesPerPixel, Pack pack) {
    size_t stride = ((size_t)p.width * bytesPerPixel + 3) & ~(size_t)3;
    std::vector<BYTE> rows(stride * p.height, 0);
    for (int y = 0; y < p.height; ++y) {
        BYTE* row = &rows[(size_t)(p.height - 1 - y) * stride];
        for (int x = 0; x < p.width; ++x) {
            DWORD v = pack(p.At(x, y));
            for (int i = 0; i < bytesPerPixel; ++i)
                row[x * bytesPerPixel + i] = (BYTE)(v >> (8 * i));
        }
    }
    return rows;
}

std::vector<RGBQUAD> SixteenColours() {
    std::vector<RGBQUAD> t;
    for (int i = 0; i < 16; ++i)
        t.push_back(RGBQUAD{(BYTE)(i * 16), (BYTE)(255 - i * 13), (BYTE)(i * 91 % 256), 0});
    return t;
}

} // namespace

TEST(BmpConformance, PalettisedFilesFromImageMagickKeepEveryColour) {
    ScratchFolder scratch;
    struct Case {
        const char* name;
        const char* options;
    } cases[] = {
        {"bits1.bmp", "-type Bilevel -compress None"},
        {"bits4.bmp", "-colors 16 -type Palette -compress None"},
        {"bits8.bmp", "-type Palette -compress None"},
        {"rle8.bmp", "-type Palette -compress RLE"},
    };
    for (const Case& c : cases)
        ExpectLoadsLikeImageMagick(scratch, MakeWithImageMagick(scratch, c.name, c.options, "BMP3"),
                                   Match::Exact);
}

TEST(BmpConformance, TrueColourFilesFromImageMagickTakeTheNearestSystemColour) {
    ScratchFolder scratch;
    ExpectLoadsLikeImageMagick(
        scratch,
        MakeWithImageMagick(scratch, "bits24.bmp", "-type TrueColor -compress None", "BMP3"),
        Match::NearestSystem);
    ExpectLoadsLikeImageMagick(scratch,
                               MakeWithImageMagick(scratch, "bits32.bmp",
                                                   "-alpha set -channel A -fx 0.5 +channel "
                                                   "-define bmp3:alpha=true -compress None",
                                                   "BMP3"),
                               Match::NearestSystem);
}

// Cuts a 124-byte-header file down to the 108-byte form: the last 16 header bytes (colour
// profile and rendering intent) go.
std::vector<BYTE> ToV4Header(std::vector<BYTE> v5) {
    auto put = [&](size_t at, DWORD v) {
        for (int i = 0; i < 4; ++i)
            v5[at + i] = (BYTE)(v >> (8 * i));
    };
    auto get = [&](size_t at) {
        return v5[at] | v5[at + 1] << 8 | v5[at + 2] << 16 | (DWORD)v5[at + 3] << 24;
    };
    v5.erase(v5.begin() + 14 + 108, v5.begin() + 14 + 124);
    put(2, (DWORD)v5.size());
    put(10, get(10) - 16);
    put(14, 108);
    return v5;
}

TEST(BmpConformance, HeadersOtherThanFortyBytesAreRefused) {
    ScratchFolder scratch;
    std::string v5 = MakeWithImageMagick(scratch, "v5.bmp", "", "BMP"); // 124 bytes
    ExpectRefused(scratch, v5);
    WriteBytes(scratch / "v4.bmp", ToV4Header(ReadBytes(v5)));
    ASSERT_GT(DecodeWithImageMagick(scratch / "v4.bmp").width, 0); // still a valid file
    ExpectRefused(scratch, scratch / "v4.bmp");
    ExpectRefused(scratch, MakeWithImageMagick(scratch, "core.bmp", "-type Palette", "BMP2"));
}

TEST(BmpConformance, SixteenBitLayoutsWidenTheirChannelsLikeImageMagick) {
    ScratchFolder scratch;
    Picture src = SpriteSheetPicture(77, 41);

    OwnBmp plain{77, 41, 16, BI_RGB};
    plain.pixels = PackRows(
        src, 2, [](Rgb c) { return (DWORD)((c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3); });
    WriteBytes(scratch / "rgb555.bmp", plain.Bytes());
    ExpectLoadsLikeImageMagick(scratch, scratch / "rgb555.bmp", Match::NearestSystem);

    OwnBmp fields{77, 41, 16, BI_BITFIELDS};
    fields.masks = {0xF800, 0x07E0, 0x001F};
    fields.pixels = PackRows(
        src, 2, [](Rgb c) { return (DWORD)((c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3); });
    WriteBytes(scratch / "rgb565.bmp", fields.Bytes());
    ExpectLoadsLikeImageMagick(scratch, scratch / "rgb565.bmp", Match::NearestSystem);
}

TEST(BmpConformance, ThirtyTwoBitsWithTenBitChannelsInReverseOrder) {
    ScratchFolder scratch;
    OwnBmp bmp{64, 30, 32, BI_BITFIELDS};
    bmp.masks = {0x000003FF, 0x000FFC00, 0x3FF00000};
    auto widen = [](BYTE v) { return (DWORD)(v << 2 | v >> 6); };
    bmp.pixels = PackRows(SpriteSheetPicture(64, 30), 4, [&](Rgb c) {
        return widen(c.r) | widen(c.g) << 10 | widen(c.b) << 20 | 0xC0000000u;
    });
    WriteBytes(scratch / "rgb1010.bmp", bmp.Bytes());
    ExpectLoadsLikeImageMagick(scratch, scratch / "rgb1010.bmp", Match::NearestWithin1);
}

TEST(BmpConformance, ShortColourTablesAndRunLengthFourBits) {
    ScratchFolder scratch;
    // 8 bits with a 16-entry table.
    OwnBmp shortTable{30, 9, 8, BI_RGB, 16};
    shortTable.table = SixteenColours();
    shortTable.pixels.assign(32 * 9, 0);
    for (size_t i = 0; i < shortTable.pixels.size(); ++i)
        shortTable.pixels[i] = (BYTE)((i * 7 + i / 32) % 16);
    WriteBytes(scratch / "short8.bmp", shortTable.Bytes());
    ExpectLoadsLikeImageMagick(scratch, scratch / "short8.bmp", Match::Exact);

    // RLE4 with encoded runs, absolute runs (odd and even), end-of-line, a delta that jumps
    // over a row and a half, and the end-of-bitmap code. Skipped pixels take index 0.
    OwnBmp rle{23, 5, 4, BI_RLE4, 16};
    rle.table = SixteenColours();
    rle.pixels = {
        6,  0x12, 0,    5,    0x34, 0x56, 0x70, 0, 4, 0xAB, 0, 0, // row 0 (bottom)
        0,  2,    5,    1,                                        // to row 2, column 5
        3,  0xCD, 0,    0,                                        // rest of row 2
        23, 0x9F, 0,    0,                                        // row 3
        0,  4,    0x12, 0x3E, 2,    0x77, 0,    1,                // row 4, then the end
        0,  0,    0,    0, // ImageMagick reads a little past the end code
    };
    WriteBytes(scratch / "rle4.bmp", rle.Bytes());
    ExpectLoadsLikeImageMagick(scratch, scratch / "rle4.bmp", Match::Exact);
}

TEST(BmpConformance, TopDownFilesAreRefused) {
    ScratchFolder scratch;
    Picture src = SpriteSheetPicture(20, 10);
    OwnBmp bmp{20, -10, 24, BI_RGB};
    bmp.pixels = PackRows(src, 3, [](Rgb c) { return (DWORD)(c.b | c.g << 8 | c.r << 16); });
    WriteBytes(scratch / "topdown.bmp", bmp.Bytes());
    ASSERT_GT(DecodeWithImageMagick(scratch / "topdown.bmp").width, 0); // a valid file
    ExpectRefused(scratch, scratch / "topdown.bmp");
}
