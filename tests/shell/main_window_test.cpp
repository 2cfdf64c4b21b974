#include "shell_fixture.h"

#include "common/paths.h"
#include "engine/ui/pictavo.h"
#include "shell/menu_tree.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <utility>
#include <vector>
#include <sys/wait.h>
#include <gtest/gtest.h>

namespace {

struct MenuRow {
    const char* name;
    const char* parent;  // empty for the top-level items
    const char* caption;
    QList<QKeySequence> shortcuts;
};

// The whole menu tree, in order.
const std::vector<MenuRow>& MenuTable()
{
    static const std::vector<MenuRow> rows{
        {"File1", "", "&File", {}},
        {"NewInstance1", "File1", "New &Instance", {}},
        {"N2", "File1", "-", {}},
        {"Open1", "File1", "&Open...", {QKeySequence("Ctrl+O")}},
        {"OpenfromStartButton1", "File1", "Open from Start &Button...", {}},
        {"Print1", "File1", "&Print", {QKeySequence("F3"), QKeySequence("Ctrl+P")}},
        {"PrintToFile1", "File1", "Print to &File...", {QKeySequence("Shift+Ctrl+P")}},
        {"PrinterSetup1", "File1", "Printer &Setup...", {}},
        {"N3", "File1", "-", {}},
        {"Exit1", "File1", "E&xit", {QKeySequence("Ctrl+Q")}},
        {"Edit1", "", "&Edit", {}},
        {"Copy1", "Edit1", "&Copy", {QKeySequence("Ctrl+C")}},
        {"Paste1", "Edit1", "&Paste", {QKeySequence("Ctrl+V")}},
        {"Image2", "", "&Image", {}},
        {"Undo1", "Image2", "&Undo", {QKeySequence("Ctrl+Z")}},
        {"N9", "Image2", "-", {}},
        {"Mirror1", "Image2", "&Mirror", {}},
        {"Flip1", "Image2", "&Flip", {}},
        {"Rotate1", "Image2", "Rotate &Right", {}},
        {"N901", "Rotate1", "&90", {QKeySequence("F7")}},
        {"N1801", "Rotate1", "&180", {}},
        {"N2701", "Rotate1", "&270", {}},
        {"RotateLeft1", "Image2", "Rotate &Left", {}},
        {"N902", "RotateLeft1", "&90", {}},
        {"N1802", "RotateLeft1", "&180", {}},
        {"N2702", "RotateLeft1", "&270", {}},
        {"Invert1", "Image2", "&Invert", {}},
        {"Options1", "", "&Options", {}},
        {"AutoClose1", "Options1", "&Auto Close", {}},
        {"AutoPrint1", "Options1", "Auto &Print", {}},
        {"AutoRotate1", "Options1", "Auto &Rotate", {}},
        {"N4", "Options1", "-", {}},
        {"None1", "Options1", "&None", {}},
        {"N5", "Options1", "-", {}},
        {"N1001", "Options1", "100%", {}},
        {"N2001", "Options1", "200%", {}},
        {"N4001", "Options1", "400%", {}},
        {"N6001", "Options1", "600%", {}},
        {"N8001", "Options1", "800%", {}},
        {"N6", "Options1", "-", {}},
        {"N251", "Options1", "25%", {}},
        {"N501", "Options1", "50%", {}},
        {"N751", "Options1", "75%", {}},
        {"N7", "Options1", "-", {}},
        {"Center1", "Options1", "&Center", {}},
        {"PrintAtPictureResolution1", "Options1", "Print at Picture's Re&solution", {}},
        {"View1", "", "&View", {}},
        {"ButtonBar1", "View1", "&Button Bar", {}},
        {"Toolbar1", "View1", "&Toolbar", {}},
        {"Top1", "Toolbar1", "&Top", {}},
        {"Bottom1", "Toolbar1", "&Bottom", {}},
        {"N8", "View1", "-", {}},
        {"Overall1", "View1", "&Overall", {}},
        {"CloseUp1", "View1", "&Close Up", {}},
        {"N10", "View1", "-", {}},
        {"BackgroundColor1", "View1", "Back&ground Color...", {QKeySequence("F4")}},
        {"U1", "View1", "&Use Background Color", {QKeySequence("F5")}},
        {"Help1", "", "&Help", {}},
        {"OnlineHelp1", "Help1", "&Help", {QKeySequence("F1")}},
        {"About1", "Help1", "&About...", {}},
        {"N1", "Help1", "-", {}},
        {"PictavoHomepage1", "Help1", "&Pictavo Homepage", {}},
        {"FreeSoftwareHomepage1", "Help1", "&Free Software Homepage", {}},
        {"VisitWendrelEnterprises1", "Help1", "Visit &Wendrel Enterprises", {}},
    };
    return rows;
}

// The items of a menu (or of the bar) by object name, in their order.
QStringList ItemNames(const QList<QAction*>& actions)
{
    QStringList names;
    for (const QAction* action : actions)
        names << action->objectName();
    return names;
}

TEST(MainWindow, BuildsWithTitleReadyStatusAndNoPicture)
{
    CapturedErrors errors;
    auto window = MakeWindow();
    EXPECT_EQ(window->windowTitle(), "Pictavo");
    EXPECT_EQ(QApplication::applicationName(), "Pictavo");
    EXPECT_EQ(Panel(*window, "StatusPanel")->text(), "Ready");
    EXPECT_FALSE(window->IsBusy());
    ASSERT_TRUE(window->Engine);
    EXPECT_FALSE(window->Engine->HasPicture());
    EXPECT_TRUE(Part<QTimer>(*window, "Timer1")->isActive());
    EXPECT_EQ(Part<QTimer>(*window, "Timer1")->interval(), 500);
    EXPECT_TRUE(errors.Messages.empty());
}

// Each key has one live shortcut, the window's; an item only shows its first key after a tab.
TEST(MainWindow, MenuTreeHasEveryItemWithItsCaptionParentAndShortcuts)
{
    auto window = MakeWindow();
    const TMenuTree& tree = window->MenuTree();
    QMap<QKeySequence, int> windowKeys;
    for (const QShortcut* shortcut : window->findChildren<QShortcut*>())
        ++windowKeys[shortcut->key()];
    for (const MenuRow& row : MenuTable()) {
        SCOPED_TRACE(row.name);
        QAction* item = Item(*window, row.name);
        ASSERT_NE(item, nullptr);
        if (QString(row.caption) == "-")
            EXPECT_TRUE(item->isSeparator());
        else
            EXPECT_EQ(tree.Caption(item), row.caption);
        EXPECT_EQ(tree.Shortcuts(item), row.shortcuts);
        EXPECT_TRUE(item->shortcuts().isEmpty());
        if (!row.shortcuts.isEmpty()) {
            EXPECT_EQ(item->text(), row.caption + QString("\t") + row.shortcuts.first().toString());
        }
        for (const QKeySequence& key : row.shortcuts)
            EXPECT_EQ(windowKeys.take(key), 1) << key.toString().toStdString();
        QAction* parent = tree.Parent(item);
        EXPECT_EQ(parent ? parent->objectName() : QString(), row.parent);
    }
    EXPECT_TRUE(windowKeys.isEmpty());
}

TEST(MainWindow, MenuItemsComeInTheTablesOrder)
{
    auto window = MakeWindow();
    QStringList expectedTop;
    QMap<QString, QStringList> expectedChildren;
    for (const MenuRow& row : MenuTable()) {
        if (*row.parent == '\0')
            expectedTop << row.name;
        else
            expectedChildren[row.parent] << row.name;
    }
    EXPECT_EQ(ItemNames(window->menuBar()->actions()), expectedTop);
    for (auto it = expectedChildren.cbegin(); it != expectedChildren.cend(); ++it) {
        const QMenu* menu = window->findChild<QMenu*>(it.key());
        ASSERT_NE(menu, nullptr) << it.key().toStdString();
        EXPECT_EQ(ItemNames(menu->actions()), it.value()) << it.key().toStdString();
    }
}

TEST(MainWindow, RadioItemsAreExclusivePairsAndFlagsAreCheckItems)
{
    auto window = MakeWindow();
    for (const auto& [first, second] : {std::pair{"Top1", "Bottom1"}, std::pair{"Overall1", "CloseUp1"}}) {
        QAction* a = Item(*window, first);
        QAction* b = Item(*window, second);
        ASSERT_NE(a->actionGroup(), nullptr);
        EXPECT_EQ(a->actionGroup(), b->actionGroup());
        EXPECT_TRUE(a->actionGroup()->isExclusive());
        EXPECT_TRUE(a->isCheckable());
    }
    EXPECT_NE(Item(*window, "Top1")->actionGroup(), Item(*window, "Overall1")->actionGroup());
    for (const char* name : {"AutoClose1", "AutoPrint1", "ButtonBar1", "U1"})
        EXPECT_TRUE(Item(*window, name)->isCheckable()) << name;
}

TEST(MainWindow, ButtonsSitInSixGroupsWithTagsAndHints)
{
    auto window = MakeWindow();
    const int lefts[] = {0, 35, 60, 95, 120, 145, 180, 205, 230, 265, 300};
    const char* hints[] = {"Print", "Printer Setup...", "Open...", "Undo", "Copy", "Paste",
                           "Mirror", "Flip", "Rotate 90", "Center", "Help"};
    for (int i = 0; i < TForm1::kButtonCount; ++i) {
        SCOPED_TRACE(i + 1);
        const QToolButton* button = Button(*window, i + 1);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->parentWidget(), Part(*window, "ButtonBar"));
        EXPECT_EQ(button->geometry(), QRect(lefts[i], 0, 25, 25));
        EXPECT_EQ(button->property("Tag").toInt(), i + 1);
        EXPECT_EQ(button->toolTip(), hints[i]);
        EXPECT_TRUE(button->autoRaise());
        EXPECT_FALSE(button->icon().isNull());
    }
    EXPECT_EQ(Part(*window, "ButtonBar")->height(), 27);
}

