// The settings store behind GetProfileString and WriteProfileString, and how the viewer
// starts with a store it cannot use.
#include "gui_support.h"

#include "viewer_app.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ReadAll(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes.data(), (qint64)bytes.size());
}

class Settings : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        m_app.SetCurrentHandles();
        m_app.SetRegistryKey("Marrowfen");
    }
    CViewerApp m_app;
};

} // namespace

TEST_F(Settings, LiveUnderTheMakerKeyInSectionPrefs) {
    EXPECT_EQ(m_app.GetProfilePath(), SettingsFile());
    EXPECT_TRUE(m_app.WriteProfileString("Prefs", "fileName", "c:\\Kyr\\art"));
    std::string file = ReadAll(SettingsFile());
    EXPECT_NE(file.find("[Prefs]"), std::string::npos) << file;
    EXPECT_NE(file.find("fileName="), std::string::npos) << file;
    EXPECT_EQ(StoredFolder(), "c:\\Kyr\\art");
}

TEST_F(Settings, ValuesComeBackExactlyAsTyped) {
    const char* values[] = {"c:\\Kyr\\art",
                            "c:\\Kyr\\art\\",
                            "\\\\server\\share",
                            "a,b, c",
                            "@Variant(x)",
                            "\"quoted\"",
                            " padded ",
                            "x;y#z=1",
                            "[Prefs]",
                            "Grüße\\été",
                            ""};
    for (const char* value : values) {
        EXPECT_TRUE(m_app.WriteProfileString("Prefs", "fileName", value));
        EXPECT_STREQ(m_app.GetProfileString("Prefs", "fileName", "default"), value);
    }
}

TEST_F(Settings, MissingUnreadableOrForeignValuesGiveTheDefault) {
    EXPECT_STREQ(m_app.GetProfileString("Prefs", "fileName", "c:\\Kyr\\art"), "c:\\Kyr\\art");

    const char garbage[] = "\x01\x02\xff garbage [[[ =\n\0\0 zz";
    WriteAll(SettingsFile(), std::string(garbage, sizeof(garbage) - 1));
    EXPECT_STREQ(m_app.GetProfileString("Prefs", "fileName", "c:\\Kyr\\art"), "c:\\Kyr\\art");

    // A folder where the file should be cannot be read at all.
    QFile::remove(QString::fromStdString(SettingsFile()));
    QDir().mkpath(QString::fromStdString(SettingsFile()));
    EXPECT_STREQ(m_app.GetProfileString("Prefs", "fileName", "c:\\Kyr\\art"), "c:\\Kyr\\art");
    EXPECT_FALSE(m_app.WriteProfileString("Prefs", "fileName", "x"));
}

TEST_F(Settings, AHandWrittenFileReadsAsWrittenAndKeepsItsOtherLines) {
    WriteAll(SettingsFile(), "; kept by hand\r\n"
                             "[Other]\n"
                             "fileName=not this one\n"
                             "[Prefs]\n"
                             "# the art\n"
                             "fileName=c:\\Kyr\\art, \"old\" =x; #y \n"
                             "fileName=second\n"
                             "colour=blue\n"
                             "a line of its own\n");
    EXPECT_STREQ(m_app.GetProfileString("Prefs", "fileName", "d"), "c:\\Kyr\\art, \"old\" =x; #y ");
    EXPECT_STREQ(m_app.GetProfileString("Prefs", "colour", "d"), "blue");

    EXPECT_TRUE(m_app.WriteProfileString("Prefs", "fileName", "C:\\Users\\me\\art"));
    EXPECT_TRUE(m_app.WriteProfileString("Prefs", "size", "48"));
    EXPECT_TRUE(m_app.WriteProfileString("New", "key", "v=1"));
    EXPECT_EQ(ReadAll(SettingsFile()), "; kept by hand\r\n"
                                       "[Other]\n"
                                       "fileName=not this one\n"
                                       "[Prefs]\n"
                                       "# the art\n"
                                       "fileName=C:\\Users\\me\\art\n"
                                       "fileName=second\n"
                                       "colour=blue\n"
                                       "a line of its own\n"
                                       "size=48\n"
                                       "[New]\n"
                                       "key=v=1\n");

    // A line break cannot be stored as typed, so it is not stored at all.
    EXPECT_FALSE(m_app.WriteProfileString("Prefs", "fileName", "a\n[Other]"));
    EXPECT_STREQ(m_app.GetProfileString("Prefs", "fileName", "d"), "C:\\Users\\me\\art");
}

