#include "platform/printer.h"

#include "platform/printer_watch.h"
#include "common/atomic_file.h"
#include "common/file_problems.h"
#include "engine/pictavo_info.h"
#include "engine/print_file.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>

#include <optional>

namespace platform {
namespace {

// zlib level 2: a photograph's page in well under half the time of the middle level, for a file about a
// sixth larger.
constexpr int kPngQuality = 70;

QPageLayout::Orientation QtOrientation(int orientation)
{
    return orientation == kOrientationLandscape ? QPageLayout::Landscape : QPageLayout::Portrait;
}

// A printer for the queue on the paper its owner chose for it. Qt starts on its locale's paper and keeps it
// whenever the queue takes it too, so a Letter queue in an A4 locale would print on A4.
std::unique_ptr<QPrinter> NewPrinter(const QPrinterInfo& queue)
{
    auto printer = std::make_unique<QPrinter>(queue, QPrinter::HighResolution);
    if (const QPageSize paper = queue.defaultPageSize(); paper.isValid())
        printer->setPageSize(paper);
    return printer;
}

PrintDialogRunner& DialogRunner()
{
    static PrintDialogRunner runner;
    return runner;
}

bool RunPrintDialog(QPrintDialog& dialog)
{
    if (const PrintDialogRunner& runner = DialogRunner())
        return runner(dialog);
    return dialog.exec() == QDialog::Accepted;
}

// A port over one QPrinter: the page is the printable rectangle in device pixels at the printer's resolution.
// The painter begins at the first transfer, so a document that never got a page never reaches the printer.
class TPrinterDevicePort : public TPrinterPort {
public:
    int Orientation() override
    {
        QPrinter* printer = Printer();
        return printer && printer->pageLayout().orientation() == QPageLayout::Landscape ? kOrientationLandscape
                                                                                   : kOrientationPortrait;
    }

    void SetOrientation(int orientation) override
    {
        if (QPrinter* printer = Printer())
            printer->setPageOrientation(QtOrientation(orientation));
    }

    TPageMetrics Measure() override
    {
        TPageMetrics metrics;
        QPrinter* printer = Printer();
        if (!printer)
            return metrics;
        const QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
        metrics.Width = page.width();
        metrics.Height = page.height();
        metrics.DpiX = metrics.DpiY = printer->resolution();
        metrics.Inches = printer->pageLayout().pageSize().definitionUnits() == QPageSize::Inch;
        return metrics;
    }

    int Copies() override
    {
        QPrinter* printer = Printer();
        return printer ? printer->copyCount() : 0;
    }

    void SetCopies(int copies) override
    {
        if (QPrinter* printer = Printer())
            printer->setCopyCount(copies);
    }

    void BeginDocument(const QString& title) override
    {
        FPainter.reset();
        FRefused = false;
        if (QPrinter* printer = Printer())
            printer->setDocName(title);
    }

    bool Transfer(const QImage& page) override
    {
        // After a refusal no later page of the job counts, so none is started: Qt could not take it back.
        QPrinter* printer = Printer();
        if (FRefused || !printer || page.isNull())
            return Refuse();
        if (!FPainter) {
            FPainter = std::make_unique<QPainter>();
            if (!FPainter->begin(printer)) {
                FPainter.reset();
                return Refuse();
            }
        }
        const QRect printable(0, 0, printer->width(), printer->height());
        FPainter->drawImage(printable, page);
        return printer->printerState() != QPrinter::Error || Refuse();
    }

    bool EndDocument() override
    {
        if (!FPainter)
            return false;
        const bool ended = FPainter->end();
        FPainter.reset();
        return ended && Printer()->printerState() != QPrinter::Error;
    }

    void AbortDocument() override
    {
        if (!FPainter)
            return;
        // Qt's CUPS and PDF engines cannot withdraw a page already drawn; the painter then has to end here.
        Printer()->abort();
        if (FPainter->isActive())
            FPainter->end();
        FPainter.reset();
    }

    bool Setup(QWidget* parent) override
    {
        QPrinter* printer = Printer();
        if (!printer)
            return false;
        QPrintDialog dialog(printer, parent);
        return RunPrintDialog(dialog);
    }

protected:
    // The printer, made on first use (Qt's printing needs the application object); null when there is none.
    virtual QPrinter* Printer() = 0;
    // Between the first transfer and the end or abort of a document.
    bool DocumentOpen() const { return FPainter != nullptr; }

private:
    bool Refuse()
    {
        FRefused = true;
        return false;
    }

    std::unique_ptr<QPainter> FPainter;
    bool FRefused = false;
};

// The printers come from the watch's last answer, so asking never waits for CUPS. The default queue follows the
// desktop: when its printer goes away, another becomes the default or one comes back, the next question gets a
// printer for the new queue (or none), keeping the copies and orientation chosen so far.
class TQueuePrinterPort final : public TPrinterDevicePort {
public:
    explicit TQueuePrinterPort(QString queue) : FQueue(std::move(queue)) {}

