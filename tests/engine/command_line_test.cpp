// The command line's parser: what a script or a desktop may pass, read without any printer or window.
#include "engine/command_line.h"

#include <QPoint>
#include <QStringList>

#include <gtest/gtest.h>

#include <utility>

TEST(CommandLine, OptionsStandAnywhereAfterThePictureAndDoNotCount)
{
    const TCommandLine line =
        ParseCommandLine({"photo.jpg", "/scale=asis", "Holiday", "/Position=TopLeft", "/AutoPrint", "/COPIES=3"});
    EXPECT_EQ(line.Arguments, (QStringList{"photo.jpg", "Holiday", "/AutoPrint"}));
    EXPECT_TRUE(line.AutoPrintSwitch());
    EXPECT_EQ(line.Scale, 3);
    EXPECT_EQ(line.Position, 0);
    EXPECT_EQ(line.Copies, 3);
    EXPECT_TRUE(line.Error.isEmpty());
    // The first argument is always the picture, whatever it looks like; empty arguments are skipped.
    const TCommandLine odd = ParseCommandLine({"/odd=name.jpg", "", "/autoprint", "more"});
    EXPECT_EQ(odd.Arguments, (QStringList{"/odd=name.jpg", "/autoprint", "more"}));
    EXPECT_TRUE(odd.AutoPrintSwitch());
    EXPECT_TRUE(odd.Error.isEmpty());
    // The switch counts as argument 2 or 3 only.
    EXPECT_FALSE(ParseCommandLine({"a.jpg", "b", "c", "/AUTOPRINT"}).AutoPrintSwitch());
    // /VERBOSE is no title either, in any letter case.
    const TCommandLine verbose = ParseCommandLine({"a.jpg", "/Verbose", "/AUTOPRINT"});
    EXPECT_TRUE(verbose.Verbose);
    EXPECT_TRUE(verbose.AutoPrintSwitch());
    // Only the window's place may also stand first, without a picture (New Instance).
    const TCommandLine placed = ParseCommandLine({"/window=30,-40"});
    EXPECT_TRUE(placed.Arguments.isEmpty());
    EXPECT_EQ(placed.Window, QPoint(30, -40));
    EXPECT_FALSE(placed.HasOverrides());
    EXPECT_EQ(ParseCommandLine({"a.jpg", "/WINDOW=5,6"}).Window, QPoint(5, 6));
    for (const char* bad : {"/WINDOW=5", "/WINDOW=5,6,7", "/WINDOW=x,6", "/WINDOW= 5,6"})
        EXPECT_FALSE(ParseCommandLine({bad}).Error.isEmpty()) << bad;
}

TEST(CommandLine, SettingsReadAsCodesOrEnglishCaptions)
{
    const TCommandLine line = ParseCommandLine({"p", "/SCALE=2", "/POSITION=bottomright", "/ORIENTATION=Landscape",
                                                "/QUALITY=medium", "/X=-40", "/Y=7", "/ZOOMX=100", "/ZOOMY=-1600",
                                                "/ZOOMXY=5", "/PRINTER=office", "/PRINTTO=out.PDF"});
    ASSERT_TRUE(line.Error.isEmpty()) << line.Error.toStdString();
    EXPECT_EQ(line.Scale, 2);
    EXPECT_EQ(line.Position, 3);
    EXPECT_EQ(line.Orientation, 1);
    EXPECT_EQ(line.Quality, 1);
    EXPECT_EQ(line.X, -40);
    EXPECT_EQ(line.Y, 7);
    EXPECT_EQ(line.ZoomX, 100);
    EXPECT_EQ(line.ZoomY, -1600);
    EXPECT_EQ(line.ZoomXY, 5);
    EXPECT_EQ(line.Printer, "office");
    EXPECT_EQ(line.PrintTo, "out.PDF");
    EXPECT_TRUE(line.PrintRequested());
    EXPECT_TRUE(line.HasOverrides());
    EXPECT_EQ(ParseCommandLine({"p", "/SCALE=Scale to Page"}).Error.isEmpty(), false);
    EXPECT_EQ(ParseCommandLine({"p", "/SCALE=ScaleToPage"}).Scale, 1);
    EXPECT_EQ(ParseCommandLine({"p", "/SCALE=CUSTOMFIXED"}).Scale, 5);
    EXPECT_TRUE(ParseCommandLine({"p", "/SCALE=picture"}).ScaleToPictureResolution);
    EXPECT_TRUE(ParseCommandLine({"p", "/SCALE=picture"}).HasOverrides());
}

TEST(CommandLine, UnknownOptionsAndUnreadableValuesAreErrors)
{
    for (const QStringList& args :
         {QStringList{"p", "/COLOR=red"}, QStringList{"p", "/SCALE=6"}, QStringList{"p", "/SCALE=Huge"},
          QStringList{"p", "/QUALITY=-1"}, QStringList{"p", "/COPIES=two"}, QStringList{"p", "/X=1.5"},
          QStringList{"p", "/ZOOMX="}, QStringList{"p", "/PRINTER="}, QStringList{"p", "/PRINTTO=page.xyz"},
          QStringList{"p", "/ORIENTATION=2"}})
        EXPECT_FALSE(ParseCommandLine(args).Error.isEmpty()) << args.join(' ').toStdString();
}

TEST(CommandLine, ValuesOutsideTheirRangeNameTheOptionAndTheRange)
{
    for (const auto& [argument, range] :
         {std::pair{"/COPIES=100000", "1 to 99"}, std::pair{"/COPIES=0", "1 to 99"},
          std::pair{"/ZOOMX=-999999", "-3200 to 3200"}, std::pair{"/ZOOMXY=2147483647", "-3200 to 3200"},
          std::pair{"/X=99999999999999999999", "-1000000 to 1000000"}, std::pair{"/PRINTTO=page.ico", "PDF, PNG"},
          std::pair{"/PRINTTO=page.cur", "TIFF or PPM"}, std::pair{"/SCALE=7", "0 to 5 or ActualSize, ScaleToPage"}}) {
        const QString error = ParseCommandLine({"p", argument}).Error;
        const QString option = QString(argument).section('=', 0, 0);
        EXPECT_TRUE(error.contains(option) && error.contains(range)) << error.toStdString();
    }
    for (const char* argument : {"/COPIES=99", "/ZOOMX=-3200", "/ZOOMY=3200", "/PRINTTO=page.tif",
                                 "/PRINTTO=page.ppm", "/PRINTTO=page.jpeg"})
        EXPECT_TRUE(ParseCommandLine({"p", argument}).Error.isEmpty()) << argument;
}

TEST(CommandLine, HelpAndVersionAsFirstArgument)
{
    EXPECT_TRUE(ParseCommandLine({"--help"}).Help);
    EXPECT_TRUE(ParseCommandLine({"-h"}).Help);
    EXPECT_TRUE(ParseCommandLine({"/?"}).Help);
    EXPECT_TRUE(ParseCommandLine({"--version"}).Version);
    EXPECT_FALSE(ParseCommandLine({"photo.jpg", "--help"}).Help);
}
