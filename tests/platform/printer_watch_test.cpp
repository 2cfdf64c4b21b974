// The printer list is kept and asked for again in the background, so reading it never waits for CUPS.
#include "platform/printer_watch.h"

#include <QSignalSpy>
#include <QTest>

#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

namespace {

// CUPS as the test scripts it: answers with Answer, and from the second question on only once Release is called,
// like a scheduler behind a slow network.
class SlowCups {
public:
    platform::PrinterList Ask()
    {
        std::unique_lock lock(FMutex);
        ++FAsked;
        FReleased.wait(lock, [this] { return FAsked == 1 || FOpen; });
        return FAnswer;
    }
    void Answer(platform::PrinterList answer)
    {
        std::lock_guard lock(FMutex);
        FAnswer = std::move(answer);
    }
    void Release()
    {
        {
            std::lock_guard lock(FMutex);
            FOpen = true;
        }
        FReleased.notify_all();
    }
    int Asked()
    {
        std::lock_guard lock(FMutex);
        return FAsked;
    }

private:
    std::mutex FMutex;
    std::condition_variable FReleased;
    platform::PrinterList FAnswer;
    int FAsked = 0;
    bool FOpen = false;
};

TEST(PrinterWatch, ReadingNeverWaitsAndChangesAreAnnounced)
{
    platform::PrinterWatch& watch = platform::PrinterWatch::Instance();
    SlowCups cups;
    cups.Answer({{"office", "lab"}, "lab"});
    const platform::PrinterWatch::Query previous = watch.SetQuery([&cups] { return cups.Ask(); });
    QSignalSpy changed(&watch, &platform::PrinterWatch::Changed);

    // The first answer is waited for; a fresh one is not asked again.
    EXPECT_EQ(watch.Printers().Chosen(), "lab");
    EXPECT_EQ(watch.Printers().Names.size(), 2);
    EXPECT_EQ(cups.Asked(), 1);

    // Once it is old, reading starts a question that hangs, and still answers at once with what it knows.
    cups.Answer({{"office"}, ""});
    QTest::qWait(platform::PrinterWatch::kRefreshMs + 100);
    EXPECT_EQ(watch.Printers().Chosen(), "lab");
    EXPECT_EQ(watch.Printers().Chosen(), "lab");
    EXPECT_TRUE(QTest::qWaitFor([&] { return cups.Asked() == 2; }));
    EXPECT_EQ(changed.size(), 0);

    cups.Release();
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(watch.Printers().Chosen(), "office");  // no default: the first one listed
    EXPECT_EQ(cups.Asked(), 2);

    watch.SetQuery(previous);
}

}  // namespace
