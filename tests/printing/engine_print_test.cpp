// TPictavo's printing through a scripted printer port: budgets, quality, retries, copies, setup.
#include "common/atomic_file.h"
#include "common/translate.h"
#include "engine/ui/pictavo.h"
#include "printing/scripted_printer.h"
#include "testlib/scoped_hook.h"
#include "testlib/test_env.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

QString SavePicture(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    const QString name = NewTestFolder() + "/picture.bmp";
    image.save(name);
    return name;
}

class EnginePrint : public testing::Test {
protected:
    void SetUp() override
    {
        auto port = std::make_unique<TScriptedPrinter>();
        Printer = port.get();
        Port.emplace(platform::SetActivePrinter, std::move(port));
        Engine = std::make_unique<TPictavo>();
        Engine->Form()->resize(600, 500);
        Engine->Refresh();
    }

    void TearDown() override
    {
        Engine.reset();
        Port.reset();
    }

    void Open(int w = 600, int h = 300, QColor color = Qt::red)
    {
        ASSERT_TRUE(Engine->OpenPicture(SavePicture(w, h, color))) << Engine->LastError.toStdString();
    }

    void Apply(std::uint8_t scale, std::uint8_t position, std::uint8_t quality)
    {
        TPictavoInfo info = *Engine->Info();
        info.Scale = scale;
        info.Position = position;
        info.Quality = quality;
        Engine->SetInfo(info);
    }

    TScriptedPrinter* Printer = nullptr;
    std::optional<ScopedHook<std::unique_ptr<platform::TPrinterPort>>> Port;
    std::unique_ptr<TPictavo> Engine;
};

}  // namespace

TEST_F(EnginePrint, BitmapSizeOfAnA4PageAt600PixelsPerInch)
{
    Printer->Page = {4960, 7016, 600, 600};
    // The bitmap is sized from the page the previous layout measured.
    Engine->Refresh();
    Engine->Refresh();
    EXPECT_NEAR(Engine->PrintWidth(), 1880, 3);
    EXPECT_NEAR(Engine->PrintHeight(), 2659, 3);
    EXPECT_LE(std::int64_t(Engine->PrintWidth()) * Engine->PrintHeight() * 3, 15'000'000);

    Open();
    for (const auto& [quality, size] : {std::pair{1, QSize(Engine->PrintWidth() / 2, Engine->PrintHeight() / 2)},
                                        std::pair{0, QSize(Engine->PrintWidth() / 4, Engine->PrintHeight() / 4)}}) {
        Apply(kScaleFitToPage, kPositionCenter, std::uint8_t(quality));
        ASSERT_TRUE(Engine->Print());
        EXPECT_EQ(Printer->Log.Transfers.back(), size);
    }
}

TEST_F(EnginePrint, QualityDividesTheFallbackPage)
{
    // No page from the printer: 2400 x 3000, whose 15,000,000-byte bitmap is 2000 x 2500.
    EXPECT_EQ(Engine->PageWidth(), 2400);
    EXPECT_EQ(Engine->PrintWidth(), 2000);
    EXPECT_EQ(Engine->PrintHeight(), 2500);
    TPictavoInfo info = *Engine->Info();
    info.Quality = 0;
    EXPECT_EQ(Engine->QualitySize(info, 2000), 500);
    EXPECT_EQ(Engine->QualitySize(info, 2500), 625);
    info.Quality = 1;
    EXPECT_EQ(Engine->QualitySize(info, 2501), 1250);
    info.Quality = 2;
    EXPECT_EQ(Engine->QualitySize(info, 2501), 2501);
}

TEST_F(EnginePrint, AsIsTopLeftFillsTheCornerInProportionAtEveryQuality)
{
    Open(600, 300, Qt::red);
    for (const std::uint8_t quality : {0, 1, 2}) {
        Apply(kScaleAsIs, kPositionTopLeft, quality);
        ASSERT_TRUE(Engine->Print()) << int(quality);
        const QImage& page = Printer->Log.LastPage;
        // A quarter of the page's width and a tenth of its height, whatever the bitmap's size.
        const int w = int(std::nearbyint(page.width() * 600.0 / 2400));
        const int h = int(std::nearbyint(page.height() * 300.0 / 3000));
        EXPECT_EQ(page.pixelColor(0, 0), QColor(Qt::red));
        EXPECT_EQ(page.pixelColor(w - 1, h - 1), QColor(Qt::red)) << int(quality);
        EXPECT_EQ(page.pixelColor(w + 1, h - 1), QColor(Qt::white)) << int(quality);
        EXPECT_EQ(page.pixelColor(w - 1, h + 1), QColor(Qt::white)) << int(quality);
    }
}

