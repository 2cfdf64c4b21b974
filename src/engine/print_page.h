#pragma once

#include "engine/stretch.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <functional>

// The page bitmap of a print job and the job's attempts, apart from any printer.

// The page bitmap: size.width() x size.height() at 24 bits per pixel, the background colour (0x00BBGGRR) around
// the picture and the picture stretched nearest-neighbour into pictureRect (page bitmap pixels; it may overhang
// the page). Only the visible part of the picture is computed. A null image when the bitmap cannot be allocated.
QImage RenderPageBitmap(const QImage& picture, QSize size, const TStretchRect& pictureRect, std::int32_t background);

// What one attempt of a job did with its page bitmap.
enum class TTransferResult {
    Failed,    // the bitmap could not be made; nothing reached the printer
    Accepted,  // the printer took the page
    Refused,   // the printer refused the page
    Broken,    // the output cannot be written (a full disk): no later attempt can help, so none is made
};

struct TPrintAttemptsResult {
    bool Success = false;
    std::int32_t Budget = 0;  // the budget of the last attempt
};

// Each attempt renders at a size and transfers; one that fails retries with the budget lowered by 1,000,000 while
// the budget is at least 2,000,000, at the full-quality size sizeForBudget gives for the lowered budget. A refused
// transfer spoils the job: later attempts are still made, but none of them counts. An exception ends its attempt
// as a failure.
TPrintAttemptsResult RunPrintAttempts(QSize firstSize, std::int32_t budget,
                                      const std::function<QSize(std::int32_t budget)>& sizeForBudget,
                                      const std::function<TTransferResult(QSize size, std::int32_t budget)>& attempt);

// The last budget in percent of the whole budget, 0..100.
std::int32_t PrintPercent(std::int32_t budget, std::int32_t printMemory);
