// StretchSmooth: a separable resampler. Each target row first combines its source rows into one row of 16-bit
// sums (vertical pass, contiguous and vectorised), then each target pixel combines its columns of that row
// (horizontal pass). Only the source columns the visible target pixels read are touched.
#include "engine/stretch.h"
#include "engine/resample_passes.h"

#include "common/bitmap.h"
#include "common/guarded.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace {

using resample_detail::kBytesPerPixel;
using resample_detail::kColumnBits;
using resample_detail::kRowBits;
using resample_detail::kSpareSums;
using resample_detail::AxisTaps;
using resample_detail::CombineColumns;
using resample_detail::CombineRows;
using resample_detail::TPrefetch;
using resample_detail::TRowGroup;
using resample_detail::TTaps;

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

    const QImage picture = As24Bit(source);
    if (picture.isNull())
        return;

    TJob job;
    job.Source = picture.constBits();
    job.SourceStride = picture.bytesPerLine();
    job.Target = target.bits();
    job.TargetStride = target.bytesPerLine();
    job.FirstRow = top;
    job.FirstPixel = left;
    job.Rows = AxisTaps(top, bottom, rect.Top, rect.Height, picture.height(), kRowBits);
    job.Columns = AxisTaps(left, right, rect.Left, rect.Width, picture.width(), kColumnBits);
    job.FirstColumn = job.Columns.First.front();

    job.SumCount = std::size_t(job.Columns.Last() - job.FirstColumn) * kBytesPerPixel;
    RunJob(job);
}

void StretchSmooth(const QImage& source, QImage& target, const QRect& targetRect, const QRect& clip)
{
    StretchSmooth(source, target, TStretchRect{targetRect.x(), targetRect.y(), targetRect.width(), targetRect.height()},
                  clip);
}
