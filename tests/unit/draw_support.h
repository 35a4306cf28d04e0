// Helpers shared by the drawing tests: pixel access, palettes, a borrowed device context
// and the one QGuiApplication that text rasterising needs.
#pragma once

#include "dc.h"
#include "dib.h"
#include "system_palette.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include <cstdlib>
#include <vector>

namespace drawtest {

inline BYTE& Px(CDIB& dib, int x, int y) {
    return dib.m_pBits[(size_t)dib.GetStride() * (dib.GetHeight() - 1 - y) + x];
}

// A palette of n distinct colours: entry i is (i, 255 - i, 3i mod 256).
inline void MakeRampPalette(CPalette& pal, int n) {
    std::vector<BYTE> block(4 + 4 * (size_t)n);
    auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = (WORD)n;
    for (int i = 0; i < n; ++i)
        lp->palPalEntry[i] = PALETTEENTRY{(BYTE)i, (BYTE)(255 - i), (BYTE)(3 * i), 0};
    pal.CreatePalette(lp);
}

// Each pixel gets its own index pattern, so that misplaced pixels show.
inline void FillPattern(CDIB& dib) {
    for (int y = 0; y < dib.GetHeight(); ++y)
        for (int x = 0; x < dib.GetWidth(); ++x)
            Px(dib, x, y) = (BYTE)(10 + 16 * y + x);
}

// A CDC over a CDIB's own memory context, detached again so that the CDIB keeps it.
class BorrowedDC : public CDC {
public:
    explicit BorrowedDC(CDIB& dib) { Attach(dib.m_hDC); }
    ~BorrowedDC() override { Detach(); }
};

inline QRgb RgbOf(const RGBQUAD& q) {
    return qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

inline QRgb SystemRgb(int index) {
    const PALETTEENTRY& e = fixtures::SystemPalette().data()[index];
    return qRgb(e.peRed, e.peGreen, e.peBlue);
}

// Created on first use and destroyed when the tests end, before the process exits, so that
// the font machinery behind it is released too.
class GuiEnvironment : public ::testing::Environment {
public:
    static void Ensure() {
        if (app())
            return;
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "unit_tests";
        static char* argv[] = {name, nullptr};
        app() = new QGuiApplication(argc, argv);
    }
    void TearDown() override {
        delete app();
        app() = nullptr;
    }

private:
    static QGuiApplication*& app() {
        static QGuiApplication* instance = nullptr;
        return instance;
    }
};

inline void EnsureGuiApplication() {
    static bool registered = (::testing::AddGlobalTestEnvironment(new GuiEnvironment), true);
    (void)registered;
    GuiEnvironment::Ensure();
}

} // namespace drawtest
