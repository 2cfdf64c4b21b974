#include "engine/stretch.h"

#include "common/bitmap.h"

#include <algorithm>
#include <cstring>
#include <limits>
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

void StretchRow(const uchar* source, uchar* target, const std::vector<std::int64_t>& offsets)
{
    for (const std::int64_t offset : offsets) {
        std::memcpy(target, source + offset, kBytesPerPixel);
        target += kBytesPerPixel;
    }
}

}  // namespace

void StretchNearest(const QImage& source, QImage& target, const TStretchRect& rect, const QRect& clip)
{
    constexpr std::int64_t kMaxSide = std::numeric_limits<std::int32_t>::max();
    if (source.isNull() || target.format() != kFormat24 || rect.Width < 1 || rect.Height < 1 ||
        rect.Width > kMaxSide || rect.Height > kMaxSide)
        return;
    const QRect bounds = clip.intersected(target.rect());
    const TSpan columns = Intersect({bounds.left(), std::int64_t(bounds.right()) + 1},
                                    {rect.Left, rect.Left + rect.Width});
    const TSpan rows = Intersect({bounds.top(), std::int64_t(bounds.bottom()) + 1}, {rect.Top, rect.Top + rect.Height});
    if (bounds.isEmpty() || columns.Empty() || rows.Empty())
        return;

    QImage converted;
    const QImage* picture = &source;
    if (source.format() != kFormat24) {
        converted = source.convertToFormat(kFormat24);
        if (converted.isNull())
            return;
        picture = &converted;
    }

    const std::vector<std::int64_t> offsets = ColumnOffsets(columns, rect, picture->width());
    const std::size_t rowBytes = offsets.size() * kBytesPerPixel;
    const std::int64_t firstByte = columns.Begin * kBytesPerPixel;
    std::int64_t previousSource = -1;
    const uchar* previousTarget = nullptr;
    for (std::int64_t y = rows.Begin; y < rows.End; ++y) {
        const std::int64_t sy = SourceIndex(y, rect.Top, rect.Height, picture->height());
        uchar* line = target.scanLine(int(y)) + firstByte;
        if (sy == previousSource)
            std::memcpy(line, previousTarget, rowBytes);
        else
            StretchRow(picture->constScanLine(int(sy)), line, offsets);
        previousSource = sy;
        previousTarget = line;
    }
}

void StretchNearest(const QImage& source, QImage& target, const QRect& targetRect, const QRect& clip)
{
    StretchNearest(source, target, TStretchRect{targetRect.x(), targetRect.y(), targetRect.width(), targetRect.height()},
                   clip);
}
