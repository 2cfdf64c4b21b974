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

// Skips data sub-blocks (a length byte, that many bytes) and their empty terminator; false when the file ends
// first. Each block moves forward by at least one byte, so the walk ends with the file.
bool SkipSubBlocks(QIODevice& file)
{
    for (;;) {
        char length = 0;
        if (!file.getChar(&length))
            return false;
        if (length == 0)
            return true;
        const qint64 n = quint8(length);
        if (n > file.size() - file.pos() || !file.seek(file.pos() + n))
            return false;
    }
}

// A colour table follows a descriptor whose packed field has its top bit set: 3 x 2^(size + 1) bytes.
bool SkipColourTable(QIODevice& file, char packed)
{
    if (!(packed & 0x80))
        return true;
    const qint64 n = qint64(3) << ((packed & 7) + 1);
    return n <= file.size() - file.pos() && file.seek(file.pos() + n);
}

// True when the first frame's data ends inside the file, or when there is no frame to end.
bool FirstFrameEnds(QIODevice& file)
{
    constexpr char kExtension = 0x21, kImage = 0x2C;
    const QByteArray screen = ReadExactly(file, 13);  // signature and logical screen descriptor
    if (screen.isEmpty() || !screen.startsWith("GIF"))
        return true;
    if (!SkipColourTable(file, screen[10]))
        return false;
    for (;;) {
        char introducer = 0;
        char label = 0;
        if (!file.getChar(&introducer))
            return false;
        if (introducer == kExtension) {
            if (!file.getChar(&label) || !SkipSubBlocks(file))
                return false;
            continue;
        }
        if (introducer != kImage)
            return true;  // the trailer, or bytes no reader takes for a frame
        const QByteArray descriptor = ReadExactly(file, 9);
        char minimumCodeSize = 0;
        return !descriptor.isEmpty() && SkipColourTable(file, descriptor[8]) && file.getChar(&minimumCodeSize) &&
               SkipSubBlocks(file);
    }
}

}  // namespace

bool GifEndsInFirstFrame(QIODevice& file)
{
    const qint64 start = file.pos();
    const bool ends = FirstFrameEnds(file);
    file.seek(start);
    return !ends;
}

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
