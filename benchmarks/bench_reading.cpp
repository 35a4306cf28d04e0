// Costs of loading a sheet: an 8-bit BMP, a colour JFIF, and the libjpeg floor that the JPEG
// reader cannot beat (the same bytes decoded from memory, same parameters, rows discarded).
#include "bmp_writer.h"
#include "dib.h"
#include "file_bytes.h"
#include "jpeg_writer.h"
#include "system_palette.h"

#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kWidth = 384, kHeight = 480, kCell = 48;

// Sprite-like RGB: a key-colour background with shaded round sprites in 48-pixel cells.
std::vector<BYTE> SheetRgb() {
    std::vector<BYTE> rgb((size_t)kWidth * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            BYTE* p = &rgb[((size_t)y * kWidth + x) * 3];
            int cx = x % kCell - kCell / 2, cy = y % kCell - kCell / 2;
            int frame = x / kCell + 8 * (y / kCell);
            bool inside = cx * cx + cy * cy < (kCell / 3) * (kCell / 3);
            p[0] = inside ? (BYTE)(120 + 2 * cy + frame) : 255;
            p[1] = inside ? (BYTE)(60 + 3 * cx + 2 * frame) : 0;
            p[2] = inside ? (BYTE)(40 + frame * 2) : 255;
        }
    return rgb;
}

// An 8-bit BMP of the same picture, each colour matched to the system palette.
std::vector<BYTE> EncodeBmp(const std::vector<BYTE>& rgb) {
    return EncodeBmp8(
        kWidth, kHeight,
        [&](int x, int y) {
            const BYTE* p = &rgb[((size_t)y * kWidth + x) * 3];
            return (uint8_t)fixtures::NearestIndex(fixtures::SystemPalette().data(), 256, p[0],
                                                   p[1], p[2]);
        },
        fixtures::SystemBmpTable());
}

// The sheets live in files for the whole run, removed at exit.
struct SheetFiles {
    SheetFiles() {
        char templ[] = "/tmp/kyr-bench-XXXXXX";
        folder = mkdtemp(templ) ? templ : "/tmp";
        std::vector<BYTE> rgb = SheetRgb();
        jpeg = fixtures::EncodeJpeg(rgb, kWidth, kHeight, 3);
        bmpPath = Write("attack00.bmp", EncodeBmp(rgb));
        jpegPath = Write("attack01.bmp", jpeg);
    }
    ~SheetFiles() {
        unlink(bmpPath.c_str());
        unlink(jpegPath.c_str());
        rmdir(folder.c_str());
    }
    std::string Write(const char* name, const std::vector<BYTE>& bytes) {
        std::string path = folder + "/" + name;
        fixtures::WriteFileBytes(path.c_str(), bytes);
        return path;
    }
    std::string folder, bmpPath, jpegPath;
    std::vector<BYTE> jpeg;
};

const SheetFiles& Files() {
    static SheetFiles files;
    return files;
}

void BM_LoadBmpSheet(benchmark::State& state) {
    CDIB dib;
    for (auto _ : state) {
        if (!dib.Load(Files().bmpPath.c_str(), nullptr))
            state.SkipWithError("the BMP sheet did not load");
        benchmark::DoNotOptimize(dib.m_pBits);
    }
}
BENCHMARK(BM_LoadBmpSheet);

void BM_LoadJpegSheet(benchmark::State& state) {
    CDIB dib;
    for (auto _ : state) {
        if (!dib.Load(Files().jpegPath.c_str(), nullptr))
            state.SkipWithError("the JPEG sheet did not load");
        benchmark::DoNotOptimize(dib.m_pBits);
    }
}
BENCHMARK(BM_LoadJpegSheet);

struct FloorError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void FloorErrorExit(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<FloorError*>(cinfo->err)->jump, 1);
}

// One decode with the reader's parameters and colour map; false when libjpeg gave up.
bool DecodeFloor(const std::vector<BYTE>& jpeg, JSAMPARRAY colormap, JSAMPLE* row) {
    FloorError err;
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = FloorErrorExit;
    jpeg_create_decompress(&cinfo);
    bool ok = false;
    if (setjmp(err.jump) == 0) {
        jpeg_mem_src(&cinfo, jpeg.data(), (unsigned long)jpeg.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.quantize_colors = TRUE;
        cinfo.colormap = colormap;
        cinfo.actual_number_of_colors = 236;
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height) {
            jpeg_read_scanlines(&cinfo, &row, 1);
            benchmark::DoNotOptimize(row[0]);
        }
        jpeg_finish_decompress(&cinfo);
        ok = true;
    }
    jpeg_destroy_decompress(&cinfo);
    return ok;
}

void BM_JpegFloor(benchmark::State& state) {
    const std::vector<BYTE>& jpeg = Files().jpeg;
    JSAMPLE map[3][236];
    for (int i = 0; i < 236; ++i) {
        const PALETTEENTRY& e = fixtures::SystemPalette().data()[i + 10];
        map[0][i] = e.peRed;
        map[1][i] = e.peGreen;
        map[2][i] = e.peBlue;
    }
    JSAMPROW rows[3] = {map[0], map[1], map[2]};
    std::vector<JSAMPLE> row(kWidth);
    for (auto _ : state) {
        if (!DecodeFloor(jpeg, rows, row.data()))
            state.SkipWithError("libjpeg refused the sheet");
    }
}
BENCHMARK(BM_JpegFloor);

} // namespace
