// Helpers shared by the drawing and text code of the graphics floor.
#pragma once

#include "gdi_internal.h"

namespace gdi {

// The RGB a COLORREF stands for on a context: PALETTEINDEX colours are looked up in the
// selected palette (out of range: entry 0, as the original platform does); plain and
// PALETTERGB colours are their low 24 bits.
void ResolveRgb(const DeviceContext* dc, COLORREF color, BYTE& r, BYTE& g, BYTE& b);

} // namespace gdi

// Index of the bitmap table entry that a COLORREF stands for on a memory context: plain and
// PALETTERGB colours are matched to the table, PALETTEINDEX colours go through the selected
// palette first. -1 when the context has no bitmap.
int MatchColorToBitmap(HDC hdc, COLORREF color);
