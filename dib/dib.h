// CDIB: an 8-bit, bottom-up device-independent bitmap with a 256-entry colour table, held as
// a DIB section that stays selected in a memory device context of its own.
#pragma once

#include "afx.h"
#include "afxgdi.h"
#include "bmp_layout.h"

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

    // Remaps pixels and colour table to the nearest colours of pPal; FALSE on an empty image
    // or a missing or empty palette, which change nothing.
    virtual BOOL MapToPalette(CPalette* pPal);

    // Plain keyed copy: BlitKeyed in BLIT_KEYED mode, not mirrored.
    virtual void CopyFrom(CDIB* pSrc, int x, int y, const RECT* pSrcRect, int nKey);

    // Composes the sprite pSrcRect (key nKey, negative: opaque) over the part of pBack (whose
    // top-left corner lies at xBack, yBack on the device) that it covers, off screen on a
    // bitmap filled with nFill, and draws the result at x, y in one copy.
    virtual void DrawComposite(CDC* pDC, int x, int y, const RECT* pSrcRect, int nKey, int nFill,
                               CDIB* pBack, int xBack, int yBack);
    // Stretched copy of pSrcRect (null: whole bitmap) to pDestRect of pDC (null: this bitmap's
    // size at the device origin).
    virtual void Draw(CDC* pDC, const RECT* pDestRect, const RECT* pSrcRect);
    // As Draw, into another bitmap; a null pDestRect is the whole of pDest.
    virtual void StretchDraw(CDIB* pDest, const RECT* pDestRect, const RECT* pSrcRect);
    // Reveals pSrcRect at x, y of pDC in random blocks for nMilliseconds, or until *pbAbort.
    virtual void Dissolve(CDC* pDC, int x, int y, const RECT* pSrcRect, int nBlock,
                          int nBlockOption, int nMilliseconds, BOOL* pbAbort);
    // Draws text into the bitmap in pFont and crColor (palette-relative), transparently.
    virtual void DrawText(LPCTSTR lpszText, const RECT* pRect, UINT nFormat, CFont* pFont,
                          COLORREF crColor);

    BOOL Create(int nWidth, int nHeight, int nFill, CPalette* pPalette);
    BOOL Fill(int nIndex);
    void Destroy();
    // Exchanges the two images whole, with every part each one owns.
    void Swap(CDIB& other);

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

// Memory one read of a picture may take in all: the 8-bit bitmap, the BMP reader's pixel
// buffer and the JPEG library's working memory. A sheet needs well under a megabyte and this
// still holds more than 16 000 x 16 000 pixels at 8 bits, yet it keeps the few bytes of a
// hostile header from making the viewer allocate gigabytes (and fill them) at every reload.
constexpr unsigned long long kDecodeBudgetBytes = 256ull << 20;

// Cost follows data: a picture may announce only as many pixels as its file's bytes can
// describe. Up to kFreePixels it may announce any size, whatever the file holds: every sheet
// fits in that, so a sheet cut short at any length still loads (the rows it lacks in colour
// 0), and arithmetic-coded and run-length sheets, which may hold thousands of pixels a byte,
// load however well they compress. Past it, a picture may announce at most kPixelsPerFileByte
// pixels for each byte of its file (counted from the picture's first byte). No honest file
// comes near that: a Huffman-coded JPEG spends at least one bit on each 8 x 8 block of each
// component, so even a grey one holds at most 512 pixels a byte (the flattest white colour
// picture an encoder writes holds 170-256); an uncompressed BMP holds at most 8 pixels a byte,
// and a run-length one about 128 unless it skips most of its picture. A file that announces
// more is refused from its header, before anything large is allocated or decoded, as a picture
// past the budget is: decoding it would fill up to the whole budget from a few kilobytes of
// data and take seconds of the viewer's only thread at every reload.
constexpr unsigned long long kFreePixels = 4ull << 20;
constexpr unsigned long long kPixelsPerFileByte = 1024;

// True when width x height pixels are more than a file of nFileBytes may announce.
bool AnnouncesMorePixelsThanBytes(unsigned long long width, unsigned long long height,
                                  unsigned long long nFileBytes);

// Size of the header-and-table block behind m_pBMI: the header and exactly 256 entries.
constexpr size_t kDibInfoBytes = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);

// The BMP rules of ReadBMP, for everything that must answer as it does. Pixel bytes the reader
// holds for the file's pixels: what the headers announce, capped at what the picture can use.
unsigned long long BmpPixelBytes(const BITMAPFILEHEADER& bf, const BITMAPINFOHEADER& bi);
// Memory ReadBMP takes for a picture whose layout passes CheckBmpLayout: the 8-bit bitmap and
// the pixel bytes.
unsigned long long BmpDecodeCost(const BITMAPFILEHEADER& bf, const BITMAPINFOHEADER& bi);
// Why ReadBMP refuses a file with these headers and nFileBytes bytes from its first one, or
// BmpFault::None when it reads it.
BmpFault BmpLoadFault(const BITMAPFILEHEADER& bf, const BITMAPINFOHEADER& bi,
                      unsigned long long nFileBytes);

int GetNumColors(const BITMAPINFOHEADER* pHeader);
void BuildColorTable(RGBQUAD* pColors, CPalette* pPalette);
void BuildPalette(const BITMAPINFO* pInfo, CPalette* pDefault, CPalette* pResult);

int GetImageFormat(CFile* pFile);
int DetectImageFormat(const BYTE* pBytes, DWORD nCount);
