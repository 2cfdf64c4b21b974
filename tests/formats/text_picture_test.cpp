#include "codec_test_util.h"
#include "formats/general_error.h"
#include "formats/text_picture.h"

namespace {

constexpr QRgb kW = kWhitePx;
constexpr QRgb kB = kBlackPx;

QString Load(TTextPicture& picture, const QString& text)
{
    return picture.LoadFromString(text) ? QString() : picture.GetLastError();
}

std::vector<QRgb> LoadPixels(const QString& text)
{
    TTextPicture picture;
    EXPECT_EQ(Load(picture, text), "");
    return Pixels(picture.GetBitmap());
}

QByteArray Save(const QImage& image, int depth, int style = 0)
{
    TTextPicture picture;
    picture.AssignImage(image);
    picture.SetDepth(depth);
    picture.SetLineStyle(style);
    return SaveToBytes(picture);
}

TEST(TextPictureRead, HeaderWithoutPaletteOrDataIsAllWhite)
{
    EXPECT_EQ(LoadPixels("T1300200~"), std::vector<QRgb>(6, kW));
    EXPECT_EQ(LoadPixels("T1300200~#"), std::vector<QRgb>(6, kW));
}

TEST(TextPictureRead, GroupsTakeTheLeastSignificantBitsFirst)
{
    // Kind 1, 7 x 1, default palette (0 black, 1 red): "2" = pixel 1 red; ")" sets all six, of which only the
    // first still fits the picture.
    EXPECT_EQ(LoadPixels("T1700100~2)#"), (std::vector<QRgb>{kB, 0xFF0000, kB, kB, kB, kB, 0xFF0000}));
    // Kind 2: "9" = 1 + 4 * 2: red, yellow, black.
    EXPECT_EQ(LoadPixels("T2300100~9"), (std::vector<QRgb>{0xFF0000, 0xFFFF00, kB}));
    // Kind 3: "F" = 15 = 7 + 8 * 1: white, red.
    EXPECT_EQ(LoadPixels("T3200100~F"), (std::vector<QRgb>{kW, 0xFF0000}));
}

TEST(TextPictureRead, PartialPaletteKeepsTheDefaultsAndIndicesAreClamped)
{
    // Kind 3 with one colour, (1, 2, 3) = 197121 = digits 1, 8, m, 0: index 0 is it, 1..7 the defaults.
    // Pairs (0,1) (2,3) (4,5) (6,7) are the digits 8, 26, 44 and 62.
    EXPECT_EQ(LoadPixels("T3800100" "18m0" "~" "8Qi("),
              (std::vector<QRgb>{0x010203, 0xFF0000, 0xFFFF00, 0x00FF00, 0x0000FF, 0xC0C0C0, 0x808080, kW}));
    // Kind 4 has 16 colours: a digit of 40 paints index 15, black by default.
    EXPECT_EQ(LoadPixels("T4100100~e")[0], kB);
    EXPECT_EQ(LoadPixels("T4100100" + QString("0000").repeated(15) + "))))~e")[0], kW);
}

TEST(TextPictureRead, CommentsNestAnywhereAndHideStructure)
{
    EXPECT_EQ(LoadPixels("{x~#}T1{a{b}~}3{#}00200~ {#} 1 # 1"), (std::vector<QRgb>{0xFF0000, kB, kB, kB, kB, kB}));
    // A stray "}" makes the depth negative: everything after it is ignored until it comes back to 0.
    EXPECT_EQ(LoadPixels("T1300100~}1{2"), (std::vector<QRgb>{kB, 0xFF0000, kB}));
    EXPECT_EQ(LoadPixels("T1300100~}1#{#1"), (std::vector<QRgb>{kW, kW, kW}));
}

TEST(TextPictureRead, FailuresAndTheirTexts)
{
    TTextPicture picture;
    EXPECT_EQ(Load(picture, ""), "Unknown format");
    EXPECT_EQ(Load(picture, "T1300200#~"), "Unknown format");
    EXPECT_EQ(Load(picture, "T7300200~"), "Unknown format");
    EXPECT_EQ(Load(picture, "T1000200~"), "Unknown format");
    EXPECT_EQ(Load(picture, "T1300"), "Unknown format");
    EXPECT_EQ(Load(picture, "T6))))))~"), "Out of memory");
    EXPECT_TRUE(picture.GetEmpty());
    EXPECT_TRUE(TextPictureToBitmap("T1300").isNull());
}

TEST(TextPictureRead, ThrowsFromAStreamWithItsText)
{
    TTextPicture picture;
    try {
        LoadFromBytes(picture, "nothing");
        ADD_FAILURE() << "no exception";
    } catch (const EGeneralError& e) {
        EXPECT_EQ(e.Message(), "Unknown format");
    }
}

QImage ManyColours(int width, int height)
{
    std::vector<QRgb> pixels;
    for (int i = 0; i < width * height; ++i)
        pixels.push_back(QRgb((i % 5) * 0x332211 + (i % 3) * 0x000040));
    return MakePicture(width, height, pixels);
}

TEST(TextPictureWrite, HeaderAndPaletteInTheOrderFound)
{
    const QImage image = MakePicture(3, 1, {0x010203, kW, 0x010203});
    // Kind 2, 3 x 1, then (1, 2, 3) and white as R + 256 G + 65536 B in base-64 digits.
    const QByteArray text = Save(image, 2);
    EXPECT_TRUE(text.startsWith("T2300100" "18m0" "))))~"));
    EXPECT_TRUE(text.endsWith("~4#"));  // indices 0, 1, 0 -> 0 + 4 * 1 + 16 * 0
    EXPECT_EQ(LoadPixels(QString::fromLatin1(text)), Pixels(image));
}

TEST(TextPictureWrite, ColoursBeyondTheKindBecomeIndexZero)
{
    const QImage image = MakePicture(3, 1, {0x0000FF, 0x00FF00, 0xFF0000});
    const auto pixels = LoadPixels(QString::fromLatin1(Save(image, 1)));
    EXPECT_EQ(pixels, (std::vector<QRgb>{0x0000FF, 0x00FF00, 0x0000FF}));
}

TEST(TextPictureWrite, AllLineStylesReadBackAlike)
{
    const QImage image = ManyColours(700, 3);
    const QByteArray plain = Save(image, 6, 0);
    const QByteArray quoted = Save(image, 6, 1);
    const QByteArray broken = Save(image, 6, 2);
    EXPECT_FALSE(plain.contains('\n'));
    EXPECT_TRUE(quoted.contains("~'+'"));
    EXPECT_EQ(quoted.count("'+\r\n'"), 2);  // 2100 characters: 8 joins, line breaks at the 3rd and 7th
    EXPECT_EQ(quoted.count("'+'"), 1 + 6);
    EXPECT_EQ(broken.count("\r\n"), 1 + 2100 / 68);
    for (const QByteArray& text : {plain, quoted, broken})
        EXPECT_EQ(LoadPixels(QString::fromLatin1(text)), Pixels(image));
}

TEST(TextPictureWrite, EveryKindRoundTripsItsColours)
{
    for (int kind = 1; kind <= 6; ++kind) {
        const int colours = 1 << kind;
        std::vector<QRgb> pixels;
        for (int i = 0; i < 7 * 5; ++i)
            pixels.push_back(QRgb((i % colours) * 0x030507));
        const QImage image = MakePicture(7, 5, pixels);
        EXPECT_EQ(LoadPixels(QString::fromLatin1(Save(image, kind))), pixels) << kind;
    }
}

TEST(TextPictureWrite, SidesBeyondThreeDigitsAreRefused)
{
    TTextPicture picture;
    picture.AssignImage(QImage(TTextPicture::kMaxSide + 1, 1, kFormat24));
    EXPECT_THROW(SaveToBytes(picture), EGeneralError);
    EXPECT_EQ(picture.GetLastError(), "Capacity reached");
}

TEST(TextPictureToBitmap, GivesA24BitPicture)
{
    const QImage image = TextPictureToBitmap("T2200200~{comment}9 0");
    EXPECT_EQ(image.format(), kFormat24);
    EXPECT_EQ(image.size(), QSize(2, 2));
    EXPECT_EQ(Pixels(image), (std::vector<QRgb>{0xFF0000, 0xFFFF00, kB, kB}));
}

}  // namespace
