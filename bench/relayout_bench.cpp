// Relayout cost with a large picture loaded: the preview is resampled only for the part of the sheet that shows,
// but a reduction reads every picture pixel under it. Compared at 1, 12 and 50 megapixels, against the former
// nearest-neighbour stretch of the same sheet.
#include "common/bitmap.h"
#include "engine/stretch.h"
#include "engine/ui/pictavo.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <memory>

namespace {

QSize PictureSize(int megapixels)
{
    switch (megapixels) {
    case 1:
        return {1000, 1000};
    case 12:
        return {4000, 3000};
    default:
        return {8192, 6144};  // 50.3 megapixels
    }
}

QImage Pattern(QSize size)
{
    QImage image = NewBitmap24(size.width(), size.height());
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        for (int i = 0; i < image.width() * 3; ++i)
            line[i] = uchar(i ^ y);
    }
    return image;
}

const QImage& Picture(int megapixels)
{
    static std::map<int, QImage> pictures;
    auto [it, added] = pictures.try_emplace(megapixels);
    if (added)
        it->second = Pattern(PictureSize(megapixels));
    return it->second;
}

// The sheet of a large window in "Close Up": about 1000 x 1250 screen pixels.
template <void (*Stretch)(const QImage&, QImage&, const QRect&, const QRect&)>
void BM_StretchSheet(benchmark::State& state)
{
    const QImage& source = Picture(int(state.range(0)));
    QImage sheet = NewBitmap24(1000, 1250);
    for (auto _ : state) {
        Stretch(source, sheet, sheet.rect(), sheet.rect());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * sheet.sizeInBytes());
}
BENCHMARK_TEMPLATE(BM_StretchSheet, StretchNearest)->Arg(1)->Arg(12)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_StretchSheet, StretchSmooth)
    ->Arg(1)->Arg(12)->Arg(50)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The floor: copying the sheet's bytes once.
void BM_MemcpySheet(benchmark::State& state)
{
    const QImage source = NewBitmap24(1000, 1250);
    QImage sheet = NewBitmap24(1000, 1250);
    for (auto _ : state) {
        std::memcpy(sheet.bits(), source.constBits(), std::size_t(sheet.sizeInBytes()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * sheet.sizeInBytes());
}
BENCHMARK(BM_MemcpySheet)->Unit(benchmark::kMillisecond);

// The whole engine: layout of the page and a synchronous repaint of the sheet with the picture loaded from a file.
void BM_RelayoutEngine(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString file = folder.path() + "/picture.bmp";
    if (!Picture(int(state.range(0))).save(file, "BMP")) {
        state.SkipWithError("cannot write the picture");
        return;
    }
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    TPictavo engine;
    engine.Form()->setParent(&host);
    layout->addWidget(engine.Form());
    host.resize(1100, 1400);
    host.show();
    engine.SetViewSize(state.range(1));
    if (!engine.OpenPicture(file)) {
        state.SkipWithError(qPrintable(engine.LastError));
        return;
    }
    QApplication::processEvents();
    const int part = int(state.range(2));
    for (auto _ : state) {
        if (part != 2)
            engine.LayoutPage();
        if (part != 1)
            engine.PaintPage();
    }
    const QWidget* sheet = engine.Form()->findChild<QWidget*>("Page");
    state.counters["sheet_px"] = double(sheet->width()) * sheet->height();
}
BENCHMARK(BM_RelayoutEngine)
    ->ArgsProduct({{1, 12, 50}, {0, 1}, {0}})
    ->Args({50, 1, 1})
    ->Args({50, 1, 2})
    ->ArgNames({"MP", "closeup", "part"})  // part 0: layout and paint; 1: layout only; 2: paint only
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
