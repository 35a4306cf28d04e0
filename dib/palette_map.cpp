// Remapping a CDIB's pixels and colour table to the nearest colours of a logical palette.
#include "dib.h"

#include <cstddef>

BOOL CDIB::MapToPalette(CPalette* pPal) {
    if (!m_pBMI || !m_pBits || !pPal)
        return FALSE;
    // A palette object without a palette, or with no entries, has no colours to map to: every
    // lookup would fail and the pixels would be wiped.
    const HPALETTE hPal = *pPal;
    if (GetPaletteEntries(hPal, 0, 0, nullptr) == 0)
        return FALSE;

    RGBQUAD* table = m_pBMI->bmiColors;
    BYTE map[256];
    int changed = 0;
    for (int i = 0; i < 256; ++i) {
        COLORREF color = RGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
        map[i] = (BYTE)GetNearestPaletteIndex(hPal, color);
        changed += map[i] != i;
    }
    if (changed > 0) {
        const size_t bytes = (size_t)GetStride() * (size_t)GetHeight();
        for (size_t i = 0; i < bytes; ++i)
            m_pBits[i] = map[m_pBits[i]];
    }

    // Past the end of a short palette the read fails and the entry keeps the colour last
    // read: the rest of the table repeats the palette's last colour.
    PALETTEENTRY entry{0, 0, 0, 0};
    for (UINT i = 0; i < 256; ++i) {
        GetPaletteEntries(hPal, i, 1, &entry);
        table[i] = RGBQUAD{entry.peBlue, entry.peGreen, entry.peRed, 0};
    }
    m_pBMI->bmiHeader.biClrUsed = 256;
    // The DIB section draws through its own copy of the table; it must describe the remapped
    // indices too, or every later Draw would show them in the old colours.
    SetDIBColorTable(m_hDC, 0, 256, table);
    return TRUE;
}
