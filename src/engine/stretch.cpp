#include "engine/stretch.h"

#include "common/bitmap.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

namespace {

constexpr int kBytesPerPixel = 3;

struct TSpan {
    std::int64_t Begin = 0;
    std::int64_t End = 0;  // exclusive
    bool Empty() const { return End <= Begin; }
};

TSpan Intersect(TSpan a, TSpan b)
{
    return {std::max(a.Begin, b.Begin), std::min(a.End, b.End)};
}

// Source index of target index t of a destination span of length size starting at origin. Both factors stay
// below 2^31, so the product fits 64 bits.
std::int64_t SourceIndex(std::int64_t t, std::int64_t origin, std::int64_t size, std::int64_t sourceSize)
{
    return (t - origin) * sourceSize / size;
}

std::vector<std::int64_t> ColumnOffsets(TSpan columns, const TStretchRect& rect, std::int64_t sourceWidth)
{
    std::vector<std::int64_t> offsets;
    offsets.reserve(std::size_t(columns.End - columns.Begin));
    for (std::int64_t x = columns.Begin; x < columns.End; ++x)
        offsets.push_back(SourceIndex(x, rect.Left, rect.Width, sourceWidth) * kBytesPerPixel);
    return offsets;
}

// How many leading columns may move as 4-byte words: the fourth byte read must stay inside the source row
// (the last row has nothing after it), and the fourth byte written lands on the next pixel, which the next
// move overwrites, so the row's last pixel always moves as exactly 3 bytes.
std::size_t WordColumns(const std::vector<std::int64_t>& offsets, qsizetype sourceStride)
{
    if (offsets.empty())
        return 0;
    const auto fits = std::partition_point(offsets.begin(), offsets.end() - 1,
                                           [&](std::int64_t offset) { return offset + 4 <= sourceStride; });
    return std::size_t(fits - offsets.begin());
}

void CopyPixelAsWord(const uchar* from, uchar* to)
{
    std::uint32_t word;
    std::memcpy(&word, from, sizeof word);
    std::memcpy(to, &word, sizeof word);
}

// Offsets of a row's pixels, thinned so that each is at least half a cache line past the one before. Where
// pixels lie closer than that, consecutive entries still stay less than a line apart, so asking for every entry
// asks for every line the row's pixels start in.
std::vector<std::int64_t> PrefetchOffsets(const std::vector<std::int64_t>& offsets)
{
    constexpr std::int64_t kHalfLine = 32;
    std::vector<std::int64_t> thinned;
    for (const std::int64_t offset : offsets)
        if (thinned.empty() || offset >= thinned.back() + kHalfLine)
            thinned.push_back(offset);
    return thinned;
}

// Asks for the lines of the next source row in step with the gather, so that row is on its way from memory
// while this one is collected.
class TRowPrefetch {
public:
    TRowPrefetch(const uchar* row, std::span<const std::int64_t> offsets) : FRow(row), FOffsets(offsets) {}

    void UpTo(std::int64_t offset)
    {
        for (; FNext < FOffsets.size() && FOffsets[FNext] <= offset; ++FNext)
            __builtin_prefetch(FRow + FOffsets[FNext]);
    }

private:
    const uchar* FRow;
    std::span<const std::int64_t> FOffsets;
    std::size_t FNext = 0;
};

// The prefetch for the source row the next target row shows; none when that is this row again, which is then
// copied, or when there is no next target row (nextSy == sy).
TRowPrefetch NextRowPrefetch(const QImage& picture, std::int64_t sy, std::int64_t nextSy,
                             const std::vector<std::int64_t>& prefetchOffsets)
{
    if (nextSy == sy)
        return {nullptr, {}};
    return {picture.constScanLine(int(nextSy)), prefetchOffsets};
}

// Offsets come as spans, local copies of their addresses, so the byte stores cannot make the compiler fetch
// them again for every pixel.
void GatherPixels(const uchar* source, uchar* target, std::span<const std::int64_t> offsets, std::size_t begin,
                  std::size_t end, std::size_t wordColumns)
{
    std::size_t k = begin;
    for (const std::size_t words = std::min(end, wordColumns); k < words; ++k)
        CopyPixelAsWord(source + offsets[k], target + k * kBytesPerPixel);
    for (; k < end; ++k)
        std::memcpy(target + k * kBytesPerPixel, source + offsets[k], kBytesPerPixel);
}

void StretchRow(const uchar* source, uchar* target, std::span<const std::int64_t> offsets, std::size_t wordColumns,
                TRowPrefetch next)
{
    constexpr std::size_t kChunk = 32;
    for (std::size_t begin = 0; begin < offsets.size(); begin += kChunk) {
        const std::size_t end = std::min(begin + kChunk, offsets.size());
        GatherPixels(source, target, offsets, begin, end, wordColumns);
        next.UpTo(offsets[end - 1]);
    }
}

}  // namespace

bool CanStretch(const QImage& source, const QImage& target, const TStretchRect& rect)
{
    constexpr std::int64_t kMaxSide = std::numeric_limits<std::int32_t>::max();
    return !source.isNull() && target.format() == kFormat24 && rect.Width >= 1 && rect.Height >= 1 &&
           rect.Width <= kMaxSide && rect.Height <= kMaxSide;
}

void StretchNearest(const QImage& source, QImage& target, const TStretchRect& rect, const QRect& clip)
{
    if (!CanStretch(source, target, rect))
        return;
    const QRect bounds = clip.intersected(target.rect());
    const TSpan columns = Intersect({bounds.left(), std::int64_t(bounds.right()) + 1},
                                    {rect.Left, rect.Left + rect.Width});
    const TSpan rows = Intersect({bounds.top(), std::int64_t(bounds.bottom()) + 1}, {rect.Top, rect.Top + rect.Height});
    if (bounds.isEmpty() || columns.Empty() || rows.Empty())
        return;

    const QImage picture = As24Bit(source);
    if (picture.isNull())
        return;

    const std::vector<std::int64_t> offsets = ColumnOffsets(columns, rect, picture.width());
    const std::vector<std::int64_t> prefetchOffsets = PrefetchOffsets(offsets);
    const std::size_t wordColumns = WordColumns(offsets, picture.bytesPerLine());
    const std::size_t rowBytes = offsets.size() * kBytesPerPixel;
    const std::int64_t firstByte = columns.Begin * kBytesPerPixel;
    const auto sourceRow = [&](std::int64_t y) { return SourceIndex(y, rect.Top, rect.Height, picture.height()); };
    std::int64_t previousSource = -1;
    const uchar* previousTarget = nullptr;
    for (std::int64_t y = rows.Begin; y < rows.End; ++y) {
        const std::int64_t sy = sourceRow(y);
        uchar* line = target.scanLine(int(y)) + firstByte;
        if (sy == previousSource) {
            std::memcpy(line, previousTarget, rowBytes);
        } else {
            const std::int64_t nextSy = y + 1 < rows.End ? sourceRow(y + 1) : sy;
            StretchRow(picture.constScanLine(int(sy)), line, offsets, wordColumns,
                       NextRowPrefetch(picture, sy, nextSy, prefetchOffsets));
        }
        previousSource = sy;
        previousTarget = line;
    }
}

void StretchNearest(const QImage& source, QImage& target, const QRect& targetRect, const QRect& clip)
{
    StretchNearest(source, target, TStretchRect{targetRect.x(), targetRect.y(), targetRect.width(), targetRect.height()},
                   clip);
}
