// What the paint tests share: a test clock, sheets in which every sprite is one solid colour
// of its own, the viewer's timer ticks sent through the message dispatch, and a look at what
// the window shows.
#pragma once

#include "bmp_writer.h"
#include "gui_support.h"
#include "viewer_driver.h"

#include <QColor>
#include <QImage>
#include <QRect>

#include <functional>
#include <memory>
#include <ostream>
#include <set>

// Readable failure messages.
void PrintTo(const QRect& rc, std::ostream* os);
void PrintTo(const QColor& colour, std::ostream* os);
void PrintTo(const QImage& image, std::ostream* os);

// The places the viewer paints, in client coordinates, as the dialog layout puts them.
inline const QRect kRowFrame(90, 133, 399, 64);
inline const QRect kCloseUpFrame(11, 133, 72, 64);
inline const QRect kStageFrame(11, 215, 478, 167);

// The colour table of the test sheets: index i is (i, 255 - i, 96), so a pixel's red tells
// its index and no entry is black or the dialog's grey.
QColor IndexColour(int nIndex);
// A BMP colour table whose entry i is colour(i).
BmpTable TableOf(const std::function<QColor(int)>& colour);
// The index a shown colour stands for, or -1 for a colour not in the table.
int IndexOf(QColor colour);

// Index 0 is the grid lines and so the key; the sprite of cell n of row r is 1 + 16r + n.
int SpriteIndex(int r, int n);
// The cell of row r whose sprite has that colour, or -1.
int CellOf(QColor colour, int r);

// Writes a sheet for nMode: ten rows of cells of the mode's size, each cell's first column
// and first row index 0, the rest of the cell its sprite index. nCells cells to a row
// (at most 16); 0 gives the mode's frame count.
void WriteCellSheet(const std::string& path, int nMode, int nCells = 0);

// The running viewer as the paint tests drive it. The dialog's own timer is stopped, so that
// ticks come only when the test sends them and frames are exact.
class PaintedViewer : public ViewerDriver {
public:
    PaintedViewer(CViewerDlg& dlg, QWidget& window);

    // Ticks through the driver, each one failing the test when its paint does not come.
    void Tick(int nCount = 1);
    // Sets the clock to dwNow, then ticks once.
    void TickAt(DWORD dwNow);
    QImage Shot() const { return ClientImage(); }

    // A mouse click on a control, or on the client area at a point.
    void Click(int nID);
    void ClickClient(QPoint at);
};

// The cell the close-up shows, read at its centre, or -1.
int CloseUpCell(const QImage& shot, int r);
// The stage's inside (its frame's edge left out) in stage bitmap coordinates.
QRect StageInside();
// The colour of a stage bitmap pixel in the shot.
QColor StagePixel(const QImage& shot, int x, int y);
// The bounds, in stage bitmap coordinates, of every stage pixel that is not the key colour;
// empty when the stage shows only the key.
QRect StageSpriteBounds(const QImage& shot);
// The colour indices of the stage's pixels other than the key.
std::set<int> StageIndices(const QImage& shot);
// Whether the stage bitmap's rectangle rc shows one colour, all of it.
bool StageSolid(const QImage& shot, const QRect& rc, QColor colour);
// Whether a client-area rectangle of the shot shows one colour, all of it.
bool AreaSolid(const QImage& shot, const QRect& rc, QColor colour);
