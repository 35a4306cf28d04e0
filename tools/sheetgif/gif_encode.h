// Animated GIFs of 8-bit pictures, kept lossless: every frame's own indices and colour table.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

struct GifColour {
    uint8_t red, green, blue;
    bool operator==(const GifColour&) const = default;
};
using GifColourTable = std::array<GifColour, 256>;

struct GifFrame {
    std::vector<uint8_t> pixels; // width x height indices, top row first
    GifColourTable colours;
};

// A GIF of frames of width x height, each shown for delayHundredths, looping forever. The
// first frame's table is the global one; a frame whose table differs carries its own.
// Nothing when the frames do not match the size or giflib fails.
std::optional<std::vector<uint8_t>>
EncodeAnimatedGif(int width, int height, const std::vector<GifFrame>& frames, int delayHundredths);
