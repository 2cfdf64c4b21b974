#include "common/bitmap.h"

#include "common/limits.h"

#include <QColor>
#include <QPainter>

QImage NewBitmap24(int w, int h)
{
    if (!PictureFits(w, h))
        return {};
    return QImage(w, h, kFormat24);  // null when Qt cannot allocate
}

bool SetPixelFormat24(QImage& image)
{
    if (image.isNull() || image.format() == kFormat24)
        return true;
    QImage converted = image.convertToFormat(kFormat24);
    if (converted.isNull())
        return false;
    image = std::move(converted);
    return true;
}

QImage As24Bit(const QImage& source)
{
    return source.format() == kFormat24 ? source : source.convertToFormat(kFormat24);
}

QImage Composed24(const QImage& source, const QColor& background)
{
    if (source.format() == kFormat24 || !source.hasAlphaChannel())
        return As24Bit(source);
    QImage target = NewBitmap24(source.width(), source.height());
    if (target.isNull())
        return target;
    target.fill(background);
    QPainter painter(&target);
    painter.drawImage(0, 0, source);
    return target;
}

bool ResizeBitmap24(QImage& image, int w, int h, qint64 fill)
{
    QImage resized = NewBitmap24(w, h);
    if (resized.isNull())
        return false;
    resized.fill(fill >= 0 ? ColorFromValue(fill) : QColor(Qt::black));
    if (!image.isNull()) {
        QPainter painter(&resized);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, image);
    }
    image = std::move(resized);
    return true;
}

QColor ColorFromValue(qint64 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

qint32 ValueFromColor(const QColor& color)
{
    return qint32(color.red() | (color.green() << 8) | (color.blue() << 16));
}
