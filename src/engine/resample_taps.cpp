#include "engine/resample_passes.h"

#include <algorithm>

namespace {

using resample_detail::TTaps;

using Int128 = __int128;

// Rounds a share of total to 2^bits parts, half up. Rounding running totals rather than single weights makes
// the weights add up to exactly 2^bits, so a flat colour stays exactly flat.
std::int64_t Share(Int128 part, Int128 total, int bits)
{
    return std::int64_t(((part << bits) + total / 2) / total);
}

// Reduction: target index t covers source interval [t, t + 1) x source / size, in units of 1 / size.
void AddAreaTaps(TTaps& taps, std::int64_t t, std::int64_t size, std::int64_t source, int bits)
{
    const Int128 low = Int128(t) * source;
    const Int128 high = low + source;
    const std::int64_t first = std::int64_t(low / size);
    const std::int64_t last = std::int64_t((high - 1) / size);
    taps.First.push_back(first);
    std::int64_t done = 0;
    for (std::int64_t c = first; c <= last; ++c) {
        const Int128 end = std::min<Int128>(Int128(c + 1) * size, high);
        const std::int64_t upTo = Share(end - low, source, bits);
        taps.Weights.push_back(std::uint16_t(upTo - done));
        done = upTo;
    }
}

// Enlargement by a whole factor: every source pixel becomes a block.
void AddRepeatTap(TTaps& taps, std::int64_t t, std::int64_t size, std::int64_t source, int bits)
{
    taps.First.push_back(std::int64_t(Int128(t) * source / size));
    taps.Weights.push_back(std::uint16_t(1u << bits));
}

// Other enlargements: linear between the two source pixel centres around the target pixel's centre, which lies
// at ((2t + 1) x source - size) / (2 x size) in source pixels; the edges repeat the outermost pixel.
void AddLinearTaps(TTaps& taps, std::int64_t t, std::int64_t size, std::int64_t source, int bits)
{
    const Int128 numerator = Int128(2 * t + 1) * source - size;
    const Int128 denominator = Int128(2) * size;
    std::int64_t c = 0;
    std::int64_t fraction = 0;
    if (numerator > 0) {
        c = std::int64_t(numerator / denominator);
        fraction = Share(numerator % denominator, denominator, bits);
    }
    if (c >= source - 1) {
        c = source - 1;
        fraction = 0;
    }
    const std::int64_t whole = std::int64_t(1) << bits;
    if (fraction == whole) {
        ++c;
        fraction = 0;
    }
    taps.First.push_back(c);
    taps.Weights.push_back(std::uint16_t(whole - fraction));
    if (fraction != 0)
        taps.Weights.push_back(std::uint16_t(fraction));
}

}  // namespace

namespace resample_detail {

TTaps AxisTaps(std::int64_t begin, std::int64_t end, std::int64_t origin, std::int64_t size, std::int64_t source,
               int bits)
{
    TTaps taps;
    taps.First.reserve(std::size_t(end - begin));
    taps.Start.reserve(std::size_t(end - begin) + 1);
    for (std::int64_t i = begin; i < end; ++i) {
        const std::int64_t t = i - origin;
        taps.Start.push_back(taps.Weights.size());
        if (size < source)
            AddAreaTaps(taps, t, size, source, bits);
        else if (size % source == 0)
            AddRepeatTap(taps, t, size, source, bits);
        else
            AddLinearTaps(taps, t, size, source, bits);
    }
    taps.Start.push_back(taps.Weights.size());
    for (std::size_t i = 0; i < taps.Size(); ++i)
        for (std::size_t k = taps.Start[i]; k < taps.Start[i + 1]; k += 2)
            taps.Pairs.push_back(taps.Weights[k] | std::uint32_t(k + 1 < taps.Start[i + 1] ? taps.Weights[k + 1] : 0) << 16);
    return taps;
}

}  // namespace resample_detail
