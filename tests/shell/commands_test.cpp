#include "shell_fixture.h"

#include "common/desktop_opener.h"
#include "common/paths.h"
#include "engine/ui/pictavo.h"
#include "platform/color_dialog.h"
#include "platform/printer.h"
#include "shell/menu_tree.h"
#include "testlib/scoped_hook.h"
#include "testlib/test_env.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// Opens the menu's OnClick as opening the menu would.
void OpenMenu(TForm1& window, const QString& name)
{
    window.MenuTree().Click(Item(window, name));
}

std::unique_ptr<TForm1> WindowWithPicture()
{
    auto window = MakeWindow();
    EXPECT_TRUE(window->Engine->OpenPicture(HolidayPicture()));
    return window;
}

// Shows the window and makes it the active one, so its shortcuts apply.
void Activate(TForm1& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// Records what the window asks the desktop to open, instead of starting programs or browsers.
class RecordedOpens {
public:
    QStringList Targets;
    QStringList Parameters;

private:
    ScopedHook<DesktopOpener> FOpener{SetDesktopOpener,
                                      [this](const QString& target, const QString& parameters, const QString&) {
                                          Targets << target;
                                          Parameters << parameters;
                                      }};
};

TEST(MenuStates, WithoutAPictureThePictureCommandsAreDisabled)
{
    auto window = MakeWindow();
    OpenMenu(*window, "File1");
    EXPECT_FALSE(Item(*window, "Print1")->isEnabled());
    EXPECT_EQ(Item(*window, "PrinterSetup1")->isEnabled(), platform::PrinterInstalled());
    OpenMenu(*window, "Edit1");
    EXPECT_FALSE(Item(*window, "Copy1")->isEnabled());
    OpenMenu(*window, "Image2");
    for (const char* name : {"Undo1", "Mirror1", "Flip1", "Rotate1", "RotateLeft1", "Invert1"})
        EXPECT_FALSE(Item(*window, name)->isEnabled()) << name;
    OpenMenu(*window, "Options1");
    for (const char* name : {"None1", "N1001", "N2001", "N4001", "N6001", "N8001", "N251", "N501", "N751", "Center1"})
        EXPECT_FALSE(Item(*window, name)->isEnabled()) << name;
}

TEST(MenuStates, WithAPictureThePictureCommandsAreEnabled)
{
    auto window = WindowWithPicture();
    OpenMenu(*window, "Edit1");
    EXPECT_TRUE(Item(*window, "Copy1")->isEnabled());
    OpenMenu(*window, "Image2");
    for (const char* name : {"Mirror1", "Flip1", "Rotate1", "RotateLeft1", "Invert1"})
        EXPECT_TRUE(Item(*window, name)->isEnabled()) << name;
    OpenMenu(*window, "File1");
    EXPECT_EQ(Item(*window, "Print1")->isEnabled(), platform::PrinterInstalled());
}

TEST(MenuStates, UndoWithNothingToUndoIsTheBareCaptionAndABlank)
{
    auto window = WindowWithPicture();
    OpenMenu(*window, "Image2");
    EXPECT_EQ(window->MenuTree().Caption(Item(*window, "Undo1")), "&Undo ");
    EXPECT_FALSE(Item(*window, "Undo1")->isEnabled());
}

TEST(MenuStates, UndoNamesTheLastOperation)
{
    auto window = WindowWithPicture();
    window->N901Click();
    OpenMenu(*window, "Image2");
    EXPECT_EQ(window->MenuTree().Caption(Item(*window, "Undo1")), "&Undo Rotate");
    EXPECT_TRUE(Item(*window, "Undo1")->isEnabled());
}

TEST(MenuStates, PercentItemsFollowTheCustomScaleModes)
{
    auto window = WindowWithPicture();
    TPictavoInfo info = *window->Engine->Info();
    info.Scale = 4;  // Custom
    window->Engine->SetInfo(info);
    OpenMenu(*window, "Options1");
    EXPECT_TRUE(Item(*window, "None1")->isEnabled());
    for (const char* name : {"N1001", "N2001", "N4001", "N6001", "N8001", "N251", "N501", "N751"})
        EXPECT_TRUE(Item(*window, name)->isEnabled()) << name;
    EXPECT_FALSE(Item(*window, "Center1")->isEnabled());  // the position is not Custom
}

TEST(MenuStates, AutoRotateAndThePicturesOwnResolution)
{
    auto window = MakeWindow();
    OpenMenu(*window, "Options1");
    EXPECT_TRUE(Item(*window, "AutoRotate1")->isChecked());
    EXPECT_FALSE(Item(*window, "PrintAtPictureResolution1")->isEnabled());  // no picture
    window->AutoRotate1Click();
    EXPECT_FALSE(window->AutoRotate);
    EXPECT_FALSE(window->Engine->AutoRotate());
    OpenMenu(*window, "Options1");
    EXPECT_FALSE(Item(*window, "AutoRotate1")->isChecked());

    // A 150 pixels per inch bitmap on the 300 dpi page prints at 200%.
    const QString picture = NewTestFolder() + "/dense.bmp";
    QImage dense(30, 20, QImage::Format_RGB888);
    dense.fill(Qt::green);
    dense.setDotsPerMeterX(5906);
    dense.setDotsPerMeterY(5906);
    ASSERT_TRUE(dense.save(picture, "BMP"));
    ASSERT_TRUE(window->Engine->OpenPicture(picture));
    OpenMenu(*window, "Options1");
    ASSERT_TRUE(Item(*window, "PrintAtPictureResolution1")->isEnabled());
    window->PrintAtPictureResolution1Click();
    EXPECT_EQ(window->Engine->Info()->Scale, kScaleCustomFixed);
    EXPECT_NEAR(window->Engine->Info()->ZoomXY, window->Engine->DpiX() * 100 / 150.0, 1.0);
}

TEST(MenuStates, ViewAndToolbarChecksFollowTheEngine)
{
    auto window = MakeWindow();
    window->CloseUp1Click();
    window->Top1Click();
    window->AutoClose1Click();
    OpenMenu(*window, "View1");
    EXPECT_FALSE(Item(*window, "Overall1")->isChecked());
    EXPECT_TRUE(Item(*window, "CloseUp1")->isChecked());
    EXPECT_TRUE(Item(*window, "ButtonBar1")->isChecked());
    EXPECT_FALSE(Item(*window, "U1")->isChecked());
    OpenMenu(*window, "Toolbar1");
    EXPECT_TRUE(Item(*window, "Top1")->isChecked());
    EXPECT_FALSE(Item(*window, "Bottom1")->isChecked());
    OpenMenu(*window, "Options1");
    EXPECT_TRUE(Item(*window, "AutoClose1")->isChecked());
    EXPECT_FALSE(Item(*window, "AutoPrint1")->isChecked());

    window->Overall1Click();
    window->Bottom1Click();
    OpenMenu(*window, "View1");
    EXPECT_TRUE(Item(*window, "Overall1")->isChecked());
    OpenMenu(*window, "Toolbar1");
    EXPECT_TRUE(Item(*window, "Bottom1")->isChecked());
}

TEST(Shortcuts, F3WithoutAPictureDoesNothing)
{
    CapturedErrors errors;
    auto window = MakeWindow();
    Item(*window, "Print1")->setEnabled(true);  // stale state: the File menu's OnClick must run first
    Activate(*window);
    QTest::keyClick(window.get(), Qt::Key_F3);
    EXPECT_FALSE(Item(*window, "Print1")->isEnabled());
    EXPECT_TRUE(errors.Messages.empty());
    EXPECT_FALSE(window->IsBusy());
}

TEST(Shortcuts, F7RotatesRightThroughTheImageMenu)
{
    auto window = WindowWithPicture();
    Activate(*window);
    QTest::keyClick(window.get(), Qt::Key_F7);
    EXPECT_EQ(window->Engine->Picture().size(), QSize(3, 4));
    EXPECT_EQ(window->Engine->UndoInfo().Value, 90);
}

// Escape leaves the focus on the menu bar; each key must still act through its one shortcut.
TEST(Shortcuts, KeysStillActAfterAMenuIsClosedWithEscape)
{
    auto window = WindowWithPicture();
    Activate(*window);
    QTest::keyClick(window.get(), Qt::Key_I, Qt::AltModifier);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_Escape);
    ASSERT_EQ(QApplication::activePopupWidget(), nullptr);
    // Without a window manager the closed menu's late activation would take the window's place.
    QCoreApplication::processEvents();
    QApplication::setActiveWindow(window.get());
    ASSERT_NE(qobject_cast<QMenuBar*>(QApplication::focusWidget()), nullptr);
    const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window.get(), key, modifiers);
    };
    press(Qt::Key_F7);
    EXPECT_EQ(window->Engine->Picture().size(), QSize(3, 4));
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(window->Engine->Picture().size(), QSize(4, 3));
}

