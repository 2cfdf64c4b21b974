// What the help and splash cost at start-up and on the first F1: reading the carried archives, inflating every
// page, and reading component streams in bulk (a language file of 4000 entries is a chain of such streams).
#include "support/help.h"

#include <QBuffer>
#include <QImage>
#include <benchmark/benchmark.h>

namespace {

const QImage& HelpCarrier()
{
    static const QImage carrier(PICTAVO_CARRIER_DIR "/supHelp.bmp");
    return carrier;
}

// Start-up: the carrier bitmap written out as a file in memory and its archive read.
void BM_LoadHelpArchive(benchmark::State& state)
{
    for (auto _ : state) {
        QImage carrier = HelpCarrier();
        THelp help("Bench", &carrier);
        benchmark::DoNotOptimize(help.Box.Count());
    }
}
BENCHMARK(BM_LoadHelpArchive)->Unit(benchmark::kMicrosecond);

// The first F1, less the disk: every page inflated.
void BM_InflateHelpPages(benchmark::State& state)
{
    QImage carrier = HelpCarrier();
    THelp help("Bench", &carrier);
    qint64 bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < help.Box.Count(); ++i) {
            QByteArray content;
            QBuffer target(&content);
            target.open(QIODevice::WriteOnly);
            help.Box.GetData(help.Box.Items(i), target);
            bytes += content.size();
        }
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_InflateHelpPages)->Unit(benchmark::kMicrosecond);

void BM_ReadStreamChain(benchmark::State& state)
{
    QByteArray chain;
    for (int i = 0; i < 4000; ++i) {
        TComponentStream entry;
        entry.ClassName = "TLI";
        entry.AddText("X", QByteArray("English text number ") + QByteArray::number(i));
        entry.AddText("Y", QByteArray("Translated text number ") + QByteArray::number(i));
        chain += WriteComponentStream(entry);
    }
    for (auto _ : state) {
        qsizetype offset = 0;
        TComponentStream entry;
        int count = 0;
        while (ReadComponentStream(chain, offset, entry))
            ++count;
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(state.iterations() * chain.size());
}
BENCHMARK(BM_ReadStreamChain)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
