#include "codec_test_util.h"
#include "formats/general_error.h"
#include "formats/xbitmap.h"
#include "testlib/test_env.h"

namespace {

constexpr QRgb kW = kWhitePx;
constexpr QRgb kB = kBlackPx;

QString Load(TXBitmap& picture, const QByteArray& text)
{
    try {
        LoadFromBytes(picture, text);
        return {};
    } catch (const EGeneralError& e) {
        return e.Message();
    }
}

std::vector<QRgb> LoadPixels(const QByteArray& text)
{
    TXBitmap picture;
    EXPECT_EQ(Load(picture, text), "");
    return Pixels(picture.GetBitmap());
}

QByteArray Save(const QImage& image)
{
    TXBitmap picture;
    picture.AssignImage(image);
    return SaveToBytes(picture);
}

TEST(XBitmapWrite, HeaderAndDataByteForByte)
{
    std::vector<QRgb> pixels(20, kW);
    pixels[0] = pixels[9] = pixels[10] = kB;
    pixels[11] = 0x00FFFF;  // red 0 is black whatever green and blue say
    EXPECT_EQ(Save(MakePicture(10, 2, pixels)),
              "#define image_width 10\r\n#define image_height 2\r\n"
              "static char image_bits[] = {\r\n0x01, 0x02, 0x03, 0x00, ");
}

TEST(XBitmapWrite, TenBytesToALine)
{
    const QByteArray text = Save(MakePicture(16, 8, std::vector<QRgb>(128, kW)));
    const QByteArray data = text.mid(text.indexOf("{\r\n") + 3);
    EXPECT_EQ(data, QByteArray("0x00, ").repeated(10) + "\r\n" + QByteArray("0x00, ").repeated(6));
}

TEST(XBitmapRead, LeastSignificantBitIsTheLeftmostPixel)
{
    EXPECT_EQ(LoadPixels("#define t_width 3\n#define t_height 1\nstatic char t_bits[] = { 0x05 };"),
              (std::vector<QRgb>{kB, kW, kB}));
    EXPECT_EQ(LoadPixels("#define t_width 3\n#define t_height 1\nstatic char t_bits[] = {\n0X05 }\n"),
              (std::vector<QRgb>{kB, kW, kB}));
}

TEST(XBitmapRead, RowsStartOnANewByte)
{
    // Width 9: two bytes a row, the high seven bits of the second byte are padding.
    EXPECT_EQ(LoadPixels("#define a_width 9\n#define a_height 2\nstatic char a[] = {\n0x00, 0xff, 0xff, 0x00 };"),
              (std::vector<QRgb>{kW, kW, kW, kW, kW, kW, kW, kW, kB, kB, kB, kB, kB, kB, kB, kB, kB, kW}));
}

TEST(XBitmapRead, DataRunsToTheClosingBraceOrTheEnd)
{
    // A closing brace on the opening line is not seen: the next lines are still data.
    const QByteArray sameLine = "#define a_width 16\n#define a_height 1\nstatic char a[] = { 0x01 };\n0x80 }";
    EXPECT_EQ(LoadPixels(sameLine)[15], kB);
    const QByteArray stopped = "#define a_width 16\n#define a_height 1\nstatic char a[] = {\n0x01 };\n0x80";
    EXPECT_EQ(LoadPixels(stopped)[15], kW);
    // A digit that is not hexadecimal counts as 0.
    EXPECT_EQ(LoadPixels("#define a_width 2\n#define a_height 1\nstatic char a[] = {\n0xg3")[0], kB);
}

TEST(XBitmapRead, OneLongLineLosesNothing)
{
    QByteArray text = "#define a_width 8\n#define a_height 3000\nstatic char a[] = {";
    for (int i = 0; i < 3000; ++i)
        text += i == 2999 ? "0x80," : "0x00,";
    text += "};";
    const auto pixels = LoadPixels(text);
    EXPECT_EQ(pixels.back(), kB);
    EXPECT_EQ(pixels[pixels.size() - 2], kW);
}

TEST(XBitmapRead, HeaderRulesAndFailures)
{
    TXBitmap picture;
    EXPECT_EQ(Load(picture, "#define a_width 3\n#define a_height 1\nunsigned char a[] = {0x01};"), "Unknown format.");
    EXPECT_EQ(Load(picture, " #define a_width 3\n#define a_height 1\nstatic char a[] = {0x01};"), "Unknown format.");
    EXPECT_EQ(Load(picture, "#define foo_width 16 /* w */\n#define foo_height 1\nstatic char a[] = {};"),
              "Invalid dimensions.");
    EXPECT_EQ(Load(picture, "#define a_width 99999\n#define a_height 99999\nstatic char a[] = {};"), "Out of memory.");
    EXPECT_EQ(picture.GetLastError(), "Out of memory.");
    // A size the ceiling allows but the data cannot fill by far is refused before the picture is allocated.
    EXPECT_EQ(Load(picture, "#define a_width 18000\n#define a_height 18000\nstatic char a[] = {0x00};"),
              "Unknown format.");
    // Other defines are skipped, the first width wins, and a fraction is rounded.
    EXPECT_EQ(Load(picture, "#define a_x_hot 1\n#define a_width 2.4\n#define b_width 9\n#DEFINE A_HEIGHT 1\n"
                            "STATIC char a[] = {0x03};"),
              "");
    EXPECT_EQ(Pixels(picture.GetBitmap()), (std::vector<QRgb>{kB, kB}));
}

TEST(XBitmapRoundTrip, WhatIsWrittenReadsBack)
{
    std::vector<QRgb> pixels;
    for (int i = 0; i < 13 * 5; ++i)
        pixels.push_back((i * 7) % 3 ? kW : kB);
    const QImage image = MakePicture(13, 5, pixels);
    EXPECT_EQ(LoadPixels(Save(image)), pixels);
}

}  // namespace
