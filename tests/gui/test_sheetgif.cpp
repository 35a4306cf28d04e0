// sheetgif as its own process: its GIF, decoded back with giflib, must hold frame for frame
// the stage the viewer paints at the same clock values, and its exit status must say what
// happened.
#include "paint_support.h"
#include "throw_clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <gif_lib.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using sheetgif::kFrameMs;
using sheetgif::kThrowStartMs;

int RunSheetgif(const QStringList& args) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(QCoreApplication::applicationDirPath() + "/sheetgif", args);
    if (!tool.waitForFinished(120000) || tool.exitStatus() != QProcess::NormalExit)
        return -1;
    return tool.exitCode();
}

struct DecodedGif {
    int width = 0, height = 0;
    bool loopsForever = false;
    std::vector<int> delays;
    std::vector<QImage> frames;
    std::vector<QColor> globalColours;
};

bool IsLoopForever(const ExtensionBlock* blocks, int count) {
    for (int i = 0; i + 1 < count; ++i)
        if (blocks[i].Function == APPLICATION_EXT_FUNC_CODE && blocks[i].ByteCount == 11 &&
            memcmp(blocks[i].Bytes, "NETSCAPE2.0", 11) == 0)
            return blocks[i + 1].ByteCount == 3 && blocks[i + 1].Bytes[0] == 1 &&
                   blocks[i + 1].Bytes[1] == 0 && blocks[i + 1].Bytes[2] == 0;
    return false;
}

DecodedGif Decode(const std::string& path) {
    DecodedGif decoded;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    EXPECT_NE(gif, nullptr) << path;
    if (!gif)
        return decoded;
    EXPECT_EQ(DGifSlurp(gif), GIF_OK);
    decoded.width = gif->SWidth;
    decoded.height = gif->SHeight;
    if (gif->SColorMap)
        for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
            const GifColorType& c = gif->SColorMap->Colors[i];
            decoded.globalColours.emplace_back(c.Red, c.Green, c.Blue);
        }
    if (gif->ImageCount > 0)
        decoded.loopsForever = IsLoopForever(gif->SavedImages[0].ExtensionBlocks,
                                             gif->SavedImages[0].ExtensionBlockCount);
    for (int n = 0; n < gif->ImageCount; ++n) {
        const SavedImage& image = gif->SavedImages[n];
        const GifImageDesc& desc = image.ImageDesc;
        EXPECT_TRUE(desc.Left == 0 && desc.Top == 0 && desc.Width == gif->SWidth &&
                    desc.Height == gif->SHeight && !desc.Interlace)
            << "frame " << n << " is not the whole picture";
        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        GraphicsControlBlock control{};
        EXPECT_EQ(DGifSavedExtensionToGCB(gif, n, &control), GIF_OK);
        EXPECT_EQ(control.TransparentColor, NO_TRANSPARENT_COLOR);
        decoded.delays.push_back(control.DelayTime);
        QImage frame(desc.Width, desc.Height, QImage::Format_RGB32);
        for (int y = 0; y < desc.Height; ++y)
            for (int x = 0; x < desc.Width; ++x) {
                const int index = image.RasterBits[(size_t)y * desc.Width + x];
                const GifColorType c =
                    index < map->ColorCount ? map->Colors[index] : GifColorType{1, 2, 3};
                frame.setPixel(x, y, qRgb(c.Red, c.Green, c.Blue));
            }
        decoded.frames.push_back(frame);
    }
    DGifCloseFile(gif, &error);
    return decoded;
}

// The pixels of the stage's inside (the frame control draws over its edge) that differ.
int StageDifferences(const QImage& shot, const QImage& frame, QPoint* first) {
    int count = 0;
    const QRect inside = StageInside();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (StagePixel(shot, x, y).rgb() != frame.pixel(x, y) && count++ == 0)
                *first = QPoint(x, y);
    return count;
}

