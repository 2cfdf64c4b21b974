// Device-context behaviour a metafile relies on, each case a small metafile whose records say exactly where the
// ink must go, and hostile records that must neither crash nor stop the good records around them.
#include "formats/image_info.h"
#include "formats/loaders.h"
#include "formats/metafile_canvas.h"
#include "formats/metafile_player.h"
#include "testlib/test_env.h"

#include <QFile>
#include <QImage>
#include <QtEndian>

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

// EMF record types and values used below.
enum : std::int32_t {
    kPolygon = 3, kSetWindowExt = 9, kSetWindowOrg = 10, kSetViewportExt = 11, kSetViewportOrg = 12, kEof = 14,
    kSetMapMode = 17, kSetPolyFillMode = 19, kMoveTo = 27, kExcludeClip = 29, kIntersectClip = 30, kSaveDc = 33,
    kRestoreDc = 34, kSetWorldTransform = 35, kModifyWorldTransform = 36, kSelectObject = 37,
    kCreateBrush = 39, kDeleteObject = 40, kRectangle = 43, kLineTo = 54, kBeginPath = 59, kEndPath = 60,
    kCloseFigure = 61, kFillPath = 62, kExtSelectClipRgn = 75, kSetBkMode = 18, kSetTextAlign = 22,
    kSetTextColor = 24, kSetBkColor = 25, kCreateFont = 82, kExtTextOutW = 84,
};
constexpr std::int32_t kBlackBrush = std::int32_t(0x80000004u), kWhiteBrush = std::int32_t(0x80000000u);
constexpr std::int32_t kNullPen = std::int32_t(0x80000008u);
constexpr std::int32_t kRed = 0x0000FF, kBlue = 0xFF0000;

std::int32_t FloatBits(float f)
{
    std::int32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

void Put32(QByteArray& bytes, std::int32_t v)
{
    char b[4];
    qToLittleEndian<std::int32_t>(v, b);
    bytes.append(b, 4);
}

void Put16(QByteArray& bytes, std::int32_t v)
{
    char b[2];
    qToLittleEndian<std::int16_t>(std::int16_t(v), b);
    bytes.append(b, 2);
}

// An enhanced metafile of sizePx x sizePx pixels at 96 per inch on a 96-per-inch reference device, so logical
// units of MM_TEXT are picture pixels. Shapes are drawn without outline unless a case selects a pen.
class TEmfWriter {
public:
    explicit TEmfWriter(std::int32_t frameHundredths = 2646, std::uint16_t handles = 16)
    {
        const std::int32_t header[] = {1, 108, 0, 0, 99, 99, 0, 0, frameHundredths, frameHundredths, 0x464D4520,
                                       0x10000, 0, 0, handles, 0, 0, 0, 960, 960, 254, 254, 0, 0, 0,
                                       254000, 254000};
        for (std::int32_t v : header)
            Put32(FBytes, v);
        Add(kSelectObject, {kNullPen});
    }

    TEmfWriter& Add(std::int32_t type, std::initializer_list<std::int32_t> words)
    {
        Put32(FBytes, type);
        Put32(FBytes, std::int32_t(8 + 4 * words.size()));
        for (std::int32_t v : words)
            Put32(FBytes, v);
        return *this;
    }

    // A record whose body is given as bytes, padded to whole words.
    TEmfWriter& AddBytes(std::int32_t type, QByteArray body)
    {
        body.append((4 - body.size() % 4) % 4, '\0');
        Put32(FBytes, type);
        Put32(FBytes, std::int32_t(8 + body.size()));
        FBytes.append(body);
        return *this;
    }

    TEmfWriter& Brush(std::int32_t index, std::int32_t color) { return Add(kCreateBrush, {index, 0, color, 0}); }
    TEmfWriter& Rect(int l, int t, int r, int b) { return Add(kRectangle, {l, t, r, b}); }

    QByteArray Bytes() const
    {
        QByteArray out = FBytes;
        Put32(out, kEof);
        Put32(out, 20);
        Put32(out, 0);
        Put32(out, 0);
        Put32(out, 20);
        qToLittleEndian<std::int32_t>(std::int32_t(out.size()), out.data() + 48);
        return out;
    }

private:
    QByteArray FBytes;
};

struct TResult {
    bool Ok = false;
    QString Error;
    QImage Image;
};

TResult Load(const QString& name, const QByteArray& bytes)
{
    const QString path = NewTestFolder() + "/" + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    TResult result;
    TImageInfoRec info;
    info.FileName = path;
    info.Bitmap = &result.Image;
    result.Ok = LoadMetafileFile(info);
    result.Error = info.ErrorText;
    return result;
}

QImage Play(const TEmfWriter& emf)
{
    const TResult result = Load("case.emf", emf.Bytes());
    EXPECT_TRUE(result.Ok) << result.Error.toStdString();
    return result.Image;
}

bool Ink(const QImage& image, int x, int y, QColor color = Qt::black)
{
    return image.pixelColor(x, y) == color;
}

bool Paper(const QImage& image, int x, int y)
{
    return Ink(image, x, y, Qt::white);
}

TEST(MetafileMapping, AnisotropicStretchesEachAxisOnItsOwn)
{
    TEmfWriter emf;
    emf.Add(kSetMapMode, {8}).Add(kSetWindowExt, {1000, 1000}).Add(kSetViewportExt, {100, 50});
    emf.Add(kSelectObject, {kBlackBrush}).Rect(0, 0, 500, 500);
    const QImage image = Play(emf);
    EXPECT_EQ(image.size(), QSize(100, 100));
    EXPECT_TRUE(Ink(image, 45, 20));
    EXPECT_TRUE(Paper(image, 55, 20));
    EXPECT_TRUE(Paper(image, 45, 30));
}

TEST(MetafileMapping, IsotropicKeepsTheAspect)
{
    TEmfWriter emf;
    emf.Add(kSetMapMode, {7}).Add(kSetWindowExt, {1000, 1000}).Add(kSetViewportExt, {100, 50});
    emf.Add(kSelectObject, {kBlackBrush}).Rect(0, 0, 500, 500);
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 20, 20));
    EXPECT_TRUE(Paper(image, 30, 20));
    EXPECT_TRUE(Paper(image, 20, 30));
}

