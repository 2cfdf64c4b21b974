#include "engine/resample_passes.h"

#include <algorithm>
#include <cstring>

namespace resample_detail {

namespace {

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

}  // namespace

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

}  // namespace resample_detail
