// SetDIBits: packed DIB pixels of any BMP layout into the 8-bit indices of a DIB section.
#include "dibits.h"

#include "gdi_internal.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

using u64 = std::uint64_t;

// ---------------------------------------------------------------------------------------
// Exact nearest-colour matching for true-colour sources.

// The RGB cube is cut into cells of 8 x 8 x 8 colours. A cell, when a pixel first falls
// into it, gets the list of table entries that can be nearest somewhere inside it (taken
// from the list of its enclosing coarse cell of 32 x 32 x 32, so that opening a cell stays
// cheap); a colour, when first seen, is searched among its cell's candidates only and its
// answer kept. A full 16M-entry table would cost more to fill than a small picture costs to
// convert; here nothing is computed that the picture does not use.
class NearestColorCache {
public:
    explicit NearestColorCache(const RGBQUAD* table);

    BYTE Map(BYTE r, BYTE g, BYTE b) {
        const unsigned cell = (unsigned)(r >> kShift) << (2 * kCellBits) |
                              (unsigned)(g >> kShift) << kCellBits | (unsigned)(b >> kShift);
        std::uint32_t base = m_cells[cell];
        if (base == 0)
            base = OpenCell(cell);
        const unsigned inner = (unsigned)(r & kMask) << (2 * kShift) |
                               (unsigned)(g & kMask) << kShift | (unsigned)(b & kMask);
        const std::uint16_t answer = m_answers[base + inner];
        return answer != kUnknown ? (BYTE)answer : Search(base + inner, r, g, b);
    }

private:
    static constexpr int kShift = 3;             // a cell spans 8 levels per channel
    static constexpr int kCellBits = 8 - kShift; // 32 cells per channel
    static constexpr unsigned kMask = (1u << kShift) - 1;
    static constexpr unsigned kCellColors = 1u << (3 * kShift);
    static constexpr int kCoarseShift = 5; // a coarse cell spans 32 levels per channel
    static constexpr std::uint16_t kUnknown = 0xFFFF;
    static constexpr std::uint32_t kSearchesBeforeFill = 16;

    struct Entry {
        int r, g, b;
        BYTE index;
    };
    struct Span {
        std::uint32_t first = 0, count = 0;
    };
    struct Cell {
        Span candidates;
        int r0 = 0, g0 = 0, b0 = 0; // the cell's lowest level in each channel
        std::uint32_t searches = 0;
    };

    std::uint32_t OpenCell(unsigned cell);
    Span CoarseCandidates(int r, int g, int b);
    Span Prune(Span from, int r0, int g0, int b0, int size);
    BYTE Nearest(Span span, int r, int g, int b) const;
    BYTE Search(std::uint32_t slot, int r, int g, int b);
    void FillCell(std::uint32_t base, const Cell& cell);

    std::vector<Entry> m_entries;         // distinct colours, each at its lowest index
    std::vector<Entry> m_pool;            // candidate lists, one after another
    std::vector<Span> m_coarse;           // candidates of each coarse cell; count 0 = not yet
    std::vector<std::uint32_t> m_cells;   // where a cell's answers start; 0 = not opened yet
    std::vector<Cell> m_opened;           // candidates of each opened cell, by answers / 512
    std::vector<std::uint16_t> m_answers; // index per colour of opened cells, or kUnknown
};

NearestColorCache::NearestColorCache(const RGBQUAD* table)
    : m_coarse(1u << (3 * (8 - kCoarseShift))), m_cells(1u << (3 * kCellBits), 0), m_opened(1),
      m_answers(kCellColors, kUnknown) {
    // A later entry with the colour of an earlier one can never win the lowest-index tie,
    // so leaving it out keeps candidate lists short when a table repeats a colour a lot.
    std::vector<std::uint32_t> keys(256);
    for (unsigned i = 0; i < 256; ++i)
        keys[i] = (std::uint32_t)table[i].rgbRed << 24 | (std::uint32_t)table[i].rgbGreen << 16 |
                  (std::uint32_t)table[i].rgbBlue << 8 | i;
    std::sort(keys.begin(), keys.end());
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i > 0 && keys[i] >> 8 == keys[i - 1] >> 8)
            continue;
        m_entries.push_back(Entry{(int)(keys[i] >> 24), (int)(keys[i] >> 16 & 255),
                                  (int)(keys[i] >> 8 & 255), (BYTE)(keys[i] & 255)});
    }
    std::sort(m_entries.begin(), m_entries.end(),
              [](const Entry& a, const Entry& b) { return a.index < b.index; });
    m_pool = m_entries;
}