    bool Installed() override { return !Wanted().isEmpty(); }
    // A desktop that lists no printer at all (or a scheduler that does not answer) has no printer installed,
    // rather than a missing queue.
    QString MissingQueue() const override
    {
        return Wanted().isEmpty() && !TPrinterWatch::Instance().Printers().Names.isEmpty() ? FQueue : QString();
    }

protected:
    QPrinter* Printer() override
    {
        const QString wanted = Wanted();
        // A document in progress keeps its printer to the end.
        if (wanted != FPrinterName && !DocumentOpen())
            ReplacePrinter(wanted);
        return FPrinter.get();
    }

private:
    // The queue to print on now; empty when it is not there. A desktop without a default queue still prints on
    // the first one it lists.
    QString Wanted() const
    {
        const TPrinterList& printers = TPrinterWatch::Instance().Printers();
        if (FQueue.isEmpty())
            return printers.Chosen();
        return printers.Names.contains(FQueue) ? FQueue : QString();
    }

    void ReplacePrinter(const QString& queue)
    {
        if (FPrinter) {
            FCopies = FPrinter->copyCount();
            FOrientation = FPrinter->pageLayout().orientation();
        }
        FPrinter.reset();
        FPrinterName = queue;
        if (queue.isEmpty())
            return;
        FPrinter = NewPrinter(QPrinterInfo::printerInfo(queue));
        if (FCopies > 0)
            FPrinter->setCopyCount(FCopies);
        if (FOrientation)
            FPrinter->setPageOrientation(*FOrientation);
    }

    QString FQueue;
    QString FPrinterName;  // the queue FPrinter prints on
    std::unique_ptr<QPrinter> FPrinter;
    int FCopies = 0;       // 0: the printer's own
    std::optional<QPageLayout::Orientation> FOrientation;
};

// The page as Qt's PDF writer prints it, on the default printer's paper when there is one, else on A4. The PDF
// goes into a temporary file beside the target and replaces it only when the document ends complete.
class TPdfFilePrinterPort final : public TPrinterPort {
public:
    explicit TPdfFilePrinterPort(QString fileName) : FFileName(std::move(fileName)) {}

    bool Installed() override { return true; }
    bool Setup(QWidget*) override { return false; }
    int Orientation() override
    {
        return Paper().orientation() == QPageLayout::Landscape ? kOrientationLandscape : kOrientationPortrait;
    }
    void SetOrientation(int orientation) override { Paper().setOrientation(QtOrientation(orientation)); }

    TPageMetrics Measure() override
    {
        const QRect page = Paper().paintRectPixels(kPdfResolution);
        TPageMetrics metrics{page.width(), page.height(), kPdfResolution, kPdfResolution};
        metrics.Inches = Paper().pageSize().definitionUnits() == QPageSize::Inch;
        return metrics;
    }

    int Copies() override { return FCopies; }
    void SetCopies(int copies) override { FCopies = copies; }

    void BeginDocument(const QString& title) override
    {
        Drop();
        FTitle = title;
        FReason.clear();
    }

    bool Transfer(const QImage& page) override
    {
        if (!FReason.isEmpty() || page.isNull())
            return false;
        if (!FPainter && !Start())
            return false;
        FPainter->drawImage(QRect(0, 0, FWriter->width(), FWriter->height()), page);
        return Healthy();
    }

    bool EndDocument() override
    {
        if (!FPainter)
            return false;
        const bool ended = FPainter->end();
        FPainter.reset();
        FWriter.reset();
        const bool committed = ended && Healthy() && FFile->Commit();
        if (!committed && FReason.isEmpty())
            FReason = FFile->ErrorText().isEmpty() ? NotWrittenText() : FFile->ErrorText();
        FFile.reset();
        return committed;
    }

    void AbortDocument() override { Drop(); }
    TPortFailure Failure() const override { return {FFileName, FReason}; }

private:
    // Qt's printer answers the page of a printer as it prints PDF, at its high resolution. The printer is the
    // watch's default: asking CUPS for it here could hang on a scheduler that does not answer.
    static constexpr int kPdfResolution = 1200;

    QPageLayout& Paper()
    {
        if (!FPaper) {
            const QString name = TPrinterWatch::Instance().Printers().DefaultName;
            const QPrinterInfo printer = name.isEmpty() ? QPrinterInfo() : QPrinterInfo::printerInfo(name);
            FPaper = printer.isNull() ? QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF())
                                      : NewPrinter(printer)->pageLayout();
        }
        return *FPaper;
    }

    bool Start()
    {
        FFile = std::make_unique<TAtomicFile>(FFileName);
        if (!FFile->Open()) {
            FReason = FFile->ErrorText();
            FFile.reset();
            return false;
        }
        FWriter = std::make_unique<QPdfWriter>(FFile.get());
        FWriter->setResolution(kPdfResolution);
        FWriter->setPageLayout(Paper());
        FWriter->setTitle(FTitle);
        FWriter->setCreator(QCoreApplication::applicationName());
        FPainter = std::make_unique<QPainter>();
        if (!FPainter->begin(FWriter.get())) {
            FReason = NotWrittenText();
            Drop();
            return false;
        }
        return true;
    }

