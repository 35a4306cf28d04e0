#include "image_writers.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>

namespace artgen {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back((uint8_t)v);
    out.push_back((uint8_t)(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void JpegFail(j_common_ptr cinfo) {
    JpegError* err = reinterpret_cast<JpegError*>(cinfo->err);
    longjmp(err->jump, 1);
}

std::vector<uint8_t> RgbRows(const Canvas& canvas, const Palette& palette) {
    std::vector<uint8_t> rgb((size_t)canvas.width * canvas.height * 3);
    for (size_t i = 0; i < canvas.pixels.size(); ++i) {
        Rgb c = palette[canvas.pixels[i]];
        rgb[3 * i] = c.r;
        rgb[3 * i + 1] = c.g;
        rgb[3 * i + 2] = c.b;
    }
    return rgb;
}

// Only plain data lives in this frame, so the library's error jump skips no destructor.
bool Compress(const uint8_t* rgb, int width, int height, int quality, unsigned char** ppOut,
              unsigned long* pSize) {
    jpeg_compress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegFail;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, ppOut, pSize);
    cinfo.image_width = (JDIMENSION)width;
    cinfo.image_height = (JDIMENSION)height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    for (int c = 0; c < cinfo.num_components; ++c)
        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(rgb + (size_t)cinfo.next_scanline * width * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

std::vector<uint8_t> EncodeBmp(const Canvas& canvas, const Palette& palette) {
    const uint32_t stride = ((uint32_t)canvas.width + 3) & ~3u;
    const uint32_t imageBytes = stride * (uint32_t)canvas.height;
    const uint32_t offBits = 14 + 40 + 256 * 4;
    std::vector<uint8_t> out;
    out.reserve(offBits + imageBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, offBits + imageBytes);
    Put32(out, 0); // both reserved words
    Put32(out, offBits);
    Put32(out, 40);
    Put32(out, (uint32_t)canvas.width);
    Put32(out, (uint32_t)canvas.height); // positive: bottom-up
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, 0); // BI_RGB
    Put32(out, imageBytes);
    Put32(out, 2835); // 72 dpi
    Put32(out, 2835);
    Put32(out, 256);
    Put32(out, 0);
    for (const Rgb& c : palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = canvas.height - 1; y >= 0; --y) {
        const uint8_t* row = canvas.pixels.data() + (size_t)y * canvas.width;
        out.insert(out.end(), row, row + canvas.width);
        out.insert(out.end(), stride - (uint32_t)canvas.width, 0);
    }
    return out;
}

std::vector<uint8_t> EncodeJpeg(const Canvas& canvas, const Palette& palette, int quality) {
    std::vector<uint8_t> rgb = RgbRows(canvas, palette);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    bool ok = Compress(rgb.data(), canvas.width, canvas.height, quality, &mem, &size);
    std::vector<uint8_t> out;
    if (ok && mem)
        out.assign(mem, mem + size);
    free(mem);
    if (!ok || out.empty())
        throw std::runtime_error("JPEG compression failed");
    return out;
}

} // namespace artgen
