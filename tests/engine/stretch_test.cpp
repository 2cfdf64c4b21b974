#include "engine/stretch.h"

#include "common/bitmap.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A picture whose every pixel tells its own coordinates: blue = x, green = y.
QImage Numbered(int w, int h)
{
    QImage image = NewBitmap24(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(0, y, x));
    return image;
}

QImage Filled(int w, int h)
{
    QImage image = NewBitmap24(w, h);
    image.fill(qRgb(200, 200, 200));
    return image;
}

QPoint SourceOf(const QImage& image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    return {qBlue(pixel), qGreen(pixel)};
}

bool Untouched(const QImage& image, int x, int y)
{
    return image.pixel(x, y) == qRgb(200, 200, 200);
}

}  // namespace

TEST(StretchNearest, RepeatsAndDropsWholeRowsAndColumns)
{
    const QImage source = Numbered(4, 2);
    QImage target = Filled(8, 4);
    StretchNearest(source, target, QRect(0, 0, 8, 4), target.rect());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(SourceOf(target, x, y), QPoint(x / 2, y / 2));

    QImage small = Filled(2, 1);
    StretchNearest(source, small, QRect(0, 0, 2, 1), small.rect());
    EXPECT_EQ(SourceOf(small, 0, 0), QPoint(0, 0));
    EXPECT_EQ(SourceOf(small, 1, 0), QPoint(2, 0));
}

TEST(StretchNearest, ComputesOnlyInsideClipRectangleAndTarget)
{
    const QImage source = Numbered(10, 10);
    QImage target = Filled(10, 10);
    StretchNearest(source, target, QRect(2, 2, 10, 10), QRect(0, 0, 5, 6));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 2 && x < 5 && y >= 2 && y < 6;
            if (inside)
                EXPECT_EQ(SourceOf(target, x, y), QPoint(x - 2, y - 2));
            else
                EXPECT_TRUE(Untouched(target, x, y)) << x << "," << y;
        }
}

TEST(StretchNearest, RectangleFarOutsideTheTarget)
{
    // A 100-fold enlargement overhanging the target on every side: the visible window still maps exactly.
    const QImage source = Numbered(200, 200);
    QImage target = Filled(6, 4);
    const TStretchRect rect{-10050, -5000, 20000, 20000};
    StretchNearest(source, target, rect, target.rect());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(SourceOf(target, x, y), QPoint((x + 10050) / 100, (y + 5000) / 100));

    QImage untouched = Filled(4, 4);
    StretchNearest(source, untouched, TStretchRect{3000000000LL, 0, 10, 10}, untouched.rect());
    StretchNearest(source, untouched, TStretchRect{0, 0, 0, 10}, untouched.rect());
    StretchNearest(source, untouched, TStretchRect{0, 0, 1LL << 40, 10}, untouched.rect());
    EXPECT_TRUE(Untouched(untouched, 0, 0));
}

TEST(StretchNearest, ConvertsOtherSourceFormatsAndRefusesOtherTargets)
{
    QImage source(2, 1, QImage::Format_RGB32);
    source.setPixel(0, 0, qRgb(1, 2, 3));
    source.setPixel(1, 0, qRgb(4, 5, 6));
    QImage target = Filled(2, 1);
    StretchNearest(source, target, target.rect(), target.rect());
    EXPECT_EQ(target.pixel(1, 0), qRgb(4, 5, 6));

    QImage wrong(2, 1, QImage::Format_RGB32);
    wrong.fill(qRgb(9, 9, 9));
    StretchNearest(source, wrong, wrong.rect(), wrong.rect());
    EXPECT_EQ(wrong.pixel(0, 0), qRgb(9, 9, 9));
}

namespace {

QImage Grey(int w, int h, const std::function<int(int x, int y)>& value)
{
    QImage image = NewBitmap24(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int v = value(x, y);
            image.setPixel(x, y, qRgb(v, v, v));
        }
    return image;
}

QImage Smooth(const QImage& source, QSize size)
{
    QImage target = Filled(size.width(), size.height());
    StretchSmooth(source, target, target.rect(), target.rect());
    return target;
}

}  // namespace

