#include "formats/metafile_dib.h"

#include "common/limits.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <cstdint>
#include <functional>
#include <optional>

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kCoreHeaderSize = 12;
constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;

struct TDibHeader {
    qint64 Width = 0;
    qint64 Height = 0;  // absolute value: top-down bitmaps store it negative
    int BitCount = 0;
    std::uint32_t Compression = kBiRgb;
    std::uint32_t ColorsUsed = 0;
    qsizetype HeaderSize = 0;
};

quint32 U32(QByteArrayView v, qsizetype at) { return qFromLittleEndian<quint32>(v.data() + at); }
quint16 U16(QByteArrayView v, qsizetype at) { return qFromLittleEndian<quint16>(v.data() + at); }

std::optional<TDibHeader> ReadHeader(QByteArrayView info)
{
    if (info.size() < 4)
        return std::nullopt;
    TDibHeader h;
    h.HeaderSize = U32(info, 0);
    if (h.HeaderSize == kCoreHeaderSize && info.size() >= kCoreHeaderSize) {
        h.Width = U16(info, 4);
        h.Height = U16(info, 6);
        h.BitCount = U16(info, 10);
        return h;
    }
    if (h.HeaderSize < 40 || h.HeaderSize > info.size())
        return std::nullopt;
    h.Width = qint32(U32(info, 4));
    h.Height = qint32(U32(info, 8));
    if (h.Height < 0)
        h.Height = -h.Height;
    h.BitCount = U16(info, 14);
    h.Compression = U32(info, 16);
    h.ColorsUsed = U32(info, 32);
    return h;
}

qint64 RowBytes(const TDibHeader& h)
{
    return ((h.Width * h.BitCount + 31) / 32) * 4;
}

// Refuses what cannot be a real bitmap before Qt allocates for it: the size must pass the ceiling, and
// uncompressed bits must cover every row (an RLE stream can compress well, but not without limit).
bool Plausible(const TDibHeader& h, qsizetype bitsSize)
{
    static constexpr int kDepths[] = {1, 4, 8, 16, 24, 32};
    if (std::find(std::begin(kDepths), std::end(kDepths), h.BitCount) == std::end(kDepths))
        return false;
    if (!PictureFits(h.Width, h.Height))
        return false;
    if (h.Compression == kBiRgb || h.Compression == kBiBitfields)
        return RowBytes(h) * h.Height <= bitsSize;
    if (h.Compression == kBiRle8 || h.Compression == kBiRle4)
        return h.Width * h.Height / 512 <= bitsSize;
    return false;
}

QByteArray FileHeader(qsizetype infoSize, qsizetype bitsSize)
{
    QByteArray header(kFileHeaderSize, '\0');
    header[0] = 'B';
    header[1] = 'M';
    qToLittleEndian<quint32>(quint32(kFileHeaderSize + infoSize + bitsSize), header.data() + 2);
    qToLittleEndian<quint32>(quint32(kFileHeaderSize + infoSize), header.data() + 10);
    return header;
}

qint64 TableEntries(const TDibHeader& h)
{
    if (h.BitCount > 8)
        return 0;
    const qint64 full = qint64(1) << h.BitCount;
    return h.ColorsUsed == 0 || h.ColorsUsed > full ? full : h.ColorsUsed;
}

// The info header with a colour table of RGB quads built from the palette: entry i of the table is the palette
// entry at index(i). Palette bitmaps get one of these when their own table is palette indices or missing.
QByteArray InfoWithPalette(QByteArrayView info, const TDibHeader& h, const std::vector<QRgb>& palette,
                           const std::function<qint64(qint64)>& index)
{
    QByteArray out(info.data(), h.HeaderSize);
    const qint64 entries = TableEntries(h);
    qToLittleEndian<quint32>(quint32(entries), out.data() + 32);
    for (qint64 i = 0; i < entries; ++i) {
        const qint64 at = index(i);
        const QRgb c = at >= 0 && at < qint64(palette.size()) ? palette[size_t(at)] : qRgb(0, 0, 0);
        out.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
    }
    return out;
}

}  // namespace

