#include "attack_art.h"
#include "effects_art.h"
#include "image_writers.h"
#include "palette.h"
#include "sheets.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace artgen;

namespace {

// A colour this close to the key shows as a fringe round the sprite on the stage.
constexpr int kFringeDistance = 3 * 16 * 16;

struct SheetRef {
    SheetKind kind;
    int file;
};

std::vector<SheetRef> AllSheets() {
    std::vector<SheetRef> all;
    for (SheetKind kind : {SheetKind::Attack, SheetKind::Effects})
        for (int file = 0; file < kSheetFiles; ++file)
            all.push_back({kind, file});
    return all;
}

const Canvas& CachedSheet(SheetKind kind, int file) {
    static std::map<std::pair<int, int>, Canvas> cache;
    auto key = std::make_pair((int)kind, file);
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.emplace(key, MakeSheet(kind, file)).first;
    return it->second;
}

std::vector<uint8_t> CellPixels(const Canvas& c, const SheetLayout& l, int r, int n) {
    std::vector<uint8_t> px;
    for (int y = 1; y < l.cell; ++y)
        for (int x = 1; x < l.cell; ++x)
            px.push_back(c.At(n * l.cell + x, r * l.cell + y));
    return px;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}

std::string Where(const SheetRef& s, int r, int n) {
    return SheetFileName(s.kind, s.file) + " row " + std::to_string(r) + " cell " +
           std::to_string(n);
}

} // namespace

TEST(Artgen, SheetsHaveTheirSizeKeyAndUnbrokenGrid) {
    for (const SheetRef& s : AllSheets()) {
        const Canvas& c = CachedSheet(s.kind, s.file);
        const SheetLayout l = LayoutOf(s.kind);
        ASSERT_EQ(c.width, s.kind == SheetKind::Attack ? 384 : 256);
        ASSERT_EQ(c.height, s.kind == SheetKind::Attack ? 480 : 160);
        const SheetColours colours = ColoursOf(s.kind, s.file);
        EXPECT_EQ(c.At(0, 0), colours.key);
        int gridFaults = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                if ((x % l.cell == 0 || y % l.cell == 0) && (x | y) != 0)
                    gridFaults += c.At(x, y) != colours.grid;
        EXPECT_EQ(gridFaults, 0) << SheetFileName(s.kind, s.file);
    }
}

// Every cell holds a sprite, and no sprite pixel would show as a fringe of the key: neither
// of the BMP key nor of the colour the JPEG sheets stand the key for.
TEST(Artgen, EveryCellHoldsASpriteWithoutNearKeyColours) {
    const Rgb key = SheetPalette()[kKeyIndex];
    const Rgb jpegKey = SheetPalette()[kJpegKeyIndex];
    for (const SheetRef& s : AllSheets()) {
        const Canvas& c = CachedSheet(s.kind, s.file);
        const SheetLayout l = LayoutOf(s.kind);
        const uint8_t sheetKey = ColoursOf(s.kind, s.file).key;
        for (int r = 0; r < l.rows; ++r)
            for (int n = 0; n < l.frames; ++n) {
                int drawn = 0, fringe = 0;
                for (uint8_t p : CellPixels(c, l, r, n)) {
                    if (p == sheetKey)
                        continue;
                    ++drawn;
                    fringe += SquaredDistance(SheetPalette()[p], key) <= kFringeDistance;
                    fringe += SquaredDistance(SheetPalette()[p], jpegKey) <= kFringeDistance;
                }
                EXPECT_GT(drawn, 0) << Where(s, r, n);
                EXPECT_EQ(fringe, 0) << Where(s, r, n);
            }
    }
}

// Sprites keep two pixels off the grid lines, one in the small effect cells, so that the
// JPEG sheets' compression does not smear them into the grid.
TEST(Artgen, SpritesKeepClearOfTheGrid) {
    for (const SheetRef& s : AllSheets()) {
        const Canvas& c = CachedSheet(s.kind, s.file);
        const SheetLayout l = LayoutOf(s.kind);
        const int margin = s.kind == SheetKind::Attack ? 2 : 1;
        const uint8_t key = ColoursOf(s.kind, s.file).key;
        int touching = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                int cx = x % l.cell - 1, cy = y % l.cell - 1, inner = l.cell - 1;
                bool sprite = cx >= 0 && cy >= 0;
                bool edge =
                    cx < margin || cy < margin || cx >= inner - margin || cy >= inner - margin;
                touching += sprite && edge && c.At(x, y) != key;
            }
        EXPECT_EQ(touching, 0) << SheetFileName(s.kind, s.file);
    }
}

