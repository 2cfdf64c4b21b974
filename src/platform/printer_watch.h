#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace platform {

// The desktop's printers as CUPS last listed them.
struct TPrinterList {
    QStringList Names;
    QString DefaultName;  // empty when no queue is marked default

    bool operator==(const TPrinterList&) const = default;
    // The queue the default port prints on: the default one, else the first listed; empty when there is none.
    QString Chosen() const;
};

// Asking CUPS for its printers can take seconds, or never end (a network printer, a scheduler that accepts and
// does not answer), and the window asks on every timer tick. So the answer is kept here and asked for again in
// the background, at most every kRefreshMs and only when someone reads it after that: the window never waits,
// except for the very first answer, which a print from the command line needs at once, and that only up to
// kFirstAnswerMs. Changed is emitted on the GUI thread whenever a new answer differs from the last, so the page
// and the sheet follow a printer that comes or goes.
class TPrinterWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 1500;
    static constexpr int kFirstAnswerMs = 2000;
    using Query = std::function<TPrinterList()>;

    static TPrinterWatch& Instance();

    // The last answer; starts a background refresh when it is older than kRefreshMs.
    const TPrinterList& Printers();
    // Replaces how CUPS is asked (tests) and forgets the last answer; an empty query restores the real one.
    // Answers still on their way from the previous query are dropped. Returns the previous query.
    Query SetQuery(Query query);

signals:
    void Changed();

private:
    struct Answer;

    TPrinterWatch();
    std::shared_ptr<Answer> AskInBackground();
    void Arrived(const TPrinterList& list, int epoch);

    Query FQuery;
    TPrinterList FList;
    QElapsedTimer FAsked;  // invalid until the first answer
    bool FAsking = false;
    int FEpoch = 0;
};

}  // namespace platform
