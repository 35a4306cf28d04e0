// The store is rewritten only when a value changes: the viewer writes its folder at every
// start and reload, and each rewrite of the store is synced to disk.
#include "gui_support.h"

#include <QTest>

#include <sys/stat.h>

namespace {

struct StoreStamp {
    ino_t inode = 0;
    long long modifiedNs = 0;
    bool operator==(const StoreStamp&) const = default;
};

StoreStamp StampOf(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return {};
    return {st.st_ino, (long long)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec};
}

} // namespace

TEST_F(GuiTest, AnUnchangedFolderLeavesTheStoreAloneAndAChangedOneIsSaved) {
    StoreFolderSetting(ArtFolder());
    const StoreStamp before = StampOf(SettingsFile());
    ASSERT_NE(before.inode, 0u);
    RunViewer([&](CViewerDlg& dlg, QWidget&) {
        QTest::mouseClick(Item(dlg, IDC_RELOAD), Qt::LeftButton);
        EXPECT_TRUE(StampOf(SettingsFile()) == before) << "the store was rewritten";

        QWidget* folder = Item(dlg, IDC_FOLDER);
        QTest::mouseClick(folder, Qt::LeftButton);
        QTest::keyClick(folder, Qt::Key_End);
        QTest::keyClicks(folder, "/sub");
        QTest::mouseClick(Item(dlg, IDC_RELOAD), Qt::LeftButton);
        EXPECT_EQ(StoredFolder(), ArtFolder() + "/sub");
    });
}
