// From the artist's save to the paint that shows it: the real viewer offscreen, watching a
// real folder, while a new sheet is renamed over the one on show (argument 0) or the sheet is
// written again in place (argument 1). Each save alternates between two sheets of one colour,
// so the row strip tells which is on show.
#include "viewer_app.h"
#include "viewer_driver.h"

#include "afxqt.h"
#include "bmp_writer.h"
#include "file_bytes.h"
#include "system_palette.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A point inside the row strip (the strip frame is 90..489 x 133..197).
constexpr int kStripX = 157, kStripY = 161;
constexpr int kSaves = 15;
constexpr int kGiveUpMs = 3000;

// Index 249 of the system table is pure red, 252 pure blue.
constexpr uint8_t kSheetIndex[2] = {249, 252};
const QRgb kSheetColour[2] = {qRgb(255, 0, 0), qRgb(0, 0, 255)};

std::vector<uint8_t> PlainSheet(uint8_t index) {
    return EncodeBmp8(
        384, 480, [index](int, int) { return index; }, fixtures::SystemBmpTable());
}

// The times of the window's paints, taken as each paint ends.
class PaintClock : public QObject {
public:
    explicit PaintClock(QWidget& window) : m_window(window) { window.installEventFilter(this); }
    ~PaintClock() override { m_window.removeEventFilter(this); }
    std::vector<Clock::time_point> paints;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (m_inside || watched != &m_window || event->type() != QEvent::Paint)
            return false;
        m_inside = true;
        QCoreApplication::sendEvent(watched, event);
        m_inside = false;
        paints.push_back(Clock::now());
        return true;
    }

private:
    QWidget& m_window;
    bool m_inside = false;
};

QRgb StripPixel(const ViewerDriver& viewer) {
    return viewer.ClientImage().pixel(kStripX, kStripY);
}

// The time of the first paint from now on that left colour on the strip, waiting for it;
// nothing when it did not come in time.
std::optional<Clock::time_point> PaintShowing(const ViewerDriver& viewer, PaintClock& clock,
                                              QRgb colour) {
    QElapsedTimer waited;
    waited.start();
    size_t nChecked = clock.paints.size();
    while (waited.elapsed() < kGiveUpMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (clock.paints.size() == nChecked)
            continue;
        if (StripPixel(viewer) == colour)
            return clock.paints[nChecked];
        nChecked = clock.paints.size();
    }
    return std::nullopt;
}

// Runs the viewer on its own settings and art folder with body inside its modal loop.
void RunViewerOn(const QTemporaryDir& config, const std::function<void(ViewerDriver&)>& body) {
    const char* previous = getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> saved =
        previous ? std::optional(std::string(previous)) : std::nullopt;
    setenv("XDG_CONFIG_HOME", config.path().toUtf8().constData(), 1);
    CViewerApp app;
    QTimer::singleShot(0, qApp, [&] {
        auto* dlg = static_cast<CViewerDlg*>(app.m_pMainWnd);
        QWidget* window = dlg ? AfxWidgetFromHandle(dlg->GetSafeHwnd()) : nullptr;
        if (!window)
            return;
        ViewerDriver viewer(*dlg, *window);
        body(viewer);
        window->close();
    });
    char name[] = "kyrattack";
    char* argv[] = {name, nullptr};
    AfxWinMain(1, argv);
    if (saved)
        setenv("XDG_CONFIG_HOME", saved->c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

void BM_SaveToScreen(benchmark::State& state) {
    const bool bInPlace = state.range(0) == 1;
    QTemporaryDir config, art;
    const std::string sheet = art.filePath("attack00.bmp").toStdString();
    const std::string aside = sheet + ".saving";
    const std::vector<uint8_t> sheets[2] = {PlainSheet(kSheetIndex[0]), PlainSheet(kSheetIndex[1])};
    fixtures::WriteFileBytes(sheet.c_str(), sheets[0]);
    const std::string store = "[Prefs]\nfileName=" + art.path().toStdString() + "\n";
    QDir().mkpath(config.filePath("Marrowfen"));
    // The store is named after the running program.
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    fixtures::WriteFileBytes(config.filePath("Marrowfen/" + exe + ".conf").toUtf8().constData(),
                             std::vector<uint8_t>(store.begin(), store.end()));

    std::vector<double> milliseconds;
    RunViewerOn(config, [&](ViewerDriver& viewer) {
        PaintClock clock(viewer.Window());
        if (!PaintShowing(viewer, clock, kSheetColour[0])) {
            state.SkipWithError("the first sheet never showed");
            return;
        }
        int nShown = 0;
        for (auto _ : state) {
            const int nNext = 1 - nShown;
            bool bSaved = false;
            Clock::time_point start;
            if (bInPlace) {
                start = Clock::now();
                bSaved = fixtures::WriteFileBytes(sheet.c_str(), sheets[nNext]);
            } else {
                bSaved = fixtures::WriteFileBytes(aside.c_str(), sheets[nNext]);
                start = Clock::now();
                bSaved = bSaved && std::rename(aside.c_str(), sheet.c_str()) == 0;
            }
            const std::optional<Clock::time_point> end =
                bSaved ? PaintShowing(viewer, clock, kSheetColour[nNext]) : std::nullopt;
            if (!end) {
                state.SkipWithError("a save never showed");
                return;
            }
            const double seconds = std::chrono::duration<double>(*end - start).count();
            state.SetIterationTime(seconds);
            milliseconds.push_back(seconds * 1000);
            nShown = nNext;
        }
    });
    if (milliseconds.empty())
        return;
    std::sort(milliseconds.begin(), milliseconds.end());
    state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
    state.counters["max_ms"] = milliseconds.back();
}
BENCHMARK(BM_SaveToScreen)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("in_place")
    ->UseManualTime()
    ->Iterations(kSaves)
    ->Unit(benchmark::kMillisecond);

} // namespace