int AxisNearest(int c, int lo, int hi) {
    return c < lo ? lo - c : c > hi ? c - hi : 0;
}
int AxisFarthest(int c, int lo, int hi) {
    return std::max(c - lo, hi - c);
}

// Entries of `from` that may be nearest to some colour of the box: the nearest entry of any
// colour lies within the smallest farthest-distance, so an entry whose nearest point is
// farther than that can be dropped. Ties survive, and the list keeps ascending index order.
NearestColorCache::Span NearestColorCache::Prune(Span from, int r0, int g0, int b0, int size) {
    const int r1 = r0 + size - 1, g1 = g0 + size - 1, b1 = b0 + size - 1;
    int nearest[256];
    int bound = 1 << 30;
    for (std::uint32_t i = 0; i < from.count; ++i) {
        const Entry& e = m_pool[from.first + i];
        const int dr = AxisNearest(e.r, r0, r1), dg = AxisNearest(e.g, g0, g1),
                  db = AxisNearest(e.b, b0, b1);
        const int fr = AxisFarthest(e.r, r0, r1), fg = AxisFarthest(e.g, g0, g1),
                  fb = AxisFarthest(e.b, b0, b1);
        nearest[i] = dr * dr + dg * dg + db * db;
        bound = std::min(bound, fr * fr + fg * fg + fb * fb);
    }
    Span kept{(std::uint32_t)m_pool.size(), 0};
    for (std::uint32_t i = 0; i < from.count; ++i)
        if (nearest[i] <= bound) {
            const Entry e = m_pool[from.first + i]; // m_pool may move as it grows
            m_pool.push_back(e);
            ++kept.count;
        }
    return kept;
}

NearestColorCache::Span NearestColorCache::CoarseCandidates(int r, int g, int b) {
    const int bits = 8 - kCoarseShift;
    const unsigned c = (unsigned)(r >> kCoarseShift) << (2 * bits) |
                       (unsigned)(g >> kCoarseShift) << bits | (unsigned)(b >> kCoarseShift);
    if (m_coarse[c].count == 0) {
        const int mask = ~((1 << kCoarseShift) - 1);
        m_coarse[c] = Prune(Span{0, (std::uint32_t)m_entries.size()}, r & mask, g & mask, b & mask,
                            1 << kCoarseShift);
    }
    return m_coarse[c];
}

std::uint32_t NearestColorCache::OpenCell(unsigned cell) {
    const int r0 = (int)(cell >> (2 * kCellBits)) << kShift;
    const int g0 = (int)(cell >> kCellBits & ((1u << kCellBits) - 1)) << kShift;
    const int b0 = (int)(cell & ((1u << kCellBits) - 1)) << kShift;
    const Span candidates = Prune(CoarseCandidates(r0, g0, b0), r0, g0, b0, 1 << kShift);

    const std::uint32_t base = (std::uint32_t)m_answers.size();
    // A cell with one candidate is answered whole at once.
    const std::uint16_t fill = candidates.count == 1 ? m_pool[candidates.first].index : kUnknown;
    m_answers.resize(m_answers.size() + kCellColors, fill);
    m_opened.push_back(Cell{candidates, r0, g0, b0, 0});
    m_cells[cell] = base;
    return base;
}

BYTE NearestColorCache::Nearest(Span span, int r, int g, int b) const {
    int best = 1 << 30;
    BYTE index = 0;
    for (std::uint32_t i = 0; i < span.count; ++i) {
        const Entry& e = m_pool[span.first + i];
        const int d = (e.r - r) * (e.r - r) + (e.g - g) * (e.g - g) + (e.b - b) * (e.b - b);
        if (d < best) {
            best = d;
            index = e.index;
        }
    }
    return index;
}

