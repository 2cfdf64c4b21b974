#include "formats/portable_pixelmap.h"

#include "formats/byte_image.h"
#include "formats/byte_stream.h"

#include "common/failure_texts.h"
#include "common/limits.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr TColorTriple kWhite{255, 255, 255};
constexpr TColorTriple kBlack{0, 0, 0};

// round(v * 255 / maxValue) with ties to even, in integers; maxValue 0 has only black.
std::uint8_t ScaleSample(std::uint32_t v, std::uint32_t maxValue)
{
    if (maxValue == 0)
        return 0;
    const std::uint64_t twice = std::uint64_t(v) * 255 * 2;
    const std::uint64_t den = std::uint64_t(maxValue) * 2;
    std::uint64_t q = (twice + maxValue) / den;
    if ((twice + maxValue) % den == 0 && (q & 1))
        --q;  // an exact half goes to the even neighbour
    return std::uint8_t(q);
}

// Scaled level of every sample a reader can meet: indices 0..last, samples above maxValue first capped to it.
std::vector<std::uint8_t> ScaleTable(std::uint32_t maxValue, std::uint32_t last)
{
    std::vector<std::uint8_t> table(size_t(last) + 1);
    for (std::uint32_t v = 0; v <= last; ++v)
        table[v] = ScaleSample(std::min(v, maxValue), maxValue);
    return table;
}

}  // namespace

struct TLineRange {
    qint64 Start = 0;
    qint64 End = -1;
};

