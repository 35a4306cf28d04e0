// A sheet caught while the artist's editor is still writing it: every prefix of a small BMP
// and of small JPEGs is loaded, and the whole file loaded next must give the exact picture.
#include "read_test_support.h"
#include "sheet_complete.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

using namespace readtest;

namespace {

// Everything a load can change, so that "untouched" and "exact" can be compared whole.
struct Picture {
    int width = 0, height = 0;
    std::vector<BYTE> bits;
    std::vector<RGBQUAD> table;
    bool operator==(const Picture& other) const {
        return width == other.width && height == other.height && bits == other.bits &&
               table.size() == other.table.size() &&
               memcmp(table.data(), other.table.data(), table.size() * sizeof(RGBQUAD)) == 0;
    }
};

Picture Snapshot(const CDIB& dib) {
    Picture p;
    if (!dib.m_pBMI || !dib.m_pBits)
        return p;
    p.width = dib.GetWidth();
    p.height = dib.GetHeight();
    p.bits.assign(dib.m_pBits, dib.m_pBits + (size_t)dib.GetStride() * dib.GetHeight());
    p.table.assign(dib.m_pBMI->bmiColors, dib.m_pBMI->bmiColors + 256);
    return p;
}

// Either all five parts are there or none is: a half-kept image would crash whoever draws it.
bool WholeOrEmpty(const CDIB& dib) {
    const bool set[] = {dib.m_pBMI != nullptr, dib.m_pBits != nullptr, dib.m_hBitmap != nullptr,
                        dib.m_hDC != nullptr, dib.m_hOldBitmap != nullptr};
    for (bool b : set)
        if (b != set[0])
            return false;
    return true;
}

bool IsEmpty(const CDIB& dib) {
    return WholeOrEmpty(dib) && dib.m_pBMI == nullptr;
}

// An 8-bit sheet of an odd width (so rows are padded) whose 256 colours are all different,
// so that each index survives a load, and whose pixels are never index 0.
constexpr int kBmpWidth = 37, kBmpHeight = 23;
constexpr size_t kBmpPixelsAt = 14 + 40 + 1024;

BYTE BmpIndex(int x, int y) {
    return (BYTE)(1 + (x * 11 + y * 29) % 255);
}

std::vector<BYTE> SmallBmp() {
    BmpBuilder b;
    b.info.biWidth = kBmpWidth;
    b.info.biHeight = kBmpHeight;
    for (int i = 0; i < 256; ++i)
        b.table.push_back(RGBQUAD{(BYTE)(i * 7), (BYTE)(255 - i), (BYTE)i, 0});
    const int stride = (kBmpWidth + 3) & ~3;
    b.pixels.assign((size_t)stride * kBmpHeight, 0);
    for (int y = 0; y < kBmpHeight; ++y) // the file holds the bottom row first
        for (int x = 0; x < kBmpWidth; ++x)
            b.pixels[(size_t)(kBmpHeight - 1 - y) * stride + x] = BmpIndex(x, y);
    return b.Build();
}

// The first start-of-scan marker: before it a prefix holds no image; from the end of its
// header on, every prefix holds a decodable one.
struct FirstScan {
    size_t markerAt = 0, dataAt = 0;
};

FirstScan FindFirstScan(const std::vector<BYTE>& jpeg) {
    size_t at = 2;
    while (at + 4 <= jpeg.size()) {
        const size_t length = (size_t)(jpeg[at + 2] << 8 | jpeg[at + 3]);
        if (jpeg[at] == 0xFF && jpeg[at + 1] == 0xDA)
            return {at, at + 2 + length};
        at += 2 + length;
    }
    return {jpeg.size(), jpeg.size()};
}

class HalfWritten : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_previousPath = m_dir.filePath("previous.bmp").toStdString();
        m_sheetPath = m_dir.filePath("attack00.bmp").toStdString();
        BmpBuilder b;
        b.info.biWidth = 9;
        b.info.biHeight = 4;
        b.table.assign(256, RGBQUAD{10, 20, 30, 0});
        b.pixels.assign(12 * 4, 77);
        Write(m_previousPath, b.Build(), b.Build().size());
    }

    static void Write(const std::string& path, const std::vector<BYTE>& bytes, size_t n) {
        // A new file each time: ext4 flushes a file truncated and rewritten in place to disk
        // when it is closed, which would make thousands of rewrites slow.
        remove(path.c_str());
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr) << path;
        ASSERT_EQ(fwrite(bytes.data(), 1, n, file), n);
        fclose(file);
    }

    // The viewer's sheet as it stands before the artist's save begins.
    Picture LoadPrevious(CDIB& dib) {
        EXPECT_TRUE(dib.Load(m_previousPath.c_str(), nullptr));
        return Snapshot(dib);
    }

    // Loads the first n bytes of the file, then the whole file, which must give `whole`.
    // Returns the result of the first load and leaves its picture in `cut`.
    BOOL LoadCutThenWhole(const std::vector<BYTE>& file, size_t n, const Picture& whole,
                          Picture& cut) {
        CDIB dib;
        const Picture previous = LoadPrevious(dib);
        const long exceptions = AfxLiveExceptionCount();
        Write(m_sheetPath, file, n);
        const BOOL bResult = dib.Load(m_sheetPath.c_str(), nullptr);
        EXPECT_EQ(AfxLiveExceptionCount(), exceptions) << "cut at " << n;
        EXPECT_TRUE(WholeOrEmpty(dib)) << "cut at " << n;
        cut = Snapshot(dib);
        if (!bResult && !IsEmpty(dib)) {
            EXPECT_TRUE(cut == previous) << "a refused file changed the picture, cut at " << n;
        }

        Write(m_sheetPath, file, file.size());
        EXPECT_TRUE(dib.Load(m_sheetPath.c_str(), nullptr)) << "after a cut at " << n;
        EXPECT_TRUE(Snapshot(dib) == whole) << "the whole file after a cut at " << n;
        return bResult;
    }

    QTemporaryDir m_dir;
    std::string m_previousPath, m_sheetPath;
};

} // namespace

