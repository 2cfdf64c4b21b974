// The printer ports over real CUPS queues and real files.
#include "platform/printer.h"
#include "engine/pictavo_info.h"
#include "printing/printing_env.h"
#include "testlib/scoped_hook.h"
#include "testlib/test_env.h"

#include <QFileInfo>
#include <QImage>
#include <QPrintDialog>
#include <QPrinter>

#include <gtest/gtest.h>

namespace {

QImage Solid(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_BGR888);
    image.fill(color);
    return image;
}

// One document through a port; the job CUPS received, or an empty job when none arrived.
TPrintedJob PrintThrough(platform::TPrinterPort& port, const QString& title, const QImage& page)
{
    const QStringList before = PrintedJobs();
    port.BeginDocument(title);
    EXPECT_TRUE(port.Transfer(page));
    EXPECT_TRUE(port.EndDocument());
    TPrintedJob job;
    EXPECT_TRUE(WaitForNewJob(before, job)) << "no job reached the queue";
    return job;
}

}  // namespace

TEST(QueuePrinter, DefaultQueueIsMeasuredInItsOrientation)
{
    SKIP_WITHOUT_SCHEDULER();
    const auto port = platform::NewQueuePrinter();
    ASSERT_TRUE(port->Installed());
    port->SetOrientation(kOrientationPortrait);
    const platform::TPageMetrics portrait = port->Measure();
    EXPECT_GT(portrait.DpiX, 0);
    EXPECT_EQ(portrait.DpiX, portrait.DpiY);
    // The test queue's A4 with quarter-inch margins, in printer pixels.
    EXPECT_NEAR(portrait.Width, (577 - 18) * portrait.DpiX / 72, 2);
    EXPECT_NEAR(portrait.Height, (824 - 18) * portrait.DpiY / 72, 2);
    port->SetOrientation(kOrientationLandscape);
    EXPECT_EQ(port->Orientation(), kOrientationLandscape);
    const platform::TPageMetrics landscape = port->Measure();
    EXPECT_EQ(landscape.Width, portrait.Height);
    EXPECT_EQ(landscape.Height, portrait.Width);
}

TEST(QueuePrinter, JobCarriesTitleCopiesAndOrientationToCups)
{
    SKIP_WITHOUT_SCHEDULER();
    const auto port = platform::NewQueuePrinter();
    port->SetCopies(2);
    EXPECT_EQ(port->Copies(), 2);
    port->SetOrientation(kOrientationLandscape);
    const TPrintedJob job = PrintThrough(*port, "holiday - Pictavo [High, 2 copies]", Solid(40, 30, Qt::red));
    EXPECT_EQ(job.Args.value("printer"), "pictavo-pdf");
    EXPECT_EQ(job.Args.value("title"), "holiday - Pictavo [High, 2 copies]");
    EXPECT_EQ(job.Args.value("copies"), "2");
    EXPECT_EQ(PdfPageSize(job.Document), "842 x 595");
    // The copies stay on the printer for the next job.
    EXPECT_EQ(port->Copies(), 2);
}

TEST(QueuePrinter, PageFillsThePrintableAreaOnly)
{
    SKIP_WITHOUT_SCHEDULER();
    const auto port = platform::NewQueuePrinter();
    port->SetOrientation(kOrientationPortrait);
    const TPrintedJob job = PrintThrough(*port, "red page", Solid(20, 25, Qt::red));
    const QImage sheet = RasterisePdf(job.Document, 72);
    ASSERT_FALSE(sheet.isNull());
    ASSERT_EQ(sheet.size(), QSize(595, 842));
    EXPECT_TRUE(Near(sheet.pixel(30, 30), qRgb(255, 0, 0)));
    EXPECT_TRUE(Near(sheet.pixel(560, 810), qRgb(255, 0, 0)));
    // Outside the printable rectangle the paper stays white.
    EXPECT_TRUE(Near(sheet.pixel(5, 5), qRgb(255, 255, 255)));
    EXPECT_TRUE(Near(sheet.pixel(590, 838), qRgb(255, 255, 255)));
}

TEST(QueuePrinter, NamedQueueAndUnknownQueue)
{
    SKIP_WITHOUT_SCHEDULER();
    const auto second = platform::NewQueuePrinter("pictavo-second");
    ASSERT_TRUE(second->Installed());
    const TPrintedJob job = PrintThrough(*second, "second", Solid(10, 10, Qt::blue));
    EXPECT_EQ(job.Args.value("printer"), "pictavo-second");

    const auto missing = platform::NewQueuePrinter("no-such-queue");
    EXPECT_FALSE(missing->Installed());
    EXPECT_EQ(missing->Measure().Width, 0);
    missing->BeginDocument("nothing");
    EXPECT_FALSE(missing->Transfer(Solid(10, 10, Qt::blue)));
}

