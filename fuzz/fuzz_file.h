#pragma once

// The loaders read files: each input is written to one scratch file per fuzzing process first.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <unistd.h>

inline QString WriteFuzzFile(const std::uint8_t* data, std::size_t size, const char* extension)
{
    const QString path = QDir::tempPath() + QString("/pictavo-fuzz-%1%2").arg(::getpid()).arg(extension);
    // Removed when the process ends, so replays in the test suite leave no files behind.
    static struct TScratch {
        QString Path;
        ~TScratch() { QFile::remove(Path); }
    } scratch{path};
    std::FILE* file = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (!file)
        return {};
    if (size > 0)
        std::fwrite(data, 1, size, file);
    std::fclose(file);
    return path;
}

// Pictures a fuzzer lets through: the ceiling of the program allows pictures that take seconds to fill, which
// would only slow the search down. The ceiling itself is covered by the unit tests.
inline constexpr std::int64_t kFuzzMaxPixels = 4'000'000;
