// The benchmarks' entry point: the paint benchmarks run the real dialog, which needs the
// application object of Qt before anything else. Offscreen at 1x unless the caller says else
// (the 2x paint benchmark runs this program again with QT_SCALE_FACTOR=2, and the start-up
// benchmarks run it again to time a start in a fresh process).
#include "first_paint.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_SCALE_FACTOR", "1", 0);
    const size_t nOption = strlen(kFirstPaintOption);
    if (argc == 2 && strncmp(argv[1], kFirstPaintOption, nOption) == 0)
        return FirstPaintChild(argv[1] + nOption, argc, argv);
    ::benchmark::Initialize(&argc, argv);
    if (::benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QApplication app(argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
