// Language file reader over arbitrary bytes: a file read must write back to a stream that reads to the same
// table; one that cannot be read must leave the defaults. Translating through whatever was read never fails.
#include "support/language.h"

#include <cstddef>
#include <cstdint>

namespace {

bool SameTable(const TLanguage& a, const TLanguage& b)
{
    if (a.pC != b.pC || a.pP != b.pP || a.pD != b.pD || a.KeyA != b.KeyA || a.KeyB != b.KeyB || a.Count() != b.Count())
        return false;
    for (int i = 0; i < a.Count(); ++i) {
        if (a.Entries[size_t(i)].EnglishText != b.Entries[size_t(i)].EnglishText ||
            a.Entries[size_t(i)].TranslatedText != b.Entries[size_t(i)].TranslatedText)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    TLanguage language;
    if (!language.ReadFrom(bytes)) {
        if (language.Count() != 0 || language.pC != "English" || language.LastError != "Unsupported format")
            __builtin_trap();
        return 0;
    }
    if (language.Count() > TLanguage::kMaxEntries)
        __builtin_trap();
    TLanguage back;
    if (!back.ReadFrom(language.WriteStream()) || !SameTable(language, back))
        __builtin_trap();
    for (int i = 0; i < language.Count() && i < 8; ++i)
        language.TranslateText("&" + language.Entries[size_t(i)].EnglishText + "...\nx");
    return 0;
}
