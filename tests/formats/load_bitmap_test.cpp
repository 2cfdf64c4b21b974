// Windows bitmaps through the registry: depths, run-length compression, and hostile headers.
#include "loaders_test_util.h"

#include "common/bitmap.h"

#include <gtest/gtest.h>

namespace {

struct TDepthCase {
    const char* file;
    int bitsPerPixel;
};

class BitmapDepths : public testing::TestWithParam<TDepthCase> {};

}  // namespace

TEST_P(BitmapDepths, OpensAt24BitsAndReportsTheSourceDepth)
{
    const TDepthCase& c = GetParam();
    QImage target;
    bool ok = false;
    const TImageInfoRec info = OpenTestPicture(c.file, target, 0x00FFFFFF, &ok);
    ASSERT_TRUE(ok) << info.ErrorText.toStdString();
    EXPECT_EQ(info.BitsPerPixel, c.bitsPerPixel);
    EXPECT_EQ(target.format(), kFormat24);
    EXPECT_EQ(target.size(), QSize(16, 12));
    // Every picture matches what Qt's own reader shows of it, alpha aside.
    const QImage expected = QImage(TestDataPath(c.file), "bmp").convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < 12; y += 5)
        for (int x = 0; x < 16; x += 3)
            EXPECT_EQ(target.pixelColor(x, y).rgb() & 0xFFFFFF, expected.pixel(x, y) & 0xFFFFFF) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Files, BitmapDepths,
                         testing::Values(TDepthCase{"bmp1.bmp", 1}, TDepthCase{"bmp4.bmp", 4},
                                         TDepthCase{"bmp8.bmp", 8}, TDepthCase{"bmp15.bmp", 15},
                                         TDepthCase{"bmp16.bmp", 16}, TDepthCase{"bmp24.bmp", 24},
                                         TDepthCase{"bmp24.dib", 24}, TDepthCase{"rle8.bmp", 8}));

TEST(BitmapLoader, RunLengthPicturesMatchImageMagick)
{
    QImage target;
    bool ok = false;
    const TImageInfoRec info = OpenTestPicture("rle4.rle", target, -1, &ok);
    ASSERT_TRUE(ok) << info.ErrorText.toStdString();
    EXPECT_EQ(info.BitsPerPixel, 4);
    ASSERT_EQ(target.size(), QSize(8, 2));
    // Rows are stored bottom-up: the top row is the second run of the file.
    EXPECT_EQ(target.pixelColor(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(target.pixelColor(7, 0), QColor(255, 255, 255));
    EXPECT_EQ(target.pixelColor(0, 1), QColor(0, 0, 255));
    EXPECT_EQ(target.pixelColor(1, 1), QColor(0, 255, 0));

    OpenTestPicture("rle8.bmp", target, -1, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(target, QImage(TestDataPath("rle8_reference.ppm")).convertToFormat(kFormat24));
}

TEST(BitmapLoader, AlphaOfThirtyTwoBitPicturesIsNotDrawn)
{
    QImage target;
    bool ok = false;
    const TImageInfoRec info = OpenTestPicture("bmp32.bmp", target, 0x00FFFFFF, &ok);
    ASSERT_TRUE(ok) << info.ErrorText.toStdString();
    EXPECT_EQ(info.BitsPerPixel, 32);
    EXPECT_EQ(target.pixelColor(5, 5), QColor(255, 0, 0));  // half-transparent red, stored as full red
}

TEST(BitmapLoader, RefusesWhatIsNoBitmapAndKeepsTheOldPicture)
{
    for (const char* name : {"png_named.bmp", "truncated_header.bmp", "truncated_pixels.bmp", "baseline.jpg"}) {
        SCOPED_TRACE(name);
        QImage target = MarkedTarget();
        const QImage before = target;
        // The registry picks by extension, so hand the file straight to the bitmap loader.
        TImageInfoRec info{TestDataPath(name), 0, -1, {}, &target};
        EXPECT_FALSE(GetOpenImage()->Collection->Execute(0, info));
        EXPECT_EQ(info.ErrorText, "Unknown format");
        EXPECT_EQ(target, before);
    }
}

TEST(BitmapLoader, RefusesAHugeHeaderBeforeAllocating)
{
    QImage target = MarkedTarget();
    const QImage before = target;
    bool ok = true;
    const TImageInfoRec info = OpenTestPicture("huge_dimensions.bmp", target, -1, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(info.ErrorText, "Out of memory");
    EXPECT_EQ(target, before);
}
