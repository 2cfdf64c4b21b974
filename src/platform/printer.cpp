#include "platform/printer.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>

#include <memory>

namespace platform {
namespace {

QPrinter* Printer()
{
    static std::unique_ptr<QPrinter> printer;
    if (!printer) {
        if (QPrinterInfo::availablePrinterNames().isEmpty())
            return nullptr;
        printer = std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    }
    return printer.get();
}

}  // namespace

bool PrinterInstalled()
{
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

void SetPrinterOrientation(int orientation)
{
    if (QPrinter* printer = Printer())
        printer->setPageOrientation(orientation == 1 ? QPageLayout::Landscape : QPageLayout::Portrait);
}

PageMetrics MeasurePrinterPage()
{
    PageMetrics metrics;
    QPrinter* printer = Printer();
    if (!printer)
        return metrics;
    const QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
    metrics.width = page.width();
    metrics.height = page.height();
    metrics.dpiX = metrics.dpiY = printer->resolution();
    return metrics;
}

int ScreenPixelsPerInch()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 0;
}

}  // namespace platform
