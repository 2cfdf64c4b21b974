// Component stream reader over arbitrary bytes: reads a chain of streams, as the language file's entries stand;
// every stream read must write and read back to the same properties (less the empty texts the writer leaves out).
#include "support/component_stream.h"

#include <cstddef>
#include <cstdint>

namespace {

bool SameValue(const TStreamValue& a, const TStreamValue& b)
{
    return a.Kind == b.Kind && (a.IsText() ? a.Text == b.Text : a.Integer == b.Integer);
}

void CheckRoundTrip(const TComponentStream& stream)
{
    const QByteArray written = WriteComponentStream(stream);
    qsizetype offset = 0;
    TComponentStream back;
    if (!ReadComponentStream(written, offset, back) || offset != written.size())
        __builtin_trap();
    if (back.ClassName != stream.ClassName || back.ComponentName != stream.ComponentName)
        __builtin_trap();
    size_t j = 0;
    for (const TStreamProperty& property : stream.Properties) {
        if (property.Value.IsText() && property.Value.Text.isEmpty())
            continue;
        if (j >= back.Properties.size() || back.Properties[j].Name != property.Name ||
            !SameValue(back.Properties[j].Value, property.Value))
            __builtin_trap();
        ++j;
    }
    if (j != back.Properties.size())
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    qsizetype offset = 0;
    TComponentStream stream;
    while (ReadComponentStream(bytes, offset, stream))
        CheckRoundTrip(stream);
    return 0;
}
