// Animated GIFs of 8-bit pictures, kept lossless and small: a viewer composes colour for
// colour the frames given, each frame after the first holding only what changed.
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

constexpr int kMinGifScale = 1;
constexpr int kMaxGifScale = 8;

// A GIF of frames of width x height, every pixel drawn as scale x scale, each frame shown for
// delayHundredths, looping forever; one GIF frame per frame given. Nothing when the frames do
// not match the size, the scale is outside 1..8, or giflib fails.
std::optional<std::vector<uint8_t>> EncodeAnimatedGif(int width, int height,
                                                      const std::vector<GifFrame>& frames,
                                                      int delayHundredths, int scale = 1);