TEST(MetafileMapping, MetricModeGrowsUpwardsFromTheViewportOrigin)
{
    // Tenths of a millimetre: 100 units are 10 mm, 37.8 pixels, above the origin at the bottom.
    TEmfWriter emf;
    emf.Add(kSetMapMode, {2}).Add(kSetViewportOrg, {0, 100});
    emf.Add(kSelectObject, {kBlackBrush}).Rect(0, 0, 100, 100);
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 30, 70));
    EXPECT_TRUE(Ink(image, 5, 95));
    EXPECT_TRUE(Paper(image, 30, 55));
    EXPECT_TRUE(Paper(image, 45, 90));
}

TEST(MetafileMapping, WindowOriginAndWorldTransform)
{
    TEmfWriter emf;
    emf.Add(kSetMapMode, {8}).Add(kSetWindowOrg, {100, 100}).Add(kSetWindowExt, {100, 100});
    emf.Add(kSetViewportExt, {100, 100}).Add(kSelectObject, {kBlackBrush}).Rect(100, 100, 120, 120);
    // World before window: 50..60 doubled and moved 30 is 130..150, which the window origin puts at 30..50.
    emf.Add(kSetWorldTransform, {FloatBits(2), 0, 0, FloatBits(2), FloatBits(30), FloatBits(30)});
    emf.Brush(1, kRed).Add(kSelectObject, {1}).Rect(50, 50, 60, 60);
    emf.Add(kModifyWorldTransform, {0, 0, 0, 0, 0, 0, 1}).Rect(170, 170, 180, 180);
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 10, 10));
    EXPECT_TRUE(Paper(image, 25, 25));
    EXPECT_TRUE(Ink(image, 40, 40, Qt::red));
    EXPECT_TRUE(Paper(image, 55, 40));
    EXPECT_TRUE(Ink(image, 75, 75, Qt::red));  // back to identity
}

TEST(MetafileMapping, ExtentsOutsideTheScalableModesAreIgnored)
{
    // Extents given in text mode do nothing, and text mode forgets the ones set before it.
    TEmfWriter emf;
    emf.Add(kSetWindowExt, {1000, 1000}).Add(kSetViewportExt, {100, 100}).Add(kSetMapMode, {8});
    emf.Add(kSelectObject, {kBlackBrush}).Rect(0, 0, 20, 20);
    emf.Add(kSetWindowExt, {1000, 1000}).Add(kSetViewportExt, {100, 100}).Add(kSetMapMode, {1});
    emf.Add(kSetMapMode, {8}).Rect(40, 0, 60, 20);
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 15, 15));
    EXPECT_TRUE(Ink(image, 55, 15));
    EXPECT_TRUE(Paper(image, 5, 40));
}

TEST(MetafileMapping, HeaderSizesBehindADescriptionAreNotRead)
{
    // A description starting at byte 88, where longer headers keep their sizes in micrometres: its text must not
    // be read as sizes (a drawing so mapped lands far off the picture).
    TEmfWriter emf;
    emf.Add(kSelectObject, {kBlackBrush}).Rect(10, 10, 90, 90);
    QByteArray bytes = emf.Bytes();
    qToLittleEndian<std::int32_t>(10, bytes.data() + 64);
    qToLittleEndian<std::int32_t>(88, bytes.data() + 68);
    for (int i = 88; i < 108; i += 2)
        qToLittleEndian<std::int16_t>('x', bytes.data() + i);
    const TResult result = Load("described.emf", bytes);
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    EXPECT_TRUE(Ink(result.Image, 50, 50));
    EXPECT_TRUE(Paper(result.Image, 95, 95));
}

TEST(MetafileState, RestoreDcGoesBackRelativeOrAbsolute)
{
    TEmfWriter emf;
    emf.Brush(1, kRed).Brush(2, kBlue).Add(kSelectObject, {1});
    emf.Add(kSaveDc, {}).Add(kSelectObject, {2}).Add(kSaveDc, {}).Add(kSelectObject, {kBlackBrush});
    emf.Add(kRestoreDc, {-2}).Rect(0, 0, 20, 20);      // red again
    emf.Add(kRestoreDc, {-5}).Rect(20, 0, 40, 20);     // deeper than saved: ignored, still red
    emf.Add(kSaveDc, {}).Add(kSelectObject, {2}).Add(kSaveDc, {}).Add(kSelectObject, {kBlackBrush});
    emf.Add(kRestoreDc, {2}).Rect(40, 0, 60, 20);      // the second saved state: blue
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 10, 10, Qt::red));
    EXPECT_TRUE(Ink(image, 30, 10, Qt::red));
    EXPECT_TRUE(Ink(image, 50, 10, Qt::blue));
}