TEST(Shortcuts, NoShortcutActsWhileBusy)
{
    auto window = WindowWithPicture();
    Activate(*window);
    window->SetBusy(true);
    QTest::keyClick(window.get(), Qt::Key_F7);
    window->RunShortcut(Item(*window, "N901"));
    EXPECT_EQ(window->Engine->Picture().size(), QSize(4, 3));
    window->SetBusy(false);
    window->RunShortcut(Item(*window, "N901"));
    EXPECT_EQ(window->Engine->Picture().size(), QSize(3, 4));
}

TEST(Commands, RotateLeftPassesNegativeAngles)
{
    auto window = WindowWithPicture();
    const std::pair<const char*, int> items[] = {{"N902", -90}, {"N1802", -180}, {"N2702", -270},
                                                 {"N901", 90},  {"N1801", 180},  {"N2701", 270}};
    for (const auto& [name, angle] : items) {
        Item(*window, name)->trigger();
        EXPECT_EQ(window->Engine->UndoInfo().Operation, "ROTATE") << name;
        EXPECT_EQ(window->Engine->UndoInfo().Value, angle) << name;
    }
}

TEST(Commands, UndoReversesTheLastOperation)
{
    auto window = WindowWithPicture();
    window->N902Click();
    EXPECT_EQ(window->Engine->Picture().size(), QSize(3, 4));
    window->Undo1Click();
    EXPECT_EQ(window->Engine->Picture().size(), QSize(4, 3));
    EXPECT_EQ(window->Engine->UndoInfo().Value, 90);
}

