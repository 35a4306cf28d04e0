#include "afx.h"
#include "mem_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/kyr-core-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempFolder() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    const std::string& path() const { return m_path; }
    void Write(const std::string& relative, const std::string& content) const {
        std::string full = m_path + "/" + relative;
        std::system(("mkdir -p \"$(dirname '" + full + "')\"").c_str());
        std::ofstream(full, std::ios::binary) << content;
    }

private:
    std::string m_path;
};

std::string ReadAll(CFile& file) {
    char buf[64];
    UINT n = file.Read(buf, sizeof(buf));
    return std::string(buf, n);
}

} // namespace

TEST(Geometry, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(406, 6, 4), 609);
    EXPECT_EQ(MulDiv(242, 13, 8), 393);
    EXPECT_EQ(MulDiv(1, 3, 2), 2);
    EXPECT_EQ(MulDiv(-1, 3, 2), -2);
    EXPECT_EQ(MulDiv(5, 1, 0), -1);
    // The most negative denominator has no 32-bit magnitude; -1.5 still rounds to -2.
    EXPECT_EQ(MulDiv(1 << 30, 3, INT32_MIN), -2);
    EXPECT_EQ(MulDiv(-3, 1, -2), 2);
}

TEST(Geometry, RectHelpersAreHalfOpen) {
    RECT r{10, 20, 30, 40};
    EXPECT_TRUE(PtInRect(&r, POINT{10, 20}));
    EXPECT_FALSE(PtInRect(&r, POINT{30, 25}));
    EXPECT_FALSE(PtInRect(&r, POINT{15, 40}));
    InflateRect(&r, -3, 2);
    EXPECT_EQ(r.left, 13);
    EXPECT_EQ(r.bottom, 42);
    RECT a{0, 0, 10, 10}, b{5, 5, 20, 20}, out;
    EXPECT_TRUE(IntersectRect(&out, &a, &b));
    EXPECT_EQ(out.left, 5);
    EXPECT_EQ(out.right, 10);
    RECT c{10, 0, 20, 10};
    EXPECT_FALSE(IntersectRect(&out, &a, &c));
    EXPECT_TRUE(IsRectEmpty(&out));
}

TEST(RuntimeClass, ExceptionFamilyIsKindOfItsBases) {
    CFileException* e = new CFileException(CFileException::endOfFile);
    EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CException)));
    EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(e->IsKindOf(RUNTIME_CLASS(CMemoryException)));
    EXPECT_STREQ(e->GetRuntimeClass()->m_lpszClassName, "CFileException");
    long before = AfxLiveExceptionCount();
    e->Delete();
    EXPECT_EQ(AfxLiveExceptionCount(), before - 1);
}

TEST(FilePaths, DriveLettersMapIntoTheDataFolderAndCaseIsForgiven) {
    TempFolder data;
    data.Write("drive_c/Kyr/art/ATTACK05.BMP", "five");
    AfxSetDataFolder(data.path());
    CFile file;
    ASSERT_TRUE(file.Open("c:\\Kyr\\art\\attack05.bmp", CFile::modeRead));
    EXPECT_EQ(ReadAll(file), "five");
    file.Close();
    ASSERT_TRUE(file.Open("C:/kyr//ART\\\\attack05.bmp", CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_EQ(ReadAll(file), "five");
    EXPECT_FALSE(file.Open("c:\\Kyr\\art\\attack06.bmp", CFile::modeRead));
    AfxSetDataFolder("");
}

TEST(FilePaths, HomeFolderAndPlainPaths) {
    TempFolder home;
    home.Write("sheets/a.bmp", "home");
    std::string saved = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", home.path().c_str(), 1);
    CFile file;
    EXPECT_TRUE(file.Open("~\\sheets\\A.bmp", CFile::modeRead));
    EXPECT_EQ(ReadAll(file), "home");
    setenv("HOME", saved.c_str(), 1);
    file.Close();
    EXPECT_TRUE(file.Open((home.path() + "\\sheets\\a.bmp").c_str(), CFile::modeRead));
}

TEST(FileOpen, RefusesFoldersPipesEmptyNamesAndWriting) {
    TempFolder dir;
    dir.Write("x.bmp", "x");
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(dir.path().c_str(), CFile::modeRead, &error));
    EXPECT_FALSE(file.Open("", CFile::modeRead));
    EXPECT_FALSE(file.Open(nullptr, CFile::modeRead));
    EXPECT_FALSE(file.Open((dir.path() + "/x.bmp").c_str(), CFile::modeWrite));
    std::string fifo = dir.path() + "/pipe.bmp";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(file.Open(fifo.c_str(), CFile::modeRead)); // and it does not hang
}

TEST(FileReadSeek, PositionsAndErrorsAsTheFrameworkHasThem) {
    TempFolder dir;
    dir.Write("f.bin", "0123456789");
    CFile file;
    ASSERT_TRUE(file.Open((dir.path() + "/f.bin").c_str(), CFile::modeRead));
    EXPECT_EQ(file.Seek(4, CFile::begin), 4u);
    char c;
    EXPECT_EQ(file.Read(&c, 1), 1u);
    EXPECT_EQ(c, '4');
    EXPECT_EQ(file.Seek(-2, CFile::end), 8u);
    EXPECT_EQ(file.GetPosition(), 8u);
    char buf[16];
    EXPECT_EQ(file.Read(buf, 16), 2u);
    EXPECT_EQ(file.Read(buf, 16), 0u);
    bool thrown = false;
    try {
        file.Seek(-100, CFile::current);
    } catch (CException* e) {
        thrown = e->IsKindOf(RUNTIME_CLASS(CFileException));
        e->Delete();
    }
    EXPECT_TRUE(thrown);
}

TEST(MemFile, BehavesLikeAFileOverItsBytes) {
    const BYTE bytes[] = {1, 2, 3, 4, 5};
    CMemFile file(bytes, sizeof(bytes));
    BYTE buf[8];
    EXPECT_EQ(file.Read(buf, 3), 3u);
    EXPECT_EQ(file.GetPosition(), 3u);
    EXPECT_EQ(file.Seek(1, CFile::current), 4u);
    EXPECT_EQ(file.Read(buf, 8), 1u);
    EXPECT_EQ(buf[0], 5);
    EXPECT_EQ(file.Seek(100, CFile::begin), 100u); // past the end: reads give nothing
    EXPECT_EQ(file.Read(buf, 8), 0u);
    long before = AfxLiveExceptionCount();
    try {
        file.Seek(-1, CFile::begin);
        ADD_FAILURE() << "a seek before the start must throw";
    } catch (CException* e) {
        EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CFileException)));
        e->Delete();
    }
    EXPECT_EQ(AfxLiveExceptionCount(), before);
}

TEST(TickCount, TestsCanReplaceTheClock) {
    AfxSetTickCountSource([]() -> DWORD { return 0xFFFFFFF0u; });
    EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
    AfxSetTickCountSource(nullptr);
    DWORD a = GetTickCount(), b = GetTickCount();
    EXPECT_LE((DWORD)(b - a), 1000u);
}
