// StretchSmooth: a separable resampler. Each target row first combines its source rows into one row of 16-bit
// sums (vertical pass, contiguous and vectorised), then each target pixel combines its columns of that row
// (horizontal pass). Only the source columns the visible target pixels read are touched.
#include "engine/stretch.h"

#include "common/bitmap.h"
#include "common/guarded.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

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

// Taps of target indices [begin, end) of a span of size target pixels starting at origin, over source pixels.
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

constexpr std::size_t kSpareSums = 8;  // zeros after a row of sums: reading a pixel as four, a lone last column
constexpr std::uint32_t kHalf = 1u << (kTotalBits - 1);

// Vertical pass: sums[i] = sum over the taps of weight x rows[tap][i], for count bytes; from begin on.
void CombineRowsPlain(const uchar* const* rows, const std::uint16_t* weights, std::size_t taps, std::size_t begin,
                      std::size_t count, std::uint16_t* sums)
{
    for (std::size_t i = begin; i < count; ++i) {
        unsigned sum = 0;
        for (std::size_t k = 0; k < taps; ++k)
            sum += unsigned(weights[k]) * rows[k][i];
        sums[i] = std::uint16_t(sum >> (kRowBits - kSumBits));
    }
}

// Horizontal pass of one row without vector instructions.
[[maybe_unused]] void CombineColumnsPlain(const std::uint16_t* sums, const TTaps& columns, std::int64_t firstColumn, uchar* target)
{
    const std::uint16_t* weight = columns.Weights.data();
    for (std::size_t x = 0; x < columns.Size(); ++x) {
        const std::uint16_t* pixel = sums + std::size_t(columns.First[x] - firstColumn) * kBytesPerPixel;
        std::uint32_t total[kBytesPerPixel] = {kHalf, kHalf, kHalf};
        const std::size_t taps = columns.Count(x);
        for (std::size_t k = 0; k < taps; ++k, pixel += kBytesPerPixel)
            for (int c = 0; c < kBytesPerPixel; ++c)
                total[c] += std::uint32_t(weight[k]) * pixel[c];
        for (int c = 0; c < kBytesPerPixel; ++c)
            target[x * kBytesPerPixel + c] = uchar(total[c] >> kTotalBits);
        weight += taps;
    }
}

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

#if defined(__SSE2__)
constexpr std::size_t kMostVectorTaps = 32;  // row weights kept in registers; taller spans take the plain loop

void CombineRowsSse2(const uchar* const* rows, const std::uint16_t* weights, std::size_t taps, std::size_t count,
                     std::uint16_t* sums)
{
    std::size_t i = 0;
    if (taps <= kMostVectorTaps) {
        __m128i weight[kMostVectorTaps];
        for (std::size_t k = 0; k < taps; ++k)
            weight[k] = _mm_set1_epi16(short(weights[k]));
        const __m128i zero = _mm_setzero_si128();
        for (; i + 16 <= count; i += 16) {
            __m128i low = zero;
            __m128i high = zero;
            for (std::size_t k = 0; k < taps; ++k) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + i));
                low = _mm_add_epi16(low, _mm_mullo_epi16(_mm_unpacklo_epi8(bytes, zero), weight[k]));
                high = _mm_add_epi16(high, _mm_mullo_epi16(_mm_unpackhi_epi8(bytes, zero), weight[k]));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i), _mm_srli_epi16(low, kRowBits - kSumBits));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i + 8), _mm_srli_epi16(high, kRowBits - kSumBits));
        }
    }
    CombineRowsPlain(rows, weights, taps, i, count, sums);
}

inline __m128i LoadPixel(const std::uint16_t* sums)
{
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums));
}

// A pixel as four bytes, the fourth landing on the next pixel, which is written after it; the row's last
// pixel as exactly three.
template <std::size_t Bytes>
inline void StorePixel(uchar* target, __m128i bytes)
{
    const std::uint32_t bgr = std::uint32_t(_mm_cvtsi128_si32(bytes));
    std::memcpy(target, &bgr, Bytes);
}

template <std::size_t Bytes>
inline void StoreGroup(const TRowGroup& group, std::size_t out, __m128i bytes)
{
    StorePixel<Bytes>(group.Target[0] + out, bytes);
    StorePixel<Bytes>(group.Target[1] + out, _mm_srli_si128(bytes, 4));
    StorePixel<Bytes>(group.Target[2] + out, _mm_srli_si128(bytes, 8));
    StorePixel<Bytes>(group.Target[3] + out, _mm_srli_si128(bytes, 12));
}

