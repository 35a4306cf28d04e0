#include "dibits.h"
#include "system_palette.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <initializer_list>
#include <random>
#include <vector>

namespace {

constexpr BYTE kUntouched = 200;

RGBQUAD Rgb(int r, int g, int b) {
    return RGBQUAD{(BYTE)b, (BYTE)g, (BYTE)r, 0};
}

// Entry i is the grey (i, i, i): an index-preserving table for palettised sources.
std::vector<RGBQUAD> GreyRamp() {
    std::vector<RGBQUAD> t(256);
    for (int i = 0; i < 256; ++i)
        t[i] = Rgb(i, i, i);
    return t;
}

std::vector<RGBQUAD> SystemTable() {
    std::vector<RGBQUAD> t(256);
    const PALETTEENTRY* sys = fixtures::SystemPalette().data();
    for (int i = 0; i < 256; ++i)
        t[i] = Rgb(sys[i].peRed, sys[i].peGreen, sys[i].peBlue);
    return t;
}

// A table that holds each wanted colour at index 1, 2, ... and, after them, decoys one
// level off in every channel, so that a colour widened one step wrong matches a decoy.
std::vector<RGBQUAD> TableWith(std::initializer_list<RGBQUAD> colors) {
    std::vector<RGBQUAD> t(256, Rgb(255, 255, 255));
    t[0] = Rgb(1, 2, 3);
    int i = 1;
    for (const RGBQUAD& c : colors)
        t[i++] = c;
    for (const RGBQUAD& c : colors)
        for (int d : {-1, 1}) {
            const int r = c.rgbRed + d, g = c.rgbGreen + d, b = c.rgbBlue + d;
            if (r >= 0 && r < 256)
                t[i++] = Rgb(r, c.rgbGreen, c.rgbBlue);
            if (g >= 0 && g < 256)
                t[i++] = Rgb(c.rgbRed, g, c.rgbBlue);
            if (b >= 0 && b < 256)
                t[i++] = Rgb(c.rgbRed, c.rgbGreen, b);
        }
    return t;
}

// The destination: an 8-bit DIB section with a given table, every pixel kUntouched.
class Section {
public:
    Section(int width, int height, const std::vector<RGBQUAD>& table)
        : width_(width), height_(height), stride_((width + 3) & ~3) {
        struct {
            BITMAPINFOHEADER h;
            RGBQUAD colors[256];
        } info = {};
        info.h = {40, width, height, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
        memcpy(info.colors, table.data(), 256 * sizeof(RGBQUAD));
        void* bits = nullptr;
        handle_ = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                   &bits, nullptr, 0);
        bits_ = static_cast<BYTE*>(bits);
        memset(bits_, kUntouched, (size_t)stride_ * height);
    }
    ~Section() { DeleteObject(handle_); }
    Section(const Section&) = delete;
    Section& operator=(const Section&) = delete;

    HBITMAP handle() const { return handle_; }
    // Rows are bottom-up in memory; y counts from the top.
    BYTE At(int x, int y) const { return bits_[(size_t)stride_ * (height_ - 1 - y) + x]; }
    std::vector<int> Row(int y) const {
        std::vector<int> row;
        for (int x = 0; x < width_; ++x)
            row.push_back(At(x, y));
        return row;
    }
    bool AllUntouched() const {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (At(x, y) != kUntouched)
                    return false;
        return true;
    }

private:
    int width_, height_, stride_;
    HBITMAP handle_ = nullptr;
    BYTE* bits_ = nullptr;
};

// The source block the BMP reader builds: the header and room for 256 entries, the bit-field
// masks in the first 12 bytes after the header.
struct Info {
    BITMAPINFOHEADER h = {};
    RGBQUAD colors[256] = {};

