#include "formats/xbitmap.h"

#include "common/failure_texts.h"
#include "common/limits.h"
#include "formats/byte_image.h"
#include "formats/byte_stream.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr TColorTriple kWhite{255, 255, 255};
constexpr TColorTriple kBlack{0, 0, 0};

// The text after the name, as a plain decimal number: blanks around it allowed, a fraction rounded (ties to
// even); any other text gives 0, and so does a value no picture can have.
int DimensionAfter(const QByteArray& upper, const QByteArray& key)
{
    const QByteArray text = upper.mid(upper.indexOf(key) + key.size()).trimmed();
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0;
    // Beyond any picture either way; clamped so the conversion stays defined and the size check refuses it.
    return int(std::nearbyint(std::clamp(value, -2e9, 2e9)));
}

bool ReadHeader(TByteStream& bytes, qint64& pos, int& width, int& height, qint64& dataPos)
{
    width = -1;
    height = -1;
    qint64 markPos = -1;
    qint64 lineStart = 0;
    qint64 lineEnd = -1;
    while (bytes.ReadLine(pos, -1, markPos, 0, lineEnd, lineStart)) {
        // Only the start of a line decides its meaning; the numbers of a "#define" line are short.
        const QByteArray upper = bytes.ReadString(lineStart, std::min(lineEnd, lineStart + 255)).toUpper();
        if (upper.startsWith("#DEFINE")) {
            if (width == -1 && upper.contains("_WIDTH")) {
                width = DimensionAfter(upper, "_WIDTH");
                continue;
            }
            if (height == -1 && upper.contains("_HEIGHT")) {
                height = DimensionAfter(upper, "_HEIGHT");
                dataPos = pos;  // the data is read from the line after the height
                continue;
            }
        }
        if (width != -1 && height != -1 && upper.startsWith("STATIC"))
            return true;
    }
    return false;
}

}  // namespace

void TXBitmap::LoadFromStream(QIODevice& stream)
{
    RunCodec("Loading", [&](QString& failure) { Load(stream, failure); });
}

void TXBitmap::SaveToStream(QIODevice& stream)
{
    RunCodec("Saving", [&](QString& failure) { Save(stream, failure); });
}

void TXBitmap::Load(QIODevice& stream, QString& failure)
{
    TByteStream bytes;
    bytes.Attach(&stream);
    qint64 pos = stream.pos();
    int width = -1;
    int height = -1;
    qint64 dataPos = pos;
    if (!ReadHeader(bytes, pos, width, height, dataPos)) {
        failure = Text(kUnknownFormat);
        return;
    }
    if (width < 1 || height < 1) {
        failure = Text(kInvalidDimensions);
        return;
    }
    // Every byte of data is written as at least "x" and two hex digits. A picture beyond the allocation ceiling is
    // refused as such below.
    const double smallestData = 3 * std::ceil(width / 8.0) * double(height);
    if (PictureFits(width, height) && !RasterCanFill(width, height, smallestData, bytes.GetSize() - dataPos)) {
        failure = Text(kUnknownFormat);
        return;
    }
    QImage picture = NewBitmap24(width, height);
    if (picture.isNull())
        return;  // "Out of memory." stays: the size is refused before anything is allocated
    picture.fill(Qt::white);
    Bitmap = std::move(picture);
    pos = dataPos;
    ReadData(bytes, pos);
    stream.seek(std::min(pos, stream.size()));
    failure.clear();
}

void TXBitmap::ReadData(TByteStream& bytes, qint64& pos)
{
    const qint64 size = std::max<qint64>(bytes.GetSize(), 1);
    TByteImage image(&Bitmap);
    bool inside = false;
    bool closed = false;
    qint64 markPos = -1;
    qint64 lineStart = 0;
    qint64 lineEnd = -1;
    for (int lines = 1; !closed && bytes.ReadLine(pos, -1, markPos, 0, lineEnd, lineStart); ++lines) {
        if (lines % 40 == 0)
            ThrottledProgress(int((pos + 1) * 100 / size), "Loading");
        // One brace is looked for per line: the opening one until it is found, then the closing one.
        if (!inside) {
            const qint64 brace = bytes.FindByte('{', lineStart, lineEnd);
            if (brace < 0)
                continue;
            inside = true;
            lineStart = brace + 1;
        } else {
            const qint64 brace = bytes.FindByte('}', lineStart, lineEnd);
            if (brace >= 0) {
                closed = true;
                lineEnd = brace - 1;
            }
        }
        // Pieces of 2048 bytes hold fewer hex bytes than a list takes, so a long line loses nothing.
        for (qint64 first = lineStart; first <= lineEnd; first += TByteStream::kWindowSize) {
            TByteList list;
            bytes.ParseHexBytes(first, std::min(lineEnd, first + TByteStream::kWindowSize - 1), list);
            for (int i = 0; i < list.Count; ++i) {
                const std::uint8_t b = list.Data[size_t(i)];
                const int row = image.CursorY();
                // A row's last byte is cut where the row ends: every row starts with a new byte.
                for (int bit = 0; bit < 8 && image.CursorY() == row; ++bit) {
                    if (!image.WritePixel((b >> bit) & 1 ? kBlack : kWhite))
                        return;
                }
            }
        }
    }
}

void TXBitmap::Save(QIODevice& stream, QString& failure)
{
    TByteStream bytes;
    bytes.Attach(&stream);
    qint64 pos = stream.pos();
    const QByteArray header = "#define image_width " + QByteArray::number(Bitmap.width()) + "\r\n"
                              + "#define image_height " + QByteArray::number(Bitmap.height()) + "\r\n"
                              + "static char image_bits[] = {\r\n";
    if (!bytes.WriteString(pos, header) || !WriteData(bytes, pos) || !bytes.Flush())
        return;
    stream.seek(pos);
    failure.clear();
}

bool TXBitmap::WriteData(TByteStream& bytes, qint64& pos)
{
    const int width = Bitmap.width();
    const int height = Bitmap.height();
    TByteImage image(&Bitmap);
    int counter = 0;
    for (int y = 0; y < height; ++y) {
        ThrottledProgress((y + 1) * 100 / height, "Saving");
        const std::uint8_t* row = image.GetRow(y);
        if (!row)
            return false;
        std::uint8_t packed = 0;
        for (int x = 0; x < width; ++x) {
            if (row[3 * x + 2] == 0)
                packed |= std::uint8_t(1 << (x % 8));
            if (x % 8 != 7 && x != width - 1)
                continue;
            TByteList hex;
            TByteStream::AppendHex(packed, hex);
            QByteArray text(reinterpret_cast<const char*>(hex.Data.data()), hex.Count);
            text += ", ";
            // Ten bytes to a line.
            if (++counter == 10) {
                text += "\r\n";
                counter = 0;
            }
            if (!bytes.WriteString(pos, text))
                return false;
            packed = 0;
        }
    }
    return true;
}