TEST(MetafileState, DeepSavesAreBoundedAndStillRestore)
{
    TEmfWriter emf;
    emf.Add(kSelectObject, {kBlackBrush});
    for (int i = 0; i < 3000; ++i)
        emf.Add(kSaveDc, {});
    emf.Add(kSelectObject, {kWhiteBrush}).Add(kRestoreDc, {1}).Rect(0, 0, 20, 20);
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 10, 10));
}

TEST(MetafileState, ClippingIntersectsExcludesAndRestores)
{
    TEmfWriter emf;
    emf.Add(kSelectObject, {kBlackBrush}).Add(kSaveDc, {});
    emf.Add(kIntersectClip, {0, 0, 50, 100}).Add(kExcludeClip, {10, 10, 20, 20}).Rect(0, 0, 100, 50);
    emf.Add(kRestoreDc, {-1}).Rect(0, 60, 100, 100);
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 5, 30));
    EXPECT_TRUE(Paper(image, 15, 15));   // excluded
    EXPECT_TRUE(Paper(image, 70, 30));   // outside the intersection
    EXPECT_TRUE(Ink(image, 70, 80));     // clip gone with the restored state
}

TEST(MetafileState, SelectingNoRegionResetsTheClip)
{
    TEmfWriter emf;
    emf.Add(kSelectObject, {kBlackBrush}).Add(kIntersectClip, {0, 0, 10, 10});
    emf.Add(kExtSelectClipRgn, {0, 5}).Rect(0, 0, 100, 100);
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 80, 80));
}

TEST(MetafileObjects, PatternBrushRepeatsInPicturePixelsWhateverTheMapping)
{
    TEmfWriter emf;
    emf.Add(kSetMapMode, {8}).Add(kSetWindowExt, {10, 10}).Add(kSetViewportExt, {100, 100});
    // A DIB pattern of two 24-bit pixels, black then white.
    emf.Add(94, {1, 0, 32, 40, 72, 8, 40, 2, 1, 1 | (24 << 16), 0, 8, 0, 0, 0, 0,
                 std::int32_t(0xFF000000u), 0x0000FFFF});
    emf.Add(kSelectObject, {1}).Rect(0, 0, 5, 5);
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 10, 20));
    EXPECT_TRUE(Paper(image, 11, 20));
    EXPECT_TRUE(Ink(image, 12, 20));
    EXPECT_TRUE(Paper(image, 60, 20));  // outside the rectangle
}

TEST(MetafileObjects, DeletedUnknownAndOutOfTableIndexesChangeNothing)
{
    TEmfWriter emf(2646, 4);
    emf.Brush(1, kRed).Add(kSelectObject, {1}).Brush(2, kBlue).Add(kDeleteObject, {2});
    emf.Add(kSelectObject, {2}).Add(kSelectObject, {9999}).Add(kSelectObject, {-1});
    emf.Brush(4, kBlue).Add(kSelectObject, {4});  // the table has 4 slots: index 4 is outside it
    emf.Rect(0, 0, 20, 20);
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 10, 10, Qt::red));
}

TEST(MetafileObjects, PaletteIndexColoursComeFromTheSelectedPalette)
{
    // 0x01000007 is entry 7 of the palette: light grey in the default one, not the red level 7.
    TEmfWriter emf;
    emf.Brush(1, 0x01000007).Add(kSelectObject, {1}).Rect(0, 0, 50, 50);
    emf.Add(49, {2, 0x00020300, 0x000000FF, 0x0000FF00}).Add(48, {2});  // red, green
    emf.Brush(3, 0x01000001).Add(kSelectObject, {3}).Rect(50, 0, 100, 50);
    // A pattern style names the writer's own bitmap handle: no brush, the green one stays (not black).
    emf.Add(kCreateBrush, {4, 3, 0, 0}).Add(kSelectObject, {4}).Rect(0, 50, 50, 100);
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 25, 25, QColor(192, 192, 192)));
    EXPECT_TRUE(Ink(image, 75, 25, Qt::green));
    EXPECT_TRUE(Ink(image, 25, 75, Qt::green));
}

TEST(MetafileBitmaps, StretchDibitsCountsSourceRowsFromTheBottom)
{
    // A bottom-up 2 x 2 DIB, blue row first in memory (the bottom), red row second (the top). The source
    // rectangle starts one row up from the bottom: the red row, stretched over 0..50 x 0..50.
    TEmfWriter emf;
    emf.Add(81, {0, 0, 0, 0, 0, 0, 0, 1, 2, 1, 80, 40, 120, 16, 0, 0x00CC0020, 50, 50,
                 40, 2, 2, 1 | (24 << 16), 0, 16, 0, 0, 0, 0,
                 std::int32_t(0xFF0000FFu), 0, 0x00FF0000, 0x0000FF00});
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 10, 10, Qt::red));
    EXPECT_TRUE(Ink(image, 40, 40, Qt::red));
    EXPECT_TRUE(Paper(image, 60, 60));
}

