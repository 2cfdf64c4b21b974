// Icons: the largest picture of the file, drawn over the background colour or over what the target kept.
#include "loaders_test_util.h"

#include "common/bitmap.h"

#include <gtest/gtest.h>

TEST(IconLoader, TakesTheLargestPictureOnTheBackColour)
{
    QImage target = MarkedTarget();
    bool ok = false;
    const TImageInfoRec info = OpenTestPicture("icon_sizes.ico", target, 0x00FFFFFF, &ok);
    ASSERT_TRUE(ok) << info.ErrorText.toStdString();
    EXPECT_EQ(info.BitsPerPixel, 24);
    EXPECT_EQ(target.format(), kFormat24);
    ASSERT_EQ(target.size(), QSize(48, 48));        // the second of three: 16, 48, 32
    EXPECT_EQ(target.pixelColor(24, 24), QColor(0, 0, 255));      // the blue disc
    EXPECT_EQ(target.pixelColor(1, 1), QColor(255, 255, 255));    // transparent: the back colour
    EXPECT_EQ(target.pixelColor(0, 47), QColor(255, 255, 255));   // also where the old picture was
}

TEST(IconLoader, BackColourIsAValue0x00BBGGRR)
{
    QImage target;
    bool ok = false;
    OpenTestPicture("one_transparent.ico", target, 0x00FF8000, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(target.size(), QSize(1, 1));
    EXPECT_EQ(target.pixelColor(0, 0), QColor(0, 0x80, 0xFF));
}

TEST(IconLoader, WithoutBackColourTransparentPixelsKeepTheTarget)
{
    QImage target(1, 1, QImage::Format_RGB32);  // any depth: the loader makes it 24-bit
    target.fill(QColor(10, 20, 30));
    bool ok = false;
    OpenTestPicture("one_transparent.ico", target, -1, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(target.format(), kFormat24);
    EXPECT_EQ(target.pixelColor(0, 0), QColor(10, 20, 30));
}

TEST(IconLoader, NoIconFailsUnknown)
{
    for (const char* name : {"bmp24.bmp", "png_named.bmp", "truncated.jpg"}) {
        SCOPED_TRACE(name);
        QImage target = MarkedTarget();
        const QImage before = target;
        TImageInfoRec info{TestDataPath(name), 0, 0x00FFFFFF, {}, &target};
        EXPECT_FALSE(GetOpenImage().Collection->Execute(5, info));
        EXPECT_EQ(info.ErrorText, "Unknown format");
        EXPECT_EQ(target, before);
    }
}

TEST(IconLoader, OverstatedPictureCountReadsWhatIsThere)
{
    QImage target;
    bool ok = false;
    OpenTestPicture("icon_count_overstated.ico", target, 0x00FFFFFF, &ok);  // claims 65535 pictures, has one
    ASSERT_TRUE(ok);
    EXPECT_EQ(target.size(), QSize(1, 1));
}

TEST(IconLoader, TwentyFourBitPicturesKeepTheirMask)
{
    QImage target;
    bool ok = false;
    OpenTestPicture("masked24.ico", target, 0x00FFFFFF, &ok);  // 4 x 4 red, left column masked out
    ASSERT_TRUE(ok);
    ASSERT_EQ(target.size(), QSize(4, 4));
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(target.pixelColor(0, y), QColor(255, 255, 255)) << y;
        EXPECT_EQ(target.pixelColor(1, y), QColor(255, 0, 0)) << y;
    }
}
