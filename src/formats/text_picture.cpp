#include "formats/text_picture.h"

#include "common/failure_texts.h"
#include "common/guarded.h"
#include "formats/byte_image.h"
#include "formats/byte_stream.h"

#include <QBuffer>

#include <array>
#include <unordered_map>

struct TTextPalette {
    std::array<TColorTriple, 256> Colors{};
    int Count = 0;
};

namespace {

constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz()";
constexpr int kSignature = 29;  // "T"

// Digit value of every byte, -1 for the bytes that are not digits of the alphabet.
constexpr std::array<std::int8_t, 256> MakeDigitTable()
{
    std::array<std::int8_t, 256> table{};
    for (auto& v : table)
        v = -1;
    for (int i = 0; i < 64; ++i)
        table[std::uint8_t(kAlphabet[i])] = std::int8_t(i);
    return table;
}
constexpr std::array<std::int8_t, 256> kDigits = MakeDigitTable();

// Kinds 1..6 hold 1..6 bits per pixel.
int BitsPerPixel(int kind)
{
    return kind;
}

int PixelsPerCharacter(int kind)
{
    static constexpr int kPixels[] = {0, 6, 3, 2, 1, 1, 1};
    return kPixels[kind];
}

int ColorCount(int kind)
{
    return 1 << kind;
}

TTextPalette DefaultPalette()
{
    // (R, G, B): black, red, yellow, green, blue, silver, grey, white; the rest black.
    static constexpr std::uint8_t kRgb[8][3] = {{0, 0, 0},     {255, 0, 0},     {255, 255, 0},   {0, 255, 0},
                                                {0, 0, 255},   {192, 192, 192}, {128, 128, 128}, {255, 255, 255}};
    TTextPalette palette;
    for (int i = 0; i < 8; ++i)
        palette.Colors[size_t(i)] = {kRgb[i][2], kRgb[i][1], kRgb[i][0]};
    return palette;
}

struct THeader {
    int Kind = 6;
    bool KindSet = false;
    int Width = 0;
    int Height = 0;
    TTextPalette Palette;
};

// Reads the header up to its "~"; false when the stream ends first, a "#" comes first or the kind is bad.
// pos is left just after the character that ended the header.
bool ReadHeader(TByteStream& bytes, qint64& pos, THeader& header)
{
    enum { kSignatureState, kKindState, kWidthState, kHeightState, kPaletteState, kDone } state = kSignatureState;
    int depth = 0;
    int value = 0;
    int weight = 1;
    int digits = 0;
    int entries = 0;
    std::uint8_t c = 0;
    while (bytes.ReadByte(pos, c)) {
        ++pos;
        if (c == '{') {
            ++depth;
            continue;
        }
        if (c == '}') {
            --depth;
            continue;
        }
        if (depth != 0)
            continue;
        if (c == '~')
            return header.KindSet && header.Width > 0 && header.Height > 0;
        if (c == '#')
            return false;
        const int d = kDigits[c];
        if (d < 0)
            continue;
        switch (state) {
        case kSignatureState:
            if (d == kSignature)
                state = kKindState;
            break;
        case kKindState:
            if (d < 1 || d > 6)
                return false;
            header.Kind = d;
            header.KindSet = true;
            header.Palette = DefaultPalette();
            header.Palette.Count = ColorCount(d);
            state = kWidthState;
            break;
        default:
            if (state == kDone)
                break;
            value += d * weight;
            weight *= 64;
            ++digits;
            if (state == kWidthState && digits == 3) {
                header.Width = value;
                state = kHeightState;
            } else if (state == kHeightState && digits == 3) {
                header.Height = value;
                state = kPaletteState;
            } else if (state == kPaletteState && digits == 4) {
                header.Palette.Colors[size_t(entries)] = {std::uint8_t(value >> 16), std::uint8_t(value >> 8),
                                                          std::uint8_t(value)};
                if (++entries == header.Palette.Count)
                    state = kDone;
            } else {
                break;
            }
            value = 0;
            weight = 1;
            digits = 0;
            break;
        }
    }
    return false;
}

QByteArray Digits(int value, int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i, value /= 64)
        text += kAlphabet[value % 64];
    return text;
}

std::uint32_t Key(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
}

// The picture's colours in the order found, row by row from the top, up to the kind's colour count.
TTextPalette ScanPalette(TByteImage& image, int width, int height, int kind)
{
    TTextPalette palette;
    std::unordered_map<std::uint32_t, int> seen;
    const int capacity = ColorCount(kind);
    for (int y = 0; y < height && palette.Count < capacity; ++y) {
        const std::uint8_t* row = image.GetRow(y);
        for (int x = 0; row && x < width && palette.Count < capacity; ++x) {
            const std::uint8_t* p = row + 3 * x;
            if (seen.emplace(Key(p), palette.Count).second)
                palette.Colors[size_t(palette.Count++)] = {p[0], p[1], p[2]};
        }
    }
    return palette;
}

