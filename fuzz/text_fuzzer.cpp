// Number reading and the byte-shift transform over arbitrary bytes.
#include "common/general.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TGeneral general;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    general.TextToInt(QString::fromLatin1(bytes));

    const qsizetype split = bytes.isEmpty() ? 0 : uchar(bytes[0]) % bytes.size();
    const QByteArray key = bytes.left(split);
    const QByteArray text = bytes.mid(split);
    if (key.isEmpty())
        return 0;
    for (int mode = 0; mode < 4; ++mode)
        general.ShiftText(text, key, mode);
    // Mode 0 is undone by mode 1 for every byte.
    if (general.ShiftText(general.ShiftText(text, key, 0), key, 1) != text)
        __builtin_trap();
    return 0;
}
