#pragma once

#include "common/translate.h"

#include <functional>
#include <utility>

// Installs a test hook (the error box, the active printer, the print dialog's runner, the colour chooser, the
// desktop opener, the printer watch's query, the translator) for the life of a scope, and puts back the one it
// replaced when the scope ends, also when a check fails half-way.
template <class Hook>
class ScopedHook {
public:
    // set installs a hook and answers the one it replaced.
    using Setter = std::function<Hook(Hook)>;

    ScopedHook(Setter set, Hook hook) : FSet(std::move(set)), FPrevious(FSet(std::move(hook))) {}
    ~ScopedHook() { FSet(std::move(FPrevious)); }
    ScopedHook(const ScopedHook&) = delete;
    ScopedHook& operator=(const ScopedHook&) = delete;

private:
    Setter FSet;
    Hook FPrevious;
};

template <class Hook, class Given>
ScopedHook(Hook (*)(Hook), Given) -> ScopedHook<Hook>;

// The translator as a hook: installing one answers none, and an empty one releases it, so that a scope's table is
// gone when the scope ends.
using TranslatorLookup = std::function<QString(const QString&)>;
inline TranslatorLookup SwapTranslator(TranslatorLookup lookup)
{
    if (lookup)
        SetTranslator(std::move(lookup));
    else
        ReleaseTranslator();
    return {};
}
