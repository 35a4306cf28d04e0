// Pixel access and numbered test pictures shared by the image-core tests.
#pragma once

#include "dib.h"

#include <gtest/gtest.h>

// The byte of pixel (x, y), y counted from the top of the bottom-up bitmap.
inline BYTE& At(CDIB& dib, int x, int y) {
    return dib.m_pBits[(size_t)(dib.GetHeight() - 1 - y) * dib.GetStride() + x];
}

// A picture whose pixel (x, y) holds rowStep * y + x + 1, so every pixel tells where it came
// from.
inline void MakeNumbered(CDIB& dib, int w, int h, int rowStep) {
    ASSERT_TRUE(dib.Create(w, h, 0, nullptr));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            At(dib, x, y) = (BYTE)(rowStep * y + x + 1);
}
