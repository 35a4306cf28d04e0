#include "sheet.h"

#include <cctype>
#include <cstring>
#include <string>

CString SheetFileName(int nMode, int nRow) {
    // Unlike the painting, the naming takes any mode but attack for effects.
    const SheetGeometry geometry =
        GetSheetGeometry(nMode != MODE_ATTACK ? MODE_EFFECTS : MODE_ATTACK);
    CString name;
    name.Format(geometry.pattern, nRow / kRowsPerFile);
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

namespace {

bool SameLetters(const std::string& text, size_t pos, const char* lower) {
    for (size_t i = 0; lower[i]; ++i)
        if (pos + i >= text.size() || std::tolower((unsigned char)text[pos + i]) != lower[i])
            return false;
    return true;
}

// "attackNN.bmp" or "effectsNN.bmp", any case: the mode and file number, or -1.
int SheetFileNumber(const std::string& name, int& nMode) {
    static const struct {
        const char* prefix;
        int nMode;
    } kKinds[] = {{"attack", MODE_ATTACK}, {"effects", MODE_EFFECTS}};
    for (const auto& kind : kKinds) {
        const size_t n = strlen(kind.prefix);
        if (name.size() != n + 6 || !SameLetters(name, 0, kind.prefix) ||
            !SameLetters(name, n + 2, ".bmp"))
            continue;
        const char tens = name[n], units = name[n + 1];
        if (!std::isdigit((unsigned char)tens) || !std::isdigit((unsigned char)units))
            return -1;
        const int number = (tens - '0') * 10 + (units - '0');
        if (number * kRowsPerFile > kLastRow)
            return -1;
        nMode = kind.nMode;
        return number;
    }
    return -1;
}

} // namespace

std::optional<DroppedSheet> SheetFromDroppedPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::nullopt;
    int nMode = MODE_ATTACK;
    const int number = SheetFileNumber(path.substr(slash + 1), nMode);
    if (number < 0)
        return std::nullopt;
    std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    if (folder.size() > (size_t)kMaxFolderChars || folder.find('\\') != std::string::npos)
        return std::nullopt;
    return DroppedSheet{folder, nMode, number * kRowsPerFile};
}
