#include "palette.h"

#include "system_palette.h"

namespace artgen {

namespace {

// The display's own palette: the stage shows sheet indices through it.
Palette BuildPalette() {
    Palette p{};
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& e = fixtures::SystemPalette()[i];
        p[i] = Rgb{e.peRed, e.peGreen, e.peBlue};
    }
    return p;
}

// Darkest colours stay well away from black, which is the key colour on the stage.
const Ramp kRamps[kRampCount] = {
    {Cube(1, 1, 2), Grey(7), Grey(11), Grey(15), Cube(5, 5, 5)},                 // steel
    {Cube(1, 0, 1), Cube(1, 1, 2), Cube(2, 2, 3), Cube(3, 3, 4), Cube(4, 4, 5)}, // dark steel
    {Cube(1, 0, 0), Cube(2, 1, 0), Cube(3, 2, 1), Cube(4, 3, 1), Cube(4, 3, 2)}, // wood
    {Cube(1, 0, 0), Cube(2, 0, 0), Cube(2, 1, 0), Cube(3, 1, 0), Cube(3, 2, 1)}, // dark wood
    {Cube(2, 1, 0), Cube(3, 2, 0), Cube(4, 3, 0), Cube(5, 4, 0), Cube(5, 5, 3)}, // gold
    {Cube(2, 0, 0), Cube(3, 1, 0), Cube(4, 2, 1), Cube(5, 3, 1), Cube(5, 4, 3)}, // copper
    {Cube(1, 0, 0), Cube(3, 0, 0), Cube(4, 0, 0), Cube(5, 1, 1), Cube(5, 3, 3)}, // red
    {Cube(0, 1, 0), Cube(0, 2, 0), Cube(1, 3, 0), Cube(2, 4, 1), Cube(4, 5, 3)}, // green
    {Cube(0, 0, 2), Cube(0, 1, 3), Cube(0, 2, 4), Cube(1, 3, 5), Cube(3, 4, 5)}, // blue
    {Cube(1, 0, 1), Cube(2, 0, 2), Cube(3, 1, 3), Cube(4, 2, 4), Cube(5, 4, 5)}, // purple
    {Cube(0, 1, 2), Cube(1, 3, 4), Cube(2, 4, 5), Cube(4, 5, 5), Cube(5, 5, 5)}, // ice
    {Cube(1, 1, 1), Grey(6), Grey(8), Cube(3, 3, 2), Grey(14)},                  // stone
    {Cube(3, 0, 0), Cube(5, 1, 0), Cube(5, 3, 0), Cube(5, 4, 1), Cube(5, 5, 4)}, // fire
    {Cube(0, 2, 0), Cube(1, 3, 0), Cube(2, 4, 0), Cube(3, 5, 1), Cube(5, 5, 3)}, // acid
    {Cube(0, 1, 2), Cube(0, 3, 3), Cube(0, 4, 4), Cube(2, 5, 5), Cube(5, 5, 5)}, // energy
    {Cube(2, 0, 1), Cube(4, 0, 2), Cube(5, 1, 3), Cube(5, 3, 4), Cube(5, 4, 5)}, // pink
    {Cube(2, 2, 1), Cube(3, 3, 2), Cube(4, 4, 3), Cube(5, 5, 4), Cube(5, 5, 5)}, // bone
    {Cube(0, 2, 2), Cube(1, 3, 3), Cube(2, 4, 4), Cube(3, 5, 5), Cube(5, 5, 5)}, // glass
    {Grey(5), Grey(10), Grey(14), Grey(17), Cube(5, 5, 5)},                      // white
    {Cube(2, 1, 0), Cube(4, 1, 0), Cube(5, 2, 0), Cube(5, 3, 1), Cube(5, 5, 3)}, // orange
};

} // namespace

const Palette& SheetPalette() {
    static const Palette palette = BuildPalette();
    return palette;
}

const Ramp& GetRamp(int id) {
    return kRamps[(id % kRampCount + kRampCount) % kRampCount];
}

int SquaredDistance(Rgb a, Rgb b) {
    int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return dr * dr + dg * dg + db * db;
}

} // namespace artgen
