// sheetgif's whole work for one throw, in frames a second: the viewer's paints recorded off
// its stage, then differenced and compressed into a GIF. An attack throw (a sprite and its
// trail) and an effects throw (fifty sparkles over the whole stage), on the sample art.
#include "viewer_app.h"
#include "viewer_dlg.h"
#include "viewer_driver.h"

#include "afxqt.h"
#include "file_bytes.h"
#include "gif_encode.h"
#include "sheets.h"
#include "throw_clock.h"
#include "throw_recorder.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdlib>
#include <string>

namespace {

constexpr int kExposeWaitMs = 10000;

// The first sample sheet of each kind in a folder of its own, and a settings store that
// keeps the viewer's folder setting away from the user's.
class ArtFolder {
public:
    static const ArtFolder& Get() {
        static ArtFolder folder;
        return folder;
    }
    std::string Path() const { return m_art.path().toStdString(); }
    bool Valid() const { return m_valid; }

private:
    ArtFolder() {
        setenv("XDG_CONFIG_HOME", m_config.path().toUtf8().constData(), 1);
        m_valid = m_art.isValid() && m_config.isValid();
        for (artgen::SheetKind kind : {artgen::SheetKind::Attack, artgen::SheetKind::Effects}) {
            const std::string path = Path() + "/" + artgen::SheetFileName(kind, 0);
            m_valid =
                m_valid && fixtures::WriteFileBytes(path.c_str(), artgen::EncodeSheet(kind, 0));
        }
    }
    QTemporaryDir m_config, m_art;
    bool m_valid = false;
};

void RecordAndEncode(benchmark::State& state, const sheetgif::ThrowSettings& settings) {
    if (!ArtFolder::Get().Valid()) {
        state.SkipWithError("the sample sheets could not be written");
        return;
    }
    ViewerDriver::UseClock(sheetgif::kThrowStartMs);
    CViewerApp app;
    QTimer::singleShot(0, qApp, [&] {
        auto* dlg = static_cast<CViewerDlg*>(app.m_pMainWnd);
        QWidget* window = dlg ? AfxWidgetFromHandle(dlg->GetSafeHwnd()) : nullptr;
        const auto exposed = [window] {
            return window->windowHandle() && window->windowHandle()->isExposed();
        };
        if (!window || !sheetgif::WaitFor(exposed, kExposeWaitMs)) {
            state.SkipWithError("the viewer did not show");
            return;
        }
        int64_t frames = 0;
        size_t bytes = 0;
        for (auto _ : state) {
            sheetgif::ThrowRecording recording;
            if (sheetgif::RecordThrow(*dlg, *window, settings, recording) !=
                sheetgif::RecordResult::Recorded) {
                state.SkipWithError("the throw was not recorded");
                break;
            }
            const auto gif = EncodeAnimatedGif(recording.width, recording.height, recording.frames,
                                               sheetgif::kFrameDelayHundredths);
            if (!gif) {
                state.SkipWithError("the GIF was not made");
                break;
            }
            frames += (int64_t)recording.frames.size();
            bytes = gif->size();
        }
        state.counters["frames/s"] =
            benchmark::Counter((double)frames, benchmark::Counter::kIsRate);
        state.counters["bytes"] = (double)bytes;
        dlg->EndDialog(IDCANCEL);
    });
    char name[] = "sheetgif";
    char* argv[] = {name, nullptr};
    AfxWinMain(1, argv);
    ViewerDriver::RestoreClock();
}

void BM_SheetGif(benchmark::State& state, bool bEffects) {
    sheetgif::ThrowSettings settings;
    settings.folder = ArtFolder::Get().Path();
    settings.nRow = 0;
    settings.bEffects = bEffects;
    settings.bArc = true;
    settings.bSmear = true;
    RecordAndEncode(state, settings);
}

} // namespace

BENCHMARK_CAPTURE(BM_SheetGif, AttackArcSmear, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_SheetGif, EffectsArcSmear, true)->Unit(benchmark::kMillisecond)->UseRealTime();
