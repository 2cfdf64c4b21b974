#include "common/paths.h"
#include "common/services.h"
#include "common/zfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

QString TempFolder()
{
    return GetPaths().DataFolder("") + "TEMP/";
}

void MakeTempFile(const QString& name, qint64 secondsAgo)
{
    QDir().mkpath(TempFolder());
    QFile file(TempFolder() + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("z");
    file.flush();  // a later flush would stamp the file with the present time
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo), QFileDevice::FileModificationTime));
}

int CountTempFiles()
{
    return int(QDir(TempFolder()).entryList({"*.ZMP"}, QDir::Files).size());
}

class Sweep : public testing::Test {
protected:
    void SetUp() override { QDir(TempFolder()).removeRecursively(); }
    void TearDown() override { QDir(TempFolder()).removeRecursively(); }
};

TEST_F(Sweep, KeepsRecentFilesAndDeletesOldOnes)
{
    MakeTempFile("recent.ZMP", 5 * 60);
    MakeTempFile("old.ZMP", 9 * 60);
    MakeTempFile("future.ZMP", -5 * 60);
    MakeTempFile("far-future.ZMP", -9 * 60);
    MakeTempFile("other.tmp", 60 * 60);
    TZFile().SweepTempFiles();
    EXPECT_TRUE(QFileInfo::exists(TempFolder() + "recent.ZMP"));
    EXPECT_TRUE(QFileInfo::exists(TempFolder() + "future.ZMP"));
    EXPECT_FALSE(QFileInfo::exists(TempFolder() + "old.ZMP"));
    EXPECT_FALSE(QFileInfo::exists(TempFolder() + "far-future.ZMP"));
    EXPECT_TRUE(QFileInfo::exists(TempFolder() + "other.tmp"));
}

TEST_F(Sweep, DeletesFourPerSweepAndTheDestructorSweepsAgain)
{
    for (int i = 0; i < 6; ++i)
        MakeTempFile(QString("old%1.ZMP").arg(i), 3600);
    {
        TZFile zfile;
        zfile.SweepTempFiles();
        EXPECT_EQ(CountTempFiles(), 2);
    }
    EXPECT_EQ(CountTempFiles(), 0);
}

TEST_F(Sweep, ReadOnlyFilesGoToo)
{
    MakeTempFile("locked.ZMP", 3600);
    QFile::setPermissions(TempFolder() + "locked.ZMP", QFile::ReadOwner);
    TZFile().SweepTempFiles();
    EXPECT_EQ(CountTempFiles(), 0);
}

TEST_F(Sweep, LinksAreJudgedAndRemovedThemselves)
{
    // Outside the temporary folder: an old file and a recent one, each behind a link of the program's name.
    const QString outside = GetPaths().DataFolder("") + "outside-";
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QString& name : {QString("old"), QString("new")}) {
        QFile file(outside + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
        file.flush();
        if (name == "old") {
            ASSERT_TRUE(file.setFileTime(hourAgo, QFileDevice::FileModificationTime));
        }
    }
    QDir().mkpath(TempFolder());
    ASSERT_TRUE(QFile::link(outside + "old", TempFolder() + "fresh-link.ZMP"));
    ASSERT_TRUE(QFile::link(outside + "new", TempFolder() + "stale-link.ZMP"));
    const timespec times[2] = {{hourAgo.toSecsSinceEpoch(), 0}, {hourAgo.toSecsSinceEpoch(), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(TempFolder() + "stale-link.ZMP").constData(), times,
                          AT_SYMLINK_NOFOLLOW), 0);

    TZFile().SweepTempFiles();
    EXPECT_TRUE(QFileInfo(TempFolder() + "fresh-link.ZMP").isSymLink());
    EXPECT_FALSE(QFileInfo(TempFolder() + "stale-link.ZMP").isSymLink());
    for (const QString& name : {QString("old"), QString("new")}) {
        QFile file(outside + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "keep");
        file.close();
        file.remove();
    }

    // A temporary folder that is itself a link is not swept at all.
    ASSERT_TRUE(QDir(TempFolder()).removeRecursively());
    const QString elsewhere = GetPaths().DataFolder("") + "elsewhere/";
    MakeTempFile("old.ZMP", 3600);
    ASSERT_TRUE(QDir().rename(TempFolder(), elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, TempFolder().chopped(1)));
    TZFile().SweepTempFiles();
    EXPECT_TRUE(QFileInfo::exists(elsewhere + "old.ZMP"));
    ASSERT_TRUE(QFile::remove(TempFolder().chopped(1)));
    QDir(elsewhere).removeRecursively();
}

TEST_F(Sweep, NothingHappensWithoutTheFolder)
{
    TZFile().SweepTempFiles();
    EXPECT_FALSE(DirExists(TempFolder()));
}

TEST_F(Sweep, ProgramEndSweepsTwiceAndRemovesTheLeftoverBitmap)
{
    for (int i = 0; i < 9; ++i)
        MakeTempFile(QString("old%1.ZMP").arg(i), 3600);
    const QString leftover = GetPaths().DataFolder("Settings") + "TPictavo.BMP";
    QFile file(leftover);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    FinalizeServices();
    EXPECT_EQ(CountTempFiles(), 1);  // up to eight go per program end
    EXPECT_FALSE(QFileInfo::exists(leftover));
}

}  // namespace