TEST_F(HalfWritten, EveryPrefixOfABmpShowsWhatWasWrittenAndTheWholeFileIsExact) {
    const std::vector<BYTE> file = SmallBmp();
    const int stride = (kBmpWidth + 3) & ~3;
    Picture whole;
    {
        CDIB dib;
        Write(m_sheetPath, file, file.size());
        ASSERT_TRUE(dib.Load(m_sheetPath.c_str(), nullptr));
        whole = Snapshot(dib);
    }
    ASSERT_EQ(whole.width, kBmpWidth);
    for (int y = 0; y < kBmpHeight; ++y)
        for (int x = 0; x < kBmpWidth; ++x)
            ASSERT_EQ(whole.bits[(size_t)(kBmpHeight - 1 - y) * stride + x], BmpIndex(x, y));

    for (size_t n = 0; n < file.size(); ++n) {
        Picture cut;
        const BOOL bResult = LoadCutThenWhole(file, n, whole, cut);
        if (n < 14 + 40) {
            // Headers incomplete: the previous picture stays (checked above).
            EXPECT_FALSE(bResult) << n;
            EXPECT_EQ(cut.width, 9) << n;
        } else if (n < kBmpPixelsAt) {
            EXPECT_FALSE(bResult) << n;
            EXPECT_EQ(cut.width, 0) << "a short colour table leaves no picture, cut at " << n;
        } else {
            // Every pixel the file already holds is shown; the rows still to come are index 0.
            ASSERT_TRUE(bResult) << n;
            ASSERT_EQ(cut.width, kBmpWidth);
            ASSERT_EQ(cut.height, kBmpHeight);
            EXPECT_EQ(memcmp(cut.table.data(), whole.table.data(), 256 * sizeof(RGBQUAD)), 0) << n;
            for (size_t at = 0; at < cut.bits.size(); ++at) {
                const BYTE expected = kBmpPixelsAt + at < n ? whole.bits[at] : 0;
                ASSERT_EQ(cut.bits[at], expected) << "byte " << at << " of a cut at " << n;
            }
        }
        if (HasFatalFailure() || HasFailure())
            break;
    }
}

