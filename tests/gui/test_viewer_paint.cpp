// What the viewer paints: the row strip, the animated close-up and the stage, looked at in
// the window's backing store while a test clock and test-sent ticks drive the animation.
#include "paint_support.h"

#include <QApplication>
#include <QPalette>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD kStart = 1000000;

// Where the stage shows a resting sprite of each mode, in stage bitmap coordinates.
const QRect kRestingAttack(215, 59, 47, 47);
const QRect kRestingSparkle(215, 59, 15, 15);

// An attack sprite in flight along the middle of the stage, at its left edge x.
QRect Flying(int x) {
    return QRect(x, 59, 47, 47);
}

class ViewerPaint : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        StoreFolderSetting(ArtFolder());
        WriteCellSheet(Art("attack00.bmp"), MODE_ATTACK);
        WriteCellSheet(Art("effects00.bmp"), MODE_EFFECTS);
        ViewerDriver::UseClock(kStart);
    }
    void TearDown() override {
        ViewerDriver::RestoreClock();
        GuiTest::TearDown();
    }
    std::string Art(const char* name) const { return ArtFolder() + "/" + name; }

    void Run(const std::function<void(PaintedViewer&)>& body) {
        RunViewer([&](CViewerDlg& dlg, QWidget& window) {
            PaintedViewer viewer(dlg, window);
            body(viewer);
        });
    }
};

// The cell a stage sprite shows, read at its middle.
int StageCell(const QImage& shot, const QRect& sprite) {
    QPoint middle = sprite.center();
    return CellOf(StagePixel(shot, middle.x(), middle.y()), 0);
}

QImage StageOf(const QImage& shot) {
    return shot.copy(kStageFrame);
}

} // namespace

TEST_F(ViewerPaint, AtStartTheCloseUpPlaysBackwardsEverySecondTickAndTheStageRestsOnCellZero) {
    Run([&](PaintedViewer& viewer) {
        const int order[] = {7, 7, 6, 6, 5, 5, 4, 4, 3, 3, 2, 2, 1, 1, 0, 0};
        const int first = viewer.Ticks();
        for (int k = 0; k < 18; ++k) {
            if (k > 0)
                viewer.Tick();
            QImage shot = viewer.Shot();
            EXPECT_EQ(CloseUpCell(shot, 0), order[(first + k) % 16]) << "tick " << first + k;
            EXPECT_EQ(StageSpriteBounds(shot), kRestingAttack);
            EXPECT_TRUE(StageSolid(shot, kRestingAttack, IndexColour(SpriteIndex(0, 0))));
        }
    });
}

TEST_F(ViewerPaint, FpsX2StepsEveryTickAndEffectsPlayForwards) {
    Run([&](PaintedViewer& viewer) {
        viewer.Click(IDC_FPS_X2);
        std::vector<int> shown;
        for (int k = 0; k < 9; ++k) {
            viewer.Tick();
            shown.push_back(CloseUpCell(viewer.Shot(), 0));
        }
        for (size_t k = 1; k < shown.size(); ++k)
            EXPECT_EQ(shown[k], (shown[k - 1] + 7) % 8) << "after " << shown[k - 1];

        viewer.Click(IDC_EFFECTS_MODE);
        shown.clear();
        for (int k = 0; k < 17; ++k) {
            viewer.Tick();
            shown.push_back(CloseUpCell(viewer.Shot(), 0));
        }
        for (size_t k = 1; k < shown.size(); ++k)
            EXPECT_EQ(shown[k], (shown[k - 1] + 1) % 16) << "after " << shown[k - 1];
    });
}

