// Memory side of the graphics floor: object registry, DIB sections, memory and display
// device contexts, palettes and the display's fixed system palette.
#include "gdi_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>
#include <unordered_set>
#include <utility>

namespace gdi {

namespace {

std::unordered_set<const Object*>& Live() {
    static std::unordered_set<const Object*> live;
    return live;
}

DWORD g_dibSectionCalls = 0;

PALETTEENTRY MakeEntry(int r, int g, int b) {
    return PALETTEENTRY{(BYTE)r, (BYTE)g, (BYTE)b, 0};
}

// The display's fixed palette: twenty static colours around a colour cube and a grey ramp.
std::vector<PALETTEENTRY> SystemPaletteEntries() {
    std::vector<PALETTEENTRY> entries(256);
    static const BYTE low[10][3] = {{0, 0, 0},       {128, 0, 0},    {0, 128, 0},   {128, 128, 0},
                                    {0, 0, 128},     {128, 0, 128},  {0, 128, 128}, {192, 192, 192},
                                    {192, 220, 192}, {166, 202, 240}};
    static const BYTE high[10][3] = {
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};
    for (int i = 0; i < 10; ++i) {
        entries[i] = MakeEntry(low[i][0], low[i][1], low[i][2]);
        entries[246 + i] = MakeEntry(high[i][0], high[i][1], high[i][2]);
    }
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                entries[10 + 36 * r + 6 * g + b] = MakeEntry(51 * r, 51 * g, 51 * b);
    for (int k = 0; k < 20; ++k) {
        int level = (255 * (k + 1) * 2 + 21) / 42; // round(255 (k + 1) / 21)
        entries[226 + k] = MakeEntry(level, level, level);
    }
    return entries;
}

template <typename T, typename... Args> T* MakeStock(Args&&... args) {
    T* obj = new T(std::forward<Args>(args)...);
    obj->m_stock = true;
    Register(obj);
    return obj;
}

} // namespace

Bitmap::~Bitmap() {
    free(m_bits);
}

bool Register(Object* obj) noexcept {
    try {
        Live().insert(obj);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

Object* LiveObject(const void* h) {
    auto* obj = static_cast<Object*>(const_cast<void*>(h));
    return obj && Live().count(obj) ? obj : nullptr;
}

Bitmap* StockBitmap() {
    static Bitmap* stock = [] {
        Bitmap* b = MakeStock<Bitmap>();
        b->m_width = b->m_height = 1;
        b->m_stride = 4;
        b->m_bits = static_cast<BYTE*>(calloc(4, 1));
        b->m_table[1] = RGBQUAD{255, 255, 255, 0};
        return b;
    }();
    return stock;
}

Palette* DefaultPalette() {
    // The twenty static colours: the first and last ten entries of the system palette.
    static Palette* stock = [] {
        std::vector<PALETTEENTRY> entries = SystemPaletteEntries();
        entries.erase(entries.begin() + 10, entries.end() - 10);
        return MakeStock<Palette>(std::move(entries));
    }();
    return stock;
}

Palette* SystemPalette() {
    static Palette* stock = MakeStock<Palette>(SystemPaletteEntries());
    return stock;
}

Font* SystemFont() {
    static Font* stock = [] {
        Font* f = MakeStock<Font>();
        f->m_face = "Sans Serif";
        f->m_height = 16;
        f->m_weight = 700;
        return f;
    }();
    return stock;
}

namespace {

// The search for the entry nearest to one colour, shared by colour tables and palettes: entries
// are offered in index order, and the first of the closest wins, so the lowest index wins a
// tie. An exact match cannot be beaten, so it ends the search.
class NearestColorSearch {
public:
    NearestColorSearch(BYTE r, BYTE g, BYTE b) : m_r(r), m_g(g), m_b(b) {}

    // Offers entry `index` of colour (er, eg, eb); true once the search is over.
    bool Offer(int index, int er, int eg, int eb) {
        const int d = (er - m_r) * (er - m_r) + (eg - m_g) * (eg - m_g) + (eb - m_b) * (eb - m_b);
        if (d < m_bestDistance) {
            m_bestDistance = d;
            m_best = index;
        }
        return m_bestDistance == 0;
    }

    // The index of the nearest entry offered; 0 when none was.
    int Best() const { return m_best; }

private:
    int m_r, m_g, m_b;
    int m_best = 0;
    int m_bestDistance = 1 << 30; // above any squared distance of 8-bit channels
};

} // namespace

int NearestColorIndex(const RGBQUAD* table, int count, BYTE r, BYTE g, BYTE b) {
    NearestColorSearch search(r, g, b);
    for (int i = 0; i < count; ++i)
        if (search.Offer(i, table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue))
            break;
    return search.Best();
}

int NearestPaletteIndex(const std::vector<PALETTEENTRY>& entries, BYTE r, BYTE g, BYTE b) {
    NearestColorSearch search(r, g, b);
    for (size_t i = 0; i < entries.size(); ++i)
        if (search.Offer((int)i, entries[i].peRed, entries[i].peGreen, entries[i].peBlue))
            break;
    return search.Best();
}

} // namespace gdi

using namespace gdi;

DWORD AfxGdiLiveObjectCount() {
    // Stock objects are created once and never deleted; leave them out of the count.
    return (DWORD)std::ranges::count_if(Live(), [](const Object* obj) { return !obj->m_stock; });
}

DWORD AfxGdiDibSectionCalls() {
    return g_dibSectionCalls;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE hSection,
                         DWORD) {
    ++g_dibSectionCalls;
    if (ppvBits)
        *ppvBits = nullptr;
    if (!pbmi || usage != DIB_RGB_COLORS || hSection)
        return nullptr;
    const BITMAPINFOHEADER& h = pbmi->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biBitCount != 8 ||
        h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight <= 0)
        return nullptr;
    unsigned long long stride = DibStride((unsigned long long)h.biWidth);
    unsigned long long bytes = stride * (unsigned long long)h.biHeight;
    if (bytes > kMaxDibSectionBytes)
        return nullptr;

    Bitmap* bmp = new (std::nothrow) Bitmap;
    if (!bmp)
        return nullptr;
    bmp->m_bits = static_cast<BYTE*>(calloc((size_t)bytes, 1));
    if (!bmp->m_bits) {
        delete bmp;
        return nullptr;
    }
    bmp->m_width = h.biWidth;
    bmp->m_height = h.biHeight;
    bmp->m_stride = (int)stride;
    DWORD colors = h.biClrUsed == 0 || h.biClrUsed > 256 ? 256 : h.biClrUsed;
    memcpy(bmp->m_table, pbmi->bmiColors, colors * sizeof(RGBQUAD));
    HBITMAP hBitmap = HandleOfNew<HBITMAP>(bmp);
    if (hBitmap && ppvBits)
        *ppvBits = bmp->m_bits;
    return hBitmap;
}

DeviceContext* DeviceContext::NewMemory() noexcept {
    DeviceContext* dc = new (std::nothrow) DeviceContext(DCKind::Memory);
    if (dc)
        dc->m_bitmap = StockBitmap();
    return dc;
}

DeviceContext* DeviceContext::NewPainter(QPainter* painter) noexcept {
    DeviceContext* dc = new (std::nothrow) DeviceContext(DCKind::Painter);
    if (dc)
        dc->m_painter = painter;
    return dc;
}

DeviceContext* DeviceContext::NewDisplay() noexcept {
    return new (std::nothrow) DeviceContext(DCKind::Display);
}

HDC CreateCompatibleDC(HDC) {
    return HandleOfNew<HDC>(DeviceContext::NewMemory());
}

HDC CreateDC(LPCSTR pwszDriver, LPCSTR, LPCSTR, const void*) {
    if (!pwszDriver || strcasecmp(pwszDriver, "DISPLAY") != 0)
        return nullptr;
    return HandleOfNew<HDC>(DeviceContext::NewDisplay());
}

BOOL DeleteDC(HDC hdc) {
    DeviceContext* dc = As<DeviceContext>(hdc);
    if (!dc)
        return FALSE;
    Live().erase(dc);
    delete dc;
    return TRUE;
}

// Whether a context other than `except` has the object selected.
static bool IsSelectedAnywhere(const Object* obj, const DeviceContext* except) {
    return std::ranges::any_of(Live(), [&](const Object* o) {
        auto* dc = o->m_kind == Kind::DC ? static_cast<const DeviceContext*>(o) : nullptr;
        return dc && dc != except && (dc->m_bitmap == obj || dc->m_font == obj);
    });
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    DeviceContext* dc = As<DeviceContext>(hdc);
    if (!dc)
        return nullptr;
    if (Bitmap* bmp = As<Bitmap>(h)) {
        if (dc->m_dcKind != DCKind::Memory)
            return nullptr; // only a memory context holds a bitmap
        if (!bmp->m_stock && IsSelectedAnywhere(bmp, dc))
            return nullptr; // a bitmap lives in one context at a time
        return static_cast<Object*>(std::exchange(dc->m_bitmap, bmp));
    }
    if (Font* font = As<Font>(h))
        return static_cast<Object*>(std::exchange(dc->m_font, font));
    return nullptr;
}

BOOL DeleteObject(HGDIOBJ ho) {
    Object* obj = LiveObject(ho);
    if (!obj || obj->m_kind == Kind::DC)
        return FALSE;
    if (obj->m_stock)
        return TRUE;
    if (IsSelectedAnywhere(obj, nullptr))
        return FALSE;
    Live().erase(obj);
    delete obj;
    return TRUE;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    DeviceContext* dc = As<DeviceContext>(hdc);
    if (!dc)
        return nullptr;
    switch (type) {
    case OBJ_BITMAP:
        return static_cast<Object*>(dc->m_bitmap);
    case OBJ_PAL:
        // Palettes are not selected here: each kind of context keeps its stock one.
        return static_cast<Object*>(dc->m_dcKind == DCKind::Painter ? SystemPalette()
                                                                    : DefaultPalette());
    case OBJ_FONT:
        return static_cast<Object*>(dc->m_font);
    default:
        return nullptr;
    }
}

int GetObject(HANDLE h, int c, LPVOID pv) {
    if (Palette* pal = As<Palette>(h)) {
        if (!pv)
            return (int)sizeof(WORD);
        if (c < (int)sizeof(WORD))
            return 0;
        WORD count = (WORD)(pal->m_entries.size() > 0xFFFF ? 0xFFFF : pal->m_entries.size());
        memcpy(pv, &count, sizeof(count));
        return (int)sizeof(WORD);
    }
    return 0;
}

UINT SetDIBColorTable(HDC hdc, UINT iStart, UINT cEntries, const RGBQUAD* prgbq) {
    DeviceContext* dc = As<DeviceContext>(hdc);
    if (!dc || !dc->MemoryBitmap() || dc->m_bitmap->m_stock || !prgbq || iStart >= 256)
        return 0;
    UINT n = cEntries < 256 - iStart ? cEntries : 256 - iStart;
    memcpy(dc->m_bitmap->m_table + iStart, prgbq, n * sizeof(RGBQUAD));
    return n;
}

// Entries from iStart on, at most cEntries of them; a null destination asks for the count.
static UINT CopyEntries(const Palette& pal, UINT iStart, UINT cEntries, LPPALETTEENTRY out) {
    UINT size = (UINT)pal.m_entries.size();
    if (!out)
        return size;
    if (iStart >= size)
        return 0;
    UINT n = cEntries < size - iStart ? cEntries : size - iStart;
    memcpy(out, pal.m_entries.data() + iStart, n * sizeof(PALETTEENTRY));
    return n;
}

UINT GetSystemPaletteEntries(HDC hdc, UINT iStart, UINT cEntries, LPPALETTEENTRY pPalEntries) {
    return As<DeviceContext>(hdc) ? CopyEntries(*SystemPalette(), iStart, cEntries, pPalEntries)
                                  : 0;
}

HPALETTE CreatePalette(const LOGPALETTE* plpal) {
    if (!plpal || plpal->palVersion != 0x300 || plpal->palNumEntries == 0)
        return nullptr;
    const PALETTEENTRY* entries = plpal->palPalEntry;
    try {
        return HandleOfNew<HPALETTE>(
            new Palette(std::vector<PALETTEENTRY>(entries, entries + plpal->palNumEntries)));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

UINT GetPaletteEntries(HPALETTE hpal, UINT iStart, UINT cEntries, LPPALETTEENTRY pPalEntries) {
    Palette* pal = As<Palette>(hpal);
    return pal ? CopyEntries(*pal, iStart, cEntries, pPalEntries) : 0;
}

UINT GetNearestPaletteIndex(HPALETTE h, COLORREF color) {
    Palette* pal = As<Palette>(h);
    if (!pal || pal->m_entries.empty())
        return 0xFFFFFFFF; // CLR_INVALID
    return (UINT)NearestPaletteIndex(pal->m_entries, GetRValue(color), GetGValue(color),
                                     GetBValue(color));
}
