// Helpers for the reading tests: pictures, a BMP builder, files that fail on purpose and a
// reference decoder.
#pragma once

#include "afx.h"
#include "dib.h"
#include "gdi.h"
#include "jpeg_writer.h"
#include "mem_file.h"
#include "system_palette.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace readtest {

// An RGB picture with flat areas, hard edges and a gradient, like a sheet of sprites.
inline std::vector<BYTE> SpritePicture(int w, int h) {
    std::vector<BYTE> rgb((size_t)w * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            BYTE* p = &rgb[((size_t)y * w + x) * 3];
            int cx = x % 24 - 12, cy = y % 24 - 12;
            bool blob = cx * cx + cy * cy < 64;
            p[0] = blob ? (BYTE)(200 - 4 * (y % 24)) : 255;
            p[1] = blob ? (BYTE)(40 + 5 * (x % 24)) : 0;
            p[2] = blob ? (BYTE)(x * 255 / (w > 1 ? w - 1 : 1)) : 255;
        }
    }
    return rgb;
}

using fixtures::EncodeJpeg;
using fixtures::JpegOptions;

// Builds a BMP file field by field; defaults give a valid 8-bit bottom-up file.
struct BmpBuilder {
    BITMAPFILEHEADER file{0x4D42, 0, 0, 0, 0};
    BITMAPINFOHEADER info{40, 0, 0, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<BYTE> masks;    // written after the header when not empty
    std::vector<RGBQUAD> table; // written after the masks
    std::vector<BYTE> pixels;   // written at bfOffBits
    bool fixSizes = true;       // fill bfSize and bfOffBits from the parts

    std::vector<BYTE> Build() const {
        size_t headerBytes = 14 + 40 + masks.size() + table.size() * 4;
        BITMAPFILEHEADER bf = file;
        if (fixSizes) {
            bf.bfOffBits = (DWORD)headerBytes;
            bf.bfSize = (DWORD)(headerBytes + pixels.size());
        }
        size_t pixelsAt = headerBytes > bf.bfOffBits ? headerBytes : bf.bfOffBits;
        std::vector<BYTE> out(pixelsAt + pixels.size(), 0);
        memcpy(&out[0], &bf, 14);
        memcpy(&out[14], &info, 40);
        if (!masks.empty())
            memcpy(&out[54], masks.data(), masks.size());
        if (!table.empty())
            memcpy(&out[54 + masks.size()], table.data(), table.size() * 4);
        if (!pixels.empty())
            memcpy(&out[pixelsAt], pixels.data(), pixels.size());
        return out;
    }
};

// A memory file whose Read throws once `failAfter` bytes have been delivered, and whose Seek
// throws when `failSeek` is set.
class FailingFile : public CMemFile {
public:
    FailingFile(std::vector<BYTE> data, ULONGLONG failAfter, bool failSeek = false)
        : CMemFile(std::move(data)), m_failAfter(failAfter), m_failSeek(failSeek) {}

    UINT Read(void* lpBuf, UINT nCount) override {
        if (GetPosition() >= m_failAfter && nCount > 0)
            throw new CFileException(CFileException::hardIO, 5);
        ULONGLONG room = m_failAfter - GetPosition();
        return CMemFile::Read(lpBuf, room < nCount ? (UINT)room : nCount);
    }
    ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override {
        ++seeks;
        if (m_failSeek)
            throw new CFileException(CFileException::badSeek, 22);
        return CMemFile::Seek(lOff, nFrom);
    }
    int seeks = 0;

private:
    ULONGLONG m_failAfter;
    bool m_failSeek;
};

inline BYTE IndexAt(const CDIB& dib, int x, int y) {
    return dib.m_pBits[(size_t)dib.GetStride() * (dib.GetHeight() - 1 - y) + x];
}

// The colour a CDIB shows at (x, y), counted from the top-left corner.
inline RGBQUAD ColorAt(const CDIB& dib, int x, int y) {
    const BYTE* table = reinterpret_cast<const BYTE*>(dib.m_pBMI) + sizeof(BITMAPINFOHEADER);
    RGBQUAD q;
    memcpy(&q, table + 4 * IndexAt(dib, x, y), sizeof(q));
    return q;
}

// Decodes a JPEG held in memory straight through libjpeg, quantised to system palette
// entries 10..245 as the reader asks for; returns map indices, top row first, or an empty
// vector when the library gives up.
inline std::vector<BYTE> ReferenceDecode(const std::vector<BYTE>& jpeg, int* pWidth, int* pHeight,
                                         bool greyAsRgb = true) {
    struct Fail {
        jpeg_error_mgr mgr;
        jmp_buf jump;
    } err;
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = [](j_common_ptr c) { longjmp(reinterpret_cast<Fail*>(c->err)->jump, 1); };
    err.mgr.output_message = [](j_common_ptr) {};
    std::vector<BYTE> out;
    JSAMPLE map[3][236];
    JSAMPROW mapRows[3] = {map[0], map[1], map[2]};
    for (int i = 0; i < 236; ++i) {
        const PALETTEENTRY& e = fixtures::SystemPalette().data()[i + 10];
        map[0][i] = e.peRed;
        map[1][i] = e.peGreen;
        map[2][i] = e.peBlue;
    }
    jpeg_create_decompress(&cinfo);
    if (setjmp(err.jump) == 0) {
        jpeg_mem_src(&cinfo, jpeg.data(), (unsigned long)jpeg.size());
        jpeg_read_header(&cinfo, TRUE);
        if (greyAsRgb && cinfo.num_components == 1)
            cinfo.out_color_space = JCS_RGB;
        cinfo.quantize_colors = TRUE;
        cinfo.colormap = mapRows;
        cinfo.actual_number_of_colors = 236;
        jpeg_start_decompress(&cinfo);
        *pWidth = (int)cinfo.output_width;
        *pHeight = (int)cinfo.output_height;
        out.resize((size_t)cinfo.output_width * cinfo.output_height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = &out[(size_t)cinfo.output_scanline * cinfo.output_width];
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
    } else {
        out.clear();
    }
    jpeg_destroy_decompress(&cinfo);
    return out;
}

} // namespace readtest