// A cell that keeps meeting new colours is answered whole: that costs less than the
// mispredicted branch of each further first sight.
BYTE NearestColorCache::Search(std::uint32_t slot, int r, int g, int b) {
    Cell& cell = m_opened[slot / kCellColors];
    const BYTE index = Nearest(cell.candidates, r, g, b);
    m_answers[slot] = index;
    if (++cell.searches == kSearchesBeforeFill)
        FillCell(slot - slot % kCellColors, cell);
    return index;
}

void NearestColorCache::FillCell(std::uint32_t base, const Cell& cell) {
    std::uint16_t* out = m_answers.data() + base;
    for (unsigned i = 0; i < kCellColors; ++i)
        if (out[i] == kUnknown)
            out[i] = Nearest(cell.candidates, cell.r0 + (int)(i >> (2 * kShift)),
                             cell.g0 + (int)(i >> kShift & kMask), cell.b0 + (int)(i & kMask));
}

// ---------------------------------------------------------------------------------------
// Colour channels of 16- and 32-bit pixels.

// An n-bit channel widens to 8 bits by repeating its bit pattern from the top.
BYTE WidenChannel(unsigned v, int n) {
    if (n >= 8)
        return (BYTE)(v >> (n - 8));
    unsigned out = 0;
    int pos = 8 - n;
    for (; pos > 0; pos -= n)
        out |= v << pos;
    out |= v >> -pos;
    return (BYTE)out;
}

// A mask's bits are taken from its lowest to its highest set bit; a channel wider than 8
// bits is shifted down to its top 8 before the lookup, so the table never exceeds 256.
struct Channel {
    DWORD mask = 0;
    int shift = 0;
    BYTE widen[256] = {};

    BYTE Of(DWORD pixel) const { return widen[(pixel & mask) >> shift]; }
};

Channel MakeChannel(DWORD mask) {
    Channel c;
    c.mask = mask;
    if (mask == 0)
        return c;
    const int low = std::countr_zero(mask);
    const int width = 32 - std::countl_zero(mask) - low;
    c.shift = width > 8 ? low + width - 8 : low;
    const int kept = std::min(width, 8);
    for (unsigned v = 0; v < (1u << kept); ++v)
        c.widen[v] = width > 8 ? (BYTE)v : WidenChannel(v, width);
    return c;
}

// ---------------------------------------------------------------------------------------
// Row converters: `count` pixels from `src` to indices at `dst`.

struct Converter;
using RowFn = void (*)(const BYTE* src, size_t count, BYTE* dst, Converter& conv);

struct Converter {
    int bits = 0;
    RowFn row = nullptr;
    BYTE map[256] = {};
    Channel red, green, blue;
    std::unique_ptr<NearestColorCache> cache;
};

void Row1(const BYTE* src, size_t count, BYTE* dst, Converter& conv) {
    for (size_t i = 0; i < count; ++i)
        dst[i] = conv.map[src[i >> 3] >> (7 - (i & 7)) & 1];
}

void Row4(const BYTE* src, size_t count, BYTE* dst, Converter& conv) {
    for (size_t i = 0; i < count; ++i)
        dst[i] = conv.map[(i & 1) ? src[i >> 1] & 15 : src[i >> 1] >> 4];
}

void Row8(const BYTE* src, size_t count, BYTE* dst, Converter& conv) {
    for (size_t i = 0; i < count; ++i)
        dst[i] = conv.map[src[i]];
}

void RowMasks16(const BYTE* src, size_t count, BYTE* dst, Converter& conv) {
    for (size_t i = 0; i < count; ++i, src += 2) {
        const DWORD p = (DWORD)src[0] | (DWORD)src[1] << 8;
        dst[i] = conv.cache->Map(conv.red.Of(p), conv.green.Of(p), conv.blue.Of(p));
    }
}

