// Writers for the two formats the viewer reads sheets in.
#pragma once

#include "palette.h"
#include "sheets.h"

#include <cstdint>
#include <vector>

namespace artgen {

// An 8-bit bottom-up BMP with a 40-byte info header and all 256 colours.
std::vector<uint8_t> EncodeBmp(const Canvas& canvas, const Palette& palette);

// A baseline JFIF JPEG of the picture in the palette's colours, chroma at full resolution so
// that one-pixel details keep their colour. Throws std::runtime_error if the codec fails.
std::vector<uint8_t> EncodeJpeg(const Canvas& canvas, const Palette& palette, int quality);

} // namespace artgen
