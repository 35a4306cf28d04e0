// sheetgif [--effects] [--arc] [--fast] [--smear] [--fps2] [--no-loop-frames] FOLDER ROW OUTPUT
// Writes one whole throw of a row, as the viewer shows it on its stage, as an animated GIF.
#include "afxqt.h"
#include "gif_encode.h"
#include "output_file.h"
#include "throw_clock.h"
#include "throw_recorder.h"
#include "viewer_app.h"
#include "viewer_driver.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUnreadable = 1;
constexpr int kExitUsage = 2;
constexpr int kExposeWaitMs = 10000;

const char kUsage[] = "usage: sheetgif [--effects] [--arc] [--fast] [--smear] [--fps2] "
                      "[--no-loop-frames] FOLDER ROW OUTPUT\n";

// A row is all digits and within 0..199; anything else is a wrong argument, not a clamp.
bool ParseRow(const char* text, int& nRow) {
    if (!*text || strlen(text) > 3)
        return false;
    int value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        value = value * 10 + (*p - '0');
    }
    if (value > kLastRow)
        return false;
    nRow = value;
    return true;
}

bool ParseOption(const char* arg, sheetgif::ThrowSettings& settings) {
    struct Option {
        const char* name;
        bool sheetgif::ThrowSettings::*flag;
        bool value;
    };
    static const Option kOptions[] = {
        {"--effects", &sheetgif::ThrowSettings::bEffects, true},
        {"--arc", &sheetgif::ThrowSettings::bArc, true},
        {"--fast", &sheetgif::ThrowSettings::bFast, true},
        {"--smear", &sheetgif::ThrowSettings::bSmear, true},
        {"--fps2", &sheetgif::ThrowSettings::bFpsX2, true},
        {"--no-loop-frames", &sheetgif::ThrowSettings::bLoopFrames, false},
    };
    for (const Option& option : kOptions) {
        if (strcmp(arg, option.name) == 0) {
            settings.*option.flag = option.value;
            return true;
        }
    }
    return false;
}

// Options come first; "--" ends them, for a folder whose name begins with a dash.
bool ParseArguments(int argc, char** argv, sheetgif::ThrowSettings& settings, std::string& output) {
    int i = 1;
    for (; i < argc && strncmp(argv[i], "--", 2) == 0; ++i) {
        if (strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        }
        if (!ParseOption(argv[i], settings))
            return false;
    }
    if (argc - i != 3 || !ParseRow(argv[i + 1], settings.nRow))
        return false;
    settings.folder = argv[i];
    output = argv[i + 2];
    return !output.empty();
}

// Runs the viewer and records the throw; the viewer closes when the recording is done.
sheetgif::RecordResult RunViewer(const sheetgif::ThrowSettings& settings,
                                 sheetgif::ThrowRecording& recording) {
    sheetgif::RecordResult result = sheetgif::RecordResult::Failed;
    CViewerApp app;
    // The viewer starts on a folder that holds no sheets, so that the only sheet it ever
    // reads is the one asked for.
    QTemporaryDir noSheets;
    if (!noSheets.isValid())
        return result;
    app.SetRegistryKey("Marrowfen");
    app.WriteProfileString("Prefs", "fileName", noSheets.path().toUtf8().constData());
    QTimer::singleShot(0, [&] {
        auto* dlg = static_cast<CViewerDlg*>(app.m_pMainWnd);
        QWidget* window = dlg ? AfxWidgetFromHandle(dlg->GetSafeHwnd()) : nullptr;
        const auto exposed = [window] {
            return window->windowHandle() && window->windowHandle()->isExposed();
        };
        if (window && sheetgif::WaitFor(exposed, kExposeWaitMs))
            result = sheetgif::RecordThrow(*dlg, *window, settings, recording);
        if (dlg)
            dlg->EndDialog(IDCANCEL);
    });
    char name[] = "sheetgif";
    char* args[] = {name, nullptr};
    AfxWinMain(1, args);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    sheetgif::ThrowSettings settings;
    std::string output;
    if (!ParseArguments(argc, argv, settings, output)) {
        fputs(kUsage, stderr);
        return kExitUsage;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The viewer writes its folder setting; keep that away from the user's own.
    QTemporaryDir config;
    if (!config.isValid()) {
        fputs("sheetgif: cannot make a temporary folder\n", stderr);
        return kExitUnreadable;
    }
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    ViewerDriver::UseClock(sheetgif::kThrowStartMs);

    // Qt reads options such as -style from its arguments; the user's belong to this tool.
    int qtArgc = 1;
    char qtName[] = "sheetgif";
    char* qtArgv[] = {qtName, nullptr};
    QApplication application(qtArgc, qtArgv);
    sheetgif::ThrowRecording recording;
    const sheetgif::RecordResult result = RunViewer(settings, recording);
    ViewerDriver::RestoreClock();

    if (result == sheetgif::RecordResult::SheetUnreadable) {
        fprintf(stderr, "sheetgif: cannot read row %d of the %s sheets in %s\n", settings.nRow,
                settings.bEffects ? "effects" : "attack", settings.folder.c_str());
        return kExitUnreadable;
    }
    if (result != sheetgif::RecordResult::Recorded) {
        fputs("sheetgif: the throw could not be recorded\n", stderr);
        return kExitUnreadable;
    }
    std::optional<std::vector<uint8_t>> gif = EncodeAnimatedGif(
        recording.width, recording.height, recording.frames, sheetgif::kFrameDelayHundredths);
    if (!gif || !WriteOutputFile(output, *gif)) {
        fprintf(stderr, "sheetgif: cannot write %s\n", output.c_str());
        return kExitUnreadable;
    }
    return kExitOk;
}
