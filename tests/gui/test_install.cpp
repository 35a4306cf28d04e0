// The program as the package installs it: an install of the build tree into a temporary root
// must validate as a desktop program, carry one application id and one version throughout,
// and its viewer must find its sample art beside itself.
#include "gui_support.h"
#include "kyrattack16.xpm"
#include "kyrattack32.xpm"
#include "resources.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString kAppId = KYR_APP_ID;

struct Outcome {
    int status = -1;
    QString output;
};

Outcome RunProgram(const QString& program, const QStringList& args,
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(180000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, program + " did not finish: " + process.readAll()};
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

// A fresh install of the build tree, as `cmake --install` makes it for the package.
class InstalledTree : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        Outcome install =
            RunProgram(KYR_CMAKE, {"--install", KYR_BUILD_DIR, "--prefix", m_root.path()});
        ASSERT_EQ(install.status, 0) << install.output.toStdString();
    }
    QString Path(const QString& relative) const { return m_root.path() + "/" + relative; }
    QString ReadText(const QString& relative) const {
        QFile file(Path(relative));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir m_root;
};

QString VersionBlockText() {
    const VersionResource* version = ResFindVersion();
    return QString("%1.%2.%3.%4")
        .arg(version->fileVersion[0])
        .arg(version->fileVersion[1])
        .arg(version->fileVersion[2])
        .arg(version->fileVersion[3]);
}

// The icon at a size must be its hand-drawn picture enlarged by a whole factor: every pixel
// is its source pixel.
void ExpectWholeEnlargement(const QImage& icon, const QImage& source, int size) {
    ASSERT_EQ(size % source.width(), 0) << size;
    const int f = size / source.width();
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            ASSERT_EQ(icon.pixel(x, y), source.pixel(x / f, y / f))
                << size << " px at " << x << "," << y;
}

// The options a program's --help lists: the first word of each line that starts with a dash
// after the indent.
QStringList OptionsInHelp(const QString& help) {
    QStringList options;
    for (const QString& line : help.split('\n'))
        if (line.startsWith("  -"))
            options += line.trimmed().section(' ', 0, 0);
    return options;
}

} // namespace

// Every program has a manual page that renders without a warning and explains every option
// its --help lists (in the page's source, a dash is written "\-").
TEST_F(InstalledTree, ManualPagesRenderAndKeepInStepWithHelp) {
    for (const QString program : {"kyrattack", "sheetconv", "sheetcheck", "sheetgif"}) {
        const QString page = Path("share/man/man1/" + program + ".1.gz");
        const Outcome source = RunProgram("gzip", {"-dc", page});
        ASSERT_EQ(source.status, 0) << source.output.toStdString();
        const Outcome render = RunProgram(
            "sh", {"-c", "gzip -dc \"$0\" | LC_ALL=C.UTF-8 groff -man -ww -z 2>&1", page});
        EXPECT_EQ(render.status, 0);
        EXPECT_EQ(render.output, "") << program.toStdString();
        const Outcome help = RunProgram(Path("bin/" + program), {"--help"});
        ASSERT_EQ(help.status, 0) << help.output.toStdString();
        const QStringList options = OptionsInHelp(help.output);
        EXPECT_GE(options.size(), 3) << help.output.toStdString();
        for (QString option : options) {
            const QString escaped = QRegularExpression::escape(option.replace('-', "\\-"));
            const QRegularExpression entry("^\\.BI? " + escaped + "( |$)",
                                           QRegularExpression::MultilineOption);
            EXPECT_TRUE(source.output.contains(entry))
                << program.toStdString() << ": " << option.toStdString();
        }
    }
}

TEST_F(InstalledTree, IsADesktopProgramUnderOneIdAndOneVersion) {
    const QStringList programs = {"kyrattack", "sheetconv", "sheetcheck", "sheetgif"};
    for (const QString& program : programs)
        EXPECT_TRUE(QFileInfo(Path("bin/" + program)).isExecutable()) << program.toStdString();

    const QString desktop = "share/applications/" + kAppId + ".desktop";
    const QString metainfo = "share/metainfo/" + kAppId + ".metainfo.xml";
    Outcome desktopCheck = RunProgram("desktop-file-validate", {Path(desktop)});
    EXPECT_EQ(desktopCheck.status, 0) << desktopCheck.output.toStdString();
    Outcome metainfoCheck =
        RunProgram("appstreamcli", {"validate", "--no-net", "--no-color", Path(metainfo)});
    EXPECT_EQ(metainfoCheck.status, 0) << metainfoCheck.output.toStdString();

    // The entry starts the installed program under its own icon, with the file chosen under
    // "Open with" (offered for BMP files, never made their default); the description names
    // both.
    QSettings entry(Path(desktop), QSettings::IniFormat);
    const QStringList entryLines = ReadText(desktop).split('\n');
    EXPECT_TRUE(entryLines.contains("Exec=kyrattack %f")) << entryLines.join('\n').toStdString();
    EXPECT_TRUE(entryLines.contains("MimeType=image/bmp;"));
    EXPECT_EQ(entry.value("Desktop Entry/Icon").toString(), kAppId);
    const QString description = ReadText(metainfo);
    EXPECT_TRUE(description.contains("<id>" + kAppId + "</id>")) << description.toStdString();
    EXPECT_TRUE(description.contains(">" + kAppId + ".desktop</launchable>"));

    // One version: the version block's, in the description's release and the package's.
    EXPECT_EQ(VersionBlockText(), KYR_VERSION);
    EXPECT_TRUE(description.contains("<release version=\"" + VersionBlockText() + "\""))
        << description.toStdString();

    const QImage small = QImage(kyrattack16_xpm).convertToFormat(QImage::Format_ARGB32);
    const QImage large = QImage(kyrattack32_xpm).convertToFormat(QImage::Format_ARGB32);
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString icon = QString("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId);
        QImage image(Path(icon));
        ASSERT_EQ(image.size(), QSize(size, size)) << icon.toStdString();
        ExpectWholeEnlargement(image.convertToFormat(QImage::Format_ARGB32),
                               size == 16 || size == 48 ? small : large, size);
    }
    QDirIterator files(m_root.path(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        EXPECT_FALSE(file.endsWith(".xpm") || file.endsWith("mimeapps.list")) << file.toStdString();
    }
}

// The installed programs find the data folder from where they lie: bin/../share/kyrattack.
TEST_F(InstalledTree, ViewerStartsOnItsSampleArt) {
    Outcome check = RunProgram(Path("bin/sheetcheck"), {"c:\\Kyr\\art"});
    EXPECT_EQ(check.status, 0) << check.output.toStdString();
    EXPECT_TRUE(QFileInfo(Path("share/kyrattack/drive_c/Kyr/art/attack00.bmp")).isFile());

    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    QProcess viewer;
    const QString settings = StartViewerProcess(viewer, Path("bin/kyrattack"), config.path());
    ASSERT_FALSE(settings.isEmpty()) << "the installed viewer did not start";
    QTest::qWait(1000);
    EXPECT_EQ(viewer.state(), QProcess::Running);
    viewer.terminate();
    ASSERT_TRUE(viewer.waitForFinished(10000));
}
