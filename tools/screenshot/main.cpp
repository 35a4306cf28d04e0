// Runs the viewer on the bundled sample art, offscreen, with a clock of its own, throws a
// weapon in an arc with "Smear" on and saves the window half-way through the throw.
#include "afxqt.h"
#include "viewer_app.h"
#include "viewer_driver.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr DWORD kStart = 500000;

// Half a throw of 2000 ms, one paint every 100 ms, trail kept from the first paint on.
bool ThrowAndShoot(CViewerDlg& dlg, QWidget& window, const char* path) {
    ViewerDriver viewer(dlg, window);
    viewer.StopAnimationTimer();
    const auto tickAt = [&](DWORD dwElapsed) {
        ViewerDriver::SetClock(kStart + dwElapsed);
        return viewer.SendTick();
    };
    viewer.Click(IDC_THROW_IN_ARC);
    viewer.Click(IDOK);
    if (!tickAt(0))
        return false;
    viewer.Click(IDC_SMEAR);
    for (DWORD e = 100; e <= 1000; e += 100)
        if (!tickAt(e))
            return false;
    return viewer.ClientImage()
        .convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither)
        .save(path);
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
    ViewerDriver::UseClock(kStart);

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
    ViewerDriver::RestoreClock();
    if (!saved) {
        std::fprintf(stderr, "screenshot: could not save %s\n", path);
        return 1;
    }
    return 0;
}
