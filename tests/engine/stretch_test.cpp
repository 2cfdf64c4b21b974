#include "engine/stretch.h"

#include "common/bitmap.h"

#include <gtest/gtest.h>

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
