// The thrown objects of the attack sheets: 200 rows of 8 frames each.
#pragma once

#include "sheet.h"
#include "sprite.h"

namespace artgen {

constexpr int kAttackKinds = 20;
constexpr int kAttackFrames = GetSheetGeometry(MODE_ATTACK).framesPerRow;
constexpr int kAttackSpriteSize = GetSheetGeometry(MODE_ATTACK).cellSize - 1;

// Draws frame `cell` (0..7, as laid out in the row) of attack row `row` (0..199). The viewer
// plays attack rows from the last cell to the first, so cell 7 is the first moment shown.
void DrawAttackCell(Sprite& sprite, int row, int cell);

} // namespace artgen
