// What refusing a hostile sheet costs: each crafted header read from memory, and a 4096 x 4096
// progressive JPEG of 10 000 scans, which the walk of its markers refuses at its 13th scan
// header, before the decoder reads it.
#include "dib.h"
#include "hostile_sheets.h"

#include <benchmark/benchmark.h>

namespace {

const std::vector<readtest::HostileSheet>& Sheets() {
    static const std::vector<readtest::HostileSheet> sheets = [] {
        std::vector<readtest::HostileSheet> all = readtest::HostileHeaders();
        all.push_back(
            {"jpeg progressive 4096 x 4096, 10000 scans", readtest::ManyScans(4096, 10000), false});
        return all;
    }();
    return sheets;
}

void BM_RefuseHostileHeaders(benchmark::State& state) {
    const readtest::HostileSheet& sheet = Sheets()[(size_t)state.range(0)];
    state.SetLabel(sheet.name + " (" + std::to_string(sheet.bytes.size()) + " bytes)");
    CDIB dib;
    for (auto _ : state) {
        CMemFile file(sheet.bytes.data(), sheet.bytes.size());
        if (dib.Read(&file, nullptr))
            state.SkipWithError("the sheet was not refused");
    }
}
BENCHMARK(BM_RefuseHostileHeaders)
    ->DenseRange(0, (int)readtest::HostileHeaders().size())
    ->Unit(benchmark::kMicrosecond);

} // namespace
