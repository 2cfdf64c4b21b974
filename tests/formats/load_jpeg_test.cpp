// JPEG pictures through the registry: colours against libjpeg's own tool and ImageMagick, damaged files.
#include "loaders_test_util.h"

#include "common/bitmap.h"
#include "formats/jpeg_decoder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

// The decoded picture must equal djpeg's output for the same file, pixel for pixel.
void ExpectSameAsReference(const char* jpeg, const char* reference)
{
    QImage target;
    bool ok = false;
    const TImageInfoRec info = OpenTestPicture(jpeg, target, -1, &ok);
    ASSERT_TRUE(ok) << info.ErrorText.toStdString();
    EXPECT_EQ(info.BitsPerPixel, 24);
    EXPECT_EQ(target.format(), kFormat24);
    const QImage expected = QImage(TestDataPath(reference)).convertToFormat(kFormat24);
    ASSERT_FALSE(expected.isNull());
    EXPECT_EQ(target, expected);
}

}  // namespace

TEST(JpegLoader, BaselineAndProgressiveMatchDjpeg)
{
    ExpectSameAsReference("baseline.jpg", "baseline_reference.ppm");
    ExpectSameAsReference("baseline.jif", "baseline_reference.ppm");
    ExpectSameAsReference("progressive.jpg", "progressive_reference.ppm");
}

TEST(JpegLoader, GreyscaleBecomesGreyTriples)
{
    QImage target;
    bool ok = false;
    OpenTestPicture("grey.jpg", target, -1, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(target.size(), QSize(32, 24));
    // ImageMagick reads 255, 200 and 0 at these points.
    EXPECT_EQ(target.pixelColor(0, 0), QColor(255, 255, 255));
    EXPECT_EQ(target.pixelColor(8, 5), QColor(200, 200, 200));
    EXPECT_EQ(target.pixelColor(31, 23), QColor(0, 0, 0));
}

TEST(JpegLoader, CmykBecomesTheColoursImageMagickShows)
{
    QImage target;
    bool ok = false;
    OpenTestPicture("cmyk.jpg", target, -1, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(target.size(), QSize(32, 24));
    EXPECT_TRUE(NearColor(target.pixelColor(4, 10), QColor(200, 40, 61))) << target.pixelColor(4, 10).name().toStdString();
    EXPECT_TRUE(NearColor(target.pixelColor(24, 10), QColor(20, 160, 220))) << target.pixelColor(24, 10).name().toStdString();
}

TEST(JpegLoader, DamagedScanDataShowsWhatWasThere)
{
    for (const char* name : {"truncated.jpg", "corrupt_scan.jpg"}) {
        SCOPED_TRACE(name);
        QImage target;
        bool ok = false;
        OpenTestPicture(name, target, -1, &ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(target.size(), QSize(32, 24));
    }
}

TEST(JpegLoader, TruncatedFileKeepsItsCompleteRows)
{
    QImage target;
    bool ok = false;
    OpenTestPicture("truncated.jpg", target, -1, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(target.size(), QSize(32, 24));
    const QImage expected = QImage(TestDataPath("baseline_reference.ppm")).convertToFormat(kFormat24);
    EXPECT_EQ(target.pixelColor(0, 0), expected.pixelColor(0, 0));  // the first rows are complete
}

TEST(JpegLoader, DamagedFilesFailAndKeepTheOldPicture)
{
    for (const char* name : {"corrupt_header.jpg", "png_named.bmp", "bmp24.bmp"}) {
        SCOPED_TRACE(name);
        QImage target = MarkedTarget();
        const QImage before = target;
        TImageInfoRec info{TestDataPath(name), 0, -1, {}, &target};
        EXPECT_FALSE(GetOpenImage().Collection->Execute(3, info));
        EXPECT_EQ(info.ErrorText, "Unknown format");
        EXPECT_EQ(target, before);
    }
}

TEST(JpegLoader, EmptyFileIsUnknown)
{
    const QString path = NewTestFolder() + "/empty.jpg";
    QFile(path).open(QIODevice::WriteOnly);
    QImage target = MarkedTarget();
    TImageInfoRec info{path, 0, -1, {}, &target};
    EXPECT_FALSE(GetOpenImage().OpenFile(info));
    EXPECT_EQ(info.ErrorText, "Unknown format");
}

TEST(JpegLoader, RefusesAHugeHeaderBeforeAllocating)
{
    QImage target = MarkedTarget();
    const QImage before = target;
    bool ok = true;
    const TImageInfoRec info = OpenTestPicture("huge_dimensions.jpg", target, -1, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(info.ErrorText, "Out of memory");
    EXPECT_EQ(target, before);
}

TEST(JpegDecoder, DecodesFromMemoryLikeFromFile)
{
    QFile file(TestDataPath("progressive.jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    TJpegDecoder decoder;
    ASSERT_TRUE(decoder.OpenMemory(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())));
    QImage picture = NewBitmap24(decoder.Width(), decoder.Height());
    ASSERT_TRUE(decoder.DecodeInto(picture));
    EXPECT_EQ(picture, QImage(TestDataPath("progressive_reference.ppm")).convertToFormat(kFormat24));

    TJpegDecoder wrongSize;
    ASSERT_TRUE(wrongSize.OpenMemory(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())));
    QImage small = NewBitmap24(4, 4);
    EXPECT_FALSE(wrongSize.DecodeInto(small));
}
