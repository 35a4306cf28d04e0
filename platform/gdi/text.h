// Fonts and text output. Glyphs are rasterised by Qt, so text needs a QGuiApplication;
// without one DrawTextA draws nothing and returns 0.
#pragma once

#include "afxgdi.h"

// DrawTextA format flags.
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_NOCLIP 0x00000100
#define DT_NOPREFIX 0x00000800

// Font weights.
#define FW_NORMAL 400
#define FW_BOLD 700

// Draws text in the context's font and text colour, laid out in *lpRect. nCount -1 means up
// to the terminating NUL. Lines break at CR, LF and CR LF, and with DT_WORDBREAK also
// between words that would pass the right edge; DT_SINGLELINE keeps one line, which
// DT_VCENTER and DT_BOTTOM then place. '&' marks a mnemonic (underlined; "&&" is '&')
// unless DT_NOPREFIX. Output is clipped to the rectangle unless DT_NOCLIP.
// Text goes into a memory context's bitmap only: every covered pixel takes the bitmap table
// index that the text colour matches, with no anti-aliasing, and nothing outside the bitmap
// is touched; with OPAQUE the text's background takes the background colour's index. Returns
// the height of the text; 0, drawing nothing, on any other context.
int DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format);

class CFont : public CGdiObject {
public:
    CFont() = default;

    // A font described by height in pixels (negative: character height; positive: cell
    // height, ascent plus descent; 0: a default), weight (FW_*), italic, underline, strike-out
    // and face. The other arguments are accepted for the calling code's sake and do not change
    // the output.
    BOOL CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight,
                    BYTE bItalic, BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet,
                    BYTE nOutPrecision, BYTE nClipPrecision, BYTE nQuality, BYTE nPitchAndFamily,
                    LPCTSTR lpszFacename);
};
