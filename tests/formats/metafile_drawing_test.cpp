// How metafile bitmaps, paths, text and EMF+ records land on the picture: each case a small metafile whose
// records say exactly where the ink must go.
#include "metafile_test_util.h"

#include <gtest/gtest.h>

namespace {

using namespace metafile_test;

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

}  // namespace
