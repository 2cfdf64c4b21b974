#include "formats/portable_pixelmap.h"

#include "formats/byte_image.h"
#include "formats/byte_stream.h"
#include "formats/portable_header.h"

#include <algorithm>
#include <cstring>
#include <vector>

using portable_detail::ScaleTable;

namespace {

// Raw greymap and pixmap samples of two bytes, most significant first, scaled through table.
template <int Channels, class Report>
void ReadWideSamples(TByteStream& bytes, qint64& pos, TByteImage& image, int width, int height,
                 const std::vector<std::uint8_t>& table, Report report)
{
    const std::uint8_t* scale = table.data();
    const std::uint32_t lastIndex = std::uint32_t(table.size() - 1);
    std::uint8_t* row = image.GetRow(0);
    int x = 0;
    int y = 0;
    int channel = 0;
    int half = 0;
    std::uint32_t sample = 0;
    std::uint8_t rgb[3] = {};
    while (row) {
        const std::uint8_t* data = nullptr;
        const qint64 n = bytes.Span(pos, data);
        if (n <= 0)
            return;
        for (qint64 k = 0; k < n; ++k) {
            sample = (sample << 8) | data[k];
            if (++half < 2)
                continue;
            half = 0;
            const std::uint8_t level = scale[std::min(sample, lastIndex)];
            sample = 0;
            std::uint8_t* p = row + 3 * x;
            if constexpr (Channels == 1) {
                p[0] = p[1] = p[2] = level;
            } else {
                rgb[channel] = level;
                if (++channel < 3)
                    continue;
                channel = 0;
                p[0] = rgb[2];
                p[1] = rgb[1];
                p[2] = rgb[0];
            }
            if (++x == width) {
                x = 0;
                if (++y == height) {
                    pos += k + 1;
                    return;
                }
                row = image.GetRow(y);
            }
        }
        pos += n;
        report();
    }
}

// Byte samples of raw greymaps and pixmaps, scaled through a 256-entry table and copied row by row: a pixmap
// row is filled in file order (red, green, blue) and turned into blue, green, red once complete. Whatever the
// data does not reach is painted white on the way out, also when a progress handler throws.
class TByteRows {
public:
    TByteRows(TByteImage& image, int width, int height, int channels)
        : FImage(image), FWidth(width), FHeight(height), FChannels(channels), FRow(image.GetRow(0))
    {
    }
    ~TByteRows()
    {
        if (FY >= FHeight)
            return;
        SwapRedBlue(FOffset / 3);
        FImage.FillWhiteFrom(int(FOffset / 3), FY);
    }

    bool Full() const { return FY >= FHeight || !FRow; }

    // Takes samples from data[0..n), scaled through scale (nullptr: maxval 255, taken as they are); returns
    // how many it used (fewer than n only when the picture is full).
    qint64 Take(const std::uint8_t* data, qint64 n, const std::uint8_t* scale)
    {
        const qsizetype rowBytes = qsizetype(FWidth) * 3;
        qint64 used = 0;
        while (used < n && !Full()) {
            if (FChannels == 3) {
                const qint64 m = std::min<qint64>(n - used, rowBytes - FOffset);
                std::uint8_t* out = FRow + FOffset;
                if (scale)
                    for (qint64 i = 0; i < m; ++i)
                        out[i] = scale[data[used + i]];
                else
                    std::memcpy(out, data + used, size_t(m));
                FOffset += m;
                used += m;
            } else {
                const qint64 m = std::min<qint64>(n - used, (rowBytes - FOffset) / 3);
                std::uint8_t* out = FRow + FOffset;
                for (qint64 i = 0; i < m; ++i)
                    out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = scale ? scale[data[used + i]] : data[used + i];
                FOffset += 3 * m;
                used += m;
            }
            if (FOffset == rowBytes) {
                SwapRedBlue(FWidth);
                FOffset = 0;
                FRow = ++FY < FHeight ? FImage.GetRow(FY) : nullptr;
            }
        }
        return used;
    }

private:
    void SwapRedBlue(qsizetype pixels)
    {
        if (FChannels != 3 || !FRow)
            return;
        for (qsizetype i = 0; i < pixels; ++i)
            std::swap(FRow[3 * i], FRow[3 * i + 2]);
    }

    TByteImage& FImage;
    int FWidth;
    int FHeight;
    int FChannels;
    std::uint8_t* FRow;
    int FY = 0;
    qsizetype FOffset = 0;  // bytes of the current row written so far
};

// The same samples read into a picture reduced by a whole factor: each source row, in file order, is added
// into per-column sums; a complete block row (or the last, shorter one) becomes one picture row of block
// averages. Picture rows the data does not reach are painted white.
class TReducedRows {
public:
    TReducedRows(QImage& picture, int width, int height, int channels, int factor)
        : FPicture(picture), FWidth(width), FHeight(height), FChannels(channels), FFactor(factor),
          FRow(std::size_t(width) * std::size_t(channels)), FSums(FRow.size(), 0)
    {
    }
    ~TReducedRows()
    {
        if (!Full() && FY % FFactor != 0)
            EmitBlockRow(FY % FFactor);
        for (int row = (FY + FFactor - 1) / FFactor; row < FPicture.height(); ++row)
            std::memset(FPicture.scanLine(row), 255, std::size_t(FPicture.width()) * 3);
    }

