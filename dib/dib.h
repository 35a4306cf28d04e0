// CDIB: an 8-bit, bottom-up device-independent bitmap with a 256-entry colour table, held as
// a DIB section that stays selected in a memory device context of its own.
#pragma once

#include "afx.h"
#include "afxgdi.h"

class CDC;
class CFont;

// Drawing modes of BlitKeyed.
enum {
    BLIT_KEYED = 0,
    BLIT_SILHOUETTE = 1,
    BLIT_SILHOUETTE_16 = 2,
    BLIT_SILHOUETTE_255 = 3,
    BLIT_ROW_DROPOUT = 4,
    BLIT_SILHOUETTE_39 = 5
};

// Results of the format test.
enum { IMAGE_FORMAT_UNKNOWN = 0, IMAGE_FORMAT_BMP = 1, IMAGE_FORMAT_JPEG = 2 };

class CDIB : public CObject {
    DECLARE_DYNAMIC(CDIB)
public:
    CDIB();
    ~CDIB() override;

    // Palette remapping: the virtual slot after the framework's defaults.

    // Plain keyed copy: BlitKeyed in BLIT_KEYED mode, not mirrored.
    virtual void CopyFrom(CDIB* pSrc, int x, int y, const RECT* pSrcRect, int nKey);

    // Device drawing, dissolve and text: the virtual slots that follow CopyFrom.

    BOOL Create(int nWidth, int nHeight, int nFill, CPalette* pPalette);
    BOOL Fill(int nIndex);
    void Destroy();

    int GetWidth() const;
    int GetHeight() const;
    int GetStride() const;

    BOOL Load(LPCTSTR lpszPath, CPalette* pPalette);
    BOOL Read(CFile* pFile, CPalette* pPalette);
    BOOL ReadBMP(CFile* pFile, CPalette* pPalette);
    BOOL ReadJPEG(CFile* pFile, CPalette* pPalette);

    void BlitKeyed(CDIB* pSrc, int x, int y, const RECT* pSrcRect, int nKey, int nMode,
                   BOOL bMirror);

    BITMAPINFO* m_pBMI;
    BYTE* m_pBits;
    HBITMAP m_hBitmap;
    HDC m_hDC;
    HGDIOBJ m_hOldBitmap;

private:
    CDIB(const CDIB&) = delete;
    CDIB& operator=(const CDIB&) = delete;
};

// Size of the header-and-table block behind m_pBMI: the header and exactly 256 entries.
constexpr size_t kDibInfoBytes = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);

int GetNumColors(const BITMAPINFOHEADER* pHeader);
void BuildColorTable(RGBQUAD* pColors, CPalette* pPalette);
void BuildPalette(const BITMAPINFO* pInfo, CPalette* pDefault, CPalette* pResult);

int GetImageFormat(CFile* pFile);
int DetectImageFormat(const BYTE* pBytes, DWORD nCount);
