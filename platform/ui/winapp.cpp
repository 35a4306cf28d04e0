#include "resources.h"
#include "ui_internal.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

namespace {

CWinApp* g_pApp = nullptr;

// The executable's file name without folder and extension, as the framework names an
// application that was given no name.
std::string ExecutableBaseName() {
    std::string name = std::filesystem::path(AfxGetExecutablePath()).stem();
    return name.empty() ? "app" : name;
}

// Messages from the toolkit while the application object is made, as the default handler
// would print them; given on unless the toolkit gives up, which it does only when it finds no
// display to show windows on.
QStringList g_heldMessages;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        fprintf(stderr, "%s: cannot open a display; set DISPLAY or start it as xvfb-run -a %s\n",
                ExecutableBaseName().c_str(), ExecutableBaseName().c_str());
        fflush(stderr);
        std::_Exit(1);
    }
    g_heldMessages += qFormatLogMessage(type, context, text);
}

std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv) {
    QtMessageHandler previous = qInstallMessageHandler(HoldMessage);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const QString& held : std::exchange(g_heldMessages, {}))
        fprintf(stderr, "%s\n", qPrintable(held));
    // The version block's product version, as the package and the desktop's software centre
    // give it.
    const WORD* v = ResFindVersion()->productVersion;
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]));
    return application;
}

QString SettingsKey(LPCTSTR lpszSection, LPCTSTR lpszEntry) {
    return ui::FromAfx(lpszSection) + QLatin1Char('/') + ui::FromAfx(lpszEntry);
}

} // namespace

CWinApp* AfxGetApp() {
    return g_pApp;
}

void AfxEnableControlContainer() {}

CWinApp::CWinApp(LPCTSTR lpszAppName) : m_strAppName(lpszAppName ? lpszAppName : "") {
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this)
        g_pApp = nullptr;
}

void CWinApp::SetCurrentHandles() {
    if (m_strAppName.empty())
        m_strAppName = ExecutableBaseName();
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    m_nExitCode = QApplication::exec();
    return ExitInstance();
}

// The framework answers with the exit code of the message loop; an application whose
// InitInstance returned FALSE never ran that loop, so its exit code is 0.
int CWinApp::ExitInstance() {
    return m_nExitCode;
}

BOOL CWinApp::Enable3dControls() {
    return TRUE;
}

void CWinApp::SetRegistryKey(LPCTSTR lpszRegistryKey) {
    SetCurrentHandles();
    m_strRegistryKey = lpszRegistryKey ? lpszRegistryKey : "";
}

// QSettings fixes its default folders at first use; building the path here instead follows
// XDG_CONFIG_HOME as it is at each access.
std::string CWinApp::GetProfilePath() const {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        return {};
    QString path = folder + QLatin1Char('/');
    if (!m_strRegistryKey.empty())
        path += QString::fromStdString(m_strRegistryKey) + QLatin1Char('/');
    path += QString::fromStdString(m_strAppName.empty() ? "app" : m_strAppName);
    return ui::ToAfx(path + QStringLiteral(".conf")).toStdString();
}

CString CWinApp::GetProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszDefault) {
    CString strDefault(lpszDefault);
    std::string path = GetProfilePath();
    if (path.empty() || !lpszSection || !lpszEntry || !ui::IsProfileFileUsable(path))
        return strDefault;
    QSettings settings(QString::fromStdString(path), ui::ProfileFormat());
    QVariant value = settings.value(SettingsKey(lpszSection, lpszEntry));
    // Only a plain string is a value this program wrote; anything else, or a file that could
    // not be read or parsed, gives the default.
    if (settings.status() != QSettings::NoError || value.typeId() != QMetaType::QString)
        return strDefault;
    return CString(ui::ToAfx(value.toString()).toStdString());
}

// QSettings writes through a temporary file that replaces the old one, so a failed write
// leaves the previous store whole.
BOOL CWinApp::WriteProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszValue) {
    std::string path = GetProfilePath();
    if (path.empty() || !lpszSection || !ui::IsProfileFileUsable(path))
        return FALSE;
    QSettings settings(QString::fromStdString(path), ui::ProfileFormat());
    if (!lpszEntry) {
        settings.remove(ui::FromAfx(lpszSection));
    } else if (!lpszValue) {
        settings.remove(SettingsKey(lpszSection, lpszEntry));
    } else {
        // Every write rewrites the whole store and syncs it to disk; the viewer writes the
        // folder at each start, almost always unchanged, so a value already stored is left be.
        const QString key = SettingsKey(lpszSection, lpszEntry);
        const QString value = ui::FromAfx(lpszValue);
        // A line break would end the value early and start lines of its own in the file.
        if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
            return FALSE;
        const QVariant stored = settings.value(key);
        if (settings.status() == QSettings::NoError && stored.typeId() == QMetaType::QString &&
            stored.toString() == value)
            return TRUE;
        settings.setValue(key, value);
    }
    settings.sync();
    return settings.status() != QSettings::AccessError;
}

// There is no help file; the command is accepted and nothing opens.
void CWinApp::OnHelp() {}

int AfxWinMain(int argc, char** argv) {
    static int s_argc;
    s_argc = argc;
    std::unique_ptr<QApplication> application;
    if (!QCoreApplication::instance())
        application = MakeApplication(s_argc, argv);
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return -1;
    pApp->SetCurrentHandles();
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
