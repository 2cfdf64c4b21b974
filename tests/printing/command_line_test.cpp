// The command line: the built program run as a script would run it.
#include "engine/ui/pictavo.h"
#include "printing/printing_env.h"
#include "testlib/test_env.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString Executable()
{
    return qEnvironmentVariable("PICTAVO_EXECUTABLE");
}

// A 600 x 300 red picture with a black first column, as a BMP file.
QString Picture(const QString& folder)
{
    QImage image(600, 300, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString name = folder + "/photo.bmp";
    image.save(name);
    return name;
}

// The program run headless, with its own home, so its settings file is its own.
struct TRun {
    QString Home = NewTestFolder();
    QString Folder = NewTestFolder();

    TProcessResult operator()(const QStringList& args) const
    {
        return RunProgram(Executable(), args,
                          {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "HOME=" + Home,
                           "XDG_DATA_HOME=" + Home + "/.local/share", "XDG_CONFIG_HOME=" + Home + "/.config"});
    }

    QStringList SettingsFiles() const
    {
        QStringList found;
        QDirIterator it(Home, {"Pictavo.INI"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        return found;
    }
};

}  // namespace

TEST(CommandLineProgram, HelpVersionAndErrorsBeforeAnyWindow)
{
    TRun run;
    for (const QString help : {"--help", "-h", "/?"}) {
        const TProcessResult result = run({help});
        EXPECT_EQ(result.Status, 0) << help.toStdString();
        EXPECT_TRUE(result.Out.contains("/PRINTTO=")) << result.Out.toStdString();
    }
    const TProcessResult version = run({"--version"});
    EXPECT_EQ(version.Status, 0);
    EXPECT_EQ(version.Out.trimmed(), "Pictavo " PICTAVO_VERSION);

    const QString page = run.Folder + "/page.png";
    const TProcessResult unknown = run({Picture(run.Folder), "/PRINTTO=" + page, "/COLOUR=red"});
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_TRUE(unknown.Err.contains("/COLOUR")) << unknown.Err.toStdString();
    const TProcessResult unreadable = run({Picture(run.Folder), "/PRINTTO=" + page, "/SCALE=Huge"});
    EXPECT_EQ(unreadable.Status, 2);
    EXPECT_FALSE(QFileInfo::exists(page));
    EXPECT_TRUE(run.SettingsFiles().isEmpty());
}

// Without a display the window cannot open: one line says so and how to print instead, and no core is dumped.
TEST(CommandLineProgram, WithoutADisplayOneLineSaysHowToPrintHeadless)
{
    const TRun run;
    const QStringList unreachable{"DISPLAY=:1999", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "HOME=" + run.Home};
    for (const TProcessResult& result : {run({}), run({Picture(run.Folder)}),
                                         RunProgram(Executable(), {}, unreachable)}) {
        EXPECT_EQ(result.Status, 1);
        const QString err = result.Err.trimmed();
        EXPECT_FALSE(err.contains('\n')) << err.toStdString();
        EXPECT_TRUE(err.contains("display") && err.contains("/AUTOPRINT") && err.contains("/PRINTTO"))
            << err.toStdString();
    }
}

TEST(CommandLineProgram, MissingPictureEndsWithStatusOneOnStandardError)
{
    TRun run;
    const QString page = run.Folder + "/page.png";
    const TProcessResult result = run({run.Folder + "/missing.jpg", "/PRINTTO=" + page});
    EXPECT_EQ(result.Status, 1);
    EXPECT_TRUE(result.Err.contains("File not found")) << result.Err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(page));
    EXPECT_TRUE(run.SettingsFiles().isEmpty());
}

TEST(CommandLineProgram, TargetsThatCannotHoldAFileAreRefusedAtOnce)
{
    TRun run;
    const QString pipe = run.Folder + "/page.png";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QDir(run.Folder).mkdir("folder.pdf");
    for (const auto& [target, reason] :
         {std::pair{pipe, QString("pipe")}, std::pair{run.Folder + "/folder.pdf", QString("folder")},
          std::pair{run.Folder + "/missing/page.pdf", QString("The folder does not exist")}}) {
        const TProcessResult result = run({Picture(run.Folder), "/PRINTTO=" + target});
        EXPECT_EQ(result.Status, 1) << target.toStdString();
        EXPECT_TRUE(result.Err.contains(target + ": ") && result.Err.contains(reason)) << result.Err.toStdString();
    }
    // A device has no page format's name, so it never gets as far as being opened.
    EXPECT_EQ(run({Picture(run.Folder), "/PRINTTO=/dev/full"}).Status, 2);
    const TProcessResult range = run({Picture(run.Folder), "/PRINTTO=" + run.Folder + "/p.png", "/COPIES=100000"});
    EXPECT_EQ(range.Status, 2);
    EXPECT_TRUE(range.Err.contains("/COPIES")) << range.Err.toStdString();
}

TEST(CommandLineProgram, QtsOwnOptionsAreArgumentsLikeAnyOther)
{
    TRun run;
    const QString page = run.Folder + "/page.png";
    // Read once: "-platform" is the picture here, not an option Qt takes away from the window's reading.
    const TProcessResult platform = run({"-platform", "offscreen", Picture(run.Folder), "/PRINTTO=" + page});
    EXPECT_EQ(platform.Status, 1);
    EXPECT_TRUE(platform.Err.contains("-platform: File not found")) << platform.Err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(page));

    const TProcessResult session = run({Picture(run.Folder), "-session", "/PRINTTO=" + page});
    EXPECT_EQ(session.Status, 0) << session.Err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(page));
}