TEST_F(EnginePrint, BackgroundColourSurroundsThePicture)
{
    Open(100, 100, Qt::red);
    Apply(kScaleAsIs, kPositionCenter, 0);
    Engine->SetBackground(0x0000FF00, true);
    ASSERT_TRUE(Engine->Print());
    const QImage& page = Printer->Log.LastPage;
    EXPECT_EQ(page.pixelColor(0, 0), QColor(Qt::green));
    EXPECT_EQ(page.pixelColor(page.width() / 2, page.height() / 2), QColor(Qt::red));
}

TEST_F(EnginePrint, SuccessSendsOnePageWithTheJobTitle)
{
    Open();
    TPictavoInfo info = *Engine->Info();
    info.Name = "holiday";
    info.Quality = 2;
    Engine->SetInfo(info);
    Engine->SetCopies(2);
    ASSERT_TRUE(Engine->Print());
    EXPECT_EQ(Printer->Log.Title, "holiday - Pictavo [High, 2 copies]");
    EXPECT_EQ(Printer->Log.Transfers.size(), 1u);
    EXPECT_EQ(Printer->Log.Ends, 1);
    EXPECT_EQ(Printer->Log.Aborts, 0);
    EXPECT_EQ(Engine->Info()->PrintPercent, 100);
    EXPECT_EQ(Engine->Info()->PrintMemoryUsed, 15'000'000);
    EXPECT_EQ(Engine->Info()->PrintWidth, 2000);
    EXPECT_FALSE(Engine->Printing());
}

TEST_F(EnginePrint, RefusedTransferFailsTheJobAndDropsIt)
{
    Open();
    Printer->RefuseTransfer = [](int n) { return n == 0; };
    EXPECT_FALSE(Engine->Print());
    EXPECT_EQ(Engine->LastError, "Out of memory");
    // Every budget down to 1,000,000 was still tried, at its full-quality size.
    ASSERT_EQ(Printer->Log.Transfers.size(), 15u);
    EXPECT_EQ(Engine->Info()->PrintMemoryUsed, 1'000'000);
    EXPECT_EQ(Engine->Info()->PrintPercent, 6);
    EXPECT_EQ(Printer->Log.Ends, 0);
    EXPECT_EQ(Printer->Log.Aborts, 1);
    std::int32_t w = 0;
    std::int32_t h = 0;
    Engine->PrintBitmapSize(14'000'000, w, h);
    EXPECT_EQ(Printer->Log.Transfers[1], QSize(w, h));
}

TEST_F(EnginePrint, PageThatCannotBeSentIsAFailure)
{
    Open();
    Printer->EndAnswer = false;
    EXPECT_FALSE(Engine->Print());
    EXPECT_EQ(Engine->LastError, "Task failed");
    EXPECT_EQ(Printer->Log.Transfers.size(), 1u);
}

TEST_F(EnginePrint, CustomPositionFarOffThePageKeepsAStripOnThePrintedPage)
{
    Open(600, 300, Qt::red);
    TPictavoInfo info = *Engine->Info();
    info.Scale = kScaleAsIs;
    info.Position = kPositionCustom;
    info.Quality = 2;
    info.X = 100000;
    info.Y = 0;
    Engine->SetInfo(info);
    ASSERT_TRUE(Engine->Print());
    const QImage& page = Printer->Log.LastPage;
    // The last 3 columns of the bitmap show the picture's left edge, as the preview shows it at the sheet's edge.
    EXPECT_EQ(page.pixelColor(page.width() - 3, 0), QColor(Qt::red));
    EXPECT_EQ(page.pixelColor(page.width() - 4, 0), QColor(Qt::white));
}

