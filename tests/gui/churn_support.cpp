#include "churn_support.h"

#include "../unit/read_test_support.h"

#include <QCoreApplication>
#include <QScreen>
#include <QTest>
#include <QTimerEvent>

#include <cstdio>
#include <sstream>

BYTE PatternIndex(int x, int y, int nSeed) {
    return (BYTE)((x * 3 + y * 7 + nSeed * 31 + (x / 16) * 5) & 0xFF);
}

QRgb PatternColor(BYTE index) {
    // Red, green and blue never repeat together: red alone tells the index.
    return qRgb(index, 255 - index, (index * 5) & 0xFF);
}

std::vector<BYTE> PatternBmp(int width, int height, int nSeed) {
    BmpTable table;
    for (int i = 0; i < 256; ++i) {
        QRgb c = PatternColor((BYTE)i);
        table[i] = {(BYTE)qBlue(c), (BYTE)qGreen(c), (BYTE)qRed(c), 0};
    }
    return EncodeBmp8(
        width, height, [nSeed](int x, int y) { return PatternIndex(x, y, nSeed); }, table);
}

std::vector<BYTE> SpriteJpeg(int width, int height, int quality, bool bProgressive) {
    readtest::JpegOptions opt;
    opt.quality = quality;
    opt.progressive = bProgressive;
    return readtest::EncodeJpeg(readtest::SpritePicture(width, height), width, height, 3, opt);
}

void WriteBytes(const std::string& path, const std::vector<BYTE>& bytes, size_t n) {
    // A new file each time: ext4 flushes a file truncated and rewritten in place to disk when
    // it is closed, which would make thousands of rewrites slow.
    remove(path.c_str());
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    const size_t written = n > 0 ? fwrite(bytes.data(), 1, n, file) : 0;
    fclose(file);
    ASSERT_EQ(written, n) << path;
}

PaintDriver::PaintDriver(CViewerDlg& dlg, QWidget& window)
    : ViewerDriver(dlg, window), m_window(window) {
    m_window.installEventFilter(this);
    // The dialog's own timer names itself by ticking once; 50 ms is its period.
    if (!QTest::qWaitFor([this] { return m_timerId != 0; }, 2000))
        ADD_FAILURE() << "the dialog's timer never ticked";
}

PaintDriver::~PaintDriver() {
    m_window.removeEventFilter(this);
}

bool PaintDriver::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_window && event->type() == QEvent::Timer && m_timerId == 0)
        m_timerId = static_cast<QTimerEvent*>(event)->timerId();
    return QObject::eventFilter(watched, event);
}

void PaintDriver::Tick() {
    const int before = Ticks();
    QTimerEvent tick(m_timerId);
    QCoreApplication::sendEvent(&m_window, &tick);
    EXPECT_NE(Ticks(), before) << "the timer event is not the dialog's timer";
    QCoreApplication::processEvents();
}

ScreenShot::ScreenShot(QWidget& window)
    : m_image(window.screen()->grabWindow(window.winId()).toImage()) {}

std::string StripMismatch(QWidget& window, const ViewerDriver& viewer, const CDIB& sheet) {
    const SheetGeometry g = GetSheetGeometry(viewer.Mode());
    const int C = g.cellSize, r = viewer.Row() % kRowsPerFile;
    const RECT strip = viewer.RowStrip();
    if (strip.right - strip.left != g.framesPerRow * C || strip.bottom - strip.top != C)
        return "the strip rectangle is not one row";
    const ScreenShot shot(window);
    const RGBQUAD* table = sheet.m_pBMI ? sheet.m_pBMI->bmiColors : nullptr;
    for (int y = 0; y < C; ++y) {
        for (int x = 0; x < g.framesPerRow * C; ++x) {
            const int sy = r * C + y;
            QRgb expected = 0;
            if (table && x < sheet.GetWidth() && sy < sheet.GetHeight()) {
                const BYTE index =
                    sheet.m_pBits[(size_t)sheet.GetStride() * (sheet.GetHeight() - 1 - sy) + x];
                expected = qRgb(table[index].rgbRed, table[index].rgbGreen, table[index].rgbBlue);
            }
            const QRgb shown = shot.At(strip.left + x, strip.top + y);
            if (shown != (expected & 0xFFFFFF)) {
                std::ostringstream out;
                out << "strip pixel " << x << "," << y << " shows " << std::hex << shown
                    << " instead of " << (expected & 0xFFFFFF);
                return out.str();
            }
        }
    }
    return {};
}