TEST(Commands, UseBackgroundColorKeepsTheChosenColour)
{
    auto window = MakeWindow();
    {
        const ScopedHook chooser(platform::SetColorChooser,
                                 [](std::int32_t) { return std::optional<std::int32_t>(0x00123456); });
        window->BackgroundColor1Click();
    }
    EXPECT_EQ(window->Engine->BackColor(), 0x00123456);
    EXPECT_TRUE(window->Engine->UseBackColor());

    window->U1Click();
    EXPECT_EQ(window->Engine->BackColor(), 0x00123456);
    EXPECT_FALSE(window->Engine->UseBackColor());
    window->U1Click();
    EXPECT_EQ(window->Engine->BackColor(), 0x00123456);
    EXPECT_TRUE(window->Engine->UseBackColor());
}

TEST(Commands, AFailingCommandShowsItsErrorAndLeavesTheBusyState)
{
    CapturedErrors errors;
    auto window = MakeWindow();
    window->ButtonClick(Button(*window, 5));  // Copy, always enabled
    ASSERT_EQ(errors.Messages.size(), 1u);
    EXPECT_EQ(errors.Messages[0], "Task failed");
    EXPECT_FALSE(window->IsBusy());
    EXPECT_TRUE(Part(*window, "ButtonBar")->isEnabled());
    EXPECT_TRUE(window->Engine->Form()->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Panel(*window, "StatusPanel")->text(), "Ready");
}

