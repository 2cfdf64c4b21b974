// Whole-process side of bench/compare_pnm.sh: loads one anymap file through the registry's loader, as the
// program does when it opens one, and exits 0 on success.
#include "formats/loaders.h"

#include <QImage>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pnm_load FILE\n");
        return 2;
    }
    QImage target;
    TImageInfoRec info;
    info.FileName = QString::fromLocal8Bit(argv[1]);
    info.Bitmap = &target;
    if (!LoadPortableFile(info)) {
        std::fprintf(stderr, "%s\n", qPrintable(info.ErrorText));
        return 1;
    }
    return 0;
}