TEST_F(Settings, LinesOfAnyBytesAndLineEndsAreWrittenBackExactly) {
    const std::string latin1 = "; caf\xe9 au lait\r\n";
    const std::string binary("\x00\x01\xfe\xff bin=\x80\r\r\n", 14);
    const std::string tail = "note=\xe9t\xe9\r\nlast line without end";
    WriteAll(SettingsFile(), latin1 + "[Prefs]\r\nfileName=old\r\n" + binary + tail);
    EXPECT_TRUE(m_app.WriteProfileString("Prefs", "fileName", "C:\\new"));
    EXPECT_TRUE(m_app.WriteProfileString("Prefs", "extra", "1"));
    EXPECT_EQ(ReadAll(SettingsFile()),
              latin1 + "[Prefs]\r\nfileName=C:\\new\r\n" + binary + tail + "\r\nextra=1\r\n");
}

TEST_F(Settings, AFailedWriteIsReportedAndChangesNothing) {
    // The maker key is a file, so no store can be made under it.
    WriteAll(ConfigHome() + "/Marrowfen", "not a folder");
    EXPECT_FALSE(m_app.WriteProfileString("Prefs", "fileName", "x"));
    EXPECT_EQ(ReadAll(ConfigHome() + "/Marrowfen"), "not a folder");
}

TEST_F(GuiTest, ViewerStartsWithAGarbageStoreOnTheDefaultFolder) {
    WriteAll(SettingsFile(), "\xff\xfe\x00garbage");
    RunViewer(
        [&](CViewerDlg& dlg, QWidget&) { EXPECT_EQ(Text(Item(dlg, IDC_FOLDER)), "c:\\Kyr\\art"); });
}

TEST_F(GuiTest, AReadOnlyStoreIsNotAnError) {
    StoreFolderSetting(ArtFolder());
    std::string before = ReadAll(SettingsFile());
    chmod(SettingsFile().c_str(), 0444);
    chmod((ConfigHome() + "/Marrowfen").c_str(), 0555);
    int rc = RunViewer([&](CViewerDlg& dlg, QWidget& window) {
        EXPECT_EQ(Text(Item(dlg, IDC_FOLDER)), ArtFolder());
        QTest::mouseClick(Item(dlg, IDC_RELOAD), Qt::LeftButton);
        EXPECT_TRUE(window.isVisible());
    });
    EXPECT_EQ(rc, 0);
    // Permissions do not hold back the superuser; for anyone else the store is untouched.
    if (geteuid() != 0) {
        EXPECT_EQ(ReadAll(SettingsFile()), before);
    }
    chmod((ConfigHome() + "/Marrowfen").c_str(), 0755);
}

// A settings path that is not a plain file of a settings file's size, and a stored folder
// longer than the reload reads: the viewer starts, and neither start nor Reload writes.
TEST_F(GuiTest, AStoreTheViewerCannotTakeWholeIsLeftUntouched) {
    const std::string longFolder = ArtFolder() + "/" + std::string(1200, 'x');
    const struct {
        std::string bytes; // empty: a FIFO
        std::string folder;
    } stores[] = {{"", "c:\\Kyr\\art"},
                  {"[Prefs]\nfileName=/elsewhere\n;" + std::string(1 << 20, 'p'), "c:\\Kyr\\art"},
                  {"[Prefs]\nfileName=" + longFolder, longFolder}};
    for (const auto& store : stores) {
        QDir().mkpath(QString::fromStdString(ConfigHome() + "/Marrowfen"));
        QFile::remove(QString::fromStdString(SettingsFile()));
        if (store.bytes.empty())
            ASSERT_EQ(mkfifo(SettingsFile().c_str(), 0600), 0);
        else
            WriteAll(SettingsFile(), store.bytes);
        RunViewer([&](CViewerDlg& dlg, QWidget&) {
            EXPECT_EQ(Text(Item(dlg, IDC_FOLDER)), store.folder);
            QTest::mouseClick(Item(dlg, IDC_RELOAD), Qt::LeftButton);
        });
        struct stat st {};
        ASSERT_EQ(stat(SettingsFile().c_str(), &st), 0);
        if (store.bytes.empty())
            EXPECT_TRUE(S_ISFIFO(st.st_mode));
        else
            EXPECT_TRUE(ReadAll(SettingsFile()) == store.bytes) << store.bytes.substr(0, 30);
    }
}
