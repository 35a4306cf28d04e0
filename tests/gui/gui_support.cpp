#include "gui_support.h"

#include "viewer_app.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

QProcessEnvironment ViewerEnvironment(const QString& configHome) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_SCALE_FACTOR", "1");
    env.insert("XDG_CONFIG_HOME", configHome);
    return env;
}

QString StartViewerProcess(QProcess& process, const QString& program, const QString& configHome) {
    process.setProcessEnvironment(ViewerEnvironment(configHome));
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, {});
    if (!process.waitForStarted(10000))
        return {};
    const QString settings = configHome + "/Marrowfen/kyrattack.conf";
    const bool settled = QTest::qWaitFor(
        [&] { return QFileInfo::exists(settings) || process.state() == QProcess::NotRunning; },
        60000);
    return settled && QFileInfo::exists(settings) ? settings : QString();
}

void WriteSheet(const std::string& path, int width, int height, int nIndex) {
    BmpTable table;
    for (int i = 0; i < 256; ++i)
        table[i] = BmpColour{(BYTE)(i / 2), (BYTE)(255 - i), (BYTE)i, 0};
    const std::vector<uint8_t> pixels((size_t)width * height, (uint8_t)nIndex);
    ASSERT_TRUE(fixtures::WriteFileBytes(path.c_str(), EncodeBmp8(width, height, pixels, table)))
        << path;
}

OpenCounter::OpenCounter(const std::string& folder) {
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0)
        inotify_add_watch(m_fd, folder.c_str(), IN_OPEN);
}

OpenCounter::~OpenCounter() {
    if (m_fd >= 0)
        close(m_fd);
}

void OpenCounter::Drain() {
    alignas(inotify_event) char buf[8192];
    for (;;) {
        ssize_t n = read(m_fd, buf, sizeof(buf));
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            auto* event = reinterpret_cast<inotify_event*>(buf + at);
            if (event->len > 0 && !(event->mask & IN_ISDIR))
                m_opened.emplace_back(event->name);
            at += (ssize_t)(sizeof(inotify_event) + event->len);
        }
    }
}

int OpenCounter::Take(const std::string& name) {
    Drain();
    int count = 0;
    std::vector<std::string> rest;
    for (std::string& opened : m_opened) {
        if (opened == name)
            ++count;
        else
            rest.push_back(std::move(opened));
    }
    m_opened = std::move(rest);
    return count;
}

void GuiTest::SetUp() {
    ASSERT_TRUE(m_config.isValid());
    ASSERT_TRUE(m_art.isValid());
    setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1);
}

void GuiTest::TearDown() {
    unsetenv("XDG_CONFIG_HOME");
}

std::string GuiTest::SettingsFile() const {
    std::string exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
    return ConfigHome() + "/Marrowfen/" + exe + ".conf";
}

void GuiTest::StoreFolderSetting(const std::string& folder) {
    QDir().mkpath(QFileInfo(QString::fromStdString(SettingsFile())).path());
    QFile file(QString::fromStdString(SettingsFile()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(("[Prefs]\nfileName=" + folder + "\n").c_str());
}

// The value of the first "fileName=" line in section [Prefs], as it stands in the file.
std::string GuiTest::StoredFolder() const {
    QFile file(QString::fromStdString(SettingsFile()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    bool inPrefs = false;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith('['))
            inPrefs = line == "[Prefs]";
        else if (inPrefs && line.startsWith("fileName="))
            return line.mid(9).toStdString();
    }
    return {};
}

void Later(const std::function<void()>& fn) {
    QTimer::singleShot(0, qApp, fn);
}

void WhenModal(const QString& title, const std::function<void(QWidget&)>& fn) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, title, fn] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->windowTitle() == title && window->isVisible() &&
                QApplication::activeModalWidget() == window) {
                poll->stop();
                poll->deleteLater();
                fn(*window);
                return;
            }
        }
    });
    poll->start(10);
}

int GuiTest::RunViewer(const std::function<void(CViewerDlg&, QWidget&)>& body) {
    CViewerApp app;
    Later([&] {
        auto* dlg = static_cast<CViewerDlg*>(app.m_pMainWnd);
        ASSERT_NE(dlg, nullptr);
        QWidget* window = AfxWidgetFromHandle(dlg->GetSafeHwnd());
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        body(*dlg, *window);
        if (app.m_pMainWnd && window->isVisible())
            QTest::keyClick(window, Qt::Key_Escape);
    });
    char name[] = "kyrattack";
    char* argv[] = {name, nullptr};
    return AfxWinMain(1, argv);
}

QWidget* GuiTest::Item(CWnd& dlg, int nID) {
    CWnd* item = dlg.GetDlgItem(nID);
    return item ? AfxWidgetFromHandle(item->GetSafeHwnd()) : nullptr;
}

std::string GuiTest::Text(QWidget* control) {
    if (!control)
        return std::string();
    char text[4096];
    ::SendMessage(AfxHandleFromWidget(control), WM_GETTEXT, sizeof(text), (LPARAM)text);
    return text;
}