TEST(MetafileBitmaps, GradientsAndTransparentColour)
{
    TEmfWriter emf;
    emf.Add(kSelectObject, {kBlackBrush}).Rect(0, 50, 100, 100);
    // A horizontal gradient from red to blue over 0..100 x 0..50 (16-bit channels).
    emf.Add(118, {0, 0, 0, 0, 2, 1, 0, 0, 0, 0x0000FF00, 0, 100, 50, 0, 0x0000FF00, 0, 1});
    // TransparentBlt of a 2 x 2 bitmap, red in its top left, white elsewhere, white transparent: over 0..100 x
    // 50..100 only the red quarter covers the black.
    emf.Add(116, {0, 0, 0, 0, 0, 50, 100, 50, 0x00FFFFFF, 0, 0, FloatBits(1), 0, 0, FloatBits(1), 0, 0, 0, 0,
                  108, 40, 148, 16, 2, 2, 40, 2, 2, 1 | (24 << 16), 0, 16, 0, 0, 0, 0,
                  -1, 0x0000FFFF, std::int32_t(0xFFFF0000u), 0x0000FFFF});
    const QImage image = Play(emf);
    EXPECT_GT(image.pixelColor(5, 25).red(), 200);
    EXPECT_LT(image.pixelColor(5, 25).blue(), 60);
    EXPECT_GT(image.pixelColor(95, 25).blue(), 200);
    EXPECT_TRUE(Ink(image, 25, 60, Qt::red));
    EXPECT_TRUE(Ink(image, 75, 60));
    EXPECT_TRUE(Ink(image, 25, 90));
}

TEST(MetafilePaths, FigureFilledAfterTheBracket)
{
    TEmfWriter emf;
    emf.Add(kSelectObject, {kBlackBrush}).Add(kBeginPath, {});
    emf.Add(kMoveTo, {10, 10}).Add(kLineTo, {60, 10}).Add(kLineTo, {60, 60}).Add(kLineTo, {10, 60});
    emf.Add(kCloseFigure, {}).Add(kEndPath, {});
    EXPECT_EQ(Load("unused.emf", emf.Bytes()).Error, "Unknown format");  // a path draws nothing until it is used
    emf.Add(kFillPath, {0, 0, 0, 0});
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 30, 30));
    EXPECT_TRUE(Paper(image, 70, 30));
    // Some writers leave out the bounds no player reads; the fill is still meant.
    emf.Add(kBeginPath, {}).Add(kMoveTo, {70, 70}).Add(kLineTo, {90, 70}).Add(kLineTo, {90, 90});
    emf.Add(kEndPath, {}).Add(kFillPath, {});
    EXPECT_TRUE(Ink(Play(emf), 85, 75));
}

int DarkPixels(const QImage& image, const QRect& area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += qGray(image.pixel(x, y)) < 128;
    return count;
}

TEST(MetafileText, RightAlignedOnTheBaselineWithAnOpaqueBox)
{
    TEmfWriter emf;
    // A 40-unit font of the default face, in the long form writers use (LOGFONT plus its panose part).
    emf.Add(kCreateFont, {1, -40, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0});
    emf.Add(kSelectObject, {1}).Add(kSetTextAlign, {2 | 24}).Add(kSetBkMode, {1});
    emf.Add(kSetBkColor, {kBlue}).Add(kSetTextColor, {0});
    // "II" ending at 90,50, 12 units apart; ETO_OPAQUE fills 0,70 .. 100,100 with the background colour.
    emf.Add(kExtTextOutW, {0, 0, 0, 0, 1, 0, 0, 90, 50, 2, 76, 2, 0, 70, 100, 100, 80, 0x00490049, 12, 12});
    const QImage image = Play(emf);
    EXPECT_GT(DarkPixels(image, QRect(60, 15, 32, 36)), 40);  // left of the reference, above the baseline
    EXPECT_EQ(DarkPixels(image, QRect(93, 0, 7, 70)), 0);
    EXPECT_EQ(DarkPixels(image, QRect(0, 0, 55, 70)), 0);
    EXPECT_TRUE(Ink(image, 50, 85, Qt::blue));
    EXPECT_TRUE(Paper(image, 50, 65));
}

