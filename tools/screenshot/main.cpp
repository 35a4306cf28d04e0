// Runs the viewer on the bundled sample art, offscreen, with a clock of its own, throws a
// weapon in an arc with "Smear" on and saves the window half-way through the throw.
#include "afxqt.h"
#include "paint_counter.h"
#include "viewer_app.h"
#include "viewer_dlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr UINT_PTR kAnimationTimer = 2;
constexpr DWORD kStart = 500000;

DWORD s_dwNow = kStart;
DWORD ShotClock() {
    return s_dwNow;
}

class Shooter {
public:
    Shooter(CViewerDlg& dlg, QWidget& window) : m_dlg(dlg), m_window(window), m_paints(window) {}

    bool TickAt(DWORD dwElapsed) {
        s_dwNow = kStart + dwElapsed;
        const int before = m_paints.count;
        ::SendMessage(m_dlg.GetSafeHwnd(), WM_TIMER, kAnimationTimer, 0);
        return QTest::qWaitFor([&] { return m_paints.count > before; }, 5000);
    }

    void Press(int nID) {
        CWnd* item = m_dlg.GetDlgItem(nID);
        if (auto* button =
                item ? qobject_cast<QAbstractButton*>(AfxWidgetFromHandle(item->GetSafeHwnd()))
                     : nullptr)
            button->click();
    }

    bool Save(const char* path) {
        QImage shot = m_window.screen()->grabWindow(m_window.winId()).toImage();
        return shot.copy(QRect(QPoint(), m_window.size()))
            .convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither)
            .save(path);
    }

private:
    CViewerDlg& m_dlg;
    QWidget& m_window;
    fixtures::PaintCounter m_paints; // so that a tick can wait for the paint it asked for
};

// Half a throw of 2000 ms, one paint every 100 ms, trail kept from the first paint on.
bool ThrowAndShoot(CViewerDlg& dlg, QWidget& window, const char* path) {
    dlg.KillTimer(kAnimationTimer);
    Shooter shooter(dlg, window);
    shooter.Press(IDC_THROW_IN_ARC);
    shooter.Press(IDOK);
    if (!shooter.TickAt(0))
        return false;
    shooter.Press(IDC_SMEAR);
    for (DWORD e = 100; e <= 1000; e += 100)
        if (!shooter.TickAt(e))
            return false;
    return shooter.Save(path);
}

} // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "docs/screenshot.png";
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_SCALE_FACTOR", "1", 1);
    // The viewer writes its folder setting; keep it away from the user's own.
    QTemporaryDir config;
    if (!config.isValid())
        return 1;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    AfxSetTickCountSource(ShotClock);

    QApplication application(argc, argv);
    CViewerApp app;
    bool saved = false;
    QTimer::singleShot(0, &application, [&] {
        auto* dlg = static_cast<CViewerDlg*>(app.m_pMainWnd);
        QWidget* window = dlg ? AfxWidgetFromHandle(dlg->GetSafeHwnd()) : nullptr;
        if (window && QTest::qWaitForWindowExposed(window))
            saved = ThrowAndShoot(*dlg, *window, path);
        if (window)
            QTest::keyClick(window, Qt::Key_Escape);
    });
    AfxWinMain(argc, argv);
    AfxSetTickCountSource(nullptr);
    if (!saved) {
        std::fprintf(stderr, "screenshot: could not save %s\n", path);
        return 1;
    }
    return 0;
}
