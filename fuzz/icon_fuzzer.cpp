// The icon loader over arbitrary file contents: Qt's icon reader, the largest picture, the background fill.
#include "fuzz_file.h"

#include "formats/loaders.h"

#include <QCoreApplication>
#include <QImage>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The icon reader is a plugin: it is found through the application object,
    // which lives as long as the process.
    static int argc = 1;
    static char name[] = "icon_fuzzer";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;

    const QString path = WriteFuzzFile(data, size, ".ico");
    QImage target(2, 2, QImage::Format_BGR888);
    target.fill(Qt::red);
    TImageInfoRec info{path, 24, 0x00FFFFFF, {}, &target};
    if (!LoadIconFile(info) && target.size() != QSize(2, 2))
        __builtin_trap();
    return 0;
}