TEST(StretchSmooth, ReductionAveragesTheCoveredAreaExactly)
{
    // Nearest neighbour shows a one-pixel checkerboard halved as all black or all white; its average is grey.
    const QImage checkerboard = Grey(64, 48, [](int x, int y) { return (x + y) % 2 ? 255 : 0; });
    const QImage halved = Smooth(checkerboard, {32, 24});
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(qGray(halved.pixel(x, y)), 128) << x << "," << y;

    // Three columns into two: each target pixel covers one whole source pixel and half of the middle one.
    const QImage columns = Grey(3, 1, [](int x, int) { return x * 90; });
    const QImage two = Smooth(columns, {2, 1});
    EXPECT_EQ(qGray(two.pixel(0, 0)), 30);   // (0 + 90 / 2) / 1.5
    EXPECT_EQ(qGray(two.pixel(1, 0)), 150);  // (90 / 2 + 180) / 1.5

    // A smooth gradient reduced by 3.7 stays monotonic and within the source's range.
    const QImage gradient = Grey(370, 37, [](int x, int) { return x * 255 / 369; });
    const QImage reduced = Smooth(gradient, {100, 10});
    int previous = 0;
    for (int x = 0; x < 100; ++x) {
        const int v = qGray(reduced.pixel(x, 5));
        EXPECT_GE(v, previous) << x;
        previous = v;
    }
    EXPECT_LE(qGray(reduced.pixel(0, 0)), 2);
    EXPECT_GE(qGray(reduced.pixel(99, 0)), 253);
}

TEST(StretchSmooth, EnlargementRepeatsWholeFactorsAndInterpolatesOthers)
{
    const QImage pair = Grey(2, 1, [](int x, int) { return x ? 200 : 0; });
    const QImage tripled = Smooth(pair, {6, 1});
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(qGray(tripled.pixel(x, 0)), x < 3 ? 0 : 200) << x;
    // Two into three: the middle target pixel's centre lies halfway between the two source centres.
    const QImage three = Smooth(pair, {3, 1});
    EXPECT_EQ(qGray(three.pixel(0, 0)), 0);
    EXPECT_EQ(qGray(three.pixel(1, 0)), 100);
    EXPECT_EQ(qGray(three.pixel(2, 0)), 200);
    // One axis reduced, the other enlarged.
    const QImage mixed = Smooth(Grey(4, 1, [](int x, int) { return x < 2 ? 40 : 80; }), {2, 5});
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(mixed.pixel(1, y), qRgb(80, 80, 80));
}

TEST(StretchSmooth, ClippedPartsMatchTheWholeAndLimitsHold)
{
    // Large enough to be split over threads; every clipped row must equal the same row of the whole.
    const QImage source = Grey(2600, 1800, [](int x, int y) { return (x * 7 + y * 13) % 256; });
    const TStretchRect rect{-40, -30, 700, 500};
    QImage whole = Filled(600, 420);
    StretchSmooth(source, whole, rect, whole.rect());
    for (int y = 0; y < whole.height(); y += 37) {
        QImage part = Filled(600, 420);
        StretchSmooth(source, part, rect, QRect(100, y, 250, 1));
        for (int x = 100; x < 350; ++x)
            ASSERT_EQ(part.pixel(x, y), whole.pixel(x, y)) << x << "," << y;
        EXPECT_TRUE(Untouched(part, 99, y));
        EXPECT_TRUE(Untouched(part, 350, y));
    }

    QImage untouched = Filled(4, 4);
    StretchSmooth(source, untouched, TStretchRect{3000000000LL, 0, 10, 10}, untouched.rect());
    StretchSmooth(source, untouched, TStretchRect{0, 0, 0, 10}, untouched.rect());
    StretchSmooth(source, untouched, TStretchRect{0, 0, 1LL << 40, 10}, untouched.rect());
    EXPECT_TRUE(Untouched(untouched, 0, 0));
    // A huge enlargement far off its origin still shows the right source pixel.
    QImage corner = Filled(2, 2);
    StretchSmooth(Numbered(200, 200), corner, TStretchRect{-2000000000LL, 0, 2147483647LL, 200}, corner.rect());
    EXPECT_EQ(qGreen(corner.pixel(0, 1)), 1);
}
