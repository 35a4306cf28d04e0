// The viewer dialog driven through its controls and keys, as a person would.
#include "gui_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <QWindow>

namespace {

void Click(QWidget* control) {
    ASSERT_NE(control, nullptr);
    QTest::mouseClick(control, Qt::LeftButton);
}

// Replaces an edit's text by typing, one notification per keystroke.
void TypeInto(QWidget* edit, const char* text) {
    ASSERT_NE(edit, nullptr);
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// Replaces an edit's text in one change, as pasting does.
void PasteInto(QWidget* edit, const char* text) {
    ASSERT_NE(edit, nullptr);
    QGuiApplication::clipboard()->setText(QString::fromUtf8(text));
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

bool IsChecked(QWidget* button) {
    return qobject_cast<QAbstractButton*>(button)->isChecked();
}

class ViewerDialog : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        StoreFolderSetting(ArtFolder());
    }
    std::string Art(const char* name) const { return ArtFolder() + "/" + name; }
};

} // namespace

TEST_F(GuiTest, FirstStartShowsAndSavesTheDefaultFolder) {
    int rc = RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        const ViewerDriver driver(dlg, window);
        EXPECT_EQ(window.windowTitle().toStdString(), "Kyr Attack/Effect Viewer");
        EXPECT_EQ(Text(Item(dlg, IDC_FOLDER)), "c:\\Kyr\\art");
        EXPECT_EQ(StoredFolder(), "c:\\Kyr\\art");
        EXPECT_EQ(Text(Item(dlg, IDC_ROW)), "");
        EXPECT_EQ(Text(Item(dlg, IDC_INFO)),
                  "This is the row at offset 0 of the file attack00.bmp");
        EXPECT_FALSE(IsChecked(Item(dlg, IDC_ATTACK_MODE)));
        EXPECT_FALSE(IsChecked(Item(dlg, IDC_EFFECTS_MODE)));
        EXPECT_TRUE(IsChecked(Item(dlg, IDC_LOOP_FRAMES)));
        for (int nID : {IDC_CONTINUOUSLY, IDC_THROW_IN_ARC, IDC_FAST_THROW, IDC_SMEAR, IDC_FPS_X2})
            EXPECT_FALSE(IsChecked(Item(dlg, nID))) << nID;
        EXPECT_EQ(driver.Row(), 0);
        EXPECT_EQ(driver.Mode(), MODE_ATTACK);
        EXPECT_FALSE(window.windowIcon().isNull());
        EXPECT_EQ(reinterpret_cast<HICON>(dlg.SendMessage(WM_QUERYDRAGICON)), driver.Icon());
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(AfxGetApp(), nullptr);
}

TEST_F(ViewerDialog, PrevAndNextRowStayInRangeAndReadTheSheetOnce) {
    WriteSheet(Art("attack00.bmp"), 384, 480, 1);
    WriteSheet(Art("attack19.bmp"), 384, 480, 2);
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        const ViewerDriver driver(dlg, window);
        OpenCounter opens(ArtFolder());
        Click(Item(dlg, IDC_PREV_ROW));
        EXPECT_EQ(driver.Row(), 0);
        EXPECT_EQ(Text(Item(dlg, IDC_ROW)), "");
        int perRead = opens.Take("attack00.bmp");
        ASSERT_GE(perRead, 1);

        Click(Item(dlg, IDC_NEXT_ROW));
        EXPECT_EQ(driver.Row(), 1);
        EXPECT_EQ(Text(Item(dlg, IDC_ROW)), "1");
        EXPECT_FALSE(driver.IgnoringRowChange());
        EXPECT_EQ(opens.Take("attack00.bmp"), perRead) << "the edit's own change read again";

        TypeInto(Item(dlg, IDC_ROW), "199");
        opens.Take("attack19.bmp");
        Click(Item(dlg, IDC_NEXT_ROW));
        EXPECT_EQ(driver.Row(), 199);
        EXPECT_EQ(Text(Item(dlg, IDC_ROW)), "199");
        EXPECT_EQ(opens.Take("attack19.bmp"), perRead);
        EXPECT_EQ(Text(Item(dlg, IDC_INFO)),
                  "This is the row at offset 9 of the file attack19.bmp");
    });
}

