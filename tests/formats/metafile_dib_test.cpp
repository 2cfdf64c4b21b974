// Bitmaps inside metafile records are packed DIBs: the BMP files ImageMagick wrote, without their file header.
#include "formats/metafile_dib.h"
#include "testlib/test_env.h"

#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

QByteArray PackedDib(const QString& name)
{
    QFile file(TestDataPath("metafile/dib/" + name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll().mid(14);
}

struct TPixel {
    int X, Y;
    QColor Color;
};

void ExpectPixels(const char* name, QSize size, std::initializer_list<TPixel> pixels)
{
    const QImage image = DecodePackedDib(PackedDib(name));
    ASSERT_EQ(image.size(), size) << name;
    for (const TPixel& p : pixels)
        EXPECT_EQ(image.pixelColor(p.X, p.Y).rgb(), p.Color.rgb()) << name << " at " << p.X << "," << p.Y;
}

TEST(MetafileDib, EveryDepthWithItsPalette)
{
    ExpectPixels("dots1.bmp", QSize(4, 4), {{0, 0, Qt::black}, {1, 0, Qt::black}, {2, 0, Qt::white}, {3, 3, Qt::black}});
    const std::initializer_list<TPixel> quadrants = {
        {0, 0, Qt::red}, {3, 0, Qt::green}, {0, 3, Qt::blue}, {3, 3, Qt::yellow}};
    ExpectPixels("quad4.bmp", QSize(4, 4), quadrants);
    ExpectPixels("quad24.bmp", QSize(4, 4), quadrants);
    ExpectPixels("quad32.bmp", QSize(4, 4), quadrants);
    ExpectPixels("grad8.bmp", QSize(2, 32), {{0, 0, Qt::red}, {1, 1, Qt::blue}});
    ExpectPixels("grad8rle.bmp", QSize(2, 32), {{0, 0, Qt::red}, {1, 1, Qt::blue}});
}

QByteArray WithField32(QByteArray dib, int at, std::int32_t value)
{
    qToLittleEndian<std::int32_t>(value, dib.data() + at);
    return dib;
}

TEST(MetafileDib, HeadersThatLieAreRefusedBeforeAllocating)
{
    const QByteArray dib = PackedDib("quad24.bmp");
    EXPECT_TRUE(DecodePackedDib(WithField32(dib, 4, 100000)).isNull());      // wider than its bits
    EXPECT_TRUE(DecodePackedDib(WithField32(dib, 8, -100000)).isNull());     // taller, top-down
    EXPECT_TRUE(DecodePackedDib(WithField32(WithField32(dib, 4, 0x7FFFFFFF), 8, 0x7FFFFFFF)).isNull());
    EXPECT_TRUE(DecodePackedDib(dib.left(dib.size() - 1)).isNull());         // one byte of pixels missing
    EXPECT_TRUE(DecodePackedDib(dib.left(20)).isNull());                     // header cut
    EXPECT_TRUE(DecodePackedDib(QByteArray()).isNull());
    QByteArray depth7 = dib;
    depth7[14] = 7;
    EXPECT_TRUE(DecodePackedDib(depth7).isNull());
    const QByteArray palette = PackedDib("grad8.bmp");
    EXPECT_TRUE(DecodePackedDib(WithField32(palette, 32, 100000)).isNull()); // more colours than 8 bits index
    // A compressed bitmap cannot claim millions of pixels from a few hundred bytes.
    EXPECT_TRUE(DecodePackedDib(WithField32(PackedDib("grad8rle.bmp"), 8, 30000000)).isNull());
}

}  // namespace
