#include "sheetcheck.h"

#include "sheet.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace sheetcheck {

namespace {

// A loaded sheet seen in picture coordinates.
class Picture {
public:
    explicit Picture(const CDIB& sheet) : m_sheet(sheet) {}
    int Width() const { return m_sheet.GetWidth(); }
    int Height() const { return m_sheet.GetHeight(); }
    int At(int x, int y) const {
        return m_sheet.m_pBits[(size_t)(Height() - 1 - y) * (size_t)m_sheet.GetStride() + x];
    }
    RGBQUAD Colour(int index) const { return m_sheet.m_pBMI->bmiColors[index]; }

private:
    const CDIB& m_sheet;
};

int SquaredDistance(RGBQUAD a, RGBQUAD b) {
    int dr = a.rgbRed - b.rgbRed, dg = a.rgbGreen - b.rgbGreen, db = a.rgbBlue - b.rgbBlue;
    return dr * dr + dg * dg + db * db;
}

std::string ColourText(RGBQUAD c) {
    char text[32];
    snprintf(text, sizeof text, "(%d, %d, %d)", c.rgbRed, c.rgbGreen, c.rgbBlue);
    return text;
}

struct Layout {
    SheetGeometry g;
    int rows;  // rows wholly inside the picture
    int cells; // cells of a row wholly inside the picture
};

Layout LayoutOf(const Picture& pic, int nMode) {
    SheetGeometry g = GetSheetGeometry(nMode);
    int rows = std::min(kRowsPerFile, pic.Height() / g.cellSize);
    int cells = std::min(g.framesPerRow, pic.Width() / g.cellSize);
    return {g, rows, cells};
}

bool OnGridLine(const Layout& l, int x, int y) {
    return x % l.g.cellSize == 0 || y % l.g.cellSize == 0;
}

// The colour most of the grid-line pixels have, the key included; the top-left pixel, which
// is the key by definition, does not vote.
int GridIndex(const Picture& pic, const Layout& l) {
    std::array<int, 256> votes{};
    for (int y = 0; y < l.rows * l.g.cellSize; ++y)
        for (int x = 0; x < l.cells * l.g.cellSize; ++x)
            if (OnGridLine(l, x, y) && (x | y) != 0)
                ++votes[pic.At(x, y)];
    int best = 0;
    for (int i = 1; i < 256; ++i)
        if (votes[i] > votes[best])
            best = i;
    return best;
}

class Checker {
public:
    Checker(const CDIB& sheet, int nMode)
        : m_pic(sheet), m_mode(nMode), m_layout(LayoutOf(m_pic, nMode)),
          m_key(SheetKeyIndex(sheet)), m_grid(GridIndex(m_pic, m_layout)) {}

    std::vector<Finding> Run() {
        CheckSize();
        const int c = m_layout.g.cellSize;
        for (int r = 0; r < m_layout.rows; ++r) {
            for (int y = r * c; y < r * c + c; ++y)
                for (int x = 0; x < m_layout.cells * c; ++x)
                    CheckPixel(x, y);
            for (int n = 0; n < m_layout.cells; ++n)
                CheckCellNotEmpty(r, n);
        }
        return std::move(m_findings);
    }

private:
    void Add(Problem p, int x, int y, std::string detail) {
        const int c = m_layout.g.cellSize;
        m_findings.push_back({p, y / c, x / c, x, y, std::move(detail)});
    }

    void CheckSize() {
        const int needW = m_layout.g.framesPerRow * m_layout.g.cellSize;
        const int needH = kRowsPerFile * m_layout.g.cellSize;
        if (m_pic.Width() >= needW && m_pic.Height() >= needH)
            return;
        char text[96];
        snprintf(text, sizeof text, "picture is %d x %d, smaller than the %d x %d it needs",
                 m_pic.Width(), m_pic.Height(), needW, needH);
        m_findings.push_back({Problem::TooSmall, -1, -1, -1, -1, text});
    }

    void CheckPixel(int x, int y) {
        const int index = m_pic.At(x, y);
        if (index == m_key)
            return;
        const RGBQUAD colour = m_pic.Colour(index);
        if (OnGridLine(m_layout, x, y)) {
            // A uniform grid line is the sheet's own business; a sprite drawn over it is not.
            bool gridless = m_grid == m_key;
            if (gridless || SquaredDistance(colour, m_pic.Colour(m_grid)) > kFringeDistance)
                Add(Problem::OnGrid, x, y,
                    "colour " + ColourText(colour) + " on the grid line" +
                        (gridless ? std::string()
                                  : ", whose colour is " + ColourText(m_pic.Colour(m_grid))));
            return;
        }
        const RGBQUAD key = m_pic.Colour(m_key);
        if (SquaredDistance(colour, key) <= kFringeDistance)
            Add(Problem::NearKey, x, y,
                "colour " + ColourText(colour) + " (index " + std::to_string(index) +
                    ") is close to the key colour " + ColourText(key) + " (index " +
                    std::to_string(m_key) + ")");
    }

    void CheckCellNotEmpty(int r, int n) {
        RECT sprite = SheetSpriteRect(m_mode, r, n);
        for (int y = sprite.top; y < sprite.bottom; ++y)
            for (int x = sprite.left; x < sprite.right; ++x)
                if (m_pic.At(x, y) != m_key)
                    return;
        Add(Problem::EmptyCell, sprite.left, sprite.top, "the sprite holds only the key colour");
    }

    Picture m_pic;
    int m_mode;
    Layout m_layout;
    int m_key;
    int m_grid;
    std::vector<Finding> m_findings;
};

} // namespace

std::vector<Finding> CheckSheet(const CDIB& sheet, int nMode) {
    if (!sheet.m_pBMI || !sheet.m_pBits)
        return {{Problem::NotLoaded, -1, -1, -1, -1, "holds no picture"}};
    return Checker(sheet, nMode).Run();
}

std::string FormatFinding(const std::string& fileName, int nFile, const Finding& f) {
    std::string line = fileName;
    if (f.row >= 0) {
        char where[96];
        snprintf(where, sizeof where, " row %d (offset %d) cell %d pixel (%d, %d)",
                 nFile * kRowsPerFile + f.row, f.row, f.cell, f.x, f.y);
        line += where;
    }
    return line + ": " + f.detail;
}

} // namespace sheetcheck
