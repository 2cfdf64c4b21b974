#include "common/translate.h"

namespace {
std::function<QString(const QString&)>& Lookup()
{
    static std::function<QString(const QString&)> lookup;
    return lookup;
}
std::function<void()>& Release()
{
    static std::function<void()> release;
    return release;
}
}  // namespace

QString Translate(const QString& text)
{
    try {
        if (Lookup())
            return Lookup()(text);
    } catch (...) {
    }
    return text;
}

void SetTranslator(std::function<QString(const QString&)> lookup, std::function<void()> release)
{
    Lookup() = std::move(lookup);
    Release() = std::move(release);
}

void ReleaseTranslator()
{
    if (Release()) {
        try {
            Release()();
        } catch (...) {
        }
    }
    Lookup() = {};
    Release() = {};
}
