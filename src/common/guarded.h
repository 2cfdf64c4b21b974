#pragma once

#include "common/failure_texts.h"

#include <QString>

#include <exception>
#include <new>
#include <type_traits>
#include <utility>

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

// Runs work that answers a value; the fallback when something stops it. What the work set before it was stopped
// stays as it was: a loader that names each step in its failure text before taking it still says which step
// failed.
template <class T, class Work>
T GuardedOr(T fallback, Work&& work) noexcept
{
    static_assert(std::is_nothrow_move_constructible_v<T> && std::is_nothrow_move_assignable_v<T>);
    Guarded([&] { fallback = work(); });
    return fallback;
}

// Runs work that answers whether it succeeded. When something stops it the answer is false and failure takes
// the text of what stopped it, as Guarded names it.
template <class Work>
bool GuardedInto(QString& failure, Work&& work) noexcept
{
    bool succeeded = false;
    if (QString text = Guarded([&] { succeeded = work(); }); !text.isEmpty())
        failure = std::move(text);
    return succeeded;
}