TEST_F(ViewerPaint, ThrowWithoutLoopFramesPlaysTheRowOnceAcrossTheStage) {
    // The throw starts just before the tick count wraps.
    const DWORD t0 = 0xFFFFFFFFu - 999u;
    ViewerDriver::SetClock(t0);
    Run([&](PaintedViewer& viewer) {
        viewer.Click(IDC_LOOP_FRAMES);
        viewer.Click(IDOK);
        const struct {
            DWORD e;
            QRect sprite;
            int cell;
        } steps[] = {
            {0, Flying(427), 7},    {249, Flying(380), 7}, {250, Flying(380), 6},
            {1000, Flying(236), 3}, {1749, Flying(93), 1}, {1750, Flying(93), 0},
            {1999, Flying(46), 0},
        };
        for (const auto& step : steps) {
            viewer.TickAt(t0 + step.e);
            QImage shot = viewer.Shot();
            EXPECT_EQ(StageSpriteBounds(shot), step.sprite) << "e = " << step.e;
            EXPECT_EQ(StageCell(shot, step.sprite), step.cell) << "e = " << step.e;
        }

        // The paint that ends the throw leaves the stage as it was; the next one rests.
        QImage last = StageOf(viewer.Shot());
        viewer.TickAt(t0 + 2000);
        EXPECT_EQ(viewer.ThrowState(), THROW_IDLE);
        EXPECT_EQ(StageOf(viewer.Shot()), last);
        viewer.Tick();
        EXPECT_EQ(StageSpriteBounds(viewer.Shot()), kRestingAttack);
    });
}

TEST_F(ViewerPaint, FastThrowLastsOneSecond) {
    Run([&](PaintedViewer& viewer) {
        viewer.Click(IDC_LOOP_FRAMES);
        viewer.Click(IDC_FAST_THROW);
        viewer.Click(IDOK);
        viewer.TickAt(kStart + 124);
        EXPECT_EQ(StageCell(viewer.Shot(), Flying(380)), 7);
        viewer.TickAt(kStart + 500);
        EXPECT_EQ(StageSpriteBounds(viewer.Shot()), Flying(236));
        viewer.TickAt(kStart + 999);
        EXPECT_EQ(viewer.ThrowState(), THROW_FLYING);
        viewer.TickAt(kStart + 1000);
        EXPECT_EQ(viewer.ThrowState(), THROW_IDLE);
    });
}

TEST_F(ViewerPaint, ThrowInArcRisesFromBelowTheStageAndSinksBack) {
    Run([&](PaintedViewer& viewer) {
        viewer.Click(IDC_THROW_IN_ARC);
        viewer.Click(IDOK);
        viewer.TickAt(kStart);
        EXPECT_TRUE(StageSpriteBounds(viewer.Shot()).isEmpty());
        viewer.TickAt(kStart + 500);
        EXPECT_EQ(StageSpriteBounds(viewer.Shot()), QRect(332, 97, 47, 47));
        viewer.TickAt(kStart + 1000);
        EXPECT_EQ(StageSpriteBounds(viewer.Shot()), QRect(236, 58, 47, 47));
        viewer.TickAt(kStart + 1500);
        EXPECT_EQ(StageSpriteBounds(viewer.Shot()), QRect(141, 97, 47, 47));
        viewer.TickAt(kStart + 1999);
        EXPECT_TRUE(StageSpriteBounds(viewer.Shot()).isEmpty());
    });
}

TEST_F(ViewerPaint, ContinuouslyThrowsAgainAfterOneUnchangedTick) {
    Run([&](PaintedViewer& viewer) {
        viewer.Click(IDC_CONTINUOUSLY);
        viewer.Click(IDOK);
        viewer.TickAt(kStart + 1000);
        QImage inFlight = StageOf(viewer.Shot());
        viewer.TickAt(kStart + 2000);
        EXPECT_EQ(StageOf(viewer.Shot()), inFlight);
        EXPECT_EQ(viewer.ThrowState(), THROW_FLYING);
        viewer.Tick();
        EXPECT_EQ(StageSpriteBounds(viewer.Shot()), Flying(427));
        viewer.TickAt(kStart + 3000);
        EXPECT_EQ(StageSpriteBounds(viewer.Shot()), Flying(236));
    });
}

TEST_F(ViewerPaint, ThrowWeaponDuringAThrowStartsItAgainFromTheRight) {
    Run([&](PaintedViewer& viewer) {
        viewer.Click(IDOK);
        viewer.TickAt(kStart + 1000);
        ASSERT_EQ(StageSpriteBounds(viewer.Shot()), Flying(236));
        viewer.Click(IDOK);
        viewer.Tick();
        EXPECT_EQ(StageSpriteBounds(viewer.Shot()), Flying(427));
        viewer.TickAt(kStart + 2500);
        EXPECT_EQ(StageSpriteBounds(viewer.Shot()), Flying(141));
    });
}

