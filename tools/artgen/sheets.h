// Whole sample sheets: the grid, the key colour and every cell's sprite, and the list of
// files the build places in the art folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace artgen {

enum class SheetKind { Attack, Effects };

// An 8-bit picture, top row first.
struct Canvas {
    Canvas(int w, int h, uint8_t fill) : width(w), height(h), pixels((size_t)w * h, fill) {}
    int width, height;
    std::vector<uint8_t> pixels;
    uint8_t At(int x, int y) const { return pixels[(size_t)y * width + x]; }
    void Set(int x, int y, uint8_t v) { pixels[(size_t)y * width + x] = v; }
};

struct SheetLayout {
    int cell;   // square cells of cell x cell pixels
    int frames; // cells to a row
    int rows;   // rows to a file
};

constexpr int kSheetFiles = 20;

struct SheetColours {
    uint8_t key;  // the top-left pixel and every pixel around the sprites
    uint8_t grid; // each cell's first column and first row
};

SheetLayout LayoutOf(SheetKind kind);

SheetColours ColoursOf(SheetKind kind, int file);

// File `file` (0..19) of a kind: rows file*10 .. file*10+9, key index at the top left.
Canvas MakeSheet(SheetKind kind, int file);

// "attack07.bmp", "effects12.bmp".
std::string SheetFileName(SheetKind kind, int file);

// The sheets that hold JPEG content under their .bmp name.
bool IsJpegSheet(SheetKind kind, int file);

// The file's bytes as the build writes them.
std::vector<uint8_t> EncodeSheet(SheetKind kind, int file);

// Writes all forty sheets into the folder, which must exist; returns an error text or "".
std::string WriteAllSheets(const std::string& folder);

} // namespace artgen