// Columns go in pairs: the two pixels' sums interleaved, times the two weights, added pairwise. A row of sums
// has spare zero values after its last pixel, so a pixel's three values can be read as four and a lone last
// column pairs with a zero weight.
void CombineColumnsSse2(const TRowGroup& group, const TTaps& columns, std::int64_t firstColumn, TPrefetch& prefetch)
{
    const std::uint16_t* weight = columns.Weights.data();
    for (std::size_t x = 0; x < columns.Size(); ++x) {
        prefetch.Step();
        const std::size_t offset = std::size_t(columns.First[x] - firstColumn) * kBytesPerPixel;
        const std::size_t taps = columns.Count(x);
        const std::size_t pairs = (taps + 1) / 2;
        __m128i total[TRowGroup::kRows];
        for (__m128i& t : total)
            t = _mm_set1_epi32(int(kHalf));
        for (std::size_t p = 0; p < pairs; ++p) {
            const std::size_t at = offset + p * 2 * kBytesPerPixel;
            const std::uint32_t second = 2 * p + 1 < taps ? weight[2 * p + 1] : 0;
            const __m128i w = _mm_set1_epi32(int(weight[2 * p] | second << 16));
            for (std::size_t r = 0; r < TRowGroup::kRows; ++r) {
                const std::uint16_t* sums = group.Sums[r] + at;
                const __m128i both = _mm_unpacklo_epi16(LoadPixel(sums), LoadPixel(sums + kBytesPerPixel));
                total[r] = _mm_add_epi32(total[r], _mm_madd_epi16(both, w));
            }
        }
        const __m128i words01 = _mm_packs_epi32(_mm_srli_epi32(total[0], kTotalBits), _mm_srli_epi32(total[1], kTotalBits));
        const __m128i words23 = _mm_packs_epi32(_mm_srli_epi32(total[2], kTotalBits), _mm_srli_epi32(total[3], kTotalBits));
        const __m128i bytes = _mm_packus_epi16(words01, words23);
        if (x + 1 < columns.Size())
            StoreGroup<4>(group, x * kBytesPerPixel, bytes);
        else
            StoreGroup<kBytesPerPixel>(group, x * kBytesPerPixel, bytes);
        weight += taps;
    }
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
#define PICTAVO_AVX2 1
// The vertical pass twice as wide, for processors that have AVX2 (chosen once at run time).
// Taps known at compile time keep the row pointers and weights in registers.
template <std::size_t Taps>
__attribute__((target("avx2"))) std::size_t CombineFixedRowsAvx2(const uchar* const* rows, const std::uint16_t* weights,
                                                                std::size_t count, std::uint16_t* sums)
{
    const uchar* row[Taps];
    __m256i weight[Taps];
    for (std::size_t k = 0; k < Taps; ++k) {
        row[k] = rows[k];
        weight[k] = _mm256_set1_epi16(short(weights[k]));
    }
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        __m256i low = _mm256_setzero_si256();
        __m256i high = _mm256_setzero_si256();
        for (std::size_t k = 0; k < Taps; ++k) {
            const __m128i* at = reinterpret_cast<const __m128i*>(row[k] + i);
            low = _mm256_add_epi16(low, _mm256_mullo_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(at)), weight[k]));
            high = _mm256_add_epi16(high, _mm256_mullo_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(at + 1)), weight[k]));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i), _mm256_srli_epi16(low, kRowBits - kSumBits));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i + 16), _mm256_srli_epi16(high, kRowBits - kSumBits));
    }
    return i;
}

