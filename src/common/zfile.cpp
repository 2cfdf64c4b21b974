#include "common/zfile.h"

#include "common/guarded.h"
#include "common/paths.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <memory>

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
        if (!DirExists(folder))
            return;
        const QDateTime now = QDateTime::currentDateTime();
        const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.ZMP")},
                                                               QDir::Files | QDir::Hidden | QDir::System,
                                                               QDir::Unsorted);
        int deleted = 0;
        for (const QFileInfo& file : files) {
            const QDateTime written = EvenSecond(file.lastModified());
            if (qAbs(written.msecsTo(now)) < kStaleMs)
                continue;
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