TEST(Commands, TheBusyStateDisablesMenusBarAndView)
{
    auto window = MakeWindow();
    window->SetBusy(true);
    EXPECT_TRUE(window->IsBusy());
    for (QAction* item : window->menuBar()->actions())
        EXPECT_FALSE(item->isEnabled()) << item->objectName().toStdString();
    EXPECT_FALSE(Part(*window, "ButtonBar")->isEnabled());
    EXPECT_FALSE(window->Engine->Form()->isEnabled());
    EXPECT_EQ(Panel(*window, "StatusPanel")->text(), "Working...");
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    window->SetBusy(false);
    EXPECT_FALSE(window->IsBusy());
    for (QAction* item : window->menuBar()->actions())
        EXPECT_TRUE(item->isEnabled()) << item->objectName().toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(Commands, ButtonsRunTheirCommandsByTag)
{
    auto window = WindowWithPicture();
    window->ButtonClick(Button(*window, 9));  // Rotate 90: right
    EXPECT_EQ(window->Engine->UndoInfo().Value, 90);
    window->ButtonClick(Button(*window, 7));  // Mirror
    EXPECT_EQ(window->Engine->UndoInfo().Operation, "MIRROR");

    // Another sender, or a tag outside 1..11, does nothing.
    QToolButton stray;
    stray.setProperty("Tag", 12);
    window->ButtonClick(&stray);
    window->ButtonClick(Part<QTimer>(*window, "Timer1"));
    EXPECT_EQ(window->Engine->UndoInfo().Operation, "MIRROR");
}

TEST(Timer, ButtonStatesFollowTheEngine)
{
    auto window = MakeWindow();
    const auto enabled = [&](int tag) { return Button(*window, tag)->isEnabled(); };
    for (int tag : {1, 4, 7, 8, 9, 10})
        EXPECT_FALSE(enabled(tag)) << tag;
    for (int tag : {3, 5, 11})
        EXPECT_TRUE(enabled(tag)) << tag;
    EXPECT_EQ(enabled(2), platform::PrinterInstalled());

    ASSERT_TRUE(window->Engine->OpenPicture(HolidayPicture()));
    window->SetBusy(true);
    window->Timer1Timer();  // skipped while busy
    window->SetBusy(false);
    EXPECT_FALSE(enabled(7));
    window->Timer1Timer();
    for (int tag : {7, 8, 9})
        EXPECT_TRUE(enabled(tag)) << tag;
    EXPECT_EQ(enabled(1), platform::PrinterInstalled());
    EXPECT_FALSE(enabled(4));
    window->N901Click();
    window->Timer1Timer();
    EXPECT_TRUE(enabled(4));
    EXPECT_TRUE(Part<QTimer>(*window, "Timer1")->isActive());
}

TEST(StatusBar, PanelsShowPageCopiesFlagsAndPercent)
{
    auto window = MakeWindow();
    const TPictavoInfo& info = *window->Engine->Info();
    if (platform::PrinterInstalled())
        EXPECT_EQ(Panel(*window, "PageSizePanel")->text(),
                  QString("%1mm x %2mm").arg(info.PageWidthMM).arg(info.PageHeightMM));
    else
        EXPECT_EQ(Panel(*window, "PageSizePanel")->text(), "No Printer");
    EXPECT_EQ(Panel(*window, "CopiesPanel")->text(), info.CopiesText);
    EXPECT_EQ(Panel(*window, "AutoClosePanel")->text(), "");
    EXPECT_EQ(Panel(*window, "AutoPrintPanel")->text(), "");
    EXPECT_EQ(Panel(*window, "PrintPercentPanel")->text(), "100%");

    window->AutoClose1Click();
    window->AutoPrint1Click();
    EXPECT_EQ(Panel(*window, "AutoClosePanel")->text(), "Auto Close");
    EXPECT_EQ(Panel(*window, "AutoPrintPanel")->text(), "Auto Print");
    window->AutoClose1Click();
    EXPECT_EQ(Panel(*window, "AutoClosePanel")->text(), "");
}

// A drop is always taken as a copy, even when the source proposes a move: a source told the file was moved
// deletes it. A source that only moves is refused.
TEST(Commands, DroppingAPictureFileCopiesAndOpensIt)
{
    auto window = MakeWindow();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(HolidayPicture())});
    const auto send = [&](QDropEvent& event) {
        event.setDropAction(Qt::MoveAction);
        static_cast<QObject*>(window.get())->event(&event);
    };
    QDragEnterEvent moveOnly(QPoint(10, 10), Qt::MoveAction, &data, Qt::LeftButton, Qt::ShiftModifier);
    send(moveOnly);
    EXPECT_FALSE(moveOnly.isAccepted());

    const Qt::DropActions both = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(QPoint(10, 10), both, &data, Qt::LeftButton, Qt::ShiftModifier);
    QDragMoveEvent move(QPoint(12, 12), both, &data, Qt::LeftButton, Qt::ShiftModifier);
    QDropEvent drop(QPointF(12, 12), both, &data, Qt::LeftButton, Qt::ShiftModifier);
    for (QDropEvent* event : std::initializer_list<QDropEvent*>{&enter, &move, &drop}) {
        send(*event);
        EXPECT_TRUE(event->isAccepted());
        EXPECT_EQ(event->dropAction(), Qt::CopyAction);
    }
    EXPECT_TRUE(window->Engine->HasPicture());
    EXPECT_EQ(window->OpenSettings.FileName, HolidayPicture());
    EXPECT_EQ(window->windowTitle(), "holiday.bmp - Pictavo");
    EXPECT_FALSE(window->IsBusy());
}

