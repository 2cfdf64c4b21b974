#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

// What the smooth resampler's weights, its two passes and the jobs that run them share.
namespace resample_detail {

constexpr int kBytesPerPixel = 3;
// Vertical weights add up to 2^8; a row sum (at most 255 x 256) is kept halved, so it fits a signed 16-bit
// lane. Horizontal weights add up to 2^14, so they fit one too, and the vector unit can multiply two columns
// and add them in one step.
constexpr int kRowBits = 8;
constexpr int kSumBits = kRowBits - 1;
constexpr int kColumnBits = 14;
constexpr int kTotalBits = kSumBits + kColumnBits;

// For each visible target index along one axis: the source indices it reads and their weights.
struct TTaps {
    std::vector<std::int64_t> First;     // first source index, per target index
    std::vector<std::size_t> Start;      // where its weights begin in Weights; one more entry closes the last
    std::vector<std::uint16_t> Weights;  // add up to 2^bits per target index

    std::vector<std::uint32_t> Pairs;    // the weights two by two, as one value each; a lone last one pairs with 0

    std::size_t Size() const { return First.size(); }
    std::size_t Count(std::size_t i) const { return Start[i + 1] - Start[i]; }
    std::int64_t Last() const { return First.back() + std::int64_t(Count(Size() - 1)); }  // exclusive
};

constexpr std::size_t kSpareSums = 8;  // zeros after a row of sums: reading a pixel as four, a lone last column

// Four rows of sums and the target rows they make; the horizontal pass does them together, as they share the
// column weights. A group of fewer rows repeats its last one.
struct TRowGroup {
    static constexpr std::size_t kRows = 4;
    const std::uint16_t* Sums[kRows] = {};
    uchar* Target[kRows] = {};
};

// The source rows the next group reads, fetched into the cache a few lines per target pixel while the
// horizontal pass computes: the vertical pass then finds them there instead of waiting on memory.
class TPrefetch {
public:
    TPrefetch() = default;
    TPrefetch(const uchar* first, std::size_t rows, qsizetype stride, std::size_t bytes, std::size_t pixels)
        : FRow(first), FRows(rows), FStride(stride), FBytes(bytes)
    {
        const std::size_t lines = rows * ((bytes + kLine - 1) / kLine);
        FPerPixel = pixels == 0 ? lines : (lines + pixels - 1) / pixels;
    }

    void Step()
    {
        for (std::size_t n = 0; n < FPerPixel && FRows != 0; ++n) {
#if defined(__SSE2__)
            _mm_prefetch(reinterpret_cast<const char*>(FRow + FOffset), _MM_HINT_T1);
#endif
            FOffset += kLine;
            if (FOffset >= FBytes) {
                FOffset = 0;
                FRow += FStride;
                --FRows;
            }
        }
    }

private:
    static constexpr std::size_t kLine = 64;
    const uchar* FRow = nullptr;
    std::size_t FRows = 0;
    qsizetype FStride = 0;
    std::size_t FBytes = 0;
    std::size_t FOffset = 0;
    std::size_t FPerPixel = 0;
};

// Taps of target indices [begin, end) of a span of size target pixels starting at origin, over source pixels.
TTaps AxisTaps(std::int64_t begin, std::int64_t end, std::int64_t origin, std::int64_t size, std::int64_t source,
               int bits);

// Vertical pass: sums[i] = sum over the taps of weight x rows[tap][i], for count bytes, with the widest vector
// instructions the processor has.
void CombineRows(const uchar* const* rows, const std::uint16_t* weights, std::size_t taps, std::size_t count,
                 std::uint16_t* sums);

// Horizontal pass of a group of rows, fetching the next group's source rows on the way.
void CombineColumns(const TRowGroup& group, const TTaps& columns, std::int64_t firstColumn, TPrefetch& prefetch);

}  // namespace resample_detail
