// The kyrattack program as its own process: it starts, brings up its dialog and keeps running
// until it is told to stop.
#include "gui_support.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// The program is built beside the test, in the build tree's bin/.
QString ProgramPath() {
    return QCoreApplication::applicationDirPath() + "/kyrattack";
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
