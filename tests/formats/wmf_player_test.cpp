// Windows metafiles: sized by their window extent, objects in the lowest free slot, palettes and old brushes,
// and one carried inside an enhanced metafile.
#include "metafile_test_util.h"

#include <gtest/gtest.h>

namespace {

using namespace metafile_test;

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

}  // namespace