namespace {

// The next line with its "#" comment cut; false when the lines run out.
bool NextLine(TByteStream& bytes, qint64& pos, TLineRange& line)
{
    qint64 markPos = -1;
    if (!bytes.ReadLine(pos, -1, markPos, '#', line.End, line.Start))
        return false;
    if (markPos != -1)
        line.End = markPos - 1;
    return true;
}

// Collects the numbers of a line of any length: pieces of at most 2048 bytes, cut between numbers, so a long
// line written by another program loses nothing.
template <class Take>
void ForEachNumber(TByteStream& bytes, const TLineRange& line, qint32 max, Take take)
{
    for (qint64 first = line.Start; first <= line.End;) {
        qint64 last = std::min(line.End, first + TByteStream::kWindowSize - 1);
        if (last < line.End) {
            // Looked for in one read of the piece: stepping back byte by byte through the stream would reload
            // its window at every step.
            const QByteArray piece = bytes.ReadString(first, last + 1);
            qsizetype next = piece.size() - 1;  // the byte after the piece's end: it must not be a digit
            while (next >= 1 && piece.at(next) >= '0' && piece.at(next) <= '9')
                --next;
            if (next >= 1)
                last = first + next - 1;
        }
        TNumberList list;
        if (bytes.ParseNumbers(first, last, list, max)) {
            qint32 v = 0;
            while (TByteStream::PopNumber(list, v))
                if (!take(v))
                    return;
        }
        first = last + 1;
    }
}

bool IsBlank(std::uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// One character of the header as netpbm reads it: a "#" comment up to its line break reads as that break.
// False at the end of the stream.
bool HeaderChar(TByteStream& bytes, qint64& pos, std::uint8_t& c)
{
    if (!bytes.ReadByte(pos++, c))
        return false;
    while (c == '#') {
        if (!bytes.ReadByte(pos++, c))
            return false;
        if (c == '\n' || c == '\r')
            return true;
        c = '#';
    }
    return true;
}

// The next number of the header: blanks and comments before it are skipped, and the one character that ends it
// is taken with it. False when something else than a digit comes first, or the stream ends before a number.
bool HeaderNumber(TByteStream& bytes, qint64& pos, qint32& value)
{
    std::uint8_t c = 0;
    do {
        if (!HeaderChar(bytes, pos, c))
            return false;
    } while (IsBlank(c));
    if (c < '0' || c > '9')
        return false;
    std::int64_t v = 0;
    do {
        v = std::min<std::int64_t>(v * 10 + (c - '0'), INT32_MAX);
    } while (HeaderChar(bytes, pos, c) && c >= '0' && c <= '9');
    value = qint32(v);
    return true;
}

// The header as netpbm reads it: the two bytes of the magic, then width, height and (except for bitmaps) the
// maximum value, separated by blanks of any kind, with "#" comments anywhere between them, also on the magic's
// line. The pixel data starts right after the character that ends the last number. An empty stream is a header
// without dimensions; a magic that is not "P" and one more character is no header.
bool ReadHeader(TByteStream& bytes, qint64& pos, TPortableHeader& header, qint64& dataPos)
{
    std::uint8_t p = 0, digit = 0;
    if (!bytes.ReadByte(pos, p)) {
        dataPos = pos;
        return true;
    }
    if ((p != 'P' && p != 'p') || !bytes.ReadByte(pos + 1, digit) || IsBlank(digit))
        return false;
    header.Kind = std::clamp(digit >= '0' && digit <= '9' ? digit - '0' : 0, int(kAnymapPlainBitmap), int(kAnymapRawPixmap));
    pos += 2;
    enum { kWidth, kHeight, kMax } stage = kWidth;
    qint32 v = 0;
    while (HeaderNumber(bytes, pos, v)) {
        if (stage == kWidth) {
            if (v > 0) {
                header.Width = v;
                stage = kHeight;
            }
        } else if (stage == kHeight) {
            if (v > 0) {
                header.Height = v;
                stage = kMax;
            }
            if (header.Kind == kAnymapPlainBitmap || header.Kind == kAnymapRawBitmap) {
                header.MaxValue = 1;
                break;
            }
        } else {
            header.MaxValue = v;
            break;
        }
    }
    dataPos = std::min(pos, bytes.GetSize());
    return true;
}

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

std::int32_t ClampedKind(std::int32_t kind)
{
    return std::clamp<std::int32_t>(kind, kAnymapPlainBitmap, kAnymapRawPixmap);
}

// Raw greymaps and pixmaps of byte samples paint every pixel themselves, white included.
bool PaintsItsOwnBackground(const TPortableHeader& header)
{
    return (header.Kind == kAnymapRawGreymap || header.Kind >= kAnymapRawPixmap) && header.MaxValue <= 255;
}

// The fewest bytes that can hold the whole raster: raw rows as stored, a plain sample at least one digit. In
// floating point: a hostile header's width x height x 6 does not fit 64 bits, and only a comparison needs it.
double SmallestRaster(const TPortableHeader& header)
{
    const double w = header.Width, h = header.Height;
    const double sampleBytes = header.MaxValue > 255 ? 2 : 1;
    switch (ClampedKind(header.Kind)) {
    case kAnymapRawBitmap: return std::floor((w + 7) / 8) * h;
    case kAnymapRawGreymap: return w * h * sampleBytes;
    case kAnymapRawPixmap: return w * h * 3 * sampleBytes;
    case kAnymapPlainPixmap: return w * h * 3;
    default: return w * h;
    }
}

bool DataCanFill(const TPortableHeader& header, std::int64_t available, bool reduced)
{
    // A whole picture beyond the allocation ceiling is refused as such, later. One read reduced is not, so then a
    // few bytes claiming billions of pixels would print a white page as a success.
    if (!reduced && !PictureFits(header.Width, header.Height))
        return true;
    return RasterCanFill(header.Width, header.Height, SmallestRaster(header), available);
}

}  // namespace

void TPortablePixelmap::Assign(const TGraphic& source)
{
    CopyFromGraphic(source);
    if (const auto* other = dynamic_cast<const TPortablePixelmap*>(&source))
        Kind = ClampedKind(other->Kind);
}

void TPortablePixelmap::LoadFromStream(QIODevice& stream)
{
    RunCodec("Loading", [&](QString& failure) { Load(stream, failure); });
}

void TPortablePixelmap::SaveToStream(QIODevice& stream)
{
    RunCodec("Saving", [&](QString& failure) { Save(stream, failure); });
}

void TPortablePixelmap::Load(QIODevice& stream, QString& failure)
{
    TByteStream bytes;
    bytes.Attach(&stream);
    qint64 pos = stream.pos();
    TPortableHeader header;
    qint64 dataPos = pos;
    if (!ReadHeader(bytes, pos, header, dataPos)) {
        failure = Text(kUnknownFormat);
        return;
    }
    if (header.Width <= 0 || header.Height <= 0) {
        failure = Text(kInvalidDimensions);
        return;
    }
    const int factor = ReductionFor(header);
    if (!DataCanFill(header, bytes.GetSize() - dataPos, factor > 1)) {
        failure = Text(kUnknownFormat);
        return;
    }
    FullSize = QSize(header.Width, header.Height);
    QImage picture = NewBitmap24(int((std::int64_t(header.Width) + factor - 1) / factor),
                                 int((std::int64_t(header.Height) + factor - 1) / factor));
    if (picture.isNull())
        return;  // "Out of memory." stays: the size is refused before anything is allocated
    if (!PaintsItsOwnBackground(header))
        picture.fill(Qt::white);
    Bitmap = std::move(picture);
    Kind = ClampedKind(header.Kind);
    pos = dataPos;
    const bool read = Kind < kAnymapRawBitmap ? ReadPlain(bytes, pos, header) : ReadRaw(bytes, pos, header, factor);
    stream.seek(std::min(pos, stream.size()));
    if (read)
        failure.clear();
}

bool TPortablePixelmap::ReadPlain(TByteStream& bytes, qint64& pos, const TPortableHeader& header)
{
    const auto maxValue = std::uint32_t(std::min(header.MaxValue, 65535));
    const std::vector<std::uint8_t> scale = ScaleTable(maxValue, maxValue);
    const qint64 size = std::max<qint64>(bytes.GetSize(), 1);
    TByteImage image(&Bitmap);
    std::uint8_t rgb[3] = {};
    int channel = 0;
    bool full = false;
    TLineRange line;
    for (int lines = 1; !full && NextLine(bytes, pos, line); ++lines) {
        if (lines % 40 == 0)
            ThrottledProgress(int((pos + 1) * 100 / size), "Loading");
        if (Kind == kAnymapPlainBitmap) {
            full = !ReadPlainBits(bytes, line, image);
            continue;
        }
        ForEachNumber(bytes, line, qint32(maxValue), [&](qint32 v) {
            if (Kind == kAnymapPlainGreymap)
                full = !image.WritePixel({scale[size_t(v)], scale[size_t(v)], scale[size_t(v)]});
            else {
                rgb[channel++] = scale[size_t(v)];
                if (channel == 3) {
                    channel = 0;
                    full = !image.WritePixel({rgb[2], rgb[1], rgb[0]});
                }
            }
            return !full;
        });
    }
    return true;
}

// In a plain bitmap every digit is a pixel of its own, with or without blanks between them ("101" is black,
// white, black), as other programs write them. False when the picture is full.
bool TPortablePixelmap::ReadPlainBits(TByteStream& bytes, const TLineRange& line, TByteImage& image)
{
    for (qint64 i = line.Start; i <= line.End;) {
        const std::uint8_t* data = nullptr;
        const qint64 n = std::min(bytes.Span(i, data), line.End - i + 1);
        if (n <= 0)
            return true;
        for (qint64 k = 0; k < n; ++k) {
            const std::uint8_t c = data[k];
            if (c >= '0' && c <= '9' && !image.WritePixel(c == '0' ? kWhite : kBlack))
                return false;
        }
        i += n;
    }
    return true;
}

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

int TPortablePixelmap::ReductionFor(const TPortableHeader& header) const
{
    if (!NeededSize || !PaintsItsOwnBackground(header))
        return 1;
    const QSize needed = NeededSize(QSize(header.Width, header.Height)).expandedTo(QSize(1, 1));
    // k <= side / need keeps side / k, and so the rounded-up reduced side, at or above the need.
    return std::max(1, std::min(header.Width / needed.width(), header.Height / needed.height()));
}

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
        while (!rows.Full()) {
            const std::uint8_t* data = nullptr;
            const qint64 n = bytes.Span(pos, data);
            if (n <= 0)
                break;
            pos += rows.Take(data, n, maxValue == 255 ? nullptr : scale.data());
            report();
        }
        return true;
    }
    TByteImage image(&Bitmap);
    if (!wide) {
        TByteRows rows(image, width, height, Kind == kAnymapRawGreymap ? 1 : 3);
        while (!rows.Full()) {
            const std::uint8_t* data = nullptr;
            const qint64 n = bytes.Span(pos, data);
            if (n <= 0)
                break;
            pos += rows.Take(data, n, maxValue == 255 ? nullptr : scale.data());
            report();
        }
    } else if (Kind == kAnymapRawGreymap)
        ReadWideSamples<1>(bytes, pos, image, width, height, scale, report);
    else
        ReadWideSamples<3>(bytes, pos, image, width, height, scale, report);
    return true;
}

