// Cost of converting a large true-colour BMP into an 8-bit image on the system palette.
#include "dib.h"
#include "dibits.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

struct Picture {
    BITMAPINFOHEADER header = {};
    RGBQUAD colors[256] = {};
};

// A smooth gradient over the whole cube with a little noise on every channel: hundreds of
// thousands of distinct colours, as a scanned or rendered picture has.
std::vector<BYTE> GradientWithNoise(int side, int stride) {
    std::vector<BYTE> bits((size_t)stride * side);
    std::uint32_t seed = 12345;
    auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (int)(seed >> 24) % 17 - 8;
    };
    auto level = [](int v) { return (BYTE)std::clamp(v, 0, 255); };
    for (int y = 0; y < side; ++y) {
        BYTE* row = bits.data() + (size_t)y * stride;
        for (int x = 0; x < side; ++x) {
            row[3 * x + 0] = level((x + y) * 255 / (2 * side) + noise());
            row[3 * x + 1] = level(y * 255 / side + noise());
            row[3 * x + 2] = level(x * 255 / side + noise());
        }
    }
    return bits;
}

void ConvertSquare(benchmark::State& state, int side) {
    const int stride = (side * 3 + 3) & ~3;
    const std::vector<BYTE> bits = GradientWithNoise(side, stride);
    Picture info;
    info.header = {40, side, side, 1, 24, BI_RGB, (DWORD)bits.size(), 0, 0, 0, 0};
    CDIB dib;
    dib.Create(side, side, 0, nullptr);
    const auto* bmi = reinterpret_cast<const BITMAPINFO*>(&info);
    for (auto _ : state) {
        int lines = SetDIBits(dib.m_hDC, dib.m_hBitmap, 0, side, bits.data(), bmi, DIB_RGB_COLORS);
        benchmark::DoNotOptimize(lines);
        benchmark::DoNotOptimize(dib.m_pBits);
    }
    state.SetItemsProcessed(state.iterations() * (int64_t)side * side);
}

void BM_SetDIBits24(benchmark::State& state) {
    ConvertSquare(state, 4096);
}
BENCHMARK(BM_SetDIBits24)->Unit(benchmark::kMillisecond);

// A sprite-sized picture: the per-call set-up of the colour cache must stay small.
void BM_SetDIBits24Small(benchmark::State& state) {
    ConvertSquare(state, 48);
}
BENCHMARK(BM_SetDIBits24Small)->Unit(benchmark::kMicrosecond);

} // namespace
