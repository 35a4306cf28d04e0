// CDIB creation, fill, release and accessors, and the palette functions that build colour
// tables and logical palettes.
#include "dib.h"

#include <cstdlib>
#include <cstring>
#include <utility>

IMPLEMENT_DYNAMIC(CDIB, CObject)

namespace {

RGBQUAD ToQuad(const PALETTEENTRY& e) {
    return RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
}

} // namespace

CDIB::CDIB()
    : m_pBMI(nullptr), m_pBits(nullptr), m_hBitmap(nullptr), m_hDC(nullptr), m_hOldBitmap(nullptr) {
}

CDIB::~CDIB() {
    Destroy();
}

void CDIB::Swap(CDIB& other) {
    std::swap(m_pBMI, other.m_pBMI);
    std::swap(m_pBits, other.m_pBits);
    std::swap(m_hBitmap, other.m_hBitmap);
    std::swap(m_hDC, other.m_hDC);
    std::swap(m_hOldBitmap, other.m_hOldBitmap);
}

BOOL CDIB::Create(int nWidth, int nHeight, int nFill, CPalette* pPalette) {
    Destroy();
    if (nWidth <= 0 || nHeight <= 0)
        return FALSE;

    m_pBMI = static_cast<BITMAPINFO*>(calloc(1, kDibInfoBytes));
    if (!m_pBMI)
        return FALSE;
    BITMAPINFOHEADER& h = m_pBMI->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = nWidth;
    h.biHeight = nHeight;
    h.biPlanes = 1;
    h.biBitCount = 8;
    h.biCompression = BI_RGB;
    // Sizes past the DIB section limit do not fit 32 bits; CreateDIBSection refuses them.
    unsigned long long bytes = DibStride((unsigned long long)nWidth) * (unsigned long long)nHeight;
    h.biSizeImage = bytes <= kMaxDibSectionBytes ? (DWORD)bytes : 0;
    BuildColorTable(m_pBMI->bmiColors, pPalette);

    void* pBits = nullptr;
    m_hBitmap = CreateDIBSection(nullptr, m_pBMI, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (!m_hBitmap) {
        Destroy();
        return FALSE;
    }
    m_pBits = static_cast<BYTE*>(pBits);
    Fill(nFill);
    m_hDC = CreateCompatibleDC(nullptr);
    m_hOldBitmap = SelectObject(m_hDC, m_hBitmap);
    SetDIBColorTable(m_hDC, 0, 256, m_pBMI->bmiColors);
    return TRUE;
}

BOOL CDIB::Fill(int nIndex) {
    if (!m_pBMI || !m_pBits)
        return FALSE;
    size_t bytes = (size_t)GetStride() * (size_t)GetHeight();
    BYTE value = (BYTE)(nIndex & 255);
    DWORD word = value * 0x01010101u;
    size_t words = bytes / 4;
    for (size_t i = 0; i < words; ++i)
        memcpy(m_pBits + 4 * i, &word, 4);
    for (size_t i = words * 4; i < bytes; ++i)
        m_pBits[i] = value;
    return TRUE;
}

void CDIB::Destroy() {
    if (m_hOldBitmap)
        SelectObject(m_hDC, m_hOldBitmap);
    if (m_hDC)
        DeleteDC(m_hDC);
    if (m_hBitmap)
        DeleteObject(m_hBitmap);
    if (m_pBMI)
        free(m_pBMI);
    m_pBMI = nullptr;
    m_pBits = nullptr;
    m_hBitmap = nullptr;
    m_hDC = nullptr;
    m_hOldBitmap = nullptr;
}

int CDIB::GetWidth() const {
    return m_pBMI ? m_pBMI->bmiHeader.biWidth : 0;
}

int CDIB::GetHeight() const {
    if (!m_pBMI)
        return 0;
    LONG h = m_pBMI->bmiHeader.biHeight;
    return h < 0 ? -h : h;
}

int CDIB::GetStride() const {
    return m_pBMI ? (int)DibStride((unsigned long long)m_pBMI->bmiHeader.biWidth) : 0;
}

int GetNumColors(const BITMAPINFOHEADER* pHeader) {
    if (!pHeader)
        return 0;
    int count = 0;
    switch (pHeader->biBitCount) {
    case 1:
        count = 2;
        break;
    case 4:
        count = 16;
        break;
    case 8:
        count = 256;
        break;
    default:
        count = 0;
        break;
    }
    if (pHeader->biClrUsed != 0 && (DWORD)count >= pHeader->biClrUsed)
        count = (int)pHeader->biClrUsed;
    if (pHeader->biCompression == BI_BITFIELDS)
        count += 3;
    return count;
}

void BuildColorTable(RGBQUAD* pColors, CPalette* pPalette) {
    if (!pColors)
        return;
    memset(pColors, 0, 256 * sizeof(RGBQUAD));
    if (pPalette && pPalette->m_hObject) {
        HPALETTE hPal = *pPalette;
        for (UINT i = 0; i < 256; ++i) {
            PALETTEENTRY entry;
            if (GetPaletteEntries(hPal, i, 1, &entry) == 0)
                break;
            pColors[i] = ToQuad(entry);
        }
        return;
    }
    HDC hdc = CreateDC("DISPLAY", "", "", nullptr);
    for (UINT i = 0; i < 256; ++i) {
        PALETTEENTRY entry{0, 0, 0, 0};
        GetSystemPaletteEntries(hdc, i, 1, &entry);
        pColors[i] = ToQuad(entry);
    }
    DeleteDC(hdc);
}

void BuildPalette(const BITMAPINFO* pInfo, CPalette* pDefault, CPalette* pResult) {
    if (!pInfo || !pResult)
        return;
    struct {
        WORD palVersion;
        WORD palNumEntries;
        PALETTEENTRY entries[256];
    } pal = {};
    pal.palVersion = 0x300;

    const BITMAPINFOHEADER& h = pInfo->bmiHeader;
    int n = GetNumColors(&h);
    const BYTE* table = reinterpret_cast<const BYTE*>(pInfo) + sizeof(BITMAPINFOHEADER);
    int available = 256; // entries of the block that follows the header
    if (h.biCompression == BI_BITFIELDS) {
        n -= 3;
        table += 12;
        available -= 3; // the masks take the first three places of the block
    }
    if (n > 0) {
        if (n > available)
            n = available;
        pal.palNumEntries = (WORD)n;
        for (int i = 0; i < n; ++i) {
            RGBQUAD q;
            memcpy(&q, table + 4 * i, sizeof(q));
            pal.entries[i] = PALETTEENTRY{q.rgbRed, q.rgbGreen, q.rgbBlue, 0};
        }
    } else if (pDefault && pDefault->m_hObject) {
        WORD count = 0;
        GetObject(pDefault->m_hObject, sizeof(WORD), &count);
        if (count > 256)
            count = 256;
        pal.palNumEntries = count;
        GetPaletteEntries(*pDefault, 0, count, pal.entries);
    } else {
        HDC hdc = CreateDC("DISPLAY", "", "", nullptr);
        UINT count = GetSystemPaletteEntries(hdc, 0, 0, nullptr);
        if (count > 256)
            count = 256;
        pal.palNumEntries = (WORD)count;
        GetSystemPaletteEntries(hdc, 0, count, pal.entries);
        DeleteDC(hdc);
    }
    if (pal.palNumEntries != 0)
        pResult->Attach(CreatePalette(reinterpret_cast<LOGPALETTE*>(&pal)));
}
