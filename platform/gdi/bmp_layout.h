// Which BMP layouts the graphics floor converts, and why one is refused. The image library's
// reader, SetDIBits and the sheet diagnosis all ask here, so a layout that one of them takes
// is never refused by another.
#pragma once

#include "gdi.h"

// Why a BMP does not load. The first group is told by the 40-byte info header alone; the image
// library adds the causes that need the file around it (the words for each live there too).
enum class BmpFault {
    None,
    HeaderSize,         // an info header other than the 40-byte one
    Planes,             // biPlanes other than 1
    TopDown,            // rows stored top row first where they must be bottom-up
    NoPicture,          // a width of 0 or less, or a height of 0
    PackedPicture,      // BI_JPEG or BI_PNG: a whole compressed picture inside the BMP
    UnknownCompression, // a compression past BI_PNG
    UnknownDepth,       // bits a pixel other than 1, 4, 8, 16, 24 or 32
    DepthMismatch,      // a compression and a depth that do not go together
    SizeWraps,          // bfSize below bfOffBits with no biSizeImage: ~4 GB that no file holds
    OverBudget,         // more memory to decode than kDecodeBudgetBytes
    PixelsPastBytes     // far more pixels announced than the file's bytes can describe
};

// Whether rows stored top row first (a negative biHeight) are acceptable. Run-length data is
// bottom-up in every case.
enum class BmpRows { BottomUpOnly, EitherWay };

inline bool IsKnownBitCount(unsigned bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

inline bool IsRunLengthCompression(DWORD compression) {
    return compression == BI_RLE8 || compression == BI_RLE4;
}

// The pairings of compression and depth that the converter takes.
inline bool IsConvertiblePairing(DWORD compression, unsigned bits) {
    switch (compression) {
    case BI_RGB:
        return IsKnownBitCount(bits);
    case BI_RLE8:
        return bits == 8;
    case BI_RLE4:
        return bits == 4;
    case BI_BITFIELDS:
        return bits == 16 || bits == 32;
    default:
        return false;
    }
}

// The fault of an info header, in the order a person fixing the file meets them: the kind of
// header, then the picture's shape, then how its pixels are stored.
inline BmpFault CheckBmpLayout(const BITMAPINFOHEADER& h, BmpRows rows) {
    if (h.biSize != sizeof(BITMAPINFOHEADER))
        return BmpFault::HeaderSize;
    if (h.biPlanes != 1)
        return BmpFault::Planes;
    if (h.biHeight < 0 && rows == BmpRows::BottomUpOnly)
        return BmpFault::TopDown;
    if (h.biWidth <= 0 || h.biHeight == 0)
        return BmpFault::NoPicture;
    if (h.biCompression == BI_JPEG || h.biCompression == BI_PNG)
        return BmpFault::PackedPicture;
    if (h.biCompression > BI_PNG)
        return BmpFault::UnknownCompression;
    if (!IsKnownBitCount(h.biBitCount))
        return BmpFault::UnknownDepth;
    if (!IsConvertiblePairing(h.biCompression, h.biBitCount))
        return BmpFault::DepthMismatch;
    if (h.biHeight < 0 && IsRunLengthCompression(h.biCompression))
        return BmpFault::TopDown;
    return BmpFault::None;
}
