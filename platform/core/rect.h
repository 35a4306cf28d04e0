// Rectangle and point helpers of the window manager, and the framework's CPoint and CRect.
// Rectangles are half-open: right and bottom lie outside.
#pragma once

#include "wintypes.h"

BOOL IsRectEmpty(const RECT* lprc);
BOOL PtInRect(const RECT* lprc, POINT pt);
BOOL InflateRect(LPRECT lprc, int dx, int dy);
BOOL IntersectRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2);

class CPoint : public POINT {
public:
    CPoint(int initX, int initY) : POINT{initX, initY} {}
};

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};
