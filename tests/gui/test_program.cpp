// The kyrattack program as its own process: it starts, brings up its dialog and keeps running
// until it is told to stop.
#include "gui_support.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
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
    EXPECT_EQ(QSettings(settings, QSettings::IniFormat).value("Prefs/fileName").toString(),
              "c:\\Kyr\\art");
}