// The vertical pass twice as wide, for processors that have AVX2 (chosen once at run time).
__attribute__((target("avx2"))) void CombineRowsAvx2(const uchar* const* rows, const std::uint16_t* weights,
                                                     std::size_t taps, std::size_t count, std::uint16_t* sums)
{
    std::size_t i = 0;
    switch (taps) {
    case 1: i = CombineFixedRowsAvx2<1>(rows, weights, count, sums); break;
    case 2: i = CombineFixedRowsAvx2<2>(rows, weights, count, sums); break;
    case 3: i = CombineFixedRowsAvx2<3>(rows, weights, count, sums); break;
    case 4: i = CombineFixedRowsAvx2<4>(rows, weights, count, sums); break;
    default:
        if (taps <= kMostVectorTaps) {
            __m256i weight[kMostVectorTaps];
            for (std::size_t k = 0; k < taps; ++k)
                weight[k] = _mm256_set1_epi16(short(weights[k]));
            for (; i + 32 <= count; i += 32) {
                __m256i low = _mm256_setzero_si256();
                __m256i high = _mm256_setzero_si256();
                for (std::size_t k = 0; k < taps; ++k) {
                    const __m128i* at = reinterpret_cast<const __m128i*>(rows[k] + i);
                    low = _mm256_add_epi16(low,
                                           _mm256_mullo_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(at)), weight[k]));
                    high = _mm256_add_epi16(
                        high, _mm256_mullo_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(at + 1)), weight[k]));
                }
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i),
                                    _mm256_srli_epi16(low, kRowBits - kSumBits));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i + 16),
                                    _mm256_srli_epi16(high, kRowBits - kSumBits));
            }
        }
    }
    CombineRowsPlain(rows, weights, taps, i, count, sums);
}

template <std::size_t Bytes>
__attribute__((target("avx2"))) inline void StoreGroupAvx2(uchar* const* target, __m256i bytes)
{
    const __m128i rows02 = _mm256_castsi256_si128(bytes);
    const __m128i rows13 = _mm256_extracti128_si256(bytes, 1);
    StorePixel<Bytes>(target[0], rows02);
    StorePixel<Bytes>(target[1], rows13);
    StorePixel<Bytes>(target[2], _mm_srli_si128(rows02, 4));
    StorePixel<Bytes>(target[3], _mm_srli_si128(rows13, 4));
}

__attribute__((target("avx2"))) inline __m256i PairOfRows(const std::uint16_t* low, const std::uint16_t* high,
                                                          __m256i interleave)
{
    const __m256i both =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
    return _mm256_shuffle_epi8(both, interleave);
}

// The horizontal pass with two rows per register: one load of a row's eight values and one shuffle give a pair
// of columns interleaved, where the SSE2 version needs two loads and an unpack. Everything the loop reads is
// copied to locals first: the byte stores could alias it and would force reloads.
__attribute__((target("avx2"))) void CombineColumnsAvx2(const TRowGroup& group, const TTaps& columns,
                                                        std::int64_t firstColumn, TPrefetch prefetch)
{
    // Values 0, 3, 1, 4, 2, 5 of eight: the three channels of two neighbouring pixels side by side; then zeros.
    const __m256i interleave = _mm256_setr_epi8(0, 1, 6, 7, 2, 3, 8, 9, 4, 5, 10, 11, -1, -1, -1, -1,
                                                0, 1, 6, 7, 2, 3, 8, 9, 4, 5, 10, 11, -1, -1, -1, -1);
    const std::uint16_t* const sums0 = group.Sums[0];
    const std::uint16_t* const sums1 = group.Sums[1];
    const std::uint16_t* const sums2 = group.Sums[2];
    const std::uint16_t* const sums3 = group.Sums[3];
    uchar* target[TRowGroup::kRows] = {group.Target[0], group.Target[1], group.Target[2], group.Target[3]};
    const std::int64_t* const first = columns.First.data();
    const std::size_t* const start = columns.Start.data();
    const std::uint32_t* pair = columns.Pairs.data();
    const std::size_t count = columns.Size();
    for (std::size_t x = 0; x < count; ++x) {
        prefetch.Step();
        const std::size_t offset = std::size_t(first[x] - firstColumn) * kBytesPerPixel;
        const std::size_t taps = start[x + 1] - start[x];
        __m256i rows01 = _mm256_set1_epi32(int(kHalf));
        __m256i rows23 = rows01;
        for (std::size_t k = 0; k < taps; k += 2) {
            const std::size_t at = offset + k * kBytesPerPixel;
            const __m256i w = _mm256_set1_epi32(int(*pair++));
            rows01 = _mm256_add_epi32(rows01, _mm256_madd_epi16(PairOfRows(sums0 + at, sums1 + at, interleave), w));
            rows23 = _mm256_add_epi32(rows23, _mm256_madd_epi16(PairOfRows(sums2 + at, sums3 + at, interleave), w));
        }
        // Lane 0 holds rows 0 and 2, lane 1 rows 1 and 3, four bytes each.
        const __m256i words = _mm256_packs_epi32(_mm256_srli_epi32(rows01, kTotalBits), _mm256_srli_epi32(rows23, kTotalBits));
        const __m256i bytes = _mm256_packus_epi16(words, words);
        if (x + 1 < count)
            StoreGroupAvx2<4>(target, bytes);
        else
            StoreGroupAvx2<kBytesPerPixel>(target, bytes);
        for (uchar*& t : target)
            t += kBytesPerPixel;
    }
}

