// Costs of the real dialog on the offscreen platform: one paint of the three pictures during a
// throw (attack, and effects with fifty sparkles, at 1x and at a device pixel ratio of 2), and
// the time from the application object to the dialog's first whole picture, against a bare
// QDialog's and one with a single line of text. Each start is timed in a fresh process, from
// the making of the QApplication on.
#include "viewer_app.h"
#include "viewer_driver.h"

#include "afxqt.h"
#include "bmp_writer.h"
#include "file_bytes.h"
#include "system_palette.h"

#include "first_paint.h"

#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

DWORD g_now = 5000000;

// A sheet with sprite-like content: key index 0 around a shaded blob in every cell.
std::vector<BYTE> SheetBmp(int nMode) {
    const SheetGeometry g = GetSheetGeometry(nMode);
    const int w = g.framesPerRow * g.cellSize, h = kRowsPerFile * g.cellSize;
    return EncodeBmp8(
        w, h,
        [&](int x, int y) {
            const int cx = x % g.cellSize - g.cellSize / 2, cy = y % g.cellSize - g.cellSize / 2;
            const bool inside = cx * cx + cy * cy < g.cellSize * g.cellSize / 6;
            return inside ? (uint8_t)(20 + (x + y) % 200) : (uint8_t)0;
        },
        fixtures::SystemBmpTable());
}

// A settings store and an art folder of their own, made once for the whole run.
class Fixture {
public:
    static Fixture& Get() {
        static Fixture fixture;
        return fixture;
    }

private:
    Fixture() {
        setenv("XDG_CONFIG_HOME", m_config.path().toUtf8().constData(), 1);
        for (int nMode : {MODE_ATTACK, MODE_EFFECTS}) {
            const QString name = QString::fromStdString(std::string(SheetFileName(nMode, 0)));
            fixtures::WriteFileBytes(m_art.filePath(name).toUtf8().constData(), SheetBmp(nMode));
        }
        const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        QSettings settings(m_config.filePath("Marrowfen/" + exe + ".conf"), QSettings::IniFormat);
        settings.setValue("Prefs/fileName", m_art.path());
    }

    QTemporaryDir m_config, m_art;
};

// Runs the viewer application with body inside its modal loop, then closes the dialog.
void RunViewer(const std::function<void(CViewerDlg&, QWidget&)>& body) {
    Fixture::Get();
    CViewerApp app;
    QTimer::singleShot(0, qApp, [&] {
        auto* dlg = static_cast<CViewerDlg*>(app.m_pMainWnd);
        QWidget* window = dlg ? AfxWidgetFromHandle(dlg->GetSafeHwnd()) : nullptr;
        if (!window)
            return;
        body(*dlg, *window);
        window->close();
    });
    char name[] = "kyrattack";
    char* argv[] = {name, nullptr};
    AfxWinMain(1, argv);
}

// The three pictures' frames in client coordinates: row strip, close-up and stage.
QRegion PictureRegion() {
    return QRegion(90, 133, 399, 64) + QRegion(11, 133, 72, 64) + QRegion(11, 215, 478, 167);
}

// Paints the three pictures of the dialog in the middle of a throw, the clock standing still.
void PaintDuringThrow(benchmark::State& state, int nModeButton) {
    ViewerDriver::UseClock(g_now);
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        // Until the window is exposed, a repaint has nowhere to go and does nothing.
        while (!window.windowHandle() || !window.windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        ViewerDriver viewer(dlg, window);
        viewer.Click(nModeButton);
        viewer.Click(IDOK);
        g_now += 1000; // halfway through an attack throw, an eighth through an effects throw
        ViewerDriver::SetClock(g_now);
        const QRegion region = PictureRegion();
        window.repaint(region);
        const long paintsBefore = viewer.Paints();
        for (auto _ : state)
            window.repaint(region);
        if (viewer.ThrowState() != THROW_FLYING || !viewer.Sheet().m_pBits ||
            viewer.Paints() - paintsBefore != (long)state.iterations())
            state.SkipWithError("not one paint per repaint of a throw with a sheet");
        state.counters["dpr"] = window.devicePixelRatioF();
    });
    ViewerDriver::RestoreClock();
}

void BM_PaintAttack(benchmark::State& state) {
    PaintDuringThrow(state, IDC_ATTACK_MODE);
}
BENCHMARK(BM_PaintAttack)->Unit(benchmark::kMicrosecond);

void BM_PaintEffects(benchmark::State& state) {
    PaintDuringThrow(state, IDC_EFFECTS_MODE);
}
BENCHMARK(BM_PaintEffects)->Unit(benchmark::kMicrosecond);

