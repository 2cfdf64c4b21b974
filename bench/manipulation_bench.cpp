// The pixel routines on a 50-megapixel 24-bit picture, each beside one memcpy of the same bytes: the physical
// floor for a pass that reads and writes every pixel once.
#include "engine/manipulation.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 8660;  // 8660 x 5774 = 50.0 megapixels, 3:2
constexpr int kHeight = 5774;

QImage& Picture()
{
    static QImage picture = [] {
        QImage image = NewBitmap24(kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y) {
            uchar* row = image.scanLine(y);
            for (qsizetype k = 0; k < image.bytesPerLine(); ++k)
                row[k] = uchar(k * 7 + y);
        }
        return image;
    }();
    return picture;
}

TManipulationInfo WholePicture()
{
    TManipulationInfo info;
    info.Bitmap = &Picture();
    BitmapArea(info.Bitmap, info.Area);
    return info;
}

void SetBytes(benchmark::State& state)
{
    state.SetBytesProcessed(state.iterations() * Picture().sizeInBytes());
}

void BM_Memcpy(benchmark::State& state)
{
    const QImage& picture = Picture();
    std::vector<uchar> target(picture.sizeInBytes());
    for (auto _ : state) {
        std::memcpy(target.data(), picture.constBits(), target.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    SetBytes(state);
}

// The floor for a routine that must build a new picture: a fresh allocation, its first touch, one copy.
void BM_MemcpyIntoNewPicture(benchmark::State& state)
{
    const QImage& picture = Picture();
    for (auto _ : state) {
        QImage target = NewBitmap24(kWidth, kHeight);
        std::memcpy(target.bits(), picture.constBits(), picture.sizeInBytes());
        benchmark::DoNotOptimize(target.bits());
        benchmark::ClobberMemory();
    }
    SetBytes(state);
}

void BM_RotateQuarter(benchmark::State& state)
{
    for (auto _ : state) {
        TManipulationInfo info = WholePicture();
        if (!RotateQuarter(info, int(state.range(0))))
            state.SkipWithError("turn failed");
    }
    SetBytes(state);
}

void BM_Flip(benchmark::State& state)
{
    for (auto _ : state) {
        TManipulationInfo info = WholePicture();
        FlipArea(info);
    }
    SetBytes(state);
}

void BM_Mirror(benchmark::State& state)
{
    for (auto _ : state) {
        TManipulationInfo info = WholePicture();
        MirrorArea(info);
    }
    SetBytes(state);
}

void BM_Invert(benchmark::State& state)
{
    for (auto _ : state) {
        TManipulationInfo info = WholePicture();
        InvertBitmap(info);
    }
    SetBytes(state);
}

void BM_InvertRedOnly(benchmark::State& state)
{
    for (auto _ : state) {
        TManipulationInfo info = WholePicture();
        info.InvertRed = 1;
        InvertArea(info);
    }
    SetBytes(state);
}

}  // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyIntoNewPicture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateQuarter)->Arg(kRotateClockwise)->Arg(kRotateCounterClockwise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Flip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mirror)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Invert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InvertRedOnly)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
