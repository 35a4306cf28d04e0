// Sheets dropped from a file manager onto the viewer: the drag and drop events, through the
// window's event dispatch, become what the user would otherwise do by hand.
#include "gui_support.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

bool IsChecked(QWidget* button) {
    return qobject_cast<QAbstractButton*>(button)->isChecked();
}

// What a drop may change and must leave alone, taken from the running viewer.
struct ViewerState {
    std::string folder, row, info, stored;
    int nMode, nRow, nThrowState, nPickedFrame, nSheetWidth;
    bool attackChecked, effectsChecked, smearChecked;
};

class SheetDrop : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        ASSERT_TRUE(m_other.isValid());
        StoreFolderSetting(ArtFolder());
        // Each sheet tells by its width which file the viewer read.
        WriteSheet(ArtFolder() + "/attack00.bmp", 384, 480, 10);
    }

    std::string Other() const { return m_other.path().toStdString(); }

    ViewerState State(CViewerDlg& dlg) const {
        const ViewerDriver driver(dlg, *AfxWidgetFromHandle(dlg.GetSafeHwnd()));
        return {Text(Item(dlg, IDC_FOLDER)),
                Text(Item(dlg, IDC_ROW)),
                Text(Item(dlg, IDC_INFO)),
                StoredFolder(),
                driver.Mode(),
                driver.Row(),
                driver.ThrowState(),
                driver.PickedFrame(),
                driver.Sheet().m_pBMI ? driver.Sheet().GetWidth() : 0,
                IsChecked(Item(dlg, IDC_ATTACK_MODE)),
                IsChecked(Item(dlg, IDC_EFFECTS_MODE)),
                IsChecked(Item(dlg, IDC_SMEAR))};
    }

    // Drags the paths over target and drops them there, as a file manager does; whether the
    // drag was accepted.
    static bool Drop(QWidget* target, const std::vector<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(QList<QUrl>(urls.begin(), urls.end()));
        // File managers offer the paths as text too, which an edit would take.
        QStringList text;
        for (const QUrl& url : urls)
            text << url.toString();
        mime.setText(text.join('\n'));
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &move);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        return enter.isAccepted() && drop.isAccepted();
    }

    static QUrl File(const std::string& path) {
        return QUrl::fromLocalFile(QString::fromStdString(path));
    }

private:
    QTemporaryDir m_other;
};

} // namespace

TEST_F(SheetDrop, ASheetSetsFolderModeAndFirstRowThenReloadsAndKeepsTheRest) {
    WriteSheet(Other() + "/EFFECTS05.BMP", 256, 160, 20);
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        QTest::mouseClick(Item(dlg, IDC_SMEAR), Qt::LeftButton);
        QTest::mouseClick(Item(dlg, IDOK), Qt::LeftButton);
        const ViewerState before = State(dlg);
        ASSERT_EQ(before.nSheetWidth, 384);

        EXPECT_TRUE(Drop(&window, {File(Other() + "/EFFECTS05.BMP")}));

        const ViewerState after = State(dlg);
        EXPECT_EQ(after.folder, Other());
        EXPECT_EQ(after.stored, Other()) << "the reload saves the folder";
        EXPECT_EQ(after.nMode, MODE_EFFECTS);
        EXPECT_TRUE(after.effectsChecked);
        EXPECT_FALSE(after.attackChecked);
        EXPECT_EQ(after.nRow, 50);
        EXPECT_EQ(after.row, "50");
        EXPECT_EQ(after.info, "This is the row at offset 0 of the file effects05.bmp");
        EXPECT_EQ(after.nSheetWidth, 256) << "the dropped sheet is read";
        EXPECT_EQ(after.nThrowState, before.nThrowState);
        EXPECT_EQ(after.nPickedFrame, before.nPickedFrame);
        EXPECT_TRUE(after.smearChecked);
    });
}

TEST_F(SheetDrop, NamesThatAreNotSheetsChangeNothing) {
    for (const char* name : {"notes.txt", "attack5.bmp", "attack20.bmp", "attack05.bmp.bak",
                             "xattack05.bmp", "effects1a.bmp"})
        WriteSheet(Other() + "/" + name, 256, 160, 20);
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        QTest::mouseClick(Item(dlg, IDC_EFFECTS_MODE), Qt::LeftButton);
        const ViewerState before = State(dlg);
        const std::vector<QUrl> drops[] = {
            {File(Other() + "/notes.txt")},
            {File(Other() + "/attack5.bmp")},
            {File(Other() + "/attack20.bmp")},
            {File(Other() + "/attack05.bmp.bak"), File(Other() + "/xattack05.bmp"),
             File(Other() + "/effects1a.bmp")},
            {QUrl("https://example.org/attack05.bmp")},
        };
        for (const auto& urls : drops) {
            Drop(&window, urls);
            const ViewerState after = State(dlg);
            const std::string what = urls.front().toString().toStdString();
            EXPECT_EQ(after.folder, before.folder) << what;
            EXPECT_EQ(after.stored, before.stored) << what;
            EXPECT_EQ(after.row, before.row) << what;
            EXPECT_EQ(after.info, before.info) << what;
            EXPECT_EQ(after.nMode, before.nMode) << what;
            EXPECT_EQ(after.nRow, before.nRow) << what;
            EXPECT_EQ(after.nSheetWidth, before.nSheetWidth) << what;
        }
    });
}

TEST_F(SheetDrop, ASheetDroppedWhileTheAboutBoxIsOpenChangesNothing) {
    WriteSheet(Other() + "/attack05.bmp", 256, 160, 20);
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        const ViewerState before = State(dlg);
        bool shown = false;
        WhenModal("About kyrAttack", [&](QWidget& about) {
            shown = true;
            Drop(&window, {File(Other() + "/attack05.bmp")});
            QTest::keyClick(&about, Qt::Key_Return);
        });
        ::SendMessage(dlg.GetSafeHwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        ASSERT_TRUE(shown);
        const ViewerState after = State(dlg);
        EXPECT_EQ(after.folder, before.folder);
        EXPECT_EQ(after.stored, before.stored);
        EXPECT_EQ(after.nRow, before.nRow);
        EXPECT_EQ(after.nSheetWidth, before.nSheetWidth);
    });
}

TEST_F(SheetDrop, OfSeveralFilesTheFirstSheetCountsAlsoWhenDroppedOnAnEdit) {
    QTemporaryDir third;
    ASSERT_TRUE(third.isValid());
    WriteSheet(Other() + "/Attack03.bmp", 400, 480, 30);
    WriteSheet(third.path().toStdString() + "/effects01.bmp", 256, 160, 40);
    RunViewer([&](CViewerDlg& dlg, QWidget&) {
        QWidget* folderEdit = Item(dlg, IDC_FOLDER);
        EXPECT_TRUE(
            Drop(folderEdit, {File(ArtFolder() + "/readme.txt"), File(Other() + "/Attack03.bmp"),
                              File(third.path().toStdString() + "/effects01.bmp")}));
        const ViewerState after = State(dlg);
        EXPECT_EQ(after.folder, Other()) << "the file's path must not land in the edit as text";
        EXPECT_EQ(after.stored, Other());
        EXPECT_EQ(after.nMode, MODE_ATTACK);
        EXPECT_TRUE(after.attackChecked);
        EXPECT_FALSE(after.effectsChecked);
        EXPECT_EQ(after.nRow, 30);
        EXPECT_EQ(after.row, "30");
        EXPECT_EQ(after.nSheetWidth, 400);
    });
}
