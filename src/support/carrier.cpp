#include "support/carrier.h"

#include <cstdint>

namespace {

constexpr qint64 kWidth = 256;
constexpr qint64 kHeaderBytes = 54;
constexpr qint64 kArchiveOffset = 154;

void PutLittleEndian(QByteArray& out, qint64 at, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[at + i] = char((value >> (8 * i)) & 0xFF);
}

}  // namespace

QByteArray CarrierBitmap(const QByteArray& archive)
{
    const qint64 rowBytes = kWidth * 3;
    const qint64 height = (kArchiveOffset - kHeaderBytes + archive.size() + 1 + rowBytes - 1) / rowBytes;
    const qint64 pixelBytes = height * rowBytes;
    const qint64 fileSize = kHeaderBytes + pixelBytes;
    if (fileSize > INT32_MAX)
        return {};
    QByteArray out(fileSize, char(0xFF));
    out.replace(0, kHeaderBytes, QByteArray(kHeaderBytes, '\0'));
    out[0] = 'B';
    out[1] = 'M';
    PutLittleEndian(out, 2, std::uint32_t(fileSize), 4);
    PutLittleEndian(out, 10, std::uint32_t(kHeaderBytes), 4);
    PutLittleEndian(out, 14, 40, 4);  // information header size
    PutLittleEndian(out, 18, std::uint32_t(kWidth), 4);
    PutLittleEndian(out, 22, std::uint32_t(height), 4);
    PutLittleEndian(out, 26, 1, 2);   // planes
    PutLittleEndian(out, 28, 24, 2);  // bits per pixel
    PutLittleEndian(out, 34, std::uint32_t(pixelBytes), 4);
    PutLittleEndian(out, 38, 2835, 4);  // 72 pixels per inch
    PutLittleEndian(out, 42, 2835, 4);
    out.replace(kArchiveOffset, archive.size(), archive);
    return out;
}
