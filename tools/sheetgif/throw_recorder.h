// Runs the real viewer dialog offscreen on the tool's own clock and records one whole throw,
// frame by frame, from the stage bitmap the dialog composes.
#pragma once

#include "gif_encode.h"

#include "wintypes.h"

#include <functional>
#include <string>
#include <vector>

class CDIB;
class CViewerDlg;
class QWidget;
class ViewerDriver;

namespace sheetgif {

struct ThrowSettings {
    std::string folder; // as typed into the folder edit
    int nRow = 0;       // 0..199
    bool bEffects = false;
    bool bArc = false;
    bool bFast = false;
    bool bSmear = false;
    bool bFpsX2 = false;
    bool bLoopFrames = true;
};

enum class RecordResult { Recorded, SheetUnreadable, Failed };

struct ThrowRecording {
    int width = 0; // every frame's, the stage's size
    int height = 0;
    std::vector<GifFrame> frames;
};

// Stops the dialog's own timer, so that only the recorder ticks, and sets the dialog up as the
// user would (mode radio, row edit, check boxes, folder, "Reload File Now"), "Smear" and
// "Continuously" off. Recorded when the recording may begin; SheetUnreadable when the sheet
// did not load; Failed when a control did not answer.
RecordResult PrepareRecording(ViewerDriver& viewer, const ThrowSettings& settings);

// Sets the dialog up as the user would (mode radio, row edit, check boxes, folder, "Reload
// File Now") and records the throw. The dialog must be shown and the viewer driver's clock
// in place (ViewerDriver::UseClock); the dialog's own timer is stopped, so that only the
// recorder ticks.
RecordResult RecordThrow(CViewerDlg& dlg, QWidget& window, const ThrowSettings& settings,
                         ThrowRecording& recording);

// The stage bitmap as a GIF frame: its indices top row first and its colour table. False
// when the stage holds no picture.
bool CaptureStage(const CDIB& stage, GifFrame& frame, int& width, int& height);

// Runs the event loop until done() holds or ms milliseconds have passed; whether it held.
bool WaitFor(const std::function<bool()>& done, int ms);

} // namespace sheetgif
