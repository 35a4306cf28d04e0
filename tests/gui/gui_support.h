// What the GUI tests share: a fresh settings store and art folder per test, small 8-bit BMP
// sheets of one index, a counter of file opens, and a way to run the real viewer application
// with a test body inside its modal loop.
#pragma once

#include "afxqt.h"
#include "bmp_writer.h"
#include "file_bytes.h"
#include "viewer_driver.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// Writes an 8-bit bottom-up BMP of width x height pixels, every pixel nIndex, whose colour
// table maps index i to (i, 255 - i, i / 2).
void WriteSheet(const std::string& path, int width, int height, int nIndex);

// The environment of a viewer started as a process of its own: offscreen, at scale 1, with its
// settings under configHome.
QProcessEnvironment ViewerEnvironment(const QString& configHome);
// Starts the viewer program in a process of its own, offscreen, with configHome as its
// settings folder, and waits until the dialog has written its settings file (as it does while
// it initialises) or the program ended. Returns the settings file's path, or empty when no
// file was written.
QString StartViewerProcess(QProcess& process, const QString& program, const QString& configHome);

// Counts the opens of one file through inotify, so that a test can see how often a sheet
// was read.
class OpenCounter {
public:
    explicit OpenCounter(const std::string& folder);
    ~OpenCounter();
    // Opens of that name in the folder since the last call.
    int Take(const std::string& name);

private:
    void Drain();
    int m_fd;
    std::vector<std::string> m_opened;
};

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string ConfigHome() const { return m_config.path().toStdString(); }
    std::string ArtFolder() const { return m_art.path().toStdString(); }
    std::string SettingsFile() const;
    // Writes the settings file as the program would find it on start.
    void StoreFolderSetting(const std::string& folder);
    std::string StoredFolder() const;

    // Runs the application; body runs once the viewer is shown, and the viewer is closed
    // with Escape after it unless the body closed it. Returns the application's exit code.
    int RunViewer(const std::function<void(CViewerDlg&, QWidget&)>& body);

    static QWidget* Item(CWnd& dlg, int nID);
    static std::string Text(QWidget* control);

private:
    QTemporaryDir m_config;
    QTemporaryDir m_art;
};

// Runs fn from the event loop that is running now (a modal dialog's), once it is idle.
void Later(const std::function<void()>& fn);
// Runs fn from the event loop once a window with that title is shown and is the modal one,
// the window that takes input.
void WhenModal(const QString& title, const std::function<void(QWidget&)>& fn);
