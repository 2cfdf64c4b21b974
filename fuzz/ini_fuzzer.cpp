// The settings file's reader and writer over arbitrary text: reading never fails, an untouched file comes back
// byte for byte, and a written key reads back while the other keys keep their values.
#include "common/ini_file.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

const QString kSection = QStringLiteral("Settings");
const char* const kKeys[] = {"AutoClose", "Copies", "Width", "BkColor", "AutoRotate"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    TIniFile file(text);
    if (file.Text() != text)
        __builtin_trap();
    for (const char* key : kKeys)
        file.ReadString(kSection, key);
    file.ReadString("Other", "key");

    const std::optional<QString> before = file.ReadString(kSection, "Width");
    if (!file.WriteString(kSection, "Copies", "42"))
        __builtin_trap();
    if (file.ReadString(kSection, "copies") != QString("42"))
        __builtin_trap();
    // The key written was not "Width": its value stays as it was.
    if (file.ReadString(kSection, "Width") != before)
        __builtin_trap();
    // A new section goes to the end and leaves the rest readable as before.
    if (!file.WriteString("Fuzz Section", "Key", "value") || file.ReadString("fuzz section", "KEY") != QString("value"))
        __builtin_trap();
    if (file.ReadString(kSection, "Copies") != QString("42"))
        __builtin_trap();
    return 0;
}
