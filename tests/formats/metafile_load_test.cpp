// Metafiles drawn by other programs (Inkscape, from the .svg beside each) must land where their drawing says.
#include "metafile_test_util.h"

#include "formats/image_info.h"
#include "formats/loaders.h"
#include "formats/open_image.h"
#include "testlib/test_env.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace {

using metafile_test::DarkPixels;

struct TLoad {
    bool Ok = false;
    QString Error;
    int BitsPerPixel = 0;
    QImage Image;
};

TLoad Load(const QString& path)
{
    TLoad result;
    TImageInfoRec info;
    info.FileName = path;
    info.BitsPerPixel = 7;
    info.Bitmap = &result.Image;
    result.Ok = LoadMetafileFile(info);
    result.Error = info.ErrorText;
    result.BitsPerPixel = info.BitsPerPixel;
    return result;
}

TLoad LoadFixture(const QString& name)
{
    return Load(TestDataPath("metafile/" + name));
}

QString WriteNewFile(const QString& name, const QByteArray& bytes)
{
    const QString path = NewTestFolder() + "/" + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QByteArray ReadFixture(const QString& name)
{
    QFile file(TestDataPath("metafile/" + name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

// Anti-aliased edges aside, shapes are drawn in flat colours.
void ExpectColor(const QImage& image, int x, int y, QColor expected)
{
    const QColor got = image.pixelColor(x, y);
    EXPECT_LE(std::abs(got.red() - expected.red()) + std::abs(got.green() - expected.green()) +
                  std::abs(got.blue() - expected.blue()),
              24)
        << "at " << x << "," << y << " got " << got.name().toStdString() << " want "
        << expected.name().toStdString();
}

class MetafileFixture : public testing::TestWithParam<const char*> {
protected:
    QString Name(const char* base) const { return QString(base) + "." + GetParam(); }
};

TEST_P(MetafileFixture, ShapesLandWhereTheDrawingPutsThem)
{
    const TLoad load = LoadFixture(Name("shapes"));
    ASSERT_TRUE(load.Ok) << load.Error.toStdString();
    EXPECT_EQ(load.BitsPerPixel, 24);
    EXPECT_EQ(load.Image.format(), QImage::Format_BGR888);
    EXPECT_EQ(load.Image.width(), 200);
    // Inkscape's EMF frame is a little taller than the page; its WMF box is exact.
    EXPECT_EQ(load.Image.height(), QString(GetParam()) == "emf" ? 102 : 100);

    ExpectColor(load.Image, 12, 12, Qt::red);      // rectangle 10..70 x 10..50
    ExpectColor(load.Image, 67, 47, Qt::red);
    ExpectColor(load.Image, 40, 30, Qt::red);
    ExpectColor(load.Image, 140, 40, Qt::blue);    // ellipse centre 140,40, radii 40 x 25
    ExpectColor(load.Image, 103, 40, Qt::blue);
    ExpectColor(load.Image, 140, 17, Qt::blue);
    ExpectColor(load.Image, 100, 80, Qt::green);   // line at y 80, 8 wide
    ExpectColor(load.Image, 15, 77, Qt::green);

    ExpectColor(load.Image, 5, 5, Qt::white);      // paper around the shapes
    ExpectColor(load.Image, 85, 30, Qt::white);
    ExpectColor(load.Image, 140, 10, Qt::white);   // above the ellipse
    ExpectColor(load.Image, 104, 20, Qt::white);   // outside the ellipse, inside its box
    ExpectColor(load.Image, 100, 70, Qt::white);
    ExpectColor(load.Image, 100, 89, Qt::white);
}

TEST_P(MetafileFixture, EmbeddedBitmapKeepsItsQuadrants)
{
    const TLoad load = LoadFixture(Name("bitmap"));
    ASSERT_TRUE(load.Ok) << load.Error.toStdString();
    EXPECT_NEAR(load.Image.width(), 120, 1);
    // The 4 x 4 picture is stretched over 20..100 without smoothing.
    ExpectColor(load.Image, 22, 22, Qt::red);
    ExpectColor(load.Image, 58, 58, Qt::red);
    ExpectColor(load.Image, 62, 22, Qt::green);
    ExpectColor(load.Image, 22, 62, Qt::blue);
    ExpectColor(load.Image, 97, 97, Qt::yellow);
    ExpectColor(load.Image, 10, 10, Qt::white);
    ExpectColor(load.Image, 110, 60, Qt::white);
}

TEST_P(MetafileFixture, TextOutlinesAndFrame)
{
    const TLoad load = LoadFixture(Name("text"));
    ASSERT_TRUE(load.Ok) << load.Error.toStdString();
    EXPECT_NEAR(load.Image.width(), 300, 2);
    ExpectColor(load.Image, 28, 50, Qt::black);    // the stem of the H
    ExpectColor(load.Image, 45, 35, Qt::white);    // inside the H, above its bar
    ExpectColor(load.Image, 200, 50, Qt::magenta); // the frame's left side, 4 wide
    ExpectColor(load.Image, 230, 50, Qt::white);   // inside the frame
}

// LibreOffice writes real text records, fonts, saved states, clipping and an anisotropic mapping from
// hundredths of a millimetre, and crops the page to the drawing (everything moves 10 pixels up and left).
TEST_P(MetafileFixture, LibreOfficeDrawingWithTextAndMapping)
{
    const TLoad load = LoadFixture(Name("drawing"));
    ASSERT_TRUE(load.Ok) << load.Error.toStdString();
    EXPECT_EQ(load.Image.size(), QSize(283, 133));
    ExpectColor(load.Image, 40, 25, Qt::red);       // rectangle 0..80 x 0..50
    ExpectColor(load.Image, 85, 25, Qt::white);
    ExpectColor(load.Image, 230, 40, Qt::blue);     // ellipse centre 230,40 with a black outline 4 wide
    ExpectColor(load.Image, 190, 40, Qt::black);
    ExpectColor(load.Image, 184, 40, Qt::white);
    ExpectColor(load.Image, 150, 100, Qt::green);   // the line at y 100
    ExpectColor(load.Image, 150, 90, Qt::white);
    // "Hi" at 40 pixels: the stem of the H, clear paper before it, and about as much ink as two letters take.
    ExpectColor(load.Image, 106, 35, Qt::black);
    ExpectColor(load.Image, 100, 35, Qt::white);
    const int ink = DarkPixels(load.Image, QRect(95, 15, 60, 45));
    EXPECT_GT(ink, 250);
    EXPECT_LT(ink, 600);
}

INSTANTIATE_TEST_SUITE_P(Formats, MetafileFixture, testing::Values("emf", "wmf"));

TEST(MetafileLoad, RefusalsKeepTheTargetAndSayWhy)
{
    QImage target(3, 2, QImage::Format_BGR888);
    target.fill(Qt::cyan);
    TImageInfoRec info;
    info.Bitmap = &target;

    info.FileName = TestHome() + "/missing.emf";
    EXPECT_FALSE(LoadMetafileFile(info));
    EXPECT_EQ(info.ErrorText, "File not found");

    // The extension chooses the reader: an EMF named .wmf is not a Windows metafile, and a PNG is neither.
    info.FileName = WriteNewFile("shapes.wmf", ReadFixture("shapes.emf"));
    EXPECT_FALSE(LoadMetafileFile(info));
    EXPECT_EQ(info.ErrorText, "Unknown format");
    info.FileName = WriteNewFile("shapes.emf", ReadFixture("shapes.wmf"));
    EXPECT_FALSE(LoadMetafileFile(info));
    EXPECT_EQ(info.ErrorText, "Unknown format");
    info.FileName = WriteNewFile("empty.emf", QByteArray());
    EXPECT_FALSE(LoadMetafileFile(info));
    EXPECT_EQ(info.ErrorText, "Unknown format");
    EXPECT_EQ(target.size(), QSize(3, 2));
    EXPECT_EQ(target.pixelColor(0, 0), QColor(Qt::cyan));

    info.Bitmap = nullptr;
    info.FileName = TestDataPath("metafile/shapes.emf");
    EXPECT_FALSE(LoadMetafileFile(info));
    EXPECT_EQ(info.ErrorText, "Index out of range");
}

TEST(MetafileLoad, TheRegistryOpensBothKinds)
{
    for (const char* name : {"shapes.wmf", "shapes.emf"}) {
        QImage target;
        TImageInfoRec info;
        info.FileName = TestDataPath(QString("metafile/") + name);
        info.Bitmap = &target;
        info.BackColor = 0x00FFFFFF;
        ASSERT_TRUE(GetOpenImage().OpenFile(info)) << name << ": " << info.ErrorText.toStdString();
        EXPECT_EQ(target.width(), 200);
        ExpectColor(target, 40, 30, Qt::red);
    }
}

TEST(MetafileLoad, ExtensionIsCaseInsensitive)
{
    const TLoad load = Load(WriteNewFile("SHAPES.Emf", ReadFixture("shapes.emf")));
    ASSERT_TRUE(load.Ok);
    EXPECT_EQ(load.Image.width(), 200);
}

// Cut or damaged copies of real files either fail with the format's text or load what they can.
void ExpectSurvives(const QString& name, const QByteArray& bytes)
{
    const TLoad load = Load(WriteNewFile(name, bytes));
    if (!load.Ok)
        EXPECT_EQ(load.Error, "Unknown format");
    else
        EXPECT_FALSE(load.Image.isNull());
}

TEST(MetafileLoad, TruncatedCopiesFailCleanlyOrLoadWhatTheyHave)
{
    for (const char* name : {"shapes.emf", "shapes.wmf", "bitmap.emf", "bitmap.wmf", "text.emf", "text.wmf",
                             "drawing.emf", "drawing.wmf"}) {
        const QByteArray whole = ReadFixture(name);
        const qsizetype step = std::max<qsizetype>(10, whole.size() / 80);
        for (qsizetype cut = 0; cut < whole.size(); cut += step)
            ExpectSurvives(name, whole.left(cut));
    }
    // Cut inside the header: not a metafile at all.
    EXPECT_EQ(Load(WriteNewFile("cut.emf", ReadFixture("shapes.emf").left(60))).Error, "Unknown format");
    EXPECT_EQ(Load(WriteNewFile("cut.wmf", ReadFixture("shapes.wmf").left(30))).Error, "Unknown format");
    // Cut after the header: the records that are whole still draw.
    const QByteArray emf = ReadFixture("shapes.emf");
    const TLoad partial = Load(WriteNewFile("cut.emf", emf.left(600)));
    ASSERT_TRUE(partial.Ok);
    ExpectColor(partial.Image, 40, 30, Qt::red);
    ExpectColor(partial.Image, 140, 40, Qt::white);
}

TEST(MetafileLoad, CorruptedCopiesNeverCrash)
{
    for (const char* name : {"shapes.emf", "shapes.wmf", "bitmap.emf", "bitmap.wmf", "drawing.emf", "drawing.wmf"}) {
        const QByteArray whole = ReadFixture(name);
        for (int seed = 1; seed <= 30; ++seed) {
            QByteArray bytes = whole;
            // Damage a spread of bytes past the first ones, with values that break sizes and counts.
            static constexpr char kValues[] = {'\xFF', '\x00', '\x7F', '\x80'};
            for (qsizetype at = 40 + seed; at < bytes.size(); at += 37 + seed)
                bytes[at] = kValues[(at + seed) % 4];
            ExpectSurvives(name, bytes);
        }
    }
}

}  // namespace