QImage DecodeMetafileDib(QByteArrayView info, QByteArrayView bits, const std::vector<QRgb>& palette,
                         bool paletteIndices)
{
    const std::optional<TDibHeader> header = ReadHeader(info);
    if (!header || !Plausible(*header, bits.size()))
        return {};
    QByteArray indexed;
    if (paletteIndices && header->BitCount <= 8 && header->HeaderSize != kCoreHeaderSize) {
        const QByteArrayView table = info.sliced(header->HeaderSize);
        indexed = InfoWithPalette(info, *header, palette, [&](qint64 i) {
            return 2 * i + 2 <= table.size() ? qint64(U16(table, 2 * i)) : i;
        });
        info = indexed;
    }
    // Qt's BMP reader does the pixel work once the bitmap looks like a file of its own.
    QByteArray file = FileHeader(info.size(), bits.size());
    file.append(info.data(), info.size());
    file.append(bits.data(), bits.size());
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    reader.setAutoTransform(false);
    return reader.read();
}

QImage DecodePackedDib(QByteArrayView packed, const std::vector<QRgb>& palette, bool paletteIndices)
{
    const std::optional<TDibHeader> header = ReadHeader(packed);
    if (!header)
        return {};
    // A palette bitmap whose bits follow its header at once has no table of its own: the palette is its table.
    const bool uncompressed = header->Compression == kBiRgb && PictureFits(header->Width, header->Height);
    if (header->BitCount <= 8 && header->HeaderSize != kCoreHeaderSize && uncompressed && !palette.empty()) {
        const qint64 bitsSize = RowBytes(*header) * header->Height;
        const qint64 withTable = header->HeaderSize + (paletteIndices ? 2 : 4) * TableEntries(*header);
        // Without a table nothing but word padding is left after the header and the bits.
        const qint64 rest = packed.size() - header->HeaderSize - bitsSize;
        if (withTable + bitsSize > packed.size() && rest >= 0 && rest < 4) {
            const QByteArray info = InfoWithPalette(packed, *header, palette, [](qint64 i) { return i; });
            return DecodeMetafileDib(info, packed.sliced(header->HeaderSize));
        }
    }
    if (paletteIndices && header->BitCount <= 8 && header->HeaderSize != kCoreHeaderSize) {
        const qint64 infoSize = header->HeaderSize + 2 * TableEntries(*header);
        if (infoSize > packed.size())
            return {};
        return DecodeMetafileDib(packed.first(infoSize), packed.sliced(infoSize), palette, true);
    }
    qint64 infoSize = header->HeaderSize;
    if (header->HeaderSize == kCoreHeaderSize) {
        if (header->BitCount <= 8)
            infoSize += 3 * (qint64(1) << header->BitCount);
    } else {
        if (header->Compression == kBiBitfields && header->HeaderSize == 40)
            infoSize += 12;
        qint64 colors = header->ColorsUsed;
        if (colors == 0 && header->BitCount <= 8)
            colors = qint64(1) << header->BitCount;
        if (colors > 256 && header->BitCount <= 8)
            return {};
        infoSize += 4 * std::min<qint64>(colors, 1 << 16);
    }
    if (infoSize > packed.size())
        return {};
    return DecodeMetafileDib(packed.first(infoSize), packed.sliced(infoSize));
}

QRectF DibSourceFromTop(QByteArrayView info, QRectF source, int imageHeight)
{
    const bool core = info.size() >= 4 && U32(info, 0) == kCoreHeaderSize;
    const bool bottomUp = core || (info.size() >= 12 && qint32(U32(info, 8)) > 0);
    if (bottomUp)
        source.moveTop(imageHeight - source.top() - source.height());
    return source;
}
