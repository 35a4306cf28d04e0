// SetDIBits alone: an arbitrary info header, colour table or masks and pixel buffer converted
// into a small DIB section. The header is taken as it comes or nudged towards the layouts the
// converter accepts; the table holds exactly the entries the header announces and the pixel
// buffer exactly the bytes it is said to hold, so any read past either is a finding. The
// section's row padding must come out as it went in.
#include "dibits.h"
#include "fuzz_input.h"
#include "gdi.h"
#include "system_palette.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <vector>

namespace {

constexpr uint64_t kMaxRowBuffer = 4u << 20;

// A destination colour table: the display's system palette, or a pseudo-random one whose
// small seeds repeat colours often (which exercises the lowest-index tie rule).
void MakeTable(uint8_t seed, RGBQUAD* table) {
    if (seed == 0) {
        const PALETTEENTRY* entries = fixtures::SystemPalette().data();
        for (int i = 0; i < 256; ++i)
            table[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
        return;
    }
    uint32_t state = seed * 2654435761u;
    for (int i = 0; i < 256; ++i) {
        state = state * 1664525u + 1013904223u;
        if (seed < 16)
            table[i] = RGBQUAD{(BYTE)((state >> 8 & 3) * 85), (BYTE)((state >> 12 & 3) * 85),
                               (BYTE)((state >> 16 & 3) * 85), 0};
        else
            table[i] = RGBQUAD{(BYTE)(state >> 8), (BYTE)(state >> 16), (BYTE)(state >> 24), 0};
    }
}

// A heap block of exactly n bytes (at least one is allocated, so the address is never null),
// so that the address sanitizer sees the first byte past its end.
class Exact {
public:
    explicit Exact(size_t n) : m_data(static_cast<uint8_t*>(calloc(n ? n : 1, 1))), m_size(n) {}
    ~Exact() { free(m_data); }
    Exact(const Exact&) = delete;
    Exact& operator=(const Exact&) = delete;
    uint8_t* data() const { return m_data; }
    size_t size() const { return m_size; }

private:
    uint8_t* m_data;
    size_t m_size;
};

struct Section {
    HBITMAP handle = nullptr;
    BYTE* bits = nullptr;
    int width = 0, height = 0, stride = 0;
    ~Section() {
        if (handle)
            DeleteObject(handle);
    }
};

bool MakeSection(FuzzInput& in, Section& s) {
    std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
    s.width = 1 + in.Byte() % 48;
    s.height = 1 + in.Byte() % 48;
    info->bmiHeader =
        BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), s.width, s.height, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
    MakeTable(in.Byte(), info->bmiColors);
    void* bits = nullptr;
    s.handle = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!s.handle)
        return false;
    s.bits = static_cast<BYTE*>(bits);
    s.stride = (s.width + 3) & ~3;
    return true;
}

// Steers a raw header towards the layouts the converter takes, keeping the raw values of
// whatever the steering leaves alone.
void Steer(BITMAPINFOHEADER& h, uint8_t how) {
    static const WORD kDepths[] = {1, 4, 8, 16, 24, 32};
    if (how & 1)
        return;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biPlanes = 1;
    if (std::find(std::begin(kDepths), std::end(kDepths), h.biBitCount) == std::end(kDepths))
        h.biBitCount = kDepths[h.biBitCount % 6];
    h.biCompression %= 4;
    if (how & 2) {
        h.biWidth = h.biWidth % 80;
        h.biHeight = h.biHeight % 80;
    }
}

// Entries of the table that follows the header, as the header announces them.
size_t AnnouncedEntries(const BITMAPINFOHEADER& h) {
    if (h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8) {
        const DWORD depth = 1u << h.biBitCount;
        return h.biClrUsed != 0 && h.biClrUsed < depth ? h.biClrUsed : depth;
    }
    return h.biCompression == BI_BITFIELDS ? 3 : 0;
}

uint64_t RowsBytes(const BITMAPINFOHEADER& h, UINT lines) {
    const uint64_t width = h.biWidth < 0 ? 0 : (uint64_t)h.biWidth;
    const uint64_t stride = (width * h.biBitCount + 31) / 32 * 4;
    if (lines != 0 && stride > kMaxRowBuffer / lines)
        return kMaxRowBuffer + 1;
    return stride * lines;
}

void CheckSection(const Section& s, BYTE fill, int result) {
    if (result < 0 || result > s.height)
        abort();
    for (int y = 0; y < s.height; ++y)
        for (int x = s.width; x < s.stride; ++x)
            if (s.bits[(size_t)y * s.stride + x] != fill)
                abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    Section section;
    if (!MakeSection(in, section))
        return 0;
    const BYTE fill = in.Byte();
    std::fill(section.bits, section.bits + (size_t)section.stride * section.height, fill);

    const uint8_t how = in.Byte();
    std::vector<uint8_t> header;
    in.Bytes(header, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER h;
    memcpy(&h, header.data(), sizeof(h));
    Steer(h, how);
    const UINT start = (how & 4) ? (UINT)in.Int() : 0;
    const UINT lines =
        (how & 8) ? (UINT)in.Int() : (UINT)(h.biHeight < 0 ? -(int64_t)h.biHeight : h.biHeight);

    std::vector<uint8_t> table;
    in.Bytes(table, AnnouncedEntries(h) * sizeof(RGBQUAD));

    // The buffer holds biSizeImage bytes, or, with biSizeImage 0, every row asked for.
    const bool rowsOnly = (how & 16) || in.Left() == 0;
    const uint64_t bytes = rowsOnly ? RowsBytes(h, lines) : in.Left();
    if (bytes > kMaxRowBuffer)
        return 0;
    h.biSizeImage = rowsOnly ? 0 : (DWORD)bytes;
    Exact pixels((size_t)bytes);
    if (in.Left() != 0)
        memcpy(pixels.data(), in.Rest(), std::min<size_t>((size_t)bytes, in.Left()));

    Exact info(sizeof(BITMAPINFOHEADER) + table.size());
    memcpy(info.data(), &h, sizeof(h));
    if (!table.empty())
        memcpy(info.data() + sizeof(h), table.data(), table.size());

    const int result = SetDIBits(nullptr, section.handle, start, lines, pixels.data(),
                                 reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS);
    CheckSection(section, fill, result);
    return 0;
}