TEST(CommandLineProgram, PrintToImageWritesThePageBitmapAndNoSettings)
{
    TRun run;
    const QString page = run.Folder + "/page.png";
    const TProcessResult result =
        run({Picture(run.Folder), "/PRINTTO=" + page, "/scale=AsIs", "/POSITION=TopLeft", "/QUALITY=High"});
    ASSERT_EQ(result.Status, 0) << result.Err.toStdString();
    const QImage bitmap(page);
    ASSERT_FALSE(bitmap.isNull());
    // A budget-sized bitmap in the page's proportions; the picture covers its top-left corner in proportion.
    if (NoPrinterRun()) {
        EXPECT_EQ(bitmap.size(), QSize(2000, 2500));
    }
    EXPECT_LE(std::int64_t(bitmap.width()) * bitmap.height() * 3, 15'000'000);
    EXPECT_EQ(bitmap.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(bitmap.pixelColor(bitmap.width() - 1, bitmap.height() - 1), QColor(Qt::white));
    EXPECT_TRUE(run.SettingsFiles().isEmpty());
}

TEST(CommandLineProgram, ExistingSettingsFileIsLeftAsItWas)
{
    TRun run;
    const QString folder = run.Home + "/.local/share/Wendrel Enterprises/Settings";
    QDir().mkpath(folder);
    const QString ini = folder + "/Pictavo.INI";
    {
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Settings]\r\nAutoPrint=1\r\nQuality=1\r\nCopies=4\r\n");
    }
    const QDateTime before = QFileInfo(ini).lastModified();
    QThread::msleep(20);
    // Auto Print from the settings file prints a picture named alone; /PRINTTO keeps the page out of the queue.
    const QString page = run.Folder + "/page.bmp";
    const TProcessResult result = run({Picture(run.Folder), "/PRINTTO=" + page, "/QUALITY=Low"});
    ASSERT_EQ(result.Status, 0) << result.Err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(page));
    EXPECT_EQ(QFileInfo(ini).lastModified(), before);
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "[Settings]\r\nAutoPrint=1\r\nQuality=1\r\nCopies=4\r\n");
}

TEST(CommandLineProgram, PrintToPdfFillsThePage)
{
    TRun run;
    const QString pdf = run.Folder + "/page.pdf";
    const TProcessResult result = run({Picture(run.Folder), "/PRINTTO=" + pdf, "/SCALE=FitToPage"});
    ASSERT_EQ(result.Status, 0) << result.Err.toStdString();
    EXPECT_EQ(PdfPageSize(pdf), "595 x 842");
    const QImage sheet = RasterisePdf(pdf, 72);
    ASSERT_FALSE(sheet.isNull());
    EXPECT_TRUE(Near(sheet.pixel(sheet.width() / 2, sheet.height() / 2), qRgb(255, 0, 0)));
    EXPECT_TRUE(Near(sheet.pixel(40, 40), qRgb(255, 0, 0)));
    EXPECT_TRUE(Near(sheet.pixel(sheet.width() - 40, sheet.height() - 40), qRgb(255, 0, 0)));
}

// The box of blue a rasterised page shows.
QRect BlueBox(const QString& pdf)
{
    const QImage sheet = RasterisePdf(pdf, 72);
    QRect box;
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x)
            if (Near(sheet.pixel(x, y), qRgb(0, 0, 255)))
                box |= QRect(x, y, 1, 1);
    return box;
}