void RowMasks32(const BYTE* src, size_t count, BYTE* dst, Converter& conv) {
    for (size_t i = 0; i < count; ++i, src += 4) {
        const DWORD p =
            (DWORD)src[0] | (DWORD)src[1] << 8 | (DWORD)src[2] << 16 | (DWORD)src[3] << 24;
        dst[i] = conv.cache->Map(conv.red.Of(p), conv.green.Of(p), conv.blue.Of(p));
    }
}

void Row24(const BYTE* src, size_t count, BYTE* dst, Converter& conv) {
    NearestColorCache& cache = *conv.cache;
    for (size_t i = 0; i < count; ++i, src += 3)
        dst[i] = cache.Map(src[2], src[1], src[0]);
}

void Row32(const BYTE* src, size_t count, BYTE* dst, Converter& conv) {
    NearestColorCache& cache = *conv.cache;
    for (size_t i = 0; i < count; ++i, src += 4)
        dst[i] = cache.Map(src[2], src[1], src[0]);
}

// ---------------------------------------------------------------------------------------
// Layout checks and converter set-up.

bool IsPalettised(int bits) {
    return bits <= 8;
}

bool IsConvertible(const BITMAPINFOHEADER& h) {
    if (h.biSize != sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biWidth <= 0 ||
        h.biHeight == 0)
        return false;
    switch (h.biCompression) {
    case BI_RGB:
        return h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8 || h.biBitCount == 16 ||
               h.biBitCount == 24 || h.biBitCount == 32;
    case BI_RLE8:
        return h.biBitCount == 8 && h.biHeight > 0;
    case BI_RLE4:
        return h.biBitCount == 4 && h.biHeight > 0;
    case BI_BITFIELDS:
        return h.biBitCount == 16 || h.biBitCount == 32;
    default:
        return false;
    }
}

