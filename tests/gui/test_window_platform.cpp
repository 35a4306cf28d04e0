// The window side of the platform under the dialogs: layout from templates, the control
// font, the erase rule of invalidation, timers and clicks on the dialog.
#include "gui_support.h"

#include "viewer_app.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTest>

#include "about_dlg.h"
#include "resources.h"

namespace {

RECT ClientRectOf(CWnd& dlg, int nID) {
    RECT rc;
    dlg.GetDlgItem(nID)->GetWindowRect(&rc);
    dlg.ScreenToClient(&rc);
    return rc;
}

// The width Qt gives a control's text: the contents area of a button, the whole label.
int TextRoom(QWidget* control) {
    QStyleOptionButton option;
    option.initFrom(control);
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        option.text = button->text();
    if (qobject_cast<QRadioButton*>(control))
        return control->style()
            ->subElementRect(QStyle::SE_RadioButtonContents, &option, control)
            .width();
    if (qobject_cast<QCheckBox*>(control))
        return control->style()
            ->subElementRect(QStyle::SE_CheckBoxContents, &option, control)
            .width();
    if (qobject_cast<QPushButton*>(control))
        return control->style()
            ->subElementRect(QStyle::SE_PushButtonContents, &option, control)
            .width();
    if (qobject_cast<QGroupBox*>(control))
        return control->width() - 16;
    return control->contentsRect().width();
}

QString ShownText(QWidget* control) {
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    if (auto* group = qobject_cast<QGroupBox*>(control))
        return group->title();
    return qobject_cast<QAbstractButton*>(control)->text();
}

// A template of the platform tests' own, as large as the viewer's: a frame that clicks pass
// through, a push button, an edit, and a hidden Cancel button for Escape to land on.
constexpr UINT kProbeTemplate = 100;
constexpr int kProbeButton = 1000;
constexpr int kProbeFrame = 1001;
constexpr int kProbeEdit = 1002;
constexpr DWORD kProbeChild = WS_CHILD | WS_VISIBLE;

const DialogItemTemplate kProbeItems[] = {
    {ControlClass::Button, kProbeButton, "Push", 0, kProbeChild | BS_PUSHBUTTON | WS_TABSTOP, 337,
     106, 62, 14},
    {ControlClass::Static, kProbeFrame, "", 0, kProbeChild | SS_BLACKFRAME, 60, 82, 266, 39},
    {ControlClass::Edit, kProbeEdit, "", 0, kProbeChild | WS_BORDER | WS_TABSTOP, 17, 51, 236, 12},
    {ControlClass::Button, IDCANCEL, "Cancel", 0, WS_CHILD | BS_PUSHBUTTON, 246, 129, 13, 14},
};
const DialogTemplate kProbeDialog = {
    kProbeTemplate, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 406, 242, "Probe", nullptr, 0,
    kProbeItems,    (int)std::size(kProbeItems)};

const DialogTemplate* FindProbeDialog(UINT nID) {
    return nID == kProbeTemplate ? &kProbeDialog : nullptr;
}
const ResourceTable kProbeResources = {&FindProbeDialog, [](UINT) -> LPCTSTR { return nullptr; },
                                       [](UINT) -> const IconGroup* { return nullptr; },
                                       []() -> const VersionResource* { return nullptr; }};

// Hands the platform the probe's resources for as long as it lives.
class ProbeResources {
public:
    ProbeResources() : m_pPrevious(AfxSetResourceTable(&kProbeResources)) {}
    ~ProbeResources() { AfxSetResourceTable(m_pPrevious); }

private:
    const ResourceTable* m_pPrevious;
};

// A dialog on the probe template that records what reaches its message map.
class ProbeDialog : public CDialog {
public:
    ProbeDialog() : CDialog(kProbeTemplate) {}

    int m_nTimerTicks = 0;
    UINT m_nTimerId = 0;
    std::vector<CPoint> m_clicks;
    bool m_bPaintRed = false;

