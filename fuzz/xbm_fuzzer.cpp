// X bitmap reader over arbitrary bytes; what it reads must save and read back to the same picture.
#include "formats/general_error.h"
#include "formats/xbitmap.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TXBitmap picture;
    try {
        picture.LoadFromStream(buffer);
    } catch (const EGeneralError&) {
        return 0;
    }
    if (picture.GetWidth() * qint64(picture.GetHeight()) > 100000)
        return 0;  // huge pictures only cost time
    QByteArray saved;
    QBuffer out(&saved);
    out.open(QIODevice::WriteOnly);
    picture.SaveToStream(out);
    out.close();
    out.open(QIODevice::ReadOnly);
    TXBitmap again;
    again.LoadFromStream(out);
    if (again.GetBitmap() != picture.GetBitmap())
        __builtin_trap();
    return 0;
}
