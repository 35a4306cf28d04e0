// CDIB::Read on arbitrary bytes through a memory file (format detection, the BMP reader,
// SetDIBits and the JPEG reader), and now and then Load of the same bytes from a real file.
// Every input is read: a picture announcing more pixels than its bytes can describe is refused
// from its header, so none takes long. Whatever the bytes, the image afterwards is either empty or
// wholly held; a file rejected before its picture is replaced leaves the previous picture as it
// was; no exception escapes Load; and no graphics object or exception object outlives the call.
#include "dib.h"
#include "mem_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr int kOldWidth = 5, kOldHeight = 3;
constexpr BYTE kOldFill = 7;

void Require(bool condition) {
    if (!condition)
        abort();
}

bool IsEmpty(const CDIB& dib) {
    return !dib.m_pBMI && !dib.m_pBits && !dib.m_hBitmap && !dib.m_hDC && !dib.m_hOldBitmap;
}

void RequireWhole(const CDIB& dib) {
    Require(dib.m_pBMI && dib.m_pBits && dib.m_hBitmap && dib.m_hDC && dib.m_hOldBitmap);
    const BITMAPINFOHEADER& h = dib.m_pBMI->bmiHeader;
    Require(h.biSize == sizeof(BITMAPINFOHEADER) && h.biBitCount == 8 && h.biPlanes == 1);
    Require(h.biWidth > 0 && h.biHeight > 0);
    const unsigned long long stride = ((unsigned long long)h.biWidth + 3) & ~3ull;
    Require(dib.GetStride() == (int)stride);
    const unsigned long long bytes = stride * (unsigned long long)h.biHeight;
    Require(bytes <= kMaxDibSectionBytes && h.biSizeImage == bytes);
    Require(GetCurrentObject(dib.m_hDC, OBJ_BITMAP) == dib.m_hBitmap);
    // The first and the last byte of the pixels must be there.
    volatile BYTE first = dib.m_pBits[0], last = dib.m_pBits[bytes - 1];
    (void)first;
    (void)last;
}

bool IsOldPicture(const CDIB& dib) {
    if (IsEmpty(dib) || dib.GetWidth() != kOldWidth || dib.GetHeight() != kOldHeight)
        return false;
    for (int i = 0; i < dib.GetStride() * dib.GetHeight(); ++i)
        if (dib.m_pBits[i] != kOldFill)
            return false;
    return true;
}

// True when the reader must give up before it touches the image: an unknown format, or a BMP
// whose headers are short or not the 40-byte kind.
bool RejectedUntouched(const uint8_t* data, size_t size) {
    const int format = DetectImageFormat(data, (DWORD)(size < 100 ? size : 100));
    if (format == IMAGE_FORMAT_UNKNOWN)
        return true;
    if (format != IMAGE_FORMAT_BMP)
        return false;
    if (size < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))
        return true;
    BITMAPINFOHEADER h;
    memcpy(&h, data + sizeof(BITMAPFILEHEADER), sizeof(h));
    return h.biSize != sizeof(BITMAPINFOHEADER) || h.biPlanes != 1;
}

void RequireOutcome(const CDIB& dib, BOOL ok, const uint8_t* data, size_t size) {
    if (ok)
        RequireWhole(dib);
    else if (!IsEmpty(dib))
        RequireWhole(dib);
    if (RejectedUntouched(data, size))
        Require(!ok && IsOldPicture(dib));
}

// A 16-colour palette, so that reads with a caller's palette are covered too.
void MakePalette(CPalette& pal) {
    struct {
        WORD version, count;
        PALETTEENTRY entries[16];
    } lp = {0x300, 16, {}};
    for (int i = 0; i < 16; ++i)
        lp.entries[i] = PALETTEENTRY{(BYTE)(i * 17), (BYTE)(255 - i * 17), (BYTE)(i * 5), 0};
    pal.CreatePalette(reinterpret_cast<LOGPALETTE*>(&lp));
}

BOOL ReadFromMemory(CDIB& dib, const uint8_t* data, size_t size, CPalette* pal) {
    CMemFile file(data, size);
    try {
        return dib.Read(&file, pal);
    } catch (CException* e) {
        e->Delete();
        return FALSE;
    }
}

BOOL LoadFromDisk(CDIB& dib, const uint8_t* data, size_t size, CPalette* pal) {
    static const std::string path = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") +
                                    "/kyr-fuzz-read-" + std::to_string(getpid()) + ".img";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return FALSE;
    const bool written = size == 0 || fwrite(data, 1, size, f) == size;
    if (fclose(f) != 0 || !written)
        return FALSE;
    // Any exception here escapes Load, which must never happen: the fuzzer reports it.
    const BOOL ok = dib.Load(path.c_str(), pal);
    unlink(path.c_str());
    return ok;
}

void ReadOnce(const uint8_t* data, size_t size, bool fromDisk, CPalette* pal) {
    CDIB dib;
    Require(dib.Create(kOldWidth, kOldHeight, kOldFill, nullptr));
    const BOOL ok =
        fromDisk ? LoadFromDisk(dib, data, size, pal) : ReadFromMemory(dib, data, size, pal);
    RequireOutcome(dib, ok, data, size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const DWORD objects = AfxGdiLiveObjectCount();
    const long exceptions = AfxLiveExceptionCount();
    {
        CPalette pal;
        if (size % 3 == 1)
            MakePalette(pal);
        ReadOnce(data, size, size % 4 == 0, size % 3 == 1 ? &pal : nullptr);
    }
    Require(AfxGdiLiveObjectCount() == objects);
    Require(AfxLiveExceptionCount() == exceptions);
    return 0;
}