// Every text a panel can show fits it whole, in the window's font and a larger one.
TEST(MainWindow, StatusBarPanelsFitTheirWidestTextsTheLastOneStretching)
{
    auto window = MakeWindow();
    window->resize(900, 400);
    window->show();
    const std::vector<std::pair<const char*, QStringList>> texts{
        {"PageSizePanel", {"No Printer", "210mm x 297mm", "432mm x 279mm"}},
        {"CopiesPanel", {"1 copy", "99 copies"}},
        {"AutoClosePanel", {"Auto Close"}},
        {"AutoPrintPanel", {"Auto Print"}},
        {"PrintPercentPanel", {"100%", "0%"}},
        {"StatusPanel", {"Ready", "Working..."}},
    };
    for (int pointSize : {0, 14}) {
        if (pointSize > 0) {
            QFont font = window->font();
            font.setPointSize(pointSize);
            window->setFont(font);
        }
        for (const auto& [name, shown] : texts) {
            QLabel* panel = Panel(*window, name);
            ASSERT_NE(panel, nullptr) << name;
            for (const QString& text : shown) {
                panel->setText(text);
                QCoreApplication::processEvents();
                EXPECT_LE(panel->sizeHint().width(), panel->width()) << name << " " << text.toStdString();
            }
            EXPECT_EQ(panel->parentWidget(), Part<QStatusBar>(*window, "StatusBar1"));
        }
        EXPECT_LE(Part<QStatusBar>(*window, "StatusBar1")->minimumSizeHint().width(), window->width());
    }
    EXPECT_GT(Panel(*window, "StatusPanel")->width(), 200);
}

