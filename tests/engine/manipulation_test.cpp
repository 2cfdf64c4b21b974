#include "engine/manipulation.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// Every pixel different, so a pixel in the wrong place shows.
QImage Numbered(int w, int h, QImage::Format format = kFormat24)
{
    QImage image = NewBitmap24(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) * 16 + (y >> 8)) & 0xFF));
    return format == kFormat24 ? image : image.convertToFormat(format);
}

TManipulationInfo WholePicture(QImage& image)
{
    TManipulationInfo info;
    info.Bitmap = &image;
    BitmapArea(&image, info.Area);
    info.AreaExclusive = true;
    return info;
}

// The pixel the turned picture must hold at (x, y).
QRgb TurnedPixel(const QImage& original, int x, int y, bool clockwise)
{
    return clockwise ? original.pixel(y, original.height() - 1 - x) : original.pixel(original.width() - 1 - y, x);
}

void ExpectTurned(const QImage& original, const QImage& turned, bool clockwise)
{
    ASSERT_EQ(turned.width(), original.height());
    ASSERT_EQ(turned.height(), original.width());
    ASSERT_EQ(turned.format(), kFormat24);
    for (int y = 0; y < turned.height(); ++y)
        for (int x = 0; x < turned.width(); ++x)
            ASSERT_EQ(turned.pixel(x, y), TurnedPixel(original, x, y, clockwise)) << x << "," << y;
}

bool Turn(QImage& image, int direction)
{
    TManipulationInfo info = WholePicture(image);
    return RotateQuarter(info, direction);
}

bool RunOn(QImage& image, bool (*routine)(TManipulationInfo&))
{
    TManipulationInfo info = WholePicture(image);
    return routine(info);
}

}  // namespace

TEST(QuarterTurn, ThreeByTwoMovesCornersTheRightWay)
{
    const QImage original = Numbered(3, 2);
    QImage clockwise = original;
    ASSERT_TRUE(Turn(clockwise, kRotateClockwise));
    EXPECT_EQ(clockwise.size(), QSize(2, 3));
    EXPECT_EQ(clockwise.pixel(1, 0), original.pixel(0, 0));  // top-left to top-right

    QImage counter = original;
    ASSERT_TRUE(Turn(counter, kRotateCounterClockwise));
    EXPECT_EQ(counter.size(), QSize(2, 3));
    EXPECT_EQ(counter.pixel(0, 2), original.pixel(0, 0));  // top-left to bottom-left
}

TEST(QuarterTurn, EveryPixelLandsWhereItBelongs)
{
    // Sizes across block edges, with and without row padding, and single rows and columns.
    const QSize sizes[] = {{1, 1}, {4, 4}, {5, 3}, {1, 9}, {9, 1}, {64, 64}, {65, 63}, {67, 130}, {200, 7}};
    for (const QSize& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        const QImage original = Numbered(size.width(), size.height());
        for (int direction : {kRotateClockwise, kRotateCounterClockwise}) {
            QImage turned = original;
            ASSERT_TRUE(Turn(turned, direction));
            ExpectTurned(original, turned, direction == kRotateClockwise);
        }
    }
}

TEST(QuarterTurn, LeavesSharedCopiesAlone)
{
    QImage picture = Numbered(5, 4);
    const QImage shared = picture;
    const QImage before = picture.copy();
    ASSERT_TRUE(Turn(picture, kRotateClockwise));
    EXPECT_EQ(shared, before);
}

TEST(QuarterTurn, BackAndForthAndFourTimesRestore)
{
    const QImage original = Numbered(33, 70);
    QImage image = original;
    ASSERT_TRUE(Turn(image, kRotateClockwise));
    ASSERT_TRUE(Turn(image, kRotateCounterClockwise));
    EXPECT_EQ(image, original);
    for (int k = 0; k < 4; ++k)
        ASSERT_TRUE(Turn(image, kRotateClockwise));
    EXPECT_EQ(image, original);
}

TEST(QuarterTurn, TurnsPicturesTallerThan65536Rows)
{
    const QImage original = Numbered(3, 70000);
    QImage image = original;
    ASSERT_TRUE(Turn(image, kRotateClockwise));
    ExpectTurned(original, image, true);
}

TEST(QuarterTurn, OtherFormatsComeOutAt24Bits)
{
    const QImage original = Numbered(6, 5, QImage::Format_RGB32);
    QImage image = original;
    ASSERT_TRUE(Turn(image, kRotateCounterClockwise));
    ExpectTurned(original, image, false);
}

TEST(RotateBitmap, HalfTurnEqualsFlipThenMirror)
{
    const QImage original = Numbered(7, 5);
    QImage expected = original;
    ASSERT_TRUE(RunOn(expected, FlipArea));
    ASSERT_TRUE(RunOn(expected, MirrorArea));
    for (int angle : {180, -180, 91, -269}) {
        QImage image = original;
        TManipulationInfo info = WholePicture(image);
        ASSERT_TRUE(RotateBitmap(info, angle)) << angle;
        EXPECT_EQ(image, expected) << angle;
    }
}

