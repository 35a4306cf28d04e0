// The shown sheet is re-read when the artist saves it, whichever way the editor saves.
#include "churn_support.h"
#include "gui_support.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A point inside the row strip (the strip frame is 90..489 x 133..197, the strip centred).
constexpr int kStripX = 157, kStripY = 161;

QRgb SheetColour(int nIndex) {
    return qRgb(nIndex, 255 - nIndex, nIndex / 2);
}

QRgb StripPixel(QWidget& window) {
    return window.screen()->grabWindow(window.winId()).toImage().pixel(kStripX, kStripY);
}

bool StripShowsWithin(QWidget& window, int nIndex, int ms) {
    return QTest::qWaitFor([&] { return StripPixel(window) == SheetColour(nIndex); }, ms);
}

std::vector<char> SheetBytes(const std::string& scratch, int nIndex) {
    WriteSheet(scratch, 384, 480, nIndex);
    std::ifstream in(scratch, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

bool IsChecked(QWidget* button) {
    return qobject_cast<QAbstractButton*>(button)->isChecked();
}

// The same picture as run-length data: each row as runs of up to 255 pixels and a line end,
// the last one turned into the end-of-bitmap code; the header gives the data's size.
std::vector<BYTE> RunLengthOf(const std::vector<BYTE>& bmp) {
    BITMAPFILEHEADER bf;
    BITMAPINFOHEADER bi;
    memcpy(&bf, bmp.data(), sizeof(bf));
    memcpy(&bi, bmp.data() + sizeof(bf), sizeof(bi));
    const size_t stride = ((size_t)bi.biWidth + 3) & ~(size_t)3;
    std::vector<BYTE> out(bmp.begin(), bmp.begin() + bf.bfOffBits);
    for (int y = 0; y < bi.biHeight; ++y) {
        const BYTE* row = &bmp[bf.bfOffBits + y * stride];
        for (int x = 0, n = 1; x < bi.biWidth; x += n, n = 1) {
            while (x + n < bi.biWidth && n < 255 && row[x + n] == row[x])
                ++n;
            out.insert(out.end(), {(BYTE)n, row[x]});
        }
        out.insert(out.end(), {0, 0});
    }
    out.back() = 1;
    bi.biCompression = BI_RLE8;
    bi.biSizeImage = (DWORD)(out.size() - bf.bfOffBits);
    bf.bfSize = (DWORD)out.size();
    memcpy(out.data(), &bf, sizeof(bf));
    memcpy(out.data() + sizeof(bf), &bi, sizeof(bi));
    return out;
}

class LiveReload : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        StoreFolderSetting(ArtFolder());
        WriteSheet(Sheet(), 384, 480, 10);
    }
    std::string Sheet() const { return ArtFolder() + "/attack00.bmp"; }
};

} // namespace

TEST_F(LiveReload, EverySaveShowsWithinASecondAndNothingElseChanges) {
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        const ViewerDriver driver(dlg, window);
        ASSERT_TRUE(StripShowsWithin(window, 10, 2000));
        // State the artist has set, and a folder typed but not taken: none of it may move.
        QTest::mouseClick(Item(dlg, IDC_SMEAR), Qt::LeftButton);
        QTest::mouseClick(Item(dlg, IDC_FOLDER), Qt::LeftButton);
        QTest::keyClick(Item(dlg, IDC_FOLDER), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(Item(dlg, IDC_FOLDER), "/nowhere");

        WriteSheet(Sheet(), 384, 480, 20); // rewritten in place
        EXPECT_TRUE(StripShowsWithin(window, 20, 1000));

        std::string fresh = ArtFolder() + "/attack00.bmp.saving";
        WriteSheet(fresh, 384, 480, 30); // saved aside, then renamed over the sheet
        ASSERT_EQ(std::rename(fresh.c_str(), Sheet().c_str()), 0);
        EXPECT_TRUE(StripShowsWithin(window, 30, 1000));

        ASSERT_EQ(std::remove(Sheet().c_str()), 0); // deleted, then written again
        QTest::qWait(300);
        EXPECT_EQ(StripPixel(window), SheetColour(30)); // the last good picture stays
        WriteSheet(Sheet(), 384, 480, 40);
        EXPECT_TRUE(StripShowsWithin(window, 40, 1000));

        EXPECT_EQ(driver.Row(), 0);
        EXPECT_EQ(driver.Mode(), MODE_ATTACK);
        EXPECT_TRUE(IsChecked(Item(dlg, IDC_SMEAR)));
        EXPECT_TRUE(IsChecked(Item(dlg, IDC_LOOP_FRAMES)));
        EXPECT_EQ(Text(Item(dlg, IDC_FOLDER)), "/nowhere");
        EXPECT_EQ(Text(Item(dlg, IDC_INFO)),
                  "This is the row at offset 0 of the file attack00.bmp");
    });
    EXPECT_EQ(StoredFolder(), ArtFolder());
}