// A phone's photo: stored sideways with its orientation and resolution in EXIF. /SCALE=Picture prints it upright
// at its own size: 150 x 75 pixels at 150 pixels per inch on the PDF page's 1200 are 800% of a picture standing
// 75 x 150.
TEST(CommandLineProgram, PhotoPrintsUprightAtItsOwnResolution)
{
    for (const char* tool : {"convert", "exiftool"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    TRun run;
    const QString photo = run.Folder + "/phone.jpeg";
    ASSERT_EQ(RunProgram("convert", {"-size", "150x75", "xc:blue", photo}, {}).Status, 0);
    ASSERT_EQ(RunProgram("exiftool", {"-q", "-overwrite_original", "-Orientation#=6", "-XResolution=150",
                                      "-YResolution=150", "-ResolutionUnit=inches", photo}, {}).Status, 0);
    QImage upright(75, 150, QImage::Format_RGB32);
    upright.fill(Qt::blue);
    const QString reference = run.Folder + "/upright.bmp";
    ASSERT_TRUE(upright.save(reference));

    const QString pdf = run.Folder + "/page.pdf";
    const QString expected = run.Folder + "/expected.pdf";
    TProcessResult result = run({photo, "/PRINTTO=" + pdf, "/SCALE=Picture", "/POSITION=TopLeft"});
    ASSERT_EQ(result.Status, 0) << result.Err.toStdString();
    result = run({reference, "/PRINTTO=" + expected, "/SCALE=CustomFixed", "/ZOOMXY=800", "/POSITION=TopLeft"});
    ASSERT_EQ(result.Status, 0) << result.Err.toStdString();
    const QRect printed = BlueBox(pdf);
    EXPECT_GT(printed.height(), printed.width() * 3 / 2);
    EXPECT_EQ(printed, BlueBox(expected));
}

TEST(CommandLineProgram, AutoPrintOnTheDefaultQueue)
{
    SKIP_WITHOUT_SCHEDULER();
    TRun run;
    const QStringList before = PrintedJobs();
    const TProcessResult result = run({Picture(run.Folder), "holiday", "/autoprint", "/QUALITY=High", "/COPIES=2",
                                       "/SCALE=AsIs", "/POSITION=TopLeft"});
    ASSERT_EQ(result.Status, 0) << result.Err.toStdString();
    TPrintedJob job;
    ASSERT_TRUE(WaitForNewJob(before, job));
    EXPECT_EQ(job.Args.value("printer"), "pictavo-pdf");
    EXPECT_EQ(job.Args.value("title"), "holiday - Pictavo [High, 2 copies]");
    EXPECT_EQ(job.Args.value("copies"), "2");
    EXPECT_TRUE(run.SettingsFiles().isEmpty());
    // As Is prints one picture pixel per printer pixel: 600 x 300 at the queue's resolution, from the printable
    // area's corner (a quarter inch in).
    EXPECT_EQ(PdfPageSize(job.Document), "595 x 842");
    const QImage sheet = RasterisePdf(job.Document, 72);
    ASSERT_FALSE(sheet.isNull());
    const double inches = 600.0 / 1200;  // Qt prints to CUPS at 1200 pixels per inch
    const int right = 18 + int(inches * 72);
    const int bottom = 18 + int(inches * 72 / 2);
    EXPECT_TRUE(Near(sheet.pixel(20, 20), qRgb(255, 0, 0)));
    EXPECT_TRUE(Near(sheet.pixel(right - 2, bottom - 2), qRgb(255, 0, 0)));
    EXPECT_TRUE(Near(sheet.pixel(right + 3, 20), qRgb(255, 255, 255)));
    EXPECT_TRUE(Near(sheet.pixel(20, bottom + 3), qRgb(255, 255, 255)));
    EXPECT_TRUE(Near(sheet.pixel(10, 10), qRgb(255, 255, 255)));
}

TEST(CommandLineProgram, NamedQueueInLandscape)
{
    SKIP_WITHOUT_SCHEDULER();
    TRun run;
    const QStringList before = PrintedJobs();
    const TProcessResult result = run({Picture(run.Folder), "/PRINTER=pictavo-second", "/AUTOPRINT",
                                       "/ORIENTATION=Landscape", "/SCALE=FitToPage"});
    ASSERT_EQ(result.Status, 0) << result.Err.toStdString();
    TPrintedJob job;
    ASSERT_TRUE(WaitForNewJob(before, job));
    EXPECT_EQ(job.Args.value("printer"), "pictavo-second");
    EXPECT_EQ(job.Args.value("title"), "photo.bmp - Pictavo [Low, 1 copy]");  // named after its file
    EXPECT_EQ(PdfPageSize(job.Document), "842 x 595");
    const QImage sheet = RasterisePdf(job.Document, 72);
    ASSERT_FALSE(sheet.isNull());
    EXPECT_TRUE(Near(sheet.pixel(30, 30), qRgb(255, 0, 0)));
    EXPECT_TRUE(Near(sheet.pixel(810, 565), qRgb(255, 0, 0)));
}

TEST(CommandLineProgram, AQueuePrintsOnThePaperItsOwnerChose)
{
    SKIP_WITHOUT_SCHEDULER();
    // Letter where the program's locale would take A4; the suite's other tests want A4 back.
    ASSERT_EQ(RunProgram("lpadmin", {"-p", "pictavo-second", "-o", "PageSize=Letter"}).Status, 0);
    struct A4Back {
        ~A4Back() { RunProgram("lpadmin", {"-p", "pictavo-second", "-o", "PageSize=A4"}); }
    } back;
    TRun run;
    const QStringList before = PrintedJobs();
    const TProcessResult result = run({Picture(run.Folder), "/PRINTER=pictavo-second", "/AUTOPRINT", "/VERBOSE"});
    ASSERT_EQ(result.Status, 0) << result.Err.toStdString();
    TPrintedJob job;
    ASSERT_TRUE(WaitForNewJob(before, job));
    EXPECT_EQ(PdfPageSize(job.Document), "612 x 792");
    EXPECT_TRUE(result.Err.contains(" in at ")) << result.Err.toStdString();  // US paper is measured in inches
}

// Where no scheduler answers there is no printer at all, rather than one queue missing.
TEST(CommandLineProgram, UnknownQueueFailsWithStatusOne)
{
    if (!NoPrinterRun())
        SKIP_WITHOUT_SCHEDULER();
    TRun run;
    const TProcessResult result = run({Picture(run.Folder), "/PRINTER=no-such-queue", "/AUTOPRINT"});
    EXPECT_EQ(result.Status, 1);
    const char* expected = NoPrinterRun() ? "Error: No printer installed" : "no-such-queue: No such printer";
    EXPECT_TRUE(result.Err.contains(expected)) << result.Err.toStdString();
}

TEST(NoPrinter, EngineFallsBackToTheDefaultPage)
{
    if (!NoPrinterRun())
        GTEST_SKIP() << "runs as test_printing_no_printer, where no scheduler answers";
    TPictavo engine;
    engine.Refresh();
    EXPECT_FALSE(engine.PrinterInstalled());
    EXPECT_EQ(engine.LastError, "No printer installed");
    EXPECT_EQ(engine.PageWidth(), 2400);
    EXPECT_EQ(engine.PageHeight(), 3000);
    EXPECT_EQ(engine.DpiX(), 300);
    EXPECT_EQ(engine.Info()->PageWidthMM, 203);
    EXPECT_EQ(engine.Info()->PageHeightMM, 254);
    EXPECT_EQ(engine.Copies(), 1);
}

TEST(NoPrinter, CommandLinePrintsIntoFilesOnTheFallbackPage)
{
    if (!NoPrinterRun())
        GTEST_SKIP() << "runs as test_printing_no_printer, where no scheduler answers";
    TRun run;
    const QString png = run.Folder + "/page.png";
    const TProcessResult printed =
        run({Picture(run.Folder), "/PRINTTO=" + png, "/QUALITY=High", "/SCALE=AsIs", "/POSITION=TopLeft", "/VERBOSE"});
    ASSERT_EQ(printed.Status, 0);
    // 600 x 300 picture pixels at 300 ppi; the 2000-pixel bitmap over 8 inches carries 250 of them per inch.
    EXPECT_EQ(printed.Err, "printed size 51 x 25 mm at 250 ppi\n");
    const QImage bitmap(png);
    ASSERT_EQ(bitmap.size(), QSize(2000, 2500));
    // 600 x 300 of a 2400 x 3000 page: 500 x 250 of the bitmap.
    EXPECT_EQ(bitmap.pixelColor(499, 249), QColor(Qt::red));
    EXPECT_EQ(bitmap.pixelColor(500, 249), QColor(Qt::white));
    EXPECT_EQ(bitmap.pixelColor(499, 250), QColor(Qt::white));

    const TProcessResult queue = run({Picture(run.Folder), "/AUTOPRINT"});
    EXPECT_EQ(queue.Status, 1);
    EXPECT_TRUE(queue.Err.contains("No printer installed")) << queue.Err.toStdString();
}