    bool Full() const { return FY >= FHeight; }

    qint64 Take(const std::uint8_t* data, qint64 n, const std::uint8_t* scale)
    {
        qint64 used = 0;
        while (used < n && !Full()) {
            const qint64 m = std::min<qint64>(n - used, qint64(FRow.size()) - FOffset);
            std::uint8_t* out = FRow.data() + FOffset;
            if (scale)
                for (qint64 i = 0; i < m; ++i)
                    out[i] = scale[data[used + i]];
            else
                std::memcpy(out, data + used, std::size_t(m));
            FOffset += m;
            used += m;
            if (FOffset == qint64(FRow.size())) {
                for (std::size_t i = 0; i < FRow.size(); ++i)
                    FSums[i] += FRow[i];
                FOffset = 0;
                if (++FY % FFactor == 0 || FY == FHeight)
                    EmitBlockRow(FY % FFactor == 0 ? FFactor : FY % FFactor);
            }
        }
        return used;
    }

private:
    void EmitBlockRow(int rows)
    {
        std::uint8_t* out = FPicture.scanLine((FY - 1) / FFactor);
        for (int x = 0; x < FPicture.width(); ++x) {
            const int first = x * FFactor;
            const int columns = std::min(FFactor, FWidth - first);
            std::uint32_t total[3] = {};
            for (int i = first; i < first + columns; ++i)
                for (int c = 0; c < 3; ++c)
                    total[c] += FSums[std::size_t(i) * std::size_t(FChannels) + std::size_t(FChannels == 3 ? c : 0)];
            const std::uint32_t count = std::uint32_t(columns * rows);
            for (int c = 0; c < 3; ++c)  // red, green, blue become blue, green, red
                out[x * 3 + 2 - c] = std::uint8_t((total[c] + count / 2) / count);
        }
        std::fill(FSums.begin(), FSums.end(), 0);
    }

    QImage& FPicture;
    int FWidth;
    int FHeight;
    int FChannels;
    int FFactor;
    std::vector<std::uint8_t> FRow;    // the source row being read, in file order
    std::vector<std::uint32_t> FSums;  // its columns' sums over the block row so far
    int FY = 0;                        // source rows complete
    qint64 FOffset = 0;                // samples of the current source row read so far
};

}  // namespace

bool TPortablePixelmap::ReadRawBits(TByteStream& bytes, qint64& pos)
{
    const int width = Bitmap.width();
    const int height = Bitmap.height();
    const qint64 size = std::max<qint64>(bytes.GetSize(), 1);
    TByteImage image(&Bitmap);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.GetRow(y);
        // Every row starts on a new byte: the low bits of a row's last byte are padding.
        for (int x = 0; x < width; x += 8) {
            std::uint8_t b = 0;
            if (!row || !bytes.ReadByte(pos, b))
                return true;
            ++pos;
            for (int bit = 0; bit < 8 && x + bit < width; ++bit) {
                const std::uint8_t level = (b & (0x80 >> bit)) ? 0 : 255;
                std::uint8_t* p = row + 3 * (x + bit);
                p[0] = p[1] = p[2] = level;
            }
        }
        ThrottledProgress(int((pos + 1) * 100 / size), "Loading");
    }
    return true;
}

namespace {

// Hands the stream's bytes to a row writer, span by span, until the picture is full or the data ends.
template <class Rows, class Report>
void FeedRows(Rows& rows, TByteStream& bytes, qint64& pos, const std::uint8_t* scale, Report report)
{
    while (!rows.Full()) {
        const std::uint8_t* data = nullptr;
        const qint64 n = bytes.Span(pos, data);
        if (n <= 0)
            return;
        pos += rows.Take(data, n, scale);
        report();
    }
}

}  // namespace

bool TPortablePixelmap::ReadRaw(TByteStream& bytes, qint64& pos, const TPortableHeader& header, int factor)
{
    if (Kind == kAnymapRawBitmap)
        return ReadRawBits(bytes, pos);
    const int width = Bitmap.width();
    const int height = Bitmap.height();
    const qint64 size = std::max<qint64>(bytes.GetSize(), 1);
    const auto maxValue = std::uint32_t(std::clamp(header.MaxValue, 0, 65535));
    const bool wide = maxValue > 255;
    const std::vector<std::uint8_t> scale = ScaleTable(maxValue, wide ? maxValue : 255);
    auto report = [&] { ThrottledProgress(int((pos + 1) * 100 / size), "Loading"); };
    if (factor > 1) {
        TReducedRows rows(Bitmap, header.Width, header.Height, Kind == kAnymapRawGreymap ? 1 : 3, factor);
        FeedRows(rows, bytes, pos, maxValue == 255 ? nullptr : scale.data(), report);
        return true;
    }
    TByteImage image(&Bitmap);
    if (!wide) {
        TByteRows rows(image, width, height, Kind == kAnymapRawGreymap ? 1 : 3);
        FeedRows(rows, bytes, pos, maxValue == 255 ? nullptr : scale.data(), report);
    } else if (Kind == kAnymapRawGreymap)
        ReadWideSamples<1>(bytes, pos, image, width, height, scale, report);
    else
        ReadWideSamples<3>(bytes, pos, image, width, height, scale, report);
    return true;
}
