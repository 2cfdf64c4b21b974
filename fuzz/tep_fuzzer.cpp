// Text Picture reader over arbitrary bytes; a picture of at most 64 colours must save and read back exactly.
#include "formats/general_error.h"
#include "formats/text_picture.h"

#include <QBuffer>
#include <QSet>

#include <cstddef>
#include <cstdint>

namespace {

int CountColours(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TTextPicture picture;
    try {
        picture.LoadFromStream(buffer);
    } catch (const EGeneralError&) {
        return 0;
    }
    if (picture.GetWidth() * qint64(picture.GetHeight()) > 100000 || CountColours(picture.GetBitmap()) > 64)
        return 0;
    picture.SetLineStyle(size % 3);
    QByteArray saved;
    QBuffer out(&saved);
    out.open(QIODevice::WriteOnly);
    picture.SaveToStream(out);
    if (TextPictureToBitmap(QString::fromLatin1(saved)) != picture.GetBitmap())
        __builtin_trap();
    return 0;
}
