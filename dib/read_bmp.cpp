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

bool IsRunLength(const BITMAPINFOHEADER& bi) {
    return IsRunLengthCompression(bi.biCompression);
}

// True when nBytes hold no whole pixel: SetDIBits would then convert no line at all.
bool HoldsNoPixel(const BITMAPINFOHEADER& bi, unsigned long long nBytes) {
    return nBytes * 8 < (IsRunLength(bi) ? 1u : bi.biBitCount);
}

// Bytes of the file from nStart to its end; none when its length cannot be had.
ULONGLONG FileBytesFrom(CFile* pFile, ULONGLONG nStart) {
    try {
        const ULONGLONG nLength = pFile->GetLength();
        return nLength > nStart ? nLength - nStart : 0;
    } catch (CException* e) {
        e->Delete();
        return 0;
    }
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

// Pixel bytes the headers announce: bfSize - bfOffBits, capped by a nonzero biSizeImage, and
// never more than the picture can use: every padded row of an uncompressed layout; for run
// lengths, two bytes a pixel (runs of one, the costliest encoding) plus an end-of-line a row
// and the end of the picture. Bytes past that are never looked at.
unsigned long long BmpPixelBytes(const BITMAPFILEHEADER& bf, const BITMAPINFOHEADER& bi) {
    unsigned long long count = (DWORD)(bf.bfSize - bf.bfOffBits);
    if (bi.biSizeImage != 0 && count >= bi.biSizeImage)
        count = bi.biSizeImage;
    const unsigned long long width = (unsigned long long)bi.biWidth;
    const unsigned long long height = (unsigned long long)bi.biHeight;
    const unsigned long long usable = IsRunLength(bi)
                                          ? 2 * (width + 1) * height + 2
                                          : (width * bi.biBitCount + 31) / 32 * 4 * height;
    return count < usable ? count : usable;
}

// The budget is charged what the header announces, not what the file holds so far, so that a
// sheet caught half-written gets the same answer as the finished one.
unsigned long long BmpDecodeCost(const BITMAPFILEHEADER& bf, const BITMAPINFOHEADER& bi) {
    const unsigned long long nBitmap =
        DibStride((unsigned long long)bi.biWidth) * (unsigned long long)bi.biHeight;
    return nBitmap + BmpPixelBytes(bf, bi);
}

BmpFault BmpLoadFault(const BITMAPFILEHEADER& bf, const BITMAPINFOHEADER& bi,
                      unsigned long long nFileBytes) {
    const BmpFault layout = CheckBmpLayout(bi, BmpRows::BottomUpOnly);
    if (layout != BmpFault::None)
        return layout;
    if (bf.bfSize < bf.bfOffBits && bi.biSizeImage == 0)
        return BmpFault::SizeWraps;
    if (BmpDecodeCost(bf, bi) > kDecodeBudgetBytes)
        return BmpFault::OverBudget;
    if (AnnouncesMorePixelsThanBytes((unsigned long long)bi.biWidth,
                                     (unsigned long long)bi.biHeight, nFileBytes))
        return BmpFault::PixelsPastBytes;
    return BmpFault::None;
}

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
    // A header of another kind is not this reader's: the image stays as it was.
    const BmpFault fault = BmpLoadFault(bf, bi, FileBytesFrom(pFile, p0));
    if (fault == BmpFault::HeaderSize || fault == BmpFault::Planes)
        return FALSE;
    Destroy();
    // Everything the header alone decides is settled before anything large is allocated.
    if (fault != BmpFault::None)
        return FALSE;
    unsigned long long nPixelBytes = BmpPixelBytes(bf, bi);

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
