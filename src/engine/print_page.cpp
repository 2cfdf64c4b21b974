#include "engine/print_page.h"

#include "common/bitmap.h"
#include "common/guarded.h"
#include "engine/stretch.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr std::int32_t kBudgetStep = 1'000'000;
constexpr std::int32_t kSmallestRetryBudget = 2'000'000;

// Fills a rectangle of a 24-bit page row by row from one prepared row of blue, green, red triples.
void FillRect24(QImage& page, int left, int top, int right, int bottom, const std::vector<uchar>& row)
{
    if (right <= left || bottom <= top)
        return;
    const std::size_t bytes = std::size_t(right - left) * 3;
    for (int y = top; y < bottom; ++y)
        std::memcpy(page.scanLine(y) + std::size_t(left) * 3, row.data(), bytes);
}

// The background only where the picture leaves the page visible, so no pixel is written twice.
void FillAround(QImage& page, const TStretchRect& picture, std::int32_t background)
{
    const QColor color = ColorFromValue(background);
    std::vector<uchar> row(std::size_t(page.width()) * 3);
    for (std::size_t i = 0; i < row.size(); i += 3) {
        row[i] = uchar(color.blue());
        row[i + 1] = uchar(color.green());
        row[i + 2] = uchar(color.red());
    }
    const int width = page.width();
    const int height = page.height();
    const auto clampX = [&](std::int64_t x) { return int(std::clamp<std::int64_t>(x, 0, width)); };
    const auto clampY = [&](std::int64_t y) { return int(std::clamp<std::int64_t>(y, 0, height)); };
    int left = clampX(picture.Left);
    int right = clampX(picture.Left + picture.Width);
    int top = clampY(picture.Top);
    int bottom = clampY(picture.Top + picture.Height);
    if (left >= right || top >= bottom)
        left = right = top = bottom = 0;
    FillRect24(page, 0, 0, width, top, row);
    FillRect24(page, 0, bottom, width, height, row);
    FillRect24(page, 0, top, left, bottom, row);
    FillRect24(page, right, top, width, bottom, row);
}

bool Drawable(const QImage& picture, const TStretchRect& rect)
{
    constexpr std::int64_t kMaxSide = std::numeric_limits<std::int32_t>::max();
    return !picture.isNull() && rect.Width >= 1 && rect.Height >= 1 && rect.Width <= kMaxSide &&
           rect.Height <= kMaxSide;
}

}  // namespace

QImage RenderPageBitmap(const QImage& picture, QSize size, const TStretchRect& pictureRect, std::int32_t background)
{
    QImage page = NewBitmap24(size.width(), size.height());
    if (page.isNull())
        return page;
    // A picture that cannot be drawn leaves the whole page to the background.
    const bool drawable = Drawable(picture, pictureRect);
    FillAround(page, drawable ? pictureRect : TStretchRect{}, background);
    if (drawable)
        StretchSmooth(picture, page, pictureRect, page.rect());
    return page;
}

TPrintAttemptsResult RunPrintAttempts(QSize firstSize, std::int32_t budget,
                                      const std::function<QSize(std::int32_t budget)>& sizeForBudget,
                                      const std::function<TTransferResult(QSize size, std::int32_t budget)>& attempt)
{
    TPrintAttemptsResult result;
    bool good = true;
    QSize size = firstSize;
    for (;;) {
        const TTransferResult transfer = GuardedOr(TTransferResult::Failed, [&] { return attempt(size, budget); });
        if (transfer == TTransferResult::Refused)
            good = false;
        if (transfer == TTransferResult::Accepted && good)
            result.Success = true;
        if (result.Success || transfer == TTransferResult::Broken || budget < kSmallestRetryBudget)
            break;
        budget -= kBudgetStep;
        size = GuardedOr(QSize(), [&] { return sizeForBudget(budget); });
    }
    result.Budget = budget;
    return result;
}

std::int32_t PrintPercent(std::int32_t budget, std::int32_t printMemory)
{
    if (printMemory <= 0)
        return 0;
    return std::int32_t(std::clamp<std::int64_t>(std::int64_t(budget) * 100 / printMemory, 0, 100));
}
