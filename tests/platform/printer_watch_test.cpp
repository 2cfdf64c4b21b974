// The printer list is kept and asked for again in the background, so reading it never waits for CUPS.
#include "platform/printer_watch.h"
#include "testlib/scoped_hook.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <future>

#include <gtest/gtest.h>

namespace {

// The watch's question as a hook a scope can install.
ScopedHook<platform::TPrinterWatch::Query>::Setter Asking(platform::TPrinterWatch& watch)
{
    return [&watch](platform::TPrinterWatch::Query query) { return watch.SetQuery(std::move(query)); };
}

TEST(PrinterWatch, ReadingNeverWaitsAndChangesAreAnnounced)
{
    platform::TPrinterWatch& watch = platform::TPrinterWatch::Instance();
    // CUPS as the test scripts it: the second question hangs, like a scheduler behind a slow network, until
    // the test lets it answer that "lab" went away.
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::atomic<int> asked = 0;
    const ScopedHook<platform::TPrinterWatch::Query> query(Asking(watch), [&asked, released] {
        if (++asked == 1)
            return platform::TPrinterList{{"office", "lab"}, "lab"};
        released.wait();
        return platform::TPrinterList{{"office"}, ""};
    });
    QSignalSpy changed(&watch, &platform::TPrinterWatch::Changed);

    // The first answer is waited for; a fresh one is not asked again.
    EXPECT_EQ(watch.Printers().Chosen(), "lab");
    EXPECT_EQ(watch.Printers().Names.size(), 2);
    EXPECT_EQ(asked, 1);

    // Once it is old, reading starts a question that hangs, and still answers at once with what it knows.
    QTest::qWait(platform::TPrinterWatch::kRefreshMs + 100);
    EXPECT_EQ(watch.Printers().Chosen(), "lab");
    EXPECT_EQ(watch.Printers().Chosen(), "lab");
    EXPECT_TRUE(QTest::qWaitFor([&] { return asked == 2; }));
    EXPECT_EQ(changed.size(), 0);

    release.set_value();
    EXPECT_TRUE(changed.wait(5000));  // no early return: the hanging question must be let go
    EXPECT_EQ(watch.Printers().Chosen(), "office");  // no default: the first one listed
    EXPECT_EQ(asked, 2);
}

// A scheduler that accepts and never answers holds nothing up for long: the first read gives up after a while
// with no printers, and the answer is announced whenever it comes.
TEST(PrinterWatch, AFirstAnswerThatHangsIsNotWaitedFor)
{
    platform::TPrinterWatch& watch = platform::TPrinterWatch::Instance();
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    const ScopedHook<platform::TPrinterWatch::Query> query(Asking(watch), [released] {
        released.wait();
        return platform::TPrinterList{{"office"}, "office"};
    });
    QSignalSpy changed(&watch, &platform::TPrinterWatch::Changed);
    EXPECT_TRUE(watch.Printers().Names.isEmpty());
    release.set_value();
    EXPECT_TRUE(changed.wait(5000));
    EXPECT_EQ(watch.Printers().Chosen(), "office");
}

}  // namespace
