// Records one cycle of a row's close-up, the animation in place beside the row strip, as the
// viewer paints it: the cell-sized rectangle of the close-up, frame by frame.
#pragma once

#include "gif_encode.h"
#include "throw_recorder.h"

class QImage;

namespace sheetgif {

// The close-up shows a new frame every other tick of the 50 ms animation timer, every tick
// with "FPS x2".
int CloseUpDelayHundredths(bool bFpsX2);

// Sets the dialog up as the user would and records one frame for each frame of the row, in
// the order the close-up plays them from tick 0. The dialog must be shown.
RecordResult RecordCloseUp(CViewerDlg& dlg, QWidget& window, const ThrowSettings& settings,
                           ThrowRecording& recording);

// A painted picture as a GIF frame with a colour table of its own; false when it holds more
// than 256 colours.
bool FrameFromImage(const QImage& image, GifFrame& frame);

} // namespace sheetgif
