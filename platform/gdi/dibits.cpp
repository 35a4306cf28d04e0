// SetDIBits: packed DIB pixels of any BMP layout into the 8-bit indices of a DIB section.
#include "dibits.h"

#include "bmp_layout.h"
#include "gdi_internal.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <tuple>
#include <vector>

namespace {

using u64 = std::uint64_t;

// ---------------------------------------------------------------------------------------
// Exact nearest-colour matching for true-colour sources.

struct PaletteEntry {
    int m_r, m_g, m_b;
    BYTE m_index;

    auto Rgb() const { return std::tie(m_r, m_g, m_b); }
};
using Candidates = std::vector<PaletteEntry>;

int AxisNearest(int c, int lo, int hi) {
    return c < lo ? lo - c : c > hi ? c - hi : 0;
}
int AxisFarthest(int c, int lo, int hi) {
    return std::max(c - lo, hi - c);
}

// The entries of `from` that may be nearest to some colour of the box of `size` levels a
// side from (r0, g0, b0): the nearest entry of any colour lies within the smallest
// farthest-distance, so an entry whose nearest point is farther than that can be dropped.
// Ties survive, and the list keeps its order.
void Prune(const Candidates& from, int r0, int g0, int b0, int size, Candidates& kept) {
    const int r1 = r0 + size - 1, g1 = g0 + size - 1, b1 = b0 + size - 1;
    int nearest[256];
    int bound = 1 << 30;
    for (size_t i = 0; i < from.size(); ++i) {
        const PaletteEntry& e = from[i];
        const int dr = AxisNearest(e.m_r, r0, r1), dg = AxisNearest(e.m_g, g0, g1),
                  db = AxisNearest(e.m_b, b0, b1);
        const int fr = AxisFarthest(e.m_r, r0, r1), fg = AxisFarthest(e.m_g, g0, g1),
                  fb = AxisFarthest(e.m_b, b0, b1);
        nearest[i] = dr * dr + dg * dg + db * db;
        bound = std::min(bound, fr * fr + fg * fg + fb * fb);
    }
    kept.clear();
    for (size_t i = 0; i < from.size(); ++i)
        if (nearest[i] <= bound)
            kept.push_back(from[i]);
}

// The number of the box of 2^shift levels a side that holds the colour.
unsigned BoxOf(int r, int g, int b, int shift) {
    const int bits = 8 - shift;
    return (unsigned)(r >> shift) << (2 * bits) | (unsigned)(g >> shift) << bits |
           (unsigned)(b >> shift);
}

// The RGB cube is cut into cells of 4 x 4 x 4 colours, and a cell is answered whole when a
// pixel first falls into it: no per-colour bookkeeping, and a cell's answers share a cache
// line. Its colours are searched among the few entries that can be nearest anywhere in it,
// pruned from the list of its coarse cell of 32 x 32 x 32 rather than from the whole table,
// which keeps a small picture, meeting a new cell at almost every pixel, cheap. Nothing is
// computed for cells the picture does not meet.
class NearestColorCache {
public:
    explicit NearestColorCache(const RGBQUAD* table);

    BYTE Map(BYTE r, BYTE g, BYTE b) {
        std::uint32_t base = m_cells[BoxOf(r, g, b, kCellShift)];
        if (base == 0)
            base = OpenCell(r, g, b);
        return m_answers[base + ((unsigned)(r & kInner) << (2 * kCellShift) |
                                 (unsigned)(g & kInner) << kCellShift | (unsigned)(b & kInner))];
    }

private:
    static constexpr int kCellShift = 2;
    static constexpr int kCellSide = 1 << kCellShift;
    static constexpr int kInner = kCellSide - 1;
    static constexpr int kCellColors = kCellSide * kCellSide * kCellSide;
    static constexpr int kCoarseShift = 5;

    std::uint32_t OpenCell(int r, int g, int b);
    const Candidates& CoarseCandidates(int r, int g, int b);

