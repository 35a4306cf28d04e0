#include "paint_support.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QTest>

#include <cstdio>
#include <vector>

namespace {

constexpr int kKeyIndex = 0;
constexpr int kGreen = 96;

// The index of picture pixel (x, y), y counted from the top.
unsigned char CellSheetPixel(int x, int y, int c) {
    if (x % c == 0 || y % c == 0)
        return kKeyIndex;
    return (unsigned char)SpriteIndex(y / c, x / c);
}

std::vector<unsigned char> CellSheetBmp(int width, int height, int c) {
    return EncodeBmp8(
        width, height, [c](int x, int y) { return CellSheetPixel(x, y, c); }, TableOf(IndexColour));
}

QRect ToClient(const QRect& stageRect) {
    return stageRect.translated(kStageFrame.topLeft());
}

} // namespace

void PrintTo(const QRect& rc, std::ostream* os) {
    *os << "(" << rc.x() << ", " << rc.y() << ") " << rc.width() << "x" << rc.height();
}

void PrintTo(const QColor& colour, std::ostream* os) {
    *os << "rgb(" << colour.red() << ", " << colour.green() << ", " << colour.blue() << ")";
}

void PrintTo(const QImage& image, std::ostream* os) {
    *os << "image " << image.width() << "x" << image.height();
}

QColor IndexColour(int nIndex) {
    return QColor(nIndex, 255 - nIndex, kGreen);
}

BmpTable TableOf(const std::function<QColor(int)>& colour) {
    BmpTable table;
    for (int i = 0; i < 256; ++i) {
        const QColor c = colour(i);
        table[i] = {(uint8_t)c.blue(), (uint8_t)c.green(), (uint8_t)c.red(), 0};
    }
    return table;
}

int IndexOf(QColor colour) {
    int i = colour.red();
    return colour == IndexColour(i) ? i : -1;
}

int SpriteIndex(int r, int n) {
    return 1 + 16 * r + n;
}

int CellOf(QColor colour, int r) {
    int i = IndexOf(colour);
    int n = i - SpriteIndex(r, 0);
    return i > kKeyIndex && n >= 0 && n < 16 ? n : -1;
}

void WriteCellSheet(const std::string& path, int nMode, int nCells) {
    const SheetGeometry geometry = GetSheetGeometry(nMode);
    const int c = geometry.cellSize;
    const int cells = nCells > 0 ? nCells : geometry.framesPerRow;
    ASSERT_LE(cells, 16);
    ASSERT_TRUE(
        fixtures::WriteFileBytes(path.c_str(), CellSheetBmp(cells * c, kRowsPerFile * c, c)))
        << path;
}

PaintedViewer::PaintedViewer(CViewerDlg& dlg, QWidget& window) : ViewerDriver(dlg, window) {
    StopAnimationTimer();
    Tick();
}

void PaintedViewer::Tick(int nCount) {
    for (int i = 0; i < nCount; ++i)
        EXPECT_TRUE(SendTick()) << "a tick brought no paint";
}

void PaintedViewer::TickAt(DWORD dwNow) {
    SetClock(dwNow);
    Tick();
}

void PaintedViewer::Click(int nID) {
    QWidget* control = Control(nID);
    ASSERT_NE(control, nullptr) << nID;
    QTest::mouseClick(control, Qt::LeftButton);
}

void PaintedViewer::ClickClient(QPoint at) {
    QTest::mouseClick(&Window(), Qt::LeftButton, {}, at);
}

int CloseUpCell(const QImage& shot, int r) {
    return CellOf(shot.pixelColor(kCloseUpFrame.center()), r);
}

// The frame control draws its edge over the stage's outermost pixels.
QRect StageInside() {
    return QRect(QPoint(0, 0), kStageFrame.size()).adjusted(2, 2, -2, -2);
}

QColor StagePixel(const QImage& shot, int x, int y) {
    return shot.pixelColor(kStageFrame.topLeft() + QPoint(x, y));
}

QRect StageSpriteBounds(const QImage& shot) {
    const QColor key = IndexColour(kKeyIndex);
    const QRect inside = StageInside();
    QRect bounds;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (StagePixel(shot, x, y) != key)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

std::set<int> StageIndices(const QImage& shot) {
    std::set<int> indices;
    const QRect inside = StageInside();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            indices.insert(IndexOf(StagePixel(shot, x, y)));
    indices.erase(kKeyIndex);
    return indices;
}

bool StageSolid(const QImage& shot, const QRect& rc, QColor colour) {
    return AreaSolid(shot, ToClient(rc), colour);
}

bool AreaSolid(const QImage& shot, const QRect& rc, QColor colour) {
    for (int y = rc.top(); y <= rc.bottom(); ++y)
        for (int x = rc.left(); x <= rc.right(); ++x)
            if (shot.pixelColor(x, y) != colour)
                return false;
    return !rc.isEmpty();
}
