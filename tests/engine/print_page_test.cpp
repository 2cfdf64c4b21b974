// The page bitmap and the attempts of a job, without any printer.
#include "engine/print_page.h"

#include <QImage>

#include <gtest/gtest.h>

#include <vector>

namespace {

QImage Picture(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_BGR888);
    image.fill(color);
    return image;
}

constexpr std::int32_t kWhite = 0x00FFFFFF;
constexpr std::int32_t kBlue = 0x00FF0000;  // 0x00BBGGRR

// Attempts answering from a script; records the sizes and budgets they were given.
struct TScript {
    std::vector<TTransferResult> Answers;
    std::vector<std::int32_t> Budgets;
    std::vector<QSize> Sizes;

    TPrintAttemptsResult Run(QSize first, std::int32_t budget)
    {
        const auto sizeFor = [](std::int32_t b) { return QSize(b / 1'000'000, b / 2'000'000); };
        return RunPrintAttempts(first, budget, sizeFor, [this](QSize size, std::int32_t b) {
            Sizes.push_back(size);
            Budgets.push_back(b);
            const std::size_t n = Budgets.size() - 1;
            return n < Answers.size() ? Answers[n] : TTransferResult::Accepted;
        });
    }
};

}  // namespace

TEST(PageBitmap, PictureInItsRectangleAndBackgroundAround)
{
    const QImage page = RenderPageBitmap(Picture(6, 3, Qt::red), QSize(20, 30), {2, 4, 12, 6}, kBlue);
    ASSERT_EQ(page.size(), QSize(20, 30));
    ASSERT_EQ(page.format(), QImage::Format_BGR888);
    EXPECT_EQ(page.pixelColor(2, 4), QColor(Qt::red));
    EXPECT_EQ(page.pixelColor(13, 9), QColor(Qt::red));
    for (const QPoint at : {QPoint(1, 4), QPoint(14, 9), QPoint(2, 3), QPoint(13, 10), QPoint(0, 0), QPoint(19, 29)})
        EXPECT_EQ(page.pixelColor(at), QColor(Qt::blue)) << at.x() << "," << at.y();
}

TEST(PageBitmap, WholeFactorEnlargementKeepsEverySourcePixelSharp)
{
    QImage picture = Picture(2, 1, Qt::black);
    picture.setPixelColor(1, 0, Qt::white);
    const QImage page = RenderPageBitmap(picture, QSize(8, 2), {0, 0, 8, 2}, kBlue);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(page.pixelColor(x, 1), x < 4 ? QColor(Qt::black) : QColor(Qt::white)) << x;
}

TEST(PageBitmap, OverhangingAndHugeRectanglesStayOnThePage)
{
    // Centred and larger than the page: only the visible part is computed, nothing outside is touched.
    const QImage over = RenderPageBitmap(Picture(10, 10, Qt::green), QSize(10, 10), {-5, -5, 20, 20}, kWhite);
    EXPECT_EQ(over.pixelColor(0, 0), QColor(Qt::green));
    EXPECT_EQ(over.pixelColor(9, 9), QColor(Qt::green));
    const QImage huge =
        RenderPageBitmap(Picture(3, 3, Qt::green), QSize(10, 10), {-1'000'000'000, 0, 2'000'000'000, 5}, kWhite);
    EXPECT_EQ(huge.pixelColor(5, 4), QColor(Qt::green));
    EXPECT_EQ(huge.pixelColor(5, 5), QColor(Qt::white));
    // Entirely off the page, or an empty picture: the background alone.
    const QImage off = RenderPageBitmap(Picture(3, 3, Qt::green), QSize(4, 4), {50, 50, 3, 3}, kWhite);
    const QImage none = RenderPageBitmap(QImage(), QSize(4, 4), {0, 0, 4, 4}, kWhite);
    for (const QImage& page : {off, none})
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(page.pixelColor(x, y), QColor(Qt::white));
}

TEST(PageBitmap, UnallocatableBitmapIsNull)
{
    EXPECT_TRUE(RenderPageBitmap(Picture(2, 2, Qt::red), QSize(0, 10), {0, 0, 1, 1}, kWhite).isNull());
    EXPECT_TRUE(RenderPageBitmap(Picture(2, 2, Qt::red), QSize(200000, 200000), {0, 0, 1, 1}, kWhite).isNull());
}

TEST(PrintAttempts, FirstSuccessStopsAtFullBudget)
{
    TScript script;
    const TPrintAttemptsResult run = script.Run(QSize(500, 625), 15'000'000);
    EXPECT_TRUE(run.Success);
    EXPECT_EQ(run.Budget, 15'000'000);
    EXPECT_EQ(script.Sizes, std::vector<QSize>{QSize(500, 625)});
    EXPECT_EQ(PrintPercent(run.Budget, 15'000'000), 100);
}

TEST(PrintAttempts, RetriesWithLowerBudgetAtFullQualitySize)
{
    TScript script;
    script.Answers = {TTransferResult::Failed, TTransferResult::Failed, TTransferResult::Accepted};
    const TPrintAttemptsResult run = script.Run(QSize(500, 625), 15'000'000);
    EXPECT_TRUE(run.Success);
    EXPECT_EQ(script.Budgets, (std::vector<std::int32_t>{15'000'000, 14'000'000, 13'000'000}));
    // The quality divisor is not applied again: a retry renders the lowered budget's full size.
    EXPECT_EQ(script.Sizes[1], QSize(14, 7));
    EXPECT_EQ(PrintPercent(run.Budget, 15'000'000), 86);
}

TEST(PrintAttempts, AllFailingEndsAtTheLastBudgetAfterFourteenRetries)
{
    TScript script;
    script.Answers.assign(20, TTransferResult::Failed);
    const TPrintAttemptsResult run = script.Run(QSize(10, 10), 15'000'000);
    EXPECT_FALSE(run.Success);
    EXPECT_EQ(script.Budgets.size(), 15u);
    EXPECT_EQ(run.Budget, 1'000'000);
    EXPECT_EQ(PrintPercent(run.Budget, 15'000'000), 6);
    // A budget below 2,000,000 gets one attempt only.
    TScript small;
    small.Answers = {TTransferResult::Failed};
    EXPECT_FALSE(small.Run(QSize(1, 1), 1'999'999).Success);
    EXPECT_EQ(small.Budgets.size(), 1u);
}

TEST(PrintAttempts, RefusalSpoilsTheJobButAttemptsGoOn)
{
    TScript script;
    script.Answers = {TTransferResult::Refused};  // every later one is accepted
    const TPrintAttemptsResult run = script.Run(QSize(10, 10), 15'000'000);
    EXPECT_FALSE(run.Success);
    EXPECT_EQ(script.Budgets.size(), 15u);
}

TEST(PrintAttempts, ExceptionEndsOnlyItsAttempt)
{
    int calls = 0;
    const TPrintAttemptsResult run = RunPrintAttempts(
        QSize(1, 1), 15'000'000, [](std::int32_t) { return QSize(1, 1); },
        [&](QSize, std::int32_t) {
            if (++calls == 1)
                throw std::bad_alloc();
            return TTransferResult::Accepted;
        });
    EXPECT_TRUE(run.Success);
    EXPECT_EQ(run.Budget, 14'000'000);
}

TEST(PrintAttempts, PercentIsClamped)
{
    EXPECT_EQ(PrintPercent(15'000'000, 15'000'000), 100);
    EXPECT_EQ(PrintPercent(2'147'483'647, 15'000'000), 100);
    EXPECT_EQ(PrintPercent(1'000'000, 2'147'483'647), 0);
    EXPECT_EQ(PrintPercent(5, 0), 0);
}
