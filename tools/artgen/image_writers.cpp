#include "image_writers.h"

#include "bmp_writer.h"
#include "jpeg_writer.h"

#include <stdexcept>

namespace artgen {

std::vector<uint8_t> EncodeBmp(const Canvas& canvas, const Palette& palette) {
    BmpTable table;
    for (size_t i = 0; i < palette.size(); ++i)
        table[i] = BmpColour{palette[i].b, palette[i].g, palette[i].r, 0};
    return EncodeBmp8(canvas.width, canvas.height, canvas.pixels, table);
}

std::vector<uint8_t> EncodeJpeg(const Canvas& canvas, const Palette& palette, int quality) {
    std::vector<uint8_t> rgb((size_t)canvas.width * canvas.height * 3);
    for (size_t i = 0; i < canvas.pixels.size(); ++i) {
        Rgb c = palette[canvas.pixels[i]];
        rgb[3 * i] = c.r;
        rgb[3 * i + 1] = c.g;
        rgb[3 * i + 2] = c.b;
    }
    fixtures::JpegOptions options;
    options.quality = quality;
    options.fullChroma = true;
    std::vector<uint8_t> out = fixtures::EncodeJpeg(rgb, canvas.width, canvas.height, 3, options);
    if (out.empty())
        throw std::runtime_error("JPEG compression failed");
    return out;
}

} // namespace artgen