// At least 430 x 300, and wide enough for the status bar's texts and the toolbar.
TEST(MainWindow, ResizingBelowTheMinimumSnapsBack)
{
    auto window = MakeWindow();
    window->show();
    const int least = window->minimumWidth();
    EXPECT_GE(least, 430);
    EXPECT_GE(least, Part<QStatusBar>(*window, "StatusBar1")->minimumSizeHint().width());
    EXPECT_GE(least, window->Engine->Form()->minimumSizeHint().width());  // the toolbar stays whole
    window->resize(200, 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(least, 300));
    window->resize(least + 10, 250);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(least + 10, 300));
    window->resize(640, 480);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(640, 480));
}

TEST(MainWindow, EngineViewFillsTheClientAreaBelowTheBars)
{
    auto window = MakeWindow();
    window->resize(600, 500);
    window->show();
    QCoreApplication::processEvents();
    QWidget* view = window->Engine->Form();
    ASSERT_TRUE(window->isAncestorOf(view));
    EXPECT_TRUE(view->isVisible());
    const QRect client = window->centralWidget()->geometry();
    EXPECT_EQ(view->width(), client.width());
    EXPECT_EQ(view->y(), Part(*window, "TopLine")->height() + Part(*window, "ButtonBar")->height());
    EXPECT_EQ(view->height(), client.height() - view->y());

    window->resize(800, 650);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->width(), window->centralWidget()->width());
    EXPECT_EQ(view->height(), window->centralWidget()->height() - view->y());

    // Without the button bar the view takes its place.
    window->ButtonBar1Click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->ButtonBarVisible());
    EXPECT_EQ(view->y(), Part(*window, "TopLine")->height());
}

