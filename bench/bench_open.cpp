// Opens one picture through the registry, as the program does, and ends: the whole-process cost of a load.
// Usage: bench_open <picture>. Status 0 when the picture opened, else 1 with the reason on stderr.
#include "formats/open_image.h"

#include <QImage>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_open <picture>\n");
        return 2;
    }
    QImage target;
    TImageInfoRec info{QString::fromLocal8Bit(argv[1]), 24, 0x00FFFFFF, {}, &target};
    if (!GetOpenImage().OpenFile(info)) {
        std::fprintf(stderr, "%s\n", qPrintable(info.ErrorText));
        return 1;
    }
    if (!info.Warning.isEmpty())
        std::fprintf(stderr, "partly read: %s\n", qPrintable(info.Warning));
    FreeOpenImage();
    return 0;
}
