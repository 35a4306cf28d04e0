#include "closeup_recorder.h"

#include "sheet.h"
#include "viewer_driver.h"

#include <QImage>

#include <algorithm>

namespace sheetgif {

namespace {

constexpr int kPaintWaitMs = 10000;
constexpr int kNormalTicksPerFrame = 2;
constexpr int kCloseUpDelayHundredths = 10; // 10 frames a second

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
    ViewerDriver viewer(dlg, window);
    if (RecordResult prepared = PrepareRecording(viewer, settings);
        prepared != RecordResult::Recorded)
        return prepared;

    const int ticksPerFrame = settings.bFpsX2 ? 1 : kNormalTicksPerFrame;
    const int frames = GetSheetGeometry(viewer.Mode()).framesPerRow;
    for (int k = 0; k < frames; ++k) {
        // The tick about to be sent makes the counter k x ticksPerFrame for this paint.
        viewer.SetTicks(k * ticksPerFrame - 1);
        if (!viewer.SendTick(kPaintWaitMs))
            return RecordResult::Failed;
        const QImage closeUp = viewer.CloseUp();
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
