#include "common/paths.h"

#include "common/atomic_file.h"
#include "common/desktop_opener.h"
#include "common/guarded.h"
#include "common/services.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kMakerFolder = QStringLiteral("Wendrel Enterprises/");

// An open folder, closed when the handle goes.
class TFolderHandle {
public:
    explicit TFolderHandle(int fd) : FFd(fd) {}
    ~TFolderHandle() { Reset(-1); }
    TFolderHandle(const TFolderHandle&) = delete;
    TFolderHandle& operator=(const TFolderHandle&) = delete;

    int Get() const { return FFd; }
    void Reset(int fd)
    {
        if (FFd >= 0)
            ::close(FFd);
        FFd = fd;
    }

private:
    int FFd;
};

QString AbsoluteClean(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// The names of path's folders below base (both absolute and clean); none when path is base itself.
std::optional<QStringList> NamesBelow(const QString& base, const QString& path)
{
    if (path == base)
        return QStringList();
    const QString prefix = base.endsWith('/') ? base : base + '/';
    if (!path.startsWith(prefix))
        return std::nullopt;
    return path.mid(prefix.size()).split('/', Qt::SkipEmptyParts);
}

// Opens base as it is (a link there is trusted), then makes or opens each name inside the folder before it,
// never following a link.
bool MakeNamesBelow(const QString& base, const QStringList& names)
{
    TFolderHandle folder(::open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const QString& name : names) {
        if (folder.Get() < 0 || name == "." || name == "..")
            return false;
        const QByteArray entry = QFile::encodeName(name);
        ::mkdirat(folder.Get(), entry.constData(), 0777);  // an existing entry is judged by the open below
        folder.Reset(::openat(folder.Get(), entry.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return folder.Get() >= 0;
}

// The deepest part of path that exists (following links), at worst the root.
QString ExistingAncestor(const QString& path)
{
    QString ancestor = path;
    while (!QFileInfo::exists(ancestor)) {
        const QString parent = QFileInfo(ancestor).path();
        if (parent == ancestor)
            break;
        ancestor = parent;
    }
    return ancestor;
}

std::unique_ptr<TPaths>& PathsInstance()
{
    static std::unique_ptr<TPaths> instance;
    return instance;
}

}  // namespace

std::int32_t TPaths::MaxOf(std::int32_t a, std::int32_t b) const { return std::max(a, b); }
std::int32_t TPaths::MinOf(std::int32_t a, std::int32_t b) const { return std::min(a, b); }

std::int32_t TPaths::Clamp(std::int32_t v, std::int32_t lo, std::int32_t hi) const
{
    return std::min(std::max(v, lo), hi);
}

QString TPaths::AddSlash(const QString& text) const
{
    return text.endsWith('/') ? text : text + '/';
}

QString TPaths::SpecialFolder(int id) const
{
    if (id == kProgramsFolderId)
        return AddSlash(WindowsFolder() + "applications");
    return {};
}

QString TPaths::WindowsFolder() const
{
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!dataHome.isEmpty() && QDir::isAbsolutePath(dataHome))
        return AddSlash(dataHome);
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty())
        home = QDir::homePath();
    return AddSlash(home) + ".local/share/";
}

QString TPaths::ProgramsFolder() const
{
    return SpecialFolder(kProgramsFolderId);
}

QString TPaths::StartMenuFolder(const QString& name) const
{
    const QString folder = ProgramsFolder();
    if (folder.isEmpty())
        return {};
    const QString path = folder + kMakerFolder + (name.isEmpty() ? name : AddSlash(name));
    return MakeDirPathBelow(folder, path) ? path : QString();
}

QString TPaths::MakerDataFolder() const
{
    return WindowsFolder() + kMakerFolder;
}

QString TPaths::DataFolder(const QString& name) const
{
    const QString path = MakerDataFolder() + AddSlash(name);
    // Every time, not only when missing: a folder reached through a planted link is no folder of the program's.
    MakeDirPathBelow(WindowsFolder(), path);
    return path;
}

bool TPaths::DeleteFileForced(const QString& path) const
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (path.isEmpty() || ::lstat(name.constData(), &st) != 0)
        return true;
    // Here a read-only file can be removed as it is: the folder's permission decides, so no mode is changed
    // (which, done by name, could reach through a link to the file it points at). A link goes itself.
    ::unlink(name.constData());
    return ::lstat(name.constData(), &st) != 0;
}

bool TPaths::CopyFileForced(const QString& source, const QString& target) const
{
    if (!QFileInfo(source).isFile())
        return false;
    const QString folder = QFileInfo(target).absolutePath();
    if (!DirExists(folder))
        MakeDirPath(folder);
    DeleteFileForced(target);
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    // Written beside the target and renamed over it, so a link planted at the target's name is replaced, not
    // written through, and the copy keeps the source's permissions (a program stays executable).
    TAtomicFile output(target);
    output.SetPermissions(input.permissions());
    if (!output.Open())
        return false;
    QByteArray chunk;
    while (!(chunk = input.read(1 << 20)).isEmpty())
        if (output.write(chunk) != chunk.size())
            return false;
    return input.error() == QFileDevice::NoError && output.Commit();
}

bool TPaths::OpenWithShell(const QString& target, const QString& parameters) const
{
    return GuardedOr(false, [&] {
        OpenWithDesktop(target, parameters, QFileInfo(target).absolutePath());
        return true;
    });
}

bool DirExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool MakeDirPath(const QString& path)
{
    if (path.isEmpty())
        return false;
    return GuardedOr(false, [&] {
        const QString full = AbsoluteClean(path);
        const QString base = ExistingAncestor(full);
        const std::optional<QStringList> names = NamesBelow(base, full);
        return names && MakeNamesBelow(base, *names);
    });
}

bool MakeDirPathBelow(const QString& base, const QString& path)
{
    if (base.isEmpty() || path.isEmpty())
        return false;
    return GuardedOr(false, [&] {
        const QString trusted = AbsoluteClean(base);
        const std::optional<QStringList> names = NamesBelow(trusted, AbsoluteClean(path));
        return names && MakeDirPath(trusted) && MakeNamesBelow(trusted, *names);
    });
}

bool RemoveEmptyFolder(const QString& path)
{
    const QFileInfo folder(QDir::cleanPath(path));
    // The holding folder is opened without following a link, and the folder is removed inside it, where
    // removing a link (or a file) as a folder fails.
    const QByteArray holderName = QFile::encodeName(folder.path());
    const int holder = ::open(holderName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (holder < 0)
        return false;
    const bool removed = ::unlinkat(holder, QFile::encodeName(folder.fileName()).constData(), AT_REMOVEDIR) == 0;
    ::close(holder);
    return removed;
}

TPaths& GetPaths()
{
    return CreatedOnce(PathsInstance());
}

void FreePaths()
{
    PathsInstance().reset();
}
