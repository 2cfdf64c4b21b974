#include "shell/start_menu.h"

#include "common/paths.h"
#include "testlib/test_env.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

// The value of key in the [Desktop Entry] group.
QString EntryValue(const QString& text, const QString& key)
{
    const QString group = text.section("\n[", 0, 0);
    for (const QString& line : group.split('\n')) {
        if (line.startsWith(key + "="))
            return line.mid(key.size() + 1);
    }
    return {};
}

QString FenwoldFolder()
{
    return GetPaths().StartMenuFolder("Fenwold");
}

// Sets XDG_DATA_DIRS for one test and puts the old value back.
class DataDirs {
public:
    explicit DataDirs(const QString& value) : FOld(qgetenv("XDG_DATA_DIRS")) { qputenv("XDG_DATA_DIRS", value.toUtf8()); }
    ~DataDirs() { qputenv("XDG_DATA_DIRS", FOld); }

private:
    QByteArray FOld;
};

}  // namespace

// The desktop reads Exec= as an escaped string first and as a quoted command line second, so characters that
// are special to either must survive both.
TEST(DesktopEntry, ExecQuotesThePathForBothUnescapingSteps)
{
    const QString text = DesktopEntryText("/opt/my apps/$HOME\"x\\y%z/Pictavo");
    EXPECT_TRUE(text.contains("\nExec=\"/opt/my apps/\\\\$HOME\\\\\"x\\\\\\\\y%%z/Pictavo\" %f\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nExec=\"/opt/my apps/\\\\$HOME\\\\\"x\\\\\\\\y%%z/Pictavo\" %f /AUTOPRINT\n"));
}

// The user's entry makes the copy a handler of the same pictures, under the same icon and menu, as an installed
// program; and the desktop's own validator accepts it.
TEST(DesktopEntry, AgreesWithTheInstalledEntryAndValidates)
{
    const QString installed = QString::fromUtf8(ReadFile(qEnvironmentVariable("PICTAVO_DESKTOP_FILE")));
    ASSERT_FALSE(installed.isEmpty());
    const QString text = DesktopEntryText("/opt/my apps/Pictavo");
    for (const char* key : {"Name", "GenericName", "MimeType", "Icon", "Categories", "Actions", "StartupWMClass"})
        EXPECT_EQ(EntryValue(text, key), EntryValue(installed, key)) << key;

    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const QString path = NewTestFolder() + "/Pictavo.desktop";
    WriteFile(path, text.toUtf8());
    QProcess process;
    process.start(validator, {path});
    ASSERT_TRUE(process.waitForFinished());
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardOutput().toStdString();
}

TEST(StartMenuCopy, CopiesTheProgramOnlyWhenItDiffers)
{
    const QString program = NewTestFolder() + "/pictavo";
    WriteFile(program, QByteArray(200000, 'a'));
    const QString target = FenwoldFolder() + "Pictavo";
    CopyProgramToStartMenu(program);
    ASSERT_EQ(ReadFile(target), ReadFile(program));
    EXPECT_EQ(EntryValue(QString::fromUtf8(ReadFile(target + ".desktop")), "Exec"),
              DesktopEntryText(target).section("\nExec=", 1).section('\n', 0, 0));
    EXPECT_TRUE(QFileInfo::exists(GetPaths().WindowsFolder() + "icons/hicolor/scalable/apps/pictavo.svg"));

    // An unchanged program is left alone: its old time stays.
    const QDateTime old = QDateTime::fromSecsSinceEpoch(946684800);
    for (const QString& path : {target, target + ".desktop"}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    CopyProgramToStartMenu(program);
    EXPECT_EQ(QFileInfo(target).lastModified(), old);
    EXPECT_EQ(QFileInfo(target + ".desktop").lastModified(), old);

    // A new program of the same size differs in its bytes only, and is copied.
    QByteArray changed(200000, 'a');
    changed[199999] = 'b';
    WriteFile(program, changed);
    CopyProgramToStartMenu(program);
    EXPECT_EQ(ReadFile(target), changed);
}

// Installed under a prefix whose data folder the desktop reads, the program is in the menu already.
TEST(StartMenuCopy, AnInstalledProgramIsNotCopied)
{
    const QString prefix = NewTestFolder() + "/usr";
    const QString program = prefix + "/bin/pictavo";
    WriteFile(program, "installed program");
    const QString entryName = QFileInfo(qEnvironmentVariable("PICTAVO_DESKTOP_FILE")).fileName();
    const QString target = FenwoldFolder() + "Pictavo";

    {
        DataDirs dirs("/nowhere:" + prefix + "/share/");
        EXPECT_FALSE(IsInstalledProgram(program)) << "without its desktop entry";
    }
    WriteFile(prefix + "/share/applications/" + entryName, "[Desktop Entry]\n");
    {
        DataDirs dirs("/usr/share");
        EXPECT_FALSE(IsInstalledProgram(program)) << "a data folder the desktop does not read";
        CopyProgramToStartMenu(program);
        EXPECT_EQ(ReadFile(target), "installed program");
    }
    QFile::remove(target);
    DataDirs dirs("/nowhere:" + prefix + "/share/");
    EXPECT_TRUE(IsInstalledProgram(program));
    CopyProgramToStartMenu(program);
    EXPECT_FALSE(QFileInfo::exists(target));
}

// Links planted where the copy and its entry go are replaced; what they pointed at keeps its bytes and mode.
TEST(StartMenuCopy, PlantedLinksAreReplacedNotWrittenThrough)
{
    const QString folder = GetPaths().StartMenuFolder("Fenwold");
    ASSERT_FALSE(folder.isEmpty());
    const QString victim = NewTestFolder() + "/victim";
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    ASSERT_TRUE(QFile::setPermissions(victim, QFile::ReadOwner));
    const QFile::Permissions mode = QFile::permissions(victim);
    QFile::remove(folder + "Pictavo");
    QFile::remove(folder + "Pictavo.desktop");
    ASSERT_TRUE(QFile::link(victim, folder + "Pictavo"));
    ASSERT_TRUE(QFile::link(victim, folder + "Pictavo.desktop"));

    CopyProgramToStartMenu();

    EXPECT_FALSE(QFileInfo(folder + "Pictavo").isSymLink());
    EXPECT_FALSE(QFileInfo(folder + "Pictavo.desktop").isSymLink());
    QFile kept(victim);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep");
    EXPECT_EQ(QFile::permissions(victim), mode);
}