    void PaintOnce() {
        m_bPaintRed = true;
        InvalidateRect(nullptr, FALSE);
    }

protected:
    afx_msg void OnTimer(UINT nIDEvent) {
        ++m_nTimerTicks;
        m_nTimerId = nIDEvent;
    }
    afx_msg void OnLButtonDown(UINT, CPoint point) { m_clicks.push_back(point); }
    afx_msg void OnPaint() {
        PAINTSTRUCT ps;
        BeginPaint(m_hWnd, &ps);
        if (m_bPaintRed) {
            if (QPainter* painter = GetDCPainter(ps.hdc))
                painter->fillRect(QRect(0, 0, 609, 393), Qt::red);
            m_bPaintRed = false;
        }
        EndPaint(m_hWnd, &ps);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProbeDialog, CDialog)
ON_WM_TIMER()
ON_WM_LBUTTONDOWN()
ON_WM_PAINT()
END_MESSAGE_MAP()

// The picture of the application icon's image of that size, straight from the resource.
const char* const* IconImageOfSize(int nSize) {
    const IconGroup* group = ResFindIconGroup(IDR_MAINFRAME);
    for (int i = 0; group && i < group->nImages; ++i)
        if (group->pImages[i].nSize == nSize)
            return group->pImages[i].xpm;
    return nullptr;
}

QColor PixelOnScreen(QWidget& window, QPoint at) {
    QImage shot = window.screen()->grabWindow(window.winId()).toImage();
    return shot.pixelColor(at);
}

} // namespace

TEST_F(GuiTest, ControlsLandOnTheirTemplateRectanglesAndTheirTextsFit) {
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        EXPECT_EQ(window.size(), QSize(609, 393));
        const struct {
            int nID;
            RECT rc;
        } frames[] = {{IDC_ROW_FRAME, {90, 133, 489, 197}},
                      {IDC_CLOSEUP_FRAME, {11, 133, 83, 197}},
                      {IDC_STAGE_FRAME, {11, 215, 489, 382}}};
        for (const auto& frame : frames) {
            RECT rc = ClientRectOf(dlg, frame.nID);
            EXPECT_TRUE(rc.left == frame.rc.left && rc.top == frame.rc.top &&
                        rc.right == frame.rc.right && rc.bottom == frame.rc.bottom)
                << frame.nID << ": " << rc.left << "," << rc.top << "," << rc.right << ","
                << rc.bottom;
        }

        const DialogTemplate* tmpl = ResFindDialog(IDD_VIEWER);
        ASSERT_NE(tmpl, nullptr);
        // Children are listed bottom to top, and the template's first control lies on top.
        std::vector<QWidget*> controls;
        for (QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!child->isWindow())
                controls.insert(controls.begin(), child);
        ASSERT_EQ((int)controls.size(), tmpl->nItems);
        for (int i = 0; i < tmpl->nItems; ++i) {
            const DialogItemTemplate& item = tmpl->pItems[i];
            QWidget* control = controls[i];
            RECT expected = {item.x, item.y, item.x + item.cx, item.y + item.cy};
            dlg.MapDialogRect(&expected);
            EXPECT_EQ(control->geometry(), QRect(QPoint(expected.left, expected.top),
                                                 QPoint(expected.right - 1, expected.bottom - 1)))
                << "item " << i;
            EXPECT_EQ(control->isVisibleTo(&window), item.nID != IDCANCEL) << "item " << i;
            EXPECT_TRUE(control->isEnabled()) << "item " << i;
            if (!item.lpszText || !*item.lpszText || !control->isVisibleTo(&window))
                continue;
            QFontMetrics metrics(control->font());
            EXPECT_LE(metrics.horizontalAdvance(ShownText(control)), TextRoom(control))
                << item.lpszText;
            EXPECT_LE(metrics.height(), control->height()) << item.lpszText;
        }
    });
}

TEST_F(GuiTest, TheGroupBoxTopLineRunsThroughTheMiddleOfItsCaption) {
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        auto* group = window.findChild<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly);
        ASSERT_NE(group, nullptr);
        RECT frame = {7, 7, 7 + 392, 7 + 61};
        dlg.MapDialogRect(&frame);
        EXPECT_EQ(group->geometry(),
                  QRect(QPoint(frame.left, frame.top), QPoint(frame.right - 1, frame.bottom - 1)));
        const QImage shot = window.screen()->grabWindow(window.winId()).toImage();
        const QRgb line = group->palette().color(QPalette::Dark).rgb();
        const QRgb background = window.palette().color(QPalette::Window).rgb();
        const QFontMetrics metrics(group->font());
        const QRect box = group->geometry();
        const int lineY = box.top() + metrics.height() / 2 - 1;
        const int textLeft = box.left() + 7;
        const int textRight = textLeft + metrics.horizontalAdvance("View Mode: ");
        // The line on either side of the caption; the caption's strip interrupts it.
        for (int x = box.left(); x < textLeft - 1; ++x)
            EXPECT_EQ(shot.pixel(x, lineY), line) << x;
        for (int x = textRight + 1; x < box.right() - 1; ++x)
            ASSERT_EQ(shot.pixel(x, lineY), line) << x;
        EXPECT_EQ(shot.pixel(textLeft - 1, lineY), background);
        EXPECT_EQ(shot.pixel(textRight, lineY), background);
        // The caption's ink lies above the line and below it.
        int above = 0, below = 0;
        for (int y = box.top(); y < box.top() + metrics.height(); ++y)
            for (int x = textLeft; x < textRight; ++x)
                if (shot.pixel(x, y) != background && y != lineY)
                    ++(y < lineY ? above : below);
        EXPECT_GT(above, 5);
        EXPECT_GT(below, 5);
    });
}

