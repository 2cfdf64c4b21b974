#include "common/paths.h"
#include "shell/start_menu.h"
#include "testlib/test_env.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

// The desktop reads Exec= as an escaped string first and as a quoted command line second, so characters that
// are special to either must survive both.
TEST(DesktopEntry, ExecQuotesThePathForBothUnescapingSteps)
{
    const QString text = DesktopEntryText("/opt/my apps/$HOME\"x\\y%z/Pictavo");
    EXPECT_TRUE(text.contains("\nExec=\"/opt/my apps/\\\\$HOME\\\\\"x\\\\\\\\y%%z/Pictavo\" %f\n")) << text.toStdString();
}

TEST(DesktopEntry, NamesTheProgramInTheGraphicsCategory)
{
    const QString text = DesktopEntryText("/tmp/Pictavo");
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    for (const char* line : {"Type=Application", "Name=Pictavo", "Categories=Graphics;", "Exec=\"/tmp/Pictavo\" %f"})
        EXPECT_TRUE(text.contains(QString("\n") + line + "\n")) << line;
}

// Links planted where the copy and its entry go are replaced; what they pointed at keeps its bytes and mode.
TEST(StartMenuCopy, PlantedLinksAreReplacedNotWrittenThrough)
{
    const QString folder = GetPaths()->StartMenuFolder("Fenwold");
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

}  // namespace
