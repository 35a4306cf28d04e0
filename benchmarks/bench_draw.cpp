// Costs of drawing to a painter as one paint of the viewer does it.
#include "dc.h"
#include "dib.h"
#include "sheet.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

namespace {

void FillSheet(CDIB& sheet) {
    for (int y = 0; y < sheet.GetHeight(); ++y)
        for (int x = 0; x < sheet.GetWidth(); ++x)
            sheet.m_pBits[(size_t)(sheet.GetHeight() - 1 - y) * sheet.GetStride() + x] =
                (BYTE)((x * 7 + y * 13) % 256);
}

// The three Draw calls of one paint: the 384 x 48 row strip 1:1, a 47 x 47 close-up into
// 48 x 48, the 478 x 167 stage 1:1; onto the main dialog's client area.
void BM_ViewerPaintDraws(benchmark::State& state) {
    CDIB sheet, stage;
    sheet.Create(384, 480, 0, nullptr);
    FillSheet(sheet);
    stage.Create(478, 167, 0, nullptr);
    FillSheet(stage);
    QImage window(609, 393, QImage::Format_RGB32);
    QPainter painter(&window);
    CDC dc(&painter);
    const RECT strip{0, 96, 384, 144}, stripDest{90, 133, 474, 181};
    const RECT cell{1, 97, 48, 144}, closeUp{11, 133, 59, 181};
    const RECT stageDest{11, 215, 489, 382};
    for (auto _ : state) {
        sheet.Draw(&dc, &stripDest, &strip);
        sheet.Draw(&dc, &closeUp, &cell);
        stage.Draw(&dc, &stageDest, nullptr);
    }
}
BENCHMARK(BM_ViewerPaintDraws);

void BM_StretchBltMemoryFourTimes(benchmark::State& state) {
    CDIB sheet, target;
    sheet.Create(48, 48, 0, nullptr);
    FillSheet(sheet);
    target.Create(192, 192, 0, nullptr);
    for (auto _ : state) {
        StretchBlt(target.m_hDC, 0, 0, 192, 192, sheet.m_hDC, 0, 0, 48, 48, SRCCOPY);
        benchmark::DoNotOptimize(target.m_pBits);
    }
}
BENCHMARK(BM_StretchBltMemoryFourTimes);

} // namespace
