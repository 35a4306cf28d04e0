#include "viewer_driver.h"

#include "afxqt.h"

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>

class PaintCounter : public QObject {
public:
    explicit PaintCounter(QObject& window) : m_window(window) { m_window.installEventFilter(this); }
    ~PaintCounter() override { m_window.removeEventFilter(this); }

    long Count() const { return m_count; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_window && event->type() == QEvent::Paint)
            ++m_count;
        return false;
    }

private:
    QObject& m_window;
    long m_count = 0;
};

namespace {

DWORD s_dwNow = 0;

DWORD DriverTickCount() {
    return s_dwNow;
}

// The ids and periods of the Qt timers running on the window.
QList<QAbstractEventDispatcher::TimerInfo> TimersOf(QObject& window) {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(window.thread());
    return dispatcher ? dispatcher->registeredTimers(&window)
                      : QList<QAbstractEventDispatcher::TimerInfo>();
}

} // namespace

ViewerDriver::ViewerDriver(CViewerDlg& dlg, QWidget& window)
    : m_dlg(dlg), m_window(window), m_paints(std::make_unique<PaintCounter>(window)) {}

ViewerDriver::~ViewerDriver() = default;

void ViewerDriver::UseClock(DWORD dwNow) {
    s_dwNow = dwNow;
    AfxSetTickCountSource(DriverTickCount);
}

void ViewerDriver::SetClock(DWORD dwNow) {
    s_dwNow = dwNow;
}

DWORD ViewerDriver::Clock() {
    return s_dwNow;
}

void ViewerDriver::RestoreClock() {
    AfxSetTickCountSource(nullptr);
}

// The window's timers before and after the stop tell which one was the animation's.
int ViewerDriver::StopAnimationTimer() {
    const auto before = TimersOf(m_window);
    if (!m_dlg.KillTimer(kAnimationTimer))
        return 0;
    const auto after = TimersOf(m_window);
    for (const auto& timer : before) {
        const bool stopped = std::none_of(after.begin(), after.end(), [&](const auto& still) {
            return still.timerId == timer.timerId;
        });
        if (stopped)
            return timer.interval;
    }
    return 0;
}

void ViewerDriver::SetTicks(int nTicks) {
    m_dlg.m_nTicks = nTicks;
}

bool ViewerDriver::SendTick(int waitMs) {
    const long before = Paints();
    ::SendMessage(m_dlg.GetSafeHwnd(), WM_TIMER, kAnimationTimer, 0);
    return WaitForPaintAfter(before, waitMs);
}

bool ViewerDriver::WaitForPaintAfter(long nPaints, int waitMs) const {
    const QDeadlineTimer deadline(waitMs);
    while (Paints() <= nPaints) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QWidget* ViewerDriver::Control(int nID) const {
    CWnd* item = m_dlg.GetDlgItem(nID);
    return item ? AfxWidgetFromHandle(item->GetSafeHwnd()) : nullptr;
}

bool ViewerDriver::Click(int nID) {
    auto* button = qobject_cast<QAbstractButton*>(Control(nID));
    if (!button)
        return false;
    button->click();
    return true;
}

bool ViewerDriver::SetCheck(int nID, bool bChecked) {
    CWnd* item = m_dlg.GetDlgItem(nID);
    if (!item)
        return false;
    const auto IsChecked = [&] { return item->SendMessage(BM_GETCHECK) == BST_CHECKED; };
    if (IsChecked() != bChecked && !Click(nID))
        return false;
    return IsChecked() == bChecked;
}

bool ViewerDriver::SetText(int nID, LPCTSTR lpszText) {
    CWnd* item = m_dlg.GetDlgItem(nID);
    if (!item)
        return false;
    item->SetWindowText(lpszText);
    return true;
}

void ViewerDriver::Invalidate(const RECT& rc) {
    m_dlg.InvalidateRect(&rc, FALSE);
}

long ViewerDriver::Paints() const {
    return m_paints->Count();
}

QImage ViewerDriver::ClientImage() const {
    QImage shot = m_window.screen()->grabWindow(m_window.winId()).toImage();
    // The grab may hold the window's frame around the client area.
    QPoint origin;
    if (shot.size() != m_window.size())
        origin = m_window.geometry().topLeft() - m_window.frameGeometry().topLeft();
    return shot.copy(QRect(origin, m_window.size())).convertToFormat(QImage::Format_RGB32);
}

QImage ViewerDriver::CloseUp() const {
    const RECT& rc = m_dlg.m_rcCloseUp;
    return ClientImage().copy(QRect(QPoint(rc.left, rc.top), QPoint(rc.right - 1, rc.bottom - 1)));
}

const CDIB& ViewerDriver::Sheet() const {
    return m_dlg.m_Sheet;
}

const CDIB& ViewerDriver::Stage() const {
    return m_dlg.m_Stage;
}

int ViewerDriver::Row() const {
    return m_dlg.m_nRow;
}

int ViewerDriver::Mode() const {
    return m_dlg.m_nMode;
}

int ViewerDriver::Ticks() const {
    return m_dlg.m_nTicks;
}

int ViewerDriver::PickedFrame() const {
    return m_dlg.m_nPickedFrame;
}

int ViewerDriver::ThrowState() const {
    return m_dlg.m_nThrowState;
}

RECT ViewerDriver::RowStrip() const {
    return m_dlg.m_rcRowStrip;
}

RECT ViewerDriver::CloseUpRect() const {
    return m_dlg.m_rcCloseUp;
}

HICON ViewerDriver::Icon() const {
    return m_dlg.m_hIcon;
}

bool ViewerDriver::IgnoringRowChange() const {
    return m_dlg.m_bIgnoreRowChange != FALSE;
}

std::string ViewerDriver::LoadFailureLine() const {
    return m_dlg.LoadFailureText().toStdString();
}