// Rows must differ from one another, and their frames must move: every frame of a throw
// differs from the others; a sparkle may hold a few frames.
TEST(Artgen, RowsDifferAndFramesMove) {
    for (SheetKind kind : {SheetKind::Attack, SheetKind::Effects}) {
        const SheetLayout l = LayoutOf(kind);
        const size_t leastDistinct = kind == SheetKind::Attack ? 8 : 12;
        // Pixels compared as strings: GCC 12 warns falsely on sets of byte vectors.
        std::set<std::string> rows;
        for (int file = 0; file < kSheetFiles; ++file) {
            const Canvas& c = CachedSheet(kind, file);
            for (int r = 0; r < l.rows; ++r) {
                std::string row;
                std::set<std::string> frames;
                for (int n = 0; n < l.frames; ++n) {
                    std::vector<uint8_t> pixels = CellPixels(c, l, r, n);
                    std::string cell(pixels.begin(), pixels.end());
                    frames.insert(cell);
                    row.insert(row.end(), cell.begin(), cell.end());
                }
                EXPECT_GE(frames.size(), leastDistinct) << Where({kind, file}, r, 0);
                rows.insert(row);
            }
        }
        EXPECT_EQ(rows.size(), 200u);
    }
}

TEST(Artgen, BmpFileIsBottomUpEightBitWithFullTable) {
    Canvas c(5, 3, 7);
    c.Set(0, 0, 1);   // top left
    c.Set(4, 2, 200); // bottom right
    std::vector<uint8_t> b = EncodeBmp(c, SheetPalette());
    const uint32_t stride = 8, off = 14 + 40 + 1024;
    ASSERT_EQ(b.size(), off + stride * 3);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(Le32(b, 2), b.size());
    EXPECT_EQ(Le32(b, 10), off);
    EXPECT_EQ(Le32(b, 14), 40u);
    EXPECT_EQ(Le32(b, 18), 5u);
    EXPECT_EQ(Le32(b, 22), 3u);
    EXPECT_EQ(b[26] | b[27] << 8, 1);
    EXPECT_EQ(b[28] | b[29] << 8, 8);
    EXPECT_EQ(Le32(b, 30), 0u);
    EXPECT_EQ(Le32(b, 34), stride * 3);
    const Rgb grey = SheetPalette()[kGridIndex];
    const uint8_t* quad = &b[54 + 4 * kGridIndex];
    EXPECT_EQ(quad[0], grey.b);
    EXPECT_EQ(quad[1], grey.g);
    EXPECT_EQ(quad[2], grey.r);
    // Bottom row first, each row padded to four bytes with zeros.
    EXPECT_EQ(b[off + 4], 200);
    EXPECT_EQ(b[off + 5], 0);
    EXPECT_EQ(b[off + 2 * stride], 1);
    EXPECT_EQ(b[off + 2 * stride + 1], 7);
}

TEST(Artgen, JpegSheetsAreJfifAndTheRestBmp) {
    int jpegs[2] = {0, 0};
    for (const SheetRef& s : AllSheets()) {
        if (!IsJpegSheet(s.kind, s.file))
            continue;
        ++jpegs[(int)s.kind];
        std::vector<uint8_t> bytes = EncodeSheet(s.kind, s.file);
        ASSERT_GT(bytes.size(), 100u);
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0xD8);
        // The viewer recognises JPEG content by this text among the first 100 bytes.
        EXPECT_NE(std::string(bytes.begin(), bytes.begin() + 100).find("JFIF"), std::string::npos);
    }
    EXPECT_GE(jpegs[0], 1);
    EXPECT_GE(jpegs[1], 1);
    std::vector<uint8_t> bmp = EncodeSheet(SheetKind::Attack, 0);
    EXPECT_EQ(bmp.size(), 14u + 40 + 1024 + 384 * 480);
}

TEST(Artgen, OutputIsDeterministic) {
    EXPECT_EQ(EncodeSheet(SheetKind::Attack, 3), EncodeSheet(SheetKind::Attack, 3));
    Sprite a(kAttackSpriteSize), b(kAttackSpriteSize);
    DrawAttackCell(a, 93, 4); // a bomb: a second pass draws its spark
    DrawAttackCell(b, 93, 4);
    EXPECT_EQ(a.pixels, b.pixels);
}
