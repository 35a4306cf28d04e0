#include "dib.h"
#include "read_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

using namespace readtest;

namespace {

std::vector<BYTE> WithJfifAt(size_t offset, size_t size) {
    std::vector<BYTE> bytes(size, 0x20);
    memcpy(&bytes[offset], "JFIF", 4);
    return bytes;
}

// A scratch folder that serves as the data folder, so that drive paths land in it.
class LoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/kyr-load-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        m_folder = templ;
        AfxSetDataFolder(m_folder);
    }
    void TearDown() override {
        AfxSetDataFolder("");
        std::system(("rm -rf '" + m_folder + "'").c_str());
    }
    std::string Write(const std::string& relative, const std::vector<BYTE>& bytes) {
        std::string path = m_folder + "/" + relative;
        std::system(("mkdir -p \"$(dirname '" + path + "')\"").c_str());
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
        return path;
    }
    std::string m_folder;
};

} // namespace

TEST(DetectImageFormat, BmpNeedsAWholeFileHeaderAndJfifMustStartBeforeTheLastFourBytes) {
    std::vector<BYTE> bm = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(DetectImageFormat(bm.data(), 14), IMAGE_FORMAT_BMP);
    EXPECT_EQ(DetectImageFormat(bm.data(), 13), IMAGE_FORMAT_UNKNOWN);

    EXPECT_EQ(DetectImageFormat(WithJfifAt(6, 100).data(), 100), IMAGE_FORMAT_JPEG);
    EXPECT_EQ(DetectImageFormat(WithJfifAt(95, 100).data(), 100), IMAGE_FORMAT_JPEG);
    EXPECT_EQ(DetectImageFormat(WithJfifAt(96, 100).data(), 100), IMAGE_FORMAT_UNKNOWN);
    EXPECT_EQ(DetectImageFormat(WithJfifAt(0, 5).data(), 5), IMAGE_FORMAT_JPEG);
    EXPECT_EQ(DetectImageFormat(WithJfifAt(0, 4).data(), 4), IMAGE_FORMAT_UNKNOWN);
    EXPECT_EQ(DetectImageFormat(bm.data(), 0), IMAGE_FORMAT_UNKNOWN);

    // "BM" is tested first; a short "BM" file with "JFIF" in it is a JPEG candidate.
    std::vector<BYTE> both = WithJfifAt(4, 13);
    both[0] = 'B';
    both[1] = 'M';
    EXPECT_EQ(DetectImageFormat(both.data(), 13), IMAGE_FORMAT_JPEG);
}

TEST(GetImageFormat, LooksAtTheNextHundredBytesAndPutsThePositionBack) {
    std::vector<BYTE> bytes(300, 0x20);
    memcpy(&bytes[150], "JFIF", 4);
    CMemFile file(bytes);
    file.Seek(100, CFile::begin);
    EXPECT_EQ(GetImageFormat(&file), IMAGE_FORMAT_JPEG);
    EXPECT_EQ(file.GetPosition(), 100u);
    file.Seek(200, CFile::begin);
    EXPECT_EQ(GetImageFormat(&file), IMAGE_FORMAT_UNKNOWN);
    EXPECT_EQ(file.GetPosition(), 200u);
}

TEST(GetImageFormat, FileErrorsAreSwallowedAndTheBytesReadSoFarClassified) {
    std::vector<BYTE> bytes = WithJfifAt(10, 100);
    FailingFile readFails(bytes, 0);
    EXPECT_EQ(GetImageFormat(&readFails), IMAGE_FORMAT_UNKNOWN);

    FailingFile seekFails(bytes, bytes.size(), true);
    EXPECT_EQ(GetImageFormat(&seekFails), IMAGE_FORMAT_JPEG);
    EXPECT_EQ(AfxLiveExceptionCount(), 0);
}

TEST_F(LoadTest, NothingToReadLeavesTheImageUntouched) {
    std::string shortBm = Write("short.bmp", {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    std::string lateJfif = Write("late.jpg", WithJfifAt(96, 100));
    for (const char* path : {(const char*)nullptr, "", "/no/such/file.bmp", shortBm.c_str(),
                             lateJfif.c_str(), m_folder.c_str()}) {
        CDIB dib;
        ASSERT_TRUE(dib.Create(3, 2, 9, nullptr));
        EXPECT_FALSE(dib.Load(path, nullptr)) << (path ? path : "null");
        EXPECT_EQ(dib.GetWidth(), 3);
        EXPECT_EQ(dib.m_pBits[0], 9);
    }
    EXPECT_EQ(AfxLiveExceptionCount(), 0);
}

TEST_F(LoadTest, PathsFollowThePlatformRulesAndEachFormatReachesItsReader) {
    BmpBuilder bmp;
    bmp.info.biWidth = 2;
    bmp.info.biHeight = 1;
    bmp.table.assign(256, RGBQUAD{1, 2, 3, 0});
    bmp.pixels = {7, 8, 0, 0};
    Write("drive_c/Kyr/art/Attack00.BMP", bmp.Build());

    std::vector<BYTE> jpeg = EncodeJpeg(SpritePicture(9, 5), 9, 5, 3);
    ASSERT_EQ(memcmp(&jpeg[6], "JFIF", 4), 0);
    Write("drive_c/Kyr/art/effects00.bmp", jpeg); // a JPEG under a BMP name

    CDIB dib;
    ASSERT_TRUE(dib.Load("c:\\kyr\\art\\attack00.bmp", nullptr));
    EXPECT_EQ(dib.GetWidth(), 2);
    EXPECT_EQ(dib.m_pBits[1], 8);
    ASSERT_TRUE(dib.Load("C:/Kyr//art\\effects00.bmp", nullptr));
    EXPECT_EQ(dib.GetWidth(), 9);
    EXPECT_EQ(dib.GetHeight(), 5);
}
