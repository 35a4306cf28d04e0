#include "sheet_watcher.h"

#include <QFileInfo>

#include <sys/stat.h>

SheetWatcher::SheetWatcher(std::function<QString()> pfnHostPath,
                           std::function<SheetLoad()> pfnReload, QObject* pParent)
    : QObject(pParent), m_pfnHostPath(std::move(pfnHostPath)), m_pfnReload(std::move(pfnReload)) {
    m_check.setSingleShot(true);
    connect(&m_check, &QTimer::timeout, this, &SheetWatcher::OnCheck);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &SheetWatcher::OnEvent);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &SheetWatcher::OnEvent);
}

void SheetWatcher::Watch() {
    m_check.stop();
    Arm(true);
    m_stamp = StampOf(m_path);
}

SheetWatcher::Stamp SheetWatcher::StampOf(const QString& path) {
    Stamp stamp;
    struct stat st;
    if (path.isEmpty() || stat(QFile::encodeName(path).constData(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.modifiedNs = (qint64)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changedNs = (qint64)st.st_ctim.tv_sec * 1000000000 + st.st_ctim.tv_nsec;
    stamp.inode = st.st_ino;
    return stamp;
}

QStringList SheetWatcher::FoldersToWatch(const QString& path) {
    QStringList folders;
    QString folder = QFileInfo(path).absolutePath();
    bool bFound = false;
    for (;;) {
        bFound = bFound || QFileInfo(folder).isDir();
        if (bFound)
            folders += folder;
        const QString above = QFileInfo(folder).absolutePath();
        if (above == folder)
            break;
        folder = above;
    }
    return folders;
}

void SheetWatcher::Arm(bool bAfresh) {
    m_path = m_pfnHostPath ? QFileInfo(m_pfnHostPath()).absoluteFilePath() : QString();
    // A rename over the file, or a delete, ends a watch on it: the name may now stand for
    // another file, so that watch is always taken up anew.
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    const QStringList folders = m_path.isEmpty() ? QStringList() : FoldersToWatch(m_path);
    if (bAfresh || m_watcher.directories() != folders) {
        if (!m_watcher.directories().isEmpty())
            m_watcher.removePaths(m_watcher.directories());
        if (!folders.isEmpty())
            m_watcher.addPaths(folders);
    }
    if (StampOf(m_path).exists)
        m_watcher.addPath(m_path);
}

void SheetWatcher::OnEvent() {
    if (!m_check.isActive())
        m_check.start(0);
}

void SheetWatcher::OnCheck() {
    // The watch is moved first, so that whatever changes after it is seen by it, and whatever
    // changed before it by the stamp.
    Arm(false);
    const Stamp stamp = StampOf(m_path);
    if (stamp == m_stamp)
        return;
    m_stamp = stamp;
    // A sheet deleted keeps its last picture until a file of that name appears; one caught
    // half-written keeps it until the writes that finish it arrive, each seen as an event.
    if (stamp.exists && m_pfnReload)
        m_pfnReload();
}