    // A write that failed (a full disk) spoils the document: no later attempt could repair it.
    bool Healthy()
    {
        if (FFile && !FFile->ErrorText().isEmpty() && FReason.isEmpty())
            FReason = FFile->ErrorText();
        return FReason.isEmpty();
    }

    void Drop()
    {
        if (FPainter && FPainter->isActive())
            FPainter->end();
        FPainter.reset();
        FWriter.reset();
        FFile.reset();  // the temporary file goes; the target was never touched
    }

    QString FFileName;
    QString FTitle;
    QString FReason;
    std::optional<QPageLayout> FPaper;
    int FCopies = 1;
    std::unique_ptr<TAtomicFile> FFile;
    std::unique_ptr<QPdfWriter> FWriter;
    std::unique_ptr<QPainter> FPainter;
};

// The page bitmap itself, exactly as a printer would receive it. The page is the default printer's when there is
// one; without one the engine's fallback page applies. The file is written when the document ends.
class TImageFilePrinterPort final : public TPrinterPort {
public:
    explicit TImageFilePrinterPort(QString fileName) : FFileName(std::move(fileName)) {}

    bool Installed() override { return true; }
    int Orientation() override { return FOrientation; }

    void SetOrientation(int orientation) override
    {
        FOrientation = orientation;
        if (FPaper.Installed())
            FPaper.SetOrientation(orientation);
    }

    TPageMetrics Measure() override { return FPaper.Installed() ? FPaper.Measure() : TPageMetrics{}; }
    int Copies() override { return FCopies; }
    void SetCopies(int copies) override { FCopies = copies; }

    void BeginDocument(const QString&) override
    {
        FPage = QImage();
        FReason.clear();
    }

    bool Transfer(const QImage& page) override
    {
        // Refused at once where no file could be written, before any work is spent on the page.
        FReason = OutputFileProblem(FFileName);
        if (!FReason.isEmpty() || page.isNull())
            return false;
        FPage = page;
        return true;
    }

    bool EndDocument() override
    {
        if (FPage.isNull())
            return false;
        const bool written = WritePageFile(FFileName, FPage, FReason);
        FPage = QImage();
        return written;
    }

    void AbortDocument() override { FPage = QImage(); }
    bool Setup(QWidget*) override { return false; }
    TPortFailure Failure() const override { return {FFileName, FReason}; }

private:
    QString FFileName;
    TQueuePrinterPort FPaper{QString()};
    int FOrientation = kOrientationPortrait;
    int FCopies = 1;
    QImage FPage;
    QString FReason;
};

std::unique_ptr<TPrinterPort>& ActivePort()
{
    static std::unique_ptr<TPrinterPort> port;
    return port;
}

}  // namespace

TPrinterPort& ActivePrinter()
{
    std::unique_ptr<TPrinterPort>& port = ActivePort();
    if (!port)
        port = NewQueuePrinter();
    return *port;
}

std::unique_ptr<TPrinterPort> SetActivePrinter(std::unique_ptr<TPrinterPort> port)
{
    std::swap(ActivePort(), port);
    return port;
}

std::unique_ptr<TPrinterPort> NewQueuePrinter(const QString& queue)
{
    return std::make_unique<TQueuePrinterPort>(queue);
}

bool WritePageFile(const QString& fileName, const QImage& page, QString& reason)
{
    const TPageFormat* format = PageFormatOf(fileName);
    if (!format || !format->QtFormat) {
        reason = QStringLiteral("This kind of file cannot hold a page");
        return false;
    }
    return WriteFileAtomically(
        fileName,
        [&](QIODevice& device) {
            QImageWriter writer(&device, format->QtFormat);
            // Qt's default PNG compression spends seconds on a photograph's page for a file hardly smaller.
            if (qstrcmp(format->QtFormat, "png") == 0)
                writer.setQuality(kPngQuality);
            return writer.write(page);
        },
        reason);
}

std::unique_ptr<TPrinterPort> NewFilePrinter(const QString& fileName)
{
    if (!CanPrintToFile(fileName))
        return nullptr;
    if (QFileInfo(fileName).suffix().compare("pdf", Qt::CaseInsensitive) == 0)
        return std::make_unique<TPdfFilePrinterPort>(fileName);
    return std::make_unique<TImageFilePrinterPort>(fileName);
}

PrintDialogRunner SetPrintDialogRunner(PrintDialogRunner runner)
{
    std::swap(DialogRunner(), runner);
    return runner;
}

bool PrinterInstalled()
{
    return ActivePrinter().Installed();
}

QString MissingPrinterQueue()
{
    return ActivePrinter().MissingQueue();
}

void SetPrinterOrientation(int orientation)
{
    ActivePrinter().SetOrientation(orientation);
}

TPageMetrics MeasurePrinterPage()
{
    return ActivePrinter().Measure();
}

int ScreenPixelsPerInch()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 0;
}

}  // namespace platform