// Index map of a palettised source. Indices past the source's table are black; an index
// whose colour equals the destination's entry of the same number keeps that number.
void BuildIndexMap(const BITMAPINFO* info, const gdi::Bitmap& bmp, Converter& conv) {
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const DWORD depthColors = 1u << h.biBitCount;
    const DWORD used = h.biClrUsed != 0 && h.biClrUsed < depthColors ? h.biClrUsed : depthColors;
    const auto* table = reinterpret_cast<const BYTE*>(info) + sizeof(BITMAPINFOHEADER);
    for (DWORD i = 0; i < depthColors; ++i) {
        RGBQUAD c = {0, 0, 0, 0};
        if (i < used)
            memcpy(&c, table + i * sizeof(RGBQUAD), sizeof(RGBQUAD));
        const RGBQUAD& d = bmp.table[i];
        const bool same =
            c.rgbRed == d.rgbRed && c.rgbGreen == d.rgbGreen && c.rgbBlue == d.rgbBlue;
        conv.map[i] =
            same ? (BYTE)i
                 : (BYTE)gdi::NearestColorIndex(bmp.table, 256, c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
}

struct Masks {
    DWORD red, green, blue;
};

Masks SourceMasks(const BITMAPINFO* info) {
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biCompression == BI_BITFIELDS) {
        Masks m;
        memcpy(&m, reinterpret_cast<const BYTE*>(info) + sizeof(BITMAPINFOHEADER), sizeof(m));
        return m;
    }
    if (h.biBitCount == 16)
        return Masks{0x7C00, 0x03E0, 0x001F};
    return Masks{0xFF0000, 0x00FF00, 0x0000FF};
}

void SetUpTrueColor(const BITMAPINFO* info, const gdi::Bitmap& bmp, Converter& conv) {
    conv.cache = std::make_unique<NearestColorCache>(bmp.table);
    const Masks m = SourceMasks(info);
    const int bits = info->bmiHeader.biBitCount;
    if (bits == 24) {
        conv.row = Row24;
        return;
    }
    if (bits == 32 && m.red == 0xFF0000 && m.green == 0x00FF00 && m.blue == 0x0000FF) {
        conv.row = Row32;
        return;
    }
    conv.red = MakeChannel(m.red);
    conv.green = MakeChannel(m.green);
    conv.blue = MakeChannel(m.blue);
    conv.row = bits == 16 ? RowMasks16 : RowMasks32;
}

void SetUpConverter(const BITMAPINFO* info, const gdi::Bitmap& bmp, Converter& conv) {
    conv.bits = info->bmiHeader.biBitCount;
    if (!IsPalettised(conv.bits)) {
        SetUpTrueColor(info, bmp, conv);
        return;
    }
    BuildIndexMap(info, bmp, conv);
    conv.row = conv.bits == 1 ? Row1 : conv.bits == 4 ? Row4 : Row8;
}

// ---------------------------------------------------------------------------------------
// Where the source lies and where its lines land.

// The source picture is aligned with the bitmap at its top-left corner; scan lines are
// counted from the bottom of the source, whichever way its rows are stored.
struct Source {
    const BYTE* data = nullptr;
    u64 size = 0;   // bytes that may be read
    u64 width = 0;  // pixels per source row
    u64 height = 0; // rows of the whole source picture
    u64 stride = 0; // bytes per stored row
    bool topDown = false;
};

// First scan line that lands inside the bitmap: a source taller than the bitmap loses its
// bottom lines.
u64 FirstVisibleLine(const Source& src, const gdi::Bitmap& bmp) {
    return src.height > (u64)bmp.height ? src.height - (u64)bmp.height : 0;
}

BYTE* TargetRow(const Source& src, const gdi::Bitmap& bmp, u64 line) {
    return bmp.Pixel(0, (int)(src.height - 1 - line));
}

// Whole pixels that stored row k holds, up to `cols`.
size_t PixelsHeld(const Source& src, u64 k, u64 cols, int bits) {
    if (k > src.size / src.stride)
        return 0;
    const u64 offset = k * src.stride;
    const u64 bytes = std::min(src.stride, src.size - offset);
    return (size_t)std::min(cols, bytes * 8 / (u64)bits);
}

int ConvertRows(const Source& src, u64 start, u64 lines, gdi::Bitmap& bmp, Converter& conv) {
    const u64 cols = std::min(src.width, (u64)bmp.width);
    const u64 first = std::max(start, FirstVisibleLine(src, bmp));
    const u64 end = std::min(start + lines, src.height);
    int converted = 0;
    for (u64 line = first; line < end; ++line) {
        const u64 k = src.topDown ? start + lines - 1 - line : line - start;
        const size_t pixels = PixelsHeld(src, k, cols, conv.bits);
        if (pixels == 0)
            continue;
        conv.row(src.data + k * src.stride, pixels, TargetRow(src, bmp, line), conv);
        ++converted;
    }
    return converted;
}

// ---------------------------------------------------------------------------------------
// Run-length encoded sources (always bottom-up, whole picture).

class RleDecoder {
public:
    RleDecoder(const Source& src, gdi::Bitmap& bmp, const BYTE* map, bool nibbles)
        : m_src(src), m_bmp(bmp), m_map(map), m_nibbles(nibbles),
          m_cols(std::min(src.width, (u64)bmp.width)), m_first(FirstVisibleLine(src, bmp)) {}

    void Run();

private:
    bool Next(BYTE& b) {
        if (m_pos >= m_src.size)
            return false;
        b = m_src.data[m_pos++];
        return true;
    }
    BYTE* Row() const {
        return m_line >= m_first && m_line < m_src.height ? TargetRow(m_src, m_bmp, m_line)
                                                          : nullptr;
    }
    BYTE Nibble(BYTE value, u64 i) const {
        return m_nibbles ? ((i & 1) ? value & 15 : value >> 4) : value;
    }
    void Encoded(unsigned count, BYTE value);
    bool Absolute(unsigned count);
    bool Delta();

    const Source& m_src;
    gdi::Bitmap& m_bmp;
    const BYTE* m_map;
    const bool m_nibbles;
    const u64 m_cols;
    const u64 m_first;
    u64 m_pos = 0;
    u64 m_x = 0;
    u64 m_line = 0;
};

void RleDecoder::Run() {
    BYTE count, value;
    while (m_line < m_src.height && Next(count) && Next(value)) {
        if (count != 0) {
            Encoded(count, value);
        } else if (value == 0) { // end of line
            m_x = 0;
            ++m_line;
        } else if (value == 1) { // end of bitmap
            return;
        } else if (!(value == 2 ? Delta() : Absolute(value))) {
            return;
        }
    }
}

void RleDecoder::Encoded(unsigned count, BYTE value) {
    if (BYTE* row = Row())
        for (u64 i = 0; i < count && m_x + i < m_cols; ++i)
            row[m_x + i] = m_map[Nibble(value, i)];
    m_x += count;
}

// Absolute run: `count` literal pixels, padded to a whole number of 16-bit words. Pixels
// that the buffer does not hold are left alone.
bool RleDecoder::Absolute(unsigned count) {
    const u64 bytes = m_nibbles ? (count + 1) / 2 : count;
    const u64 held = std::min(bytes, m_src.size - m_pos);
    const u64 pixels = std::min<u64>(count, m_nibbles ? held * 2 : held);
    if (BYTE* row = Row())
        for (u64 i = 0; i < pixels && m_x + i < m_cols; ++i)
            row[m_x + i] = m_map[Nibble(m_src.data[m_pos + i / (m_nibbles ? 2 : 1)], i)];
    m_x += count;
    const u64 padded = (bytes + 1) & ~u64{1};
    if (padded > m_src.size - m_pos)
        return false;
    m_pos += padded;
    return true;
}

bool RleDecoder::Delta() {
    BYTE dx, dy;
    if (!Next(dx) || !Next(dy))
        return false;
    m_x += dx;
    m_line += dy;
    return true;
}

// ---------------------------------------------------------------------------------------

bool IsRle(const BITMAPINFOHEADER& h) {
    return h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4;
}

// Describes the source; false when the buffer it claims cannot exist.
bool DescribeSource(const BITMAPINFOHEADER& h, const void* bits, UINT lines, Source& src) {
    src.data = static_cast<const BYTE*>(bits);
    src.width = (u64)h.biWidth;
    src.topDown = h.biHeight < 0;
    src.height = h.biHeight < 0 ? (u64)(-(std::int64_t)h.biHeight) : (u64)h.biHeight;
    src.stride = DibStride(src.width, h.biBitCount);
    if (h.biSizeImage != 0) {
        src.size = h.biSizeImage;
        return true;
    }
    if (IsRle(h))
        return false; // a compressed stream must say how long it is
    if (lines != 0 && src.stride > (u64)PTRDIFF_MAX / lines)
        return false;
    src.size = src.stride * lines;
    return true;
}

int DecodeRle(const Source& src, UINT lines, gdi::Bitmap& bmp, const Converter& conv,
              bool nibbles) {
    if (lines == 0)
        return 0;
    RleDecoder(src, bmp, conv.map, nibbles).Run();
    return (int)(src.height - FirstVisibleLine(src, bmp));
}

int Convert(gdi::Bitmap& bmp, UINT start, UINT lines, const void* bits, const BITMAPINFO* info) {
    const BITMAPINFOHEADER& h = info->bmiHeader;
    Source src;
    if (!DescribeSource(h, bits, lines, src))
        return 0;
    Converter conv;
    SetUpConverter(info, bmp, conv);
    if (IsRle(h))
        return DecodeRle(src, lines, bmp, conv, h.biCompression == BI_RLE4);
    return ConvertRows(src, start, lines, bmp, conv);
}

} // namespace

int SetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, const void* lpBits,
              const BITMAPINFO* lpbmi, UINT ColorUse) {
    if (hdc && !gdi::AsDC(hdc))
        return 0;
    gdi::Bitmap* bmp = gdi::AsBitmap(hbm);
    if (!bmp || bmp->stock || !bmp->bits || !lpBits || !lpbmi || ColorUse != DIB_RGB_COLORS)
        return 0;
    if (!IsConvertible(lpbmi->bmiHeader))
        return 0;
    try {
        return Convert(*bmp, start, cLines, lpBits, lpbmi);
    } catch (const std::bad_alloc&) {
        return 0; // the colour cache could not be had; the caller sees a failed conversion
    }
}
