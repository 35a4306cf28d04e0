// Opening an image file and telling BMP from JPEG by the first bytes.
#include "dib.h"

#include <cstring>
#include <new>

namespace {

constexpr UINT kSniffBytes = 100;
constexpr DWORD kBmpFileHeaderBytes = 14;

} // namespace

BOOL CDIB::Load(LPCTSTR lpszPath, CPalette* pPalette) {
    if (!lpszPath || !*lpszPath)
        return FALSE;
    // The image is whatever the failing step left; the exception itself never reaches the
    // caller, and memory running out is one more way for a load to fail.
    try {
        CFile file;
        if (!file.Open(lpszPath, CFile::modeRead | CFile::shareDenyWrite | CFile::modeNoInherit)) {
            // Composed for a message nobody shows: a failed load is silent by design.
            CString strMessage;
            strMessage.Format("Unable to load %s.", lpszPath);
            return FALSE;
        }
        return Read(&file, pPalette);
    } catch (CException* e) {
        e->Delete();
        return FALSE;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}

BOOL CDIB::Read(CFile* pFile, CPalette* pPalette) {
    switch (GetImageFormat(pFile)) {
    case IMAGE_FORMAT_BMP:
        return ReadBMP(pFile, pPalette);
    case IMAGE_FORMAT_JPEG:
        return ReadJPEG(pFile, pPalette);
    default:
        return FALSE;
    }
}

bool AnnouncesMorePixelsThanBytes(unsigned long long width, unsigned long long height,
                                  unsigned long long nFileBytes) {
    // Both sides of a header fit in 32 bits, so the product cannot wrap.
    const unsigned long long pixels = width * height;
    if (pixels <= kFreePixels)
        return false;
    // pixels > ratio x bytes, without the multiplication that a huge byte count could wrap.
    return (pixels + kPixelsPerFileByte - 1) / kPixelsPerFileByte > nFileBytes;
}

int GetImageFormat(CFile* pFile) {
    if (!pFile)
        return IMAGE_FORMAT_UNKNOWN;
    ULONGLONG nStart = pFile->GetPosition();
    BYTE bytes[kSniffBytes];
    UINT nCount = 0;
    try {
        nCount = pFile->Read(bytes, kSniffBytes);
        pFile->Seek((LONGLONG)nStart, CFile::begin);
    } catch (CException* e) {
        e->Delete();
    }
    return DetectImageFormat(bytes, nCount);
}

int DetectImageFormat(const BYTE* pBytes, DWORD nCount) {
    if (!pBytes)
        return IMAGE_FORMAT_UNKNOWN;
    if (nCount >= kBmpFileHeaderBytes && pBytes[0] == 'B' && pBytes[1] == 'M')
        return IMAGE_FORMAT_BMP;
    // The last four bytes are never a candidate: a match must start at count - 5 or before.
    for (DWORD i = 0; i + 5 <= nCount; ++i) {
        if (memcmp(pBytes + i, "JFIF", 4) == 0)
            return IMAGE_FORMAT_JPEG;
    }
    return IMAGE_FORMAT_UNKNOWN;
}
