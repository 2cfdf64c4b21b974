// Windows bitmaps through the registry: depths, run-length compression, and hostile headers.
#include "loaders_test_util.h"

#include "common/bitmap.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

struct TDepthCase {
    const char* File;
    int BitsPerPixel;
};

class BitmapDepths : public testing::TestWithParam<TDepthCase> {};

}  // namespace

TEST_P(BitmapDepths, OpensAt24BitsAndReportsTheSourceDepth)
{
    const TDepthCase& c = GetParam();
    QImage target;
    bool ok = false;
    const TImageInfoRec info = OpenTestPicture(c.File, target, 0x00FFFFFF, &ok);
    ASSERT_TRUE(ok) << info.ErrorText.toStdString();
    EXPECT_EQ(info.BitsPerPixel, c.BitsPerPixel);
    EXPECT_EQ(target.format(), kFormat24);
    EXPECT_EQ(target.size(), QSize(16, 12));
    // Every picture matches what Qt's own reader shows of it, alpha aside; Qt's 5- and 6-bit channels fall
    // short of the full range by up to 7.
    const QImage expected = QImage(TestDataPath(c.File), "bmp").convertToFormat(QImage::Format_RGB32);
    const int tolerance = c.BitsPerPixel == 15 || c.BitsPerPixel == 16 ? 7 : 0;
    for (int y = 0; y < 12; y += 5)
        for (int x = 0; x < 16; x += 3)
            EXPECT_TRUE(NearColor(target.pixelColor(x, y), QColor(expected.pixel(x, y)), tolerance)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Files, BitmapDepths,
                         testing::Values(TDepthCase{"bmp1.bmp", 1}, TDepthCase{"bmp4.bmp", 4},
                                         TDepthCase{"bmp8.bmp", 8}, TDepthCase{"bmp15.bmp", 15},
                                         TDepthCase{"bmp16.bmp", 16}, TDepthCase{"bmp24.bmp", 24},
                                         TDepthCase{"bmp24.dib", 24}, TDepthCase{"rle8.bmp", 8}));

namespace {

// A 16-bit picture of three pixels, top-down, with the given bit fields (none: 5-5-5 without them).
QByteArray SixteenBitBmp(std::initializer_list<std::uint16_t> pixels, std::vector<std::uint32_t> masks)
{
    const auto u32 = [](QByteArray& b, std::uint32_t v) { for (int i = 0; i < 4; ++i) b.append(char(v >> (8 * i))); };
    const auto u16 = [](QByteArray& b, std::uint16_t v) { b.append(char(v & 0xFF)).append(char(v >> 8)); };
    const std::uint32_t dataAt = 14 + 40 + 4 * std::uint32_t(masks.size());
    QByteArray b("BM");
    u32(b, dataAt + 8);
    u32(b, 0);
    u32(b, dataAt);
    for (std::uint32_t v : {40u, 3u, std::uint32_t(-1), 1u | (16u << 16), masks.empty() ? 0u : 3u, 8u, 0u, 0u, 0u, 0u})
        u32(b, v);
    for (std::uint32_t m : masks)
        u32(b, m);
    for (std::uint16_t p : pixels)
        u16(b, p);
    u16(b, 0);
    return b;
}

}  // namespace

TEST(BitmapLoader, SixteenBitChannelsReachTheFullRange)
{
    const QString folder = NewTestFolder();
    const auto open = [&](const QByteArray& bytes) {
        QFile file(folder + "/sixteen.bmp");
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        QImage target;
        TImageInfoRec info{file.fileName(), 0, -1, {}, &target};
        EXPECT_TRUE(GetOpenImage().OpenFile(info)) << info.ErrorText.toStdString();
        return target;
    };
    // White, 16 of 31 in each channel (132), and pure blue.
    const QImage rgb555 = open(SixteenBitBmp({0x7FFF, 0x4210, 0x001F}, {}));
    EXPECT_EQ(rgb555.pixelColor(0, 0), QColor(255, 255, 255));
    EXPECT_EQ(rgb555.pixelColor(1, 0), QColor(132, 132, 132));
    EXPECT_EQ(rgb555.pixelColor(2, 0), QColor(0, 0, 255));
    // 5-6-5: green 32 of 63 is 130.
    const QImage rgb565 = open(SixteenBitBmp({0xFFFF, 0x0400, 0xF800}, {0xF800, 0x07E0, 0x001F}));
    EXPECT_EQ(rgb565.pixelColor(0, 0), QColor(255, 255, 255));
    EXPECT_EQ(rgb565.pixelColor(1, 0), QColor(0, 130, 0));
    EXPECT_EQ(rgb565.pixelColor(2, 0), QColor(255, 0, 0));
}

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
        EXPECT_FALSE(GetOpenImage().Collection->Execute(0, info));
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