TEST_F(ViewerPaint, SmearKeepsEveryPositionUntilItIsUnchecked) {
    Run([&](PaintedViewer& viewer) {
        const QColor sprite = IndexColour(SpriteIndex(0, 0));
        viewer.Click(IDC_SMEAR);
        viewer.Click(IDC_LOOP_FRAMES);
        viewer.Click(IDOK);
        viewer.TickAt(kStart + 1750);
        viewer.TickAt(kStart + 1900);
        QImage shot = viewer.Shot();
        // The resting sprite from before the throw and both flying positions stay.
        EXPECT_TRUE(StageSolid(shot, kRestingAttack, sprite));
        EXPECT_TRUE(StageSolid(shot, Flying(93), sprite));
        EXPECT_TRUE(StageSolid(shot, Flying(65), sprite));
        EXPECT_EQ(StageSpriteBounds(shot), Flying(65) | kRestingAttack);

        viewer.Click(IDC_SMEAR);
        viewer.TickAt(kStart + 1999);
        EXPECT_EQ(StageSpriteBounds(viewer.Shot()), Flying(46));
    });
}

namespace {

// The colours of every pixel inside the stage.
std::set<QRgb> StageColours(const QImage& shot) {
    std::set<QRgb> colours;
    const QRect inside = StageInside();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            colours.insert(StagePixel(shot, x, y).rgb());
    return colours;
}

} // namespace

