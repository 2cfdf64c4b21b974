#include "formats/bmp_header.h"

#include <QtEndian>

namespace {

// Little-endian fields at an offset; the caller has checked that they lie inside the bytes.
std::uint16_t U16(const QByteArray& b, int at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}
std::uint32_t U32(const QByteArray& b, int at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}
std::int32_t S32(const QByteArray& b, int at)
{
    return qFromLittleEndian<qint32>(b.constData() + at);
}
std::int16_t S16(const QByteArray& b, int at)
{
    return qFromLittleEndian<qint16>(b.constData() + at);
}

constexpr int kFileHeader = 14;
constexpr int kCoreHeader = 12;
constexpr int kInfoHeader = 40;

bool ValidBitCount(int bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

std::optional<TBmpHeader> ReadBmpHeader(const QByteArray& start)
{
    if (start.size() < kFileHeader + 4 || start[0] != 'B' || start[1] != 'M')
        return std::nullopt;
    TBmpHeader header;
    header.PixelOffset = U32(start, 10);
    const std::uint32_t infoSize = U32(start, kFileHeader);
    const int at = kFileHeader;
    if (infoSize == kCoreHeader) {
        if (start.size() < at + kCoreHeader)
            return std::nullopt;
        header.Width = S16(start, at + 4);
        header.Height = S16(start, at + 6);
        header.BitCount = U16(start, at + 10);
    } else if (infoSize >= kInfoHeader) {
        if (start.size() < at + kInfoHeader)
            return std::nullopt;
        header.Width = S32(start, at + 4);
        header.Height = S32(start, at + 8);
        header.BitCount = U16(start, at + 14);
        header.Compression = U32(start, at + 16);
        header.XPelsPerMeter = S32(start, at + 24);
        header.YPelsPerMeter = S32(start, at + 28);
        // The masks sit inside the longer headers, or right after the 40-byte one.
        const int masksAt = at + kInfoHeader;
        if (header.Compression == kBiBitfields && start.size() >= masksAt + 12) {
            header.RedMask = U32(start, masksAt);
            header.GreenMask = U32(start, masksAt + 4);
            header.BlueMask = U32(start, masksAt + 8);
        }
    } else {
        return std::nullopt;
    }
    if (header.Height < 0) {
        header.Height = -header.Height;  // rows stored top-down
        header.TopDown = true;
    }
    if (header.Width <= 0 || header.Height <= 0 || !ValidBitCount(header.BitCount))
        return std::nullopt;
    if (header.BitCount == 16 && header.Compression == kBiRgb) {
        header.RedMask = 0x7C00;
        header.GreenMask = 0x03E0;
        header.BlueMask = 0x001F;
    }
    return header;
}

int BmpBitsPerPixel(const TBmpHeader& header)
{
    if (header.BitCount != 16)
        return header.BitCount;
    if (header.Compression == kBiRgb || header.GreenMask == 0x03E0)
        return 15;
    if (header.GreenMask == 0x07E0)
        return 16;
    return 24;  // a custom layout has no standard depth
}

std::int64_t BmpPixelBytes(const TBmpHeader& header)
{
    if (header.Compression != kBiRgb && header.Compression != kBiBitfields)
        return -1;
    const std::int64_t stride = ((header.Width * header.BitCount + 31) / 32) * 4;
    if (stride > INT64_MAX / header.Height)
        return INT64_MAX;
    return stride * header.Height;
}
