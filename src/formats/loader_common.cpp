#include "formats/loader_common.h"

#include "common/bitmap.h"

#include <QFileInfo>
#include <QPainter>

bool PrepareInfo(TImageInfoRec& info)
{
    info.BitsPerPixel = 24;
    if (!info.Bitmap) {
        info.ErrorText = "Index out of range";
        return false;
    }
    if (!QFileInfo(info.FileName).isFile()) {
        info.ErrorText = "File not found";
        return false;
    }
    return true;
}

int AtLeastOne(int n)
{
    return n >= 1 ? n : 1;
}

bool DrawIntoTarget(TImageInfoRec& info, const QImage& source)
{
    info.ErrorText = "Out of memory";
    const int w = AtLeastOne(source.width());
    const int h = AtLeastOne(source.height());
    if (source.format() == kFormat24 && source.width() == w && source.height() == h) {
        *info.Bitmap = source;  // same pixels, same layout: share instead of drawing
        return true;
    }
    QImage target = NewBitmap24(w, h);
    if (target.isNull())
        return false;
    target.fill(Qt::black);
    if (!source.isNull()) {
        QPainter painter(&target);
        painter.drawImage(0, 0, source);
    }
    *info.Bitmap = std::move(target);
    return true;
}
