#include "closeup_recorder.h"

#include "paint_counter.h"
#include "sheet.h"
#include "viewer_dlg.h"

#include <QImage>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace sheetgif {

namespace {

constexpr UINT_PTR kAnimationTimer = 2;
constexpr int kPaintWaitMs = 10000;
constexpr int kNormalTicksPerFrame = 2;
constexpr int kCloseUpDelayHundredths = 10; // 10 frames a second

// The close-up's rectangle of the window as its last paint left it.
QImage GrabCloseUp(const CViewerDlg& dlg, QWidget& window) {
    QImage shot = window.screen()->grabWindow(window.winId()).toImage();
    // The grab may hold the window's frame around the client area.
    QPoint origin;
    if (shot.size() != window.size())
        origin = window.geometry().topLeft() - window.frameGeometry().topLeft();
    const RECT& rc = dlg.m_rcCloseUp;
    return shot.copy(
        QRect(origin + QPoint(rc.left, rc.top), QSize(rc.right - rc.left, rc.bottom - rc.top)));
}

} // namespace

int CloseUpDelayHundredths(bool bFpsX2) {
    return bFpsX2 ? kCloseUpDelayHundredths / kNormalTicksPerFrame : kCloseUpDelayHundredths;
}

bool FrameFromImage(const QImage& image, GifFrame& frame) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::vector<QRgb> colours;
    frame.pixels.resize((size_t)rgb.width() * (size_t)rgb.height());
    frame.colours.fill(GifColour{0, 0, 0});
    size_t at = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb colour = row[x] | 0xFF000000u;
            auto found = std::find(colours.begin(), colours.end(), colour);
            if (found == colours.end()) {
                if (colours.size() == frame.colours.size())
                    return false;
                frame.colours[colours.size()] = GifColour{
                    (uint8_t)qRed(colour), (uint8_t)qGreen(colour), (uint8_t)qBlue(colour)};
                found = colours.insert(colours.end(), colour);
            }
            frame.pixels[at++] = (uint8_t)(found - colours.begin());
        }
    }
    return true;
}

RecordResult RecordCloseUp(CViewerDlg& dlg, QWidget& window, const ThrowSettings& settings,
                           ThrowRecording& recording) {
    dlg.KillTimer(kAnimationTimer);
    if (!SetUpAsTheUserWould(dlg, settings))
        return RecordResult::Failed;
    if (!dlg.m_Sheet.m_pBMI || !dlg.m_Sheet.m_pBits)
        return RecordResult::SheetUnreadable;

    fixtures::PaintCounter paints(window);
    const int ticksPerFrame = settings.bFpsX2 ? 1 : kNormalTicksPerFrame;
    const int frames = GetSheetGeometry(dlg.m_nMode).framesPerRow;
    for (int k = 0; k < frames; ++k) {
        // The tick about to be sent makes the counter k x ticksPerFrame for this paint.
        dlg.m_nTicks = k * ticksPerFrame - 1;
        const int before = paints.count;
        ::SendMessage(dlg.GetSafeHwnd(), WM_TIMER, kAnimationTimer, 0);
        if (!WaitFor([&] { return paints.count > before; }, kPaintWaitMs))
            return RecordResult::Failed;
        const QImage closeUp = GrabCloseUp(dlg, window);
        GifFrame frame;
        if (closeUp.isNull() || !FrameFromImage(closeUp, frame))
            return RecordResult::Failed;
        recording.width = closeUp.width();
        recording.height = closeUp.height();
        recording.frames.push_back(std::move(frame));
    }
    return RecordResult::Recorded;
}

} // namespace sheetgif
