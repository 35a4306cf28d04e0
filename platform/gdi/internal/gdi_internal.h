// The objects behind the graphics handles. Private to the platform's graphics floor.
#pragma once

#include "gdi.h"

#include <string>
#include <vector>

class QPainter;

namespace gdi {

enum class Kind { Bitmap, Palette, Font, DC };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    bool stock = false;
};

struct DeviceContext;

// An 8-bit DIB section (the only depth this platform creates) or the 1 x 1 stock bitmap.
struct Bitmap : Object {
    Bitmap() : Object(Kind::Bitmap) {}
    ~Bitmap() override;
    int width = 0;
    int height = 0; // always bottom-up
    int stride = 0;
    BYTE* bits = nullptr;
    RGBQUAD table[256] = {};
    DeviceContext* selectedIn = nullptr;

    // Byte of pixel (x, y), counted from the top-left corner.
    BYTE* Pixel(int x, int y) const { return bits + (size_t)stride * (height - 1 - y) + x; }
};

struct Palette : Object {
    Palette() : Object(Kind::Palette) {}
    std::vector<PALETTEENTRY> entries;
};

// A font as the calling code describes it; it is rasterised by the text renderer.
struct Font : Object {
    Font() : Object(Kind::Font) {}
    std::string face;
    int height = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

enum class DcKind { Memory, Display, Painter };

struct DeviceContext : Object {
    explicit DeviceContext(DcKind k) : Object(Kind::DC), dcKind(k) {}
    DcKind dcKind;
    Bitmap* bitmap = nullptr;   // selected bitmap (memory contexts)
    Palette* palette = nullptr; // selected palette
    Font* font = nullptr;       // selected font
    int stretchMode = 1;        // BLACKONWHITE
    COLORREF textColor = 0;
    int bkMode = 2; // OPAQUE
    COLORREF bkColor = 0xFFFFFF;
    QPainter* painter = nullptr; // painter contexts
};

// Registry of live objects: a handle is valid only while its object is registered. Register
// fails only when memory runs out; the object then has no handle and is the caller's to free.
bool Register(Object* obj) noexcept;
void Unregister(Object* obj);
Bitmap* AsBitmap(HGDIOBJ h);
Palette* AsPalette(HGDIOBJ h);
Font* AsFont(HGDIOBJ h);
DeviceContext* AsDC(HDC h);

Bitmap* StockBitmap();
Palette* DefaultPalette();
Palette* SystemPalette();
Font* SystemFont();

// The display's fixed 256-entry system palette.
const PALETTEENTRY* SystemPaletteEntries();

// Index of the table entry nearest to (r, g, b) by squared RGB distance; lowest index on a tie.
int NearestColorIndex(const RGBQUAD* table, int count, BYTE r, BYTE g, BYTE b);
int NearestPaletteIndex(const PALETTEENTRY* entries, int count, BYTE r, BYTE g, BYTE b);

} // namespace gdi
