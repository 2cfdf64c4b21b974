#include "platform/printer_watch.h"

#include <QPrinterInfo>
#include <QThreadPool>

namespace platform {
namespace {

// Qt's CUPS plugin answers both from libcups, which keeps its connection per thread; the plugin itself is loaded
// by the first, waited-for answer on the GUI thread.
PrinterList AskCups()
{
    PrinterList list;
    list.Names = QPrinterInfo::availablePrinterNames();
    list.DefaultName = QPrinterInfo::defaultPrinterName();
    return list;
}

}  // namespace

QString PrinterList::Chosen() const
{
    if (!DefaultName.isEmpty() && Names.contains(DefaultName))
        return DefaultName;
    return Names.value(0);
}

PrinterWatch::PrinterWatch() : FQuery(AskCups) {}

PrinterWatch& PrinterWatch::Instance()
{
    // Never destroyed: a background answer may still be posted to it while the process ends.
    static PrinterWatch* const watch = new PrinterWatch;
    return *watch;
}

const PrinterList& PrinterWatch::Printers()
{
    if (!FAsked.isValid()) {
        FList = FQuery();
        FAsked.start();
    } else if (!FAsking && FAsked.hasExpired(kRefreshMs)) {
        AskInBackground();
    }
    return FList;
}

PrinterWatch::Query PrinterWatch::SetQuery(Query query)
{
    Query previous = std::move(FQuery);
    FQuery = query ? std::move(query) : Query(AskCups);
    ++FEpoch;
    FAsking = false;
    FAsked.invalidate();
    return previous;
}

void PrinterWatch::AskInBackground()
{
    FAsking = true;
    QThreadPool::globalInstance()->start([this, query = FQuery, epoch = FEpoch] {
        PrinterList list = query();
        QMetaObject::invokeMethod(
            this, [this, list = std::move(list), epoch] { Arrived(list, epoch); }, Qt::QueuedConnection);
    });
}

void PrinterWatch::Arrived(const PrinterList& list, int epoch)
{
    if (epoch != FEpoch)
        return;
    FAsking = false;
    FAsked.start();
    if (list == FList)
        return;
    FList = list;
    emit Changed();
}

}  // namespace platform
