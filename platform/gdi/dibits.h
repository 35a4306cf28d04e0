// SetDIBits: converts a packed DIB's pixels, in any BMP layout, into the 8-bit indices of a
// DIB section, matching colours to the section's colour table.
#pragma once

#include "gdi.h"

// The buffer at lpBits holds lpbmi->bmiHeader.biSizeImage bytes when that field is nonzero;
// when it is zero (uncompressed layouts only) it holds every row that cLines asks for. No
// byte outside that buffer is ever read and no pixel outside the bitmap is ever written;
// rows or runs the buffer does not hold leave their pixels as they were. Returns the number
// of scan lines converted, or 0 for a layout it cannot convert.
//
// lpbmi is a 40-byte info header followed by the source's colour table (at most 256
// entries are read) or, for BI_BITFIELDS, by the red, green and blue masks. The source
// picture meets the bitmap at its top-left corner and is clipped to it. Scan lines are
// counted from the bottom of the source: the buffer holds lines start to start + cLines - 1,
// stored bottom-up or, for a negative biHeight, top-down. RLE sources are always decoded
// whole (start is ignored, a cLines of 0 converts nothing) and report every line that lies
// in the bitmap. Source indices past the source's table are black. hdc may be null.
int SetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, const void* lpBits,
              const BITMAPINFO* lpbmi, UINT ColorUse);
