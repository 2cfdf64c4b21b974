#include "formats/text_picture.h"
#include "shell/button_glyphs.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

TEST(ButtonGlyphs, EachDecodesSmallAndNotBlank)
{
    for (int i = 1; i <= kButtonGlyphCount; ++i) {
        const QImage glyph = TextPictureToBitmap(ButtonGlyph(i));
        ASSERT_FALSE(glyph.isNull()) << i;
        EXPECT_LE(glyph.width(), 25) << i;
        EXPECT_LE(glyph.height(), 25) << i;
        // Something is drawn on the face: a colour besides the face, on a good part of the glyph.
        const QRgb face = glyph.pixel(0, glyph.height() - 1);
        QSet<QRgb> colours;
        int drawn = 0;
        for (int y = 0; y < glyph.height(); ++y)
            for (int x = 0; x < glyph.width(); ++x) {
                colours.insert(glyph.pixel(x, y));
                drawn += glyph.pixel(x, y) != face;
            }
        EXPECT_GE(colours.size(), 2) << i;
        EXPECT_GE(drawn, glyph.width() * glyph.height() / 5) << i;
    }
}

TEST(ButtonGlyphs, OnlyElevenExist)
{
    EXPECT_TRUE(ButtonGlyph(0).isEmpty());
    EXPECT_TRUE(ButtonGlyph(kButtonGlyphCount + 1).isEmpty());
    EXPECT_NE(ButtonGlyph(1), ButtonGlyph(2));
}

}  // namespace
