// Archive reader over arbitrary bytes, as a carrier bitmap or a bare run of items: every item read must give its
// content or a failure text, never more than the inflation ceiling.
#include "support/zip_box.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer stream(&bytes);
    stream.open(QIODevice::ReadOnly);
    TZipBox box;
    if (!box.LoadFromStream(stream, false)) {
        if (box.Count() != 0 || box.LastError.isEmpty())
            __builtin_trap();
        return 0;
    }
    for (int i = 0; i < box.Count(); ++i) {
        QByteArray content;
        QBuffer target(&content);
        target.open(QIODevice::WriteOnly);
        const bool ok = box.GetData(box.Items(i), target);
        if ((!ok && box.LastError.isEmpty()) || content.size() > TZipHandler::kMaxInflated)
            __builtin_trap();
    }
    return 0;
}
