// Watches the sheet file on show so that the viewer re-reads it the moment the artist saves
// it. The file's folder is watched too: editors often save to a new file and rename it over
// the old one, which ends a watch on the file itself, and a file that appears after having
// been missing is only seen there.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class SheetWatcher : public QObject {
    Q_OBJECT
public:
    // Quiet time gathered before reading: saves arrive as bursts of events.
    static constexpr int kQuietMs = 150;
    // A read that fails (the file still being written) is tried again this often.
    static constexpr int kRetryMs = 200;
    static constexpr int kRetries = 4;

    // pfnReload re-reads the file and returns whether the read succeeded.
    explicit SheetWatcher(std::function<bool()> pfnReload, QObject* pParent = nullptr);

    // Watches hostPath (a path of the host's file system) from now on, instead of any other.
    void Watch(const QString& hostPath);
    const QString& WatchedPath() const { return m_path; }

private:
    struct Stamp {
        bool exists = false;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        quint64 inode = 0;
        bool operator==(const Stamp&) const = default;
    };

    Stamp CurrentStamp() const;
    void RewatchFile();
    void OnFileChanged();
    void OnFolderChanged();
    void OnQuiet();

    std::function<bool()> m_pfnReload;
    QFileSystemWatcher m_watcher;
    QTimer m_quiet;
    QString m_path;
    Stamp m_stamp;
    int m_nRetriesLeft = 0;
};
