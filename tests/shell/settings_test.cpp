#include "shell_fixture.h"

#include "engine/ui/pictavo.h"
#include "platform/printer.h"
#include "shell/session_end.h"
#include "shell/settings.h"
#include "testlib/scoped_hook.h"
#include "testlib/test_env.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>
#include <gtest/gtest.h>

namespace {

QString SettingsPath()
{
    return SettingsFileName("INI");
}

QByteArray ReadSettings()
{
    QFile file(SettingsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteSettings(const QByteArray& text)
{
    QFile file(SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// A printer that keeps its number of copies, as a real one does; the default queue does not exist here.
class FilePrinter {
    ScopedHook<std::unique_ptr<platform::TPrinterPort>> FPort{platform::SetActivePrinter,
                                                              platform::NewFilePrinter(NewTestFolder() + "/page.png")};
};

class Settings : public testing::Test {
protected:
    void SetUp() override { QFile::remove(SettingsPath()); }
    void TearDown() override
    {
        QFile::setPermissions(QFileInfo(SettingsPath()).absolutePath(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile::setPermissions(SettingsPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QFile::remove(SettingsPath());
    }
    FilePrinter Printer;
};

TEST_F(Settings, WithoutAFileTheDefaultsStay)
{
    auto window = MakeWindow();
    const TPictavo& engine = *window->Engine;
    EXPECT_TRUE(window->ButtonBarVisible());
    EXPECT_EQ(engine.Info()->Scale, kScaleFitToPage);
    EXPECT_EQ(engine.Info()->Position, kPositionCenter);
    EXPECT_EQ(engine.BackColor(), 0xFF0000);
    EXPECT_FALSE(engine.UseBackColor());
    EXPECT_EQ(window->size(), QSize(window->minimumWidth(), 374));
    EXPECT_TRUE(window->AutoRotate);
    EXPECT_FALSE(QFileInfo::exists(SettingsPath()));
}

TEST_F(Settings, AFileWithOnlyTheSectionReadsEveryKeyAsZeroOrOff)
{
    WriteSettings("[Settings]\n");
    auto window = MakeWindow();
    const TPictavo& engine = *window->Engine;
    EXPECT_FALSE(window->ButtonBarVisible());
    EXPECT_EQ(engine.Info()->Scale, kScaleActualSize);
    EXPECT_EQ(engine.Info()->Position, kPositionTopLeft);
    EXPECT_EQ(engine.BackColor(), 0);
    EXPECT_FALSE(engine.UseBackColor());
    EXPECT_EQ(engine.Copies(), 1);
    EXPECT_EQ(window->size(), QSize(window->minimumWidth(), 300));
    // A key newer than the file keeps its default.
    EXPECT_TRUE(window->AutoRotate);
}

TEST_F(Settings, ValuesAreReadByTheFilesRules)
{
    WriteSettings("[Settings]\nautoclose=1\nAutoPrint=yes\nCopies=250\nQuality=-1\nPosition=260\n"
                  "Width=2.5\nHeight=abc\nSize=7\nAutoRotate=0\n");
    {
        auto window = MakeWindow();
        const TPictavo& engine = *window->Engine;
        EXPECT_TRUE(engine.AutoClose());
        EXPECT_FALSE(engine.AutoPrint());  // only "1" is on
        EXPECT_EQ(engine.Copies(), 99);
        EXPECT_EQ(engine.Info()->Quality, 2);   // 255, clamped
        EXPECT_EQ(engine.Info()->Position, 4);  // the low 8 bits of 260
        EXPECT_EQ(window->size(), QSize(window->minimumWidth(), 300));
        EXPECT_EQ(engine.ViewSize(), 1);
        EXPECT_FALSE(window->AutoRotate);
    }
    WriteSettings("[Settings]\nCopies=0\nQuality=258\nWidth=640.5\nHeight=481\n");
    auto window = MakeWindow();
    EXPECT_EQ(window->Engine->Copies(), 1);
    EXPECT_EQ(window->Engine->Info()->Quality, 2);
    EXPECT_EQ(window->size(), QSize(640, 481));
}

TEST_F(Settings, ASaveThenALoadGivesBackEveryValue)
{
    {
        auto window = MakeWindow();
        TPictavo& engine = *window->Engine;
        engine.SetAutoClose(true);
        engine.SetAutoPrint(true);
        engine.SetToolbarOnTop(true);
        window->SetButtonBarVisible(false);
        engine.SetCopies(7);
        TPictavoInfo info = *engine.Info();
        info.Quality = 1;
        info.Position = kPositionCustom;
        info.Scale = kScaleCustom;
        info.Orientation = 1;
        info.X = 120;
        info.Y = -40;
        info.ZoomX = 150;
        info.ZoomY = 75;
        info.ZoomXY = 300;
        engine.SetInfo(info);
        window->resize(640, 480);
        engine.SetViewSize(kViewCloseUp);
        engine.SetBackground(0x123456, true);
        window->AutoRotate = false;
        window->SaveSettingsIfAllowed();
    }
    // One line a key under the section, no key twice; the colour as a decimal number.
    const QList<QByteArray> lines = ReadSettings().split('\n');
    ASSERT_GT(lines.size(), 2);
    EXPECT_EQ(lines.first(), "[Settings]");
    EXPECT_EQ(lines.last(), "");
    QSet<QByteArray> keys;
    for (const QByteArray& line : lines.mid(1, lines.size() - 2)) {
        EXPECT_GT(line.indexOf('='), 0) << line.data();
        keys.insert(line.left(line.indexOf('=')));
    }
    EXPECT_EQ(keys.size(), lines.size() - 2);
    EXPECT_TRUE(lines.contains("BkColor=1193046"));
    auto window = MakeWindow();
    const TPictavo& engine = *window->Engine;
    EXPECT_TRUE(engine.AutoClose());
    EXPECT_TRUE(engine.AutoPrint());
    EXPECT_TRUE(engine.ToolbarOnTop());
    EXPECT_FALSE(window->ButtonBarVisible());
    EXPECT_EQ(engine.Copies(), 7);
    const TPictavoInfo& info = *engine.Info();
    EXPECT_EQ(std::tuple(info.Quality, info.Position, info.Scale, info.Orientation), std::tuple(1, 5, 4, 1));
    EXPECT_EQ(std::tuple(info.X, info.Y, info.ZoomX, info.ZoomY, info.ZoomXY), std::tuple(120, -40, 150, 75, 300));
    EXPECT_EQ(window->size(), QSize(640, 480));
    EXPECT_EQ(engine.ViewSize(), 1);
    EXPECT_EQ(engine.BackColor(), 0x123456);
    EXPECT_TRUE(engine.UseBackColor());
    EXPECT_FALSE(window->AutoRotate);
}

TEST_F(Settings, WhatTheProgramDoesNotKnowSurvivesASave)
{
    WriteSettings("; written by hand\n[Settings]\nFuture=keep\ncopies=3\n\n[Other]\nWidth=1\n");
    MakeWindow()->SaveSettingsIfAllowed();
    const QByteArray text = ReadSettings();
    EXPECT_TRUE(text.startsWith("; written by hand\n[Settings]\nFuture=keep\ncopies=3\nAutoClose=0\n")) << text.data();
    EXPECT_TRUE(text.endsWith("AutoRotate=1\n\n[Other]\nWidth=1\n")) << text.data();
}

TEST_F(Settings, AFileThatCannotBeWrittenStaysAsItWasWithoutAMessage)
{
    CapturedErrors errors;
    const QByteArray old = "[Settings]\nCopies=3\n";
    WriteSettings(old);
    auto window = MakeWindow();
    window->Engine->SetCopies(5);

    ASSERT_TRUE(QFile::setPermissions(SettingsPath(), QFileDevice::ReadOwner));
    window->SaveSettingsIfAllowed();
    EXPECT_EQ(ReadSettings(), old);

    ASSERT_TRUE(QFile::setPermissions(SettingsPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const QString folder = QFileInfo(SettingsPath()).absolutePath();
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    window->SaveSettingsIfAllowed();
    EXPECT_EQ(ReadSettings(), old);
    EXPECT_TRUE(errors.Messages.empty());
}

// The ways out that end the process run in a child process with the parent's data home, so that the parent
// can read what the child saved.
class SettingsDeathTest : public Settings {
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        Settings::SetUp();
        // The child runs this too, with a data home of its own: the parent's value must stay.
        if (qEnvironmentVariableIsEmpty("PICTAVO_TEST_SHARED_DATA"))
            qputenv("PICTAVO_TEST_SHARED_DATA", qgetenv("XDG_DATA_HOME"));
    }
};

// In the child: the parent's data home, no error boxes, a window with Auto Close switched on.
std::unique_ptr<TForm1> ChildWindow(const QStringList& arguments = {})
{
    qputenv("XDG_DATA_HOME", qgetenv("PICTAVO_TEST_SHARED_DATA"));
    SetErrorBox([](const QString&, const QString&) {});
    auto window = MakeWindow(arguments);
    window->AutoClose1Click();
    ConnectSessionEnd(*window);
    return window;
}

TEST_F(SettingsDeathTest, EveryWayOutSaves)
{
    const std::vector<std::pair<const char*, std::function<void(TForm1&)>>> ways{
        {"Exit", [](TForm1& w) { w.Exit1Click(); }},
        {"Ctrl+Q", [](TForm1& w) {
             w.show();
             QApplication::setActiveWindow(&w);
             EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
             QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
         }},
        {"close box", [](TForm1& w) { w.show(); w.close(); }},
        {"quit", [](TForm1&) { QTimer::singleShot(0, qApp, &QCoreApplication::quit); QApplication::exec(); }},
        {"SIGTERM", [](TForm1&) { std::raise(SIGTERM); QApplication::exec(); }},
        {"SIGINT", [](TForm1&) { std::raise(SIGINT); QApplication::exec(); }},
    };
    for (const auto& [name, way] : ways) {
        SCOPED_TRACE(name);
        QFile::remove(SettingsPath());
        EXPECT_EXIT(
            {
                auto window = ChildWindow();
                way(*window);
                std::_Exit(3);  // not reached: the way out ends the process
            },
            testing::ExitedWithCode(0), "");
        EXPECT_TRUE(ReadSettings().contains("\nAutoClose=1\n"));
    }
}

// Auto Print from the file prints a picture named alone; such a run leaves the file as it was.
TEST_F(SettingsDeathTest, AnAutomaticPrintLeavesTheFileUntouched)
{
    const QByteArray old = "[Settings]\nAutoPrint=1\n";
    WriteSettings(old);
    const QDateTime stamp = QDateTime::currentDateTime().addDays(-1);
    {
        QFile file(SettingsPath());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    }
    // The child runs the test from its start: a path of the shared data home is the same in both.
    const QString page = qEnvironmentVariable("PICTAVO_TEST_SHARED_DATA") + "/auto-printed.png";
    EXPECT_EXIT(
        {
            platform::SetActivePrinter(platform::NewFilePrinter(page));
            auto window = ChildWindow({HolidayPicture()});
            std::_Exit(3);  // not reached: the print ends the process during start-up
        },
        testing::ExitedWithCode(0), "");
    EXPECT_TRUE(QFileInfo::exists(page));
    EXPECT_EQ(ReadSettings(), old);
    EXPECT_EQ(QFileInfo(SettingsPath()).lastModified().toSecsSinceEpoch(), stamp.toSecsSinceEpoch());
}

}  // namespace