TEST_F(HalfWritten, EveryPrefixOfAJpegIsRefusedWholeOrDecodedAndTheWholeFileIsExact) {
    for (JpegOptions opt : {JpegOptions{}, JpegOptions{80, true, 0}}) {
        const std::vector<BYTE> file = EncodeJpeg(SpritePicture(40, 24), 40, 24, 3, opt);
        int w = 0, h = 0;
        const std::vector<BYTE> reference = ReferenceDecode(file, &w, &h);
        ASSERT_EQ(w, 40);
        Picture whole;
        {
            CDIB dib;
            Write(m_sheetPath, file, file.size());
            ASSERT_TRUE(dib.Load(m_sheetPath.c_str(), nullptr));
            whole = Snapshot(dib);
        }
        ASSERT_EQ(whole.width, 40);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(whole.bits[(size_t)(h - 1 - y) * 40 + x],
                          reference[(size_t)y * w + x] + 10);

        const FirstScan scan = FindFirstScan(file);
        ASSERT_LT(scan.dataAt, file.size());
        for (size_t n = 0; n < file.size(); ++n) {
            Picture cut;
            const BOOL bResult = LoadCutThenWhole(file, n, whole, cut);
            // A sequential file cut inside its picture data is finished by the decoder; a
            // progressive one may also be cut inside the tables of a later scan, which the
            // decoder refuses.
            if (n >= scan.dataAt && !opt.progressive) {
                EXPECT_TRUE(bResult) << "cut at " << n;
            }
            if (n <= scan.markerAt) {
                EXPECT_FALSE(bResult) << "no image yet, cut at " << n;
            }
            if (bResult) {
                ASSERT_EQ(cut.width, 40) << n;
                ASSERT_EQ(cut.height, 24) << n;
                for (int y = 0; y < 24; ++y)
                    for (int x = 0; x < 40; ++x)
                        ASSERT_TRUE(cut.bits[(size_t)y * 40 + x] >= 10 &&
                                    cut.bits[(size_t)y * 40 + x] <= 245)
                            << n;
            }
            if (HasFailure())
                break;
        }
    }
}

namespace {

// An 8-bit run-length sheet: runs, literal groups of odd length, a move and line ends.
std::vector<BYTE> SmallRle8(bool bSizeInHeader) {
    BmpBuilder b;
    b.info.biWidth = 12;
    b.info.biHeight = 3;
    b.info.biCompression = BI_RLE8;
    b.table.assign(256, RGBQUAD{1, 2, 3, 0});
    b.pixels = {5, 9, 0, 3, 1, 2, 3, 0, 4, 7, 0, 0, 0, 2, 3, 1, 9, 4, 0, 1};
    b.info.biSizeImage = bSizeInHeader ? (DWORD)b.pixels.size() : 0;
    if (!bSizeInHeader) {
        b.fixSizes = false;
        b.file.bfOffBits = 14 + 40 + 1024;
    }
    return b.Build();
}

BOOL PrefixComplete(const std::vector<BYTE>& file, size_t n) {
    CMemFile mem(std::vector<BYTE>(file.begin(), file.begin() + (ptrdiff_t)n));
    return IsSheetComplete(&mem);
}

} // namespace

TEST(SheetComplete, OnlyTheWholeFileOfEachKindIsComplete) {
    const std::vector<BYTE> jpeg = EncodeJpeg(SpritePicture(40, 24), 40, 24, 3, JpegOptions{});
    const std::vector<BYTE> progressive =
        EncodeJpeg(SpritePicture(40, 24), 40, 24, 3, JpegOptions{80, true, 1});
    const std::vector<BYTE> files[] = {SmallBmp(), SmallRle8(true), jpeg, progressive};
    for (const std::vector<BYTE>& file : files) {
        ASSERT_GT(file.size(), 100u);
        EXPECT_TRUE(PrefixComplete(file, file.size()));
        for (size_t n = 0; n < file.size(); ++n)
            ASSERT_FALSE(PrefixComplete(file, n)) << "a cut at " << n << " of " << file.size();
        // Bytes after the picture's end (a writer's padding, a trailer) change nothing.
        std::vector<BYTE> longer = file;
        longer.insert(longer.end(), {0xFF, 0xD8, 0, 0, 0xFF});
        EXPECT_TRUE(PrefixComplete(longer, longer.size()));
    }

    // Without a size, run-length data tells its end only by its end-of-bitmap code: a cut
    // inside a code is unfinished, one between codes cannot be told from a finished file.
    const std::vector<BYTE> rle = SmallRle8(false);
    const size_t pixelsAt = 14 + 40 + 1024;
    EXPECT_TRUE(PrefixComplete(rle, rle.size()));
    EXPECT_FALSE(PrefixComplete(rle, pixelsAt - 1));
    EXPECT_FALSE(PrefixComplete(rle, pixelsAt + 1)); // inside a run
    EXPECT_FALSE(PrefixComplete(rle, pixelsAt + 6)); // inside the literal group
    EXPECT_TRUE(PrefixComplete(rle, pixelsAt + 8));  // after the literal group
}
