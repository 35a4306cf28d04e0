#include "dib.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

PALETTEENTRY SystemEntry(int i) {
    PALETTEENTRY e[1];
    HDC hdc = CreateDC("DISPLAY", "", "", nullptr);
    GetSystemPaletteEntries(hdc, i, 1, e);
    DeleteDC(hdc);
    return e[0];
}

UINT EntryCount(const CPalette& pal) {
    return ::GetPaletteEntries(pal, 0, 0, nullptr);
}

void ExpectQuad(const RGBQUAD& q, int r, int g, int b) {
    EXPECT_EQ(q.rgbRed, r);
    EXPECT_EQ(q.rgbGreen, g);
    EXPECT_EQ(q.rgbBlue, b);
    EXPECT_EQ(q.rgbReserved, 0);
}

} // namespace

TEST(SystemPalette, HasTheFixedTwoHundredFiftySixEntries) {
    HDC hdc = CreateDC("DISPLAY", "", "", nullptr);
    ASSERT_NE(hdc, nullptr);
    EXPECT_EQ(GetSystemPaletteEntries(hdc, 0, 0, nullptr), 256u);
    PALETTEENTRY all[256];
    EXPECT_EQ(GetSystemPaletteEntries(hdc, 0, 256, all), 256u);
    EXPECT_EQ(GetSystemPaletteEntries(hdc, 250, 10, all), 6u);
    DeleteDC(hdc);

    EXPECT_EQ(SystemEntry(8).peGreen, 220);                   // (192, 220, 192)
    PALETTEENTRY cube = SystemEntry(10 + 36 * 5 + 6 * 2 + 1); // levels 255, 102, 51
    EXPECT_EQ(cube.peRed, 255);
    EXPECT_EQ(cube.peGreen, 102);
    EXPECT_EQ(cube.peBlue, 51);
    EXPECT_EQ(SystemEntry(226).peRed, 12);  // round(255 / 21)
    EXPECT_EQ(SystemEntry(245).peRed, 243); // round(255 * 20 / 21)
    EXPECT_EQ(SystemEntry(246).peBlue, 240);
    EXPECT_EQ(SystemEntry(255).peRed, 255);
}

TEST(DibCreate, RefusesNonPositiveSizesAndLeavesTheObjectEmpty) {
    CDIB dib;
    ASSERT_TRUE(dib.Create(4, 4, 1, nullptr));
    EXPECT_FALSE(dib.Create(0, 10, 0, nullptr));
    EXPECT_EQ(dib.m_pBMI, nullptr);
    EXPECT_EQ(dib.m_pBits, nullptr);
    EXPECT_EQ(dib.m_hBitmap, nullptr);
    EXPECT_EQ(dib.m_hDC, nullptr);
    EXPECT_EQ(dib.m_hOldBitmap, nullptr);
    ASSERT_TRUE(dib.Create(4, 4, 1, nullptr));
    EXPECT_FALSE(dib.Create(10, -5, 0, nullptr));
    EXPECT_EQ(dib.m_pBMI, nullptr);
    EXPECT_EQ(dib.GetWidth(), 0);
    EXPECT_EQ(dib.GetHeight(), 0);
    EXPECT_EQ(dib.GetStride(), 0);
    EXPECT_FALSE(dib.Fill(3));
}

TEST(DibCreate, HugeSizesFailWithoutCrashing) {
    CDIB dib;
    EXPECT_FALSE(dib.Create(0x7FFFFFFF, 0x7FFFFFFF, 0, nullptr));
    EXPECT_EQ(dib.m_pBMI, nullptr);
    EXPECT_FALSE(dib.Create(65536, 32768, 0, nullptr)); // exactly 2^31 bytes
    EXPECT_EQ(dib.m_pBits, nullptr);
    EXPECT_FALSE(dib.Create(0x7FFFFFFD, 1, 0, nullptr)); // stride would round past 2^31
    EXPECT_EQ(AfxGdiLiveObjectCount(), 0u);
}

TEST(DibCreate, SetsHeaderStrideFillAndSystemColours) {
    CDIB dib;
    ASSERT_TRUE(dib.Create(5, 3, 7, nullptr));
    const BITMAPINFOHEADER& h = dib.m_pBMI->bmiHeader;
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 5);
    EXPECT_EQ(h.biHeight, 3);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biCompression, (DWORD)BI_RGB);
    EXPECT_EQ(h.biSizeImage, 24u);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(dib.GetStride(), 8);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(dib.m_pBits[i], 7) << "byte " << i; // padding included
    ExpectQuad(dib.m_pBMI->bmiColors[9], 166, 202, 240);
    ExpectQuad(dib.m_pBMI->bmiColors[255], 255, 255, 255);

    // The DIB section stays selected in the image's own context.
    EXPECT_EQ(GetCurrentObject(dib.m_hDC, OBJ_BITMAP), (HGDIOBJ)dib.m_hBitmap);
}

