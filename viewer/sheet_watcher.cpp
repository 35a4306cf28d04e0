#include "sheet_watcher.h"

#include <QFileInfo>

#include <sys/stat.h>

SheetWatcher::SheetWatcher(std::function<bool()> pfnReload, QObject* pParent)
    : QObject(pParent), m_pfnReload(std::move(pfnReload)) {
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &SheetWatcher::OnQuiet);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &SheetWatcher::OnFileChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            &SheetWatcher::OnFolderChanged);
}

void SheetWatcher::Watch(const QString& hostPath) {
    QString path = QFileInfo(hostPath).absoluteFilePath();
    if (path == m_path)
        return;
    m_quiet.stop();
    m_nRetriesLeft = 0;
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    QString folder = QFileInfo(path).absolutePath();
    if (m_watcher.directories() != QStringList{folder}) {
        if (!m_watcher.directories().isEmpty())
            m_watcher.removePaths(m_watcher.directories());
        if (QFileInfo(folder).isDir())
            m_watcher.addPath(folder);
    }
    m_path = path;
    m_stamp = CurrentStamp();
    RewatchFile();
}

SheetWatcher::Stamp SheetWatcher::CurrentStamp() const {
    Stamp stamp;
    struct stat st;
    if (m_path.isEmpty() || stat(QFile::encodeName(m_path).constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.modifiedNs = (qint64)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changedNs = (qint64)st.st_ctim.tv_sec * 1000000000 + st.st_ctim.tv_nsec;
    stamp.inode = st.st_ino;
    return stamp;
}

void SheetWatcher::RewatchFile() {
    // A rename over the file, or a delete, ends a watch on it: the name may now stand for
    // another file, so the watch is always taken up anew.
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (QFileInfo::exists(m_path))
        m_watcher.addPath(m_path);
}

void SheetWatcher::OnFileChanged() {
    m_nRetriesLeft = kRetries;
    m_quiet.start(kQuietMs);
}

void SheetWatcher::OnFolderChanged() {
    // Any file of the folder may have changed; only the watched one matters.
    if (CurrentStamp() == m_stamp)
        return;
    OnFileChanged();
}

void SheetWatcher::OnQuiet() {
    m_stamp = CurrentStamp();
    RewatchFile();
    if (m_pfnReload && m_pfnReload())
        return;
    if (m_nRetriesLeft-- > 0)
        m_quiet.start(kRetryMs);
}
