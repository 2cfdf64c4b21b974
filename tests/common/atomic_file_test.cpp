// Files written whole or not at all, and the reasons a file cannot be read or written, in a person's words.
#include "common/atomic_file.h"
#include "common/file_problems.h"
#include "testlib/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsRoot()
{
    return ::geteuid() == 0;
}

// Makes the disk fill up after a number of bytes, the way a full disk answers write(2).
class TDiskFillsAfter {
public:
    explicit TDiskFillsAfter(long room)
    {
        FPrevious = TAtomicFile::SetWriteCall(
            [room, written = 0L](int fd, const char* data, unsigned long size) mutable {
                if (written + long(size) > room) {
                    errno = ENOSPC;
                    return -1L;
                }
                written += long(size);
                return long(::write(fd, data, size));
            });
    }
    ~TDiskFillsAfter() { TAtomicFile::SetWriteCall(FPrevious); }

private:
    TAtomicFile::WriteCall FPrevious;
};

}  // namespace

TEST(AtomicFile, AFailedWriteLeavesTheOldFileAndNoLitter)
{
    const QString folder = NewTestFolder();
    const QString target = folder + "/page.png";
    WriteFile(target, "the user's earlier page");
    {
        TDiskFillsAfter full(1000);
        QString error;
        EXPECT_FALSE(WriteFileAtomically(
            target, [](QIODevice& out) { return out.write(QByteArray(200'000, 'x')) == 200'000; }, error));
        EXPECT_EQ(error, "Out of disk space");
    }
    EXPECT_EQ(ReadFile(target), "the user's earlier page");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"page.png"});

    QString error;
    ASSERT_TRUE(WriteFileAtomically(target, [](QIODevice& out) { return out.write("new") == 3; }, error));
    EXPECT_EQ(ReadFile(target), "new");
}

TEST(AtomicFile, ALinkAtTheTargetIsReplacedNotWrittenThrough)
{
    const QString folder = NewTestFolder();
    const QString elsewhere = folder + "/elsewhere";
    WriteFile(elsewhere, "untouched");
    ASSERT_TRUE(QFile::link(elsewhere, folder + "/entry.desktop"));
    QString error;
    ASSERT_TRUE(WriteFileAtomically(folder + "/entry.desktop", [](QIODevice& out) { return out.write("x") == 1; },
                                    error));
    EXPECT_FALSE(QFileInfo(folder + "/entry.desktop").isSymLink());
    EXPECT_EQ(ReadFile(elsewhere), "untouched");
}

TEST(AtomicFile, AReadOnlyFolderIsRefusedAndKeepsItsFile)
{
    if (IsRoot())
        GTEST_SKIP() << "root writes into read-only folders";
    const QString folder = NewTestFolder();
    WriteFile(folder + "/page.pdf", "old");
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    QString error;
    EXPECT_FALSE(WriteFileAtomically(folder + "/page.pdf", [](QIODevice& out) { return out.write("x") == 1; }, error));
    EXPECT_EQ(error, "The folder is not writable");
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(ReadFile(folder + "/page.pdf"), "old");
}

TEST(FileProblems, EachKindOfObjectHasItsOwnReason)
{
    const QString folder = NewTestFolder();
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder + "/pipe").constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(folder + "/gone", folder + "/dangling"));
    WriteFile(folder + "/photo.jpg", "x");

    EXPECT_EQ(InputFileProblem(folder + "/photo.jpg"), "");
    EXPECT_EQ(InputFileProblem(folder + "/none.jpg"), "File not found");
    EXPECT_EQ(InputFileProblem(folder + "/dangling"), "The link points to a file that does not exist");
    EXPECT_EQ(InputFileProblem(folder), "This is a folder, not a picture file");
    EXPECT_EQ(InputFileProblem(folder + "/pipe"), "This is a pipe (FIFO), not a picture file");
    EXPECT_EQ(InputFileProblem("/dev/null"), "This is a device, not a picture file");

    EXPECT_EQ(OutputFileProblem(folder + "/page.pdf"), "");
    EXPECT_EQ(OutputFileProblem(folder + "/dangling"), "");  // the link itself is replaced
    EXPECT_EQ(OutputFileProblem(folder), "This is a folder, not a file");
    EXPECT_EQ(OutputFileProblem(folder + "/pipe"), "This is a pipe (FIFO), not a file");
    EXPECT_EQ(OutputFileProblem("/dev/full"), "This is a device, not a file");
    EXPECT_EQ(OutputFileProblem(folder + "/missing/page.pdf"), "The folder does not exist");

    if (!IsRoot()) {
        ASSERT_TRUE(QFile::setPermissions(folder + "/photo.jpg", QFile::WriteOwner));
        EXPECT_EQ(InputFileProblem(folder + "/photo.jpg"), "You are not allowed to read this file");
    }
}
