#include "throw_recorder.h"

#include "afxqt.h"
#include "paint_counter.h"
#include "throw_clock.h"
#include "viewer_dlg.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>

namespace sheetgif {

namespace {

constexpr UINT_PTR kAnimationTimer = 2;
// Far more than the longest throw (8000 ms at 50 ms a frame): a throw that never ends is a
// fault, not a GIF.
constexpr int kMaxFrames = 1000;
constexpr int kPaintWaitMs = 10000;

QAbstractButton* Button(CViewerDlg& dlg, int nID) {
    CWnd* item = dlg.GetDlgItem(nID);
    return item ? qobject_cast<QAbstractButton*>(AfxWidgetFromHandle(item->GetSafeHwnd()))
                : nullptr;
}

bool Click(CViewerDlg& dlg, int nID) {
    QAbstractButton* button = Button(dlg, nID);
    if (!button)
        return false;
    button->click();
    return true;
}

bool SetCheckBox(CViewerDlg& dlg, int nID, bool bChecked) {
    QAbstractButton* button = Button(dlg, nID);
    if (!button)
        return false;
    if (button->isChecked() != bChecked)
        button->click();
    return button->isChecked() == bChecked;
}

uint32_t g_nowMs = kThrowStartMs;

} // namespace

bool SetUpAsTheUserWould(CViewerDlg& dlg, const ThrowSettings& settings) {
    bool ok = Click(dlg, settings.bEffects ? IDC_EFFECTS_MODE : IDC_ATTACK_MODE);
    CString strRow;
    strRow.Format("%d", settings.nRow);
    dlg.m_RowEdit.SetWindowText(strRow);
    ok = ok && SetCheckBox(dlg, IDC_THROW_IN_ARC, settings.bArc);
    ok = ok && SetCheckBox(dlg, IDC_FAST_THROW, settings.bFast);
    ok = ok && SetCheckBox(dlg, IDC_FPS_X2, settings.bFpsX2);
    ok = ok && SetCheckBox(dlg, IDC_LOOP_FRAMES, settings.bLoopFrames);
    ok = ok && SetCheckBox(dlg, IDC_CONTINUOUSLY, false);
    ok = ok && SetCheckBox(dlg, IDC_SMEAR, false);
    dlg.m_FolderEdit.SetWindowText(settings.folder.c_str());
    return ok && Click(dlg, IDC_RELOAD);
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

DWORD ToolTickCount() {
    return g_nowMs;
}

bool CaptureStage(const CViewerDlg& dlg, GifFrame& frame, int& width, int& height) {
    const CDIB& stage = dlg.m_Stage;
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
    dlg.KillTimer(kAnimationTimer);
    if (!SetUpAsTheUserWould(dlg, settings))
        return RecordResult::Failed;
    // The viewer started on a folder without sheets, so a picture now is this sheet's.
    if (!dlg.m_Sheet.m_pBMI || !dlg.m_Sheet.m_pBits)
        return RecordResult::SheetUnreadable;

    // Counts the window's paints, so that a tick can wait for the one it asked for.
    fixtures::PaintCounter paints(window);
    RecordResult result = RecordResult::Failed;
    g_nowMs = kThrowStartMs;
    Click(dlg, IDOK);
    for (int k = 0; k < kMaxFrames; ++k) {
        g_nowMs = kThrowStartMs + (uint32_t)k * kFrameMs;
        // The tick about to be sent makes the counter k for this paint.
        dlg.m_nTicks = k - 1;
        const int before = paints.count;
        ::SendMessage(dlg.GetSafeHwnd(), WM_TIMER, kAnimationTimer, 0);
        if (!WaitFor([&] { return paints.count > before; }, kPaintWaitMs))
            break;
        if (dlg.m_nThrowState != THROW_FLYING) {
            // This paint ended the throw and drew nothing on the stage.
            result = recording.frames.empty() ? RecordResult::Failed : RecordResult::Recorded;
            break;
        }
        GifFrame frame;
        int width = 0, height = 0;
        if (!CaptureStage(dlg, frame, width, height))
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
        if (k == 0 && settings.bSmear && !SetCheckBox(dlg, IDC_SMEAR, true))
            break;
    }
    return result;
}

} // namespace sheetgif
