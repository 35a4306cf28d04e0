// The programs as processes of their own: the viewer starts, brings up its dialog and keeps
// running until it is told to stop; every program answers its command line the same way.
#include "gui_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// The programs are built beside the test, in the build tree's bin/.
QString ProgramPath(const QString& name = "kyrattack") {
    return QCoreApplication::applicationDirPath() + "/" + name;
}

struct Finished {
    int status = -1;
    QString out, err;
};

Finished RunWithoutDisplay(const QString& program, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(name);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(ProgramPath(program), args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// Starts the viewer on `args` from `folder` with the platform given as the toolkit's option,
// waits until its settings name `expectedFolder`, then stops it; the lines it wrote on standard
// error about itself (the toolkit may add its own).
QString OpenAndStop(const QStringList& args, const QString& folder, const QString& expectedFolder) {
    QTemporaryDir config;
    QProcessEnvironment env = ViewerEnvironment(config.path());
    env.remove("QT_QPA_PLATFORM");
    QProcess viewer;
    viewer.setProcessEnvironment(env);
    viewer.setWorkingDirectory(folder);
    viewer.start(ProgramPath(), QStringList{"-platform", "offscreen"} + args);
    EXPECT_TRUE(viewer.waitForStarted(10000));
    QFile settings(config.path() + "/Marrowfen/kyrattack.conf");
    const QString expected = "[Prefs]\nfileName=" + expectedFolder + "\n";
    const bool saved = QTest::qWaitFor(
        [&] {
            settings.close();
            return viewer.state() != QProcess::Running ||
                   (settings.open(QIODevice::ReadOnly) && settings.readAll() == expected);
        },
        60000);
    EXPECT_TRUE(saved && viewer.state() == QProcess::Running)
        << "settings never named " << expectedFolder.toStdString() << " for "
        << args.join(' ').toStdString();
    viewer.terminate();
    viewer.waitForFinished(10000);
    const QStringList lines = QString::fromLocal8Bit(viewer.readAllStandardError()).split('\n');
    return lines.filter(QRegularExpression("^kyrattack: ")).join('\n');
}

} // namespace

TEST(Program, StartsItsDialogAndRunsUntilTerminated) {
    ASSERT_TRUE(QFileInfo(ProgramPath()).isExecutable()) << ProgramPath().toStdString();
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    QProcess program;
    // The dialog writes the folder setting as it initialises.
    const QString settings = StartViewerProcess(program, ProgramPath(), config.path());
    ASSERT_FALSE(settings.isEmpty()) << "no settings file was written";
    QTest::qWait(1000);
    ASSERT_EQ(program.state(), QProcess::Running) << "ended with " << program.exitCode() << ": "
                                                  << program.readAllStandardError().toStdString();

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(program.exitCode(), SIGTERM) << "ended by another signal";
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), "[Prefs]\nfileName=c:\\Kyr\\art\n");
}

TEST(Program, WithoutADisplaySaysSoInOneLineAndExitsWithOne) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    QProcessEnvironment env = ViewerEnvironment(config.path());
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(name);
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(ProgramPath(), {});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("display"))) << err.toStdString();
    EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
}

TEST(Program, CommandLineOpensASheetOrFolderAndAnswersHelpAndVersionWithoutADisplay) {
    for (const QString program : {"kyrattack", "sheetconv", "sheetcheck", "sheetgif"}) {
        const Finished help = RunWithoutDisplay(program, {"--help"});
        EXPECT_EQ(help.status, 0) << program.toStdString() << help.err.toStdString();
        EXPECT_TRUE(help.out.startsWith("usage: " + program + " ")) << help.out.toStdString();
        EXPECT_TRUE(help.out.contains("--version")) << help.out.toStdString();
        const Finished version = RunWithoutDisplay(program, {"--version"});
        EXPECT_EQ(version.status, 0) << program.toStdString();
        EXPECT_TRUE(version.out.startsWith(program + " " + KYR_VERSION + "\n"))
            << version.out.toStdString();
        // An unknown option is never a file or folder; after "--" it is.
        const Finished unknown = RunWithoutDisplay(program, {"--frobnicate", "x", "y", "z"});
        EXPECT_EQ(unknown.status, 2) << program.toStdString();
        EXPECT_TRUE(unknown.out.isEmpty());
        EXPECT_TRUE(unknown.err.contains("usage: " + program)) << unknown.err.toStdString();
    }
    const Finished ended = RunWithoutDisplay("sheetcheck", {"--", "--help"});
    EXPECT_EQ(ended.status, 2);
    EXPECT_TRUE(ended.err.contains("--help")) << ended.err.toStdString();
    EXPECT_TRUE(ended.out.isEmpty());

    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString art = work.path() + "/my art";
    ASSERT_TRUE(QDir().mkpath(art));
    WriteSheet((art + "/Effects05.bmp").toStdString(), 256, 160, 3);
    WriteSheet((art + "/notes.txt").toStdString(), 16, 16, 3);
    // A relative sheet path opens as its drop does, which saves its absolute folder.
    EXPECT_EQ(OpenAndStop({"my art/Effects05.bmp"}, work.path(), art), "");
    EXPECT_EQ(OpenAndStop({"--", "./my art/"}, work.path(), art), "");
    // Anything else starts the viewer on its saved folder, with one line saying why.
    const QString refused = OpenAndStop({"my art/notes.txt"}, work.path(), "c:\\Kyr\\art");
    EXPECT_TRUE(refused.startsWith("kyrattack: not opened: ") && !refused.contains('\n'))
        << refused.toStdString();
    EXPECT_TRUE(refused.contains(art + "/notes.txt")) << refused.toStdString();
}