// The scale factor is fixed when the QApplication is made, so the 2x figure comes from this
// program run again at QT_SCALE_FACTOR=2 with BM_PaintEffects alone; its time per paint is
// reported as this benchmark's.
void BM_PaintEffects2x(benchmark::State& state) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_SCALE_FACTOR", "2");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--benchmark_filter=^BM_PaintEffects$", "--benchmark_format=json"});
    if (!child.waitForFinished(120000) || child.exitCode() != 0) {
        state.SkipWithError("the 2x run failed");
        return;
    }
    const QJsonObject run = QJsonDocument::fromJson(child.readAllStandardOutput())
                                .object()["benchmarks"]
                                .toArray()
                                .first()
                                .toObject();
    const double seconds = run["real_time"].toDouble() * 1e-6; // microseconds
    for (auto _ : state)
        state.SetIterationTime(seconds);
    state.counters["dpr"] = run["dpr"].toDouble();
    state.counters["paints"] = run["iterations"].toDouble();
    if (run["dpr"].toDouble() != 2.0 || run["time_unit"].toString() != "us")
        state.SkipWithError("the child did not paint at a device pixel ratio of 2");
}
BENCHMARK(BM_PaintEffects2x)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);

// Ends the clock when the first picture of a window with this title is whole: the window's
// first paint and the paints of its controls that the same repaint runs after it.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(const QString& title) : m_title(title) { qApp->installEventFilter(this); }
    ~FirstPaint() override { qApp->removeEventFilter(this); }
    Clock::time_point end;
    bool done = false;
    bool sheetShown = false; // the viewer had a sheet loaded when it painted

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (done || m_inside || event->type() != QEvent::Paint || !watched->isWidgetType())
            return false;
        QWidget* window = static_cast<QWidget*>(watched)->window();
        if (window->windowTitle() != m_title || (!m_started && watched != window))
            return false;
        // Deliver it now, so that the clock stops when the paint has been done.
        m_inside = true;
        QCoreApplication::sendEvent(watched, event);
        m_inside = false;
        end = Clock::now();
        if (!m_started) {
            m_started = true;
            auto* dlg = AfxGetApp() ? static_cast<CViewerDlg*>(AfxGetApp()->m_pMainWnd) : nullptr;
            sheetShown = dlg && ViewerDriver(*dlg, *window).Sheet().m_pBits;
            // The event loop comes back once the whole repaint is done.
            QTimer::singleShot(0, window, [this, window] {
                done = true;
                window->close();
            });
        }
        return true;
    }

private:
    QString m_title;
    bool m_inside = false;
    bool m_started = false;
};

// Runs this program again as a fresh process that starts `which` and prints the seconds from
// its start to its first whole picture; a start-up is only a start-up in a new process, where
// the toolkit's platform, style and fonts are not yet loaded.
double TimeStartInChild(const char* which) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QString(kFirstPaintOption) + which});
    if (!child.waitForFinished(60000) || child.exitCode() != 0)
        return -1;
    bool ok = false;
    const double seconds = child.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? seconds : -1;
}

void StartToFirstPaint(benchmark::State& state, const char* which) {
    Fixture::Get();
    for (auto _ : state) {
        const double seconds = TimeStartInChild(which);
        if (seconds < 0) {
            state.SkipWithError("the child never painted");
            return;
        }
        state.SetIterationTime(seconds);
    }
}

// From the application object to the end of the viewer's first paint, its sheet loaded.
void BM_StartToFirstPaint(benchmark::State& state) {
    StartToFirstPaint(state, "viewer");
}
BENCHMARK(BM_StartToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same dialog built straight from Qt widgets, sheet read as the viewer reads it: the goal
// is the viewer within 1.25 times this.
void BM_QtTwinFirstPaint(benchmark::State& state) {
    StartToFirstPaint(state, "twin");
}
BENCHMARK(BM_QtTwinFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same for a bare QDialog of the viewer's size: what any dialog of this toolkit costs.
void BM_BareDialogFirstPaint(benchmark::State& state) {
    StartToFirstPaint(state, "bare");
}
BENCHMARK(BM_BareDialogFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond);

// The bare dialog with one line of text: the floor for any dialog that shows words.
void BM_TextDialogFirstPaint(benchmark::State& state) {
    StartToFirstPaint(state, "text");
}
BENCHMARK(BM_TextDialogFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int FirstPaintChild(const char* which, int argc, char** argv) {
    const bool bViewer = strcmp(which, "viewer") == 0, bTwin = strcmp(which, "twin") == 0;
    const Clock::time_point start = Clock::now();
    QApplication application(argc, argv);
    FirstPaint paint(bViewer ? "Kyr Attack/Effect Viewer" : bTwin ? "twin" : "bare");
    bool bSheetShown = false;
    if (bViewer) {
        CViewerApp app;
        AfxWinMain(argc, argv);
        bSheetShown = paint.sheetShown;
    } else if (bTwin) {
        bSheetShown = RunQtTwin();
    } else {
        QDialog dialog;
        dialog.setWindowTitle("bare");
        dialog.setFixedSize(609, 393);
        if (strcmp(which, "text") == 0) {
            // One line of the viewer's own text in its own font: the first text of a process
            // starts the font system, which no dialog with words on it escapes.
            QFont font("Liberation Sans");
            font.setPointSizeF(7.5);
            dialog.setFont(font);
            auto* label = new QLabel(
                "Here is the folder where I keep all my attackNN.bmp and effectsNN.bmp files:",
                &dialog);
            label->setGeometry(27, 66, 371, 16);
        }
        dialog.exec();
    }
    if (!paint.done || bSheetShown != (bViewer || bTwin))
        return 1;
    printf("%.9f\n", std::chrono::duration<double>(paint.end - start).count());
    return 0;
}
