#pragma once
// Shared by the EMF and WMF fuzzers: a GUI application for fonts, and a bounded target so each input plays fast.
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QSize>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

// Fontconfig keeps its font cache until the process ends; LeakSanitizer would report that at every exit and
// make libFuzzer write a bogus crash file. (Each fuzzer includes this header from one file only.)
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

inline void StartFuzzApplication(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static std::unique_ptr<QGuiApplication> app(new QGuiApplication(*argc, *argv));
}

template <class Size, class Play>
int FuzzMetafile(const std::uint8_t* data, std::size_t size, Size naturalSize, Play play)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QSize natural;
    if (!naturalSize(bytes, natural))
        return 0;
    // The picture's size only scales the drawing; the records take the same paths at any size.
    QImage target(std::clamp(natural.width(), 1, 160), std::clamp(natural.height(), 1, 160), QImage::Format_RGB32);
    target.fill(Qt::white);
    play(bytes, target);
    return 0;
}
