// The bitmap loader over arbitrary file contents: the header check, then Qt's reader, then the target.
#include "fuzz_file.h"

#include "formats/bmp_header.h"
#include "formats/loaders.h"

#include <QImage>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto header = ReadBmpHeader(bytes.left(kBmpHeaderBytes)))
        if (header->Width * header->Height > kFuzzMaxPixels)
            return 0;
    const QString path = WriteFuzzFile(data, size, ".bmp");
    QImage target(2, 2, QImage::Format_BGR888);
    target.fill(Qt::red);
    TImageInfoRec info{path, 24, -1, {}, &target};
    const bool ok = LoadBitmapFile(info);
    if (ok && (target.format() != QImage::Format_BGR888 || target.isNull()))
        __builtin_trap();
    if (!ok && (target.size() != QSize(2, 2) || info.ErrorText.isEmpty()))
        __builtin_trap();  // a failed load leaves the old picture
    return 0;
}
