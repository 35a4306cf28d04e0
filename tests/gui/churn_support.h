// What the long-session and half-written-file tests share: sheet files as bytes, a driver
// that makes the dialog paint through its own timer, and a look at the row strip on screen.
#pragma once

#include "gui_support.h"
#include "mem_file.h"

#include <QObject>

#include <string>
#include <vector>

// An 8-bit BMP sheet whose colour table holds 256 different colours and whose pixel at
// (x, y) from the top left is PatternIndex(x, y, nSeed).
std::vector<BYTE> PatternBmp(int width, int height, int nSeed);
BYTE PatternIndex(int x, int y, int nSeed);
QRgb PatternColor(BYTE index);

// A colour JPEG (JFIF) of sprite-like content.
std::vector<BYTE> SpriteJpeg(int width, int height, int quality, bool bProgressive);

// Writes the first n bytes of `bytes` over the file at path.
void WriteBytes(const std::string& path, const std::vector<BYTE>& bytes, size_t n);

// Makes the dialog paint as its timer does: a tick of the dialog's own Qt timer delivered
// through the event loop, then the repaint the tick asked for. Paints() counts every paint of
// the dialog, whatever caused it.
class PaintDriver : public QObject, public ViewerDriver {
public:
    PaintDriver(CViewerDlg& dlg, QWidget& window);
    ~PaintDriver() override;

    // False when the dialog's timer never ticked, so its id is unknown.
    bool Ready() const { return m_timerId != 0; }
    // One timer tick, then whatever the event loop has to do.
    void Tick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    int m_timerId = 0;
};

// The colour the row strip shows at (x, y) of the strip, as the window holds it now.
class ScreenShot {
public:
    explicit ScreenShot(QWidget& window);
    QRgb At(int x, int y) const { return m_image.pixel(x, y) & 0xFFFFFF; }

private:
    QImage m_image;
};

// Where the row strip of `sheet` differs from what the window shows; empty when it matches.
// The strip shows row r of the sheet whole, from its left edge, in the sheet's own colours.
std::string StripMismatch(QWidget& window, const ViewerDriver& viewer, const CDIB& sheet);