TEST_F(ViewerPaint, SmearKeepsATrailOnlyWhileTheSheetsColoursAndKeyStayTheSame) {
    // attack01.bmp: the cells of attack00.bmp in other colours; attack02.bmp: the same
    // colours as attack00.bmp, but index 7 on the grid lines and so the key.
    const auto otherColour = [](int i) { return QColor(255 - i, 96, i); };
    const auto write = [&](const char* name, int nKey, const std::function<QColor(int)>& colour) {
        const std::vector<uint8_t> bmp = EncodeBmp8(
            384, 480,
            [&](int x, int y) {
                return (uint8_t)(x % 48 == 0 || y % 48 == 0 ? nKey : SpriteIndex(y / 48, x / 48));
            },
            TableOf(colour));
        ASSERT_TRUE(fixtures::WriteFileBytes(Art(name).c_str(), bmp));
    };
    write("attack01.bmp", 0, otherColour);
    write("attack02.bmp", 7, IndexColour);

    Run([&](PaintedViewer& viewer) {
        QWidget* row = viewer.Control(IDC_ROW);
        const auto typeRow = [&](const char* text) {
            QTest::mouseClick(row, Qt::LeftButton);
            QTest::keyClick(row, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(row, text);
        };
        const QColor sprite = IndexColour(SpriteIndex(0, 0));
        viewer.Click(IDC_SMEAR);
        viewer.Click(IDC_LOOP_FRAMES);
        viewer.Click(IDOK);
        viewer.TickAt(kStart + 1750);
        // A reload of a sheet whose colours did not change keeps the trail.
        viewer.Click(IDC_RELOAD);
        viewer.TickAt(kStart + 1800);
        EXPECT_EQ(StageSpriteBounds(viewer.Shot()), Flying(84) | kRestingAttack);

        // Row 20: the same colours, another key; the stage starts afresh on that key.
        typeRow("20");
        ASSERT_EQ(viewer.Row(), 20);
        viewer.TickAt(kStart + 1850);
        QImage shot = viewer.Shot();
        EXPECT_EQ(StageColours(shot), (std::set<QRgb>{IndexColour(7).rgb(), sprite.rgb()}));
        EXPECT_TRUE(StageSolid(shot, Flying(74), sprite));

        // Row 10 lies in attack01.bmp: the stage starts afresh in that sheet's colours.
        typeRow("10");
        ASSERT_EQ(viewer.Row(), 10);
        viewer.TickAt(kStart + 1950);
        shot = viewer.Shot();
        const std::set<QRgb> expected{otherColour(0).rgb(), otherColour(SpriteIndex(0, 0)).rgb()};
        EXPECT_EQ(StageColours(shot), expected);
        EXPECT_TRUE(StageSolid(shot, Flying(55), otherColour(SpriteIndex(0, 0))));
        EXPECT_EQ(shot.pixelColor(97 + 24, 165), otherColour(SpriteIndex(0, 0))) << "the strip";
    });
}

TEST_F(ViewerPaint, EffectsSwarmTravelsAsARingAndEndsInOneSparkle) {
    Run([&](PaintedViewer& viewer) {
        viewer.Click(IDC_EFFECTS_MODE);
        viewer.Click(IDOK);
        // Sparkles lie within 50 pixels of the travelling corner (x, 59), 15 pixels each.
        const struct {
            DWORD e;
            int x;
        } steps[] = {{2000, 332}, {4000, 236}, {7999, 46}};
        for (const auto& step : steps) {
            viewer.TickAt(kStart + step.e);
            QImage shot = viewer.Shot();
            const QRect ring(step.x - 50, 9, 115, 115);
            QRect bounds = StageSpriteBounds(shot);
            EXPECT_TRUE(ring.intersected(StageInside()).contains(bounds))
                << "e = " << step.e << ": " << bounds.x() << "," << bounds.y() << " "
                << bounds.width() << "x" << bounds.height();
            EXPECT_GT(bounds.width(), 50) << "e = " << step.e;
            EXPECT_GT(bounds.height(), 50) << "e = " << step.e;
            std::set<int> indices = StageIndices(shot);
            EXPECT_GE(indices.size(), 8u) << "e = " << step.e;
            for (int i : indices)
                EXPECT_GE(CellOf(IndexColour(i), 0), 0) << "index " << i;
        }

        QImage last = StageOf(viewer.Shot());
        viewer.TickAt(kStart + 8000);
        EXPECT_EQ(StageOf(viewer.Shot()), last);
        viewer.Tick();
        QImage shot = viewer.Shot();
        EXPECT_EQ(StageSpriteBounds(shot), kRestingSparkle);
        EXPECT_TRUE(StageSolid(shot, kRestingSparkle, IndexColour(SpriteIndex(0, 0))));
    });
}

namespace {

// The stage bitmap as worked out here from the throw's formulas: W x H indices filled with
// the key, each sprite a cell less its first column and row, copied where it is not the key.
class ExpectedStage {
public:
    using Sheet = std::function<int(int, int)>;
    ExpectedStage(Sheet sheet, int nKey)
        : m_sheet(std::move(sheet)), m_key(nKey),
          m_pixels((size_t)kStageFrame.width() * kStageFrame.height(), nKey) {}

    void Put(int c, int r, int n, int x, int y) {
        for (int j = 1; j < c; ++j)
            for (int i = 1; i < c; ++i) {
                const int index = m_sheet(n * c + i, r * c + j);
                const int tx = x + i - 1, ty = y + j - 1;
                if (index != m_key && tx >= 0 && ty >= 0 && tx < kStageFrame.width() &&
                    ty < kStageFrame.height())
                    m_pixels[(size_t)ty * kStageFrame.width() + tx] = index;
            }
    }

    // The first stage pixel inside the frame's edge that the shot shows otherwise, or none.
    std::string FirstDifference(const QImage& shot) const {
        const QRect inside = StageInside();
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x) {
                const int index = m_pixels[(size_t)y * kStageFrame.width() + x];
                if (StagePixel(shot, x, y) != IndexColour(index)) {
                    std::ostringstream out;
                    out << "(" << x << ", " << y << ") shows index "
                        << IndexOf(StagePixel(shot, x, y)) << ", not " << index;
                    return out.str();
                }
            }
        return {};
    }

private:
    Sheet m_sheet;
    int m_key;
    std::vector<int> m_pixels;
};

// Where a throw puts the sprite's left edge, in stage bitmap coordinates, e ms into it.
int ThrowLeft(DWORD e, DWORD d) {
    const int travel = 478 * 80 / 100;
    return 489 - travel / 10 - (int)((DWORD)travel * e / d) - 24;
}

} // namespace

