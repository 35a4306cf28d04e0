// Telling a finished sheet file from one still being written, from the file's own structure:
// the sizes a BMP header gives, the codes of run-length data, a JPEG's markers (walked by the
// reader's own marker walk).
#include "sheet_complete.h"

#include "jpeg_scan_walk.h"

#include <algorithm>
#include <new>

namespace {

constexpr WORD kBmpSignature = 0x4D42;
constexpr ULONGLONG kBmpHeadersBytes = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
constexpr int kMaxTableEntries = 256 + 3; // a full colour table, or three bit-field masks

// Reads a file forward through a buffer, never past nLimit bytes from where it starts.
class ByteStream {
public:
    ByteStream(CFile* pFile, ULONGLONG nLimit) : m_pFile(pFile), m_nLeft(nLimit) {}

    // The next byte, or -1 where the data ends.
    int Next() {
        if (m_nAt == m_nCount && !Fill())
            return -1;
        return m_buffer[m_nAt++];
    }

    // False when the data ends before n bytes are passed.
    bool Skip(ULONGLONG n) {
        while (n > 0) {
            if (m_nAt == m_nCount && !Fill())
                return false;
            const size_t nTake = (size_t)std::min<ULONGLONG>(n, m_nCount - m_nAt);
            m_nAt += nTake;
            n -= nTake;
        }
        return true;
    }

private:
    bool Fill() {
        const UINT nWant = (UINT)std::min<ULONGLONG>(sizeof(m_buffer), m_nLeft);
        m_nCount = nWant == 0 ? 0 : m_pFile->Read(m_buffer, nWant);
        m_nLeft -= m_nCount;
        m_nAt = 0;
        return m_nCount > 0;
    }

    CFile* m_pFile;
    ULONGLONG m_nLeft;
    BYTE m_buffer[8192];
    size_t m_nAt = 0, m_nCount = 0;
};

// The pixel-data size the headers give, or 0 when they give none.
ULONGLONG AnnouncedPixelBytes(const BITMAPFILEHEADER& bf, const BITMAPINFOHEADER& bi) {
    if (bi.biSizeImage != 0)
        return bi.biSizeImage;
    return bf.bfSize > bf.bfOffBits ? bf.bfSize - bf.bfOffBits : 0;
}

enum class RunsEnd { EndOfBitmap, BetweenCodes, InsideACode };

// Walks run-length codes up to nBytes of data: where do they stop?
RunsEnd WalkRuns(ByteStream& in, bool bFourBits) {
    for (;;) {
        const int nCount = in.Next();
        if (nCount < 0)
            return RunsEnd::BetweenCodes;
        const int nCode = in.Next();
        if (nCode < 0)
            return RunsEnd::InsideACode;
        if (nCount != 0 || nCode == 0)
            continue; // a run, or the end of a line
        if (nCode == 1)
            return RunsEnd::EndOfBitmap;
        // A move by two offset bytes, or literal pixels padded to a whole word.
        ULONGLONG nBytes = nCode == 2 ? 2 : (bFourBits ? (ULONGLONG)(nCode + 1) / 2 : nCode);
        if (!in.Skip((nBytes + 1) & ~1ull))
            return RunsEnd::InsideACode;
    }
}

bool IsRunLengthComplete(CFile* pFile, const BITMAPFILEHEADER& bf, const BITMAPINFOHEADER& bi,
                         ULONGLONG nPixelsAt, ULONGLONG nAvailable) {
    const ULONGLONG nAnnounced = AnnouncedPixelBytes(bf, bi);
    if (nAnnounced != 0 && nAvailable >= nPixelsAt && nAvailable - nPixelsAt >= nAnnounced)
        return true;
    if (nAvailable <= nPixelsAt)
        return nAnnounced == 0 && nAvailable == nPixelsAt;
    pFile->Seek((LONGLONG)nPixelsAt, CFile::current);
    ByteStream in(pFile, nAvailable - nPixelsAt);
    switch (WalkRuns(in, bi.biCompression == BI_RLE4)) {
    case RunsEnd::EndOfBitmap:
        return true;
    case RunsEnd::BetweenCodes:
        return nAnnounced == 0; // no size and no end code: nothing tells it is unfinished
    default:
        return false;
    }
}

bool IsBmpComplete(CFile* pFile, ULONGLONG nAvailable) {
    BITMAPFILEHEADER bf;
    BITMAPINFOHEADER bi;
    if (nAvailable < kBmpHeadersBytes || pFile->Read(&bf, sizeof(bf)) != sizeof(bf) ||
        pFile->Read(&bi, sizeof(bi)) != sizeof(bi))
        return false;
    // Headers that Read refuses whatever follows them are as finished as they will get.
    if (bf.bfType != kBmpSignature || bi.biSize != sizeof(BITMAPINFOHEADER) || bi.biWidth <= 0 ||
        bi.biHeight <= 0)
        return true;
    const int nEntries = std::clamp(GetNumColors(&bi), 0, kMaxTableEntries);
    if (nAvailable < kBmpHeadersBytes + 4ull * nEntries)
        return false;
    // Offsets below are from the start of the file; the stream stands after the headers.
    if (IsRunLengthCompression(bi.biCompression)) {
        pFile->Seek(-(LONGLONG)kBmpHeadersBytes, CFile::current);
        return IsRunLengthComplete(pFile, bf, bi, bf.bfOffBits, nAvailable);
    }
    const ULONGLONG nRowBytes = ((ULONGLONG)bi.biWidth * bi.biBitCount + 31) / 32 * 4;
    if (nAvailable < bf.bfOffBits)
        return false;
    // Every row must be there; compared by division, since the product may not fit.
    return nRowBytes == 0 || (nAvailable - bf.bfOffBits) / nRowBytes >= (ULONGLONG)bi.biHeight;
}

bool IsJpegComplete(CFile* pFile) {
    BYTE start[2];
    const ULONGLONG nStart = pFile->GetPosition();
    const bool bStartsAnImage =
        pFile->Read(start, sizeof start) == sizeof start && start[0] == 0xFF && start[1] == 0xD8;
    pFile->Seek((LONGLONG)nStart, CFile::begin);
    // Not a stream the decoder starts on at all: finished or not, it will not load.
    return !bStartsAnImage || JpegReachesEndOfImage(pFile);
}

} // namespace

