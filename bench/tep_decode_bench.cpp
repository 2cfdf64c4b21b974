// Text Picture decoding speed: a 24-megapixel kind-6 picture from memory, in bytes of text per second.
#include "formats/text_picture.h"

#include <QBuffer>
#include <benchmark/benchmark.h>

#include <random>

namespace {

QByteArray MakeKind6(int width, int height)
{
    static const char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz()";
    auto digits = [](int value, int count) {
        QByteArray text;
        for (int i = 0; i < count; ++i, value /= 64)
            text += kAlphabet[value % 64];
        return text;
    };
    QByteArray text = "T6" + digits(width, 3) + digits(height, 3);
    for (int i = 0; i < 64; ++i)
        text += digits(i * 0x030507, 4);
    text += '~';
    std::mt19937 random(42);
    const qsizetype header = text.size();
    text.resize(header + qsizetype(width) * height);
    for (qsizetype i = header; i < text.size(); ++i)
        text[i] = kAlphabet[random() % 64];
    return text + '#';
}

void BM_TextPictureDecodeKind6(benchmark::State& state)
{
    QByteArray text = MakeKind6(6000, 4000);
    for (auto _ : state) {
        QBuffer buffer(&text);
        buffer.open(QIODevice::ReadOnly);
        TTextPicture picture;
        picture.LoadFromStream(buffer);
        benchmark::DoNotOptimize(picture.GetBitmap().constBits());
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_TextPictureDecodeKind6)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