    Candidates m_distinct;              // the table without repeated colours, in index order
    std::vector<Candidates> m_coarse;   // per coarse cell; empty until a pixel falls into it
    Candidates m_cellCandidates;        // of the cell being opened
    std::vector<std::uint32_t> m_cells; // where a cell's answers start; 0 = not opened yet
    std::vector<BYTE> m_answers;        // one cell after another, after an unused first one
};

NearestColorCache::NearestColorCache(const RGBQUAD* table)
    : m_coarse(1u << (3 * (8 - kCoarseShift))), m_cells(1u << (3 * (8 - kCellShift))),
      m_answers(kCellColors) {
    for (int i = 0; i < 256; ++i)
        m_distinct.push_back(
            PaletteEntry{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, (BYTE)i});
    // A later entry with the colour of an earlier one can never win the lowest-index tie,
    // so leaving it out keeps candidate lists short when a table repeats a colour a lot.
    auto same = [](const PaletteEntry& a, const PaletteEntry& b) { return a.Rgb() == b.Rgb(); };
    std::ranges::stable_sort(m_distinct, {}, &PaletteEntry::Rgb);
    m_distinct.erase(std::unique(m_distinct.begin(), m_distinct.end(), same), m_distinct.end());
    std::ranges::sort(m_distinct, {}, &PaletteEntry::m_index);
}

const Candidates& NearestColorCache::CoarseCandidates(int r, int g, int b) {
    Candidates& coarse = m_coarse[BoxOf(r, g, b, kCoarseShift)];
    if (coarse.empty()) {
        const int corner = ~((1 << kCoarseShift) - 1);
        Prune(m_distinct, r & corner, g & corner, b & corner, 1 << kCoarseShift, coarse);
    }
    return coarse;
}

// Candidates come in index order and only a strictly smaller distance replaces an answer,
// so a tie keeps the lowest index. The loops are written per channel so that the compiler
// keeps each channel's square out of the inner loop.
std::uint32_t NearestColorCache::OpenCell(int r, int g, int b) {
    const int r0 = r & ~kInner, g0 = g & ~kInner, b0 = b & ~kInner;
    Prune(CoarseCandidates(r0, g0, b0), r0, g0, b0, kCellSide, m_cellCandidates);
    const std::uint32_t base = (std::uint32_t)m_answers.size();
    m_answers.resize(base + kCellColors);
    BYTE* answers = m_answers.data() + base;
    int best[kCellColors];
    std::fill(best, best + kCellColors, 1 << 30);
    for (const PaletteEntry e : m_cellCandidates) { // a copy: the stores below may alias it
        int i = 0;
        for (int cr = r0; cr < r0 + kCellSide; ++cr)
            for (int cg = g0; cg < g0 + kCellSide; ++cg)
                for (int cb = b0; cb < b0 + kCellSide; ++cb, ++i) {
                    const int d = (cr - e.m_r) * (cr - e.m_r) + (cg - e.m_g) * (cg - e.m_g) +
                                  (cb - e.m_b) * (cb - e.m_b);
                    if (d < best[i]) {
                        best[i] = d;
                        answers[i] = e.m_index;
                    }
                }
    }
    m_cells[BoxOf(r, g, b, kCellShift)] = base;
    return base;
}

// ---------------------------------------------------------------------------------------
// Colour channels of 16- and 32-bit pixels.

// An n-bit channel (n at most 8) widens to 8 bits by repeating its bit pattern from the top.
BYTE WidenChannel(unsigned v, int n) {
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
    DWORD m_mask = 0;
    int m_shift = 0;
    BYTE m_widen[256] = {};

    BYTE Of(DWORD pixel) const { return m_widen[(pixel & m_mask) >> m_shift]; }
};

Channel MakeChannel(DWORD mask) {
    Channel c;
    c.m_mask = mask;
    if (mask == 0)
        return c;
    const int low = std::countr_zero(mask);
    const int width = 32 - std::countl_zero(mask) - low;
    c.m_shift = width > 8 ? low + width - 8 : low;
    const int kept = std::min(width, 8);
    for (unsigned v = 0; v < (1u << kept); ++v)
        c.m_widen[v] = WidenChannel(v, kept);
    return c;
}

// ---------------------------------------------------------------------------------------
// Row converters: `count` pixels from `src` to indices at `dst`.

struct Converter;
using RowFn = void (*)(const BYTE* src, size_t count, BYTE* dst, Converter& conv);

struct Converter {
    int m_bits = 0;
    RowFn m_row = nullptr;
    BYTE m_map[256] = {};
    Channel m_red, m_green, m_blue;
    std::unique_ptr<NearestColorCache> m_cache;
};

// Palettised pixels of Bits bits, the leftmost in a byte's highest bits.
template <int Bits> void RowIndexed(const BYTE* src, size_t count, BYTE* dst, Converter& conv) {
    constexpr size_t perByte = 8 / Bits;
    for (size_t i = 0; i < count; ++i) {
        const int shift = 8 - Bits * (int)(i % perByte + 1);
        dst[i] = conv.m_map[src[i / perByte] >> shift & ((1 << Bits) - 1)];
    }
}

// True-colour pixels of N little-endian bytes whose channels the masks pick out.
template <int N> void RowMasks(const BYTE* src, size_t count, BYTE* dst, Converter& conv) {
    for (size_t i = 0; i < count; ++i, src += N) {
        DWORD p = 0;
        for (int b = 0; b < N; ++b)
            p |= (DWORD)src[b] << (8 * b);
        dst[i] = conv.m_cache->Map(conv.m_red.Of(p), conv.m_green.Of(p), conv.m_blue.Of(p));
    }
}

// True-colour pixels of N bytes that start blue, green, red.
template <int N> void RowBgr(const BYTE* src, size_t count, BYTE* dst, Converter& conv) {
    NearestColorCache& cache = *conv.m_cache;
    for (size_t i = 0; i < count; ++i, src += N)
        dst[i] = cache.Map(src[2], src[1], src[0]);
}

// ---------------------------------------------------------------------------------------
// Layout checks and converter set-up.

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
        conv.m_map[i] =
            gdi::SameRgb(c, bmp.m_table[i])
                ? (BYTE)i
                : (BYTE)gdi::NearestColorIndex(bmp.m_table, 256, c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
}

// Where the red, green and blue bits of a 16- or 32-bit pixel lie.
struct ColorMasks {
    DWORD red = 0;
    DWORD green = 0;
    DWORD blue = 0;