TEST(QueuePrinter, AbortBeforeAnyPageSendsNothing)
{
    SKIP_WITHOUT_SCHEDULER();
    const auto port = platform::NewQueuePrinter();
    const QStringList before = PrintedJobs();
    port->BeginDocument("never printed");
    port->AbortDocument();
    // Something that does print afterwards proves the queue had time to show a stray job.
    const TPrintedJob next = PrintThrough(*port, "after abort", Solid(10, 10, Qt::green));
    EXPECT_EQ(next.Args.value("title"), "after abort");
    EXPECT_EQ(PrintedJobs().size(), before.size() + 1);
}

TEST(QueuePrinter, SetupDialogShowsThePrinterAndReportsTheAnswer)
{
    SKIP_WITHOUT_SCHEDULER();
    const auto port = platform::NewQueuePrinter();
    port->SetCopies(3);
    int shownCopies = 0;
    const ScopedHook runner(platform::SetPrintDialogRunner, [&](QPrintDialog& dialog) {
        shownCopies = dialog.printer()->copyCount();
        dialog.printer()->setPageOrientation(QPageLayout::Landscape);
        return true;
    });
    EXPECT_TRUE(port->Setup(nullptr));
    EXPECT_EQ(shownCopies, 3);
    EXPECT_EQ(port->Orientation(), kOrientationLandscape);
    platform::SetPrintDialogRunner([](QPrintDialog&) { return false; });
    EXPECT_FALSE(port->Setup(nullptr));
}

TEST(FilePrinter, ChoosesByExtension)
{
    EXPECT_EQ(platform::NewFilePrinter("page.xyz"), nullptr);
}

TEST(FilePrinter, ImageFileHoldsThePageBitmapExactly)
{
    const QString name = NewTestFolder() + "/page.png";
    const auto port = platform::NewFilePrinter(name);
    ASSERT_TRUE(port->Installed());
    QImage page = Solid(30, 40, Qt::white);
    page.setPixelColor(3, 4, QColor(12, 34, 56));
    port->BeginDocument("file");
    ASSERT_TRUE(port->Transfer(page));
    ASSERT_TRUE(port->EndDocument());
    const QImage written(name);
    ASSERT_EQ(written.size(), page.size());
    EXPECT_EQ(written.pixelColor(3, 4), QColor(12, 34, 56));
    EXPECT_EQ(written.pixelColor(0, 0), QColor(Qt::white));
}

TEST(FilePrinter, RefusesWhereItCannotWriteAndLeavesNothingOnAbort)
{
    const auto blocked = platform::NewFilePrinter(NewTestFolder() + "/missing-folder/page.png");
    blocked->BeginDocument("file");
    EXPECT_FALSE(blocked->Transfer(Solid(4, 4, Qt::red)));

    const QString name = NewTestFolder() + "/page.pdf";
    const auto pdf = platform::NewFilePrinter(name);
    pdf->BeginDocument("dropped");
    ASSERT_TRUE(pdf->Transfer(Solid(4, 4, Qt::red)));
    pdf->AbortDocument();
    EXPECT_FALSE(QFileInfo::exists(name));
}

TEST(FilePrinter, PdfFileIsOnTheDefaultPrintersPaper)
{
    SKIP_WITHOUT_SCHEDULER();
    const QString name = NewTestFolder() + "/page.pdf";
    const auto port = platform::NewFilePrinter(name);
    port->SetOrientation(kOrientationLandscape);
    port->BeginDocument("pdf");
    ASSERT_TRUE(port->Transfer(Solid(30, 20, Qt::red)));
    ASSERT_TRUE(port->EndDocument());
    EXPECT_EQ(PdfPageSize(name), "842 x 595");
}

TEST(NoPrinter, NothingIsInstalledAndTheFilePortsStillWork)
{
    if (!NoPrinterRun())
        GTEST_SKIP() << "runs as test_printing_no_printer, where no scheduler answers";
    const auto queue = platform::NewQueuePrinter();
    EXPECT_FALSE(queue->Installed());
    EXPECT_EQ(queue->Measure().Width, 0);
    EXPECT_EQ(queue->Copies(), 0);

    const auto image = platform::NewFilePrinter(NewTestFolder() + "/page.png");
    EXPECT_TRUE(image->Installed());
    EXPECT_EQ(image->Measure().Width, 0);  // the engine's fallback page applies

    const QString name = NewTestFolder() + "/page.pdf";
    const auto pdf = platform::NewFilePrinter(name);
    pdf->SetOrientation(kOrientationPortrait);
    pdf->BeginDocument("pdf");
    ASSERT_TRUE(pdf->Transfer(Solid(30, 20, Qt::red)));
    ASSERT_TRUE(pdf->EndDocument());
    EXPECT_EQ(PdfPageSize(name), "595 x 842");  // A4
}