TEST_F(EnginePrint, NothingToPrintOrNoPrinter)
{
    EXPECT_FALSE(Engine->CanPrint());
    EXPECT_FALSE(Engine->Print());
    EXPECT_EQ(Engine->LastError, "Out of memory");
    Open();
    Printer->InstalledAnswer = false;
    EXPECT_FALSE(Engine->PrinterInstalled());
    EXPECT_FALSE(Engine->CanPrint());
    EXPECT_FALSE(Engine->Print());
    EXPECT_EQ(Engine->LastError, "No printer installed");
    EXPECT_TRUE(Printer->Log.Transfers.empty());
}

TEST_F(EnginePrint, ARunningJobRefusesASecondOne)
{
    Open();
    bool inner = true;
    bool couldPrint = true;
    Printer->DuringTransfer = [&] {
        couldPrint = Engine->CanPrint();
        inner = Engine->Print();
    };
    EXPECT_TRUE(Engine->Print());
    EXPECT_FALSE(couldPrint);
    EXPECT_FALSE(inner);
    EXPECT_EQ(Printer->Log.Transfers.size(), 1u);
    EXPECT_TRUE(Engine->CanPrint());
}

TEST_F(EnginePrint, CopiesAreClampedAndKeptOnThePrinter)
{
    Engine->SetCopies(0);
    EXPECT_EQ(Printer->CopiesAnswer, 1);
    Engine->SetCopies(150);
    EXPECT_EQ(Printer->CopiesAnswer, 99);
    EXPECT_EQ(Engine->Copies(), 99);
    Printer->CopiesAnswer = 0;  // unreadable
    EXPECT_EQ(Engine->Copies(), 1);
}

TEST_F(EnginePrint, CopiesTextUsesTranslatedWords)
{
    Engine->SetCopies(1);
    EXPECT_EQ(Engine->CopiesText(), "1 copy");
    EXPECT_EQ(Engine->Info()->CopiesText, "1 copy");
    Engine->SetCopies(2);
    EXPECT_EQ(Engine->CopiesText(), "2 copies");
    const ScopedHook translator(SwapTranslator, [](const QString& text) {
        return text == "copies" ? QString("Kopien") : text == "copy" ? QString("Kopie") : text;
    });
    EXPECT_EQ(Engine->CopiesText(), "2 Kopien");
    Engine->SetCopies(1);
    EXPECT_EQ(Engine->CopiesText(), "1 Kopie");
}

TEST_F(EnginePrint, SameMemoryBudgetDoesNotRelayout)
{
    const int measures = Printer->Log.Measures;
    Engine->SetPrintMemory(15'000'000);
    EXPECT_EQ(Printer->Log.Measures, measures);
    Engine->SetPrintMemory(3'000'000);
    EXPECT_GT(Printer->Log.Measures, measures);
    EXPECT_EQ(Engine->PrintMemory(), 3'000'000);
    EXPECT_LT(Engine->PrintWidth(), 2000);
    Engine->SetPrintMemory(0);
    EXPECT_EQ(Engine->PrintMemory(), 2'147'483'647);
}

TEST_F(EnginePrint, OrientationIsSetBeforeEveryMeasurement)
{
    Printer->Page = {2000, 3000, 300, 300};
    TPictavoInfo info = *Engine->Info();
    info.Orientation = 1;
    Engine->SetInfo(info);
    EXPECT_EQ(Printer->OrientationValue, 1);
    EXPECT_EQ(Engine->PageWidth(), 3000);
    EXPECT_EQ(Engine->PageHeight(), 2000);
}

TEST_F(EnginePrint, SetupReadsTheOrientationBackAndRelaysOut)
{
    Printer->Page = {2000, 3000, 300, 300};
    Engine->Refresh();
    Printer->SetupAnswer = [](TScriptedPrinter& printer) {
        printer.OrientationValue = 1;
        return true;
    };
    EXPECT_TRUE(Engine->PrinterSetup());
    EXPECT_EQ(Engine->Info()->Orientation, 1);
    EXPECT_EQ(Engine->PageWidth(), 3000);

    Printer->SetupAnswer = [](TScriptedPrinter& printer) {
        printer.OrientationValue = 0;
        return false;  // cancelled: nothing is read back
    };
    EXPECT_FALSE(Engine->PrinterSetup());
    EXPECT_EQ(Engine->Info()->Orientation, 1);
}

// Printing into a file on a disk that fills up: the job ends at the first failed write, with the reason and the
// file's name, and the user's earlier file stays as it was.
TEST(PrintToFile, AFullDiskEndsTheJobAtOnceAndKeepsTheEarlierFile)
{
    for (const char* name : {"page.pdf", "page.png", "page.bmp"}) {
        SCOPED_TRACE(name);
        const QString folder = NewTestFolder();
        const QString target = folder + "/" + name;
        {
            QFile earlier(target);
            ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
            earlier.write("the earlier page");
        }
        {
            const ScopedHook port(platform::SetActivePrinter, platform::NewFilePrinter(target));
            TPictavo engine;
            engine.Form()->resize(600, 500);
            ASSERT_TRUE(engine.OpenPicture(SavePicture(600, 300, Qt::red)));
            int writes = 0;
            const auto real = TAtomicFile::SetWriteCall([&writes](int, const char*, unsigned long) {
                ++writes;
                errno = ENOSPC;
                return -1L;
            });
            EXPECT_FALSE(engine.Print());
            TAtomicFile::SetWriteCall(real);
            EXPECT_EQ(engine.LastError, "Out of disk space");
            EXPECT_EQ(engine.LastErrorFile, target);
            EXPECT_EQ(writes, 1);  // no second attempt
            EXPECT_EQ(engine.Info()->PrintMemoryUsed, 15'000'000);
        }
        QFile kept(target);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), "the earlier page");
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{name});  // no temporary file left
    }
}

