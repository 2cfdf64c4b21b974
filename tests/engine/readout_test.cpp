#include "engine/readout.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// A 3000 x 2000 picture on a whole A4 sheet at 600 pixels per inch.
TReadoutInputs A4(std::uint8_t scale)
{
    TReadoutInputs inputs;
    inputs.Info.Scale = scale;
    inputs.Info.Position = kPositionCustom;
    inputs.Info.X = 100000;  // far off the page: the place must not matter
    inputs.Info.PageWidth = 4961;
    inputs.Info.PageHeight = 7016;
    inputs.Info.PictureWidth = 3000;
    inputs.Info.PictureHeight = 2000;
    inputs.Device.DpiX = inputs.Device.DpiY = 600;
    inputs.Device.ScreenPPI = 96;
    return inputs;
}

}  // namespace

TEST(Readout, AsIsPrintsOnePicturePixelPerPrinterPixel)
{
    const TPrintReadout readout = ComputeReadout(A4(kScaleAsIs));
    ASSERT_TRUE(readout.Valid);
    EXPECT_EQ(ReadoutText(readout), "127 \u00d7 85 mm \u00b7 600 ppi");
    EXPECT_EQ(VerboseReadoutText(readout), "printed size 127 x 85 mm at 600 ppi");
    EXPECT_FALSE(readout.Soft);
    EXPECT_FALSE(readout.Reduced);
    EXPECT_TRUE(ReadoutHint(readout).isEmpty());
}

TEST(Readout, FitToPageTakesThePageAndTheLowerResolution)
{
    const TPrintReadout readout = ComputeReadout(A4(kScaleFitToPage));
    EXPECT_EQ(ReadoutSizeText(readout), "210 \u00d7 297 mm");
    EXPECT_EQ(readout.PPI, 171);  // 2000 pixels over 297 mm; across, 3000 over 210 mm would be 363
    EXPECT_FALSE(readout.Reduced);

    // "Actual Size" prints at the screen's resolution, whatever the printer's.
    EXPECT_EQ(ComputeReadout(A4(kScaleActualSize)).PPI, 96);
}

TEST(Readout, ThePageBitmapLimitsWhatReachesThePaper)
{
    // The low quality's bitmap: a quarter of a 1880-pixel-wide page bitmap, about 57 pixels per inch.
    TReadoutInputs inputs = A4(kScaleAsIs);
    inputs.OutputWidth = 470;
    inputs.OutputHeight = 665;
    const TPrintReadout readout = ComputeReadout(inputs);
    EXPECT_EQ(readout.PicturePPI, 600);
    EXPECT_EQ(readout.OutputPPI, 57);
    EXPECT_EQ(readout.PPI, 57);
    EXPECT_TRUE(readout.Soft);
    EXPECT_TRUE(readout.Reduced);
    EXPECT_EQ(ReadoutHint(readout).count(u'\n'), 1);  // both reasons
    EXPECT_TRUE(ReadoutHint(readout).contains("600")) << qPrintable(ReadoutHint(readout));
}

TEST(Readout, UsPaperMeasuresInInches)
{
    TReadoutInputs inputs = A4(kScaleFitToPage);
    inputs.Info.PageWidth = 2550;  // Letter at 300 pixels per inch
    inputs.Info.PageHeight = 3300;
    inputs.Device.DpiX = inputs.Device.DpiY = 300;
    inputs.Inches = true;
    const TPrintReadout readout = ComputeReadout(inputs);
    EXPECT_EQ(ReadoutText(readout), "8.50 \u00d7 11.00 in \u00b7 182 ppi");
    EXPECT_EQ(VerboseReadoutText(readout), "printed size 8.50 x 11.00 in at 182 ppi");
}

TEST(Readout, NothingToMeasureGivesNoReadout)
{
    TReadoutInputs none = A4(kScaleAsIs);
    none.Info.PictureWidth = 0;
    TReadoutInputs negative = A4(kScaleCustom);
    negative.Info.ZoomX = -5000;  // a size below zero
    TReadoutInputs vast = A4(kScaleCustom);
    vast.Info.ZoomX = std::numeric_limits<std::int32_t>::max();  // beyond any integer size
    for (const TReadoutInputs& inputs : {none, negative, vast}) {
        const TPrintReadout readout = ComputeReadout(inputs);
        EXPECT_FALSE(readout.Valid);
        EXPECT_TRUE(ReadoutText(readout).isEmpty());
        EXPECT_TRUE(VerboseReadoutText(readout).isEmpty());
    }
}
