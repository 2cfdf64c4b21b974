#include "common/desktop_opener.h"
#include "common/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "testlib/scoped_hook.h"
#include "testlib/test_env.h"

namespace {

TEST(PathsArithmetic, ClampAppliesLowFirst)
{
    TPaths p;
    EXPECT_EQ(p.Clamp(5, 10, 1), 1);
    EXPECT_EQ(p.Clamp(-3, 0, 2), 0);
    EXPECT_EQ(p.Clamp(7, 0, 9), 7);
    EXPECT_EQ(p.MaxOf(INT32_MIN, -1), -1);
    EXPECT_EQ(p.MinOf(INT32_MAX, 3), 3);
}

TEST(PathsFolders, AddSlash)
{
    TPaths p;
    EXPECT_EQ(p.AddSlash("/data"), "/data/");
    EXPECT_EQ(p.AddSlash("/data/"), "/data/");
    EXPECT_EQ(p.AddSlash(""), "/");
}

TEST(PathsFolders, DataHomeFollowsXdgWhenAbsolute)
{
    TPaths p;
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "relative/share");
    EXPECT_EQ(p.WindowsFolder(), TestHome() + "/.local/share/");
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(p.WindowsFolder(), TestHome() + "/.local/share/");
    qputenv("XDG_DATA_HOME", "/somewhere/else");
    EXPECT_EQ(p.WindowsFolder(), "/somewhere/else/");
    qputenv("XDG_DATA_HOME", saved);
    EXPECT_EQ(p.ProgramsFolder(), QString::fromUtf8(saved) + "/applications/");
    EXPECT_EQ(p.SpecialFolder(99), "");
}

TEST(PathsFolders, DataAndStartMenuFoldersAreCreated)
{
    TPaths p;
    const QString settings = p.DataFolder("Settings");
    EXPECT_EQ(settings, p.WindowsFolder() + "Wendrel Enterprises/Settings/");
    EXPECT_TRUE(DirExists(settings));
    const QString start = p.StartMenuFolder("Fenwold");
    EXPECT_EQ(start, p.ProgramsFolder() + "Wendrel Enterprises/Fenwold/");
    EXPECT_TRUE(DirExists(start));
    // The temporary folder's parent: the maker's folder followed by a doubled separator.
    EXPECT_TRUE(p.DataFolder("").endsWith("Wendrel Enterprises//"));
}

TEST(PathsFolders, StartMenuFolderIsEmptyWhenItCannotBeMade)
{
    TPaths p;
    const QString blocker = p.ProgramsFolder() + "Wendrel Enterprises/Blocked";
    QDir().mkpath(p.ProgramsFolder() + "Wendrel Enterprises");
    WriteFile(blocker, "a file where a folder should be");
    EXPECT_EQ(p.StartMenuFolder("Blocked"), "");
    EXPECT_FALSE(DirExists(blocker));
}

TEST(PathsFolders, MakeDirPathCreatesParents)
{
    const QString base = NewTestFolder();
    EXPECT_TRUE(MakeDirPath(base + "/a/b/c/"));
    EXPECT_TRUE(DirExists(base + "/a/b/c"));
    EXPECT_FALSE(MakeDirPath(""));
    EXPECT_FALSE(DirExists(""));
    EXPECT_FALSE(DirExists(base + "/missing"));
}

TEST(PathsFolders, NoFolderIsMadeThroughALinkBelowTheBase)
{
    const QString base = NewTestFolder();
    const QString outside = NewTestFolder();
    ASSERT_TRUE(QFile::link(outside, base + "/maker"));
    WriteFile(base + "/file", "a file where a folder should be");

    // A planted link or a file on the way fails the whole, and nothing appears where the link points.
    EXPECT_FALSE(MakeDirPathBelow(base, base + "/maker/Settings/"));
    EXPECT_FALSE(MakeDirPathBelow(base, base + "/maker"));
    EXPECT_FALSE(MakeDirPathBelow(base, base + "/file/Settings"));
    EXPECT_FALSE(MakeDirPathBelow(base, outside + "/Settings"));
    EXPECT_TRUE(QDir(outside).isEmpty());

    // The base itself may be a link (a data home kept elsewhere); below it real folders are made and reused.
    ASSERT_TRUE(QFile::link(outside, base + "/home"));
    EXPECT_TRUE(MakeDirPathBelow(base + "/home", base + "/home/own//Settings/"));
    EXPECT_TRUE(MakeDirPathBelow(base + "/home", base + "/home/own/Settings"));
    EXPECT_TRUE(DirExists(outside + "/own/Settings"));

    // The program's data folder under a data home whose maker folder is a planted link.
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(base));
    ASSERT_TRUE(QDir().rename(base + "/maker", base + "/Wendrel Enterprises"));
    TPaths p;
    EXPECT_EQ(p.DataFolder("Help"), base + "/Wendrel Enterprises/Help/");
    EXPECT_FALSE(QFileInfo::exists(outside + "/Help"));
    qputenv("XDG_DATA_HOME", saved);
}