BOOL IsSheetComplete(CFile* pFile) {
    if (!pFile)
        return FALSE;
    const ULONGLONG nStart = pFile->GetPosition();
    bool bComplete = false;
    try {
        const ULONGLONG nLength = pFile->GetLength();
        const ULONGLONG nAvailable = nLength > nStart ? nLength - nStart : 0;
        switch (GetImageFormat(pFile)) {
        case IMAGE_FORMAT_BMP:
            bComplete = IsBmpComplete(pFile, nAvailable);
            break;
        case IMAGE_FORMAT_JPEG:
            bComplete = IsJpegComplete(pFile);
            break;
        default:
            // Too short to tell yet, or what Read refuses whatever the length.
            bComplete = nAvailable >= 100;
            break;
        }
        pFile->Seek((LONGLONG)nStart, CFile::begin);
    } catch (CException* e) {
        e->Delete();
        return FALSE;
    }
    return bComplete ? TRUE : FALSE;
}

SheetLoad LoadCompleteSheet(CDIB& dib, LPCTSTR lpszPath, CPalette* pPalette) {
    if (!lpszPath || !*lpszPath)
        return SheetLoad::Failed;
    try {
        CFile file;
        if (!file.Open(lpszPath, CFile::modeRead | CFile::shareDenyWrite | CFile::modeNoInherit))
            return SheetLoad::Failed;
        const ULONGLONG nLength = file.GetLength();
        if (!IsSheetComplete(&file))
            return SheetLoad::Incomplete;
        const BOOL bRead = dib.Read(&file, pPalette);
        // Rewritten while it was read: the picture may mix two saves.
        if (file.GetLength() != nLength)
            return SheetLoad::Incomplete;
        return bRead ? SheetLoad::Loaded : SheetLoad::Failed;
    } catch (CException* e) {
        e->Delete();
        return SheetLoad::Failed;
    } catch (const std::bad_alloc&) {
        return SheetLoad::Failed;
    }
}