TEST_F(ViewerPaint, FastEffectsThrowShowsTheFiftySparklesOfTheFormulaAndEndsAtFourSeconds) {
    const auto sheet = [](int x, int y) {
        return x % 16 == 0 || y % 16 == 0 ? 0 : SpriteIndex(y / 16, x / 16);
    };
    Run([&](PaintedViewer& viewer) {
        viewer.Click(IDC_EFFECTS_MODE);
        viewer.Click(IDC_FAST_THROW);
        viewer.Click(IDOK);
        for (DWORD e : {2500u, 3999u}) {
            viewer.TickAt(kStart + e);
            const int a0 = (viewer.Ticks() / 2) % 16;
            const int x = ThrowLeft(e, 4000), y = 167 / 2 - 24;
            const double a = (double)(kStart + e) * 0.000125, b = a * 13;
            ExpectedStage expected(sheet, 0);
            for (int i = 0; i < 50; ++i) {
                const int k = (i + 11) % 20;
                const int px = x + (int)std::trunc(std::cos(i * 0.5 + k * a) * 50);
                const int py = y + (int)std::trunc(std::sin(i * 0.5 + b) * 50);
                expected.Put(16, 0, (a0 + i) % 16, px, py);
            }
            EXPECT_EQ(expected.FirstDifference(viewer.Shot()), "") << "e = " << e;
        }
        const QImage last = StageOf(viewer.Shot());
        viewer.TickAt(kStart + 4000);
        EXPECT_EQ(StageOf(viewer.Shot()), last);
        viewer.Tick();
        EXPECT_EQ(StageSpriteBounds(viewer.Shot()), kRestingSparkle);
    });
}

// Key index 200 (not 0) and key-coloured holes in every sprite: on row 7, with "Loop frames"
// and "Smear", each flying sprite shows the earlier ones through its holes.
TEST_F(ViewerPaint, KeyedHolesShowTheTrailOfARowSevenThrow) {
    constexpr int kKey = 200;
    const auto sheet = [](int x, int y) {
        const bool hole = ((x % 48) * 3 + (y % 48) * 5) % 7 == 0;
        return x % 48 == 0 || y % 48 == 0 || hole ? kKey : SpriteIndex(y / 48, x / 48);
    };
    const std::vector<uint8_t> bmp = EncodeBmp8(
        384, 480, [&](int x, int y) { return (uint8_t)sheet(x, y); }, TableOf(IndexColour));
    ASSERT_TRUE(fixtures::WriteFileBytes(Art("attack00.bmp").c_str(), bmp));

    Run([&](PaintedViewer& viewer) {
        QWidget* row = viewer.Control(IDC_ROW);
        QTest::mouseClick(row, Qt::LeftButton);
        QTest::keyClicks(row, "7");
        viewer.Tick();
        ASSERT_EQ(viewer.Row(), 7);
        ExpectedStage expected(sheet, kKey);
        expected.Put(48, 7, 0, 215, 59); // resting on the picked frame 0 before the throw
        viewer.Click(IDC_SMEAR);
        viewer.Click(IDOK);
        int a = 0;
        for (DWORD e : {500u, 1200u}) {
            viewer.TickAt(kStart + e);
            a = 8 - (viewer.Ticks() / 2) % 8 - 1;
            expected.Put(48, 7, a, ThrowLeft(e, 2000), 59);
        }
        const QImage shot = viewer.Shot();
        EXPECT_EQ(expected.FirstDifference(shot), "");
        // The close-up: frame a of row 7 at 1:1, one pixel in from its rectangle's corner.
        for (int j = 0; j < 47; ++j)
            for (int i = 0; i < 47; ++i)
                ASSERT_EQ(shot.pixelColor(24 + i, 142 + j),
                          IndexColour(sheet(a * 48 + 1 + i, 7 * 48 + 1 + j)))
                    << i << "," << j;
    });
}

namespace {

// During a throw each run of the viewer's paint handler reads the clock once.
int s_nClockReads = 0;
DWORD CountingClock() {
    ++s_nClockReads;
    return ViewerDriver::Clock();
}

} // namespace

