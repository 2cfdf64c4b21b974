#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace platform {

// The desktop's printers as CUPS last listed them.
struct PrinterList {
    QStringList Names;
    QString DefaultName;  // empty when no queue is marked default

    bool operator==(const PrinterList&) const = default;
    // The queue the default port prints on: the default one, else the first listed; empty when there is none.
    QString Chosen() const;
};

// Asking CUPS for its printers can take seconds (a network printer, a scheduler far away), and the window asks
// on every timer tick. So the answer is kept here and asked for again in the background, at most every
// kRefreshMs and only when someone reads it after that: the window never waits, except for the very first
// answer, which a print from the command line needs at once. Changed is emitted on the GUI thread whenever a
// new answer differs from the last, so the page and the sheet follow a printer that comes or goes.
class PrinterWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 1500;
    using Query = std::function<PrinterList()>;

    static PrinterWatch& Instance();

    // The last answer; starts a background refresh when it is older than kRefreshMs.
    const PrinterList& Printers();
    // Replaces how CUPS is asked (tests) and forgets the last answer; an empty query restores the real one.
    // Answers still on their way from the previous query are dropped. Returns the previous query.
    Query SetQuery(Query query);

signals:
    void Changed();

private:
    PrinterWatch();
    void AskInBackground();
    void Arrived(const PrinterList& list, int epoch);

    Query FQuery;
    PrinterList FList;
    QElapsedTimer FAsked;  // invalid until the first answer
    bool FAsking = false;
    int FEpoch = 0;
};

}  // namespace platform