TEST(MainWindow, CopiesItselfIntoTheStartMenuWithADesktopEntry)
{
    auto window = MakeWindow();
    const QString folder = GetPaths().ProgramsFolder() + "Wendrel Enterprises/Fenwold/";
    const QFileInfo copy(folder + "Pictavo");
    ASSERT_TRUE(copy.isFile());
    EXPECT_TRUE(copy.isExecutable());
    EXPECT_EQ(copy.size(), QFileInfo(QCoreApplication::applicationFilePath()).size());

    QFile entry(folder + "Pictavo.desktop");
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nType=Application\n"));
    EXPECT_TRUE(text.contains("\nName=Pictavo\n"));
    EXPECT_TRUE(text.contains("\nCategories=Graphics;Printing;Viewer;\n"));
    EXPECT_TRUE(text.contains("\nExec=\"" + copy.filePath() + "\" %f\n"));
}

TEST(CommandLine, OpensThePictureAndShowsTheTitle)
{
    CapturedErrors errors;
    auto window = MakeWindow({HolidayPicture(), "Holiday"});
    EXPECT_TRUE(errors.Messages.empty());
    EXPECT_TRUE(window->Engine->HasPicture());
    EXPECT_EQ(window->windowTitle(), "Holiday - Pictavo");
}

TEST(CommandLine, ALongTitleIsCutTo32Characters)
{
    const QString title = QString(40, 'x');
    auto window = MakeWindow({HolidayPicture(), title});
    EXPECT_EQ(window->windowTitle(), title.left(32) + " - Pictavo");
}

TEST(CommandLine, AMissingFileShowsFileNotFoundAndTheWindowStillBuilds)
{
    CapturedErrors errors;
    auto window = MakeWindow({"/nonexistent/picture.bmp"});
    ASSERT_EQ(errors.Messages.size(), 1u);
    EXPECT_EQ(errors.Messages[0], "/nonexistent/picture.bmp: File not found");
    EXPECT_FALSE(window->Engine->HasPicture());
    EXPECT_EQ(window->windowTitle(), "Pictavo");
    EXPECT_EQ(Panel(*window, "StatusPanel")->text(), "Ready");
}

// Every way of closing ends the process through the one shutdown routine.
TEST(MainWindowDeathTest, ClosingTheWindowEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto window = MakeWindow();
            window->show();
            window->close();
            std::_Exit(3);  // not reached when closing ends the process
        },
        testing::ExitedWithCode(0), "");
}

TEST(MainWindowDeathTest, ExitEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto window = MakeWindow();
            window->Exit1Click();
        },
        testing::ExitedWithCode(0), "");
}

// With Auto Close a print ends the program whatever its outcome; a failure is shown first.
TEST(MainWindowDeathTest, PrintWithAutoCloseEndsTheProcessAfterShowingTheFailure)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetErrorBox([](const QString& message, const QString&) {
                std::fprintf(stderr, "box: %s\n", qPrintable(message));
            });
            auto window = MakeWindow();  // no picture, so the print fails
            window->AutoClose1Click();
            window->Print1Click();
        },
        testing::ExitedWithCode(0), "box: .+");
}

// The switch, in any letter case, prints and ends the program before the window is ever shown; a print that
// fails (no printer here) still ends it.
TEST(MainWindowDeathTest, TheAutoPrintSwitchEndsTheProcessDuringStartUp)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto ended = [](int status) { return WIFEXITED(status) && WEXITSTATUS(status) <= 1; };
    EXPECT_EXIT(
        {
            SetErrorBox([](const QString&, const QString&) {});
            auto window = MakeWindow({HolidayPicture(), "/autoPrint"});
            std::_Exit(3);  // not reached: start-up ends the process
        },
        ended, "");
}

}  // namespace
