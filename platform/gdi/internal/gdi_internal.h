// The objects behind the graphics handles. Private to the platform's graphics floor.
#pragma once

#include "gdi.h"

#include <string>
#include <vector>

class QPainter;

namespace gdi {

enum class Kind { Bitmap, Palette, Font, DC };

struct Object {
    explicit Object(Kind k) : m_kind(k) {}
    virtual ~Object() = default;
    Kind m_kind;
    bool m_stock = false;
};

// The base of each kind of object, which fixes its kind tag.
template <Kind K> struct ObjectOf : Object {
    static constexpr Kind kKind = K;
    ObjectOf() : Object(K) {}
};

// An 8-bit DIB section (the only depth this platform creates) or the 1 x 1 stock bitmap.
struct Bitmap : ObjectOf<Kind::Bitmap> {
    ~Bitmap() override;
    int m_width = 0;
    int m_height = 0; // always bottom-up
    int m_stride = 0;
    BYTE* m_bits = nullptr;
    RGBQUAD m_table[256] = {};

    // Byte of pixel (x, y), counted from the top-left corner.
    BYTE* Pixel(int x, int y) const { return m_bits + (size_t)m_stride * (m_height - 1 - y) + x; }
};

struct Palette : ObjectOf<Kind::Palette> {
    explicit Palette(std::vector<PALETTEENTRY> entries) : m_entries(std::move(entries)) {}
    std::vector<PALETTEENTRY> m_entries;
};

// A font as the calling code describes it; it is rasterised by the text renderer.
struct Font : ObjectOf<Kind::Font> {
    std::string m_face;
    int m_height = 0;
    int m_weight = 400;
    bool m_italic = false;
    bool m_underline = false;
    bool m_strikeOut = false;
};

Bitmap* StockBitmap();
Palette* DefaultPalette();
Palette* SystemPalette();
Font* SystemFont();

// What a device context draws on. A memory context draws on the bitmap selected into it, which
// it always has (the stock 1 x 1 bitmap at first); a painter context draws on a window through
// the painter of its WM_PAINT; the display's context draws nothing and only answers questions
// about the display (its palette, its system colours).
enum class DCKind { Memory, Painter, Display };

struct DeviceContext : ObjectOf<Kind::DC> {
    static DeviceContext* NewMemory() noexcept;
    static DeviceContext* NewPainter(QPainter* painter) noexcept;
    static DeviceContext* NewDisplay() noexcept;

    // The selected bitmap of a memory context; null for the other kinds.
    Bitmap* MemoryBitmap() const { return m_dcKind == DCKind::Memory ? m_bitmap : nullptr; }
    // The painter of a painter context; null for the other kinds.
    QPainter* Painter() const { return m_dcKind == DCKind::Painter ? m_painter : nullptr; }

    const DCKind m_dcKind;
    Bitmap* m_bitmap = nullptr;    // memory contexts only
    QPainter* m_painter = nullptr; // painter contexts only
    Font* m_font = SystemFont();   // selected font
    int m_stretchMode = 1;         // BLACKONWHITE
    COLORREF m_textColor = 0;
    int m_bkMode = 2; // OPAQUE
    COLORREF m_bkColor = 0xFFFFFF;

private:
    explicit DeviceContext(DCKind kind) : m_dcKind(kind) {}
};

// Registry of live objects: a handle is valid only while its object is registered. Register
// fails only when memory runs out; the object then has no handle and is the caller's to free.
bool Register(Object* obj) noexcept;
// The handle of a newly made object once it is registered; null, with the object freed, when
// it cannot be or when there was no memory to make it.
template <typename Handle, typename T> Handle HandleOfNew(T* obj) {
    if (!obj || !Register(obj)) {
        delete obj;
        return nullptr;
    }
    return reinterpret_cast<Handle>(static_cast<Object*>(obj));
}
// The registered object behind a handle; null for a handle that names none.
Object* LiveObject(const void* h);
// The object of type T behind a handle; null when it names none or one of another kind.
template <typename T> T* As(const void* h) {
    Object* obj = LiveObject(h);
    return obj && obj->m_kind == T::kKind ? static_cast<T*>(obj) : nullptr;
}

// Whether two table entries hold the same colour; the fourth byte is not part of it.
inline bool SameRgb(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

// Index of the table entry nearest to (r, g, b) by squared RGB distance; lowest index on a tie.
int NearestColorIndex(const RGBQUAD* table, int count, BYTE r, BYTE g, BYTE b);
// The same rule over a logical palette's entries.
int NearestPaletteIndex(const std::vector<PALETTEENTRY>& entries, BYTE r, BYTE g, BYTE b);
// The bitmap's table index nearest to the red, green and blue of a plain or PALETTERGB colour,
// the kinds of colour the calling code draws with.
inline BYTE MatchColor(const Bitmap& bmp, COLORREF color) {
    return (BYTE)NearestColorIndex(bmp.m_table, 256, GetRValue(color), GetGValue(color),
                                   GetBValue(color));
}

} // namespace gdi