TEST_F(LiveReload, ASheetSavedInPartialWritesEndsComplete) {
    std::vector<char> bytes = SheetBytes(ArtFolder() + "/scratch.tmp", 50);
    RunViewer([&](CViewerDlg&, QWidget& window) {
        ASSERT_TRUE(StripShowsWithin(window, 10, 2000));
        FILE* out = std::fopen(Sheet().c_str(), "wb");
        ASSERT_NE(out, nullptr);
        const size_t parts[] = {20, 1000, 60000, bytes.size()};
        size_t written = 0;
        for (size_t end : parts) {
            std::fwrite(bytes.data() + written, 1, end - written, out);
            std::fflush(out);
            written = end;
            QTest::qWait(250); // long enough for the viewer to read each part
        }
        std::fclose(out);
        EXPECT_TRUE(StripShowsWithin(window, 50, 1000));
    });
}

TEST_F(LiveReload, ChangesToOtherFilesReadNothing) {
    RunViewer([&](CViewerDlg&, QWidget& window) {
        ASSERT_TRUE(StripShowsWithin(window, 10, 2000));
        OpenCounter opens(ArtFolder());
        WriteSheet(ArtFolder() + "/attack01.bmp", 384, 480, 60);
        WriteSheet(ArtFolder() + "/effects00.bmp", 256, 160, 61);
        QTest::qWait(500);
        EXPECT_EQ(opens.Take("attack00.bmp"), 0);
        EXPECT_EQ(StripPixel(window), SheetColour(10));
    });
}

TEST_F(LiveReload, ASaveThatPausesHalfWayShowsOnlyWhenComplete) {
    const std::vector<BYTE> saves[] = {
        PatternBmp(384, 480, 3), RunLengthOf(PatternBmp(384, 480, 4)),
        SpriteJpeg(384, 480, 85, false), SpriteJpeg(384, 480, 70, true)};
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        const ViewerDriver viewer(dlg, window);
        CDIB shown;
        ASSERT_TRUE(shown.Load(Sheet().c_str(), nullptr));
        auto shows = [&](const CDIB& sheet) {
            return StripMismatch(window, viewer, sheet).empty();
        };
        ASSERT_TRUE(QTest::qWaitFor([&] { return shows(shown); }, 2000));
        for (const std::vector<BYTE>& save : saves) {
            CDIB next;
            CMemFile whole(save);
            ASSERT_TRUE(next.Read(&whole, nullptr));
            FILE* out = std::fopen(Sheet().c_str(), "wb");
            ASSERT_NE(out, nullptr);
            std::fwrite(save.data(), 1, save.size() / 2, out);
            std::fflush(out);
            QTest::qWait(400);
            EXPECT_EQ(StripMismatch(window, viewer, shown), "")
                << "half of a save of " << save.size();
            std::fwrite(save.data() + save.size() / 2, 1, save.size() - save.size() / 2, out);
            std::fclose(out);
            EXPECT_TRUE(QTest::qWaitFor([&] { return shows(next); }, 1000)) << save.size();
            shown.Swap(next);
        }
    });
}

TEST_F(LiveReload, TheSheetIsTakenUpAgainWhenItsFolderIsMadeAgain) {
    RunViewer([&](CViewerDlg&, QWidget& window) {
        ASSERT_TRUE(StripShowsWithin(window, 10, 2000));
        ASSERT_TRUE(QDir(QString::fromStdString(ArtFolder())).removeRecursively());
        QTest::qWait(300);
        EXPECT_EQ(StripPixel(window), SheetColour(10));
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(ArtFolder())));
        WriteSheet(ArtFolder() + "/ATTACK00.BMP", 384, 480, 70); // the name in another case
        EXPECT_TRUE(StripShowsWithin(window, 70, 1000));
        WriteSheet(ArtFolder() + "/ATTACK00.BMP", 384, 480, 80);
        EXPECT_TRUE(StripShowsWithin(window, 80, 1000));
    });
}