    bool operator==(const ColorMasks&) const = default;
};
constexpr ColorMasks kMasks555{0x7C00, 0x03E0, 0x001F};
constexpr ColorMasks kMasks888{0xFF0000, 0x00FF00, 0x0000FF};

// The masks that follow the header of a BI_BITFIELDS source, or the defaults of its depth.
ColorMasks SourceMasks(const BITMAPINFO* info) {
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biCompression != BI_BITFIELDS)
        return h.biBitCount == 16 ? kMasks555 : kMasks888;
    DWORD stored[3];
    memcpy(stored, reinterpret_cast<const BYTE*>(info) + sizeof(BITMAPINFOHEADER), sizeof stored);
    return ColorMasks{stored[0], stored[1], stored[2]};
}

// 24-bit pixels carry no masks (BI_BITFIELDS is 16 or 32 bits only): they are always blue,
// green, red bytes. 32-bit pixels whose masks are the default 8-8-8 ones are read as bytes
// too; 16-bit pixels and other masks go through the channels.
void SetUpTrueColor(const BITMAPINFO* info, const gdi::Bitmap& bmp, Converter& conv) {
    conv.m_cache = std::make_unique<NearestColorCache>(bmp.m_table);
    const int bits = info->bmiHeader.biBitCount;
    if (bits == 24) {
        conv.m_row = RowBgr<3>;
        return;
    }
    const ColorMasks masks = SourceMasks(info);
    if (bits == 32 && masks == kMasks888) {
        conv.m_row = RowBgr<4>;
        return;
    }
    conv.m_red = MakeChannel(masks.red);
    conv.m_green = MakeChannel(masks.green);
    conv.m_blue = MakeChannel(masks.blue);
    conv.m_row = bits == 16 ? RowMasks<2> : RowMasks<4>;
}

void SetUpConverter(const BITMAPINFO* info, const gdi::Bitmap& bmp, Converter& conv) {
    conv.m_bits = info->bmiHeader.biBitCount;
    if (conv.m_bits > 8) {
        SetUpTrueColor(info, bmp, conv);
        return;
    }
    BuildIndexMap(info, bmp, conv);
    conv.m_row = conv.m_bits == 1   ? RowIndexed<1>
                 : conv.m_bits == 4 ? RowIndexed<4>
                                    : RowIndexed<8>;
}

// ---------------------------------------------------------------------------------------
// Where the source lies and where its lines land.

// The source picture is aligned with the bitmap at its top-left corner; scan lines are
// counted from the bottom of the source, whichever way its rows are stored.
struct Source {
    const BYTE* m_data = nullptr;
    u64 m_size = 0;   // bytes that may be read
    u64 m_width = 0;  // pixels per source row
    u64 m_height = 0; // rows of the whole source picture
    u64 m_stride = 0; // bytes per stored row
    bool m_topDown = false;
};

// First scan line that lands inside the bitmap: a source taller than the bitmap loses its
// bottom lines.
u64 FirstVisibleLine(const Source& src, const gdi::Bitmap& bmp) {
    return src.m_height > (u64)bmp.m_height ? src.m_height - (u64)bmp.m_height : 0;
}

BYTE* TargetRow(const Source& src, const gdi::Bitmap& bmp, u64 line) {
    return bmp.Pixel(0, (int)(src.m_height - 1 - line));
}

