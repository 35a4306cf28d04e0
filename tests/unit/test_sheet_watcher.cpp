#include "draw_support.h"
#include "sheet_watcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The one application object of the unit tests, whichever test makes it first.
QCoreApplication& App() {
    drawtest::EnsureGuiApplication();
    return *QCoreApplication::instance();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Runs the event loop until pred holds or ms pass.
template <typename Pred> bool WaitFor(Pred pred, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!pred() && clock.elapsed() < ms)
        App().processEvents(QEventLoop::AllEvents, 10);
    return pred();
}

class SheetWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(m_dir.isValid());
        m_sheet = m_dir.filePath("attack00.bmp");
        WriteFile(m_sheet, "first");
        m_watched = m_sheet;
        m_watcher = std::make_unique<SheetWatcher>([this] { return m_watched; },
                                                   [this] {
                                                       ++m_reads;
                                                       QFile f(m_watched);
                                                       if (!f.open(QIODevice::ReadOnly))
                                                           return SheetLoad::Failed;
                                                       return f.readAll() == "broken"
                                                                  ? SheetLoad::Incomplete
                                                                  : SheetLoad::Loaded;
                                                   });
        m_watcher->Watch();
    }

    QTemporaryDir m_dir;
    QString m_sheet;
    QString m_watched;
    int m_reads = 0;
    std::unique_ptr<SheetWatcher> m_watcher;
};

} // namespace

TEST_F(SheetWatcherTest, ReadsOnceAfterABurstOfWrites) {
    for (int i = 0; i < 5; ++i)
        WriteFile(m_sheet, QByteArray("part") + QByteArray::number(i));
    EXPECT_TRUE(WaitFor([&] { return m_reads > 0; }, 1000));
    WaitFor([] { return false; }, 400);
    EXPECT_EQ(m_reads, 1);
}

TEST_F(SheetWatcherTest, SeesAFileRenamedOverTheSheetAndKeepsWatching) {
    QString temp = m_dir.filePath("attack00.bmp.tmp");
    WriteFile(temp, "second");
    ASSERT_TRUE(QDir(m_dir.path()).rename("attack00.bmp.tmp", "attack00.bmp") ||
                (QFile::remove(m_sheet) && QFile::rename(temp, m_sheet)));
    ASSERT_TRUE(WaitFor([&] { return m_reads == 1; }, 1000));
    WriteFile(m_sheet, "third"); // the watch was taken up on the new file
    EXPECT_TRUE(WaitFor([&] { return m_reads == 2; }, 1000));
}

TEST_F(SheetWatcherTest, SeesTheSheetDeletedAndWrittenAgain) {
    ASSERT_TRUE(QFile::remove(m_sheet));
    WaitFor([] { return false; }, 300);
    int afterDelete = m_reads;
    WriteFile(m_sheet, "back");
    EXPECT_TRUE(WaitFor([&] { return m_reads > afterDelete; }, 1000));
}

TEST_F(SheetWatcherTest, ChangesToOtherFilesReadNothing) {
    WriteFile(m_dir.filePath("attack01.bmp"), "other");
    WriteFile(m_dir.filePath("notes.txt"), "other");
    WaitFor([] { return false; }, 500);
    EXPECT_EQ(m_reads, 0);
}

TEST_F(SheetWatcherTest, ReadsAnIncompleteFileAgainOnlyWhenItChanges) {
    WriteFile(m_sheet, "broken");
    ASSERT_TRUE(WaitFor([&] { return m_reads == 1; }, 1000));
    WaitFor([] { return false; }, 400);
    EXPECT_EQ(m_reads, 1);
    WriteFile(m_sheet, "fixed"); // the artist's editor finishes the save
    EXPECT_TRUE(WaitFor([&] { return m_reads == 2; }, 1000));
    int settled = m_reads;
    WaitFor([] { return false; }, 600);
    EXPECT_EQ(m_reads, settled);
}

TEST_F(SheetWatcherTest, WatchingAnotherPathForgetsTheFirst) {
    QString other = m_dir.filePath("effects00.bmp");
    m_watched = other;
    m_watcher->Watch();
    WriteFile(m_sheet, "changed");
    WaitFor([] { return false; }, 400);
    EXPECT_EQ(m_reads, 0);
    WriteFile(other, "appears");
    EXPECT_TRUE(WaitFor([&] { return m_reads == 1; }, 1000));
}

// The folder deleted, renamed away and made again, and a sheet whose folders do not exist
// yet: each time the sheet appears it is read, and the watch goes on from there.
TEST_F(SheetWatcherTest, TakesUpTheSheetWhenItsFolderAppearsAgain) {
    QDir dir(m_dir.path());
    m_watched = m_dir.filePath("art/sub/attack00.bmp");
    m_watcher->Watch();
    ASSERT_TRUE(dir.mkpath("art/sub"));
    WriteFile(m_watched, "made");
    ASSERT_TRUE(WaitFor([&] { return m_reads == 1; }, 1000));

    ASSERT_TRUE(QDir(m_dir.filePath("art")).removeRecursively());
    WaitFor([] { return false; }, 200);
    ASSERT_TRUE(dir.mkpath("art/sub"));
    WriteFile(m_watched, "again");
    ASSERT_TRUE(WaitFor([&] { return m_reads == 2; }, 1000));
    WriteFile(m_watched, "saved in place");
    ASSERT_TRUE(WaitFor([&] { return m_reads == 3; }, 1000));

    ASSERT_TRUE(dir.rename("art", "old"));
    WaitFor([] { return false; }, 200);
    ASSERT_TRUE(dir.rename("old", "art"));
    EXPECT_TRUE(WaitFor([&] { return m_reads == 4; }, 1000));
    WriteFile(m_watched, "and on");
    EXPECT_TRUE(WaitFor([&] { return m_reads == 5; }, 1000));
}
