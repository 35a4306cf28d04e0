// sheetconv INPUT OUTPUT: loads a sheet the way the viewer does and writes what it then holds
// as an uncompressed 8-bit bottom-up BMP, so the loader can be checked from outside.
#include "dib.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kHeaderBytes = 14 + 40 + 256 * 4;

void PutWord(std::vector<BYTE>& out, WORD v) {
    out.push_back((BYTE)v);
    out.push_back((BYTE)(v >> 8));
}

void PutDword(std::vector<BYTE>& out, DWORD v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back((BYTE)(v >> shift));
}

std::vector<BYTE> EncodeBmp(const CDIB& dib) {
    const int nWidth = dib.GetWidth(), nHeight = dib.GetHeight(), nStride = dib.GetStride();
    const DWORD nPixelBytes = (DWORD)nStride * (DWORD)nHeight;
    std::vector<BYTE> out;
    out.reserve(kHeaderBytes + nPixelBytes);
    PutWord(out, 0x4D42);
    PutDword(out, kHeaderBytes + nPixelBytes);
    PutDword(out, 0);
    PutDword(out, kHeaderBytes);

    PutDword(out, 40);
    PutDword(out, (DWORD)nWidth);
    PutDword(out, (DWORD)nHeight);
    PutWord(out, 1);
    PutWord(out, 8);
    PutDword(out, BI_RGB);
    PutDword(out, nPixelBytes);
    for (int i = 0; i < 4; ++i) // resolution and colour counts: 0, the whole table is used
        PutDword(out, 0);

    const BYTE* pTable = reinterpret_cast<const BYTE*>(dib.m_pBMI) + sizeof(BITMAPINFOHEADER);
    out.insert(out.end(), pTable, pTable + 256 * 4);
    for (int y = 0; y < nHeight; ++y) {
        const BYTE* pRow = dib.m_pBits + (size_t)y * nStride;
        out.insert(out.end(), pRow, pRow + nWidth);
        out.insert(out.end(), (size_t)(nStride - nWidth), 0);
    }
    return out;
}

// Writes through a temporary name, so a failed write never leaves a partial OUTPUT.
bool WriteFile(const std::string& path, const std::vector<BYTE>& bytes) {
    std::string temp = path + ".part";
    FILE* f = fopen(temp.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fclose(f) == 0 && ok;
    if (ok && rename(temp.c_str(), path.c_str()) == 0)
        return true;
    remove(temp.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: sheetconv INPUT OUTPUT\n");
        return 2;
    }
    CDIB dib;
    if (!dib.Load(argv[1], nullptr)) {
        fprintf(stderr, "sheetconv: cannot read %s\n", argv[1]);
        return 1;
    }
    if (!WriteFile(argv[2], EncodeBmp(dib))) {
        fprintf(stderr, "sheetconv: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
