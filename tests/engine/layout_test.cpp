#include "engine/layout.h"

#include <QPoint>
#include <QRect>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <stdexcept>

namespace {

// A 100 x 50 picture on the fallback page, laid out in page pixels.
TPictavoInfo Settings(std::uint8_t scale, std::uint8_t position)
{
    TPictavoInfo info;
    info.Scale = scale;
    info.Position = position;
    info.PageWidth = 2400;
    info.PageHeight = 3000;
    info.PictureWidth = 100;
    info.PictureHeight = 50;
    return info;
}

TLayoutDevice Device()
{
    TLayoutDevice device;
    device.DpiX = 300;
    device.DpiY = 600;
    device.ScreenPPI = 75;
    device.ClientWidth = 480;
    device.ClientHeight = 600;
    return device;
}

QSize OutSize(TPictavoInfo info)
{
    ComputeLayout(info, Device());
    return {info.OutWidth, info.OutHeight};
}

QPoint OutOffset(TPictavoInfo info)
{
    ComputeLayout(info, Device());
    return {info.OutLeft, info.OutTop};
}

}  // namespace

TEST(Rounding, TiesGoToEvenAndHalvingTruncatesTowardZero)
{
    EXPECT_EQ(RoundEven(2.5L), 2);
    EXPECT_EQ(RoundEven(3.5L), 4);
    EXPECT_EQ(RoundEven(-2.5L), -2);
    EXPECT_EQ(RoundEven(2.6L), 3);
    EXPECT_EQ(Half(-5), -2);
    EXPECT_EQ(Half(5), 2);
    EXPECT_THROW(RoundEven(3e9L), std::range_error);
    EXPECT_THROW(RoundEven(std::numeric_limits<Extended>::quiet_NaN()), std::range_error);
}

TEST(Percent, FactorsAndScaledSizes)
{
    EXPECT_EQ(PercentFactor(100), 2.0L);
    EXPECT_EQ(ScaleByPercent(10, 800), 90);
    EXPECT_EQ(ScaleByPercent(123, 0), 123);
    EXPECT_EQ(ScaleByPercent(3201, -1600), 1601);  // about half
    // The percentage that prints a picture at its own resolution, bounded.
    EXPECT_EQ(PercentForResolution(300, 150), 200);
    EXPECT_EQ(PercentForResolution(600, 72), 833);
    EXPECT_EQ(PercentForResolution(300, 0), 0);
    EXPECT_EQ(PercentForResolution(300, 1e-9), 100000);
    EXPECT_EQ(ScaleByPercent(3201, -3200), 1);     // 1/3201 of the size, still positive
    EXPECT_EQ(ScaleByPercent(0, -50), 0);
    EXPECT_THROW(ScaleByPercent(2000000000, 3200), std::range_error);
}

TEST(ComputeLayout, SizeOfEveryScaleMode)
{
    EXPECT_EQ(OutSize(Settings(kScaleActualSize, kPositionTopLeft)), QSize(400, 400));  // 300/75 and 600/75
    EXPECT_EQ(OutSize(Settings(kScaleToPage, kPositionTopLeft)), QSize(2400, 1200));
    EXPECT_EQ(OutSize(Settings(kScaleFitToPage, kPositionTopLeft)), QSize(2400, 3000));
    EXPECT_EQ(OutSize(Settings(kScaleAsIs, kPositionTopLeft)), QSize(100, 50));
    TPictavoInfo custom = Settings(kScaleCustom, kPositionTopLeft);
    custom.ZoomX = 100;
    custom.ZoomY = -1600;
    EXPECT_EQ(OutSize(custom), QSize(200, 25));  // twice as wide, about half as tall
    TPictavoInfo fixed = Settings(kScaleCustomFixed, kPositionTopLeft);
    fixed.ZoomXY = 50;
    fixed.ZoomX = 900;  // belongs to "Custom" only
    EXPECT_EQ(OutSize(fixed), QSize(150, 75));
}

TEST(ComputeLayout, OffsetOfEveryPosition)
{
    EXPECT_EQ(OutOffset(Settings(kScaleAsIs, kPositionTopLeft)), QPoint(0, 0));
    EXPECT_EQ(OutOffset(Settings(kScaleAsIs, kPositionTopRight)), QPoint(2300, 0));
    EXPECT_EQ(OutOffset(Settings(kScaleAsIs, kPositionBottomLeft)), QPoint(0, 2950));
    EXPECT_EQ(OutOffset(Settings(kScaleAsIs, kPositionBottomRight)), QPoint(2300, 2950));
    EXPECT_EQ(OutOffset(Settings(kScaleAsIs, kPositionCenter)), QPoint(1150, 1475));
    TPictavoInfo custom = Settings(kScaleAsIs, kPositionCustom);
    custom.X = 40;
    custom.Y = 70;
    EXPECT_EQ(OutOffset(custom), QPoint(40, 70));
}