bool HasAvx2()
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#endif

void CombineRows(const uchar* const* rows, const std::uint16_t* weights, std::size_t taps, std::size_t count,
                 std::uint16_t* sums)
{
#if defined(PICTAVO_AVX2)
    if (HasAvx2())
        return CombineRowsAvx2(rows, weights, taps, count, sums);
#endif
#if defined(__SSE2__)
    CombineRowsSse2(rows, weights, taps, count, sums);
#else
    CombineRowsPlain(rows, weights, taps, 0, count, sums);
#endif
}

void CombineColumns(const TRowGroup& group, const TTaps& columns, std::int64_t firstColumn, TPrefetch& prefetch)
{
#if defined(PICTAVO_AVX2)
    if (HasAvx2())
        return CombineColumnsAvx2(group, columns, firstColumn, prefetch);
#endif
#if defined(__SSE2__)
    CombineColumnsSse2(group, columns, firstColumn, prefetch);
#else
    static_cast<void>(prefetch);
    for (std::size_t r = 0; r < TRowGroup::kRows; ++r)
        CombineColumnsPlain(group.Sums[r], columns, firstColumn, group.Target[r]);
#endif
}

struct TJob {
    const uchar* Source = nullptr;
    qsizetype SourceStride = 0;
    uchar* Target = nullptr;
    qsizetype TargetStride = 0;
    TTaps Rows;
    TTaps Columns;
    std::int64_t FirstRow = 0;     // target row of Rows' first entry
    std::int64_t FirstPixel = 0;   // target column of Columns' first entry
    std::int64_t FirstColumn = 0;  // first source column any target pixel reads
    std::size_t SumCount = 0;      // values of one row of sums
};

// Target rows [begin, end) of the job's rows. Workers allocate nothing: an allocation failure inside a thread
// could not reach the caller.
struct TBand {
    std::size_t Begin = 0;
    std::size_t End = 0;
    std::uint16_t* Sums = nullptr;  // TRowGroup::kRows rows of SumCount + kSpareSums values
    const uchar** Rows = nullptr;   // room for the most taps of a row
};

void SumRow(const TJob& job, const TBand& band, std::size_t y, std::uint16_t* sums)
{
    const std::size_t firstByte = std::size_t(job.FirstColumn) * kBytesPerPixel;
    const std::size_t taps = job.Rows.Count(y);
    for (std::size_t k = 0; k < taps; ++k)
        band.Rows[k] = job.Source + (job.Rows.First[y] + std::int64_t(k)) * job.SourceStride + firstByte;
    CombineRows(band.Rows, job.Rows.Weights.data() + job.Rows.Start[y], taps, job.SumCount, sums);
}

TPrefetch NextGroupRows(const TJob& job, const TBand& band, std::size_t y)
{
    // Rows a group reads that would crowd its own sums out of the second-level cache are left to the hardware.
    constexpr std::size_t kMostBytes = 384u << 10;
    if (y >= band.End)
        return {};
    const std::size_t last = std::min(y + TRowGroup::kRows, band.End) - 1;
    const std::int64_t first = job.Rows.First[y];
    const std::size_t rows = std::size_t(job.Rows.First[last] + std::int64_t(job.Rows.Count(last)) - first);
    if (rows * job.SumCount > kMostBytes)
        return {};
    const uchar* start = job.Source + first * job.SourceStride + std::size_t(job.FirstColumn) * kBytesPerPixel;
    return TPrefetch(start, rows, job.SourceStride, job.SumCount, job.Columns.Size());
}

