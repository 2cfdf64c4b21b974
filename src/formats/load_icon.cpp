#include "formats/loader_common.h"
#include "formats/loaders.h"

#include "common/bitmap.h"
#include "common/limits.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

namespace {

// Directory entries the file has room for: the count in the header is taken on trust by Qt's reader, and a
// hostile one would have us try tens of thousands of pictures that are not there.
int EntriesWithRoom(const QImageReader& reader, qint64 fileSize)
{
    constexpr qint64 kHeaderBytes = 6;
    constexpr qint64 kEntryBytes = 16;
    const qint64 room = std::max<qint64>(0, (fileSize - kHeaderBytes) / kEntryBytes);
    return int(std::min<qint64>(reader.imageCount(), room));
}

// The largest picture of the icon file (by area; the first of equal ones); null when none can be read.
QImage LargestIcon(QImageReader& reader, qint64 fileSize)
{
    QImage largest;
    const int count = EntriesWithRoom(reader, fileSize);
    for (int i = 0; i < std::max(count, 1); ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        const QSize size = reader.size();
        if (size.isValid() && !PictureFits(size.width(), size.height()))
            continue;
        if (size.isValid() && !largest.isNull() &&
            qint64(size.width()) * size.height() <= qint64(largest.width()) * largest.height())
            continue;
        QImage image;
        if (!reader.read(&image))
            continue;
        if (largest.isNull() || qint64(image.width()) * image.height() > qint64(largest.width()) * largest.height())
            largest = std::move(image);
    }
    return largest;
}

// The icon drawn over the target: on BackColor when it is set, else over what the resized target kept.
bool DrawIcon(TImageInfoRec& info, const QImage& icon)
{
    info.ErrorText = "Out of memory";
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
    try {
        info.ErrorText = "Out of memory";
        QImageReader reader(info.FileName);
        SetReaderAllocationLimit();

        info.ErrorText = "Unknown format";
        ForceReaderFormat(reader, "ico");
        const QImage icon = LargestIcon(reader, QFileInfo(info.FileName).size());
        if (icon.isNull())
            return false;

        info.BitsPerPixel = 24;
        return DrawIcon(info, icon);
    } catch (...) {
        return false;
    }
}
