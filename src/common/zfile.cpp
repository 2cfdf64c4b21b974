#include "common/zfile.h"

#include "common/guarded.h"
#include "common/paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>
#include <optional>

#include <sys/stat.h>

namespace {

// 0.00578 days: a temporary file this far from now (either way) is no longer in use.
constexpr qint64 kStaleMs = 499392;
constexpr int kMaxDeletedPerSweep = 4;

std::unique_ptr<TZFile>& ZFileInstance()
{
    static std::unique_ptr<TZFile> instance;
    return instance;
}

// File times are kept to the even second, as the shared temporary folder's other users see them.
QDateTime EvenSecond(const QDateTime& time)
{
    const qint64 seconds = time.toSecsSinceEpoch();
    return QDateTime::fromSecsSinceEpoch(seconds - (seconds % 2 + 2) % 2);
}

// When the entry itself was last written, a link judged as a link and not by what it points at; none for a
// folder or anything else the sweep leaves alone.
std::optional<QDateTime> OwnWriteTime(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
}

// True when no link leads from base to folder, so what is removed in folder is removed where it appears to be.
bool NoLinkBelow(const QString& base, const QString& folder)
{
    const QString real = QFileInfo(base).canonicalFilePath();
    return !real.isEmpty() &&
           QFileInfo(folder).canonicalFilePath() == QDir::cleanPath(real + '/' + QDir(base).relativeFilePath(folder));
}

}  // namespace

TZFile::~TZFile()
{
    SweepTempFiles();
}

void TZFile::SweepTempFiles() const
{
    Guarded([&] {
        TPaths& paths = GetPaths();
        const QString folder = paths.DataFolder(QString()) + "TEMP/";
        if (!DirExists(folder) || !NoLinkBelow(paths.WindowsFolder(), folder))
            return;
        const QDateTime now = QDateTime::currentDateTime();
        const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.ZMP")},
                                                               QDir::AllEntries | QDir::Hidden | QDir::System,
                                                               QDir::Unsorted);
        int deleted = 0;
        for (const QFileInfo& file : files) {
            const std::optional<QDateTime> written = OwnWriteTime(file.absoluteFilePath());
            if (!written || qAbs(EvenSecond(*written).msecsTo(now)) < kStaleMs)
                continue;
            // A link goes itself; what it points at is never touched.
            paths.DeleteFileForced(file.absoluteFilePath());
            if (++deleted == kMaxDeletedPerSweep)
                break;
        }
    });
}

TZFile* GetZFile()
{
    auto& instance = ZFileInstance();
    if (!instance)
        Guarded([&] { instance = std::make_unique<TZFile>(); });
    return instance.get();
}

void FreeZFile()
{
    ZFileInstance().reset();
}
