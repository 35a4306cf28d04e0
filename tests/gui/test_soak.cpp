// A long session: twenty thousand paints of the real dialog under a seeded random sequence of
// user actions, while the sheet files are rewritten, cut short, emptied, spoiled and removed
// between paints. The viewer must come out of it whole and still show a sheet put back.
#include "churn_support.h"

#include <QTest>

#include <cstdio>
#include <functional>
#include <random>

namespace {

constexpr long kPaints = 20000;

DWORD g_now = 1000000;
DWORD TestClock() {
    return g_now;
}

// The files a session churns through, made once.
struct SheetBytes {
    std::vector<std::vector<BYTE>> bmps, jpegs;

    SheetBytes() {
        bmps.push_back(PatternBmp(384, 480, 1)); // a whole attack sheet
        bmps.push_back(PatternBmp(384, 96, 2));  // only its first two rows
        bmps.push_back(PatternBmp(256, 160, 3)); // a whole effects sheet
        bmps.push_back(PatternBmp(40, 30, 4));   // smaller than one row
        jpegs.push_back(SpriteJpeg(384, 480, 85, false));
        jpegs.push_back(SpriteJpeg(256, 160, 70, true));
        jpegs.push_back(SpriteJpeg(100, 60, 50, false));
    }
};

class Soak : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        StoreFolderSetting(ArtFolder());
        AfxSetTickCountSource(TestClock);
    }
    void TearDown() override {
        AfxSetTickCountSource(nullptr);
        GuiTest::TearDown();
    }

    std::string Art(const std::string& name) const { return ArtFolder() + "/" + name; }

    // Rewrites one sheet file in one of the ways an artist's tools (or a crash) leave it.
    void Churn(const std::string& name) {
        const std::string path = Art(name);
        const auto& bmp = m_bytes.bmps[m_rng() % m_bytes.bmps.size()];
        const auto& jpeg = m_bytes.jpegs[m_rng() % m_bytes.jpegs.size()];
        switch (m_rng() % 8) {
        case 0:
        case 1:
            WriteBytes(path, bmp, bmp.size());
            break;
        case 2:
            WriteBytes(path, jpeg, jpeg.size());
            break;
        case 3:
            WriteBytes(path, bmp, m_rng() % bmp.size());
            break;
        case 4:
            WriteBytes(path, jpeg, m_rng() % jpeg.size());
            break;
        case 5:
            WriteBytes(path, bmp, 0);
            break;
        case 6: {
            const std::vector<BYTE>& garbage = Garbage(bmp, jpeg);
            WriteBytes(path, garbage, garbage.size());
            break;
        }
        default:
            remove(path.c_str());
            break;
        }
    }

    // Random bytes, alone or behind a real BMP or JPEG header, or a JPEG with a spoiled middle.
    const std::vector<BYTE>& Garbage(const std::vector<BYTE>& bmp, const std::vector<BYTE>& jpeg) {
        const size_t kind = m_rng() % 4;
        size_t keep = kind == 0 ? 0 : kind == 1 ? 14 + 40 : kind == 2 ? 20 : jpeg.size();
        m_garbage.assign(kind == 1 ? bmp.begin() : jpeg.begin(),
                         (kind == 1 ? bmp.begin() : jpeg.begin()) + (ptrdiff_t)keep);
        if (kind == 3) {
            for (int i = 0; i < 16; ++i)
                m_garbage[200 + m_rng() % (m_garbage.size() - 200)] = (BYTE)m_rng();
            return m_garbage;
        }
        const size_t n = 1 + m_rng() % 3000;
        for (size_t i = 0; i < n; ++i)
            m_garbage.push_back((BYTE)m_rng());
        return m_garbage;
    }

    // One thing a person does with the dialog, through its controls.
    void Act(CViewerDlg& dlg, QWidget& window) {
        static const int kChecks[] = {IDC_CONTINUOUSLY, IDC_LOOP_FRAMES, IDC_THROW_IN_ARC,
                                      IDC_FAST_THROW,   IDC_SMEAR,       IDC_FPS_X2};
        static const char* kRowTexts[] = {"abc", "-5", "300", "", "007", "4294967296"};
        switch (m_rng() % 9) {
        case 0:
            QTest::mouseClick(Item(dlg, m_rng() % 2 ? IDC_NEXT_ROW : IDC_PREV_ROW), Qt::LeftButton);
            break;
        case 1: {
            // Mostly rows of the first files, so that the churned files are the ones read.
            QWidget* row = Item(dlg, IDC_ROW);
            QTest::mouseClick(row, Qt::LeftButton);
            QTest::keyClick(row, Qt::Key_A, Qt::ControlModifier);
            std::string text = m_rng() % 5 ? std::to_string(m_rng() % 40)
                                           : kRowTexts[m_rng() % std::size(kRowTexts)];
            if (text.empty())
                QTest::keyClick(row, Qt::Key_Backspace);
            else
                QTest::keyClicks(row, QString::fromStdString(text));
            break;
        }
        case 2:
            QTest::mouseClick(Item(dlg, m_rng() % 2 ? IDC_ATTACK_MODE : IDC_EFFECTS_MODE),
                              Qt::LeftButton);
            break;
        case 3:
        case 4:
            QTest::mouseClick(Item(dlg, kChecks[m_rng() % std::size(kChecks)]), Qt::LeftButton);
            break;
        case 5:
            if (m_rng() % 2)
                QTest::mouseClick(Item(dlg, IDOK), Qt::LeftButton);
            else
                QTest::keyClick(&window, Qt::Key_Return);
            break;
        case 6:
            QTest::mouseClick(Item(dlg, IDC_RELOAD), Qt::LeftButton);
            break;
        default: {
            // Anywhere on the strip's frame: on the strip picks a frame, beside it nothing.
            const QPoint at(90 + (int)(m_rng() % 400), 133 + (int)(m_rng() % 64));
            QTest::mouseClick(&window, Qt::LeftButton, {}, at);
            break;
        }
        }
    }

    std::mt19937 m_rng{20240613};
    SheetBytes m_bytes;
    std::vector<BYTE> m_garbage;
};

} // namespace

