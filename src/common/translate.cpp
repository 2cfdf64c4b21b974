#include "common/translate.h"

#include "common/guarded.h"

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
    QString translated = text;
    Guarded([&] {
        if (Lookup())
            translated = Lookup()(text);
    });
    return translated;
}

void SetTranslator(std::function<QString(const QString&)> lookup, std::function<void()> release)
{
    Lookup() = std::move(lookup);
    Release() = std::move(release);
}

void ReleaseTranslator()
{
    if (Release())
        Guarded([] { Release()(); });
    Lookup() = {};
    Release() = {};
}
