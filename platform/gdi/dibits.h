// SetDIBits: converts a packed DIB's pixels, in any BMP layout, into the 8-bit indices of a
// DIB section, matching colours to the section's colour table.
#pragma once

#include "gdi.h"

// The buffer at lpBits holds lpbmi->bmiHeader.biSizeImage bytes when that field is nonzero;
// when it is zero (uncompressed layouts only) it holds every row that cLines asks for. No
// byte outside that buffer is ever read and no pixel outside the bitmap is ever written;
// rows or runs the buffer does not hold leave their pixels as they were. Returns the number
// of scan lines converted, or 0 for a layout it cannot convert.
int SetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, const void* lpBits,
              const BITMAPINFO* lpbmi, UINT ColorUse);