TEST_F(ViewerPaint, ControlsRepaintOnTheirOwnAndOnlyInvalidatedAreasArePainted) {
    Run([&](PaintedViewer& viewer) {
        viewer.Click(IDC_LOOP_FRAMES);
        viewer.Click(IDOK);
        viewer.TickAt(kStart + 1000);
        ASSERT_EQ(StageSpriteBounds(viewer.Shot()), Flying(236));
        const QImage stage = StageOf(viewer.Shot());

        AfxSetTickCountSource(CountingClock);
        s_nClockReads = 0;
        ViewerDriver::SetClock(kStart + 1500);
        QWidget* prev = viewer.Control(IDC_PREV_ROW);
        QWidget* folder = viewer.Control(IDC_FOLDER);
        QTest::mouseMove(prev);
        QTest::mouseMove(viewer.Control(IDC_NEXT_ROW));
        QTest::mousePress(prev, Qt::LeftButton);
        QTest::mouseRelease(prev, Qt::LeftButton, {}, QPoint(-20, -20)); // let go outside
        viewer.Click(IDC_SMEAR);
        viewer.Click(IDC_SMEAR);
        QTest::mouseClick(folder, Qt::LeftButton);
        QTest::keyClicks(folder, "x");
        QTest::keyClick(folder, Qt::Key_Backspace);
        QTest::qWait(2 * QApplication::cursorFlashTime()); // the caret blinks
        EXPECT_EQ(s_nClockReads, 0);
        EXPECT_EQ(viewer.Row(), 0);
        EXPECT_EQ(StageOf(viewer.Shot()), stage);

        // The left part of the stage, invalidated: one paint, which changes only that part.
        const RECT left{11, 215, 211, 382};
        viewer.Invalidate(left);
        EXPECT_TRUE(QTest::qWaitFor([] { return s_nClockReads > 0; }, 5000));
        QTest::qWait(100);
        EXPECT_EQ(s_nClockReads, 1);
        EXPECT_EQ(StageSpriteBounds(viewer.Shot()), Flying(141) | Flying(236));
    });
}

TEST_F(ViewerPaint, ClicksOnTheRowStripPickTheRestingFrame) {
    Run([&](PaintedViewer& viewer) {
        const struct {
            QPoint at;
            int picked;
        } clicks[] = {
            {{251, 150}, 3}, {{97, 141}, 0},  {{480, 188}, 7}, {{481, 150}, 7},
            {{96, 150}, 7},  {{300, 189}, 7}, {{300, 140}, 7},
        };
        for (const auto& click : clicks) {
            viewer.ClickClient(click.at);
            viewer.Tick();
            QImage shot = viewer.Shot();
            EXPECT_EQ(StageSpriteBounds(shot), kRestingAttack);
            EXPECT_EQ(StageCell(shot, kRestingAttack), click.picked)
                << click.at.x() << "," << click.at.y();
        }
    });
}

TEST_F(ViewerPaint, AFramePickedBeyondTheAttackRowShowsWhatTheSheetHoldsThere) {
    WriteCellSheet(Art("attack00.bmp"), MODE_ATTACK, 14);
    Run([&](PaintedViewer& viewer) {
        viewer.Click(IDC_EFFECTS_MODE);
        // The strip is hit-tested where the last paint put it.
        viewer.Tick();
        viewer.ClickClient(QPoint(161 + 12 * 16 + 8, 165));
        viewer.Tick();
        QImage shot = viewer.Shot();
        EXPECT_EQ(StageSpriteBounds(shot), kRestingSparkle);
        EXPECT_EQ(StageCell(shot, kRestingSparkle), 12);

        viewer.Click(IDC_ATTACK_MODE);
        viewer.Tick();
        shot = viewer.Shot();
        EXPECT_EQ(StageSpriteBounds(shot), kRestingAttack);
        EXPECT_EQ(StageCell(shot, kRestingAttack), 12);

        WriteCellSheet(Art("attack00.bmp"), MODE_ATTACK);
        viewer.Click(IDC_RELOAD);
        ASSERT_EQ(viewer.Sheet().GetWidth(), 384);
        viewer.Tick();
        EXPECT_TRUE(StageSpriteBounds(viewer.Shot()).isEmpty());
    });
}

// The stage once showed sheet indices in the system palette's colours.
TEST_F(ViewerPaint, StageSpritesHaveTheColoursOfTheRowStrip) {
    Run([&](PaintedViewer& viewer) {
        QImage shot = viewer.Shot();
        const QColor stripCell0 = shot.pixelColor(97 + 24, 141 + 24);
        EXPECT_EQ(stripCell0, IndexColour(SpriteIndex(0, 0)));
        EXPECT_EQ(StagePixel(shot, 215 + 23, 59 + 23), stripCell0);
        EXPECT_EQ(StagePixel(shot, 5, 5), shot.pixelColor(97, 141)) << "the key colour";

        viewer.Click(IDC_LOOP_FRAMES);
        viewer.Click(IDOK);
        viewer.TickAt(kStart + 10);
        shot = viewer.Shot();
        EXPECT_EQ(StagePixel(shot, 427 + 23, 59 + 23), shot.pixelColor(97 + 7 * 48 + 24, 165));
    });
}