void RunRows(const TJob& job, TBand band)
{
    for (std::size_t y = band.Begin; y < band.End; y += TRowGroup::kRows) {
        TRowGroup group;
        for (std::size_t r = 0; r < TRowGroup::kRows; ++r) {
            const std::size_t row = std::min(y + r, band.End - 1);
            std::uint16_t* sums = band.Sums + r * (job.SumCount + kSpareSums);
            if (row == y + r)
                SumRow(job, band, row, sums);
            group.Sums[r] = row == y + r ? sums : group.Sums[r - 1];
            group.Target[r] =
                job.Target + (job.FirstRow + std::int64_t(row)) * job.TargetStride + job.FirstPixel * kBytesPerPixel;
        }
        TPrefetch prefetch = NextGroupRows(job, band, y + TRowGroup::kRows);
        CombineColumns(group, job.Columns, job.FirstColumn, prefetch);
    }
}

// Threads only pay when a share reads some megabytes; each takes a contiguous band of target rows.
std::size_t ThreadCount(const TJob& job)
{
    constexpr std::size_t kBytesPerThread = 4u << 20;
    constexpr std::size_t kMaxThreads = 8;
    const std::size_t bytes = job.Rows.Weights.size() * job.SumCount;
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    return std::clamp<std::size_t>(bytes / kBytesPerThread, 1, std::min({cores, kMaxThreads, job.Rows.Size()}));
}

std::size_t MostTaps(const TTaps& taps)
{
    std::size_t most = 0;
    for (std::size_t i = 0; i < taps.Size(); ++i)
        most = std::max(most, taps.Count(i));
    return most;
}

// A band whose thread cannot be started is done by the calling thread.
void RunJob(const TJob& job)
{
    const std::size_t rows = job.Rows.Size();
    const std::size_t threads = ThreadCount(job);
    const std::size_t sumsPerBand = TRowGroup::kRows * (job.SumCount + kSpareSums);
    const std::size_t rowsPerBand = MostTaps(job.Rows);
    std::vector<std::uint16_t> sums(sumsPerBand * threads, 0);
    std::vector<const uchar*> rowPointers(rowsPerBand * threads);
    const auto band = [&](std::size_t i, std::size_t begin, std::size_t end) {
        return TBand{begin, end, sums.data() + i * sumsPerBand, rowPointers.data() + i * rowsPerBand};
    };
    std::vector<std::thread> workers;
    workers.reserve(threads);
    std::size_t done = rows;
    for (std::size_t i = threads - 1; i >= 1; --i) {
        const std::size_t begin = rows * i / threads;
        if (!Guarded([&] { workers.emplace_back(RunRows, std::cref(job), band(i, begin, done)); }).isEmpty())
            break;
        done = begin;
    }
    RunRows(job, band(0, 0, done));
    for (std::thread& worker : workers)
        worker.join();
}

}  // namespace

void StretchSmooth(const QImage& source, QImage& target, const TStretchRect& rect, const QRect& clip)
{
    if (!CanStretch(source, target, rect))
        return;
    const QRect bounds = clip.intersected(target.rect());
    if (bounds.isEmpty())
        return;
    const std::int64_t left = std::max<std::int64_t>(bounds.left(), rect.Left);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t(bounds.right()) + 1, rect.Left + rect.Width);
    const std::int64_t top = std::max<std::int64_t>(bounds.top(), rect.Top);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t(bounds.bottom()) + 1, rect.Top + rect.Height);
    if (right <= left || bottom <= top)
        return;

    QImage converted;
    const QImage* picture = &source;
    if (source.format() != kFormat24) {
        converted = source.convertToFormat(kFormat24);
        if (converted.isNull())
            return;
        picture = &converted;
    }

    TJob job;
    job.Source = picture->constBits();
    job.SourceStride = picture->bytesPerLine();
    job.Target = target.bits();
    job.TargetStride = target.bytesPerLine();
    job.FirstRow = top;
    job.FirstPixel = left;
    job.Rows = AxisTaps(top, bottom, rect.Top, rect.Height, picture->height(), kRowBits);
    job.Columns = AxisTaps(left, right, rect.Left, rect.Width, picture->width(), kColumnBits);
    job.FirstColumn = job.Columns.First.front();

    job.SumCount = std::size_t(job.Columns.Last() - job.FirstColumn) * kBytesPerPixel;
    RunJob(job);
}

void StretchSmooth(const QImage& source, QImage& target, const QRect& targetRect, const QRect& clip)
{
    StretchSmooth(source, target, TStretchRect{targetRect.x(), targetRect.y(), targetRect.width(), targetRect.height()},
                  clip);
}
