// sheetgif [--effects] [--arc] [--fast] [--smear] [--fps2] [--no-loop-frames] [--closeup]
//          [--scale N] FOLDER ROW OUTPUT
// Writes one whole throw of a row, as the viewer shows it on its stage, or one cycle of the
// row's close-up, as an animated GIF.
#include "afxqt.h"
#include "cli.h"
#include "closeup_recorder.h"
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

const char kUsage[] =
    "usage: sheetgif [--effects] [--arc] [--fast] [--smear] [--fps2] [--no-loop-frames]\n"
    "                [--closeup] [--scale N] FOLDER ROW OUTPUT\n"
    "  --closeup   one cycle of the row's close-up instead of a throw (not with --arc,\n"
    "              --fast, --smear or --no-loop-frames)\n"
    "  --scale N   every pixel drawn N x N, N from 1 to 8 (default 1)\n";

struct Arguments {
    sheetgif::ThrowSettings settings;
    bool bCloseUp = false;
    bool bThrowOption = false; // one of the options that only a throw has
    int scale = kMinGifScale;
    std::string output;
};

// What --help prints: every option explained.
constexpr cli::Option kHelpOptions[] = {
    {"--effects", nullptr, "read effects sheets (16-pixel cells) instead of attack sheets"},
    {"--arc", nullptr, "throw on an arc (\"Throw in arc\")"},
    {"--fast", nullptr, "throw in half the time (\"Fast Throw\")"},
    {"--smear", nullptr, "leave a trail, from the throw's first position (\"Smear\")"},
    {"--fps2", nullptr, "play the row's frames at twice the rate (\"FPS x2\")"},
    {"--no-loop-frames", nullptr, "play the row once instead of cycling it (\"Loop frames\" off)"},
    {"--scale", "N", "make every pixel N x N, N from 1 to 8 (default 1)"},
    {"--closeup", nullptr,
     "record one cycle of the row's animation in the close-up instead of the throw; not with "
     "--arc, --fast, --smear or --no-loop-frames"},
};

const cli::Usage kHelp = {
    "sheetgif",
    "[OPTION]... [--] FOLDER ROW OUTPUT",
    "Writes one whole throw of row ROW (0..199) of the sheets in FOLDER (the\n"
    "viewer's path rules: 'c:\\Kyr\\art' is the sample art) to OUTPUT as a looping\n"
    "animated GIF: the stage exactly as the viewer paints it every 50 ms, in its\n"
    "own colours, 5/100 s a frame; with --closeup, one cycle of the row's close-up\n"
    "instead. Each frame holds only what changed since the one before. It runs the\n"
    "real viewer offscreen on a clock of its own; no display is needed.\n",
    kHelpOptions,
    "  0  the GIF was written\n"
    "  1  the sheet cannot be read, or OUTPUT cannot be written (nothing written)\n"
    "  2  wrong arguments\n",
};

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

// A scale is one digit within 1..8.
bool ParseScale(const char* text, int& scale) {
    if (!text || strlen(text) != 1 || text[0] < '0' + kMinGifScale || text[0] > '0' + kMaxGifScale)
        return false;
    scale = text[0] - '0';
    return true;
}

bool ParseFlag(const char* arg, Arguments& arguments) {
    struct Option {
        const char* name;
        bool sheetgif::ThrowSettings::*flag;
        bool value;
        bool bThrowOnly;
    };
    static const Option kOptions[] = {
        {"--effects", &sheetgif::ThrowSettings::bEffects, true, false},
        {"--arc", &sheetgif::ThrowSettings::bArc, true, true},
        {"--fast", &sheetgif::ThrowSettings::bFast, true, true},
        {"--smear", &sheetgif::ThrowSettings::bSmear, true, true},
        {"--fps2", &sheetgif::ThrowSettings::bFpsX2, true, false},
        {"--no-loop-frames", &sheetgif::ThrowSettings::bLoopFrames, false, true},
    };
    if (strcmp(arg, "--closeup") == 0) {
        arguments.bCloseUp = true;
        return true;
    }
    for (const Option& option : kOptions) {
        if (strcmp(arg, option.name) == 0) {
            arguments.settings.*option.flag = option.value;
            arguments.bThrowOption = arguments.bThrowOption || option.bThrowOnly;
            return true;
        }
    }
    return false;
}

// Options come first; "--" ends them, for a folder whose name begins with a dash. Any other
// argument that begins with a dash is an option, never a folder.
bool ParseArguments(int argc, char** argv, Arguments& arguments) {
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
        if (strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        }
        if (strcmp(argv[i], "--scale") == 0) {
            if (!ParseScale(i + 1 < argc ? argv[++i] : nullptr, arguments.scale))
                return false;
        } else if (!ParseFlag(argv[i], arguments)) {
            return false;
        }
    }
    if (arguments.bCloseUp && arguments.bThrowOption)
        return false;
    if (argc - i != 3 || !ParseRow(argv[i + 1], arguments.settings.nRow))
        return false;
    arguments.settings.folder = argv[i];
    arguments.output = argv[i + 2];
    return !arguments.output.empty();
}

// Runs the viewer and records the throw or the close-up; the viewer closes when the
// recording is done.
sheetgif::RecordResult RunViewer(const Arguments& arguments, sheetgif::ThrowRecording& recording) {
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
            result = arguments.bCloseUp
                         ? sheetgif::RecordCloseUp(*dlg, *window, arguments.settings, recording)
                         : sheetgif::RecordThrow(*dlg, *window, arguments.settings, recording);
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
    if (std::optional<int> status = cli::AnswerHelpOrVersion(argc, argv, kHelp))
        return *status;
    Arguments arguments;
    if (!ParseArguments(argc, argv, arguments)) {
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
    const sheetgif::RecordResult result = RunViewer(arguments, recording);
    ViewerDriver::RestoreClock();

    const sheetgif::ThrowSettings& settings = arguments.settings;
    if (result == sheetgif::RecordResult::SheetUnreadable) {
        fprintf(stderr, "sheetgif: cannot read row %d of the %s sheets in %s\n", settings.nRow,
                settings.bEffects ? "effects" : "attack", settings.folder.c_str());
        return kExitUnreadable;
    }
    if (result != sheetgif::RecordResult::Recorded) {
        fprintf(stderr, "sheetgif: the %s could not be recorded\n",
                arguments.bCloseUp ? "close-up" : "throw");
        return kExitUnreadable;
    }
    const int delay = arguments.bCloseUp ? sheetgif::CloseUpDelayHundredths(settings.bFpsX2)
                                         : sheetgif::kFrameDelayHundredths;
    std::optional<std::vector<uint8_t>> gif = EncodeAnimatedGif(
        recording.width, recording.height, recording.frames, delay, arguments.scale);
    if (!gif || !WriteOutputFile(arguments.output, *gif)) {
        fprintf(stderr, "sheetgif: cannot write %s\n", arguments.output.c_str());
        return kExitUnreadable;
    }
    return kExitOk;
}