TEST(ComputeLayout, CentredOverhangIsHalvedTowardZero)
{
    TPictavoInfo info = Settings(kScaleAsIs, kPositionCenter);
    info.PictureWidth = 2405;  // 5 pixels wider than the page
    info.PictureHeight = 3001;
    EXPECT_EQ(OutOffset(info), QPoint(-2, 0));
}

TEST(ComputeLayout, OutputScaleAppliesToOffsetAndSize)
{
    TPictavoInfo info = Settings(kScaleAsIs, kPositionBottomRight);
    info.ScaleX = 0.5L;
    info.ScaleY = 0.25L;
    ComputeLayout(info, Device());
    EXPECT_EQ(QRect(info.OutLeft, info.OutTop, info.OutWidth, info.OutHeight), QRect(1150, 738, 50, 12));
}

TEST(ComputeLayout, CustomPositionKeepsThreePixelsOnTheSheet)
{
    TPictavoInfo far = Settings(kScaleAsIs, kPositionCustom);
    far.X = 1000000;
    far.Y = -1000000;
    ComputeLayout(far, Device());
    EXPECT_EQ(far.OutLeft, 480 - 3);
    EXPECT_EQ(far.OutTop, 3 - 50);
    // Only the custom position is clamped: a right-aligned picture may stand beyond the on-screen sheet.
    TPictavoInfo right = Settings(kScaleAsIs, kPositionTopRight);
    ComputeLayout(right, Device());
    EXPECT_EQ(right.OutLeft, 2300);
}

TEST(ComputeLayout, FaultsThrowInsteadOfWrapping)
{
    TPictavoInfo empty = Settings(kScaleToPage, kPositionCenter);
    empty.PictureWidth = 0;
    EXPECT_THROW(ComputeLayout(empty, Device()), std::domain_error);
    TPictavoInfo huge = Settings(kScaleCustomFixed, kPositionCustom);
    huge.PictureWidth = 1000000;
    huge.ZoomXY = 1000000;
    EXPECT_THROW(ComputeLayout(huge, Device()), std::range_error);
}

TEST(FitPage, FitsByWidthOrByHeightAndDoublesForCloseUp)
{
    // A landscape page in a tall client is fitted by width.
    EXPECT_EQ(FitPage(420, 500, 10, 0.5L, 0), QSize(400, 200));
    // A portrait page is fitted by height, even when that overflows a narrow client sideways.
    EXPECT_EQ(FitPage(220, 520, 10, 1.25L, 0), QSize(400, 500));
    EXPECT_EQ(FitPage(520, 520, 10, 1.25L, 0), QSize(400, 500));
    // A landscape page too tall for a flat client is fitted by height.
    EXPECT_EQ(FitPage(1020, 220, 10, 0.5L, 0), QSize(400, 200));
    EXPECT_EQ(FitPage(520, 520, 10, 1.25L, 1), QSize(800, 1000));
}

TEST(PlaceSheet, ScrollBarsOnlyWhereTheSheetOverflows)
{
    const TSheetPlacement overall = PlaceSheet(QSize(520, 520), 16, 10, 1.25L, 0);
    EXPECT_EQ(overall.Sheet, QSize(400, 500));
    EXPECT_EQ(overall.Surround, QSize(420, 520));
    EXPECT_FALSE(overall.HorizontalBar);
    EXPECT_FALSE(overall.VerticalBar);

    // Portrait page in a window taller than wide: overflows sideways, the bar then shortens the client.
    const TSheetPlacement narrow = PlaceSheet(QSize(200, 520), 16, 10, 1.25L, 0);
    EXPECT_TRUE(narrow.HorizontalBar);
    EXPECT_FALSE(narrow.VerticalBar);
    EXPECT_LE(narrow.Surround.height(), 520 - 16);
    EXPECT_GT(narrow.Surround.width(), 200);

    const TSheetPlacement closeUp = PlaceSheet(QSize(520, 520), 16, 10, 1.25L, 1);
    EXPECT_TRUE(closeUp.HorizontalBar);
    EXPECT_TRUE(closeUp.VerticalBar);
    EXPECT_EQ(closeUp.Sheet, FitPage(504, 504, 10, 1.25L, 1));
}

