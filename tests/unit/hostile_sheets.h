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

// Offset of the first frame header: a start-of-frame marker of any coding, Huffman (SOF0 to
// SOF2) or arithmetic (SOF9, SOF10).
inline size_t FrameAt(const std::vector<BYTE>& jpeg) {
    auto isFrame = [](BYTE m) { return (m >= 0xC0 && m <= 0xC2) || m == 0xC9 || m == 0xCA; };
    size_t at = 2;
    while (!(jpeg[at] == 0xFF && isFrame(jpeg[at + 1])))
        at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]);
    return at;
}

// A small real JPEG of `components` components whose frame header announces width x height;
// its data run out at once. A CMYK one gets the JFIF mark that the reader looks for.
inline std::vector<BYTE> Announcing(int width, int height, JpegOptions opt, int components = 3) {
    const std::vector<BYTE> samples(16 * 16 * (size_t)components, 200);
    std::vector<BYTE> jpeg = components == 3 ? EncodeJpeg(SpritePicture(16, 16), 16, 16, 3, opt)
                                             : EncodeJpeg(samples, 16, 16, components, opt);
    if (components == 4) {
        const BYTE jfif[] = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
        jpeg.insert(jpeg.begin() + 2, std::begin(jfif), std::end(jfif));
    }
    const size_t sof = FrameAt(jpeg);
    jpeg[sof + 5] = (BYTE)(height >> 8);
    jpeg[sof + 6] = (BYTE)height;
    jpeg[sof + 7] = (BYTE)(width >> 8);
    jpeg[sof + 8] = (BYTE)width;
    return jpeg;
}

// The file with `count` zero bytes after its end, which no reader looks at.
inline std::vector<BYTE> WithTrailingBytes(std::vector<BYTE> bytes, size_t count) {
    bytes.resize(bytes.size() + count, 0);
    return bytes;
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
        // Within the budget, but far more pixels than their few hundred bytes can describe.
        {"jpeg baseline 16000 x 16000", Announcing(16000, 16000, JpegOptions{75, false}), false},
        {"jpeg grey 16000 x 16000", Announcing(16000, 16000, JpegOptions{75, false}, 1), false},
        {"jpeg restart every row 16000 x 16000",
         Announcing(16000, 16000, JpegOptions{75, false, 1}), false},
        {"jpeg arithmetic 16000 x 16000",
         Announcing(16000, 16000, JpegOptions{75, false, 0, false, true}), false},
        {"jpeg CMYK 16000 x 16000", Announcing(16000, 16000, JpegOptions{75, false}, 4), false},
        {"jpeg progressive 8000 x 8000", Announcing(8000, 8000, JpegOptions{75, true}), false},
        {"jpeg progressive 9400 x 9400", Announcing(9400, 9400, JpegOptions{75, true}), false},
        {"bmp RLE8 16000 x 16000 of skips",
         BmpHeader(16000, 16000, 8, BI_RLE8, 256, {0, 2, 255, 255, 0, 2, 255, 255, 0, 1}), true},
        {"bmp 1-bit 16000 x 16000 cut short", BmpHeader(16000, 16000, 1, BI_RGB, 2, {0xFF}), true},
    };
    return sheets;
}

} // namespace readtest
