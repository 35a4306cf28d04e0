// Drawing on device contexts: stretch modes, blits, solid fills, text colour and background
// mode, and CDC, the framework's device-context object.
//
// Device contexts come in three kinds. A memory context (CreateCompatibleDC) draws into the
// 8-bit DIB section selected in it. A painter context draws through a QPainter that its
// owner opened elsewhere: on a window (the window side's paint context derives from CDC and
// hands it the painter it opened on the widget) or on a QImage, which is how tests look at
// what was drawn:
//
//     QImage image(100, 80, QImage::Format_RGB32);
//     QPainter painter(&image);
//     CDC dc(&painter);          // dc.m_hDC is a painter context on `painter`
//     dib.Draw(&dc, &rect, nullptr);
//
// The painter stays its owner's: the context only borrows it and must be released (the CDC
// destructor does that) before the painter ends. A painter context reports the display's
// system palette as its selected palette.
#pragma once

#include "afxgdi.h"
#include "text.h"

class QPainter;

// Stretch modes. Every mode samples nearest-neighbour: an 8-bit surface has nothing to blend.
#define BLACKONWHITE 1
#define COLORONCOLOR 3
#define HALFTONE 4

// The one raster operation the platform carries out.
#define SRCCOPY 0x00CC0020

// Background modes.
#define TRANSPARENT 1
#define OPAQUE 2

// Creates a painter context drawing through pPainter (not owned); DeleteDC releases it.
HDC CreatePainterDC(QPainter* pPainter);
// The painter a painter context draws through; null for any other context.
QPainter* GetDCPainter(HDC hdc);

int SetStretchBltMode(HDC hdc, int mode);
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF SetBkColor(HDC hdc, COLORREF color);
int SetBkMode(HDC hdc, int mode);

// Copies the source rectangle of a memory context's bitmap onto a memory or painter context,
// stretched to the destination rectangle. Both rectangles are clipped to their bitmaps: no
// pixel outside either is read or written. Sizes must be positive (no mirroring). Between
// memory contexts, destination column x0 + k of a run of w takes source column
// sx0 + ((2k + 1) * sw) / (2w), rows likewise; indices are copied when the colour tables are
// equal and matched to the destination's table otherwise. To a painter, the source pixels
// go through the source's colour table and QPainter::drawImage scales them, unsmoothed.
BOOL StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc,
                int ySrc, int wSrc, int hSrc, DWORD rop);
BOOL BitBlt(HDC hdcDest, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop);

class CDC : public CObject {
public:
    CDC();
    // A painter context on pPainter (not owned).
    explicit CDC(QPainter* pPainter);
    // Deletes the context held in m_hDC, whether created here or attached.
    ~CDC() override;

    BOOL DeleteDC();
    BOOL Attach(HDC hDC);
    HDC Detach();
    HDC GetSafeHdc() const { return m_hDC; }

    // Fills a rectangle with a solid colour; on a memory context the colour is matched to the
    // bitmap's table. As in the framework, the background colour is left set to that colour.
    void FillSolidRect(const RECT* lpRect, COLORREF color);

    HDC m_hDC;       // output: what drawing goes to
    HDC m_hAttribDC; // attributes: selected objects are looked up here
};