TEST(MetafileText, EscapementTurnsWithAWindowWhoseYAxisPointsUp)
{
    // A window with y up, as plots write it; a 90-degree title from 50,50 runs down the page, as the window
    // sees it turning counter-clockwise.
    TEmfWriter emf;
    emf.Add(kSetMapMode, {8}).Add(kSetWindowExt, {100, -100}).Add(kSetWindowOrg, {0, 100});
    emf.Add(kSetViewportExt, {100, 100});
    emf.Add(kCreateFont, {1, -12, 0, 900, 900, 400, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    emf.Add(kSelectObject, {1}).Add(kSetTextAlign, {24}).Add(kSetBkMode, {1}).Add(kSetTextColor, {0});
    emf.Add(kExtTextOutW, {0, 0, 0, 0, 1, 0, 0, 50, 50, 4, 76, 0, 0, 0, 0, 0, 0, 0x00490049, 0x00490049});
    const QImage image = Play(emf);
    EXPECT_GT(DarkPixels(image, QRect(30, 52, 40, 40)), 20);
    EXPECT_EQ(DarkPixels(image, QRect(30, 0, 40, 48)), 0);
}

TEST(MetafileText, CharactersWithoutAnAdvanceJoinTheOneBefore)
{
    // Office programs give a ligature's whole advance to its first letter and none to the others ("ffi": 926,
    // 0, 0); the parts are drawn with the first, not stacked at the next letter's place.
    TEmfWriter emf;
    emf.Add(kCreateFont, {1, -20, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    emf.Add(kSelectObject, {1}).Add(kSetTextAlign, {24}).Add(kSetBkMode, {1}).Add(kSetTextColor, {0});
    // "II" from 10,50 with the advances 60 and 0.
    emf.Add(kExtTextOutW, {0, 0, 0, 0, 1, 0, 0, 10, 50, 2, 76, 0, 0, 0, 0, 0, 80, 0x00490049, 60, 0});
    const QImage image = Play(emf);
    EXPECT_GT(DarkPixels(image, QRect(8, 30, 30, 22)), 20);
    EXPECT_EQ(DarkPixels(image, QRect(50, 0, 50, 100)), 0);
}

TEST(MetafilePaths, PolyDrawTypesBuildTheFigure)
{
    const auto xy = [](int x, int y) { return (x & 0xFFFF) | (y << 16); };
    TEmfWriter emf;
    emf.Add(kSelectObject, {kBlackBrush}).Add(kBeginPath, {});
    // Move, line, line, line and close: a square 10..40 x 70..95.
    emf.Add(92, {0, 0, 0, 0, 4, xy(10, 70), xy(40, 70), xy(40, 95), xy(10, 95), 6 | (2 << 8) | (2 << 16) | (3 << 24)});
    emf.Add(kEndPath, {}).Add(kFillPath, {0, 0, 0, 0});
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 25, 80));
    EXPECT_TRUE(Paper(image, 50, 80));
    EXPECT_TRUE(Paper(image, 25, 60));
}

TEST(MetafilePaths, FiguresOfOnePathAreNeverJoined)
{
    const auto xy = [](int x, int y) { return (x & 0xFFFF) | (y << 16); };
    TEmfWriter emf;
    emf.Add(kSetPolyFillMode, {2}).Add(kSelectObject, {kBlackBrush}).Add(kBeginPath, {});
    // Two squares of one PolyDraw, the second after a move: no edge runs between them.
    emf.Add(92, {0, 0, 0, 0, 8, xy(5, 5), xy(25, 5), xy(25, 25), xy(5, 25), xy(75, 75), xy(95, 75), xy(95, 95),
                 xy(75, 95), 6 | (2 << 8) | (2 << 16) | (3 << 24), 6 | (2 << 8) | (2 << 16) | (3 << 24)});
    // A closed figure, then lines with no move: they start a figure of their own where the last one ended.
    emf.Add(kMoveTo, {5, 75}).Add(kLineTo, {25, 75}).Add(kLineTo, {25, 95}).Add(kCloseFigure, {});
    emf.Add(kLineTo, {45, 95}).Add(kLineTo, {45, 75}).Add(kEndPath, {}).Add(kFillPath, {0, 0, 0, 0});
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 15, 10));
    EXPECT_TRUE(Ink(image, 85, 90));
    EXPECT_TRUE(Paper(image, 50, 50));  // between the squares
    EXPECT_TRUE(Ink(image, 20, 85));
    EXPECT_TRUE(Ink(image, 40, 88));
    EXPECT_TRUE(Paper(image, 30, 78));  // what a line back to the first figure's start would have filled
    EXPECT_TRUE(Paper(image, 2, 8));    // what a line from the start position would have filled
}

TEST(MetafilePaths, WidenedPathFillsThePensOutline)
{
    TEmfWriter emf;
    emf.Add(95, {1, 0, 0, 0, 0, 0x10000, 10, 0, 0, 0, 0}).Add(kSelectObject, {1});  // geometric pen, 10 wide
    emf.Add(kSelectObject, {kBlackBrush}).Add(kBeginPath, {}).Add(kMoveTo, {10, 50}).Add(kLineTo, {90, 50});
    emf.Add(kEndPath, {}).Add(66, {}).Add(kSelectObject, {kNullPen}).Add(kFillPath, {0, 0, 0, 0});
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 50, 53));
    EXPECT_TRUE(Paper(image, 50, 60));
}

// EMF+ records, carried in one comment of an enhanced metafile that draws nothing else.
class TEmfPlusWriter {
public:
    TEmfPlusWriter() { Add(0x4001, 0, {std::int32_t(0xDBC01002u), 0, 96, 96}); }

    TEmfPlusWriter& Add(int type, int flags, std::initializer_list<std::int32_t> words)
    {
        Put16(FPlus, type);
        Put16(FPlus, flags);
        Put32(FPlus, std::int32_t(12 + 4 * words.size()));
        Put32(FPlus, std::int32_t(4 * words.size()));
        for (std::int32_t w : words)
            Put32(FPlus, w);
        return *this;
    }

    void WriteInto(TEmfWriter& emf) const
    {
        QByteArray comment;
        Put32(comment, std::int32_t(4 + FPlus.size()));
        Put32(comment, 0x2B464D45);
        comment.append(FPlus);
        emf.AddBytes(70, comment);
    }

private:
    QByteArray FPlus;
};

// A file written with EMF+ records only (a comment of them) is drawn from those.
TEST(MetafilePlus, RecordsOfAnEmfPlusOnlyFileDraw)
{
    const auto xy = [](int x, int y) { return (x & 0xFFFF) | (y << 16); };
    TEmfPlusWriter plus;
    plus.Add(0x400A, 0x8000, {std::int32_t(0xFFFF0000u), 1, FloatBits(10), FloatBits(10), FloatBits(20), FloatBits(20)});
    // Path object 1: a square of 16-bit points, then filled blue.
    plus.Add(0x4008, (3 << 8) | 1, {std::int32_t(0xDBC01002u), 4, 0x4000, xy(60, 60), xy(90, 60), xy(90, 90),
                                    xy(60, 90), std::int32_t(0x81010100u)});
    plus.Add(0x4014, 0x8000 | 1, {std::int32_t(0xFF0000FFu)});
    plus.Add(0x4002, 0, {});
    TEmfWriter emf;
    plus.WriteInto(emf);
    const QImage image = Play(emf);
    EXPECT_TRUE(Ink(image, 20, 20, Qt::red));
    EXPECT_TRUE(Ink(image, 75, 75, Qt::blue));
    EXPECT_TRUE(Paper(image, 50, 50));
}

