#include "codec_test_util.h"
#include "formats/general_error.h"
#include "formats/portable_pixelmap.h"
#include "testlib/test_env.h"

namespace {

QByteArray Save(const QImage& image, int kind)
{
    TPortablePixelmap picture;
    picture.AssignImage(image);
    picture.Kind = kind;
    return SaveToBytes(picture);
}

// Loads text; returns the failure text, empty on success.
QString Load(TPortablePixelmap& picture, const QByteArray& text)
{
    try {
        LoadFromBytes(picture, text);
        return {};
    } catch (const EGeneralError& e) {
        EXPECT_EQ(e.Message(), picture.GetLastError());
        return e.Message();
    }
}

std::vector<QRgb> LoadPixels(const QByteArray& text)
{
    TPortablePixelmap picture;
    EXPECT_EQ(Load(picture, text), "");
    return Pixels(picture.GetBitmap());
}

constexpr QRgb kW = kWhitePx;
constexpr QRgb kB = kBlackPx;

TEST(PortableWrite, HeadersAndPlainDataByteForByte)
{
    const QImage twoReds = MakePicture(2, 1, {0x690000, 0x070000});
    EXPECT_EQ(Save(twoReds, 2), Bytes("P2\n2 1\n\n255\n105 7 "));
    EXPECT_EQ(Save(twoReds, 6), Bytes("P6\n2 1\n\n255\n\x69\0\0\x07\0\0"));
    EXPECT_EQ(Save(MakePicture(2, 1, {kB, 0x00FF00}), 1), "P1\n2 1\n1 1 ");  // red 0 is black, whatever green says
    EXPECT_EQ(Save(MakePicture(3, 1, {0x010203, 0x0A0B0C, kW}), 3), "P3\n3 1\n\n255\n1 2 3 10 11 12 255 255 255 ");
}

TEST(PortableWrite, PlainLinesBreakAfterEverySixthPixel)
{
    const QByteArray text = Save(MakePicture(7, 1, std::vector<QRgb>(7, 0x010203)), 3);
    const QByteArray six = Bytes("1 2 3 ").repeated(6);
    EXPECT_EQ(text, "P3\n7 1\n\n255\n" + six + "\r\n1 2 3 ");
    EXPECT_TRUE(Save(MakePicture(6, 1, std::vector<QRgb>(6, kW)), 2).endsWith("255 \r\n"));
}

TEST(PortableWrite, RawBitmapRowsArePaddedToWholeBytes)
{
    const QImage eight = MakePicture(8, 2, {kB, kW, kW, kW, kW, kW, kW, kB, kW, kB, kB, kB, kB, kB, kB, kW});
    EXPECT_EQ(Save(eight, 4), Bytes("P4\n8 2\n\x81\x7e"));
    std::vector<QRgb> nine(18, kW);
    nine[0] = nine[8] = nine[9] = kB;
    EXPECT_EQ(Save(MakePicture(9, 2, nine), 4), Bytes("P4\n9 2\n\x80\x80\x80\x00"));
    std::vector<QRgb> ten(10, kB);
    EXPECT_EQ(Save(MakePicture(10, 1, ten), 4), Bytes("P4\n10 1\n\xff\xc0"));
}

TEST(PortableWrite, ANewPictureIsSavedAsARawPixmap)
{
    TPortablePixelmap picture;
    picture.AssignImage(MakePicture(1, 1, {0x102030}));
    EXPECT_EQ(SaveToBytes(picture), Bytes("P6\n1 1\n\n255\n\x10\x20\x30"));
}

TEST(PortableWrite, RefusingStreamFailsWithItsText)
{
    QFile full("/dev/full");
    if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        GTEST_SKIP() << "no /dev/full";
    TPortablePixelmap picture;
    picture.AssignImage(MakePicture(1, 1, {kW}));
    EXPECT_THROW(picture.SaveToStream(full), EGeneralError);
    EXPECT_EQ(picture.GetLastError(), "Stream write failure.");
}

TEST(PortableRead, PlainBitmapsWithAndWithoutBlanks)
{
    EXPECT_EQ(LoadPixels("P1\n# c\n3 2\n1 0 1\n0 1 0\n"), (std::vector<QRgb>{kB, kW, kB, kW, kB, kW}));
    // Digits need no blanks between them: every digit is a pixel.
    EXPECT_EQ(LoadPixels("P1\n3 2\n101\n010"), (std::vector<QRgb>{kB, kW, kB, kW, kB, kW}));
}

TEST(PortableRead, RawBitmapSkipsRowPadding)
{
    EXPECT_EQ(LoadPixels(Bytes("P4\n8 2\n\x81\x7e")),
              (std::vector<QRgb>{kB, kW, kW, kW, kW, kW, kW, kB, kW, kB, kB, kB, kB, kB, kB, kW}));
    // Width 10: two bytes a row, the low six bits of the second are padding.
    EXPECT_EQ(LoadPixels(Bytes("P4\n10 2\n\x00\x7f\xff\xc0")),
              (std::vector<QRgb>{kW, kW, kW, kW, kW, kW, kW, kW, kW, kB, kB, kB, kB, kB, kB, kB, kB, kB, kB, kB}));
}

TEST(PortableRead, SamplesAreScaledToTheFullRange)
{
    // 200 is capped at maxval 15, which is full white; 7 of 15 is round(119) and 8 of 15 is 136.
    const auto grey = LoadPixels(Bytes("P5\n3 1\n15\n\xc8\x07\x08"));
    EXPECT_EQ(grey, (std::vector<QRgb>{kW, 0x777777, 0x888888}));
    EXPECT_EQ(LoadPixels("P2\n2 1\n0\n0 5"), (std::vector<QRgb>{kB, kB}));  // maxval 0 has only black
    EXPECT_EQ(LoadPixels("P3\n1 1\n1023\n1023 512 0"), (std::vector<QRgb>{0xFF8000}));
    EXPECT_EQ(LoadPixels(Bytes("P6\n1 1\n255\n\x01\x02\x03")), (std::vector<QRgb>{0x010203}));
}

TEST(PortableRead, WideRawSamplesTakeTwoBytesHighFirst)
{
    EXPECT_EQ(LoadPixels(Bytes("P5\n2 1\n65535\n\xff\xff\x80\x00")), (std::vector<QRgb>{kW, 0x808080}));
    EXPECT_EQ(LoadPixels(Bytes("P6\n1 1\n1000\n\x03\xe8\x01\xf4\x00\x00")), (std::vector<QRgb>{0xFF8000}));
}

TEST(PortableRead, HeaderLinesCommentsAndBreaks)
{
    EXPECT_EQ(LoadPixels("P2 # magic\r\n#only a comment\r\n\r\n2 #w\n 1 # h\n255#max\n1 2"),
              (std::vector<QRgb>{0x010101, 0x020202}));
    // "p6" is a raw pixmap; "P9" reads as kind 6.
    TPortablePixelmap p9;
    EXPECT_EQ(Load(p9, Bytes("P9\n1 1\n255\n\x01\x02\x03")), "");
    EXPECT_EQ(p9.Kind, 6);
}

// Headers as netpbm and every other reader take them: numbers on the magic line, blanks of any kind, comments
// between any two tokens; the data starts after the single character that ends the last number.
TEST(PortableRead, HeadersAsNetpbmReadsThem)
{
    EXPECT_EQ(LoadPixels(Bytes("P6 1 1 255\n\x01\x02\x03")), (std::vector<QRgb>{0x010203}));
    EXPECT_EQ(LoadPixels(Bytes("P6 2 1\n255\n\x01\x02\x03\x04\x05\x06")), (std::vector<QRgb>{0x010203, 0x040506}));
    EXPECT_EQ(LoadPixels(Bytes("P5\t2\t1\t255\t\x0a\x0d")), (std::vector<QRgb>{0x0A0A0A, 0x0D0D0D}));
    EXPECT_EQ(LoadPixels(Bytes("P5 1 1 15 \x0f")), (std::vector<QRgb>{kW}));
    EXPECT_EQ(LoadPixels(Bytes("P4 8 1\n\x81")), (std::vector<QRgb>{kB, kW, kW, kW, kW, kW, kW, kB}));
    EXPECT_EQ(LoadPixels(Bytes("P4#c\n2#c\n1#c\n\x40")), (std::vector<QRgb>{kW, kB}));
    EXPECT_EQ(LoadPixels("P2 2 1 255 7 8"), (std::vector<QRgb>{0x070707, 0x080808}));
    EXPECT_EQ(LoadPixels("P3\f1\v1\r255\n1 2 3"), (std::vector<QRgb>{0x010203}));
    EXPECT_EQ(LoadPixels("P1 3 1 0 1 0"), (std::vector<QRgb>{kW, kB, kW}));
}

TEST(PortableRead, RawDataMayStartWithABreakByte)
{
    EXPECT_EQ(LoadPixels(Bytes("P5\n3 1\n255\n\x0a\x0d\xc8")), (std::vector<QRgb>{0x0A0A0A, 0x0D0D0D, 0xC8C8C8}));
}

TEST(PortableRead, ShortDataLeavesWhiteAndExtraDataIsIgnored)
{
    EXPECT_EQ(LoadPixels("P3\n2 2\n255\n1 2 3 4"), (std::vector<QRgb>{0x010203, kW, kW, kW}));
    EXPECT_EQ(LoadPixels("P6\n2 2\n255\n\x01\x02\x03\x04"), (std::vector<QRgb>{0x010203, kW, kW, kW}));
    EXPECT_EQ(LoadPixels("P6\n1 2\n255\n\x01\x02\x03\x04\x05"), (std::vector<QRgb>{0x010203, kW}));
    EXPECT_EQ(LoadPixels("P5\n3 2\n255\n\x01\x02\x03\x04"), (std::vector<QRgb>{0x010101, 0x020202, 0x030303,
                                                                             0x040404, kW, kW}));
    EXPECT_EQ(LoadPixels("P5\n1 1\n65535\n\x01"), (std::vector<QRgb>{kW}));
    EXPECT_EQ(LoadPixels(Bytes("P5\n1 1\n255\n\x05\x06")), (std::vector<QRgb>{0x050505}));
}

TEST(PortableRead, FailuresAndTheirTexts)
{
    TPortablePixelmap picture;
    EXPECT_EQ(Load(picture, "\nP6\n1 1\n255\n"), "Unknown format.");
    EXPECT_EQ(Load(picture, "Q6\n1 1\n255\n"), "Unknown format.");
    EXPECT_EQ(Load(picture, ""), "Invalid dimensions.");
    EXPECT_EQ(Load(picture, "P6\n0 0 0\n"), "Invalid dimensions.");
    EXPECT_EQ(Load(picture, "P6\n99999 99999\n255\n"), "Out of memory.");
    EXPECT_TRUE(picture.GetEmpty());
}

TEST(PortableRead, LoadFromAFileName)
{
    TPortablePixelmap picture;
    EXPECT_FALSE(picture.LoadFromFile(TestDataPath("no_such_file.ppm")));
    EXPECT_EQ(picture.GetLastError(), "File not found.");
    const QString locked = NewTestFolder() + "/locked.ppm";
    {
        QFile file(locked);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("P1\n1 1\n1");
    }
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    if (QFile(locked).open(QIODevice::ReadOnly))
        GTEST_SKIP() << "running with rights that read any file";
    EXPECT_FALSE(picture.LoadFromFile(locked));
    EXPECT_EQ(picture.GetLastError(), "File in use.");
}

TEST(PortableRoundTrip, EveryKindReadsBackWhatItWrote)
{
    const QImage colour = MakePicture(9, 2, {0x102030, kW, kB, 0xFF0000, 0x00FF00, 0x0000FF, 0x0A0D0A, 0x0D0A0D, 0x808080,
                                             kW, kW, kB, kB, 0x123456, 0x654321, kW, kB, kW});
    for (int kind : {3, 6}) {
        TPortablePixelmap picture;
        EXPECT_EQ(Load(picture, Save(colour, kind)), "") << kind;
        EXPECT_EQ(Pixels(picture.GetBitmap()), Pixels(colour)) << kind;
        EXPECT_EQ(picture.Kind, kind);
    }
    // Greymaps and bitmaps keep the red channel.
    TPortablePixelmap grey;
    Load(grey, Save(colour, 5));
    EXPECT_EQ(Px(grey.GetBitmap(), 0, 0), 0x101010u);
    TPortablePixelmap mono;
    Load(mono, Save(colour, 1));
    EXPECT_EQ(Px(mono.GetBitmap(), 2, 0), kB);
    EXPECT_EQ(Px(mono.GetBitmap(), 3, 0), kW);
}

TEST(PortableAssign, KindComesAlongFromAnotherAnymap)
{
    TPortablePixelmap source;
    LoadFromBytes(source, "P2\n1 1\n255\n9");
    TPortablePixelmap copy;
    copy.Assign(source);
    EXPECT_EQ(copy.Kind, 2);
    EXPECT_EQ(Px(copy.GetBitmap(), 0, 0), 0x090909u);
}

}  // namespace