void TPortablePixelmap::Save(QIODevice& stream, QString& failure)
{
    const int kind = Kind >= kAnymapPlainBitmap && Kind <= kAnymapRawPixmap ? Kind : kAnymapRawPixmap;
    TByteStream bytes;
    bytes.Attach(&stream);
    qint64 pos = stream.pos();
    QByteArray header = "P" + QByteArray::number(kind) + "\n" + QByteArray::number(Bitmap.width()) + " "
                        + QByteArray::number(Bitmap.height()) + "\n";
    if (kind != kAnymapPlainBitmap && kind != kAnymapRawBitmap)
        header += "\n255\n";
    // The header is flushed at once so that a stream refusing writes is told apart from a failure in the data.
    if (!bytes.WriteString(pos, header) || !bytes.Flush()) {
        failure = Text(kStreamWriteFailure);
        return;
    }
    const bool written = kind < kAnymapRawBitmap ? WritePlain(bytes, pos, kind) : WriteRaw(bytes, pos, kind);
    if (!bytes.Flush() || !written)
        return;
    stream.seek(pos);
    failure.clear();
}

namespace {

// A sample in decimal without leading zeros (0 is "0").
char* AppendDecimal(char* out, unsigned value)
{
    if (value >= 100)
        *out++ = char('0' + value / 100);
    if (value >= 10)
        *out++ = char('0' + value / 10 % 10);
    *out++ = char('0' + value % 10);
    return out;
}

}  // namespace

