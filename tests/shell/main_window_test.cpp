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
#include <QSet>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <functional>
#include <utility>
#include <vector>
#include <sys/wait.h>
#include <gtest/gtest.h>

namespace {

// Every item of the menu bar and of its submenus, parent before children, with the item it sits under (null at
// the top).
std::vector<std::pair<QAction*, QAction*>> MenuItems(const TForm1& window)
{
    std::vector<std::pair<QAction*, QAction*>> items;
    const std::function<void(QAction*, QAction*)> add = [&](QAction* item, QAction* parent) {
        items.emplace_back(item, parent);
        if (item->menu())
            for (QAction* child : item->menu()->actions())
                add(child, item);
    };
    for (QAction* top : window.menuBar()->actions())
        add(top, nullptr);
    return items;
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

// The tree knows every item the menus show, under the menu that shows it. Each key has one live shortcut, the
// window's; an item only shows its first key after a tab.
TEST(MainWindow, MenuTreeKnowsEveryItemItsParentAndItsKeys)
{
    auto window = MakeWindow();
    const TMenuTree& tree = window->MenuTree();
    QMap<QKeySequence, int> windowKeys;
    for (const QShortcut* shortcut : window->findChildren<QShortcut*>())
        ++windowKeys[shortcut->key()];
    QSet<QString> names;
    for (const auto& [item, parent] : MenuItems(*window)) {
        const QString name = item->objectName();
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(!name.isEmpty() && !names.contains(name));
        names.insert(name);
        EXPECT_EQ(tree.Item(name), item);
        EXPECT_EQ(tree.Parent(item), parent);
        EXPECT_TRUE(item->isSeparator() || !tree.Caption(item).isEmpty());
        EXPECT_TRUE(item->shortcuts().isEmpty());
        const QList<QKeySequence> keys = tree.Shortcuts(item);
        if (!keys.isEmpty()) {
            EXPECT_EQ(item->text(), tree.Caption(item) + "\t" + keys.first().toString());
        }
        for (const QKeySequence& key : keys)
            EXPECT_EQ(windowKeys.take(key), 1) << key.toString().toStdString();
    }
    EXPECT_TRUE(windowKeys.isEmpty());
    EXPECT_TRUE(names.contains("N901"));  // the walk reaches the submenus' items

    // The one item with two keys.
    QAction* print = Item(*window, "Print1");
    EXPECT_EQ(tree.Parent(print), Item(*window, "File1"));
    EXPECT_EQ(tree.Caption(print), "&Print");
    EXPECT_EQ(tree.Shortcuts(print), (QList<QKeySequence>{QKeySequence("F3"), QKeySequence("Ctrl+P")}));
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

// The bar's groups: buttons side by side, ten pixels between groups.
TEST(MainWindow, ButtonsSitInSixGroupsWithTagsAndHints)
{
    auto window = MakeWindow();
    int groups = 0;
    int previousRight = -1;
    QSet<QString> hints;
    for (int tag = 1; tag <= TForm1::kButtonCount; ++tag) {
        SCOPED_TRACE(tag);
        const QToolButton* button = Button(*window, tag);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->parentWidget(), Part(*window, "ButtonBar"));
        EXPECT_EQ(button->geometry().size(), QSize(25, 25));
        EXPECT_EQ(button->y(), 0);
        const int gap = button->x() - previousRight - 1;
        EXPECT_TRUE(tag == 1 ? button->x() == 0 : gap == 0 || gap == 10) << gap;
        groups += tag == 1 || gap == 10;
        previousRight = button->geometry().right();
        EXPECT_EQ(button->property("Tag").toInt(), tag);
        hints.insert(button->toolTip());
        EXPECT_TRUE(button->autoRaise());
        EXPECT_FALSE(button->icon().isNull());
    }
    EXPECT_EQ(groups, 6);
    EXPECT_EQ(hints.size(), TForm1::kButtonCount);
    EXPECT_FALSE(hints.contains(QString()));
    EXPECT_EQ(Button(*window, 2)->toolTip(), "Printer Setup...");
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
