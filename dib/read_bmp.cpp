// CDIB::ReadBMP: reads a BMP with a 40-byte info header into the 8-bit image, keeping the
// file's colour table and letting SetDIBits convert the pixels.
#include "dib.h"
#include "dibits.h"

#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>

static_assert(std::endian::native == std::endian::little,
              "BMP headers are read straight into their structs");

namespace {

constexpr WORD kBmpSignature = 0x4D42; // "BM"

struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};
template <typename T> using MallocPtr = std::unique_ptr<T, FreeDeleter>;

bool ReadInfoHeader(CFile* pFile, BITMAPINFOHEADER* pInfo) {
    try {
        return pFile->Read(pInfo, sizeof(*pInfo)) == sizeof(*pInfo);
    } catch (CException* e) {
        e->Delete();
        return false;
    }
}

// Reads the colour masks or the colour table that follow the header into the block's table.
bool ReadColorTable(CFile* pFile, BITMAPINFO* pSource) {
    BYTE* pTable = reinterpret_cast<BYTE*>(pSource) + sizeof(BITMAPINFOHEADER);
    try {
        UINT n = 4 * (UINT)GetNumColors(&pSource->bmiHeader);
        if (n > 12 && pSource->bmiHeader.biCompression == BI_BITFIELDS) {
            pFile->Seek(12, CFile::current);
            n -= 12;
        }
        if (n > 256 * sizeof(RGBQUAD))
            n = 256 * sizeof(RGBQUAD);
        return pFile->Read(pTable, n) >= n;
    } catch (CException* e) {
        e->Delete();
        return false;
    }
}

// Pixel bytes the headers announce: bfSize - bfOffBits, capped by a nonzero biSizeImage.
DWORD AnnouncedPixelBytes(const BITMAPFILEHEADER& bf, const BITMAPINFOHEADER& bi) {
    DWORD count = bf.bfSize - bf.bfOffBits;
    if (bi.biSizeImage != 0 && count >= bi.biSizeImage)
        count = bi.biSizeImage;
    return count;
}

bool IsRunLength(const BITMAPINFOHEADER& bi) {
    return bi.biCompression == BI_RLE8 || bi.biCompression == BI_RLE4;
}

// The layouts SetDIBits converts; anything else would fail only after the bitmap was made.
bool IsConvertibleLayout(const BITMAPINFOHEADER& bi) {
    switch (bi.biCompression) {
    case BI_RGB:
        return bi.biBitCount == 1 || bi.biBitCount == 4 || bi.biBitCount == 8 ||
               bi.biBitCount == 16 || bi.biBitCount == 24 || bi.biBitCount == 32;
    case BI_RLE8:
        return bi.biBitCount == 8;
    case BI_RLE4:
        return bi.biBitCount == 4;
    case BI_BITFIELDS:
        return bi.biBitCount == 16 || bi.biBitCount == 32;
    default:
        return false;
    }
}

// The most pixel bytes a picture of this size and layout can use: every padded row of an
// uncompressed layout; for run lengths, two bytes a pixel (runs of one, the costliest
// encoding) plus an end-of-line a row and the end of the picture. Bytes past that are never
// looked at. Width and height are positive, so nothing here can overflow.
unsigned long long PixelBytesUsable(const BITMAPINFOHEADER& bi) {
    const unsigned long long width = (unsigned long long)bi.biWidth;
    const unsigned long long height = (unsigned long long)bi.biHeight;
    if (IsRunLength(bi))
        return 2 * (width + 1) * height + 2;
    return (width * bi.biBitCount + 31) / 32 * 4 * height;
}

// Bytes of the 8-bit bitmap that Create makes for the header's size.
unsigned long long BitmapBytes(const BITMAPINFOHEADER& bi) {
    return (((unsigned long long)bi.biWidth + 3) & ~3ull) * (unsigned long long)bi.biHeight;
}

// The budget is charged what the header announces, not what the file holds so far, so that a
// sheet caught half-written gets the same answer as the finished one.
bool FitsDecodeBudget(const BITMAPINFOHEADER& bi, unsigned long long nPixelBytes) {
    const unsigned long long nBitmap = BitmapBytes(bi);
    return nBitmap <= kDecodeBudgetBytes && nPixelBytes <= kDecodeBudgetBytes - nBitmap;
}

