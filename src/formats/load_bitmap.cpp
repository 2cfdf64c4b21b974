#include "formats/bmp_header.h"
#include "formats/loader_common.h"
#include "formats/loaders.h"

#include "common/failure_texts.h"
#include "common/limits.h"

#include <QFile>
#include <QImageReader>

#include <bit>

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

// One channel of a 16-bit pixel: its mask, where it starts and its largest value.
struct TChannel {
    std::uint32_t Mask = 0;
    int Shift = 0;
    std::uint32_t Max = 0;
};

TChannel ChannelOf(std::uint32_t mask)
{
    mask &= 0xFFFF;
    if (mask == 0)
        return {};
    const int shift = std::countr_zero(mask);
    return {mask, shift, mask >> shift};
}

// v * 255 / max, rounded: white stays 255 whatever the channel's width.
std::uint8_t Level(std::uint32_t pixel, const TChannel& c)
{
    if (c.Max == 0)
        return 0;
    const std::uint32_t v = (pixel & c.Mask) >> c.Shift;
    return std::uint8_t((v * 510 + c.Max) / (2 * c.Max));
}

// Qt widens 5- and 6-bit channels by shifting them, so white reads 248; 16-bit pixels are decoded here instead,
// each channel scaled to the full range. CheckHeader has made sure the pixel data is in the file.
QImage DecodeSixteenBit(QFile& file, const TBmpHeader& header)
{
    const TChannel red = ChannelOf(header.RedMask);
    const TChannel green = ChannelOf(header.GreenMask);
    const TChannel blue = ChannelOf(header.BlueMask);
    const auto width = int(header.Width);
    const auto height = int(header.Height);
    const qsizetype stride = qsizetype(((header.Width * 16 + 31) / 32) * 4);
    if (!file.seek(header.PixelOffset))
        return {};
    const QByteArray data = file.read(stride * height);
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull() || data.size() < stride * height)
        return {};
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const std::uint8_t*>(data.constData()) +
                         stride * (header.TopDown ? y : height - 1 - y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = in[2 * x] | (std::uint32_t(in[2 * x + 1]) << 8);
            out[x] = qRgb(Level(pixel, red), Level(pixel, green), Level(pixel, blue));
        }
    }
    return image;
}

bool IsSixteenBit(const TBmpHeader& header)
{
    return header.BitCount == 16 && (header.Compression == kBiRgb || header.Compression == kBiBitfields);
}

}  // namespace

bool LoadBitmapFile(TImageInfoRec& info)
{
    return LoadOpenedFile(info, [&](QFile& file, QImageReader& reader) {
        TBmpHeader header;
        switch (CheckHeader(file, header)) {
        case THeaderCheck::NotBitmap:
            return false;
        case THeaderCheck::TooLarge:
            info.ErrorText = kOutOfMemory;
            return false;
        case THeaderCheck::Fits:
            break;
        }
        QImage source;
        if (IsSixteenBit(header)) {
            source = DecodeSixteenBit(file, header);
            if (source.isNull())
                return false;
        } else {
            reader.setDevice(&file);
            ForceReaderFormat(reader, "bmp");
            if (!reader.read(&source))
                return false;
        }

        info.BitsPerPixel = BmpBitsPerPixel(header);
        if (header.XPelsPerMeter > 0 && header.YPelsPerMeter > 0) {
            info.DpiX = header.XPelsPerMeter * 0.0254;
            info.DpiY = header.YPelsPerMeter * 0.0254;
        }
        return DrawIntoTarget(info, Opaque(std::move(source)));
    });
}