    Info(int width, int height, int bits, DWORD compression = BI_RGB, DWORD sizeImage = 0) {
        h = {40, width, height, 1, (WORD)bits, compression, sizeImage, 0, 0, 0, 0};
    }
    const BITMAPINFO* bmi() const { return reinterpret_cast<const BITMAPINFO*>(this); }
    void SetMasks(DWORD r, DWORD g, DWORD b) {
        const DWORD masks[3] = {r, g, b};
        memcpy(colors, masks, sizeof(masks));
    }
};

int Convert(const Section& s, const Info& info, const std::vector<BYTE>& bits, UINT start = 0,
            UINT lines = UINT_MAX) {
    if (lines == UINT_MAX)
        lines = (UINT)(info.h.biHeight < 0 ? -info.h.biHeight : info.h.biHeight);
    return SetDIBits(nullptr, s.handle(), start, lines, bits.data(), info.bmi(), DIB_RGB_COLORS);
}

using Row = std::vector<int>;

// ---------------------------------------------------------------------------------------

TEST(SetDIBitsPalettised, OneBitOddWidthWithPaddedRows) {
    std::vector<RGBQUAD> dest(256, Rgb(0, 0, 0));
    dest[5] = Rgb(255, 0, 0);
    dest[9] = Rgb(0, 0, 255);
    Section s(11, 2, dest);
    Info info(11, 2, 1);
    info.colors[0] = Rgb(250, 0, 0); // nearest to entry 5
    info.colors[1] = Rgb(0, 0, 255);
    // Rows of 11 bits take 2 bytes and 2 of padding; bottom row first.
    const std::vector<BYTE> bits = {0xAA, 0xA0, 0xFF, 0xFF, 0x0F, 0x3F, 0xFF, 0xFF};
    EXPECT_EQ(Convert(s, info, bits), 2);
    EXPECT_EQ(s.Row(1), (Row{9, 5, 9, 5, 9, 5, 9, 5, 9, 5, 9}));
    EXPECT_EQ(s.Row(0), (Row{5, 5, 5, 5, 9, 9, 9, 9, 5, 5, 9}));
}

TEST(SetDIBitsPalettised, FourAndEightBitsBottomUpAndTopDown) {
    Section s4(5, 2, GreyRamp());
    Info info4(5, 2, 4);
    for (int i = 0; i < 16; ++i)
        info4.colors[i] = Rgb(i, i, i);
    const std::vector<BYTE> bits4 = {0x12, 0x34, 0x5F, 0xEE, 0xAB, 0xCD, 0xE0, 0xEE};
    EXPECT_EQ(Convert(s4, info4, bits4), 2);
    EXPECT_EQ(s4.Row(1), (Row{1, 2, 3, 4, 5}));
    EXPECT_EQ(s4.Row(0), (Row{10, 11, 12, 13, 14}));

    Section s8(3, 3, GreyRamp());
    Info info8(3, -3, 8);
    for (int i = 0; i < 256; ++i)
        info8.colors[i] = Rgb(i, i, i);
    const std::vector<BYTE> bits8 = {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99};
    EXPECT_EQ(Convert(s8, info8, bits8), 3);
    EXPECT_EQ(s8.Row(0), (Row{1, 2, 3}));
    EXPECT_EQ(s8.Row(2), (Row{7, 8, 9}));
}

TEST(SetDIBitsPalettised, OwnTableKeepsIndicesEvenWhenColoursRepeat) {
    std::vector<RGBQUAD> table = GreyRamp();
    table[10] = table[20] = table[30] = Rgb(50, 50, 50);
    Section s(4, 1, table);
    Info info(4, 1, 8);
    memcpy(info.colors, table.data(), sizeof(info.colors));
    EXPECT_EQ(Convert(s, info, {10, 20, 30, 50}), 1);
    EXPECT_EQ(s.Row(0), (Row{10, 20, 30, 50}));

    // Where the source differs from the destination at that index, the colour decides:
    // the lowest of the equal entries.
    info.colors[30] = Rgb(50, 50, 51);
    info.colors[40] = Rgb(50, 50, 50);
    EXPECT_EQ(Convert(s, info, {30, 40, 10, 20}), 1);
    EXPECT_EQ(s.Row(0), (Row{10, 10, 10, 20}));
}

TEST(SetDIBitsPalettised, IndicesPastTheSourceTableAreBlack) {
    std::vector<RGBQUAD> dest(256, Rgb(90, 90, 90));
    dest[3] = Rgb(0, 0, 0);
    dest[7] = Rgb(0, 0, 0);
    dest[1] = Rgb(200, 0, 0);
    Section s(4, 1, dest);
    Info info(4, 1, 8);
    info.h.biClrUsed = 2;
    info.colors[0] = Rgb(90, 90, 90);
    info.colors[1] = Rgb(200, 0, 0);
    // Entries the block holds beyond biClrUsed are not part of the table.
    info.colors[5] = Rgb(200, 0, 0);
    EXPECT_EQ(Convert(s, info, {1, 5, 7, 255}), 1);
    // 5 and 255: black, nearest is entry 3; 7: black, and black is its own entry too.
    EXPECT_EQ(s.Row(0), (Row{1, 3, 7, 3}));
}

TEST(SetDIBitsPalettised, ClrUsedOfTheFullDepthOrMoreMeansTheWholeTable) {
    Section s(2, 1, GreyRamp());
    Info info(2, 1, 4);
    info.h.biClrUsed = 300;
    for (int i = 0; i < 16; ++i)
        info.colors[i] = Rgb(i, i, i);
    EXPECT_EQ(Convert(s, info, {0xF9, 0, 0, 0}), 1);
    EXPECT_EQ(s.Row(0), (Row{15, 9}));
}

// ---------------------------------------------------------------------------------------

TEST(SetDIBitsTrueColor, TwentyFourBitsWithRowPadding) {
    Section s(3, 2, SystemTable());
    Info info(3, 2, 24);
    // BGR triples; rows of 9 bytes padded to 12.
    const std::vector<BYTE> bits = {0,   0,   255, 153, 102, 51, 0, 0, 0,   9,    9,    9,
                                    240, 251, 255, 60,  60,  60, 1, 2, 250, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(Convert(s, info, bits), 2);
    // Pure red is both cube entry 190 and static entry 249: the lower wins.
    EXPECT_EQ(s.Row(1), (Row{190, 10 + 36 * 1 + 6 * 2 + 3, 0}));
    // (60, 60, 60) is nearer the grey 61 (entry 230) than the cube's 51.
    EXPECT_EQ(s.Row(0), (Row{246, 230, 190}));
}

TEST(SetDIBitsTrueColor, SixteenBitsFiveFiveFiveAndFiveSixFive) {
    // 5-bit 16 widens to 132, 5-bit 1 to 8; 6-bit 33 widens to 134.
    Section s(3, 1, TableWith({Rgb(255, 0, 0), Rgb(132, 8, 0), Rgb(0, 134, 132)}));
    Info info(3, 1, 16);
    auto pixel = [](int r, int g, int b, int gbits) {
        const int p = r << (gbits + 5) | g << 5 | b;
        return std::vector<BYTE>{(BYTE)p, (BYTE)(p >> 8)};
    };
    std::vector<BYTE> bits;
    for (auto p : {pixel(31, 0, 0, 5), pixel(16, 1, 0, 5)})
        bits.insert(bits.end(), p.begin(), p.end());
    // The top bit of a 5-5-5 pixel is not part of any channel: this one is black.
    bits.insert(bits.end(), {0x00, 0x80, 0, 0});
    EXPECT_EQ(Convert(s, info, bits), 1);
    EXPECT_EQ(s.Row(0), (Row{1, 2, 0}));

    Info bf(3, 1, 16, BI_BITFIELDS);
    bf.SetMasks(0xF800, 0x07E0, 0x001F);
    bits.clear();
    for (auto p : {pixel(31, 0, 0, 6), pixel(16, 2, 0, 6), pixel(0, 33, 16, 6)})
        bits.insert(bits.end(), p.begin(), p.end());
    bits.resize(8, 0);
    EXPECT_EQ(Convert(s, bf, bits), 1);
    EXPECT_EQ(s.Row(0), (Row{1, 2, 3}));
}

TEST(SetDIBitsTrueColor, ThirtyTwoBitsIgnoreTheTopByte) {
    Section s(2, 1, TableWith({Rgb(10, 20, 30), Rgb(200, 100, 50)}));
    Info info(2, 1, 32);
    EXPECT_EQ(Convert(s, info, {30, 20, 10, 0xFF, 50, 100, 200, 0x7F}), 1);
    EXPECT_EQ(s.Row(0), (Row{1, 2}));

    Info bf(2, 1, 32, BI_BITFIELDS);
    bf.SetMasks(0x0000FF00, 0x00FF0000, 0xFF000000); // red, green, blue from other bytes
    EXPECT_EQ(Convert(s, bf, {0xFF, 10, 20, 30, 0, 200, 100, 50}), 1);
    EXPECT_EQ(s.Row(0), (Row{1, 2}));
}

TEST(SetDIBitsTrueColor, BitFieldsOfUnusualWidthsAndPositions) {
    // 10-10-10: channels keep their top 8 bits.
    Section s(3, 1, TableWith({Rgb(255, 128, 1), Rgb(0xAB, 0, 0x55), Rgb(170, 0xF0, 0)}));
    Info ten(3, 1, 32, BI_BITFIELDS);
    ten.SetMasks(0x3FF00000, 0x000FFC00, 0x000003FF);
    auto pack10 = [](DWORD r, DWORD g, DWORD b) {
        const DWORD p = r << 20 | g << 10 | b | 0xC0000000;
        return std::vector<BYTE>{(BYTE)p, (BYTE)(p >> 8), (BYTE)(p >> 16), (BYTE)(p >> 24)};
    };
    std::vector<BYTE> bits;
    for (auto p : {pack10(0x3FF, 0x200, 0x007), pack10(0x2AF, 0x003, 0x156)})
        bits.insert(bits.end(), p.begin(), p.end());
    // Third pixel: 2-bit red (binary 10 -> 10101010), 12-bit green at the bottom, no blue.
    Info odd(1, 1, 16, BI_BITFIELDS);
    odd.SetMasks(0xC000, 0x0FFF, 0);
    bits.insert(bits.end(), {0, 0, 0, 0});
    EXPECT_EQ(Convert(s, ten, bits), 1);
    EXPECT_EQ(s.Row(0)[0], 1);
    EXPECT_EQ(s.Row(0)[1], 2);

    const DWORD p = 2u << 14 | 0xF0Fu;
    EXPECT_EQ(Convert(s, odd, {(BYTE)p, (BYTE)(p >> 8), 0, 0}), 1);
    EXPECT_EQ(s.Row(0)[0], 3);

    // A single-bit channel widens to 0 or 255; a 3-bit one repeats its pattern (101 -> 10110110).
    Section t(2, 1, TableWith({Rgb(255, 0xB6, 0), Rgb(0, 0, 0x49)}));
    Info tiny(2, 1, 16, BI_BITFIELDS);
    tiny.SetMasks(0x0100, 0x0070, 0x0007);
    EXPECT_EQ(Convert(t, tiny, {0x50, 0x01, 0x02, 0x00}), 1);
    EXPECT_EQ(t.Row(0), (Row{1, 2}));
}

TEST(SetDIBitsMatching, TiesGoToTheLowestIndex) {
    std::vector<RGBQUAD> dest(256, Rgb(255, 255, 255));
    dest[3] = Rgb(30, 0, 0);
    dest[5] = Rgb(10, 0, 0);
    dest[8] = Rgb(20, 0, 10);
    Section s(2, 1, dest);
    Info info(2, 1, 24);
    // (20, 0, 0) is 100 away from 3, 5 and 8; (20, 0, 5) is 125 from 3 and 5, 25 from 8.
    EXPECT_EQ(Convert(s, info, {0, 0, 20, 5, 0, 20, 0, 0}), 1);
    EXPECT_EQ(s.Row(0), (Row{3, 8}));

    Info pal(2, 1, 8);
    pal.colors[0] = Rgb(20, 0, 0);
    pal.colors[1] = Rgb(20, 0, 5);
    EXPECT_EQ(Convert(s, pal, {0, 1, 0, 0}), 1);
    EXPECT_EQ(s.Row(0), (Row{3, 8}));
}

void ExpectNearestEverywhere(const std::vector<RGBQUAD>& table, int w, int h,
                             const std::vector<BYTE>& bits) {
    const int stride = (w * 3 + 3) & ~3;
    Section s(w, h, table);
    ASSERT_EQ(Convert(s, Info(w, h, 24), bits), h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const BYTE* p = &bits[(size_t)(h - 1 - y) * stride + 3 * x];
            ASSERT_EQ(s.At(x, y), fixtures::NearestIndex(table.data(), 256, p[2], p[1], p[0]))
                << "colour " << (int)p[2] << "," << (int)p[1] << "," << (int)p[0];
        }
}

// The colour cache must give exactly what a search of the whole table gives, whatever the
// table (repeated colours, clusters, the system palette) and however often a cell is met.
TEST(SetDIBitsMatching, CachedMatchesEqualAFullSearch) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> level(0, 255);
    std::vector<RGBQUAD> random(256), clustered(256);
    for (int i = 0; i < 256; ++i) {
        random[i] = Rgb(level(rng), level(rng), level(rng));
        clustered[i] = Rgb(100 + level(rng) % 8, 100 + level(rng) % 8, 100 + level(rng) % 8);
    }
    for (int i = 0; i < 256; i += 7)
        random[i] = random[(i * 31) % 256];

    // Noise, and a small region of many close colours that fills its cells whole.
    const int w = 97, h = 41, stride = (w * 3 + 3) & ~3;
    std::vector<BYTE> bits((size_t)stride * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE* p = &bits[(size_t)y * stride + 3 * x];
            const bool noise = (x + y) % 3 == 0;
            p[0] = (BYTE)(noise ? level(rng) : 96 + (x + y) % 16);
            p[1] = (BYTE)(noise ? level(rng) : 100 + x % 9);
            p[2] = (BYTE)(noise ? level(rng) : 98 + y % 12);
        }
    for (const auto& table : {SystemTable(), GreyRamp(), random, clustered})
        ExpectNearestEverywhere(table, w, h, bits);

    // Every fifth level of every channel: the whole cube, each cell's corners included.
    const int side = 52, cw = side * side, cstride = (cw * 3 + 3) & ~3;
    std::vector<BYTE> cube((size_t)cstride * side);
    for (int r = 0; r < side; ++r)
        for (int g = 0; g < side; ++g)
            for (int b = 0; b < side; ++b) {
                BYTE* p = &cube[(size_t)r * cstride + 3 * (g * side + b)];
                p[0] = (BYTE)(5 * b), p[1] = (BYTE)(5 * g), p[2] = (BYTE)(5 * r);
            }
    for (const auto& table : {SystemTable(), random})
        ExpectNearestEverywhere(table, cw, side, cube);
}

// ---------------------------------------------------------------------------------------

// RLE sources are decoded against a grey ramp so that each pixel shows its source index.
Info RleInfo(int width, int height, DWORD compression, size_t size) {
    Info info(width, height, compression == BI_RLE8 ? 8 : 4, compression, (DWORD)size);
    for (int i = 0; i < 256; ++i)
        info.colors[i] = Rgb(i, i, i);
    return info;
}

TEST(SetDIBitsRle, Rle8RunsAbsoluteRunsAndEscapes) {
    Section s(6, 4, GreyRamp());
    const std::vector<BYTE> rle = {3, 1, 0, 3, 5, 6,
                                   7, 0, 0, 0, // line 0: run, absolute run of 3 with its pad byte
                                   0, 2, 2, 1, // delta: two right, one up (line 1 is skipped)
                                   2, 9, 0, 0, // line 2: two 9s from x = 2
                                   8, 4, 0, 1, // line 3: a run past the right edge, end of bitmap
                                   7, 7};      // never reached
    EXPECT_EQ(Convert(s, RleInfo(6, 4, BI_RLE8, rle.size()), rle), 4);
    EXPECT_EQ(s.Row(3), (Row{1, 1, 1, 5, 6, 7}));
    EXPECT_EQ(s.Row(2), Row(6, kUntouched));
    EXPECT_EQ(s.Row(1), (Row{kUntouched, kUntouched, 9, 9, kUntouched, kUntouched}));
    EXPECT_EQ(s.Row(0), Row(6, 4));
}

TEST(SetDIBitsRle, Rle4NibblesAlternateAndAbsoluteRunsPadToWords) {
    Section s(7, 2, GreyRamp());
    const std::vector<BYTE> rle = {
        5, 0x12,                         // 1 2 1 2 1
        0, 3,    0x34, 0x50,             // absolute 3,4,5: two bytes, already even; 5 is clipped
        0, 0,                            //
        0, 5,    0x67, 0x89, 0xA0, 0x00, // absolute 6..10: three bytes padded to four
        0, 2,    1,    0,                // delta one right
        1, 0xF0,                         // a single 15
        0, 1};
    EXPECT_EQ(Convert(s, RleInfo(7, 2, BI_RLE4, rle.size()), rle), 2);
    EXPECT_EQ(s.Row(1), (Row{1, 2, 1, 2, 1, 3, 4}));
    EXPECT_EQ(s.Row(0), (Row{6, 7, 8, 9, 10, kUntouched, 15}));
}

TEST(SetDIBitsRle, TruncatedStreamsLeaveTheRestUnchanged) {
    Section s(6, 2, GreyRamp());
    // An absolute run of 5 of which the buffer holds 3 bytes.
    const std::vector<BYTE> rle = {2, 8, 0, 5, 1, 2, 3};
    EXPECT_EQ(Convert(s, RleInfo(6, 2, BI_RLE8, rle.size()), rle), 2);
    EXPECT_EQ(s.Row(1), (Row{8, 8, 1, 2, 3, kUntouched}));
    EXPECT_EQ(s.Row(0), Row(6, kUntouched));

    // The size the header gives is all that is read, even when the caller's buffer is longer.
    Section t(6, 1, GreyRamp());
    const std::vector<BYTE> cut = {2, 8, 3, 9, 0, 1};
    EXPECT_EQ(Convert(t, RleInfo(6, 1, BI_RLE8, 3), cut), 1);
    EXPECT_EQ(t.Row(0), (Row{8, 8, kUntouched, kUntouched, kUntouched, kUntouched}));

    // An RLE4 absolute run cut after one byte keeps the two nibbles it has.
    Section u(4, 1, GreyRamp());
    const std::vector<BYTE> nib = {0, 4, 0x12};
    EXPECT_EQ(Convert(u, RleInfo(4, 1, BI_RLE4, nib.size()), nib), 1);
    EXPECT_EQ(u.Row(0), (Row{1, 2, kUntouched, kUntouched}));
}

TEST(SetDIBitsRle, DeltasAndRunsPastEveryEdgeAreClipped) {
    // The picture is larger than the bitmap both ways: its bottom line and right part are lost.
    Section s(3, 2, GreyRamp());
    std::vector<BYTE> rle = {255, 1, 0,   0,              // line 0 lies below the bitmap
                             0,   2, 250, 0,              // far right, still line 1
                             255, 2, 0,   0,              // writes nothing visible
                             2,   3, 0,   3, 4, 5, 6, 0}; // line 2
    for (int i = 0; i < 3; ++i)
        rle.insert(rle.end(), {0, 2, 255, 255}); // deltas far past the top
    rle.push_back(4);
    rle.push_back(7);
    EXPECT_EQ(Convert(s, RleInfo(300, 3, BI_RLE8, rle.size()), rle), 2);
    EXPECT_EQ(s.Row(1), Row(3, kUntouched));
    EXPECT_EQ(s.Row(0), (Row{3, 3, 4}));
}

TEST(SetDIBitsRle, LayoutsThatCannotBeDecoded) {
    Section s(4, 2, GreyRamp());
    const std::vector<BYTE> rle = {4, 1, 0, 1};
    Info noSize = RleInfo(4, 2, BI_RLE8, 0);
    Info topDown = RleInfo(4, -2, BI_RLE8, rle.size());
    Info rle8With4Bits = RleInfo(4, 2, BI_RLE8, rle.size());
    rle8With4Bits.h.biBitCount = 4;
    Info rle4With8Bits = RleInfo(4, 2, BI_RLE4, rle.size());
    rle4With8Bits.h.biBitCount = 8;
    for (const Info* info : {&noSize, &topDown, &rle8With4Bits, &rle4With8Bits})
        EXPECT_EQ(Convert(s, *info, rle, 0, 2), 0);
    EXPECT_EQ(Convert(s, RleInfo(4, 2, BI_RLE8, rle.size()), rle, 0, 0), 0);
    EXPECT_TRUE(s.AllUntouched());
}

// ---------------------------------------------------------------------------------------

std::vector<BYTE> Rows8(int stride, std::initializer_list<int> firstBytes) {
    std::vector<BYTE> bits;
    for (int b : firstBytes) {
        bits.push_back((BYTE)b);
        bits.resize(bits.size() + stride - 1, (BYTE)b);
    }
    return bits;
}

TEST(SetDIBitsLines, StartAndCountSelectABandOfScanLines) {
    // Scan lines 2 and 3 of a 6-line picture: rows 3 and 2 from the top.
    Section s(4, 6, GreyRamp());
    Info info(4, 6, 8);
    memcpy(info.colors, GreyRamp().data(), sizeof(info.colors));
    EXPECT_EQ(Convert(s, info, Rows8(4, {20, 30}), 2, 2), 2);
    EXPECT_EQ(s.Row(3), Row(4, 20));
    EXPECT_EQ(s.Row(2), Row(4, 30));
    for (int y : {0, 1, 4, 5})
        EXPECT_EQ(s.Row(y), Row(4, kUntouched));

    // A top-down band holds the same scan lines, upper one first.
    Section t(4, 6, GreyRamp());
    info.h.biHeight = -6;
    EXPECT_EQ(Convert(t, info, Rows8(4, {30, 20}), 2, 2), 2);
    EXPECT_EQ(t.Row(3), Row(4, 20));
    EXPECT_EQ(t.Row(2), Row(4, 30));

    // Lines past the top of the picture are ignored; a band starting there converts nothing.
    Section u(4, 2, GreyRamp());
    info.h.biHeight = 2;
    EXPECT_EQ(Convert(u, info, Rows8(4, {1, 2, 3, 4}), 0, 4), 2);
    EXPECT_EQ(u.Row(0), Row(4, 2));
    EXPECT_EQ(Convert(u, info, Rows8(4, {5}), 2, 1), 0);
}

TEST(SetDIBitsLines, ShortBuffersLeavePixelsUnchanged) {
    Section s(3, 4, SystemTable());
    // 24 bits, width 3: 12 bytes a row. Two full rows and two bytes of the third.
    Info info(3, 4, 24, BI_RGB, 2 * 12 + 2);
    std::vector<BYTE> bits(info.h.biSizeImage, 0xFF);
    EXPECT_EQ(Convert(s, info, bits), 2);
    EXPECT_EQ(s.Row(3), Row(3, 225)); // white: the cube's corner comes before entry 255
    EXPECT_EQ(s.Row(2), Row(3, 225));
    EXPECT_EQ(s.Row(1), Row(3, kUntouched));

    // Seven bytes of the third row hold two whole pixels.
    info.h.biSizeImage = 2 * 12 + 7;
    bits.assign(info.h.biSizeImage, 0);
    EXPECT_EQ(Convert(s, info, bits), 3);
    EXPECT_EQ(s.Row(1), (Row{0, 0, kUntouched}));
    EXPECT_EQ(s.Row(0), Row(3, kUntouched));
}

TEST(SetDIBitsLines, PicturesOfAnotherSizeMeetAtTheTopLeft) {
    Section s(4, 3, GreyRamp());
    Info info(2, 2, 8);
    memcpy(info.colors, GreyRamp().data(), sizeof(info.colors));
    EXPECT_EQ(Convert(s, info, {1, 2, 0, 0, 3, 4, 0, 0}), 2);
    EXPECT_EQ(s.Row(0), (Row{3, 4, kUntouched, kUntouched}));
    EXPECT_EQ(s.Row(1), (Row{1, 2, kUntouched, kUntouched}));
    EXPECT_EQ(s.Row(2), Row(4, kUntouched));

    Section small(2, 1, GreyRamp());
    Info wide(5, 3, 8);
    memcpy(wide.colors, GreyRamp().data(), sizeof(wide.colors));
    EXPECT_EQ(Convert(small, wide, Rows8(8, {1, 2, 3})), 1);
    EXPECT_EQ(small.Row(0), Row(2, 3));
}

// ---------------------------------------------------------------------------------------

TEST(SetDIBitsHostile, HugeSizesReadOnlyTheBuffer) {
    Section s(4, 4, SystemTable());
    std::vector<BYTE> bits(64, 0);
    Info wide(INT_MAX, 4, 32, BI_RGB, (DWORD)bits.size());
    EXPECT_EQ(Convert(s, wide, bits), 1);
    EXPECT_EQ(s.Row(3), Row(4, 0));
    EXPECT_EQ(s.Row(2), Row(4, kUntouched));

    Info tall(4, INT_MIN, 24, BI_RGB, (DWORD)bits.size());
    EXPECT_EQ(SetDIBits(nullptr, s.handle(), 0, UINT_MAX, bits.data(), tall.bmi(), DIB_RGB_COLORS),
              0); // the lines that land in the bitmap lie far past the 64 bytes

    // Without a size, a buffer of these rows could not exist: nothing is read.
    Info claimed(INT_MAX, INT_MAX, 32);
    EXPECT_EQ(
        SetDIBits(nullptr, s.handle(), 0, UINT_MAX, bits.data(), claimed.bmi(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(s.Row(0), Row(4, kUntouched));
}

TEST(SetDIBitsHostile, UnconvertibleLayoutsAndHandlesReturnZero) {
    Section s(4, 2, GreyRamp());
    const std::vector<BYTE> bits(64, 1);
    std::vector<Info> bad;
    bad.emplace_back(4, 2, 2);
    bad.emplace_back(4, 2, 24, BI_BITFIELDS);
    bad.emplace_back(4, 2, 8, BI_BITFIELDS);
    bad.emplace_back(4, 2, 8, 4 /* BI_JPEG */, 64);
    bad.emplace_back(4, 2, 8, 5 /* BI_PNG */, 64);
    bad.emplace_back(-4, 2, 8);
    bad.emplace_back(4, 0, 8);
    bad.emplace_back(4, 2, 8);
    bad.back().h.biPlanes = 2;
    bad.emplace_back(4, 2, 8);
    bad.back().h.biSize = 108;
    for (const Info& info : bad)
        EXPECT_EQ(Convert(s, info, bits, 0, 2), 0)
            << info.h.biBitCount << "/" << info.h.biCompression;

    const Info good(4, 2, 8);
    EXPECT_EQ(SetDIBits(nullptr, s.handle(), 0, 2, bits.data(), good.bmi(), DIB_PAL_COLORS), 0);
    EXPECT_EQ(SetDIBits(nullptr, s.handle(), 0, 2, nullptr, good.bmi(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(SetDIBits(nullptr, s.handle(), 0, 2, bits.data(), nullptr, DIB_RGB_COLORS), 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP notABitmap = reinterpret_cast<HBITMAP>(GetCurrentObject(dc, OBJ_PAL));
    EXPECT_EQ(SetDIBits(nullptr, notABitmap, 0, 2, bits.data(), good.bmi(), DIB_RGB_COLORS), 0);
    HDC notADc = reinterpret_cast<HDC>(s.handle());
    EXPECT_EQ(SetDIBits(notADc, s.handle(), 0, 2, bits.data(), good.bmi(), DIB_RGB_COLORS), 0);
    EXPECT_TRUE(s.AllUntouched());

    // The stock bitmap of a fresh memory context is shared and never written.
    HGDIOBJ stock = GetCurrentObject(dc, OBJ_BITMAP);
    EXPECT_EQ(SetDIBits(dc, reinterpret_cast<HBITMAP>(stock), 0, 2, bits.data(), good.bmi(),
                        DIB_RGB_COLORS),
              0);
    EXPECT_EQ(SetDIBits(dc, s.handle(), 0, 2, bits.data(), good.bmi(), DIB_RGB_COLORS), 2);
    DeleteDC(dc);
}

} // namespace