TEST_F(Soak, TwentyThousandPaintsAmongChurningFilesLeaveTheViewerWholeAndAnswering) {
    const long exceptionsBefore = AfxLiveExceptionCount();
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        PaintDriver driver(dlg, window);
        ASSERT_TRUE(driver.Ready());
        long actions = 0, churns = 0;
        while (driver.Paints() < kPaints && !HasFailure()) {
            g_now += m_rng() % 120; // sometimes no time passes, sometimes a throw's end
            const unsigned dice = m_rng() % 100;
            if (dice < 12) {
                // Mostly the sheet on show, sometimes any other the rows lead to.
                const int nRow = m_rng() % 3 ? driver.Row() : (int)(m_rng() % 40);
                const int nMode = m_rng() % 4 ? driver.Mode() : (int)(m_rng() % 2);
                Churn(std::string(SheetFileName(nMode, nRow)));
                ++churns;
            }
            if (dice >= 4 && dice < 12) {
                Act(dlg, window);
                ++actions;
            }
            driver.Tick();
        }
        ASSERT_FALSE(HasFailure());
        EXPECT_GE(actions, 1000);
        EXPECT_GE(churns, 1000);
        EXPECT_EQ(AfxLiveExceptionCount(), exceptionsBefore);

        // Still answering: the sheet put back shows after one reload.
        QTest::mouseClick(Item(dlg, IDC_ATTACK_MODE), Qt::LeftButton);
        QWidget* row = Item(dlg, IDC_ROW);
        QTest::mouseClick(row, Qt::LeftButton);
        QTest::keyClick(row, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(row, "57");
        ASSERT_EQ(driver.Row(), 57);
        const std::vector<BYTE> sheet = PatternBmp(384, 480, 9);
        WriteBytes(Art("attack05.bmp"), sheet, sheet.size());
        QTest::mouseClick(Item(dlg, IDC_RELOAD), Qt::LeftButton);
        driver.Tick();

        CDIB expected;
        CMemFile file(sheet);
        ASSERT_TRUE(expected.Read(&file, nullptr));
        EXPECT_EQ(StripMismatch(window, driver, expected), "");
        // The strip's first pixel is row 7's top-left pixel, in the file's own colour.
        EXPECT_EQ(ScreenShot(window).At(driver.RowStrip().left, driver.RowStrip().top),
                  PatternColor(PatternIndex(0, 7 * 48, 9)) & 0xFFFFFF);
        EXPECT_TRUE(window.isVisible());
    });
    EXPECT_EQ(AfxLiveExceptionCount(), exceptionsBefore);
}
