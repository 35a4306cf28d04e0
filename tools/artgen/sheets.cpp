#include "sheets.h"

#include "attack_art.h"
#include "effects_art.h"
#include "image_writers.h"
#include "palette.h"

#include <cstdio>
#include <stdexcept>

namespace artgen {

namespace {

constexpr int kJpegQuality = 100;

void DrawGrid(Canvas& canvas, const SheetLayout& l, const SheetColours& colours) {
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x)
            if (x % l.cell == 0 || y % l.cell == 0)
                canvas.Set(x, y, colours.grid);
    canvas.Set(0, 0, colours.key);
}

void PlaceSprite(Canvas& canvas, const Sprite& sprite, int left, int top) {
    for (int y = 0; y < sprite.size; ++y)
        for (int x = 0; x < sprite.size; ++x)
            if (sprite.At(x, y) >= 0)
                canvas.Set(left + x, top + y, (uint8_t)sprite.At(x, y));
}

SheetGeometry GeometryOf(SheetKind kind) {
    return GetSheetGeometry(kind == SheetKind::Effects ? MODE_EFFECTS : MODE_ATTACK);
}

} // namespace

SheetLayout LayoutOf(SheetKind kind) {
    const SheetGeometry geometry = GeometryOf(kind);
    return {geometry.cellSize, geometry.framesPerRow, kRowsPerFile};
}

Canvas MakeSheet(SheetKind kind, int file) {
    const SheetLayout l = LayoutOf(kind);
    const SheetColours colours = ColoursOf(kind, file);
    Canvas canvas(l.frames * l.cell, l.rows * l.cell, colours.key);
    DrawGrid(canvas, l, colours);
    for (int r = 0; r < l.rows; ++r)
        for (int n = 0; n < l.frames; ++n) {
            Sprite sprite(l.cell - 1);
            int row = file * l.rows + r;
            if (kind == SheetKind::Attack)
                DrawAttackCell(sprite, row, n);
            else
                DrawEffectCell(sprite, row, n);
            PlaceSprite(canvas, sprite, n * l.cell + 1, r * l.cell + 1);
        }
    return canvas;
}

SheetColours ColoursOf(SheetKind kind, int file) {
    // A JPEG comes back dithered by the viewer: only a colour that the codec reproduces
    // exactly in flat areas keeps the background uniform, and a one-pixel grid line would
    // come back as a broken run of several colours, so those sheets have none.
    if (IsJpegSheet(kind, file))
        return {kJpegKeyIndex, kJpegKeyIndex};
    return {kKeyIndex, kGridIndex};
}

std::string SheetFileName(SheetKind kind, int file) {
    char name[32];
    snprintf(name, sizeof name, GeometryOf(kind).pattern, file);
    return name;
}

bool IsJpegSheet(SheetKind kind, int file) {
    return (kind == SheetKind::Attack && file == 3) || (kind == SheetKind::Effects && file == 2);
}

std::vector<uint8_t> EncodeSheet(SheetKind kind, int file) {
    Canvas canvas = MakeSheet(kind, file);
    if (IsJpegSheet(kind, file))
        return EncodeJpeg(canvas, SheetPalette(), kJpegQuality);
    return EncodeBmp(canvas, SheetPalette());
}

std::string WriteAllSheets(const std::string& folder) {
    for (SheetKind kind : {SheetKind::Attack, SheetKind::Effects})
        for (int file = 0; file < kSheetFiles; ++file) {
            std::string path = folder + "/" + SheetFileName(kind, file);
            std::vector<uint8_t> bytes;
            try {
                bytes = EncodeSheet(kind, file);
            } catch (const std::exception& e) {
                return path + ": " + e.what();
            }
            FILE* f = fopen(path.c_str(), "wb");
            if (!f)
                return path + ": cannot create";
            bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
            ok = fclose(f) == 0 && ok;
            if (!ok)
                return path + ": write failed";
        }
    return "";
}

} // namespace artgen