TEST_F(ViewerDialog, TypedRowsAreClampedAndWrittenBack) {
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        const ViewerDriver driver(dlg, window);
        QWidget* row = Item(dlg, IDC_ROW);
        const struct {
            const char* typed;
            int row;
            const char* shown;
        } cases[] = {
            {"300", 199, "199"}, {"-5", 0, "0"},  {"abc", 0, "abc"},
            {"42x", 42, "42x"},  {" 7", 7, " 7"},
        };
        for (const auto& c : cases) {
            TypeInto(row, c.typed);
            EXPECT_EQ(driver.Row(), c.row) << c.typed;
            EXPECT_EQ(Text(row), c.shown) << c.typed;
            EXPECT_FALSE(driver.IgnoringRowChange()) << c.typed;
        }

        // Numbers beyond the int range still select the first or last row; 4294967296 and
        // 3000000000 are the ones that wrapped to 0 and to a negative row before.
        const struct {
            const char* pasted;
            int row;
        } huge[] = {{"99999999999", 199},
                    {"-99999999999", 0},
                    {"4294967296", 199},
                    {"3000000000", 199},
                    {"5", 5},
                    {"-2147483649", 0}};
        for (const auto& c : huge) {
            PasteInto(row, c.pasted);
            EXPECT_EQ(driver.Row(), c.row) << c.pasted;
            EXPECT_EQ(Text(row), std::to_string(c.row)) << c.pasted;
        }
    });
}

TEST_F(ViewerDialog, EveryKeystrokeSelectsARow) {
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        const ViewerDriver driver(dlg, window);
        QWidget* row = Item(dlg, IDC_ROW);
        TypeInto(row, "");
        const struct {
            Qt::Key key;
            int row;
            const char* info;
        } steps[] = {
            {Qt::Key_1, 1, "This is the row at offset 1 of the file attack00.bmp"},
            {Qt::Key_2, 12, "This is the row at offset 2 of the file attack01.bmp"},
            {Qt::Key_5, 125, "This is the row at offset 5 of the file attack12.bmp"},
        };
        for (const auto& step : steps) {
            QTest::keyClick(row, step.key);
            EXPECT_EQ(driver.Row(), step.row);
            EXPECT_EQ(Text(Item(dlg, IDC_INFO)), step.info);
        }
        EXPECT_EQ(Text(row), "125");
    });
}

TEST_F(ViewerDialog, EnterNeverClosesTheDialog) {
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        const ViewerDriver driver(dlg, window);
        for (int nID : {IDC_FOLDER, IDC_ROW, IDC_SMEAR, IDC_NEXT_ROW}) {
            QWidget* control = Item(dlg, nID);
            Click(control);
            ASSERT_TRUE(control->hasFocus()) << nID;
            QTest::keyClick(control, Qt::Key_Return);
            QTest::keyClick(control, Qt::Key_Enter, Qt::KeypadModifier);
            EXPECT_TRUE(window.isVisible()) << nID;
        }
        // Enter on a focused push button presses that button.
        EXPECT_EQ(driver.Row(), 3);
    });
}

TEST_F(ViewerDialog, EscapeEndsTheProgramWithExitCodeZero) {
    bool closed = false;
    int rc = RunViewer([&](CViewerDlg& dlg, QWidget&) {
        QTest::keyClick(Item(dlg, IDC_ROW), Qt::Key_Escape);
        closed =
            dlg.GetSafeHwnd() == nullptr || !AfxWidgetFromHandle(dlg.GetSafeHwnd())->isVisible();
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(rc, 0);
}

// Every paint test stops this timer and ticks by hand, so its period is checked here.
TEST_F(ViewerDialog, TheAnimationTimerRunsEveryFiftyMilliseconds) {
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        ViewerDriver driver(dlg, window);
        EXPECT_EQ(driver.StopAnimationTimer(), 50);
        EXPECT_EQ(driver.StopAnimationTimer(), 0) << "a stopped timer still ran";
    });
}

TEST_F(ViewerDialog, TheCloseBoxEndsTheDialog) {
    bool closed = false;
    RunViewer([&](CViewerDlg&, QWidget& window) {
        window.close();
        closed = !window.isVisible();
    });
    EXPECT_TRUE(closed);
}

TEST_F(ViewerDialog, SystemMenuOffersAboutAfterASeparator) {
    RunViewer([&](CViewerDlg&, QWidget& window) {
        QTest::keyClick(&window, Qt::Key_Space, Qt::AltModifier);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QList<QAction*> actions = menu->actions();
        ASSERT_EQ(actions.size(), 4);
        EXPECT_EQ(actions[0]->text().toStdString(), "Mi&nimize");
        EXPECT_EQ(actions[1]->text().toStdString(), "&Close");
        EXPECT_TRUE(actions[2]->isSeparator());
        EXPECT_EQ(actions[3]->text().toStdString(), "&About kyrAttack...");

        std::vector<std::string> aboutTexts;
        WhenModal("About kyrAttack", [&](QWidget& about) {
            for (QWidget* child : about.findChildren<QWidget*>())
                if (!Text(child).empty())
                    aboutTexts.push_back(Text(child));
            QTest::keyClick(&about, Qt::Key_Return);
        });
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(actions[3]).center());
        EXPECT_NE(std::find(aboutTexts.begin(), aboutTexts.end(), "kyrAttack Version 1.0"),
                  aboutTexts.end());
        EXPECT_NE(std::find(aboutTexts.begin(), aboutTexts.end(), "OK"), aboutTexts.end());
        EXPECT_EQ(aboutTexts.size(), 3u);
        EXPECT_TRUE(window.isVisible());

        // A right click on the background opens the same menu; its Close ends the dialog.
        QTest::mouseClick(&window, Qt::RightButton, {}, QPoint(600, 385));
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, {},
                          menu->actionGeometry(menu->actions()[1]).center());
        EXPECT_FALSE(window.isVisible());
    });
}