// Whole pixels that stored row k holds, up to `cols`.
size_t PixelsHeld(const Source& src, u64 k, u64 cols, int bits) {
    if (k > src.m_size / src.m_stride)
        return 0;
    const u64 offset = k * src.m_stride;
    const u64 bytes = std::min(src.m_stride, src.m_size - offset);
    return (size_t)std::min(cols, bytes * 8 / (u64)bits);
}

int ConvertRows(const Source& src, u64 start, u64 lines, gdi::Bitmap& bmp, Converter& conv) {
    const u64 cols = std::min(src.m_width, (u64)bmp.m_width);
    const u64 first = std::max(start, FirstVisibleLine(src, bmp));
    const u64 end = std::min(start + lines, src.m_height);
    int converted = 0;
    for (u64 line = first; line < end; ++line) {
        const u64 k = src.m_topDown ? start + lines - 1 - line : line - start;
        const size_t pixels = PixelsHeld(src, k, cols, conv.m_bits);
        if (pixels == 0)
            continue;
        conv.m_row(src.m_data + k * src.m_stride, pixels, TargetRow(src, bmp, line), conv);
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
          m_cols(std::min(src.m_width, (u64)bmp.m_width)), m_first(FirstVisibleLine(src, bmp)) {}

    void Run();

private:
    bool Next(BYTE& b) {
        if (m_pos >= m_src.m_size)
            return false;
        b = m_src.m_data[m_pos++];
        return true;
    }
    BYTE* Row() const {
        return m_line >= m_first && m_line < m_src.m_height ? TargetRow(m_src, m_bmp, m_line)
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
    while (m_line < m_src.m_height && Next(count) && Next(value)) {
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
    const u64 held = std::min(bytes, m_src.m_size - m_pos);
    const u64 pixels = std::min<u64>(count, m_nibbles ? held * 2 : held);
    if (BYTE* row = Row())
        for (u64 i = 0; i < pixels && m_x + i < m_cols; ++i)
            row[m_x + i] = m_map[Nibble(m_src.m_data[m_pos + i / (m_nibbles ? 2 : 1)], i)];
    m_x += count;
    const u64 padded = (bytes + 1) & ~u64{1};
    if (padded > m_src.m_size - m_pos)
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

// Describes the source; false when the buffer it claims cannot exist.
bool DescribeSource(const BITMAPINFOHEADER& h, const void* bits, UINT lines, Source& src) {
    src.m_data = static_cast<const BYTE*>(bits);
    src.m_width = (u64)h.biWidth;
    src.m_topDown = h.biHeight < 0;
    src.m_height = h.biHeight < 0 ? (u64)(-(std::int64_t)h.biHeight) : (u64)h.biHeight;
    src.m_stride = DibStride(src.m_width, h.biBitCount);
    if (h.biSizeImage != 0) {
        src.m_size = h.biSizeImage;
        return true;
    }
    if (IsRunLengthCompression(h.biCompression))
        return false; // a compressed stream must say how long it is
    if (lines != 0 && src.m_stride > (u64)PTRDIFF_MAX / lines)
        return false;
    src.m_size = src.m_stride * lines;
    return true;
}

int DecodeRle(const Source& src, UINT lines, gdi::Bitmap& bmp, const Converter& conv,
              bool nibbles) {
    if (lines == 0)
        return 0;
    RleDecoder(src, bmp, conv.m_map, nibbles).Run();
    return (int)(src.m_height - FirstVisibleLine(src, bmp));
}

int Convert(gdi::Bitmap& bmp, UINT start, UINT lines, const void* bits, const BITMAPINFO* info) {
    const BITMAPINFOHEADER& h = info->bmiHeader;
    Source src;
    if (!DescribeSource(h, bits, lines, src))
        return 0;
    Converter conv;
    SetUpConverter(info, bmp, conv);
    if (IsRunLengthCompression(h.biCompression))
        return DecodeRle(src, lines, bmp, conv, h.biCompression == BI_RLE4);
    return ConvertRows(src, start, lines, bmp, conv);
}

} // namespace

int SetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, const void* lpBits,
              const BITMAPINFO* lpbmi, UINT ColorUse) {
    if (hdc && !gdi::As<gdi::DeviceContext>(hdc))
        return 0;
    gdi::Bitmap* bmp = gdi::As<gdi::Bitmap>(hbm);
    if (!bmp || bmp->m_stock || !bmp->m_bits || !lpBits || !lpbmi || ColorUse != DIB_RGB_COLORS)
        return 0;
    if (CheckBmpLayout(lpbmi->bmiHeader, BmpRows::EitherWay) != BmpFault::None)
        return 0;
    try {
        return Convert(*bmp, start, cLines, lpBits, lpbmi);
    } catch (const std::bad_alloc&) {
        return 0; // the colour cache could not be had; the caller sees a failed conversion
    }
}
