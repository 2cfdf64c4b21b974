// The page bitmap of a print job from a 50-megapixel picture, against one memcpy of a bitmap of the same size
// (the physical floor: every page byte written once).
#include "common/bitmap.h"
#include "engine/print_page.h"
#include "engine/stretch.h"

#include <QImage>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

// 8660 x 5774, about 50 megapixels, with content that varies along both axes.
const QImage& Picture50()
{
    static const QImage picture = [] {
        QImage image(8660, 5774, QImage::Format_BGR888);
        for (int y = 0; y < image.height(); ++y) {
            uchar* row = image.scanLine(y);
            for (int x = 0; x < image.width() * 3; ++x)
                row[x] = uchar(x * 7 + y * 13);
        }
        return image;
    }();
    return picture;
}

// The default budget's bitmap of a 2400 x 3000 page at "High".
const QSize kPage(2000, 2500);

// The page as it was made before smoothing: nearest neighbour, for comparison in the same run.
void BM_NearestFitToPage(benchmark::State& state)
{
    const QImage& picture = Picture50();
    for (auto _ : state) {
        QImage page = NewBitmap24(kPage.width(), kPage.height());
        StretchNearest(picture, page, TStretchRect{0, 0, kPage.width(), kPage.height()}, page.rect());
        benchmark::DoNotOptimize(page.bits());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(kPage.width()) * kPage.height() * 3);
}
BENCHMARK(BM_NearestFitToPage)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_NearestScaleToPage(benchmark::State& state)
{
    const QImage& picture = Picture50();
    const int h = int(std::int64_t(kPage.width()) * picture.height() / picture.width());
    for (auto _ : state) {
        QImage page = NewBitmap24(kPage.width(), kPage.height());
        StretchNearest(picture, page, TStretchRect{0, (kPage.height() - h) / 2, kPage.width(), h}, page.rect());
        benchmark::DoNotOptimize(page.bits());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(kPage.width()) * kPage.height() * 3);
}
BENCHMARK(BM_NearestScaleToPage)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// "Low" quality: the page a quarter of the size each way, so the picture is reduced about 17-fold.
void BM_RenderPageFitToPageLow(benchmark::State& state)
{
    const QImage& picture = Picture50();
    const QSize low = kPage / 4;
    for (auto _ : state) {
        QImage page = RenderPageBitmap(picture, low, {0, 0, low.width(), low.height()}, 0x00FFFFFF);
        benchmark::DoNotOptimize(page.bits());
    }
}
BENCHMARK(BM_RenderPageFitToPageLow)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_RenderPageFitToPage(benchmark::State& state)
{
    const QImage& picture = Picture50();
    for (auto _ : state) {
        QImage page = RenderPageBitmap(picture, kPage, {0, 0, kPage.width(), kPage.height()}, 0x00FFFFFF);
        benchmark::DoNotOptimize(page.bits());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(kPage.width()) * kPage.height() * 3);
}
BENCHMARK(BM_RenderPageFitToPage)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// "Scale to Page": the picture keeps its proportions, background above and below.
void BM_RenderPageScaleToPage(benchmark::State& state)
{
    const QImage& picture = Picture50();
    const int h = int(std::int64_t(kPage.width()) * picture.height() / picture.width());
    for (auto _ : state) {
        QImage page = RenderPageBitmap(picture, kPage, {0, (kPage.height() - h) / 2, kPage.width(), h}, 0x00FFFFFF);
        benchmark::DoNotOptimize(page.bits());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(kPage.width()) * kPage.height() * 3);
}
BENCHMARK(BM_RenderPageScaleToPage)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The same page from a picture of the bitmap's own size: the cost of writing the page without the cost of
// reading a picture ten times its size.
void BM_RenderPageOneToOne(benchmark::State& state)
{
    const QImage picture = Picture50().scaled(kPage);
    for (auto _ : state) {
        QImage page = RenderPageBitmap(picture, kPage, {0, 0, kPage.width(), kPage.height()}, 0x00FFFFFF);
        benchmark::DoNotOptimize(page.bits());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(kPage.width()) * kPage.height() * 3);
}
BENCHMARK(BM_RenderPageOneToOne)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_MemcpyPageBitmap(benchmark::State& state)
{
    const std::size_t bytes = std::size_t(kPage.width()) * kPage.height() * 3;
    std::vector<unsigned char> source(bytes, 1);
    for (auto _ : state) {
        // A fresh target each time, as the render allocates its bitmap each time.
        std::vector<unsigned char> target(bytes);
        std::memcpy(target.data(), source.data(), bytes);
        benchmark::DoNotOptimize(target.data());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(bytes));
}
BENCHMARK(BM_MemcpyPageBitmap)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
