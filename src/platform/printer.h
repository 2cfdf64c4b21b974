#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <memory>

class QPrintDialog;
class QWidget;

// The program's one printer. Everything the engine asks of a printer goes through the active TPrinterPort: by
// default the desktop's default CUPS queue, otherwise a named queue or a file chosen on the command line, and in
// tests a port that can be made to refuse.
namespace platform {

struct TPageMetrics {
    int Width = 0;   // printable width in printer pixels; 0 when unreadable
    int Height = 0;  // printable height in printer pixels; 0 when unreadable
    int DpiX = 0;    // printer pixels per inch; 0 when unreadable
    int DpiY = 0;
    bool Inches = false;  // a paper size defined in inches (Letter, Legal...)
};

struct TPortFailure {
    QString File;
    QString Reason;
};

class TPrinterPort {
public:
    virtual ~TPrinterPort() = default;

    // True when there is something to print on.
    virtual bool Installed() = 0;
    // The queue this port was asked for by name when the desktop does not have it now; empty otherwise.
    virtual QString MissingQueue() const { return {}; }
    // kOrientationPortrait or kOrientationLandscape; set before measuring so the page is measured in that orientation.
    virtual void SetOrientation(int orientation) = 0;
    virtual int Orientation() = 0;
    virtual TPageMetrics Measure() = 0;
    // The printer keeps the number of copies between jobs; 0 when it cannot be read.
    virtual int Copies() = 0;
    virtual void SetCopies(int copies) = 0;

    // One document of one page. Transfer stretches the page bitmap over the whole printable page and answers
    // whether the printer accepted it. EndDocument sends the page; AbortDocument drops the document so that no
    // sheet leaves the printer.
    virtual void BeginDocument(const QString& title) = 0;
    virtual bool Transfer(const QImage& page) = 0;
    virtual bool EndDocument() = 0;
    virtual void AbortDocument() = 0;

    // The platform's print dialog over this printer; true when the user confirmed it.
    virtual bool Setup(QWidget* parent) = 0;

    // Why the last document could not be written and which file it concerns; an empty reason when the port has
    // nothing to add. A port that reports one gives up: retrying at a smaller size cannot help.
    virtual TPortFailure Failure() const { return {}; }
};

// The port every printer function below uses. Created on first use as the default CUPS queue.
TPrinterPort& ActivePrinter();
// Replaces the active port (tests, the command line); returns the previous one.
std::unique_ptr<TPrinterPort> SetActivePrinter(std::unique_ptr<TPrinterPort> port);

// The CUPS queue of that name, or the desktop's default queue for an empty name.
std::unique_ptr<TPrinterPort> NewQueuePrinter(const QString& queue = {});
// Prints into a file: a PDF page for a name ending in ".pdf", else the page bitmap itself in the image format of
// the name's extension (PNG, BMP, JPEG, TIFF, PPM); null for a name CanPrintToFile (engine/print_file.h) refuses.
// The file is written whole or not at all (see WritePageFile), only when the document ends.
std::unique_ptr<TPrinterPort> NewFilePrinter(const QString& fileName);
// Writes a page bitmap into an image file of the name's format, replacing an old file only once the new one is
// complete. False with the reason in a person's words.
bool WritePageFile(const QString& fileName, const QImage& page, QString& reason);

// Runs the print dialog. The default shows it modally; tests replace it, since nobody answers a modal dialog
// there. Returns the previous runner; an empty function restores the default.
using PrintDialogRunner = std::function<bool(QPrintDialog& dialog)>;
PrintDialogRunner SetPrintDialogRunner(PrintDialogRunner runner);

// The active port's answers, for the engine's layout.
bool PrinterInstalled();
QString MissingPrinterQueue();
void SetPrinterOrientation(int orientation);
TPageMetrics MeasurePrinterPage();

// Logical pixels per inch of the primary screen; 0 when there is no screen.
int ScreenPixelsPerInch();

}  // namespace platform
