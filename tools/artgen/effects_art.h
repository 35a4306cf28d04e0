// The sparkles of the effects sheets: 200 rows of 16 frames each, played first to last.
#pragma once

#include "sheet.h"
#include "sprite.h"

namespace artgen {

constexpr int kEffectKinds = 8;
constexpr int kEffectFrames = GetSheetGeometry(MODE_EFFECTS).framesPerRow;
constexpr int kEffectSpriteSize = GetSheetGeometry(MODE_EFFECTS).cellSize - 1;

void DrawEffectCell(Sprite& sprite, int row, int cell);

} // namespace artgen
