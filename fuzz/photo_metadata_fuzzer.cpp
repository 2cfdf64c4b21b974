// What photos carry beside their pixels, from hostile bytes: EXIF blocks, ICC profiles (RGB and CMYK) and the
// PNG and WebP chunk walks that find them, and the GIF block walk.
#include "common/bitmap.h"
#include "formats/photo_containers.h"
#include "formats/photo_metadata.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    TPhotoMetadata metadata;
    ReadExifBlock(bytes, metadata);

    QImage picture = NewBitmap24(7, 3);
    picture.fill(Qt::darkCyan);
    ConvertToSrgb(picture, bytes);
    const TCmykToSrgb cmyk(bytes, size % 2 == 0);
    if (cmyk.IsValid()) {
        const std::uint8_t inks[4 * 7] = {0, 10, 200, 255, 255, 255, 0, 0};
        cmyk.Convert(inks, picture.scanLine(0), 7);
    }
    const QImage turned = Oriented(picture, metadata.Orientation);
    if (turned.size() != (SwapsAxes(metadata.Orientation) ? picture.size().transposed() : picture.size()))
        __builtin_trap();

    // The same bytes behind a PNG signature, a WebP header and a GIF signature, so the walks start at once.
    for (const QByteArray& head :
         {QByteArray("\x89PNG\r\n\x1a\n", 8), QByteArray("RIFF\0\0\0\0WEBP", 12), QByteArray("GIF89a")}) {
        QByteArray file = head + bytes;
        QBuffer buffer(&file);
        buffer.open(QIODevice::ReadOnly);
        TPhotoMetadata found;
        if (head.startsWith("RIFF"))
            ReadWebpMetadata(buffer, found);
        else if (head.startsWith("GIF"))
            GifEndsInFirstFrame(buffer);
        else
            ReadPngMetadata(buffer, found);
        if (buffer.pos() != 0)
            __builtin_trap();
    }
    return 0;
}
