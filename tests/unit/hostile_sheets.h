// Small crafted sheets whose headers announce far more than they hold, shared by the tests
// and the benchmarks.
#pragma once

#include "read_test_support.h"

#include <string>
#include <utility>
#include <vector>

namespace readtest {

// A BMP of a header and whatever the caller adds; bfSize says only what was built.
inline std::vector<BYTE> BmpHeader(LONG width, LONG height, WORD bitCount, DWORD compression,
                                   size_t tableEntries = 0, std::vector<BYTE> pixels = {}) {
    BmpBuilder b;
    b.info.biWidth = width;
    b.info.biHeight = height;
    b.info.biBitCount = bitCount;
    b.info.biCompression = compression;
    b.table.resize(tableEntries);
    b.pixels = std::move(pixels);
    return b.Build();
}

// Offset of the first frame header (SOF0, SOF1 or SOF2 marker).
inline size_t FrameAt(const std::vector<BYTE>& jpeg) {
    size_t at = 2;
    while (!(jpeg[at] == 0xFF && jpeg[at + 1] >= 0xC0 && jpeg[at + 1] <= 0xC2))
        at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]);
    return at;
}

// A small real JPEG whose frame header announces width x height; its data run out at once.
inline std::vector<BYTE> Announcing(int width, int height, JpegOptions opt) {
    std::vector<BYTE> jpeg = EncodeJpeg(SpritePicture(16, 16), 16, 16, 3, opt);
    const size_t sof = FrameAt(jpeg);
    jpeg[sof + 5] = (BYTE)(height >> 8);
    jpeg[sof + 6] = (BYTE)height;
    jpeg[sof + 7] = (BYTE)(width >> 8);
    jpeg[sof + 8] = (BYTE)width;
    return jpeg;
}

inline size_t CountScans(const std::vector<BYTE>& jpeg) {
    size_t n = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        n += jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA;
    return n;
}

// The progressive file with its last scan sent again until it has `scans` scans in all.
inline std::vector<BYTE> WithScans(std::vector<BYTE> jpeg, size_t scans) {
    size_t last = jpeg.size() - 2;
    while (!(jpeg[last] == 0xFF && jpeg[last + 1] == 0xDA))
        --last;
    const std::vector<BYTE> scan(jpeg.begin() + (long)last, jpeg.end() - 2);
    for (size_t n = CountScans(jpeg); n < scans; ++n)
        jpeg.insert(jpeg.end() - 2, scan.begin(), scan.end());
    return jpeg;
}

// A flat grey progressive picture of side x side: its refinement scans are a few bytes each,
// so thousands of them make a file of some hundred kilobytes.
inline std::vector<BYTE> ManyScans(int side, size_t scans) {
    const std::vector<BYTE> grey((size_t)side * side, 128);
    return WithScans(EncodeJpeg(grey, side, side, 1, JpegOptions{75, true}), scans);
}

struct HostileSheet {
    std::string name;
    std::vector<BYTE> bytes;
    bool bmp;
};

// Each is refused from its header; a BMP then leaves the image empty, a JPEG untouched.
inline std::vector<HostileSheet> HostileHeaders() {
    const LONG huge = 46000;
    std::vector<HostileSheet> sheets = {
        {"bmp bit count 7", BmpHeader(huge, huge, 7, BI_RGB), true},
        {"bmp bit count 0", BmpHeader(huge, huge, 0, BI_RGB), true},
        {"bmp bit count 65535", BmpHeader(huge, huge, 65535, BI_RGB), true},
        {"bmp compression 9", BmpHeader(huge, huge, 24, 9), true},
        {"bmp 24-bit rows past 4 GB", BmpHeader(huge, huge, 24, BI_RGB), true},
        {"bmp 8-bit with whole table", BmpHeader(huge, huge, 8, BI_RGB, 256), true},
        {"bmp RLE8 of four bytes", BmpHeader(huge, huge, 8, BI_RLE8, 256, {2, 7, 0, 1}), true},
        {"bmp 32-bit bitfields", BmpHeader(huge, huge, 32, BI_BITFIELDS, 3), true},
        // The fuzzer's find: 90 bytes whose rows would have taken a 2.8 GB buffer.
        {"bmp bit count 19232", BmpHeader(1, 1164725, 19232, BI_RGB, 0, std::vector<BYTE>(36)),
         true},
        {"jpeg progressive 20000 x 20000", Announcing(20000, 20000, JpegOptions{75, true}), false},
        {"jpeg progressive 46000 x 46000", Announcing(46000, 46000, JpegOptions{75, true}), false},
        {"jpeg baseline 46000 x 46000", Announcing(46000, 46000, JpegOptions{75, false}), false},
        {"jpeg baseline 16400 x 16400", Announcing(16400, 16400, JpegOptions{75, false}), false},
    };
    return sheets;
}

} // namespace readtest
