#include "formats/photo_containers.h"

#include <QIODevice>
#include <QtEndian>

namespace {

// EXIF blocks are small (a JPEG holds one in 64 KiB); anything far larger is no real block.
constexpr qint64 kMaxExifBytes = 1 << 20;
constexpr double kInchesPerMetre = 39.37007874015748;

// Reads exactly n bytes at the device's position; empty when the file ends first.
QByteArray ReadExactly(QIODevice& file, qint64 n)
{
    if (n < 0 || n > file.size() - file.pos())
        return {};
    QByteArray bytes = file.read(n);
    return bytes.size() == n ? bytes : QByteArray();
}

void ReadPhys(const QByteArray& data, TPhotoMetadata& metadata)
{
    if (data.size() != 9 || data[8] != 1)  // unit 1: metres; 0 gives an aspect ratio only
        return;
    const quint32 x = qFromBigEndian<quint32>(data.constData());
    const quint32 y = qFromBigEndian<quint32>(data.constData() + 4);
    if (x == 0 || y == 0)
        return;
    metadata.DpiX = x / kInchesPerMetre;
    metadata.DpiY = y / kInchesPerMetre;
}

}  // namespace

void ReadPngMetadata(QIODevice& file, TPhotoMetadata& metadata)
{
    const qint64 start = file.pos();
    if (ReadExactly(file, 8) != QByteArray("\x89PNG\r\n\x1a\n", 8)) {
        file.seek(start);
        return;
    }
    // Each step moves forward by at least the 12 bytes of a chunk's frame, so the walk ends with the file.
    for (;;) {
        const QByteArray frame = ReadExactly(file, 8);
        if (frame.isEmpty())
            break;
        const qint64 length = qFromBigEndian<quint32>(frame.constData());
        const QByteArray type = frame.mid(4, 4);
        if (type == "IDAT" || type == "IEND")
            break;
        if ((type == "eXIf" && length <= kMaxExifBytes) || (type == "pHYs" && length == 9)) {
            const QByteArray data = ReadExactly(file, length);
            if (data.isEmpty())
                break;
            if (type == "pHYs")
                ReadPhys(data, metadata);
            else
                ReadExifBlock(data, metadata);
            if (!file.seek(file.pos() + 4))
                break;
        } else if (length > file.size() - file.pos() || !file.seek(file.pos() + length + 4)) {
            break;
        }
    }
    file.seek(start);
}

void ReadWebpMetadata(QIODevice& file, TPhotoMetadata& metadata)
{
    const qint64 start = file.pos();
    const QByteArray header = ReadExactly(file, 12);
    if (header.isEmpty() || !header.startsWith("RIFF") || header.mid(8, 4) != "WEBP") {
        file.seek(start);
        return;
    }
    for (;;) {
        const QByteArray frame = ReadExactly(file, 8);
        if (frame.isEmpty())
            break;
        const QByteArray type = frame.left(4);
        const qint64 length = qFromLittleEndian<quint32>(frame.constData() + 4);
        const qint64 padded = length + (length & 1);
        if ((type == "EXIF" && length <= kMaxExifBytes) || (type == "ICCP" && length <= kMaxIccProfileBytes)) {
            const QByteArray data = ReadExactly(file, length);
            if (data.isEmpty() && length > 0)
                break;
            if (type == "EXIF")
                ReadExifBlock(data, metadata);
            else
                metadata.IccProfile = data;
            if ((length & 1) && !file.seek(file.pos() + 1))
                break;
        } else if (padded > file.size() - file.pos() || !file.seek(file.pos() + padded)) {
            break;
        }
    }
    file.seek(start);
}
