#include "formats/icon_directory.h"
#include "formats/loader_common.h"
#include "formats/loaders.h"

#include "common/bitmap.h"
#include "common/failure_texts.h"
#include "common/guarded.h"
#include "common/limits.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>


namespace {

// The largest picture of the icon file by its directory, decoded once; null when none can be read.
QImage ChosenIcon(QImageReader& reader, QIODevice& file)
{
    for (const TIconEntry& entry : IconDecodeOrder(file)) {
        if (!reader.jumpToImage(entry.Index) && entry.Index != 0)
            continue;
        QImage image;
        if (reader.read(&image))
            return image;
    }
    return {};
}

// Qt's reader ignores the AND mask of 24-bit pictures, so their transparent pixels come out black. The mask
// follows the colour rows of the picture: one bit a pixel, rows bottom-up and padded to 32 bits. The picture is
// the first directory entry of the icon's size, as the largest-picture search takes the first of equal sizes.
QImage WithAndMask(const QImage& icon, const QString& fileName)
{
    constexpr qint64 kHeaderBytes = 6, kEntryBytes = 16, kInfoBytes = 40;
    QFile file(fileName);
    if (icon.isNull() || !file.open(QIODevice::ReadOnly))
        return icon;
    const QByteArray head = file.read(kHeaderBytes);
    if (head.size() < kHeaderBytes)
        return icon;
    const qint64 count = std::min<qint64>(qFromLittleEndian<quint16>(head.constData() + 4),
                                          (file.size() - kHeaderBytes) / kEntryBytes);
    const QByteArray entries = file.read(count * kEntryBytes);
    for (qint64 i = 0; i < count && (i + 1) * kEntryBytes <= entries.size(); ++i) {
        const qint64 offset = qFromLittleEndian<quint32>(entries.constData() + i * kEntryBytes + 12);
        if (!file.seek(offset))
            continue;
        const QByteArray info = file.read(kInfoBytes);
        if (info.size() < kInfoBytes || qFromLittleEndian<quint32>(info.constData()) < kInfoBytes)
            continue;  // a PNG picture or no picture: its own transparency, if any, is Qt's
        const qint64 width = qFromLittleEndian<qint32>(info.constData() + 4);
        const qint64 height = qFromLittleEndian<qint32>(info.constData() + 8) / 2;
        if (width != icon.width() || height != icon.height())
            continue;
        if (qFromLittleEndian<quint16>(info.constData() + 14) != 24)
            return icon;
        const qint64 colourStride = ((width * 24 + 31) / 32) * 4;
        const qint64 maskStride = ((width + 31) / 32) * 4;
        const qint64 infoSize = qFromLittleEndian<quint32>(info.constData());
        if (!file.seek(offset + infoSize + colourStride * height))
            return icon;
        const QByteArray mask = file.read(maskStride * height);
        if (mask.size() < maskStride * height)
            return icon;
        QImage masked = icon.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < masked.height(); ++y) {
            const auto* bits = reinterpret_cast<const std::uint8_t*>(mask.constData()) +
                               maskStride * (height - 1 - y);
            auto* row = reinterpret_cast<QRgb*>(masked.scanLine(y));
            for (int x = 0; x < masked.width(); ++x)
                if (bits[x / 8] & (0x80 >> (x % 8)))
                    row[x] = 0;
        }
        return masked;
    }
    return icon;
}

// The icon drawn over the target: on BackColor when it is set, else over what the resized target kept.
bool DrawIcon(TImageInfoRec& info, const QImage& icon)
{
    info.ErrorText = kOutOfMemory;
    const int w = AtLeastOne(icon.width());
    const int h = AtLeastOne(icon.height());
    QImage target;
    if (info.BackColor != -1) {
        target = NewBitmap24(w, h);
        if (target.isNull())
            return false;
        target.fill(ColorFromValue(info.BackColor));
    } else {
        target = *info.Bitmap;
        if (!ResizeBitmap24(target, w, h))
            return false;
    }
    QPainter painter(&target);
    painter.drawImage(0, 0, icon);
    painter.end();
    *info.Bitmap = std::move(target);
    return true;
}

}  // namespace

bool LoadIconFile(TImageInfoRec& info)
{
    if (!PrepareInfo(info))
        return false;
    return GuardedOr(false, [&] {
        info.ErrorText = kOutOfMemory;
        QImageReader reader(info.FileName);
        SetReaderAllocationLimit();

        info.ErrorText = kUnknownFormat;
        ForceReaderFormat(reader, "ico");
        QFile file(info.FileName);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QImage icon = WithAndMask(ChosenIcon(reader, file), info.FileName);
        if (icon.isNull())
            return false;

        info.BitsPerPixel = 24;
        return DrawIcon(info, icon);
    });
}
