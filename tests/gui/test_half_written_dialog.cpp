// A sheet reloaded while it is half written, then reloaded once it is whole: the second reload
// must bring back exactly the right row strip, wherever the first one caught the file.
#include "churn_support.h"

#include <QTest>

#include <algorithm>
#include <random>

namespace {

class HalfWrittenDialog : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        StoreFolderSetting(ArtFolder());
    }

    // Cuts that land in every part of a file: its headers, colour table or tables, and the
    // picture data, plus a seeded handful anywhere.
    static std::vector<size_t> SampleCuts(size_t size, std::vector<size_t> cuts) {
        std::mt19937 rng(7);
        for (int i = 0; i < 6; ++i)
            cuts.push_back(rng() % size);
        cuts.push_back(size / 2);
        cuts.push_back(size - 1);
        std::erase_if(cuts, [size](size_t n) { return n >= size; });
        return cuts;
    }

    void ReloadEachCutThenWhole(const std::vector<BYTE>& whole, const std::vector<size_t>& cuts) {
        const std::string path = ArtFolder() + "/attack00.bmp";
        CDIB expected;
        CMemFile file(whole);
        ASSERT_TRUE(expected.Read(&file, nullptr));
        RunViewer([&](CViewerDlg& dlg, QWidget& window) {
            PaintDriver driver(dlg, window);
            ASSERT_TRUE(driver.Ready());
            QWidget* reload = Item(dlg, IDC_RELOAD);
            for (size_t n : cuts) {
                WriteBytes(path, whole, n);
                QTest::mouseClick(reload, Qt::LeftButton);
                driver.Tick();
                WriteBytes(path, whole, whole.size());
                QTest::mouseClick(reload, Qt::LeftButton);
                driver.Tick();
                ASSERT_EQ(StripMismatch(window, driver, expected), "") << "after a cut at " << n;
            }
        });
    }
};

} // namespace

TEST_F(HalfWrittenDialog, ABmpCaughtHalfWrittenIsRightAfterTheNextReload) {
    const std::vector<BYTE> bmp = PatternBmp(384, 480, 5);
    ReloadEachCutThenWhole(bmp, SampleCuts(bmp.size(), {0, 1, 13, 14, 53, 54, 600, 1077, 1078, 1079,
                                                        1078 + 384 * 470}));
}

TEST_F(HalfWrittenDialog, AJpegCaughtHalfWrittenIsRightAfterTheNextReload) {
    const std::vector<BYTE> jpeg = SpriteJpeg(384, 480, 85, false);
    ReloadEachCutThenWhole(jpeg, SampleCuts(jpeg.size(), {0, 2, 11, 20, 100, 300, 700}));
}
