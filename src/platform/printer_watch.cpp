#include "platform/printer_watch.h"

#include <QThreadPool>

#include <cups/cups.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace platform {
namespace {

// Straight from libcups, which keeps its connection per thread and is safe off the GUI thread (Qt's print
// plugin is not), naming the queues as Qt's QPrinterInfo names them.
TPrinterList AskCups()
{
    TPrinterList list;
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    for (int i = 0; i < count; ++i) {
        QString name = QString::fromLocal8Bit(dests[i].name);
        if (dests[i].instance)
            name += u'/' + QString::fromLocal8Bit(dests[i].instance);
        if (dests[i].is_default)
            list.DefaultName = name;
        list.Names << name;
    }
    cupsFreeDests(count, dests);
    return list;
}

}  // namespace

QString TPrinterList::Chosen() const
{
    if (!DefaultName.isEmpty() && Names.contains(DefaultName))
        return DefaultName;
    return Names.value(0);
}

TPrinterWatch::TPrinterWatch() : FQuery(AskCups) {}

TPrinterWatch& TPrinterWatch::Instance()
{
    // Never destroyed: a background answer may still be posted to it while the process ends.
    static TPrinterWatch* const watch = new TPrinterWatch;
    return *watch;
}

// One question's answer, for the first read to wait on.
struct TPrinterWatch::Answer {
    std::mutex Mutex;
    std::condition_variable Ready;
    std::optional<TPrinterList> List;
};

const TPrinterList& TPrinterWatch::Printers()
{
    if (!FAsked.isValid()) {
        const std::shared_ptr<Answer> answer = AskInBackground();
        std::unique_lock lock(answer->Mutex);
        if (answer->Ready.wait_for(lock, std::chrono::milliseconds(kFirstAnswerMs), [&] { return answer->List.has_value(); }))
            FList = *answer->List;
        FAsked.start();
    } else if (!FAsking && FAsked.hasExpired(kRefreshMs)) {
        AskInBackground();
    }
    return FList;
}

TPrinterWatch::Query TPrinterWatch::SetQuery(Query query)
{
    Query previous = std::move(FQuery);
    FQuery = query ? std::move(query) : Query(AskCups);
    ++FEpoch;
    FAsking = false;
    FAsked.invalidate();
    FList = {};
    return previous;
}

std::shared_ptr<TPrinterWatch::Answer> TPrinterWatch::AskInBackground()
{
    // Never destroyed, so that a question that never ends cannot hold up the end of the process.
    static QThreadPool* const pool = new QThreadPool;
    FAsking = true;
    auto answer = std::make_shared<Answer>();
    pool->start([this, answer, query = FQuery, epoch = FEpoch] {
        TPrinterList list = query();
        {
            std::lock_guard lock(answer->Mutex);
            answer->List = list;
        }
        answer->Ready.notify_all();
        QMetaObject::invokeMethod(
            this, [this, list = std::move(list), epoch] { Arrived(list, epoch); }, Qt::QueuedConnection);
    });
    return answer;
}

void TPrinterWatch::Arrived(const TPrinterList& list, int epoch)
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
