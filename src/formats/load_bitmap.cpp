#include "formats/bmp_header.h"
#include "formats/loader_common.h"
#include "formats/loaders.h"

#include "common/limits.h"

#include <QFile>
#include <QImageReader>

namespace {

enum class THeaderCheck { Fits, TooLarge, NotBitmap };

// Looks at the header before Qt allocates anything: a refused size is "Out of memory", a header that is no
// bitmap's or pixel data shorter than the header promises is "Unknown format".
THeaderCheck CheckHeader(QFile& file, TBmpHeader& header)
{
    const std::optional<TBmpHeader> read = ReadBmpHeader(file.peek(kBmpHeaderBytes));
    if (!read)
        return THeaderCheck::NotBitmap;
    header = *read;
    // Qt decodes into up to 4 bytes a pixel, held beside our 24-bit copy.
    if (!PictureAndSourceFit(header.Width, header.Height, 4))
        return THeaderCheck::TooLarge;
    const std::int64_t pixelBytes = BmpPixelBytes(header);
    if (pixelBytes >= 0 && (header.PixelOffset > file.size() || pixelBytes > file.size() - header.PixelOffset))
        return THeaderCheck::NotBitmap;
    return THeaderCheck::Fits;
}

// The stored colours as they are: the alpha byte of 32-bit bitmaps is not drawn.
QImage Opaque(QImage image)
{
    if (image.format() == QImage::Format_ARGB32)
        image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

}  // namespace

bool LoadBitmapFile(TImageInfoRec& info)
{
    if (!PrepareInfo(info))
        return false;
    try {
        info.ErrorText = "Out of memory";
        QFile file(info.FileName);
        QImageReader reader;
        SetReaderAllocationLimit();

        info.ErrorText = "Unknown format";
        if (!file.open(QIODevice::ReadOnly))
            return false;
        TBmpHeader header;
        switch (CheckHeader(file, header)) {
        case THeaderCheck::NotBitmap:
            return false;
        case THeaderCheck::TooLarge:
            info.ErrorText = "Out of memory";
            return false;
        case THeaderCheck::Fits:
            break;
        }
        reader.setDevice(&file);
        ForceReaderFormat(reader, "bmp");
        QImage source;
        if (!reader.read(&source))
            return false;

        info.BitsPerPixel = BmpBitsPerPixel(header);
        return DrawIntoTarget(info, Opaque(std::move(source)));
    } catch (...) {
        return false;
    }
}