// True when nBytes hold no whole pixel: SetDIBits would then convert no line at all.
bool HoldsNoPixel(const BITMAPINFOHEADER& bi, unsigned long long nBytes) {
    return nBytes * 8 < (IsRunLength(bi) ? 1u : bi.biBitCount);
}

// Seeks to the pixel data and tells how many bytes the file still holds from there.
bool SeekToPixels(CFile* pFile, ULONGLONG nOffset, ULONGLONG* pAvailable) {
    try {
        ULONGLONG nPos = pFile->Seek((LONGLONG)nOffset, CFile::begin);
        ULONGLONG nLength = pFile->GetLength();
        *pAvailable = nLength > nPos ? nLength - nPos : 0;
        return true;
    } catch (CException* e) {
        e->Delete();
        return false;
    }
}

// Reads up to nCount bytes; *pRead tells how many came (a file may shrink while it is read).
bool ReadPixels(CFile* pFile, BYTE* pBuffer, UINT nCount, UINT* pRead) {
    try {
        *pRead = pFile->Read(pBuffer, nCount);
        return true;
    } catch (CException* e) {
        e->Delete();
        return false;
    }
}

} // namespace

BOOL CDIB::ReadBMP(CFile* pFile, CPalette* pPalette) {
    if (!pFile)
        return FALSE;
    const ULONGLONG p0 = pFile->GetPosition();
    BITMAPFILEHEADER bf;
    if (pFile->Read(&bf, sizeof(bf)) < sizeof(bf) || bf.bfType != kBmpSignature)
        return FALSE;
    BITMAPINFOHEADER bi;
    if (!ReadInfoHeader(pFile, &bi))
        return FALSE;
    if (bi.biSize != sizeof(BITMAPINFOHEADER) || bi.biPlanes != 1)
        return FALSE;

    Destroy();
    // A pixel count that wrapped below zero announces ~4 GB that no file holds.
    if (bf.bfSize < bf.bfOffBits && bi.biSizeImage == 0)
        return FALSE;
    // Everything the header alone decides is settled before anything large is allocated.
    if (bi.biWidth <= 0 || bi.biHeight <= 0 || !IsConvertibleLayout(bi))
        return FALSE;
    unsigned long long nPixelBytes = AnnouncedPixelBytes(bf, bi);
    if (nPixelBytes > PixelBytesUsable(bi))
        nPixelBytes = PixelBytesUsable(bi);
    if (!FitsDecodeBudget(bi, nPixelBytes))
        return FALSE;

    MallocPtr<BITMAPINFO> pSource(static_cast<BITMAPINFO*>(calloc(1, kDibInfoBytes)));
    if (!pSource)
        return FALSE;
    pSource->bmiHeader = bi;
    if (!ReadColorTable(pFile, pSource.get()))
        return FALSE;

    CPalette palette;
    BuildPalette(pSource.get(), pPalette, &palette);
    if (!Create(bi.biWidth, bi.biHeight, 0, &palette))
        return FALSE;

    ULONGLONG nAvailable = 0;
    if (!SeekToPixels(pFile, p0 + bf.bfOffBits, &nAvailable)) {
        Destroy();
        return FALSE;
    }
    // The buffer holds only the bytes the file has; the rows it lacks keep index 0.
    if (nPixelBytes > nAvailable)
        nPixelBytes = nAvailable;
    if (HoldsNoPixel(bi, nPixelBytes))
        return TRUE;
    MallocPtr<BYTE> pPixels(static_cast<BYTE*>(malloc((size_t)nPixelBytes)));
    UINT nRead = 0;
    if (!pPixels || !ReadPixels(pFile, pPixels.get(), (UINT)nPixelBytes, &nRead)) {
        Destroy();
        return FALSE;
    }
    if (HoldsNoPixel(bi, nRead))
        return TRUE;
    pSource->bmiHeader.biSizeImage = nRead;

    SelectObject(m_hDC, m_hOldBitmap);
    int nLines = SetDIBits(m_hDC, m_hBitmap, 0, (UINT)bi.biHeight, pPixels.get(), pSource.get(),
                           DIB_RGB_COLORS);
    SelectObject(m_hDC, m_hBitmap);
    if (nLines == 0) {
        Destroy();
        return FALSE;
    }
    return TRUE;
}
