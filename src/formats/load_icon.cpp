#include "formats/loader_common.h"
#include "formats/loaders.h"

#include "common/bitmap.h"
#include "common/limits.h"

#include <QImageReader>
#include <QPainter>

namespace {

// The largest picture of the icon file (by area; the first of equal ones); null when none can be read.
QImage LargestIcon(QImageReader& reader)
{
    QImage largest;
    const int count = reader.imageCount();
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
    QImage target = *info.Bitmap;
    if (!SetPixelFormat24(target))
        return false;
    if (info.BackColor != -1 && !target.isNull())
        target.fill(ColorFromValue(info.BackColor));
    const qint64 newArea = info.BackColor != -1 ? info.BackColor : -1;
    if (!ResizeBitmap24(target, AtLeastOne(icon.width()), AtLeastOne(icon.height()), newArea))
        return false;
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
        const QImage icon = LargestIcon(reader);
        if (icon.isNull())
            return false;

        info.BitsPerPixel = 24;
        return DrawIcon(info, icon);
    } catch (...) {
        return false;
    }
}
