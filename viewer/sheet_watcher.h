// Watches the sheet file on show so that the viewer re-reads it the moment the artist saves
// it. The file's folder is watched too, with every folder above it: editors often save to a
// new file and rename it over the old one, which ends a watch on the file itself; a file that
// appears after having been missing is only seen in its folder; and a folder deleted, renamed
// away or not made yet is only seen in the folders above it.
#pragma once

#include "sheet_complete.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class SheetWatcher : public QObject {
    Q_OBJECT
public:
    // pfnHostPath names the sheet as a path of the host's file system, found anew each time
    // it is called (a folder made again may hold the name in another case); pfnReload re-reads
    // it for the picture on show and tells whether the file was whole.
    SheetWatcher(std::function<QString()> pfnHostPath, std::function<SheetLoad()> pfnReload,
                 QObject* pParent = nullptr);

    // Arms the watch afresh for the sheet as pfnHostPath names it now, whatever was watched
    // before, and takes the file as it stands for the picture already on show.
    void Watch();

private:
    struct Stamp {
        bool exists = false;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        quint64 inode = 0;
        bool operator==(const Stamp&) const = default;
    };

    static Stamp StampOf(const QString& path);
    // The folders to watch: the nearest one of the sheet's that exists, and each above it.
    static QStringList FoldersToWatch(const QString& path);
    void Arm(bool bAfresh);
    void OnEvent();
    void OnCheck();

    std::function<QString()> m_pfnHostPath;
    std::function<SheetLoad()> m_pfnReload;
    QFileSystemWatcher m_watcher;
    // Gathers the events of one save that arrive together into one check.
    QTimer m_check;
    QString m_path;
    // The file as last read, or as last found incomplete: only a change is read again.
    Stamp m_stamp;
};
