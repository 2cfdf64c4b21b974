// Portable anymap reader over arbitrary bytes; what it reads must save and read back to the same picture.
#include "formats/general_error.h"
#include "formats/portable_pixelmap.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TPortablePixelmap picture;
    try {
        picture.LoadFromStream(buffer);
    } catch (const EGeneralError&) {
        return 0;
    }
    // Greymaps and bitmaps keep one channel: no exact round trip to check. Huge pictures only cost time.
    if ((picture.Kind != 3 && picture.Kind != 6) || picture.GetWidth() * qint64(picture.GetHeight()) > 100000)
        return 0;
    QByteArray saved;
    QBuffer out(&saved);
    out.open(QIODevice::WriteOnly);
    picture.SaveToStream(out);
    out.close();
    out.open(QIODevice::ReadOnly);
    TPortablePixelmap again;
    again.LoadFromStream(out);
    if (again.GetBitmap() != picture.GetBitmap())
        __builtin_trap();
    return 0;
}
