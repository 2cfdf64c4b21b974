#include "platform/printer.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>

namespace platform {
namespace {

// zlib level 2: a photograph's page in well under half the time of the middle level, for a file about a
// sixth larger.
constexpr int kPngQuality = 70;

QPageLayout::Orientation QtOrientation(int orientation)
{
    return orientation == 1 ? QPageLayout::Landscape : QPageLayout::Portrait;
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
class QPrinterPort : public PrinterPort {
public:
    int Orientation() override
    {
        QPrinter* printer = Printer();
        return printer && printer->pageLayout().orientation() == QPageLayout::Landscape ? 1 : 0;
    }

    void SetOrientation(int orientation) override
    {
        if (QPrinter* printer = Printer())
            printer->setPageOrientation(QtOrientation(orientation));
    }

    PageMetrics Measure() override
    {
        PageMetrics metrics;
        QPrinter* printer = Printer();
        if (!printer)
            return metrics;
        const QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
        metrics.width = page.width();
        metrics.height = page.height();
        metrics.dpiX = metrics.dpiY = printer->resolution();
        metrics.inches = printer->pageLayout().pageSize().definitionUnits() == QPageSize::Inch;
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
        Dropped();
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
    // After an abort: what the port may still take back.
    virtual void Dropped() {}

private:
    bool Refuse()
    {
        FRefused = true;
        return false;
    }

    std::unique_ptr<QPainter> FPainter;
    bool FRefused = false;
};

class QueuePrinterPort final : public QPrinterPort {
public:
    explicit QueuePrinterPort(QString queue) : FQueue(std::move(queue)) {}

    bool Installed() override
    {
        if (FQueue.isEmpty())
            return !QPrinterInfo::availablePrinterNames().isEmpty();
        return QPrinterInfo::availablePrinterNames().contains(FQueue);
    }

protected:
    QPrinter* Printer() override
    {
        if (!FPrinter && Installed()) {
            const QPrinterInfo info =
                FQueue.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(FQueue);
            // A desktop without a default queue still prints on the first one it lists.
            const QPrinterInfo chosen =
                info.isNull() ? QPrinterInfo::printerInfo(QPrinterInfo::availablePrinterNames().value(0)) : info;
            FPrinter = std::make_unique<QPrinter>(chosen, QPrinter::HighResolution);
        }
        return FPrinter.get();
    }

private:
    QString FQueue;
    std::unique_ptr<QPrinter> FPrinter;
};

// The page as Qt's PDF writer prints it, on the default printer's paper when there is one, else on A4.
class PdfFilePrinterPort final : public QPrinterPort {
public:
    explicit PdfFilePrinterPort(QString fileName) : FFileName(std::move(fileName)) {}

    bool Installed() override { return true; }
    bool Setup(QWidget*) override { return false; }

protected:
    QPrinter* Printer() override
    {
        if (!FPrinter) {
            FPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
            FPrinter->setOutputFormat(QPrinter::PdfFormat);
            FPrinter->setOutputFileName(FFileName);
            const QPrinterInfo paper = QPrinterInfo::defaultPrinter();
            if (!paper.isNull())
                FPrinter->setPageLayout(QPrinter(paper, QPrinter::HighResolution).pageLayout());
            else
                FPrinter->setPageSize(QPageSize(QPageSize::A4));
        }
        return FPrinter.get();
    }

    void Dropped() override { QFile::remove(FFileName); }

private:
    QString FFileName;
    std::unique_ptr<QPrinter> FPrinter;
};

// The page bitmap itself, exactly as a printer would receive it. The page is the default printer's when there is
// one; without one the engine's fallback page applies.
class ImageFilePrinterPort final : public PrinterPort {
public:
    explicit ImageFilePrinterPort(QString fileName) : FFileName(std::move(fileName)) {}

    bool Installed() override { return true; }
    int Orientation() override { return FOrientation; }

    void SetOrientation(int orientation) override
    {
        FOrientation = orientation;
        if (FPaper.Installed())
            FPaper.SetOrientation(orientation);
    }

    PageMetrics Measure() override { return FPaper.Installed() ? FPaper.Measure() : PageMetrics{}; }
    int Copies() override { return FCopies; }
    void SetCopies(int copies) override { FCopies = copies; }
    void BeginDocument(const QString&) override { FWritten = false; }

    bool Transfer(const QImage& page) override
    {
        QImageWriter writer(FFileName);
        // Qt's default PNG compression spends seconds on a photograph's page for a file hardly smaller.
        if (QFileInfo(FFileName).suffix().compare("png", Qt::CaseInsensitive) == 0)
            writer.setQuality(kPngQuality);
        FWritten = writer.write(page);
        return FWritten;
    }

    bool EndDocument() override { return FWritten; }

    void AbortDocument() override
    {
        if (FWritten)
            QFile::remove(FFileName);
        FWritten = false;
    }

    bool Setup(QWidget*) override { return false; }

private:
    QString FFileName;
    QueuePrinterPort FPaper{QString()};
    int FOrientation = 0;
    int FCopies = 1;
    bool FWritten = false;
};

std::unique_ptr<PrinterPort>& ActivePort()
{
    static std::unique_ptr<PrinterPort> port;
    return port;
}

}  // namespace

PrinterPort& ActivePrinter()
{
    std::unique_ptr<PrinterPort>& port = ActivePort();
    if (!port)
        port = NewQueuePrinter();
    return *port;
}

std::unique_ptr<PrinterPort> SetActivePrinter(std::unique_ptr<PrinterPort> port)
{
    std::swap(ActivePort(), port);
    return port;
}

std::unique_ptr<PrinterPort> NewQueuePrinter(const QString& queue)
{
    return std::make_unique<QueuePrinterPort>(queue);
}

bool CanPrintToFile(const QString& fileName)
{
    const QByteArray suffix = QFileInfo(fileName).suffix().toLower().toLatin1();
    return suffix == "pdf" || QImageWriter::supportedImageFormats().contains(suffix);
}

std::unique_ptr<PrinterPort> NewFilePrinter(const QString& fileName)
{
    if (!CanPrintToFile(fileName))
        return nullptr;
    if (QFileInfo(fileName).suffix().compare("pdf", Qt::CaseInsensitive) == 0)
        return std::make_unique<PdfFilePrinterPort>(fileName);
    return std::make_unique<ImageFilePrinterPort>(fileName);
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

void SetPrinterOrientation(int orientation)
{
    ActivePrinter().SetOrientation(orientation);
}

PageMetrics MeasurePrinterPage()
{
    return ActivePrinter().Measure();
}

int ScreenPixelsPerInch()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 0;
}

}  // namespace platform