TEST(DibFill, WritesTheLowByteToEveryByteIncludingPadding) {
    CDIB dib;
    ASSERT_TRUE(dib.Create(7, 5, 0, nullptr)); // stride 8: one padding byte a row
    EXPECT_TRUE(dib.Fill(0x1234));
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(dib.m_pBits[i], 0x34) << "byte " << i;
    EXPECT_TRUE(dib.Fill(-1));
    EXPECT_EQ(dib.m_pBits[39], 0xFF);
}

TEST(DibDestroy, ReleasesEverythingAndIsIdempotent) {
    DWORD before = AfxGdiLiveObjectCount();
    {
        CDIB dib;
        dib.Destroy(); // never created
        ASSERT_TRUE(dib.Create(10, 4, 0, nullptr));
        EXPECT_EQ(AfxGdiLiveObjectCount(), before + 2); // the section and the context
        dib.Destroy();
        EXPECT_EQ(AfxGdiLiveObjectCount(), before); // deleted, not left selected somewhere
        dib.Destroy();
        ASSERT_TRUE(dib.Create(3, 3, 0, nullptr));
    } // the destructor releases the second image
    EXPECT_EQ(AfxGdiLiveObjectCount(), before);
}

TEST(DibCreate, RecreatingReplacesThePreviousImage) {
    DWORD before = AfxGdiLiveObjectCount();
    CDIB dib;
    for (int i = 1; i <= 5; ++i)
        ASSERT_TRUE(dib.Create(i * 3, i, i, nullptr));
    EXPECT_EQ(dib.GetWidth(), 15);
    EXPECT_EQ(dib.GetStride(), 16);
    EXPECT_EQ(AfxGdiLiveObjectCount(), before + 2);
}

TEST(DibCreate, TakesItsTableFromAShortPaletteAndBlacksTheRest) {
    LOGPALETTE* lp = static_cast<LOGPALETTE*>(calloc(1, sizeof(LOGPALETTE) + 16 * 4));
    lp->palVersion = 0x300;
    lp->palNumEntries = 16;
    for (int i = 0; i < 16; ++i)
        lp->palPalEntry[i] = PALETTEENTRY{(BYTE)(i * 10), (BYTE)(i * 5), (BYTE)i, 0xFF};
    CPalette pal;
    ASSERT_TRUE(pal.CreatePalette(lp));
    free(lp);

    CDIB dib;
    ASSERT_TRUE(dib.Create(2, 2, 0, &pal));
    ExpectQuad(dib.m_pBMI->bmiColors[15], 150, 75, 15);
    for (int i = 16; i < 256; ++i)
        ExpectQuad(dib.m_pBMI->bmiColors[i], 0, 0, 0);

    CPalette empty; // no handle: the system palette
    ASSERT_TRUE(dib.Create(2, 2, 0, &empty));
    ExpectQuad(dib.m_pBMI->bmiColors[1], 128, 0, 0);
}

TEST(PaletteFunctions, GetNumColorsFollowsDepthClrUsedAndMasks) {
    BITMAPINFOHEADER h{};
    h.biBitCount = 8;
    EXPECT_EQ(GetNumColors(&h), 256);
    h.biClrUsed = 20;
    EXPECT_EQ(GetNumColors(&h), 20);
    h.biBitCount = 4;
    h.biClrUsed = 300;
    EXPECT_EQ(GetNumColors(&h), 16);
    h.biBitCount = 1;
    h.biClrUsed = 0;
    EXPECT_EQ(GetNumColors(&h), 2);
    h.biBitCount = 24;
    h.biClrUsed = 5;
    EXPECT_EQ(GetNumColors(&h), 0);
    h.biBitCount = 16;
    h.biClrUsed = 0;
    h.biCompression = BI_BITFIELDS;
    EXPECT_EQ(GetNumColors(&h), 3);
}