class SheetGif : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        StoreFolderSetting(ArtFolder());
        WriteCellSheet(ArtFolder() + "/attack01.bmp", MODE_ATTACK);
        WriteCellSheet(ArtFolder() + "/effects00.bmp", MODE_EFFECTS);
    }
    void TearDown() override {
        ViewerDriver::RestoreClock();
        GuiTest::TearDown();
    }
    std::string Scratch(const char* name) const { return ConfigHome() + "/" + name; }

    // Runs the tool, then the viewer set up by clicks and typing as a user would, and
    // compares every frame with the viewer's stage at the same clock value and tick count.
    void CompareWithViewer(const QStringList& options, int nRow, int nExpectedFrames) {
        const std::string gifPath = Scratch("throw.gif");
        ASSERT_EQ(RunSheetgif(options + QStringList{QString::fromStdString(ArtFolder()),
                                                    QString::number(nRow),
                                                    QString::fromStdString(gifPath)}),
                  0);
        const DecodedGif gif = Decode(gifPath);
        ASSERT_EQ(gif.frames.size(), (size_t)nExpectedFrames);
        EXPECT_EQ(gif.width, kStageFrame.width());
        EXPECT_EQ(gif.height, kStageFrame.height());
        EXPECT_TRUE(gif.loopsForever);
        for (size_t k = 0; k < gif.delays.size(); ++k)
            EXPECT_EQ(gif.delays[k], 5) << "frame " << k;
        // Lossless: the stage's colour table, which is the sheet's, is the GIF's.
        ASSERT_EQ(gif.globalColours.size(), 256u);
        for (int i = 0; i < 256; ++i)
            EXPECT_EQ(gif.globalColours[i], IndexColour(i)) << "entry " << i;

        ViewerDriver::UseClock(kThrowStartMs - 5000);
        RunViewer([&](CViewerDlg& dlg, QWidget& window) {
            PaintedViewer viewer(dlg, window);
            if (options.contains("--effects"))
                viewer.Click(IDC_EFFECTS_MODE);
            QTest::keyClicks(GuiTest::Item(dlg, IDC_ROW), QString::number(nRow));
            const std::pair<const char*, int> boxes[] = {{"--arc", IDC_THROW_IN_ARC},
                                                         {"--fast", IDC_FAST_THROW},
                                                         {"--fps2", IDC_FPS_X2},
                                                         {"--no-loop-frames", IDC_LOOP_FRAMES}};
            for (const auto& [option, nID] : boxes)
                if (options.contains(option))
                    viewer.Click(nID);
            ViewerDriver::SetClock(kThrowStartMs);
            viewer.Click(IDOK);
            int shown = 0, k = 0;
            for (;; ++k) {
                ViewerDriver::SetClock(kThrowStartMs + (DWORD)k * kFrameMs);
                viewer.SetTicks(k - 1);
                viewer.Tick();
                if (viewer.ThrowState() != THROW_FLYING || k >= nExpectedFrames)
                    break;
                const QImage shot = viewer.Shot();
                if (!StageSpriteBounds(shot).isEmpty())
                    ++shown;
                QPoint first;
                ASSERT_EQ(StageDifferences(shot, gif.frames[(size_t)k], &first), 0)
                    << "frame " << k << ", first at (" << first.x() << ", " << first.y() << ")";
                if (k == 0 && options.contains("--smear"))
                    viewer.Click(IDC_SMEAR);
            }
            EXPECT_EQ(k, nExpectedFrames) << "the throw ends after the GIF's last frame";
            EXPECT_EQ(viewer.ThrowState(), THROW_IDLE);
            EXPECT_GT(shown, nExpectedFrames / 2) << "the sprite is in sight most of the throw";
        });
    }
};

} // namespace

TEST_F(SheetGif, AThrowWithTrailPlayingOnceIsTheViewersStageFrameForFrame) {
    CompareWithViewer({"--smear", "--no-loop-frames"}, 12, 40);
}

TEST_F(SheetGif, AFastEffectsThrowInAnArcIsTheViewersStageFrameForFrame) {
    CompareWithViewer({"--effects", "--arc", "--fast", "--fps2"}, 5, 80);
}

TEST_F(SheetGif, ExitStatusSaysWhatHappenedAndOutputIsWrittenWholeOrNotAtAll) {
    const QString art = QString::fromStdString(ArtFolder());
    const QString out = QString::fromStdString(Scratch("out.gif"));
    EXPECT_EQ(RunSheetgif({}), 2);
    EXPECT_EQ(RunSheetgif({art, "0"}), 2);
    EXPECT_EQ(RunSheetgif({"--sideways", art, "0", out}), 2);
    EXPECT_EQ(RunSheetgif({art, "200", out}), 2);
    EXPECT_EQ(RunSheetgif({art, "-1", out}), 2);
    EXPECT_EQ(RunSheetgif({art, "1x", out}), 2);
    EXPECT_FALSE(QFileInfo::exists(out));

    EXPECT_EQ(RunSheetgif({art + "/missing", "12", out}), 1);
    EXPECT_FALSE(QFileInfo::exists(out)) << "nothing is written for a sheet that cannot be read";
    {
        QFile keep(out);
        ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
        keep.write("kept");
    }
    EXPECT_EQ(RunSheetgif({"--effects", art, "12", out}), 1) << "there is no effects01.bmp";
    QFile kept(out);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("kept"));

    // Through a symbolic link: the link stays, its target gets the GIF, and no temporary
    // file is left beside it.
    const QString folder = QString::fromStdString(Scratch("linked"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::link("target.gif", folder + "/link.gif"));
    EXPECT_EQ(RunSheetgif({"--fast", art, "12", folder + "/link.gif"}), 0);
    EXPECT_TRUE(QFileInfo(folder + "/link.gif").isSymLink());
    QFile target(folder + "/target.gif");
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.read(6), QByteArray("GIF89a"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 2);
}
