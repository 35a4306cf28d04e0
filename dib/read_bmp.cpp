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
// The pixel buffer's size travels in the 32-bit biSizeImage of the source block.
constexpr unsigned long long kMaxPixelBuffer = 0xFFFFFFFFull;

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

// Bytes that the rows of an uncompressed layout take, 0 for run-length layouts, or more than
// kMaxPixelBuffer when the product does not fit.
unsigned long long UncompressedRowBytes(const BITMAPINFOHEADER& bi) {
    if (bi.biCompression != BI_RGB && bi.biCompression != BI_BITFIELDS)
        return 0;
    if (bi.biWidth <= 0 || bi.biHeight <= 0)
        return 0;
    unsigned long long bits = (unsigned long long)bi.biWidth * bi.biBitCount;
    unsigned long long stride = (bits + 31) / 32 * 4;
    unsigned long long total = 0;
    if (__builtin_mul_overflow(stride, (unsigned long long)bi.biHeight, &total))
        return kMaxPixelBuffer + 1;
    return total;
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

bool ReadPixels(CFile* pFile, BYTE* pBuffer, UINT nCount) {
    try {
        pFile->Read(pBuffer, nCount); // a short file leaves the zeros of the buffer
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
    // Read no more than the file holds, yet give SetDIBits every row it will convert.
    unsigned long long nRead = AnnouncedPixelBytes(bf, bi);
    if (nRead > nAvailable)
        nRead = nAvailable;
    unsigned long long nBuffer = UncompressedRowBytes(bi);
    if (nBuffer < nRead)
        nBuffer = nRead;
    if (nBuffer == 0)
        nBuffer = 1;
    MallocPtr<BYTE> pPixels(
        nBuffer <= kMaxPixelBuffer ? static_cast<BYTE*>(calloc((size_t)nBuffer, 1)) : nullptr);
    if (!pPixels || !ReadPixels(pFile, pPixels.get(), (UINT)nRead)) {
        Destroy();
        return FALSE;
    }
    pSource->bmiHeader.biSizeImage = (DWORD)nBuffer;

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