TEST(RotateBitmap, AnglesMapToTheirTurns)
{
    const QImage original = Numbered(4, 3);
    QImage clockwise = original;
    ASSERT_TRUE(Turn(clockwise, kRotateClockwise));
    QImage counter = original;
    ASSERT_TRUE(Turn(counter, kRotateCounterClockwise));

    struct Case {
        int Angle;
        const QImage& Expected;
    };
    const Case cases[] = {{0, original},     {360, original},   {-360, original},  {-45, original},
                          {-1, original},    {-89, original},   {1, clockwise},    {45, clockwise},
                          {90, clockwise},   {-300, clockwise}, {-270, clockwise}, {-359, clockwise},
                          {181, counter},    {270, counter},    {-90, counter},    {-179, counter}};
    for (const Case& c : cases) {
        QImage image = original;
        TManipulationInfo info = WholePicture(image);
        ASSERT_TRUE(RotateBitmap(info, c.Angle)) << c.Angle;
        EXPECT_EQ(image, c.Expected) << c.Angle;
    }
}

TEST(RotateBitmap, UnmappedAnglesFailAndKeepTheText)
{
    for (int angle : {300, 271, 359, 361, -361, 720}) {
        QImage image = Numbered(4, 3);
        const QImage before = image;
        TManipulationInfo info = WholePicture(image);
        info.ErrorText = "earlier";
        EXPECT_FALSE(RotateBitmap(info, angle)) << angle;
        EXPECT_EQ(info.ErrorText, "earlier");
        EXPECT_EQ(image, before);
    }
}

TEST(FlipAndMirror, MatchQtsMirrorAtManyWidths)
{
    // Widths around the four-pixel blocks of the 24-bit mirror.
    for (int width = 1; width <= 14; ++width) {
        const QImage original = Numbered(width, 5);
        QImage flipped = original;
        ASSERT_TRUE(RunOn(flipped, FlipArea));
        EXPECT_EQ(flipped, original.mirrored(false, true)) << width;
        QImage mirrored = original;
        ASSERT_TRUE(RunOn(mirrored, MirrorArea));
        EXPECT_EQ(mirrored, original.mirrored(true, false)) << width;
    }
}

TEST(FlipAndMirror, KeepOtherPixelFormats)
{
    QImage mono(11, 6, QImage::Format_Mono);
    mono.fill(0);
    for (int k = 0; k < 6; ++k)
        mono.setPixel(k, k, 1);
    const QImage originals[] = {Numbered(9, 6, QImage::Format_RGB32), Numbered(9, 6, QImage::Format_Indexed8),
                                Numbered(9, 6, QImage::Format_RGB16), Numbered(9, 6, QImage::Format_RGBA64),
                                mono};
    for (const QImage& original : originals) {
        SCOPED_TRACE(testing::Message() << "format " << original.format());
        QImage flipped = original;
        ASSERT_TRUE(RunOn(flipped, FlipArea));
        EXPECT_EQ(flipped.format(), original.format());
        EXPECT_EQ(flipped, original.mirrored(false, true));
        QImage mirrored = original;
        ASSERT_TRUE(RunOn(mirrored, MirrorArea));
        EXPECT_EQ(mirrored.format(), original.format());
        EXPECT_EQ(mirrored, original.mirrored(true, false));
    }
}

TEST(FlipAndMirror, TouchOnlyTheArea)
{
    const QImage original = Numbered(10, 8);
    for (auto routine : {FlipArea, MirrorArea}) {
        QImage image = original;
        TManipulationInfo info = WholePicture(image);
        info.Area = {2, 1, 7, 5};
        ASSERT_TRUE(routine(info));
        const QImage expectedInside =
            original.copy(2, 1, 5, 4).mirrored(routine == MirrorArea, routine == FlipArea);
        EXPECT_EQ(image.copy(2, 1, 5, 4), expectedInside);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 10; ++x) {
                const bool inside = x >= 2 && x < 7 && y >= 1 && y < 5;
                ASSERT_TRUE(inside || image.pixel(x, y) == original.pixel(x, y)) << x << "," << y;
            }
        }
    }
}

TEST(FlipAndMirror, LeaveSharedCopiesAlone)
{
    QImage picture = Numbered(6, 6);
    const QImage shared = picture;
    const QImage before = picture.copy();
    ASSERT_TRUE(RunOn(picture, FlipArea));
    ASSERT_TRUE(RunOn(picture, MirrorArea));
    EXPECT_EQ(shared, before);
}

TEST(Invert, TwiceRestoresAndOnceInvertsEveryByte)
{
    const QImage original = Numbered(13, 7);
    QImage image = original;
    ASSERT_TRUE(RunOn(image, InvertBitmap));
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x)
            ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, ~original.pixel(x, y) & 0xFFFFFF);
    ASSERT_TRUE(RunOn(image, InvertBitmap));
    EXPECT_EQ(image, original);
}

