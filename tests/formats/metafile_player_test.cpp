// Device-context behaviour a metafile relies on (mapping, saved states and clipping, objects), each case a small
// metafile whose records say exactly where the ink must go.
#include "metafile_test_util.h"

#include <gtest/gtest.h>

namespace {

using namespace metafile_test;

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

}  // namespace
