#pragma once

// Program start: seeds the random generator; the global services are created on first use.
void InitServices();

// Program end, in order: sweep old temporary files (and again as the sweeper is destroyed), free the path and
// message services and the translation table, delete the leftover TPictavo.BMP of the settings folder.
void FinalizeServices();

// Runs FinalizeServices once and ends the process with the given status.
[[noreturn]] void EndProcess(int status);
