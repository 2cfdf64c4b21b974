// What the translation table costs: every program text through a full table of 4000 entries (the worst case a
// file can give, most texts found late or not at all), and reading such a file.
#include "support/language.h"
#include "support/program_texts.h"

#include <benchmark/benchmark.h>

namespace {

// 4000 entries; the program's texts are the last ones, so each lookup scans nearly the whole table.
TLanguage FullTable()
{
    TLanguage language;
    const QStringList& texts = ProgramTexts();
    for (int i = 0; language.Count() < TLanguage::kMaxEntries - texts.size(); ++i)
        language.AddEntry(QStringLiteral("Filler text number %1").arg(i), QStringLiteral("Fuellung %1").arg(i));
    for (const QString& text : texts)
        language.AddEntry(SplitLine(text).Key, "<" + SplitLine(text).Key + ">");
    return language;
}

void BM_TranslateEveryProgramText(benchmark::State& state)
{
    const TLanguage language = FullTable();
    for (auto _ : state) {
        for (const QString& text : ProgramTexts())
            benchmark::DoNotOptimize(language.TranslateText(text));
    }
    state.SetItemsProcessed(state.iterations() * ProgramTexts().size());
}
BENCHMARK(BM_TranslateEveryProgramText);

void BM_TranslateTextWithoutEntry(benchmark::State& state)
{
    const TLanguage language = FullTable();
    for (auto _ : state)
        benchmark::DoNotOptimize(language.TranslateText("Fxxxxx not in the table"));
}
BENCHMARK(BM_TranslateTextWithoutEntry);

void BM_ReadFullLanguageFile(benchmark::State& state)
{
    const QByteArray file = FullTable().WriteStream();
    for (auto _ : state) {
        TLanguage language;
        benchmark::DoNotOptimize(language.ReadFrom(file));
    }
    state.SetBytesProcessed(state.iterations() * file.size());
}
BENCHMARK(BM_ReadFullLanguageFile);

}  // namespace

BENCHMARK_MAIN();
