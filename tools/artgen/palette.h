// The sample art's palette and the colour ramps its sprites are shaded with.
#pragma once

#include <array>
#include <cstdint>

namespace artgen {

struct Rgb {
    uint8_t r, g, b;
};

using Palette = std::array<Rgb, 256>;

// The palette every BMP sheet carries. Its entries 10..245 are the display's colour cube and
// greys: the viewer shows sheet indices on its stage through the display's palette, so the
// sprites keep their colours there only if they use entries the two palettes share.
const Palette& SheetPalette();

// Index 0, black: the key colour at every sheet's top-left pixel.
constexpr uint8_t kKeyIndex = 0;
// Mid grey of the cube, drawn on each cell's first column and first row.
constexpr uint8_t kGridIndex = 10 + 36 * 2 + 6 * 2 + 2;
// Indigo of the cube: the background of the JPEG sheets, which decode into the display's
// entries 10..245 and so need a key colour the cube holds exactly. Sprites never use it.
constexpr uint8_t kJpegKeyIndex = 10 + 36 * 1 + 3;

// An entry of the 6 x 6 x 6 cube, each level 0..5 standing for 51 x level.
constexpr uint8_t Cube(int r, int g, int b) {
    return (uint8_t)(10 + 36 * r + 6 * g + b);
}
// One of the twenty greys after the cube.
constexpr uint8_t Grey(int k) {
    return (uint8_t)(226 + k);
}

// Five indices from dark to light: outline, shadow, base, light, highlight.
using Ramp = std::array<uint8_t, 5>;

enum RampId {
    kSteel,
    kDarkSteel,
    kWood,
    kDarkWood,
    kGold,
    kCopper,
    kRed,
    kGreen,
    kBlue,
    kPurple,
    kIce,
    kStone,
    kFire,
    kAcid,
    kEnergy,
    kPink,
    kBone,
    kGlass,
    kWhite,
    kOrange,
    kRampCount
};

const Ramp& GetRamp(int id);

int SquaredDistance(Rgb a, Rgb b);

} // namespace artgen