TEST(MetafileHostile, LyingCountsAreSkippedAndLaterRecordsStillDraw)
{
    TEmfWriter emf;
    emf.Add(kSelectObject, {kBlackBrush});
    // A polygon claiming 2^28 points with three in the record.
    emf.Add(kPolygon, {0, 0, 10, 10, 1 << 28, 0, 0, 50, 0, 50, 50});
    emf.Add(kSelectObject, {123456}).Add(kRestoreDc, {-100000}).Add(kRestoreDc, {0});
    emf.Add(200, {1, 2, 3}).Add(123, {});  // record types nobody defined
    emf.Rect(60, 60, 90, 90);
    const QImage image = Play(emf);
    EXPECT_TRUE(Paper(image, 30, 10));
    EXPECT_TRUE(Ink(image, 75, 75));
}

// A picture whose records all draw nothing would print a blank page as if it were right; only a file with no
// records between its header and its end is the empty drawing it says it is.
TEST(MetafileHostile, RecordsThatDrawNothingAreNoPicture)
{
    TEmfWriter emf;
    emf.Add(200, {}).Add(250, {7, 7}).Add(0x7FFFFFFF, {});
    const TResult unknown = Load("unknown.emf", emf.Bytes());
    EXPECT_FALSE(unknown.Ok);
    EXPECT_EQ(unknown.Error, "Unknown format");
    TEmfWriter plusOnly;  // a comment of EMF+ records (a header) and nothing a plain player draws
    plusOnly.Add(70, {28, 0x2B464D45, 0x00014001, 28, 16, std::int32_t(0xDBC01002), 1, 96, 96});
    EXPECT_EQ(Load("plus.emf", plusOnly.Bytes()).Error, "Unknown format");

    QByteArray empty = TEmfWriter().Bytes();
    empty.remove(108, 12);  // the writer's own pen selection
    qToLittleEndian<std::int32_t>(std::int32_t(empty.size()), empty.data() + 48);
    const TResult blank = Load("empty.emf", empty);
    ASSERT_TRUE(blank.Ok) << blank.Error.toStdString();
    EXPECT_TRUE(Paper(blank.Image, 50, 50));
}

TEST(MetafileHostile, RecordLengthPastTheFileEndsPlayback)
{
    TEmfWriter emf;
    emf.Add(kSelectObject, {kBlackBrush}).Rect(0, 0, 20, 20);
    QByteArray bytes = emf.Bytes();
    QByteArray tail;
    Put32(tail, kRectangle);
    Put32(tail, 0x7FFFFFF0);
    bytes.insert(bytes.size() - 20, tail);
    const TResult result = Load("long.emf", bytes);
    ASSERT_TRUE(result.Ok);
    EXPECT_TRUE(Ink(result.Image, 10, 10));
}

TEST(MetafileHostile, HugeNaturalSizeIsOutOfMemory)
{
    const TResult emf = Load("huge.emf", TEmfWriter(2000000000).Bytes());
    EXPECT_FALSE(emf.Ok);
    EXPECT_EQ(emf.Error, "Out of memory");

    // A placeable WMF whose 32767 units are each an inch.
    QByteArray wmf;
    const std::int32_t placeable[] = {std::int32_t(0xCDD7), std::int32_t(0x9AC6), 0, 0, 0, 32767, 32767, 1, 0, 0};
    std::uint16_t checksum = 0;
    for (std::int32_t word : placeable) {
        Put16(wmf, word);
        checksum ^= std::uint16_t(word);
    }
    Put16(wmf, checksum);
    for (std::int32_t word : {1, 9, 0x300, 12, 0, 0, 3, 0, 0})
        Put16(wmf, word);
    for (std::int32_t word : {3, 0, 0})
        Put16(wmf, word);
    const TResult big = Load("huge.wmf", wmf);
    EXPECT_FALSE(big.Ok);
    EXPECT_EQ(big.Error, "Out of memory");
}

// A Windows metafile without the placeable header: its window extent is its size.
class TWmfWriter {
public:
    explicit TWmfWriter(std::uint16_t objects = 4)
    {
        for (std::int32_t word : {1, 9, 0x300, 0, 0, std::int32_t(objects), 0, 0, 0})
            Put16(FBytes, word);
    }

    TWmfWriter& Add(std::int32_t function, std::initializer_list<std::int32_t> words)
    {
        Put32(FBytes, std::int32_t(3 + words.size()));
        Put16(FBytes, function);
        for (std::int32_t v : words)
            Put16(FBytes, v);
        return *this;
    }

    // Brush style 0 with a colour 0x00BBGGRR split into words.
    TWmfWriter& Brush(std::int32_t color) { return Add(0x02FC, {0, color & 0xFFFF, color >> 16, 0}); }

    QByteArray Bytes() const
    {
        QByteArray out = FBytes;
        Put32(out, 3);
        Put16(out, 0);
        return out;
    }

private:
    QByteArray FBytes;
};

