// Sprite-sheet layout and row addressing: how a global row number names a sheet file, a row
// in it, its cells and sprites, and which colour index is transparent.
#pragma once

#include "dib.h"

#include <optional>
#include <string>

enum { MODE_ATTACK = 0, MODE_EFFECTS = 1 };

constexpr int kRowsPerFile = 10;
constexpr int kLastRow = 199;
constexpr int kMaxFolderChars = 899; // of the folder text that goes into a path

struct SheetGeometry {
    LPCTSTR pattern;  // file name pattern, "attack%02d.bmp" or "effects%02d.bmp"
    int cellSize;     // C: square cells of C x C pixels
    int framesPerRow; // F
};

// The painting's rule: only MODE_EFFECTS selects the effects geometry.
constexpr SheetGeometry GetSheetGeometry(int nMode) {
    if (nMode == MODE_EFFECTS)
        return {"effects%02d.bmp", 16, 16};
    return {"attack%02d.bmp", 48, 8};
}

// The file name of row nRow; any nonzero mode names an effects sheet.
CString SheetFileName(int nMode, int nRow);
int RowInFile(int nRow);
// "%s\%s" with the folder as typed (its first 899 characters) and the file name.
CString SheetPath(LPCTSTR lpszFolder, LPCTSTR lpszFileName);
// "This is the row at offset %d of the file %s"
CString SheetInfoLine(int nRow, LPCTSTR lpszFileName);

// The whole row r of a sheet, grid lines included.
RECT SheetRowRect(int nMode, int r);
// The sprite of cell n of row r: the cell less its first column and first row.
RECT SheetSpriteRect(int nMode, int r, int n);
// A file dropped on the viewer, when it is a sheet the viewer can show: its folder as the
// folder edit would hold it, its mode and its first row.
struct DroppedSheet {
    std::string folder;
    int nMode;
    int nFirstRow;
};
// A local path whose name is attackNN.bmp or effectsNN.bmp, in any case, with NN from 00 to
// 19. Nothing for any other name, and for a folder that the folder edit could not pass on
// whole (longer than kMaxFolderChars, or holding a backslash, which the viewer reads as a
// separator).
std::optional<DroppedSheet> SheetFromDroppedPath(const std::string& path);

// The key index: the byte of the top-left pixel, or -1 when the sheet holds no picture.
int SheetKeyIndex(const CDIB& sheet);