TEST(Commands, OpenSettingsComeFromTheFormatRegistry)
{
    auto window = MakeWindow();
    EXPECT_TRUE(window->OpenSettings.Filter.startsWith("All Pictures"));
    EXPECT_EQ(window->OpenSettings.FilterIndex, 1);
    EXPECT_EQ(window->OpenSettings.DefaultExt, "*.DIB");
    EXPECT_TRUE(window->OpenSettings.FileName.isEmpty());
}

TEST(Commands, WebAddressesAndNewInstanceGoToTheDesktop)
{
    RecordedOpens opens;
    auto window = MakeWindow();
    window->PictavoHomepage1Click();
    window->FreeSoftwareHomepage1Click();
    window->VisitWendrelEnterprises1Click();
    window->NewInstance1Click();
    ASSERT_EQ(opens.Targets.size(), 4);
    EXPECT_EQ(opens.Targets[0], "https://www.wendrel.example/pictavo/index.html");
    EXPECT_EQ(opens.Targets[1], "https://www.wendrel.example/free/");
    EXPECT_EQ(opens.Targets[2], "https://www.wendrel.example/");
    EXPECT_EQ(opens.Targets[3], QCoreApplication::applicationFilePath());
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(opens.Parameters[i].isEmpty());
    // The new window opens one title bar further down and right.
    const QPoint at = window->frameGeometry().topLeft();
    const int step = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window.get());
    EXPECT_EQ(opens.Parameters[3], QString("/WINDOW=%1,%2").arg(at.x() + step).arg(at.y() + step));
    EXPECT_FALSE(window->IsBusy());
}

TEST(Commands, ANewInstanceStaysInTheWorkArea)
{
    const QRect work(0, 0, 1000, 800);
    EXPECT_EQ(TForm1::NewInstancePosition(QRect(100, 50, 400, 300), 30, work), QPoint(130, 80));
    EXPECT_EQ(TForm1::NewInstancePosition(QRect(580, 50, 400, 300), 30, work), QPoint(0, 0));
    EXPECT_EQ(TForm1::NewInstancePosition(QRect(100, 500, 400, 300), 30, QRect(10, 20, 1000, 800)),
              QPoint(10, 20));
}

}  // namespace
