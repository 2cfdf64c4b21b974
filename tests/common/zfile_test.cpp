#include "common/paths.h"
#include "common/services.h"
#include "common/zfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

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
