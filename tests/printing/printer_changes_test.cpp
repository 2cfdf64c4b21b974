// Printers that go away and come back while the program runs, on the private scheduler.
#include "engine/ui/pictavo.h"
#include "platform/printer.h"
#include "printing/printing_env.h"
#include "testlib/scoped_hook.h"
#include "testlib/test_env.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QStringList kQueues{"pictavo-pdf", "pictavo-second"};

bool Lpadmin(const QStringList& args)
{
    return RunProgram("lpadmin", args).Status == 0;
}

// Adds the suite's queues back as the scheduler's start-up added them, the first one as the default.
bool AddQueues()
{
    const QString out = qEnvironmentVariable("PICTAVO_CUPS_DIR") + "/out";
    for (const QString& queue : kQueues)
        if (!Lpadmin({"-p", queue, "-E", "-v", "pictavotest:" + out, "-P", TestDataPath("../cups/pictavo-test.ppd")}))
            return false;
    return Lpadmin({"-d", kQueues.first()});
}

// Runs the event loop, asking for the printer as the window's timer does, until done holds (at most 10 s).
bool Follows(TPictavo& engine, const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        engine.CanPrint();
        QCoreApplication::processEvents();
        if (done())
            return true;
        QThread::msleep(100);
    }
    return false;
}

TEST(PrinterChanges, ThePageFollowsPrintersThatGoAndComeBack)
{
    SKIP_WITHOUT_SCHEDULER();
    const ScopedHook port(platform::SetActivePrinter, platform::NewQueuePrinter());
    TPictavo engine;
    engine.Refresh();
    ASSERT_TRUE(engine.PrinterInstalled());
    const int a4Width = engine.PageWidth();
    ASSERT_NE(a4Width, 2400);

    // The later tests need the queues whatever happens here.
    struct QueuesBack {
        ~QueuesBack() { AddQueues(); }
    } queuesBack;
    for (const QString& queue : kQueues)
        ASSERT_TRUE(Lpadmin({"-x", queue}));
    EXPECT_TRUE(Follows(engine, [&] { return !engine.PrinterInstalled() && engine.PageWidth() == 2400; }));
    EXPECT_EQ(engine.Info()->PageWidthMM, 203);  // the fallback page

    ASSERT_TRUE(AddQueues());
    EXPECT_TRUE(Follows(engine, [&] { return engine.PrinterInstalled() && engine.PageWidth() == a4Width; }));
}

}  // namespace