TEST_F(ViewerPaint, WithoutASheetOnlyTheStripFrameIsPainted) {
    std::remove(Art("attack00.bmp").c_str());
    std::remove(Art("effects00.bmp").c_str());
    Run([&](PaintedViewer& viewer) {
        viewer.Click(IDOK);
        viewer.TickAt(kStart + 1000);
        QImage shot = viewer.Shot();
        const QColor background = viewer.Window().palette().color(QPalette::Window);
        // The frame control's sunken edge is its own.
        EXPECT_TRUE(AreaSolid(shot, QRect(91, 134, 397, 10), Qt::black));
        EXPECT_TRUE(AreaSolid(shot, kStageFrame.adjusted(2, 2, -2, -2), background));
        EXPECT_TRUE(AreaSolid(shot, kCloseUpFrame.adjusted(2, 2, -2, -2), background));
        EXPECT_EQ(viewer.Stage().m_pBits, nullptr);
    });
}

TEST_F(ViewerPaint, TimerPaintsLeaveTheRowStripAsItWas) {
    Run([&](PaintedViewer& viewer) {
        // Scribble over the sheet in memory: what is repainted from it shows the scribble.
        const CDIB& sheet = viewer.Sheet();
        std::memset(sheet.m_pBits, 200, (size_t)sheet.GetStride() * sheet.GetHeight());
        viewer.Tick(2);
        QImage shot = viewer.Shot();
        EXPECT_EQ(shot.pixelColor(kCloseUpFrame.center()), IndexColour(200));
        for (int n = 0; n < 8; ++n)
            EXPECT_EQ(shot.pixelColor(97 + n * 48 + 24, 165), IndexColour(SpriteIndex(0, n)));
    });
}

// A file that does not load shows, where its row would be, why and the fix; the close-up and the
// information line go on as they were, and a sheet that loads takes the strip back.
TEST_F(ViewerPaint, TheRowStripSaysWhyAFileDoesNotLoadUntilASheetLoads) {
    std::ifstream in(Art("attack00.bmp"), std::ios::binary);
    std::vector<uint8_t> v5((std::istreambuf_iterator<char>(in)), {});
    v5[14] = 124; // the size of the info header
    // Bytes of the bad sheet (none: no file) and the cause in brief.
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {v5, "V5 BMP header"},
        {{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0}, "a PNG file"},
        {{}, "no such file"}};
    Run([&](PaintedViewer& viewer) {
        for (const auto& [bytes, why] : cases) {
            SCOPED_TRACE(why);
            const std::string bad = Art("attack01.bmp");
            ASSERT_TRUE(bytes.empty() ? std::remove(bad.c_str()) == 0
                                      : fixtures::WriteFileBytes(bad.c_str(), bytes));
            viewer.SetText(IDC_ROW, "10");
            viewer.Tick();
            QImage shot = viewer.Shot();
            const std::string line = viewer.LoadFailureLine();
            EXPECT_EQ(line.rfind("does not load: " + why + ". Fix: ", 0), 0u) << line;
            int lit = 0;
            for (int y = kRowFrame.top() + 1; y < kRowFrame.bottom(); ++y)
                for (int x = kRowFrame.left() + 1; x < kRowFrame.right(); ++x) {
                    ASSERT_EQ(IndexOf(shot.pixelColor(x, y)), -1) << "the old sheet at " << x;
                    lit += shot.pixelColor(x, y) != Qt::black;
                }
            EXPECT_GT(lit, 100) << "the line's text";
            EXPECT_NE(CloseUpCell(shot, 0), -1);
            EXPECT_EQ(Text(viewer.Control(IDC_INFO)),
                      "This is the row at offset 0 of the file attack01.bmp");

            WriteCellSheet(Art("attack01.bmp"), MODE_ATTACK);
            viewer.Click(IDC_RELOAD);
            viewer.Tick();
            EXPECT_EQ(viewer.LoadFailureLine(), "");
            EXPECT_EQ(CellOf(viewer.Shot().pixelColor(97 + 3 * 48 + 24, 165), 0), 3);
            viewer.SetText(IDC_ROW, "0");
        }
    });
}
