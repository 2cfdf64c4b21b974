#include "common/file_problems.h"

#include "common/failure_texts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The kind of a file system object that is not a regular file, or empty for one that is.
QString KindProblem(mode_t mode, const char* role)
{
    const QString what = QString::fromLatin1(role);
    if (S_ISDIR(mode))
        return "This is a folder, not " + what;
    if (S_ISFIFO(mode))
        return "This is a pipe (FIFO), not " + what;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "This is a device, not " + what;
    if (!S_ISREG(mode))
        return "This is not an ordinary file";
    return {};
}

}  // namespace

QString InputFileProblem(const QString& path)
{
    if (path.isEmpty())
        return kFileNotFound;
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        const int error = errno;
        struct stat link {};
        if (::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            return "The link points to a file that does not exist";
        if (error == EACCES)
            return "You are not allowed to open this file's folder";
        return kFileNotFound;
    }
    if (const QString kind = KindProblem(st.st_mode, "a picture file"); !kind.isEmpty())
        return kind;
    if (::access(name.constData(), R_OK) != 0)
        return "You are not allowed to read this file";
    return {};
}

QString OutputFileProblem(const QString& path)
{
    if (path.isEmpty())
        return kFileNotFound;
    const QFileInfo info(path);
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    // A link is replaced, never followed: where it points does not matter.
    if (::lstat(name.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        if (const QString kind = KindProblem(st.st_mode, "a file"); !kind.isEmpty())
            return kind;
        if (::access(name.constData(), W_OK) != 0)
            return "The file is read-only";
    }
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    struct stat dir {};
    if (::stat(folder.constData(), &dir) != 0 || !S_ISDIR(dir.st_mode))
        return "The folder does not exist";
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return "The folder is not writable";
    return {};
}

QString WriteErrorText(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return kOutOfDiskSpace;
    case EFBIG:
        return "The file is larger than this disk or account allows";
    case EACCES:
    case EPERM:
        return "The folder is not writable";
    case EROFS:
        return "The disk is read-only";
    case ENOENT:
    case ENOTDIR:
        return "The folder does not exist";
    case EISDIR:
        return "This is a folder, not a file";
    case EIO:
        return "The disk reported an error";
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString NotWrittenText()
{
    return QStringLiteral("The file could not be written");
}

QString FileMessage(const QString& path, const QString& reason)
{
    return QDir::toNativeSeparators(path) + ": " + reason;
}
