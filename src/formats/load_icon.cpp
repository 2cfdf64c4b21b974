#include "formats/icon_directory.h"
#include "formats/loader_common.h"
#include "formats/loaders.h"

#include "common/bitmap.h"
#include "common/limits.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>


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
        QFile file(info.FileName);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QImage icon = ChosenIcon(reader, file);
        if (icon.isNull())
            return false;

        info.BitsPerPixel = 24;
        return DrawIcon(info, icon);
    } catch (...) {
        return false;
    }
}
