#include "engine/manipulation.h"

#include "common/failure_texts.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace {

const QString kUndefinedImage = QStringLiteral("Undefined image handle.");
// The texts are keys of the translation table: flip and mirror end theirs with a full stop, the others do not.
const QString kBlockOutOfMemory = QStringLiteral("Out of memory.");

constexpr int kBytesPerPixel24 = 3;

bool Fail(TManipulationInfo& info, const QString& text)
{
    info.ErrorText = text;
    return false;
}

// The area as half-open column and row ranges inside the picture, whichever way AreaExclusive counts.
TArea HalfOpenArea(const TManipulationInfo& info)
{
    TArea area = info.Area;
    if (!info.AreaExclusive) {
        ++area.Right;
        ++area.Bottom;
    }
    area.Right = std::min(area.Right, std::int32_t(info.Bitmap->width()));
    area.Bottom = std::min(area.Bottom, std::int32_t(info.Bitmap->height()));
    return area;
}

bool IsEmpty(const TArea& area)
{
    return area.Right <= area.Left || area.Bottom <= area.Top;
}

// ---- flip ---------------------------------------------------------------------------------------------------

// Exchanges two byte runs through a small buffer that stays in the first-level cache.
void SwapBytes(uchar* a, uchar* b, qsizetype count)
{
    std::array<uchar, 4096> buffer;
    for (qsizetype done = 0; done < count; done += qsizetype(buffer.size())) {
        const auto chunk = std::min(qsizetype(buffer.size()), count - done);
        std::memcpy(buffer.data(), a + done, chunk);
        std::memcpy(a + done, b + done, chunk);
        std::memcpy(b + done, buffer.data(), chunk);
    }
}

void FlipWholeBytes(QImage& image, uchar* bits, const TArea& area)
{
    const qsizetype stride = image.bytesPerLine();
    const qsizetype bytesPerPixel = image.depth() / 8;
    const qsizetype offset = area.Left * bytesPerPixel;
    const qsizetype count = (area.Right - area.Left) * bytesPerPixel;
    for (int top = area.Top, bottom = area.Bottom - 1; top < bottom; ++top, --bottom)
        SwapBytes(bits + top * stride + offset, bits + bottom * stride + offset, count);
}

// Pictures of less than a byte per pixel: one pixel at a time; only 1-bit pictures get here.
void FlipSubBytePixels(QImage& image, const TArea& area)
{
    for (int top = area.Top, bottom = area.Bottom - 1; top < bottom; ++top, --bottom) {
        for (int x = area.Left; x < area.Right; ++x) {
            const int upper = image.pixelIndex(x, top);
            image.setPixel(x, top, uint(image.pixelIndex(x, bottom)));
            image.setPixel(x, bottom, uint(upper));
        }
    }
}

// ---- mirror -------------------------------------------------------------------------------------------------

