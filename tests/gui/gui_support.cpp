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

namespace {

void Put16(std::vector<unsigned char>& out, unsigned v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}

void Put32(std::vector<unsigned char>& out, unsigned v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

std::vector<unsigned char> Bmp8(int width, int height,
                                const std::function<unsigned char(int, int)>& pixel,
                                const std::function<RGBQUAD(int)>& colour) {
    const int stride = (width + 3) & ~3;
    const unsigned offBits = 14 + 40 + 256 * 4;
    std::vector<unsigned char> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offBits + (unsigned)(stride * height));
    Put32(out, 0);
    Put32(out, offBits);
    Put32(out, 40);
    Put32(out, (unsigned)width);
    Put32(out, (unsigned)height);
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, 0); // BI_RGB
    Put32(out, (unsigned)(stride * height));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 256);
    Put32(out, 0);
    for (int i = 0; i < 256; ++i) {
        RGBQUAD q = colour(i);
        out.insert(out.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, 0});
    }
    // Bottom-up: the picture's last row is stored first.
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < stride; ++x)
            out.push_back(x < width ? pixel(x, y) : 0);
    return out;
}

void WriteSheet(const std::string& path, int width, int height, int nIndex) {
    std::vector<unsigned char> out = Bmp8(
        width, height, [nIndex](int, int) { return (unsigned char)nIndex; },
        [](int i) {
            return RGBQUAD{(BYTE)(i / 2), (BYTE)(255 - i), (BYTE)i, 0};
        });
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    fwrite(out.data(), 1, out.size(), file);
    fclose(file);
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
        QWidget* window = ui::WidgetFromHandle(dlg->GetSafeHwnd());
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
    return item ? ui::WidgetFromHandle(item->GetSafeHwnd()) : nullptr;
}

std::string GuiTest::Text(QWidget* control) {
    return control ? ui::ToAfx(ui::ControlText(control)).toStdString() : std::string();
}
