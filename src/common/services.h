#pragma once

#include "common/guarded.h"

#include <memory>

// Program start: seeds the random generator; the global services are created on first use.
void InitServices();

// Program end, in order: sweep old temporary files (and again as the sweeper is destroyed), free the path and
// message services and the translation table, delete the leftover TPictavo.BMP of the settings folder.
void FinalizeServices();

// Runs FinalizeServices once and ends the process with the given status.
[[noreturn]] void EndProcess(int status);

// Shows "Out of memory", then ends the process: the one answer to a service that cannot be made.
[[noreturn]] void FatalOutOfMemory();

// The instance of a global service, made on first use. Services are never null: one that cannot be made ends
// the program through FatalOutOfMemory.
template <class T>
T& CreatedOnce(std::unique_ptr<T>& instance)
{
    if (!instance && !Guarded([&] { instance = std::make_unique<T>(); }).isEmpty())
        FatalOutOfMemory();
    return *instance;
}