TEST(Invert, ChosenChannelsOnlyAndOnlyInsideTheArea)
{
    const QImage original = Numbered(6, 4);
    QImage image = original;
    TManipulationInfo info = WholePicture(image);
    info.Area = {1, 1, 4, 3};
    info.InvertRed = 1;
    ASSERT_TRUE(InvertArea(info));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 1 && x < 4 && y >= 1 && y < 3;
            const QRgb was = original.pixel(x, y);
            const QRgb expected = inside ? qRgb(255 - qRed(was), qGreen(was), qBlue(was)) : was;
            ASSERT_EQ(image.pixel(x, y), expected) << x << "," << y;
        }
    }
}

TEST(Invert, NoChannelChosenLeavesThePictureAsItWas)
{
    QImage image = Numbered(3, 3, QImage::Format_RGB32);
    const QImage before = image;
    TManipulationInfo info = WholePicture(image);
    ASSERT_TRUE(InvertArea(info));
    EXPECT_EQ(image, before);
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
}

TEST(Invert, OtherFormatsBecome24Bits)
{
    const QImage original = Numbered(5, 2, QImage::Format_RGB32);
    QImage image = original;
    ASSERT_TRUE(RunOn(image, InvertBitmap));
    EXPECT_EQ(image.format(), kFormat24);
    EXPECT_EQ(image.pixel(4, 1) & 0xFFFFFF, ~original.pixel(4, 1) & 0xFFFFFF);
}

TEST(Areas, BitmapAreaNormalizeAndClamp)
{
    QImage image = Numbered(5, 4);
    TArea area;
    BitmapArea(&image, area);
    EXPECT_EQ(area, (TArea{0, 0, 5, 4}));
    BitmapArea(nullptr, area);
    EXPECT_EQ(area, (TArea{0, 0, -1, -1}));

    area = {2, 2, 1, 1};
    NormalizeArea(area);
    EXPECT_EQ(area, (TArea{1, 1, 2, 2}));

    TManipulationInfo info = WholePicture(image);
    info.Area = {9, -3, -2, 99};
    ClampArea(info);
    EXPECT_EQ(info.Area, (TArea{0, 0, 5, 4}));
    info.AreaExclusive = false;
    info.Area = {9, -3, -2, 99};
    ClampArea(info);
    EXPECT_EQ(info.Area, (TArea{0, 0, 4, 3}));
}

TEST(Areas, BackwardsAreaIsNormalisedBeforeUse)
{
    const QImage original = Numbered(4, 4);
    QImage image = original;
    TManipulationInfo info = WholePicture(image);
    info.Area = {2, 2, 1, 1};
    ASSERT_TRUE(InvertBitmap(info));
    EXPECT_EQ(info.Area, (TArea{1, 1, 2, 2}));
    EXPECT_NE(image.pixel(1, 1), original.pixel(1, 1));
    EXPECT_EQ(image.pixel(2, 2), original.pixel(2, 2));
}

TEST(Areas, InclusiveAreaTakesItsLastRowAndColumn)
{
    const QImage original = Numbered(5, 4);
    QImage image = original;
    TManipulationInfo info = WholePicture(image);
    info.AreaExclusive = false;
    info.Area = {0, 0, 4, 3};
    ASSERT_TRUE(MirrorArea(info));
    EXPECT_EQ(image, original.mirrored(true, false));
}

TEST(Routines, OneByOnePictureGoesThroughEverything)
{
    const QImage original = Numbered(1, 1);
    QImage image = original;
    for (auto routine : {FlipArea, MirrorArea, InvertBitmap, InvertBitmap})
        ASSERT_TRUE(RunOn(image, routine));
    ASSERT_TRUE(Turn(image, kRotateClockwise));
    ASSERT_TRUE(Turn(image, kRotateCounterClockwise));
    for (int angle : {90, 180, 270, -90}) {
        TManipulationInfo info = WholePicture(image);
        ASSERT_TRUE(RotateBitmap(info, angle)) << angle;
    }
    EXPECT_EQ(image, original);
}

TEST(Routines, WithoutABitmapEveryOneFails)
{
    const std::function<bool(TManipulationInfo&)> routines[] = {
        FlipArea, MirrorArea, InvertBitmap, InvertArea, ValidateManipulation,
        [](TManipulationInfo& info) { return RotateQuarter(info, kRotateClockwise); },
        [](TManipulationInfo& info) { return RotateBitmap(info, 90); }};
    for (const auto& routine : routines) {
        TManipulationInfo info;
        info.InvertRed = 1;
        EXPECT_FALSE(routine(info));
        EXPECT_EQ(info.ErrorText, "Undefined image handle.");
    }
}

TEST(Routines, CopyBitmapMakesAnUnsharedExactCopy)
{
    const QImage source = Numbered(3, 5, QImage::Format_RGB16);
    QImage target = Numbered(1, 1);
    ASSERT_TRUE(CopyBitmap(source, target));
    EXPECT_EQ(target, source);
    EXPECT_EQ(target.format(), QImage::Format_RGB16);
    EXPECT_NE(target.constBits(), source.constBits());
}
