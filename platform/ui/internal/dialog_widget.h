// The Qt dialog behind a CDialog: built from a template, it turns Qt's events into the
// window messages of the original platform.
#pragma once

#include "ui_internal.h"

#include <QBasicTimer>
#include <QDialog>
#include <QImage>
#include <QRegion>

#include <map>
#include <vector>

class QMenu;

namespace ui {

class DialogWidget : public QDialog {
public:
    DialogWidget(const DialogTemplate& dlgTemplate, QWidget* parent);

    HWND Handle() { return AfxHandleFromWidget(this); }
    QWidget* Control(int nID) const;

    void Invalidate(const QRect& rect, bool bErase);
    UINT_PTR StartTimer(UINT_PTR nIDEvent, UINT nElapse);
    bool StopTimer(UINT_PTR nIDEvent);
    CMenu* SystemMenu() { return &m_sysMenuObject; }
    HICON SetIcon(HICON hIcon, bool bBig);
    void FocusFirstTabStop();
    void SetDragFilter(DRAGFILEPROC pfnAccepts) { m_pfnDragFilter = pfnAccepts; }

    // What the WM_PAINT in progress repaints; empty outside one, as nothing paints an empty region.
    const QRegion& PaintRegion() const { return m_paintRegion; }
    // The window's picture, which the paint handler draws into.
    QImage& Surface() { return m_surface; }

    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    QWidget* CreateControl(const DialogItemTemplate& item);
    QWidget* CreateButton(const DialogItemTemplate& item);
    QWidget* CreateStatic(const DialogItemTemplate& item);
    void ConnectNotifications(QWidget* control);
    void BuildSystemMenu();
    bool HandleDialogKey(QKeyEvent* event);
    bool IsSystemMenuKey(int key, Qt::KeyboardModifiers mods) const;
    int EnterCommandId() const;
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Files dragged over the dialog or any of its controls are the dialog's, when it
    // accepts them.
    bool TakesFileDrag(QDropEvent* event) const;
    // Whether the drag carries a file that the window's filter takes (any, without a filter).
    bool WantsAnyFileOf(QDropEvent* event) const;
    bool HandleFileDrag(QEvent* event);
    void Expose();
    void PaintInvalid(const QRegion& region);

    std::vector<QWidget*> m_controls;         // template (tab) order
    std::map<UINT_PTR, QBasicTimer> m_timers; // by the window's timer id
    QImage m_surface;
    QRegion m_erase;
    QRegion m_keep;
    QRegion m_exposed;
    QRegion m_paintRegion;
    QMenu* m_sysMenu = nullptr;
    CMenu m_sysMenuObject;
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;
    DRAGFILEPROC m_pfnDragFilter = nullptr;
};

} // namespace ui
