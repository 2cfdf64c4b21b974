// The command line: open, title, settings for this run, printer choice and the automatic print.
#include "common/failure_texts.h"
#include "common/file_problems.h"
#include "engine/command_line.h"
#include "engine/ui/pictavo.h"
#include "platform/printer.h"

#include <cstdio>

namespace {

// A printer named on the command line replaces the default one before the page is first measured for the
// picture; the copies the settings gave stay with the job. A queue the desktop does not have is taken only by a
// run that prints, which then fails naming it; a window keeps the default printer, which Printer Setup can
// change. Returns the queue the window did not take; empty otherwise.
QString UseCommandLinePrinter(TPictavo& engine, const TCommandLine& line, bool printing)
{
    std::unique_ptr<platform::TPrinterPort> port;
    if (!line.PrintTo.isEmpty())
        port = platform::NewFilePrinter(line.PrintTo);
    else if (!line.Printer.isEmpty())
        port = platform::NewQueuePrinter(line.Printer);
    if (!port)
        return {};
    if (const QString missing = port->MissingQueue(); !printing && !missing.isEmpty())
        return missing;
    const int copies = engine.Copies();
    platform::SetActivePrinter(std::move(port));
    engine.SetCopies(copies);
    return {};
}

void ApplyCommandLineSettings(TPictavo& engine, const TCommandLine& line)
{
    if (!line.HasOverrides())
        return;
    TPictavoInfo info = *engine.Info();
    info.Scale = line.Scale.value_or(info.Scale);
    info.Position = line.Position.value_or(info.Position);
    info.Orientation = line.Orientation.value_or(info.Orientation);
    info.Quality = line.Quality.value_or(info.Quality);
    info.X = line.X.value_or(info.X);
    info.Y = line.Y.value_or(info.Y);
    info.ZoomX = line.ZoomX.value_or(info.ZoomX);
    info.ZoomY = line.ZoomY.value_or(info.ZoomY);
    info.ZoomXY = line.ZoomXY.value_or(info.ZoomXY);
    info.Temporary = true;  // for this run only
    engine.SetInfo(info);
    if (line.Copies)
        engine.SetCopies(*line.Copies);
}

void MarkTemporary(TPictavo& engine)
{
    TPictavoInfo info = *engine.Info();
    info.Temporary = true;
    engine.SetInfo(info);
}

}  // namespace

bool TPictavo::ProcessCommandLine(const QStringList& args)
{
    LastError = kOutOfMemory;
    const TCommandLine line = ParseCommandLine(args);
    if (!line.Error.isEmpty()) {
        LastError = line.Error;
        SetCommandLineExitStatus(2);
        return false;
    }
    if (line.Argument(0).isEmpty())
        return true;
    // A file that could never be written is refused before any work, and a pipe is never opened to wait on.
    if (!line.PrintTo.isEmpty()) {
        if (const QString problem = OutputFileProblem(line.PrintTo); !problem.isEmpty()) {
            SetFileError(line.PrintTo, problem);
            MarkTemporary(*this);
            SetCommandLineExitStatus(1);
            return false;
        }
    }
    const bool printing = line.PrintRequested() || FAutoPrint;
    const QString missingQueue = UseCommandLinePrinter(*this, line, printing);
    // A run that prints and ends (the host ends it once the print is done) never shows the picture: its
    // settings come first, so the picture need only be decoded as large as the page will show it.
    const bool printOnly = printing && OnAutoPrinted;
    if (printOnly)
        ApplyCommandLineSettings(*this, line);
    // The picture's own resolution is known only once it is open, so /SCALE=Picture decodes it whole.
    if (!OpenPicture(line.Argument(0), printOnly && !line.ScaleToPictureResolution)) {
        if (line.PrintRequested()) {
            // A script's run that could not print leaves the settings as they were.
            MarkTemporary(*this);
            SetCommandLineExitStatus(1);
        }
        return false;
    }
    if (!line.Argument(1).isEmpty() && !IsAutoPrintSwitch(line.Argument(1))) {
        TPictavoInfo info = FInfo;
        info.Name = line.Argument(1);
        SetInfo(info);
    }
    if (!printOnly)
        ApplyCommandLineSettings(*this, line);
    if (line.ScaleToPictureResolution)
        PrintAtPictureResolution();
    if (line.PrintRequested())
        SetAutoPrint(true);
    if (!FAutoPrint) {
        // The window shows the picture and then says which queue it could not find.
        if (missingQueue.isEmpty())
            return true;
        LastError = MissingQueueText(missingQueue);
        return false;
    }
    MarkTemporary(*this);  // this run's options are not stored at exit
    if (!Print()) {
        SetCommandLineExitStatus(1);
        ShowLastError();
    } else if (line.Verbose) {
        // Measured on the bitmap the page was actually printed from, which a tight memory budget may have shrunk.
        const TPrintReadout readout = Readout(QSize(FInfo.PrintWidth, FInfo.PrintHeight));
        std::fprintf(stderr, "%s\n", qPrintable(VerboseReadoutText(readout)));
    }
    if (OnAutoPrinted)
        OnAutoPrinted(this);
    return true;
}