TEST(WindowsMetafile, WindowExtentSizesAndMapsAPlainFile)
{
    TWmfWriter wmf;
    wmf.Add(0x020B, {0, 0}).Add(0x020C, {100, 200});      // window origin 0,0; extent 200 x 100
    wmf.Add(0x02FA, {5, 0, 0, 0, 0});                      // null pen in slot 0
    wmf.Add(0x012D, {0}).Brush(0).Add(0x012D, {1});        // black brush in slot 1
    wmf.Add(0x041B, {50, 100, 0, 0});                      // rectangle 0,0 .. 100,50
    const TResult result = Load("plain.wmf", wmf.Bytes());
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    EXPECT_EQ(result.Image.size(), QSize(200, 100));
    EXPECT_TRUE(Ink(result.Image, 90, 40));
    EXPECT_TRUE(Paper(result.Image, 110, 40));
    EXPECT_TRUE(Paper(result.Image, 90, 60));
}

TEST(WindowsMetafile, NewObjectsTakeTheLowestFreeSlot)
{
    TWmfWriter wmf;
    wmf.Add(0x020C, {100, 100}).Add(0x02FA, {5, 0, 0, 0, 0}).Add(0x012D, {0});
    wmf.Brush(kRed).Brush(kBlue).Add(0x01F0, {1});        // slots 1 and 2; 1 freed
    wmf.Brush(0x00FF00).Add(0x012D, {1});                  // green goes to slot 1
    wmf.Add(0x041B, {20, 20, 0, 0});
    wmf.Add(0x012D, {2}).Add(0x041B, {20, 40, 0, 20});
    wmf.Add(0x012D, {7}).Add(0x041B, {20, 60, 0, 40});     // no slot 7: still blue
    const TResult result = Load("slots.wmf", wmf.Bytes());
    ASSERT_TRUE(result.Ok);
    EXPECT_TRUE(Ink(result.Image, 10, 10, Qt::green));
    EXPECT_TRUE(Ink(result.Image, 30, 10, Qt::blue));
    EXPECT_TRUE(Ink(result.Image, 50, 10, Qt::blue));
}

TEST(WindowsMetafile, WithoutWindowExtentTheSizeIsOnePixel)
{
    const TResult result = Load("empty.wmf", TWmfWriter().Bytes());
    ASSERT_TRUE(result.Ok);
    EXPECT_EQ(result.Image.size(), QSize(1, 1));
}

TEST(WindowsMetafile, PaletteBitmapWithoutColourTableTakesTheSelectedPalette)
{
    TWmfWriter wmf;
    wmf.Add(0x020C, {100, 100});
    wmf.Add(0x00F7, {0x300, 2, 0x00FF, 0, 0xFF00, 0});  // a palette of red and green in slot 0, selected
    wmf.Add(0x0234, {0});
    // DIBSTRETCHBLT of a 2 x 1 8-bit bitmap, indices 0 and 1, whose bits follow its header at once.
    wmf.Add(0x0B41, {0x0020, 0x00CC, 1, 2, 0, 0, 50, 100, 0, 0,
                     40, 0, 2, 0, 1, 0, 1, 8, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0100, 0});
    const TResult result = Load("palette.wmf", wmf.Bytes());
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    EXPECT_TRUE(Ink(result.Image, 25, 25, Qt::red));
    EXPECT_TRUE(Ink(result.Image, 75, 25, Qt::green));
    EXPECT_TRUE(Paper(result.Image, 50, 75));
}

TEST(WindowsMetafile, CarriedInAnEnhancedMetafileCommentItDraws)
{
    TWmfWriter wmf;
    wmf.Add(0x020C, {100, 100}).Add(0x02FA, {5, 0, 0, 0, 0}).Add(0x012D, {0});
    wmf.Brush(0).Add(0x012D, {1}).Add(0x041B, {50, 50, 0, 0});  // black rectangle 0,0 .. 50,50
    const QByteArray inner = wmf.Bytes();
    // The public comment of a converted Windows metafile: identifier, kind, version, checksum, flags, size.
    QByteArray comment;
    for (std::int32_t v : {std::int32_t(24 + inner.size()), 0x43494447, std::int32_t(0x80000001u), 0x0001, 0, 0,
                           std::int32_t(inner.size())})
        Put32(comment, v);
    comment.append(inner);
    TEmfWriter emf;
    emf.AddBytes(70, comment);
    const TResult result = Load("carrier.emf", emf.Bytes());
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    EXPECT_TRUE(Ink(result.Image, 25, 25));
    EXPECT_TRUE(Paper(result.Image, 75, 75));
}

TEST(WindowsMetafile, OldMonochromePatternBrushDrawsItsDither)
{
    TWmfWriter wmf;
    wmf.Add(0x020C, {100, 100}).Add(0x02FA, {5, 0, 0, 0, 0}).Add(0x012D, {0});
    // An 8 x 8 checker: set bits take the background colour (white), clear ones the text colour (black).
    wmf.Add(0x01F9, {0, 8, 8, 2, 1 | (1 << 8), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                     0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55});
    wmf.Add(0x012D, {1}).Add(0x041B, {100, 100, 0, 0});
    const TResult result = Load("pattern.wmf", wmf.Bytes());
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    const int dark = DarkPixels(result.Image, QRect(20, 20, 16, 16));
    EXPECT_GT(dark, 96);
    EXPECT_LT(dark, 160);
}

// ---- files built to stall or to exhaust memory -----------------------------------------------------------------

TPlayback PlayDirect(const QByteArray& bytes, QSize size, TPlayback (*play)(const QByteArray&, QImage&))
{
    QImage target(size, QImage::Format_RGB32);
    target.fill(Qt::white);
    return play(bytes, target);
}