quint32 LoadWord(const uchar* p)
{
    quint32 word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

void StoreWord(uchar* p, quint32 word)
{
    std::memcpy(p, &word, sizeof word);
}

// Reverses the order of four 3-byte pixels held in 12 bytes, as three little-endian words: a b c d -> d c b a.
std::array<quint32, 3> ReverseFourTriples(quint32 w0, quint32 w1, quint32 w2)
{
    return {(w2 >> 8) | ((w1 << 8) & 0xFF000000u),
            (w1 >> 24) | ((w2 & 0xFFu) << 8) | ((w0 >> 8) & 0x00FF0000u) | (w1 << 24),
            ((w1 >> 8) & 0xFFu) | (w0 << 8)};
}

void LoadFourTriples(const uchar* p, quint32& w0, quint32& w1, quint32& w2)
{
    w0 = LoadWord(p);
    w1 = LoadWord(p + 4);
    w2 = LoadWord(p + 8);
}

void StoreFourTriples(uchar* p, const std::array<quint32, 3>& words)
{
    StoreWord(p, words[0]);
    StoreWord(p + 4, words[1]);
    StoreWord(p + 8, words[2]);
}

void SwapPixels(uchar* a, uchar* b, qsizetype bytesPerPixel)
{
    std::swap_ranges(a, a + bytesPerPixel, b);
}

// Reverses count 3-byte pixels in place: four pixels from each end per step as whole words, the middle one by one.
void ReverseTriples(uchar* row, qsizetype count)
{
    constexpr qsizetype kBlock = 4;
    qsizetype left = 0;
    qsizetype right = count - kBlock;  // first of the last four pixels
    for (; right - left >= kBlock; left += kBlock, right -= kBlock) {
        uchar* leftBytes = row + left * kBytesPerPixel24;
        uchar* rightBytes = row + right * kBytesPerPixel24;
        quint32 l0, l1, l2, r0, r1, r2;
        LoadFourTriples(leftBytes, l0, l1, l2);
        LoadFourTriples(rightBytes, r0, r1, r2);
        StoreFourTriples(leftBytes, ReverseFourTriples(r0, r1, r2));
        StoreFourTriples(rightBytes, ReverseFourTriples(l0, l1, l2));
    }
    for (qsizetype last = right + kBlock - 1; left < last; ++left, --last)
        SwapPixels(row + left * kBytesPerPixel24, row + last * kBytesPerPixel24, kBytesPerPixel24);
}

void ReversePixels(uchar* row, qsizetype count, qsizetype bytesPerPixel)
{
    for (uchar *left = row, *right = row + (count - 1) * bytesPerPixel; left < right;
         left += bytesPerPixel, right -= bytesPerPixel)
        SwapPixels(left, right, bytesPerPixel);
}

void MirrorWholeBytes(QImage& image, uchar* bits, const TArea& area)
{
    const qsizetype stride = image.bytesPerLine();
    const qsizetype bytesPerPixel = image.depth() / 8;
    const qsizetype count = area.Right - area.Left;
    for (int y = area.Top; y < area.Bottom; ++y) {
        uchar* row = bits + y * stride + area.Left * bytesPerPixel;
        if (bytesPerPixel == kBytesPerPixel24)
            ReverseTriples(row, count);
        else
            ReversePixels(row, count, bytesPerPixel);
    }
}

void MirrorSubBytePixels(QImage& image, const TArea& area)
{
    for (int y = area.Top; y < area.Bottom; ++y) {
        for (int left = area.Left, right = area.Right - 1; left < right; ++left, --right) {
            const int leftIndex = image.pixelIndex(left, y);
            image.setPixel(left, y, uint(image.pixelIndex(right, y)));
            image.setPixel(right, y, uint(leftIndex));
        }
    }
}

// Flip and mirror share everything but the pixel work.
using TBytePass = void (*)(QImage&, uchar*, const TArea&);
using TSubBytePass = void (*)(QImage&, const TArea&);

bool ReverseArea(TManipulationInfo& info, TBytePass bytePass, TSubBytePass subBytePass)
{
    if (!ValidateManipulation(info))
        return false;
    const TArea area = HalfOpenArea(info);
    if (IsEmpty(area))
        return true;
    QImage& image = *info.Bitmap;
    if (image.depth() % 8 != 0) {
        subBytePass(image, area);
        return true;
    }
    uchar* bits = image.bits();  // unshares the pixels; null when that copy cannot be made
    if (!bits)
        return Fail(info, kBlockOutOfMemory);
    bytePass(image, bits, area);
    return true;
}

// ---- quarter turn -------------------------------------------------------------------------------------------

// The turned picture is filled in square tiles, so the source rows one tile reads stay in cache while their
// columns are collected; inside a tile, 4 x 4 pixel blocks move as whole words. The tiles of one band of turned
// rows read the source a short stretch of many rows at a time, a pattern the processor does not foresee, so
// each tile asks for the next tile's source lines itself.
constexpr int kTurnTile = 64;
constexpr int kTurnBlock = 4;

struct TTurnPlan {
    const uchar* Source;
    qsizetype SourceStride;
    uchar* Target;
    qsizetype TargetStride;
    int Width;   // of the turned picture: the source's height
    int Height;  // of the turned picture: the source's width
};

// Turned pixel (j, i) comes from source column i, row width - 1 - j when turning clockwise, and from source
// column height - 1 - i, row j when turning the other way.
template <bool Clockwise>
const uchar* SourcePixel(const TTurnPlan& plan, int i, int j)
{
    const int column = Clockwise ? i : plan.Height - 1 - i;
    const int row = Clockwise ? plan.Width - 1 - j : j;
    return plan.Source + row * plan.SourceStride + column * kBytesPerPixel24;
}

uchar* TargetPixel(const TTurnPlan& plan, int i, int j)
{
    return plan.Target + i * plan.TargetStride + j * kBytesPerPixel24;
}

template <bool Clockwise>
void TurnPixel(const TTurnPlan& plan, int i, int j)
{
    std::memcpy(TargetPixel(plan, i, j), SourcePixel<Clockwise>(plan, i, j), kBytesPerPixel24);
}

quint64 LoadWord64(const uchar* p)
{
    quint64 word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

void StoreWord64(uchar* p, quint64 word)
{
    std::memcpy(p, &word, sizeof word);
}

using TFourPixels = std::array<quint64, kTurnBlock>;

// Four 3-byte pixels from 12 bytes, each in the low bytes of its own word.
TFourPixels LoadFourPixels(const uchar* p)
{
    const quint64 low = LoadWord64(p);
    const quint64 high = LoadWord(p + 8);
    constexpr quint64 kPixel = 0xFFFFFF;
    return {low & kPixel, (low >> 24) & kPixel, ((low >> 48) | (high << 16)) & kPixel, high >> 8};
}

void StoreFourPixels(uchar* p, quint64 a, quint64 b, quint64 c, quint64 d)
{
    StoreWord64(p, a | (b << 24) | (c << 48));
    StoreWord(p + 8, quint32((c >> 16) | (d << 8)));
}

// Turns the 4 x 4 block whose top-left turned pixel is (j, i): four reads of 12 bytes, four writes of 12 bytes.
template <bool Clockwise>
void TurnBlock(const TTurnPlan& plan, int i, int j)
{
    // The source's four columns are adjacent; turning the other way takes them in reverse order.
    const uchar* from = SourcePixel<Clockwise>(plan, Clockwise ? i : i + kTurnBlock - 1, j);
    const qsizetype step = Clockwise ? -plan.SourceStride : plan.SourceStride;
    std::array<TFourPixels, kTurnBlock> rows;  // rows[r][k]: source row r of the block, column k
    for (int r = 0; r < kTurnBlock; ++r)
        rows[r] = LoadFourPixels(from + r * step);
    for (int k = 0; k < kTurnBlock; ++k) {
        const int targetRow = Clockwise ? i + k : i + kTurnBlock - 1 - k;
        StoreFourPixels(TargetPixel(plan, targetRow, j), rows[0][k], rows[1][k], rows[2][k], rows[3][k]);
    }
}

// Asks for the source bytes of turned rows [i0, i1) at turned column j: one stretch of one source row.
template <bool Clockwise>
void PrefetchSourceRow(const TTurnPlan& plan, int i0, int i1, int j)
{
    constexpr qsizetype kLine = 64;
    const uchar* first = SourcePixel<Clockwise>(plan, Clockwise ? i0 : i1 - 1, j);
    const uchar* last = first + qsizetype(i1 - i0) * kBytesPerPixel24 - 1;
    for (const uchar* p = first; p < last; p += kLine)
        __builtin_prefetch(p);
    __builtin_prefetch(last);
}

// The tile turns turned rows [i0, i1) by columns [j0, j1). The source rows of the next tile along the band,
// columns [j1, jNext), are asked for a few at a time, so they arrive while this tile is being turned.
template <bool Clockwise>
void TurnTile(const TTurnPlan& plan, int i0, int i1, int j0, int j1, int jNext)
{
    const int iBlocksEnd = i0 + (i1 - i0) / kTurnBlock * kTurnBlock;
    const int jBlocksEnd = j0 + (j1 - j0) / kTurnBlock * kTurnBlock;
    const int blockRows = std::max((iBlocksEnd - i0) / kTurnBlock, 1);
    const int nextColumns = jNext - j1;
    for (int i = i0, b = 0; i < iBlocksEnd; i += kTurnBlock, ++b) {
        for (int j = j1 + b * nextColumns / blockRows; j < j1 + (b + 1) * nextColumns / blockRows; ++j)
            PrefetchSourceRow<Clockwise>(plan, i0, i1, j);
        for (int j = j0; j < jBlocksEnd; j += kTurnBlock)
            TurnBlock<Clockwise>(plan, i, j);
        for (int k = i; k < i + kTurnBlock; ++k)
            for (int j = jBlocksEnd; j < j1; ++j)
                TurnPixel<Clockwise>(plan, k, j);
    }
    for (int i = iBlocksEnd; i < i1; ++i)
        for (int j = j0; j < j1; ++j)
            TurnPixel<Clockwise>(plan, i, j);
}

template <bool Clockwise>
void TurnTiles(const TTurnPlan& plan)
{
    for (int i0 = 0; i0 < plan.Height; i0 += kTurnTile) {
        const int i1 = std::min(i0 + kTurnTile, plan.Height);
        for (int j0 = 0; j0 < plan.Width; j0 += kTurnTile) {
            const int j1 = std::min(j0 + kTurnTile, plan.Width);
            TurnTile<Clockwise>(plan, i0, i1, j0, j1, std::min(j1 + kTurnTile, plan.Width));
        }
    }
}

void TurnInto(const QImage& source, QImage& turned, bool clockwise)
{
    const TTurnPlan plan{source.constBits(), source.bytesPerLine(), turned.bits(), turned.bytesPerLine(),
                         turned.width(), turned.height()};
    if (clockwise)
        TurnTiles<true>(plan);
    else
        TurnTiles<false>(plan);
}

// ---- invert -------------------------------------------------------------------------------------------------

void InvertBytes(uchar* bytes, qsizetype count)
{
    for (qsizetype k = 0; k < count; ++k)
        bytes[k] ^= 0xFF;
}

void InvertChannels(uchar* row, qsizetype pixels, const std::array<uchar, 3>& mask)
{
    for (qsizetype k = 0; k < pixels; ++k, row += kBytesPerPixel24) {
        row[0] ^= mask[0];
        row[1] ^= mask[1];
        row[2] ^= mask[2];
    }
}

uchar ChannelMask(std::int32_t flag)
{
    return flag ? 0xFF : 0x00;
}

void InvertPixels(uchar* bits, qsizetype stride, const TArea& area, const std::array<uchar, 3>& mask)
{
    const bool allChannels = mask == std::array<uchar, 3>{0xFF, 0xFF, 0xFF};
    const qsizetype pixels = area.Right - area.Left;
    for (int y = area.Top; y < area.Bottom; ++y) {
        uchar* row = bits + y * stride + area.Left * kBytesPerPixel24;
        if (allChannels)
            InvertBytes(row, pixels * kBytesPerPixel24);
        else
            InvertChannels(row, pixels, mask);
    }
}

// ---- angles -------------------------------------------------------------------------------------------------

enum class TTurn { None, Clockwise, Half, CounterClockwise, Unmapped };

bool Within(int value, int low, int high)
{
    return value >= low && value <= high;
}

TTurn TurnForAngle(int angle)
{
    if (angle == 0 || angle == 360 || angle == -360 || Within(angle, -89, -1))
        return TTurn::None;
    if (Within(angle, 1, 90) || Within(angle, -359, -270))
        return TTurn::Clockwise;
    if (Within(angle, 91, 180) || Within(angle, -269, -180))
        return TTurn::Half;
    if (Within(angle, 181, 270) || Within(angle, -179, -90))
        return TTurn::CounterClockwise;
    return TTurn::Unmapped;
}

}  // namespace

void BitmapArea(const TBitmap* bitmap, TArea& area)
{
    area = bitmap ? TArea{0, 0, bitmap->width(), bitmap->height()} : TArea{0, 0, -1, -1};
}

void NormalizeArea(TArea& area)
{
    if (area.Right < area.Left)
        std::swap(area.Left, area.Right);
    if (area.Bottom < area.Top)
        std::swap(area.Top, area.Bottom);
}

void ClampArea(TManipulationInfo& info)
{
    if (!info.Bitmap)
        return;
    const int slack = info.AreaExclusive ? 0 : 1;
    const std::int32_t maxX = std::max(info.Bitmap->width() - slack, 0);
    const std::int32_t maxY = std::max(info.Bitmap->height() - slack, 0);
    TArea& area = info.Area;
    area.Left = std::clamp(area.Left, 0, maxX);
    area.Right = std::clamp(area.Right, 0, maxX);
    area.Top = std::clamp(area.Top, 0, maxY);
    area.Bottom = std::clamp(area.Bottom, 0, maxY);
    NormalizeArea(area);
}

bool ValidateManipulation(TManipulationInfo& info)
{
    if (!info.Bitmap)
        return Fail(info, kUndefinedImage);
    ClampArea(info);
    return true;
}

bool CopyBitmap(const TBitmap& source, TBitmap& target)
{
    TBitmap copy = source.copy();
    if (copy.isNull() && !source.isNull())
        return false;
    target = std::move(copy);
    return true;
}

bool FlipArea(TManipulationInfo& info)
{
    return ReverseArea(info, FlipWholeBytes, FlipSubBytePixels);
}

bool MirrorArea(TManipulationInfo& info)
{
    return ReverseArea(info, MirrorWholeBytes, MirrorSubBytePixels);
}

bool RotateQuarter(TManipulationInfo& info, int direction)
{
    if (!ValidateManipulation(info))
        return false;
    TBitmap& picture = *info.Bitmap;
    if (picture.isNull())
        return true;  // nothing to turn
    // The turned picture is built beside the picture and replaces it whole, so a refusal leaves it untouched.
    TBitmap turned = SetPixelFormat24(picture) ? NewBitmap24(picture.height(), picture.width()) : TBitmap();
    if (turned.isNull())
        return Fail(info, kOutOfMemory);
    TurnInto(picture, turned, direction == kRotateClockwise);
    picture = std::move(turned);
    return true;
}

bool RotateBitmap(TManipulationInfo& info, int angle)
{
    if (!ValidateManipulation(info))
        return false;
    switch (TurnForAngle(angle)) {
    case TTurn::None:
        return true;
    case TTurn::Clockwise:
        return RotateQuarter(info, kRotateClockwise);
    case TTurn::Half:
        return FlipArea(info) && MirrorArea(info);
    case TTurn::CounterClockwise:
        return RotateQuarter(info, kRotateCounterClockwise);
    case TTurn::Unmapped:
        break;
    }
    return false;
}

bool InvertBitmap(TManipulationInfo& info)
{
    info.InvertRed = info.InvertGreen = info.InvertBlue = 255;
    return InvertArea(info);
}

bool InvertArea(TManipulationInfo& info)
{
    if (!ValidateManipulation(info))
        return false;
    const std::array<uchar, 3> mask{ChannelMask(info.InvertBlue), ChannelMask(info.InvertGreen),
                                    ChannelMask(info.InvertRed)};
    if (mask == std::array<uchar, 3>{0, 0, 0})
        return true;
    TBitmap& image = *info.Bitmap;
    if (!SetPixelFormat24(image))
        return Fail(info, kOutOfMemory);
    const TArea area = HalfOpenArea(info);
    if (IsEmpty(area))
        return true;
    uchar* bits = image.bits();  // unshares the pixels; null when that copy cannot be made
    if (!bits)
        return Fail(info, kOutOfMemory);
    InvertPixels(bits, image.bytesPerLine(), area, mask);
    return true;
}