TEST(PaletteFunctions, BuildPaletteFromTableDefaultOrSystem) {
    alignas(BITMAPINFO) BYTE block[kDibInfoBytes] = {};
    auto* info = reinterpret_cast<BITMAPINFO*>(block);
    info->bmiHeader.biSize = 40;
    info->bmiHeader.biBitCount = 4;
    for (int i = 0; i < 16; ++i)
        info->bmiColors[i] = RGBQUAD{(BYTE)i, (BYTE)(2 * i), (BYTE)(3 * i), 0x55};

    CPalette fromTable;
    BuildPalette(info, nullptr, &fromTable);
    ASSERT_NE(fromTable.m_hObject, nullptr);
    EXPECT_EQ(EntryCount(fromTable), 16u);
    PALETTEENTRY e;
    fromTable.GetPaletteEntries(5, 1, &e);
    EXPECT_EQ(e.peRed, 15);
    EXPECT_EQ(e.peGreen, 10);
    EXPECT_EQ(e.peBlue, 5);
    EXPECT_EQ(e.peFlags, 0);

    info->bmiHeader.biBitCount = 24;
    CPalette fromSystem;
    BuildPalette(info, nullptr, &fromSystem);
    EXPECT_EQ(EntryCount(fromSystem), 256u);

    CPalette fromDefault;
    BuildPalette(info, &fromTable, &fromDefault);
    EXPECT_EQ(EntryCount(fromDefault), 16u);
}

// A palette built into a CPalette that already holds one replaces it: the old one is released,
// not leaked, and an image swapped with another takes every part of it along.
TEST(GdiOwnership, BuildPaletteReplacesAHeldPaletteAndSwapMovesWholeImages) {
    const DWORD before = AfxGdiLiveObjectCount();
    alignas(BITMAPINFO) BYTE block[kDibInfoBytes] = {};
    auto* info = reinterpret_cast<BITMAPINFO*>(block);
    info->bmiHeader.biSize = 40;
    info->bmiHeader.biBitCount = 1;
    info->bmiColors[1] = RGBQUAD{9, 8, 7, 0};
    {
        CPalette pal;
        info->bmiHeader.biBitCount = 24;
        BuildPalette(info, nullptr, &pal); // the system's 256 colours
        ASSERT_EQ(EntryCount(pal), 256u);
        info->bmiHeader.biBitCount = 1;
        BuildPalette(info, nullptr, &pal); // the table's two
        EXPECT_EQ(AfxGdiLiveObjectCount(), before + 1);
        ASSERT_EQ(EntryCount(pal), 2u);
        PALETTEENTRY e;
        pal.GetPaletteEntries(1, 1, &e);
        EXPECT_EQ(e.peRed, 7);
        EXPECT_EQ(e.peBlue, 9);
    }
    EXPECT_EQ(AfxGdiLiveObjectCount(), before);

    {
        CDIB a, b;
        ASSERT_TRUE(a.Create(4, 4, 1, nullptr));
        ASSERT_TRUE(b.Create(9, 2, 2, nullptr));
        const HDC hdcA = a.m_hDC;
        a.Swap(b);
        EXPECT_EQ(a.GetWidth(), 9);
        EXPECT_EQ(a.m_pBits[0], 2);
        EXPECT_EQ(b.GetWidth(), 4);
        EXPECT_EQ(b.m_pBits[0], 1);
        EXPECT_EQ(b.m_hDC, hdcA);
        b.Destroy();
        EXPECT_EQ(a.m_pBits[a.GetStride() + 8], 2); // a's picture outlives b
    }
    EXPECT_EQ(AfxGdiLiveObjectCount(), before);
}

TEST(PaletteFunctions, BitfieldsOnAPalettisedDepthNeverReadsPastTheBlock) {
    alignas(BITMAPINFO) BYTE block[kDibInfoBytes] = {};
    auto* info = reinterpret_cast<BITMAPINFO*>(block);
    info->bmiHeader.biSize = 40;
    info->bmiHeader.biBitCount = 8;
    info->bmiHeader.biCompression = BI_BITFIELDS;
    // 256 + 3 entries announced, masks first: only 253 entries lie inside the block.
    reinterpret_cast<BYTE*>(info->bmiColors)[4 * 255] = 77; // last byte of the block's table
    CPalette pal;
    BuildPalette(info, nullptr, &pal);
    ASSERT_NE(pal.m_hObject, nullptr);
    EXPECT_EQ(EntryCount(pal), 253u);
    PALETTEENTRY e;
    pal.GetPaletteEntries(252, 1, &e);
    EXPECT_EQ(e.peBlue, 77);
}
