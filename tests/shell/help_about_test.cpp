#include "shell_fixture.h"

#include "common/desktop_opener.h"
#include "common/paths.h"
#include "shell/session_end.h"
#include "support/help.h"
#include "support/ui/compact_splash.h"
#include "testlib/scoped_hook.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

namespace {

QString HelpFolder()
{
    return GetPaths().DataFolder("Help") + "Pictavo/";
}

// Whether the splash is on the screen while the window is being built, seen from inside its start-up wait.
bool SplashShownAtStart(const QStringList& arguments)
{
    TCompactSplash::WaitCeilingMs = 300;
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            shown = shown || (widget->objectName() == "SplashWindow" && widget->isVisible());
    });
    auto window = MakeWindow(arguments);
    QCoreApplication::processEvents();
    TCompactSplash::WaitCeilingMs = 0;
    EXPECT_FALSE(window->Splash->Window->isVisible());
    return shown;
}

class RecordedOpens {
public:
    QStringList Targets;

private:
    ScopedHook<DesktopOpener> FOpener{SetDesktopOpener,
                                      [this](const QString& target, const QString&, const QString&) { Targets << target; }};
};

}  // namespace

TEST(Splash, ShowsOnlyWhenStartedWithoutAPicture)
{
    EXPECT_TRUE(SplashShownAtStart({}));
    EXPECT_FALSE(SplashShownAtStart({HolidayPicture()}));
}

TEST(Splash, TheArchivesPictureIsFramedAndCentred)
{
    auto window = MakeWindow();
    EXPECT_EQ(window->Splash->Picture->pixmap().size(), QSize(510, 310));
    EXPECT_EQ(window->cri.size(), QSize(1, 1));  // its memory went back once the picture was out

    QImage picture(100, 50, QImage::Format_RGB32);
    picture.fill(Qt::red);
    TForm1::FrameSplashPicture(picture);
    ASSERT_EQ(picture.size(), QSize(510, 310));
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(picture.pixelColor(509, 309), QColor(Qt::black));
    EXPECT_EQ(picture.pixelColor(205, 21), QColor(Qt::red));
    EXPECT_EQ(picture.pixelColor(204, 21), QColor(Qt::white));
    EXPECT_EQ(picture.pixelColor(205, 20), QColor(Qt::white));
}

TEST(HelpCommand, F1WritesTheGuideAndOpensItsIndex)
{
    CapturedErrors errors;
    RecordedOpens opens;
    {
        auto window = MakeWindow();
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_F1);
        EXPECT_EQ(opens.Targets, QStringList{HelpFolder() + "index.html"});
        EXPECT_TRUE(errors.Messages.empty());
        // Every packed page is on disk.
        EXPECT_EQ(QDir(HelpFolder()).entryList(QDir::Files).size(), window->Help->Box.Count());
        EXPECT_FALSE(window->IsBusy());
    }
    EXPECT_FALSE(QFileInfo::exists(HelpFolder()));
}

TEST(AboutCommand, ShowsTheSplashWindowModally)
{
    auto window = MakeWindow();
    QString title;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        title = window->Splash->Window->windowTitle();
        modal = window->Splash->Window->isModal();
        QTest::keyClick(window->Splash->Window.get(), Qt::Key_Escape);
    });
    window->About1Click();
    EXPECT_EQ(title, "About Pictavo");
    EXPECT_TRUE(modal);
    EXPECT_FALSE(window->Splash->Window->isVisible());
}

TEST(HelpCommandDeathTest, ATerminationSignalClosesTheWindowAndTakesThePagesAway)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RecordedOpens opens;
    EXPECT_EXIT(
        {
            auto window = MakeWindow();
            ConnectSessionEnd(*window);
            window->OnlineHelp1Click();
            if (!QFileInfo::exists(HelpFolder() + "index.html"))
                std::_Exit(3);
            std::raise(SIGTERM);
            QTest::qWait(5000);
            std::_Exit(4);  // not reached: the signal ends the process through the shutdown
        },
        testing::ExitedWithCode(0), "");
    EXPECT_FALSE(QFileInfo::exists(HelpFolder()));
}