TEST_F(GuiTest, AboutBoxTextsFitAndOkClosesIt) {
    CViewerApp app;
    CAboutDlg about;
    HWND hDialog = nullptr, hOk = nullptr;
    Later([&] {
        QWidget* window = AfxWidgetFromHandle(about.GetSafeHwnd());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->size(), QSize(326, 89));
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (label->text().isEmpty()) {
                EXPECT_EQ(label->pixmap().size(), QSize(32, 32));
                // At pixel ratio 2 each pixel of the 32-pixel picture becomes a 2 x 2 block.
                QImage shown(64, 64, QImage::Format_ARGB32);
                shown.setDevicePixelRatio(2);
                shown.fill(Qt::transparent);
                label->render(&shown, QPoint(), QRegion(), {});
                const QImage icon = QPixmap(IconImageOfSize(32)).toImage();
                for (int y = 0; y < 64; ++y)
                    for (int x = 0; x < 64; ++x)
                        ASSERT_EQ(shown.pixel(x, y), icon.pixel(x / 2, y / 2)) << x << "," << y;
                continue;
            }
            EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()),
                      label->contentsRect().width())
                << label->text().toStdString();
        }
        hDialog = about.GetSafeHwnd();
        hOk = about.GetDlgItem(IDOK)->GetSafeHwnd();
        QTest::mouseClick(Item(about, IDOK), Qt::LeftButton);
    });
    EXPECT_EQ(about.DoModal(), IDOK);
    EXPECT_EQ(about.GetSafeHwnd(), nullptr);
    // The handles of a closed dialog and its controls find nothing; a message to them is
    // dropped rather than reaching the freed widgets.
    ASSERT_TRUE(hDialog && hOk);
    char text[16] = "untouched";
    for (HWND hWnd : {hDialog, hOk}) {
        EXPECT_EQ(AfxWidgetFromHandle(hWnd), nullptr);
        EXPECT_EQ(CWnd::FromHandle(hWnd), nullptr);
        EXPECT_EQ(::SendMessage(hWnd, WM_GETTEXT, sizeof(text), (LPARAM)text), 0);
        EXPECT_EQ(::SendMessage(hWnd, WM_CLOSE, 0, 0), 0);
    }
    EXPECT_STREQ(text, "untouched");
}

TEST_F(GuiTest, InvalidatingWithoutErasingKeepsThePicture) {
    CWinApp app;
    ProbeResources resources;
    ProbeDialog probe;
    Later([&] {
        QWidget* window = AfxWidgetFromHandle(probe.GetSafeHwnd());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        probe.PaintOnce();
        QTest::qWait(50);
        ASSERT_EQ(PixelOnScreen(*window, QPoint(300, 205)), QColor(Qt::red));

        RECT keep = {290, 200, 310, 210};
        probe.InvalidateRect(&keep, FALSE);
        RECT erase = {0, 385, 20, 393};
        probe.InvalidateRect(&erase, TRUE);
        QTest::qWait(50);
        EXPECT_EQ(PixelOnScreen(*window, QPoint(300, 205)), QColor(Qt::red));
        EXPECT_EQ(PixelOnScreen(*window, QPoint(5, 390)),
                  window->palette().color(QPalette::Window));
        QTest::keyClick(window, Qt::Key_Escape);
    });
    EXPECT_EQ(probe.DoModal(), IDCANCEL);
}

TEST_F(GuiTest, TimersAndClicksReachTheMessageMap) {
    CWinApp app;
    ProbeResources resources;
    ProbeDialog probe;
    Later([&] {
        QWidget* window = AfxWidgetFromHandle(probe.GetSafeHwnd());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        probe.SetTimer(7, 10, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([&] { return probe.m_nTimerTicks >= 3; }, 2000));
        EXPECT_EQ(probe.m_nTimerId, 7u);

        // Statics let clicks through to the dialog, in client coordinates.
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(200, 160));
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(600, 385));
        ASSERT_EQ(probe.m_clicks.size(), 2u);
        EXPECT_EQ(probe.m_clicks[0].x, 200);
        EXPECT_EQ(probe.m_clicks[0].y, 160);
        EXPECT_EQ(probe.m_clicks[1].x, 600);
        // A click on a control is the control's.
        QTest::mouseClick(Item(probe, kProbeButton), Qt::LeftButton);
        EXPECT_EQ(probe.m_clicks.size(), 2u);
        QTest::keyClick(window, Qt::Key_Escape);
    });
    EXPECT_EQ(probe.DoModal(), IDCANCEL);
    EXPECT_EQ(probe.GetSafeHwnd(), nullptr);
}

