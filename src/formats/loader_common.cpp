#include "formats/loader_common.h"

#include "common/bitmap.h"
#include "common/failure_texts.h"
#include "common/limits.h"

#include <QFileInfo>
#include <QImageReader>

bool PrepareInfo(TImageInfoRec& info)
{
    info.BitsPerPixel = 24;
    info.DpiX = info.DpiY = 0;
    info.Warning.clear();
    if (!info.Bitmap) {
        info.ErrorText = kIndexOutOfRange;
        return false;
    }
    if (!QFileInfo(info.FileName).isFile()) {
        info.ErrorText = kFileNotFound;
        return false;
    }
    return true;
}

int AtLeastOne(int n)
{
    return n >= 1 ? n : 1;
}

namespace {

// An empty source paints nothing: the target only takes the size, keeping what was there.
bool ResizeOnly(TImageInfoRec& info)
{
    QImage target = *info.Bitmap;
    if (!ResizeBitmap24(target, 1, 1))
        return false;
    *info.Bitmap = std::move(target);
    return true;
}

}  // namespace

bool DrawIntoTarget(TImageInfoRec& info, const QImage& source)
{
    info.ErrorText = kOutOfMemory;
    if (source.isNull())
        return ResizeOnly(info);
    if (!PictureFits(source.width(), source.height()))
        return false;
    QImage target = Composed24(source, Qt::black);  // translucent pixels over black, as a new bitmap starts
    if (target.isNull())
        return false;
    *info.Bitmap = std::move(target);
    return true;
}

void SetReaderAllocationLimit()
{
    // A load holds Qt's decoded picture (up to 4 bytes a pixel) and our 24-bit copy (3) at once: both together
    // stay within the ceiling.
    constexpr int kLimitMiB = int((kMaxPictureBytes / 7 * 4) >> 20);
    if (QImageReader::allocationLimit() != kLimitMiB)
        QImageReader::setAllocationLimit(kLimitMiB);
}

void ForceReaderFormat(QImageReader& reader, const char* format)
{
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    reader.setFormat(format);
}