bool TPortablePixelmap::WritePlain(TByteStream& bytes, qint64& pos, int kind)
{
    const int width = Bitmap.width();
    const int height = Bitmap.height();
    TByteImage image(&Bitmap);
    int lineCounter = 0;
    for (int y = 0; y < height; ++y) {
        ThrottledProgress((y + 1) * 100 / height, "Saving");
        const std::uint8_t* row = image.GetRow(y);
        if (!row)
            return false;
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = row + 3 * x;
            char text[20];
            char* end = text;
            if (kind == kAnymapPlainBitmap) {
                *end++ = p[2] == 0 ? '1' : '0';
                *end++ = ' ';
            } else {
                for (int channel = 2; channel >= (kind == kAnymapPlainGreymap ? 2 : 0); --channel) {
                    end = AppendDecimal(end, p[channel]);
                    *end++ = ' ';
                }
            }
            // Six pixels to a line keeps every line within 72 columns.
            lineCounter += 12;
            if (lineCounter >= 72) {
                *end++ = '\r';
                *end++ = '\n';
                lineCounter = 0;
            }
            for (const char* c = text; c != end; ++c)
                if (!bytes.WriteByte(pos++, std::uint8_t(*c)))
                    return false;
        }
    }
    return true;
}

bool TPortablePixelmap::WriteRaw(TByteStream& bytes, qint64& pos, int kind)
{
    const int width = Bitmap.width();
    const int height = Bitmap.height();
    TByteImage image(&Bitmap);
    for (int y = 0; y < height; ++y) {
        ThrottledProgress((y + 1) * 100 / height, "Saving");
        const std::uint8_t* row = image.GetRow(y);
        if (!row)
            return false;
        std::uint8_t packed = 0;
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = row + 3 * x;
            bool ok = true;
            if (kind == kAnymapRawBitmap) {
                if (p[2] == 0)
                    packed |= std::uint8_t(0x80 >> (x % 8));
                if (x % 8 == 7 || x == width - 1) {
                    ok = bytes.WriteByte(pos++, packed);
                    packed = 0;
                }
            } else if (kind == kAnymapRawGreymap) {
                ok = bytes.WriteByte(pos++, p[2]);
            } else {
                ok = bytes.WriteByte(pos++, p[2]) && bytes.WriteByte(pos++, p[1]) && bytes.WriteByte(pos++, p[0]);
            }
            if (!ok)
                return false;
        }
    }
    return true;
}
