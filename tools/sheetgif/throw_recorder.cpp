#include "throw_recorder.h"

#include "throw_clock.h"
#include "viewer_driver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>

namespace sheetgif {

namespace {

// Far more than the longest throw (8000 ms at 50 ms a frame): a throw that never ends is a
// fault, not a GIF.
constexpr int kMaxFrames = 1000;
constexpr int kPaintWaitMs = 10000;

// Sets the dialog up as the user would; whether every control answered.
bool SetUpAsTheUserWould(ViewerDriver& viewer, const ThrowSettings& settings) {
    bool ok = viewer.Click(settings.bEffects ? IDC_EFFECTS_MODE : IDC_ATTACK_MODE);
    CString strRow;
    strRow.Format("%d", settings.nRow);
    ok = viewer.SetText(IDC_ROW, strRow) && ok;
    ok = ok && viewer.SetCheck(IDC_THROW_IN_ARC, settings.bArc);
    ok = ok && viewer.SetCheck(IDC_FAST_THROW, settings.bFast);
    ok = ok && viewer.SetCheck(IDC_FPS_X2, settings.bFpsX2);
    ok = ok && viewer.SetCheck(IDC_LOOP_FRAMES, settings.bLoopFrames);
    ok = ok && viewer.SetCheck(IDC_CONTINUOUSLY, false);
    ok = ok && viewer.SetCheck(IDC_SMEAR, false);
    ok = ok && viewer.SetText(IDC_FOLDER, settings.folder.c_str());
    return ok && viewer.Click(IDC_RELOAD);
}

} // namespace

RecordResult PrepareRecording(ViewerDriver& viewer, const ThrowSettings& settings) {
    viewer.StopAnimationTimer();
    if (!SetUpAsTheUserWould(viewer, settings))
        return RecordResult::Failed;
    // The viewer started on a folder without sheets, so a picture now is this sheet's.
    if (!viewer.Sheet().m_pBMI || !viewer.Sheet().m_pBits)
        return RecordResult::SheetUnreadable;
    return RecordResult::Recorded;
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

bool CaptureStage(const CDIB& stage, GifFrame& frame, int& width, int& height) {
    if (!stage.m_pBMI || !stage.m_pBits)
        return false;
    const BITMAPINFOHEADER& header = stage.m_pBMI->bmiHeader;
    width = stage.GetWidth();
    height = stage.GetHeight();
    const int stride = stage.GetStride();
    if (width <= 0 || height <= 0 || stride < width || header.biBitCount != 8)
        return false;
    const bool bBottomUp = header.biHeight > 0;
    frame.pixels.resize((size_t)width * (size_t)height);
    for (int y = 0; y < height; ++y) {
        const int stored = bBottomUp ? height - 1 - y : y;
        const BYTE* row = stage.m_pBits + (size_t)stored * (size_t)stride;
        std::copy(row, row + width, frame.pixels.begin() + (ptrdiff_t)y * width);
    }
    for (size_t i = 0; i < frame.colours.size(); ++i) {
        const RGBQUAD& q = stage.m_pBMI->bmiColors[i];
        frame.colours[i] = GifColour{q.rgbRed, q.rgbGreen, q.rgbBlue};
    }
    return true;
}

RecordResult RecordThrow(CViewerDlg& dlg, QWidget& window, const ThrowSettings& settings,
                         ThrowRecording& recording) {
    ViewerDriver viewer(dlg, window);
    if (RecordResult prepared = PrepareRecording(viewer, settings);
        prepared != RecordResult::Recorded)
        return prepared;

    RecordResult result = RecordResult::Failed;
    ViewerDriver::SetClock(kThrowStartMs);
    viewer.Click(IDOK);
    for (int k = 0; k < kMaxFrames; ++k) {
        ViewerDriver::SetClock(kThrowStartMs + (uint32_t)k * kFrameMs);
        // The tick about to be sent makes the counter k for this paint.
        viewer.SetTicks(k - 1);
        if (!viewer.SendTick(kPaintWaitMs))
            break;
        if (viewer.ThrowState() != THROW_FLYING) {
            // This paint ended the throw and drew nothing on the stage.
            result = recording.frames.empty() ? RecordResult::Failed : RecordResult::Recorded;
            break;
        }
        GifFrame frame;
        int width = 0, height = 0;
        if (!CaptureStage(viewer.Stage(), frame, width, height))
            break;
        if (recording.frames.empty()) {
            recording.width = width;
            recording.height = height;
        } else if (width != recording.width || height != recording.height) {
            break;
        }
        recording.frames.push_back(std::move(frame));
        // Checked after the first paint, the trail starts at the throw's first position
        // instead of holding the sprite that stood on the stage before it.
        if (k == 0 && settings.bSmear && !viewer.SetCheck(IDC_SMEAR, true))
            break;
    }
    return result;
}

} // namespace sheetgif