TEST_F(GuiTest, KeysOpenTheSystemMenuExceptTheMenuKeysOnAnEdit) {
    CWinApp app;
    ProbeResources resources;
    ProbeDialog probe;
    Later([&] {
        QWidget* window = AfxWidgetFromHandle(probe.GetSafeHwnd());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        const std::tuple<int, Qt::Key, Qt::KeyboardModifiers, bool> cases[] = {
            {kProbeButton, Qt::Key_Space, Qt::AltModifier, true},
            {kProbeButton, Qt::Key_F10, Qt::ShiftModifier, true},
            {kProbeButton, Qt::Key_Menu, Qt::NoModifier, true},
            {kProbeButton, Qt::Key_F10, Qt::NoModifier, false},
            {kProbeEdit, Qt::Key_Space, Qt::AltModifier, true},
            {kProbeEdit, Qt::Key_F10, Qt::ShiftModifier, false},
            {kProbeEdit, Qt::Key_Menu, Qt::NoModifier, false}};
        for (const auto& [nFocusID, key, mods, bOpens] : cases) {
            Item(probe, nFocusID)->setFocus();
            QTest::keyClick(Item(probe, nFocusID), key, mods);
            // The system menu is the one that offers Close (an edit's own menu does not).
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            EXPECT_EQ(menu && menu->actions().size() == 2 && menu->actions()[1]->text() == "&Close",
                      bOpens)
                << nFocusID << " " << key;
            while (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        }
        QTest::keyClick(window, Qt::Key_Escape);
    });
    EXPECT_EQ(probe.DoModal(), IDCANCEL);
}

TEST_F(GuiTest, TheAboutBoxBelongsToTheViewerAndShowsItsIcon) {
    RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        bool seen = false;
        WhenModal("About kyrAttack", [&](QWidget& about) {
            seen = true;
            EXPECT_EQ(about.parentWidget(), &window);
            EXPECT_EQ(about.windowIcon().cacheKey(), window.windowIcon().cacheKey());
            EXPECT_LE((about.geometry().center() - window.geometry().center()).manhattanLength(),
                      2);
            QTest::keyClick(&about, Qt::Key_Escape);
        });
        dlg.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX);
        EXPECT_TRUE(seen);
    });
}

TEST(Resources, StringsIconAndVersionBlock) {
    const ResourceTable* previous = AfxSetResourceTable(ResGetTable());
    char text[64];
    EXPECT_EQ(LoadString(AfxGetResourceHandle(), IDS_ABOUTBOX, text, sizeof(text)), 19);
    EXPECT_STREQ(text, "&About kyrAttack...");
    EXPECT_EQ(LoadString(AfxGetResourceHandle(), IDS_ABOUTBOX, text, 7), 6);
    EXPECT_STREQ(text, "&About");
    EXPECT_EQ(LoadString(AfxGetResourceHandle(), 999, text, sizeof(text)), 0);

    HICON hIcon = LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(IDR_MAINFRAME));
    ASSERT_NE(hIcon, nullptr);
    QIcon icon = AfxIconFromHandle(hIcon);
    QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    for (int size : {16, 32}) {
        QImage image = icon.pixmap(size, size).toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                colours.insert(image.pixel(x, y));
        EXPECT_LE(colours.size(), 16) << size;
    }

    const VersionResource* version = ResFindVersion();
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->fileVersion[0], 1);
    EXPECT_EQ(version->fileVersion[3], 1);
    EXPECT_STREQ(version->lpszBlock, "040904B0");
    std::map<std::string, std::string> strings;
    for (int i = 0; i < version->nStrings; ++i)
        strings[version->pStrings[i].lpszName] = version->pStrings[i].lpszValue;
    EXPECT_EQ(strings["FileVersion"], "1, 0, 0, 1");
    EXPECT_EQ(strings["ProductVersion"], "1, 0, 0, 1");
    EXPECT_EQ(strings["OriginalFilename"], "KYRATTACK.EXE");
    EXPECT_EQ(strings["CompanyName"], "");
    AfxSetResourceTable(previous);
}
