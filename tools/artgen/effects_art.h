// The sparkles of the effects sheets: 200 rows of 16 frames each, played first to last.
#pragma once

#include "sprite.h"

namespace artgen {

constexpr int kEffectKinds = 8;
constexpr int kEffectFrames = 16;
constexpr int kEffectSpriteSize = 15;

void DrawEffectCell(Sprite& sprite, int row, int cell);

} // namespace artgen
