// Costs of the sprite compositor as one paint of the viewer uses it.
#include "dib.h"
#include "sheet.h"

#include <benchmark/benchmark.h>

namespace {

// A sheet with sprite-like content: the key colour around a blob of other indices.
void MakeSheet(CDIB& sheet, int nMode) {
    SheetGeometry g = GetSheetGeometry(nMode);
    sheet.Create(g.framesPerRow * g.cellSize, 10 * g.cellSize, 0, nullptr);
    for (int y = 0; y < sheet.GetHeight(); ++y)
        for (int x = 0; x < sheet.GetWidth(); ++x) {
            int cx = x % g.cellSize - g.cellSize / 2, cy = y % g.cellSize - g.cellSize / 2;
            bool inside = cx * cx + cy * cy < g.cellSize * g.cellSize / 6;
            sheet.m_pBits[(size_t)(sheet.GetHeight() - 1 - y) * sheet.GetStride() + x] =
                inside ? (BYTE)(20 + (x + y) % 200) : 0;
        }
}

void BM_BlitKeyed48(benchmark::State& state) {
    CDIB sheet, stage;
    MakeSheet(sheet, MODE_ATTACK);
    stage.Create(478, 167, 0, nullptr);
    RECT cell = SheetSpriteRect(MODE_ATTACK, 3, 5);
    for (auto _ : state) {
        stage.BlitKeyed(&sheet, 200, 60, &cell, 0, BLIT_KEYED, FALSE);
        benchmark::DoNotOptimize(stage.m_pBits);
    }
}
BENCHMARK(BM_BlitKeyed48);

void BM_StageEffects50(benchmark::State& state) {
    CDIB sheet, stage;
    MakeSheet(sheet, MODE_EFFECTS);
    const int key = SheetKeyIndex(sheet);
    for (auto _ : state) {
        stage.Create(478, 167, key, nullptr);
        for (int i = 0; i < 50; ++i) {
            RECT cell = SheetSpriteRect(MODE_EFFECTS, 4, i % 16);
            stage.BlitKeyed(&sheet, 100 + (i * 37) % 250, 20 + (i * 53) % 120, &cell, key,
                            BLIT_KEYED, FALSE);
        }
        benchmark::DoNotOptimize(stage.m_pBits);
    }
}
BENCHMARK(BM_StageEffects50);

} // namespace