TEST(PathsFiles, DeleteFileForcedRemovesReadOnlyFiles)
{
    TPaths p;
    const QString file = NewTestFolder() + "/locked.txt";
    WriteFile(file, "x");
    QFile::setPermissions(file, QFile::ReadOwner);
    EXPECT_TRUE(p.DeleteFileForced(file));
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_TRUE(p.DeleteFileForced(file));  // already gone
}

TEST(PathsFiles, DeleteFileForcedFailsOnAFolder)
{
    TPaths p;
    const QString folder = NewTestFolder();
    EXPECT_FALSE(p.DeleteFileForced(folder));
    EXPECT_TRUE(DirExists(folder));
}

TEST(PathsFiles, CopyFileForcedCreatesTheTargetFolderAndReplaces)
{
    TPaths p;
    const QString base = NewTestFolder();
    WriteFile(base + "/source.bin", "new content");
    const QString target = base + "/not/yet/there/target.bin";
    EXPECT_TRUE(p.CopyFileForced(base + "/source.bin", target));
    QFile copy(target);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), "new content");
    copy.close();

    WriteFile(base + "/source.bin", "newer");
    QFile::setPermissions(target, QFile::ReadOwner);
    EXPECT_TRUE(p.CopyFileForced(base + "/source.bin", target));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), "newer");

    EXPECT_FALSE(p.CopyFileForced(base + "/missing", base + "/x"));
    EXPECT_FALSE(QFileInfo::exists(base + "/x"));
}

TEST(PathsFiles, LinksAreRemovedOrReplacedNeverFollowed)
{
    TPaths p;
    const QString folder = NewTestFolder();
    const QString victim = folder + "/victim";
    WriteFile(victim, "keep");
    ASSERT_TRUE(QFile::setPermissions(victim, QFile::ReadOwner));
    const QFile::Permissions before = QFile::permissions(victim);

    // A planted link: the forced delete takes the link and leaves its target's mode alone.
    ASSERT_TRUE(QFile::link(victim, folder + "/planted"));
    EXPECT_TRUE(p.DeleteFileForced(folder + "/planted"));
    EXPECT_FALSE(QFileInfo(folder + "/planted").isSymLink());
    EXPECT_EQ(QFile::permissions(victim), before);

    // A copy onto a link replaces the link; the file it pointed at keeps its bytes.
    const QString source = folder + "/source";
    WriteFile(source, "new");
    ASSERT_TRUE(QFile::link(victim, folder + "/target"));
    EXPECT_TRUE(p.CopyFileForced(source, folder + "/target"));
    EXPECT_FALSE(QFileInfo(folder + "/target").isSymLink());
    QFile kept(victim);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep");
    EXPECT_EQ(QFile::permissions(victim), before);
}

TEST(PathsShell, OpensWithTheFolderOfTheTarget)
{
    QString target, parameters, folder;
    const ScopedHook opener(SetDesktopOpener, [&](const QString& t, const QString& p, const QString& f) {
        target = t;
        parameters = p;
        folder = f;
    });
    TPaths p;
    EXPECT_TRUE(p.OpenWithShell("/opt/pictavo/help/index.html", ""));
    EXPECT_EQ(target, "/opt/pictavo/help/index.html");
    EXPECT_EQ(folder, "/opt/pictavo/help");
    SetDesktopOpener([](const QString&, const QString&, const QString&) { throw std::runtime_error("no shell"); });
    EXPECT_FALSE(p.OpenWithShell("https://example.org/", ""));
}

TEST(PathsGlobal, AccessorCreatesAfresh)
{
    const TPaths* first = &GetPaths();
    EXPECT_EQ(&GetPaths(), first);
    FreePaths();
    EXPECT_FALSE(GetPaths().DataFolder("Settings").isEmpty());
}

}  // namespace
