// Printing: one page rendered into a memory-bounded bitmap and stretched over the printable page by the active
// printer port.
#include "engine/ui/pictavo.h"

#include "common/failure_texts.h"
#include "common/file_problems.h"
#include "common/guarded.h"
#include "common/translate.h"
#include "engine/layout.h"
#include "engine/print_page.h"
#include "platform/printer.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int kMinCopies = 1;
constexpr int kMaxCopies = 99;

// Where the picture lies on a page bitmap of the given size, laid out with the preview's computation in bitmap
// pixels, for a picture of pictureSize.
TStretchRect PrintLayout(const TPictavo& engine, QSize size, QSize pictureSize)
{
    TPictavoInfo info = *engine.Info();
    info.PageWidth = engine.PageWidth();
    info.PageHeight = engine.PageHeight();
    info.PictureWidth = pictureSize.width();
    info.PictureHeight = pictureSize.height();
    info.ScaleX = Extended(size.width()) / engine.PageWidth();
    info.ScaleY = Extended(size.height()) / engine.PageHeight();
    // A custom-placed picture keeps its strip on the printed page, the way the preview keeps it on the sheet.
    TLayoutDevice device;
    device.DpiX = engine.DpiX();
    device.DpiY = engine.DpiY();
    device.ScreenPPI = engine.ScreenPPI();
    device.ClientWidth = size.width();
    device.ClientHeight = size.height();
    ComputeLayout(info, device);
    return TStretchRect{info.OutLeft, info.OutTop, info.OutWidth, info.OutHeight};
}

// The page bitmap of one attempt.
QImage RenderPrintPage(const TPictavo& engine, QSize size)
{
    if (size.width() < 1 || size.height() < 1)
        return {};
    const TStretchRect rect = PrintLayout(engine, size, engine.PictureSize());
    return RenderPageBitmap(engine.Picture(), size, rect, engine.BackgroundColor());
}

}  // namespace

bool TPictavo::PrinterInstalled()
{
    if (platform::PrinterInstalled())
        return true;
    const QString queue = platform::MissingPrinterQueue();
    LastError = queue.isEmpty() ? Translate(kNoPrinterInstalled) : MissingQueueText(queue);
    return false;
}

QString TPictavo::MissingQueueText(const QString& queue)
{
    return FileMessage(queue, Translate(kNoSuchPrinter));
}

bool TPictavo::CanPrint()
{
    if (FEmpty || FPrinting)
        return false;
    return PrinterInstalled();
}

bool TPictavo::Print()
{
    LastError = kOutOfMemory;
    if (!CanPrint())
        return false;
    bool success = false;
    FPrinting = true;
    const QString stopped = Guarded([&] {
        SetInfo(FInfo);
        Changed();
        platform::TPrinterPort& printer = platform::ActivePrinter();
        const QSize first(QualitySize(FInfo, FPrintWidth), QualitySize(FInfo, FPrintHeight));
        printer.BeginDocument(FInfo.JobTitle);
        const auto sizeForBudget = [this](std::int32_t budget) {
            std::int32_t w = 0;
            std::int32_t h = 0;
            PrintBitmapSize(budget, w, h);
            return QSize(w, h);
        };
        const auto attempt = [this, &printer](QSize size, std::int32_t budget) {
            const QImage page = RenderPrintPage(*this, size);
            FInfo.PrintWidth = size.width();
            FInfo.PrintHeight = size.height();
            FInfo.PrintMemoryUsed = budget;
            if (page.isNull())
                return TTransferResult::Failed;
            if (printer.Transfer(page))
                return TTransferResult::Accepted;
            return printer.Failure().Reason.isEmpty() ? TTransferResult::Refused : TTransferResult::Broken;
        };
        const TPrintAttemptsResult run = RunPrintAttempts(first, FPrintMemory, sizeForBudget, attempt);
        // A job without a good page is dropped rather than sent as a blank sheet.
        if (run.Success) {
            success = printer.EndDocument();
            if (!success)
                LastError = kTaskFailed;
        } else {
            printer.AbortDocument();
        }
        FInfo.PrintPercent = PrintPercent(run.Budget, FPrintMemory);
        if (const platform::TPortFailure failure = printer.Failure(); !success && !failure.Reason.isEmpty()) {
            SetFileError(failure.File, failure.Reason);
        }
    });
    if (!stopped.isEmpty())
        success = false;
    FPrinting = false;
    Changed();
    return success;
}

// The page goes into the file through the same port a print to a file from the command line uses, on the default
// printer's paper or, without a printer, on A4 (PDF) or the fallback page (pictures). The window's printer and
// its page come back afterwards, whatever the outcome.
bool TPictavo::PrintToFile(const QString& fileName)
{
    LastError = kUnsupportedFormat;
    std::unique_ptr<platform::TPrinterPort> file = platform::NewFilePrinter(fileName);
    if (!file)
        return false;
    const int copies = Copies();
    struct TRestorePrinter {
        TPictavo& Engine;
        std::unique_ptr<platform::TPrinterPort> Printer;
        ~TRestorePrinter()
        {
            platform::SetActivePrinter(std::move(Printer));
            Engine.Refresh();
        }
    } restore{*this, platform::SetActivePrinter(std::move(file))};
    SetCopies(copies);
    LayoutPage();
    return Print();
}

bool TPictavo::PrinterSetup() noexcept
{
    return GuardedOr(false, [&] {
        platform::TPrinterPort& printer = platform::ActivePrinter();
        if (!printer.Setup(FForm))
            return false;
        // Read back directly: the dialog already changed the printer, so SetInfo must not set it again.
        FInfo.Orientation = printer.Orientation() == kOrientationLandscape ? kOrientationLandscape : kOrientationPortrait;
        Refresh();
        return true;
    });
}

int TPictavo::Copies() const
{
    return GuardedOr(1, [] { return std::max(platform::ActivePrinter().Copies(), 1); });
}

void TPictavo::SetCopies(int n)
{
    Guarded([&] { platform::ActivePrinter().SetCopies(std::clamp(n, kMinCopies, kMaxCopies)); });
    Changed();
}

void TPictavo::SetPrintMemory(std::int32_t bytes)
{
    if (bytes <= 0)
        bytes = std::numeric_limits<std::int32_t>::max();
    if (bytes == FPrintMemory)
        return;
    FPrintMemory = bytes;
    LayoutPage();
}

QSize TPictavo::PrintedPictureSize(QSize fullSize) const
{
    // The page bitmap the first attempt will use: the one the layout after the open computes from this page.
    std::int32_t w = 0;
    std::int32_t h = 0;
    PrintBitmapSize(FPrintMemory, w, h);
    const QSize size(QualitySize(FInfo, w), QualitySize(FInfo, h));
    if (size.width() < 1 || size.height() < 1)
        return fullSize;
    const TStretchRect rect = PrintLayout(*this, size, fullSize);
    const auto side = [](std::int64_t n) { return int(std::clamp<std::int64_t>(n < 0 ? -n : n, 1, INT32_MAX)); };
    return QSize(side(rect.Width), side(rect.Height));
}

std::int32_t TPictavo::QualitySize(const TPictavoInfo& info, std::int32_t value) const
{
    switch (info.Quality) {
    case kQualityLow:
        return value / 4;
    case kQualityMedium:
        return value / 2;
    default:
        return value;
    }
}

QString TPictavo::CopiesText() const
{
    const int n = Copies();
    return QString::number(n) + " " + Translate(n > 1 ? "copies" : "copy");
}