TEST(HostileMetafile, OneTextRecordOfHugeOverlappingGlyphsLaysOutFew)
{
    TEmfWriter emf;
    emf.Add(kCreateFont, {1, -2000, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    emf.Add(kSelectObject, {1});
    // 8192 characters at zero advance: every glyph on the same spot.
    QByteArray text;
    constexpr std::int32_t kChars = 8192, kStringAt = 76, kDxAt = kStringAt + 2 * kChars;
    for (std::int32_t word : {0, 0, 0, 0, 1, 0, 0, 10, 90, kChars, kStringAt, 0x100, 0, 0, 0, 0, kDxAt})
        Put32(text, word);
    for (int i = 0; i < kChars; ++i)
        Put16(text, 'W');
    for (int i = 0; i < kChars; ++i)
        Put32(text, 0);
    QByteArray bytes = emf.Bytes();
    QByteArray record;
    Put32(record, kExtTextOutW);
    Put32(record, 8 + std::int32_t(text.size()));
    bytes.insert(bytes.size() - 20, record + text);
    qToLittleEndian<std::int32_t>(std::int32_t(bytes.size()), bytes.data() + 48);

    const TPlayback played = PlayDirect(bytes, {100, 100}, PlayEmf);
    EXPECT_GE(played.Glyphs, 1);
    EXPECT_LE(played.Glyphs, 64);  // a 2000-pixel em allows only a handful
}

TEST(HostileMetafile, HundredsOfScatteredClipRectanglesKeepTheClipSmall)
{
    TEmfWriter emf(26460);  // 1000 x 1000 pixels
    emf.Add(kSelectObject, {kBlackBrush});
    for (int i = 0; i < 300; ++i) {  // unbounded, the clip would hold 1500 elements
        const int x = i * 37 % 990, y = i * 53 % 990;
        emf.Add(kExcludeClip, {x, y, x + 3, y + 3});
    }
    emf.Rect(0, 0, 1000, 1000);
    const TPlayback played = PlayDirect(emf.Bytes(), {1000, 1000}, PlayEmf);
    EXPECT_GT(played.LargestClip, 0);
    EXPECT_LE(played.LargestClip, TMetafileCanvas::kMaxClipElements);

    TWmfWriter wmf;
    wmf.Add(0x020C, {1000, 1000});
    for (int i = 0; i < 300; ++i) {
        const int x = i * 37 % 990, y = i * 53 % 990;
        wmf.Add(0x0415, {y + 3, x + 3, y, x});  // EXCLUDECLIPRECT: bottom, right, top, left
    }
    EXPECT_LE(PlayDirect(wmf.Bytes(), {1000, 1000}, PlayWmf).LargestClip, TMetafileCanvas::kMaxClipElements);
}

TEST(HostileMetafile, PlaybackStopsAtItsWorkBudgetWithWhatItDrew)
{
    TWmfWriter wmf;
    wmf.Add(0x020C, {1000, 1000}).Add(0x02FA, {5, 0, 0, 0, 0}).Add(0x012D, {0});
    wmf.Brush(0).Add(0x012D, {1});
    for (int i = 0; i < 2000; ++i)
        wmf.Add(0x041B, {1000, 1000, 0, 0});  // the whole picture, again and again
    QImage target(1000, 1000, QImage::Format_RGB32);
    target.fill(Qt::white);
    const TPlayback played = PlayWmf(wmf.Bytes(), target);
    EXPECT_TRUE(played.Stopped);
    EXPECT_LE(played.Work, played.Budget + 1000 * 1000 + TMetafileCanvas::kRecordWork);
    EXPECT_EQ(target.pixelColor(500, 500), QColor(Qt::black));  // what was drawn stays
}

// EMF+ records spend the same budget: whole-picture fills, and a line under a pen wider than the picture.
TEST(HostileMetafile, EmfPlusPlaybackStopsAtTheWorkBudget)
{
    const std::int32_t side = FloatBits(1000), black = std::int32_t(0xFF000000u);
    TEmfPlusWriter fills;
    for (int i = 0; i < 2000; ++i)
        fills.Add(0x400A, 0x8000, {black, 1, 0, 0, side, side});
    TEmfPlusWriter strokes;
    strokes.Add(0x4008, 2 << 8, {std::int32_t(0xDBC01002u), 0, 0, 0, FloatBits(4000), std::int32_t(0xDBC01002u), 0,
                                 black});
    for (int i = 0; i < 2000; ++i)
        strokes.Add(0x400D, 0, {2, 0, FloatBits(500), side, FloatBits(500)});
    for (const TEmfPlusWriter* plus : {&fills, &strokes}) {
        TEmfWriter emf(26460);  // 1000 x 1000 pixels
        plus->WriteInto(emf);
        QImage target(1000, 1000, QImage::Format_RGB32);
        target.fill(Qt::white);
        const TPlayback played = PlayEmf(emf.Bytes(), target);
        EXPECT_TRUE(played.Stopped);
        EXPECT_LE(played.Work, played.Budget + 1000 * 1000 + TMetafileCanvas::kRecordWork);
        EXPECT_EQ(target.pixelColor(500, 500), QColor(Qt::black));  // what was drawn stays
    }
}

TEST(HostileMetafile, AHugeDeclaredFrameIsRefusedBeforeAnyPixelIsAllocated)
{
    const TResult result = Load("huge.emf", TEmfWriter(476250).Bytes());  // 18000 x 18000 pixels
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error, "Out of memory");
}

}  // namespace
