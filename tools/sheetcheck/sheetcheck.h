// sheetcheck: finds the faults in a folder of sprite sheets that show in the viewer: sheets
// that do not load (and why, with the fix) or are too small, sprite pixels that fringe the
// key colour, sprites drawn over the grid lines, and empty cells.
#pragma once

#include "dib.h"

#include <ostream>
#include <string>
#include <vector>

namespace sheetcheck {

// A sprite colour this close to the key colour (squared RGB distance) shows as a fringe round
// the sprite: 3 x 16^2, a difference of 16 levels in each channel.
constexpr int kFringeDistance = 3 * 16 * 16;

enum class Problem { NotLoaded, TooSmall, NearKey, OnGrid, EmptyCell };

struct Finding {
    Problem problem;
    int row = -1;  // row in the file, 0..9; -1 for the whole file
    int cell = -1; // cell in the row; -1 for the whole file
    int x = -1;    // picture coordinates, origin at the top left
    int y = -1;
    std::string detail;
};

// Checks one loaded sheet of a mode (MODE_ATTACK or MODE_EFFECTS), cells that lie wholly
// inside the picture only. Findings come in picture order, top to bottom.
std::vector<Finding> CheckSheet(const CDIB& sheet, int nMode);

// "attack03.bmp row 34 (offset 4) cell 2 pixel (97, 193): ...", the viewer's row number first.
std::string FormatFinding(const std::string& fileName, int nFile, const Finding& f);

enum ExitStatus { kClean = 0, kFindings = 1, kUsageError = 2 };

// Checks attack00..19 and effects00..19 of the folder, writing one line per finding to out
// and errors to err. A sheet that is not there is not a finding.
int CheckFolder(const std::string& folder, std::ostream& out, std::ostream& err);

} // namespace sheetcheck
