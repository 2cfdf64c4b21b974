// How long playing the largest metafile fixtures takes, records to pixels, and the whole load with the file read
// and the 24-bit conversion.
#include "formats/image_info.h"
#include "formats/loaders.h"
#include "formats/metafile_player.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

namespace {

QString Fixture(const char* name)
{
    return QStringLiteral(PICTAVO_SOURCE_DIR "/tests/data/metafile/") + name;
}

QByteArray ReadFixture(const char* name)
{
    QFile file(Fixture(name));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

template <class Size, class Play>
void PlayFixture(benchmark::State& state, const char* name, Size naturalSize, Play play)
{
    const QByteArray bytes = ReadFixture(name);
    QSize natural;
    if (!naturalSize(bytes, natural)) {
        state.SkipWithError("fixture missing");
        return;
    }
    QImage target(natural, QImage::Format_RGB32);
    for (auto _ : state) {
        target.fill(Qt::white);
        play(bytes, target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_PlayEmfDrawing(benchmark::State& state)
{
    PlayFixture(state, "drawing.emf", EmfNaturalSize, PlayEmf);
}
BENCHMARK(BM_PlayEmfDrawing)->Unit(benchmark::kMicrosecond);

void BM_PlayWmfDrawing(benchmark::State& state)
{
    PlayFixture(state, "drawing.wmf", WmfNaturalSize, PlayWmf);
}
BENCHMARK(BM_PlayWmfDrawing)->Unit(benchmark::kMicrosecond);

void BM_LoadEmfDrawing(benchmark::State& state)
{
    QImage image;
    TImageInfoRec info;
    info.FileName = Fixture("drawing.emf");
    info.Bitmap = &image;
    for (auto _ : state) {
        if (!LoadMetafileFile(info))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_LoadEmfDrawing)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
