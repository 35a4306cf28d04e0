#include "sheet.h"

#include <cstring>
#include <string>

SheetGeometry GetSheetGeometry(int nMode) {
    if (nMode == MODE_EFFECTS)
        return {"effects%02d.bmp", 16, 16};
    return {"attack%02d.bmp", 48, 8};
}

CString SheetFileName(int nMode, int nRow) {
    CString name;
    name.Format(nMode != 0 ? "effects%02d.bmp" : "attack%02d.bmp", nRow / kRowsPerFile);
    return name;
}

int RowInFile(int nRow) {
    return nRow % kRowsPerFile;
}

CString SheetPath(LPCTSTR lpszFolder, LPCTSTR lpszFileName) {
    std::string folder(lpszFolder ? lpszFolder : "");
    if (folder.size() > (size_t)kMaxFolderChars)
        folder.resize(kMaxFolderChars);
    CString path;
    path.Format("%s\\%s", folder.c_str(), lpszFileName ? lpszFileName : "");
    return path;
}

CString SheetInfoLine(int nRow, LPCTSTR lpszFileName) {
    CString line;
    line.Format("This is the row at offset %d of the file %s", RowInFile(nRow),
                lpszFileName ? lpszFileName : "");
    return line;
}

RECT SheetRowRect(int nMode, int r) {
    SheetGeometry g = GetSheetGeometry(nMode);
    return RECT{0, r * g.cellSize, g.framesPerRow * g.cellSize, r * g.cellSize + g.cellSize};
}

RECT SheetSpriteRect(int nMode, int r, int n) {
    int c = GetSheetGeometry(nMode).cellSize;
    return RECT{n * c + 1, r * c + 1, n * c + c, r * c + c};
}

int SheetKeyIndex(const CDIB& sheet) {
    if (!sheet.m_pBMI || !sheet.m_pBits)
        return -1;
    return sheet.m_pBits[(size_t)(sheet.GetHeight() - 1) * (size_t)sheet.GetStride()];
}
