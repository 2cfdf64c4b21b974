#pragma once

#include "common/failure_texts.h"

#include <QString>

#include <exception>
#include <new>

// Runs work where an exception can really come from below it: an allocation, a Qt container, a codec. Nothing
// escapes. The answer is empty when work ran through, else what stopped it in the program's words: "Out of
// memory" for an allocation, the exception's own text when it has one, "Unexpected error" otherwise.
template <class Work>
QString Guarded(Work&& work) noexcept
{
    try {
        work();
        return {};
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (const std::exception& error) {
        try {
            const QString text = QString::fromUtf8(error.what());
            return text.isEmpty() ? kUnexpectedError : text;
        } catch (...) {
            return kOutOfMemory;  // the text itself did not fit
        }
    } catch (...) {
        return kUnexpectedError;
    }
}