TEST(PrintBitmapSize, LargestFittingBitmapOfThePageProportions)
{
    const Extended a4 = Extended(7016) / 4960;
    const QSize size = PrintBitmapSize(15000000, 4960, a4);
    EXPECT_NEAR(size.width(), 1880, 2);
    EXPECT_NEAR(size.height(), 2659, 2);
    EXPECT_LE(std::int64_t(size.width()) * size.height() * 3, 15000000);
    // Never wider than the page itself.
    EXPECT_EQ(PrintBitmapSize(15000000, 100, 1.25L), QSize(100, 125));
    // Nothing fits: the fixed fallback.
    EXPECT_EQ(PrintBitmapSize(2, 2400, 1.25L), QSize(2000, 2500));
    EXPECT_EQ(PrintBitmapSize(15000000, 0, 1.25L), QSize(2000, 2500));
}

TEST(PrintBitmapSize, AgreesWithTheStepwiseSearch)
{
    const auto stepwise = [](std::int64_t budget, std::int32_t pageWidth, Extended aspect) {
        std::int64_t n = pageWidth;
        Extended h = 0;
        for (; n >= 1; --n) {
            h = std::nearbyint(n * aspect);
            if (n * h * 3 <= budget)
                break;
        }
        return n >= 1 && h >= 1 ? QSize(int(n), int(h)) : QSize(2000, 2500);
    };
    for (const Extended aspect : {0.001L, 0.02L, 0.7071L, 1.0L, 1.25L, 1.4142L, 30.0L})
        for (const std::int64_t budget : {1LL, 300LL, 999999LL, 15000000LL, 2147483647LL})
            for (const std::int32_t width : {1, 57, 2400, 4960, 20000})
                EXPECT_EQ(PrintBitmapSize(budget, width, aspect), stepwise(budget, width, aspect))
                    << double(aspect) << " " << budget << " " << width;
}

TEST(UpdateSizes, MillimetresAtThePrinterResolution)
{
    TPictavoInfo info;
    UpdateSizes(info, TSizeInputs{2400, 3000, 300, 300, 600, 150});
    EXPECT_EQ(info.PageWidthMM, 203);
    EXPECT_EQ(info.PageHeightMM, 254);
    EXPECT_EQ(info.PictureWidthMM, 51);
    EXPECT_EQ(info.PictureHeightMM, 13);
}

TEST(Titles, NameQualityAndCopies)
{
    TPictavoInfo info;
    info.CopiesText = "2 copies";
    UpdateTitles(info, "High");
    EXPECT_EQ(info.Title, "Pictavo");
    EXPECT_EQ(info.JobTitle, "Pictavo [High, 2 copies]");
    info.Name = "holiday";
    UpdateTitles(info, "High");
    EXPECT_EQ(info.Title, "holiday - Pictavo");
    EXPECT_EQ(info.JobTitle, "holiday - Pictavo [High, 2 copies]");
}

TEST(ValidatedInfo, ClampsCodesCutsNameKeepsPercentages)
{
    TPictavoInfo info;
    info.Name = QString(40, u'n');
    info.Quality = 7;
    info.Position = 6;
    info.Scale = 255;
    info.Orientation = 2;
    info.ZoomX = 99999;
    info.X = -70000;
    const TPictavoInfo valid = ValidatedInfo(info);
    EXPECT_EQ(valid.Name, QString(32, u'n'));
    EXPECT_EQ(valid.Quality, kQualityHigh);
    EXPECT_EQ(valid.Position, kPositionCustom);
    EXPECT_EQ(valid.Scale, kScaleCustomFixed);
    EXPECT_EQ(valid.Orientation, kOrientationLandscape);
    EXPECT_EQ(valid.ZoomX, 99999);
    EXPECT_EQ(valid.X, -70000);
}

TEST(ReducedDecode, LayoutSizeFollowsTheDeliveredPicturesTurnAndTheNeedCoversBothTurns)
{
    EXPECT_EQ(LayoutPictureSize({750, 500}, {3000, 2000}), QSize(3000, 2000));
    EXPECT_EQ(LayoutPictureSize({500, 750}, {3000, 2000}), QSize(2000, 3000));  // turned upright after decoding
    EXPECT_EQ(LayoutPictureSize({750, 500}, {}), QSize(750, 500));
    EXPECT_EQ(LayoutPictureSize({750, 500}, {300, 200}), QSize(750, 500));  // a full size below the picture's

    // Laid out at a fifth of the width and a tenth of the height: the turned picture needs the other shares.
    const auto output = [](QSize full) { return QSize(full.width() / 5, full.height() / 10); };
    EXPECT_EQ(NeededDecodeSize({3000, 2000}, output), QSize(600, 400));
    EXPECT_EQ(NeededDecodeSize({10, 10}, [](QSize) { return QSize(0, 0); }), QSize(1, 1));
}
