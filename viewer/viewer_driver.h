// ViewerDriver: the one door through which a program runs the viewer dialog offscreen (the
// tests, the benchmarks, the screenshot maker and the throw recorder). It drives the dialog as
// its user and its timer would, on a clock of its own, and reads back what the dialog shows
// and the little of its state that those programs check; it never changes that state except
// the animation's tick counter.
#pragma once

#include "viewer_dlg.h"

#include <QImage>

#include <memory>
#include <string>

class QWidget;

// Counts the paints a window receives, so that a driver can wait for the one it caused.
class PaintCounter;

class ViewerDriver {
public:
    // The dialog must be running (shown, its controls made); window is its widget.
    ViewerDriver(CViewerDlg& dlg, QWidget& window);
    ~ViewerDriver();
    ViewerDriver(const ViewerDriver&) = delete;
    ViewerDriver& operator=(const ViewerDriver&) = delete;

    // The clock: from UseClock until RestoreClock, GetTickCount answers the driver's clock
    // (for every dialog of the process, so install it before the dialog starts if its start
    // must see it too).
    static void UseClock(DWORD dwNow);
    static void SetClock(DWORD dwNow);
    static DWORD Clock();
    static void RestoreClock();

    // Stops the dialog's own animation timer, so that ticks come only from SendTick. Returns
    // the period in milliseconds of the timer it stopped, or 0 when none was running.
    int StopAnimationTimer();
    // The animation's tick counter; the next tick makes it nTicks + 1.
    void SetTicks(int nTicks);
    // One animation tick through the window's message dispatch, then the paint it asks for;
    // false when that paint did not come within waitMs.
    bool SendTick(int waitMs = 5000);

    // The widget of the dialog's control nID, or null, for programs that press keys or the
    // mouse on it themselves.
    QWidget* Control(int nID) const;
    // A button as the user clicks it (check boxes toggle, radios check); false when nID is
    // no button of the dialog.
    bool Click(int nID);
    // A check box set to bChecked by clicking it when it is not; whether it now is.
    bool SetCheck(int nID, bool bChecked);
    // A control's whole text replaced, as a paste over a selection of all of it would; the
    // edit reports the change as it does for any edit.
    bool SetText(int nID, LPCTSTR lpszText);

    // Part of the client area to be painted again, as the dialog's own invalidations ask.
    void Invalidate(const RECT& rc);

    long Paints() const;
    // The window's client area as the last paints left it.
    QImage ClientImage() const;
    // The close-up as painted: the cell-sized rectangle of the client area it last drew in.
    QImage CloseUp() const;

    const CDIB& Sheet() const;
    const CDIB& Stage() const;
    int Row() const;
    int Mode() const;
    int Ticks() const;
    int PickedFrame() const;
    int ThrowState() const;
    RECT RowStrip() const;
    RECT CloseUpRect() const;
    HICON Icon() const;
    // Whether the next change of the row edit is the dialog's own write, to be ignored.
    bool IgnoringRowChange() const;
    // The line the row strip shows, in place of the sheet, about a file of the row on show that
    // did not load; empty while the strip shows the sheet.
    std::string LoadFailureLine() const;

    QWidget& Window() const { return m_window; }

private:
    bool WaitForPaintAfter(long nPaints, int waitMs) const;

    CViewerDlg& m_dlg;
    QWidget& m_window;
    std::unique_ptr<PaintCounter> m_paints;
};
