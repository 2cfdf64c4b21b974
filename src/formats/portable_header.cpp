#include "formats/portable_header.h"

#include "formats/byte_stream.h"

#include "common/limits.h"

#include <algorithm>
#include <cmath>

namespace {

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

// The fewest bytes that can hold the whole raster: raw rows as stored, a plain sample at least one digit. In
// floating point: a hostile header's width x height x 6 does not fit 64 bits, and only a comparison needs it.
double SmallestRaster(const TPortableHeader& header)
{
    const double w = header.Width, h = header.Height;
    const double sampleBytes = header.MaxValue > 255 ? 2 : 1;
    switch (portable_detail::ClampedKind(header.Kind)) {
    case kAnymapRawBitmap: return std::floor((w + 7) / 8) * h;
    case kAnymapRawGreymap: return w * h * sampleBytes;
    case kAnymapRawPixmap: return w * h * 3 * sampleBytes;
    case kAnymapPlainPixmap: return w * h * 3;
    default: return w * h;
    }
}

}  // namespace

namespace portable_detail {

std::vector<std::uint8_t> ScaleTable(std::uint32_t maxValue, std::uint32_t last)
{
    std::vector<std::uint8_t> table(size_t(last) + 1);
    for (std::uint32_t v = 0; v <= last; ++v)
        table[v] = ScaleSample(std::min(v, maxValue), maxValue);
    return table;
}

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

std::int32_t ClampedKind(std::int32_t kind)
{
    return std::clamp<std::int32_t>(kind, kAnymapPlainBitmap, kAnymapRawPixmap);
}

bool PaintsItsOwnBackground(const TPortableHeader& header)
{
    return (header.Kind == kAnymapRawGreymap || header.Kind >= kAnymapRawPixmap) && header.MaxValue <= 255;
}

bool DataCanFill(const TPortableHeader& header, std::int64_t available, bool reduced)
{
    // A whole picture beyond the allocation ceiling is refused as such, later. One read reduced is not, so then a
    // few bytes claiming billions of pixels would print a white page as a success.
    if (!reduced && !PictureFits(header.Width, header.Height))
        return true;
    return RasterCanFill(header.Width, header.Height, SmallestRaster(header), available);
}

}  // namespace portable_detail
