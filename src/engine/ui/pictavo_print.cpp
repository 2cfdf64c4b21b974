// Printing: placeholders until the page bitmap and the printing service are wired in.
#include "engine/ui/pictavo.h"

#include "common/translate.h"
#include "platform/printer.h"

#include <limits>

bool TPictavo::PrinterInstalled()
{
    if (platform::PrinterInstalled())
        return true;
    LastError = Translate("No printer installed");
    return false;
}

bool TPictavo::CanPrint()
{
    if (FEmpty || FPrinting)
        return false;
    return PrinterInstalled();
}

bool TPictavo::Print()
{
    LastError = "Out of memory";
    return false;
}

bool TPictavo::PrinterSetup()
{
    return false;
}

int TPictavo::Copies() const
{
    return 1;
}

void TPictavo::SetCopies(int n)
{
    Q_UNUSED(n);  // the printer keeps the copies; nothing to hand them to yet
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

std::int32_t TPictavo::QualitySize(const TPictavoInfo& info, std::int32_t value) const
{
    switch (info.Quality) {
    case 0:
        return value / 4;
    case 1:
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