// Writes the data characters with the line breaks of a line style.
class TDataWriter {
public:
    TDataWriter(TByteStream& bytes, qint64& pos, int style) : FBytes(bytes), FPos(pos), FStyle(style) {}

    bool Start()
    {
        if (FStyle == 1)
            return FBytes.WriteString(FPos, "'+'");
        if (FStyle == 2)
            return FBytes.WriteString(FPos, "\r\n");
        return true;
    }

    bool Put(char c)
    {
        if (!FBytes.WriteByte(FPos, std::uint8_t(c)))
            return false;
        ++FPos;
        if (FStyle == 0 || ++FCount < (FStyle == 1 ? 250 : 68))
            return true;
        FCount = 0;
        if (FStyle == 2)
            return FBytes.WriteString(FPos, "\r\n");
        // Quoted pieces joined by "+"; a real line break at the 3rd join and at every 4th after it.
        ++FBreaks;
        return FBytes.WriteString(FPos, FBreaks % 4 == 3 ? "'+\r\n'" : "'+'");
    }

private:
    TByteStream& FBytes;
    qint64& FPos;
    int FStyle;
    int FCount = 0;
    int FBreaks = 0;
};

// The colours of the pixels each digit stands for, first pixel first: a group splits the digit, least
// significant bits first; a single pixel takes the whole digit. Indices beyond the palette take its last entry.
std::array<std::array<TColorTriple, 6>, 64> GroupColours(int kind, const TTextPalette& palette)
{
    const int bits = BitsPerPixel(kind);
    const int group = PixelsPerCharacter(kind);
    const int mask = group == 1 ? 63 : (1 << bits) - 1;
    std::array<std::array<TColorTriple, 6>, 64> colours{};
    for (int d = 0; d < 64; ++d)
        for (int i = 0; i < group; ++i)
            colours[size_t(d)][size_t(i)] = palette.Colors[size_t(std::min((d >> (bits * i)) & mask, palette.Count - 1))];
    return colours;
}

}  // namespace

void TTextPicture::Assign(const TGraphic& source)
{
    CopyFromGraphic(source);
    if (const auto* other = dynamic_cast<const TTextPicture*>(&source)) {
        LineStyle = other->LineStyle;
        Depth = other->Depth;
    }
}

void TTextPicture::LoadFromStream(QIODevice& stream)
{
    RunCodec("Loading", [&](QString& failure) { Load(stream, failure); });
}

void TTextPicture::SaveToStream(QIODevice& stream)
{
    RunCodec("Saving", [&](QString& failure) { Save(stream, failure); });
}

bool TTextPicture::LoadFromString(const QString& text)
{
    LastError = kOutOfMemory;
    return GuardedOr(false, [&] {
        QByteArray bytes = text.toLatin1();
        QBuffer buffer(&bytes);
        if (!buffer.open(QIODevice::ReadOnly))
            return false;
        LoadFromStream(buffer);
        return true;
    });
}

void TTextPicture::Load(QIODevice& stream, QString& failure)
{
    TByteStream bytes;
    bytes.Attach(&stream);
    qint64 pos = stream.pos();
    THeader header;
    const bool good = ReadHeader(bytes, pos, header);
    stream.seek(std::min(pos, stream.size()));
    if (!good) {
        failure = kUnknownFormat;
        return;
    }
    if (header.Kind < 1 || header.Kind > 6 || header.Width < 1 || header.Height < 1) {
        failure = kUnexpectedError;
        return;
    }
    QImage picture = NewBitmap24(header.Width, header.Height);
    if (picture.isNull())
        return;  // "Out of memory" stays: the size is refused before anything is allocated
    Bitmap = std::move(picture);  // Decode paints every pixel, white where the text ends early
    Decode(bytes, pos, header.Kind, header.Palette);
    stream.seek(std::min(pos, stream.size()));
    failure.clear();
}