namespace {

struct TReport {
    TProgressStage Stage;
    int Percent;
    QString Message;
};

TEST(PortableProgress, LoadsAndSavesAreFramedByStartAndEndReports)
{
    TPortablePixelmap picture;
    std::vector<TReport> reports;
    picture.OnProgress = [&](TGraphic&, TProgressStage stage, int percent, bool, const QRect&, const QString& message) {
        reports.push_back({stage, percent, message});
    };
    LoadFromBytes(picture, "P2\n1 1\n255\n9");
    SaveToBytes(picture);
    EXPECT_THROW(LoadFromBytes(picture, "X"), EGeneralError);
    ASSERT_EQ(reports.size(), 6u);  // nothing in between: the 250 ms have not passed
    const char* messages[] = {"Loading", "Loading", "Saving", "Saving", "Loading", "Loading"};
    for (size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].Stage, i % 2 ? TProgressStage::Ending : TProgressStage::Starting) << i;
        EXPECT_EQ(reports[i].Percent, i % 2 ? 100 : 0) << i;
        EXPECT_EQ(reports[i].Message, messages[i]) << i;
    }
}

}  // namespace

TEST(PortableRead, PrintOnlyReadAveragesWholeBlocks)
{
    // A 5 x 3 greymap needed at 2 x 1 is read in blocks of 2 x 2; the last column and row average what they hold.
    TPortablePixelmap grey;
    grey.NeededSize = [](QSize full) {
        EXPECT_EQ(full, QSize(5, 3));
        return QSize(2, 1);
    };
    ASSERT_EQ(Load(grey, Bytes("P5\n5 3\n255\n\x00\x10\x20\x30\x40\x02\x12\x22\x32\x42\x64\x64\x00\x00\xc8")), "");
    EXPECT_EQ(grey.FullSize, QSize(5, 3));
    EXPECT_EQ(Pixels(grey.GetBitmap()),
              (std::vector<QRgb>{0x090909, 0x292929, 0x414141, 0x646464, 0x000000, 0xC8C8C8}));

    // Colour keeps its channels; data that ends early averages the rows it has and leaves the rest white.
    TPortablePixelmap colour;
    colour.NeededSize = [](QSize) { return QSize(1, 1); };
    ASSERT_EQ(Load(colour, Bytes("P6\n2 4\n255\n\x10\x20\x30\x30\x40\x50\x10\x20\x30\x30\x40\x50\x01")), "");
    EXPECT_EQ(Pixels(colour.GetBitmap()), (std::vector<QRgb>{0x203040, kW}));
}

// Read reduced, a header far beyond the allocation ceiling is not refused by it: its missing raster must be.
TEST(PortableRead, PrintOnlyReadOfAHugeHeaderWithoutItsRasterFails)
{
    TPortablePixelmap huge;
    huge.NeededSize = [](QSize) { return QSize(1000, 1000); };
    EXPECT_EQ(Load(huge, Bytes("P6\n99999 99999\n255\nabcdef")), "Unknown format.");
}
