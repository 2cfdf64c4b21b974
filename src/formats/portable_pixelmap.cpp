#include "formats/portable_pixelmap.h"

#include "formats/byte_image.h"
#include "formats/byte_stream.h"
#include "formats/portable_header.h"

#include "common/failure_texts.h"

#include <algorithm>
#include <vector>

using portable_detail::ClampedKind;
using portable_detail::DataCanFill;
using portable_detail::PaintsItsOwnBackground;
using portable_detail::ReadHeader;
using portable_detail::ScaleTable;

namespace {

constexpr TColorTriple kWhite{255, 255, 255};
constexpr TColorTriple kBlack{0, 0, 0};

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

int TPortablePixelmap::ReductionFor(const TPortableHeader& header) const
{
    if (!NeededSize || !PaintsItsOwnBackground(header))
        return 1;
    const QSize needed = NeededSize(QSize(header.Width, header.Height)).expandedTo(QSize(1, 1));
    // k <= side / need keeps side / k, and so the rounded-up reduced side, at or above the need.
    return std::max(1, std::min(header.Width / needed.width(), header.Height / needed.height()));
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