void TTextPicture::Decode(TByteStream& bytes, qint64& pos, int kind, const TTextPalette& palette)
{
    const int width = Bitmap.width();
    const int height = Bitmap.height();
    const int group = PixelsPerCharacter(kind);
    const auto colours = GroupColours(kind, palette);
    const qint64 size = std::max<qint64>(bytes.GetSize(), 1);
    TByteImage image(&Bitmap);
    std::uint8_t* row = image.GetRow(0);
    int x = 0;
    int y = 0;
    // Pixels the text does not reach stay white, also when a progress handler throws.
    struct TWhiteRest {
        TByteImage& Image;
        const int& X;
        const int& Y;
        ~TWhiteRest() { Image.FillWhiteFrom(X, Y); }
    } whiteRest{image, x, y};
    int depth = 0;
    while (row) {
        const std::uint8_t* data = nullptr;
        const qint64 n = bytes.Span(pos, data);
        if (n <= 0)
            return;
        for (qint64 k = 0; k < n; ++k) {
            const std::uint8_t c = data[k];
            const int d = kDigits[c];
            if (d < 0 || depth != 0) {
                if (c == '{')
                    ++depth;
                else if (c == '}')
                    --depth;
                else if (c == '#' && depth == 0) {
                    pos += k + 1;
                    return;
                }
                continue;
            }
            for (int i = 0; i < group; ++i) {
                const TColorTriple& color = colours[size_t(d)][size_t(i)];
                std::uint8_t* p = row + 3 * x;
                p[0] = color.Blue;
                p[1] = color.Green;
                p[2] = color.Red;
                if (++x == width) {
                    x = 0;
                    if (++y == height) {
                        pos += k + 1;  // the rest of the group and of the text is dropped
                        return;
                    }
                    row = image.GetRow(y);
                }
            }
        }
        pos += n;
        ThrottledProgress(int((pos + 1) * 100 / size), "Loading");
    }
}

void TTextPicture::Save(QIODevice& stream, QString& failure)
{
    const int kind = Depth;
    const int width = Bitmap.width();
    const int height = Bitmap.height();
    // Three digits hold a side of at most 262143; a larger picture would be written as a different one.
    if (width > kMaxSide || height > kMaxSide) {
        failure = kCapacityReached;
        return;
    }
    TByteStream bytes;
    bytes.Attach(&stream);
    qint64 pos = stream.pos();
    TByteImage image(&Bitmap);
    const TTextPalette palette = ScanPalette(image, width, height, kind);
    QByteArray header = "T" + Digits(kind, 1) + Digits(width, 3) + Digits(height, 3);
    for (int i = 0; i < palette.Count; ++i) {
        const TColorTriple& c = palette.Colors[size_t(i)];
        header += Digits(c.Red | c.Green << 8 | c.Blue << 16, 4);
    }
    header += '~';
    if (!bytes.WriteString(pos, header) || !WritePixels(bytes, pos, kind, palette)
        || !bytes.WriteString(pos, "#") || !bytes.Flush())
        return;
    stream.seek(pos);
    failure.clear();
}

bool TTextPicture::WritePixels(TByteStream& bytes, qint64& pos, int kind, const TTextPalette& palette)
{
    std::unordered_map<std::uint32_t, int> indices;
    for (int i = palette.Count - 1; i >= 0; --i) {
        const TColorTriple& c = palette.Colors[size_t(i)];
        indices[std::uint32_t(c.Blue) | std::uint32_t(c.Green) << 8 | std::uint32_t(c.Red) << 16] = i;
    }
    const int width = Bitmap.width();
    const int height = Bitmap.height();
    const int bits = BitsPerPixel(kind);
    const int group = PixelsPerCharacter(kind);
    TDataWriter writer(bytes, pos, LineStyle);
    if (!writer.Start())
        return false;
    TByteImage image(&Bitmap);
    // The group runs on across rows; a last partial group keeps what the previous one left behind.
    std::array<int, 6> indexes{};
    int filled = 0;
    for (int y = 0; y < height; ++y) {
        ThrottledProgress((y + 1) * 100 / height, "Saving");
        const std::uint8_t* row = image.GetRow(y);
        if (!row)
            return false;
        for (int x = 0; x < width; ++x) {
            const auto found = indices.find(Key(row + 3 * x));
            indexes[size_t(filled++)] = found == indices.end() ? 0 : found->second;
            if (filled < group)
                continue;
            filled = 0;
            int digit = 0;
            for (int i = 0; i < group; ++i)
                digit |= indexes[size_t(i)] << (bits * i);
            if (!writer.Put(kAlphabet[digit]))
                return false;
        }
    }
    if (filled > 0) {
        int digit = 0;
        for (int i = 0; i < group; ++i)
            digit |= indexes[size_t(i)] << (bits * i);
        return writer.Put(kAlphabet[digit]);
    }
    return true;
}

QImage TextPictureToBitmap(const QString& text)
{
    TTextPicture picture;
    if (!picture.LoadFromString(text))
        return QImage();
    return picture.GetBitmap();
}
