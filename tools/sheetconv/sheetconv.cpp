// sheetconv INPUT OUTPUT: loads a sheet the way the viewer does and writes what it then holds
// as an uncompressed 8-bit bottom-up BMP, so the loader can be checked from outside.
#include "bmp_writer.h"
#include "dib.h"
#include "output_file.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::vector<BYTE> EncodeBmp(const CDIB& dib) {
    const int nHeight = dib.GetHeight(), nStride = dib.GetStride();
    BmpTable table;
    memcpy(table.data(), reinterpret_cast<const BYTE*>(dib.m_pBMI) + sizeof(BITMAPINFOHEADER),
           sizeof(table));
    // The DIB is bottom-up: picture row y is memory row height - 1 - y.
    return EncodeBmp8(
        dib.GetWidth(), nHeight,
        [&](int y) { return dib.m_pBits + (size_t)(nHeight - 1 - y) * nStride; }, table);
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
    if (!WriteOutputFile(argv[2], EncodeBmp(dib))) {
        fprintf(stderr, "sheetconv: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