TEST_F(ViewerDialog, TheAboutBoxBlocksTheViewerUntilItCloses) {
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        const ViewerDriver driver(dlg, window);
        EXPECT_EQ(QApplication::activeModalWidget(), &window);
        // Input as the window system delivers it, to the viewer's window.
        QWindow* viewer = window.windowHandle();
        const QPoint nextRow = Item(dlg, IDC_NEXT_ROW)->geometry().center();
        QWidget* row = Item(dlg, IDC_ROW);
        Click(row);
        bool aboutSeen = false;
        WhenModal("About kyrAttack", [&](QWidget& about) {
            aboutSeen = true;
            EXPECT_EQ(QApplication::activeModalWidget(), &about);
            QTest::mouseClick(viewer, Qt::LeftButton, {}, nextRow);
            QTest::keyClick(viewer, Qt::Key_5);
            QTest::mouseClick(viewer, Qt::RightButton, {}, QPoint(600, 385));
            EXPECT_EQ(driver.Row(), 0);
            EXPECT_EQ(Text(row), "");
            EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
            QTest::keyClick(&about, Qt::Key_Escape);
        });
        dlg.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX);
        EXPECT_TRUE(aboutSeen);
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), &window);
        QTest::mouseClick(viewer, Qt::LeftButton, {}, nextRow);
        EXPECT_EQ(driver.Row(), 1);
    });
}

TEST_F(ViewerDialog, ModeSwitchReadsFromTheTypedFolderButOnlyReloadSavesIt) {
    QTemporaryDir other;
    WriteSheet(other.path().toStdString() + "/effects00.bmp", 256, 160, 7);
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        const ViewerDriver driver(dlg, window);
        TypeInto(Item(dlg, IDC_FOLDER), other.path().toUtf8().constData());
        Click(Item(dlg, IDC_EFFECTS_MODE));
        EXPECT_EQ(driver.Mode(), MODE_EFFECTS);
        EXPECT_EQ(driver.Sheet().GetWidth(), 256);
        EXPECT_EQ(SheetKeyIndex(driver.Sheet()), 7);
        EXPECT_EQ(StoredFolder(), ArtFolder());

        Click(Item(dlg, IDC_RELOAD));
        EXPECT_EQ(StoredFolder(), other.path().toStdString());
    });
}

TEST_F(ViewerDialog, EffectsModeAtRow57ReadsEffects05) {
    WriteSheet(Art("effects05.bmp"), 256, 160, 9);
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        const ViewerDriver driver(dlg, window);
        TypeInto(Item(dlg, IDC_ROW), "57");
        Click(Item(dlg, IDC_EFFECTS_MODE));
        EXPECT_EQ(driver.Row(), 57);
        EXPECT_EQ(Text(Item(dlg, IDC_INFO)),
                  "This is the row at offset 7 of the file effects05.bmp");
        EXPECT_EQ(SheetKeyIndex(driver.Sheet()), 9);
        Click(Item(dlg, IDC_ATTACK_MODE));
        EXPECT_EQ(driver.Mode(), MODE_ATTACK);
        EXPECT_EQ(Text(Item(dlg, IDC_INFO)),
                  "This is the row at offset 7 of the file attack05.bmp");
    });
}

TEST_F(ViewerDialog, AMissingFileKeepsThePreviousSheet) {
    WriteSheet(Art("attack00.bmp"), 384, 480, 5);
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        const ViewerDriver driver(dlg, window);
        ASSERT_EQ(SheetKeyIndex(driver.Sheet()), 5);
        TypeInto(Item(dlg, IDC_ROW), "15");
        EXPECT_EQ(Text(Item(dlg, IDC_INFO)),
                  "This is the row at offset 5 of the file attack01.bmp");
        EXPECT_EQ(driver.Sheet().GetWidth(), 384);
        EXPECT_EQ(SheetKeyIndex(driver.Sheet()), 5);
    });
}
