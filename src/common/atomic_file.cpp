#include "common/atomic_file.h"

#include "common/file_problems.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;

TAtomicFile::WriteCall& WriteOverride()
{
    static TAtomicFile::WriteCall call;
    return call;
}

long SystemWrite(int fd, const char* data, unsigned long size)
{
    if (const TAtomicFile::WriteCall& call = WriteOverride())
        return call(fd, data, size);
    return long(::write(fd, data, size));
}

// The mode the finished file gets: the old file's when it replaces one, else what the user's umask allows.
mode_t TargetMode(const QByteArray& target)
{
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

TAtomicFile::TAtomicFile(QString target) : FTarget(std::move(target)) {}

TAtomicFile::~TAtomicFile()
{
    Discard();
}

TAtomicFile::WriteCall TAtomicFile::SetWriteCall(WriteCall call)
{
    std::swap(WriteOverride(), call);
    return call;
}

bool TAtomicFile::Open()
{
    Discard();
    FError.clear();
    if (const QString problem = OutputFileProblem(FTarget); !problem.isEmpty()) {
        FError = problem;
        return false;
    }
    const QFileInfo info(FTarget);
    QByteArray pattern = QFile::encodeName(info.absolutePath() + "/." + info.fileName() + ".XXXXXX");
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return Fail(errno);
    FFd = fd;
    FTemporary = QFile::decodeName(pattern);
    ::fchmod(FFd, FMode >= 0 ? mode_t(FMode) : TargetMode(QFile::encodeName(FTarget)));
    FBuffer.reserve(kBufferBytes);
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return true;
}

qint64 TAtomicFile::writeData(const char* data, qint64 size)
{
    if (FFd < 0 || !FError.isEmpty())
        return -1;
    if (FBuffer.size() + std::size_t(size) > kBufferBytes && !FlushBuffer())
        return -1;
    FBuffer.insert(FBuffer.end(), data, data + size);
    // A large block goes straight on: the buffer only gathers the many small writes of the image and PDF writers.
    if (FBuffer.size() >= kBufferBytes && !FlushBuffer())
        return -1;
    return size;
}

bool TAtomicFile::FlushBuffer()
{
    std::size_t done = 0;
    while (done < FBuffer.size()) {
        const long n = SystemWrite(FFd, FBuffer.data() + done, FBuffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(n < 0 ? errno : ENOSPC);
        done += std::size_t(n);
    }
    FBuffer.clear();
    return true;
}

bool TAtomicFile::Commit()
{
    if (FFd < 0)
        return false;
    bool committed = FError.isEmpty() && FlushBuffer();
    // The data must be on the disk before the name points at it, or a crash could leave an empty file.
    if (committed && ::fsync(FFd) != 0 && errno != EINVAL)
        committed = Fail(errno);
    if (committed) {
        const int fd = FFd;
        FFd = -1;
        if (::close(fd) != 0)
            committed = Fail(errno);
    }
    if (committed &&
        ::rename(QFile::encodeName(FTemporary).constData(), QFile::encodeName(FTarget).constData()) != 0)
        committed = Fail(errno);
    if (committed)
        FTemporary.clear();
    Discard();
    return committed;
}

void TAtomicFile::Discard()
{
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
    if (!FTemporary.isEmpty()) {
        ::unlink(QFile::encodeName(FTemporary).constData());
        FTemporary.clear();
    }
    FBuffer.clear();
    if (isOpen())
        QIODevice::close();
}

void TAtomicFile::SetPermissions(QFileDevice::Permissions permissions)
{
    const std::pair<QFileDevice::Permission, mode_t> bits[] = {
        {QFileDevice::ReadOwner, S_IRUSR}, {QFileDevice::WriteOwner, S_IWUSR}, {QFileDevice::ExeOwner, S_IXUSR},
        {QFileDevice::ReadGroup, S_IRGRP}, {QFileDevice::WriteGroup, S_IWGRP}, {QFileDevice::ExeGroup, S_IXGRP},
        {QFileDevice::ReadOther, S_IROTH}, {QFileDevice::WriteOther, S_IWOTH}, {QFileDevice::ExeOther, S_IXOTH},
    };
    mode_t mode = 0;
    for (const auto& [permission, bit] : bits)
        if (permissions & permission)
            mode |= bit;
    FMode = int(mode);
    if (FFd >= 0)
        ::fchmod(FFd, mode);
}

bool TAtomicFile::Fail(int error)
{
    if (FError.isEmpty())
        FError = WriteErrorText(error);
    return false;
}

bool WriteFileAtomically(const QString& target, const std::function<bool(QIODevice&)>& write, QString& error)
{
    TAtomicFile file(target);
    bool written = file.Open() && write(file) && file.Commit();
    error = file.ErrorText();
    if (!written && error.isEmpty())
        error = NotWrittenText();
    return written;
}
