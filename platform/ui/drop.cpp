// Files dropped from a file manager: Qt's drag and drop events become WM_DROPFILES.
#include "dialog_widget.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace ui {

namespace {

// What an HDROP stands for: the local paths one drop carried, in the order given, in the
// framework's text.
struct DroppedFiles {
    std::vector<std::string> m_paths;

    HDROP Handle() { return reinterpret_cast<HDROP>(this); }
    static const DroppedFiles* FromHandle(HDROP hDrop) {
        return reinterpret_cast<const DroppedFiles*>(hDrop);
    }
};

// The local files a drag carries (file URLs only).
DroppedFiles LocalFilesOf(const QMimeData* mime) {
    DroppedFiles files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files.m_paths.push_back(ToAfx(url.toLocalFile()).toStdString());
    return files;
}

} // namespace

bool DialogWidget::TakesFileDrag(QDropEvent* event) const {
    // Under another modal window (the About box over the viewer) a window takes no input,
    // dropped files included.
    const QWidget* modal = QApplication::activeModalWidget();
    if (!acceptDrops() || !isEnabled() || (modal && modal != this))
        return false;
    return !LocalFilesOf(event->mimeData()).m_paths.empty();
}

// The original platform takes any file a window accepts and leaves it to the program to
// ignore what it cannot use. Here a window may name the files it takes, so that a drag of
// nothing it would use is refused as it enters and the pointer says so before the drop.
bool DialogWidget::WantsAnyFileOf(QDropEvent* event) const {
    if (!m_pfnDragFilter)
        return true;
    const std::vector<std::string> paths = LocalFilesOf(event->mimeData()).m_paths;
    return std::ranges::any_of(
        paths, [this](const std::string& path) { return m_pfnDragFilter(path.c_str()) != FALSE; });
}

bool DialogWidget::HandleFileDrag(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    // Entering and moving drags are drop events too: each is taken when its drop would be.
    auto* drop = static_cast<QDropEvent*>(event);
    if (!TakesFileDrag(drop))
        return false;
    if (!WantsAnyFileOf(drop)) {
        // Refused here rather than passed on, so that an edit under the pointer does not take
        // the files' names as text.
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        // The drop lives on this stack until the message returns, so a handler that does
        // not call DragFinish leaks nothing.
        DroppedFiles files = LocalFilesOf(drop->mimeData());
        Send(WM_DROPFILES, reinterpret_cast<WPARAM>(files.Handle()), 0);
    }
    return true;
}

} // namespace ui

using namespace ui;

void CWnd::DragAcceptFiles(BOOL bAccept) {
    if (QWidget* widget = AfxWidgetFromHandle(m_hWnd))
        widget->setAcceptDrops(bAccept != FALSE);
}

void CWnd::DragAcceptFilesIf(DRAGFILEPROC pfnAccepts) {
    if (DialogWidget* dialog = AsDialog(m_hWnd))
        dialog->SetDragFilter(pfnAccepts);
}

UINT DragQueryFile(HDROP hDrop, UINT iFile, LPTSTR lpszFile, UINT cch) {
    const DroppedFiles* files = DroppedFiles::FromHandle(hDrop);
    if (!files)
        return 0;
    if (iFile == 0xFFFFFFFF)
        return (UINT)files->m_paths.size();
    if (iFile >= files->m_paths.size())
        return 0;
    const std::string& path = files->m_paths[iFile];
    if (!lpszFile)
        return (UINT)path.size();
    return (UINT)CopyText(FromAfx(path.c_str()), lpszFile, (int)std::min<UINT>(cch, INT_MAX));
}

void DragFinish(HDROP) {}