namespace {

// The bitmap's pixels that are not near white.
QRect PictureBounds(const QImage& page)
{
    QRect bounds;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 192)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

bool Within(QPoint a, QPoint b)
{
    return std::abs(a.x() - b.x()) <= 1 && std::abs(a.y() - b.y()) <= 1;
}

}  // namespace

// A run that prints and ends decodes a large JPEG only as large as the page shows it, yet places it exactly where
// the whole picture goes; a run whose window may still show decodes it whole.
TEST_F(EnginePrint, PrintOnlyRunDecodesReducedWithTheSameLayout)
{
    const QString folder = NewTestFolder();
    QImage photo(3000, 2000, QImage::Format_RGB32);
    photo.fill(Qt::darkBlue);
    ASSERT_TRUE(photo.save(folder + "/photo.jpg", "JPG", 90));
    const QStringList options{"/SCALE=ScaleToPage", "/POSITION=BottomRight", "/QUALITY=Low"};

    ASSERT_TRUE(Engine->ProcessCommandLine(QStringList{folder + "/photo.jpg", "/PRINTTO=" + folder + "/full.png"} +
                                           options));
    EXPECT_EQ(Engine->Picture().size(), QSize(3000, 2000));

    bool ended = false;
    Engine->OnAutoPrinted = [&](TPictavo*) { ended = true; };
    ASSERT_TRUE(Engine->ProcessCommandLine(
        QStringList{folder + "/photo.jpg", "/PRINTTO=" + folder + "/reduced.png"} + options));
    EXPECT_TRUE(ended);
    EXPECT_LT(Engine->Picture().width(), 3000 / 2);
    EXPECT_EQ(Engine->PictureSize(), QSize(3000, 2000));

    const QImage full(folder + "/full.png");
    const QImage reduced(folder + "/reduced.png");
    ASSERT_EQ(full.size(), reduced.size());
    const QRect a = PictureBounds(full);
    const QRect b = PictureBounds(reduced);
    ASSERT_FALSE(a.isEmpty());
    // The picture does not fill the page, so its place is tested.
    EXPECT_TRUE(a.width() < full.width() || a.height() < full.height());
    EXPECT_TRUE(Within(a.topLeft(), b.topLeft())) << a.x() << "," << a.y() << " " << b.x() << "," << b.y();
    EXPECT_TRUE(Within(a.bottomRight(), b.bottomRight()));
}

// A window asked for a queue the desktop does not have opens the picture on the default printer, which Printer
// Setup can change, and names the queue it could not find.
TEST_F(EnginePrint, AWindowKeepsTheDefaultPrinterForAMissingQueue)
{
    EXPECT_FALSE(Engine->ProcessCommandLine({SavePicture(60, 30, Qt::red), "/PRINTER=no-such-queue"}));
    EXPECT_EQ(Engine->LastError, "no-such-queue: No such printer");
    EXPECT_TRUE(Engine->HasPicture());
    EXPECT_EQ(&platform::ActivePrinter(), Printer);
}
