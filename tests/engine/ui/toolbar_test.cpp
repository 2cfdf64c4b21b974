// The options toolbar with its real widgets, docked the way the main window docks the engine.
#include "engine/ui/docked_engine.h"
#include "testlib/test_env.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>

namespace {

class ToolbarTest : public DockedEngineTest {
protected:
    template <typename T>
    T* Control(const char* name) const
    {
        T* control = ToolbarForm()->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QComboBox* List(const char* name) const { return Control<QComboBox>(name); }
    QScrollBar* Bar(const char* name) const { return Control<QScrollBar>(name); }
    QLabel* Label(const char* name) const { return Control<QLabel>(name); }
    int Bottom(QWidget* w) const { return w->geometry().bottom() + 1; }
    int PanelHeightUnder(QWidget* lowest) const { return Bottom(lowest) + 2 * Label("ScaleLabel")->y(); }

    void Open(const char* name)
    {
        ASSERT_TRUE(Engine->OpenPicture(TestDataPath(QString("engine/") + name))) << qPrintable(Engine->LastError);
    }

    void Apply(const std::function<void(TPictavoInfo&)>& change)
    {
        TPictavoInfo info = *Engine->Info();
        change(info);
        Engine->SetInfo(info);
        QApplication::processEvents();
    }

    void Key(QWidget* target, int key)
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QApplication::processEvents();
    }
};

}  // namespace

TEST_F(ToolbarTest, ListsShowTheSettingsAndChangeThemAtOnce)
{
    EXPECT_EQ(List("ScaleBox")->currentText(), "Fit to Page");
    EXPECT_EQ(List("PositionBox")->currentText(), "Center");
    EXPECT_EQ(List("OrientationBox")->count(), 2);
    EXPECT_EQ(List("QualityBox")->currentText(), "Low");

    Open("wide_40x20.bmp");
    const QRect before = Page()->geometry();
    List("OrientationBox")->setCurrentIndex(1);
    List("QualityBox")->setCurrentIndex(2);
    EXPECT_EQ(Engine->Info()->Orientation, kOrientationLandscape);
    EXPECT_EQ(Engine->Info()->Quality, kQualityHigh);
    EXPECT_TRUE(Engine->Info()->JobTitle.contains("High"));
    List("ScaleBox")->setCurrentIndex(kScaleAsIs);
    QApplication::processEvents();
    EXPECT_EQ(Engine->Info()->Scale, kScaleAsIs);
    EXPECT_EQ(Engine->PageWidth(), 2400);  // without a printer the page stays upright
    EXPECT_EQ(Page()->geometry(), before);
}

TEST_F(ToolbarTest, ScaleModeChoosesTheRowsAndThePanelHeight)
{
    QScrollBar* horizontal = Bar("HorizontalBar");
    QScrollBar* vertical = Bar("VerticalBar");
    QScrollBar* fixed = Bar("FixedBar");
    const int listsOnly = ToolbarPanel()->height();
    EXPECT_EQ(listsOnly, PanelHeightUnder(List("ScaleBox")));

    List("ScaleBox")->setCurrentIndex(kScaleCustom);
    QApplication::processEvents();
    EXPECT_EQ(Engine->Info()->Scale, kScaleCustom);
    EXPECT_TRUE(horizontal->isVisible() && vertical->isVisible());
    EXPECT_TRUE(Control<QToolButton>("VerticalReset")->isVisible());
    EXPECT_FALSE(fixed->isVisible());
    EXPECT_EQ(ToolbarPanel()->height(), PanelHeightUnder(vertical));
    // The sheet gives up the room the rows take.
    EXPECT_EQ(ScrollBox()->height() + ToolbarPanel()->height(), Engine->Form()->height());

    List("ScaleBox")->setCurrentIndex(kScaleCustomFixed);
    QApplication::processEvents();
    EXPECT_TRUE(fixed->isVisible());
    EXPECT_EQ(fixed->geometry(), horizontal->geometry());
    EXPECT_FALSE(horizontal->isVisible() || vertical->isVisible());
    EXPECT_EQ(ToolbarPanel()->height(), PanelHeightUnder(horizontal));

    List("ScaleBox")->setCurrentIndex(kScaleAsIs);
    QApplication::processEvents();
    EXPECT_FALSE(fixed->isVisible() || Label("HorizontalLabel")->isVisible());
    EXPECT_EQ(ToolbarPanel()->height(), listsOnly);
    // The bars and their reset buttons end with the quality list.
    EXPECT_EQ(Control<QToolButton>("VerticalReset")->geometry().right(), List("QualityBox")->geometry().right());
}

TEST_F(ToolbarTest, PercentCaptionsBarsAndResetButtons)
{
    Apply([](TPictavoInfo& info) {
        info.Scale = kScaleCustom;
        info.ZoomX = 25;
        info.ZoomY = -50;
    });
    EXPECT_EQ(Label("HorizontalLabel")->text(), "Horizontal +25%");
    EXPECT_EQ(Label("VerticalLabel")->text(), "Vertical -50%");
    EXPECT_EQ(Bar("HorizontalBar")->value(), 25);
    EXPECT_EQ(Bar("VerticalBar")->value(), -50);

    Control<QToolButton>("HorizontalReset")->click();
    EXPECT_EQ(Engine->Info()->ZoomX, 0);
    EXPECT_EQ(Engine->Info()->ZoomY, -50);
    EXPECT_EQ(Label("HorizontalLabel")->text(), "Horizontal 0%");
    EXPECT_EQ(Bar("HorizontalBar")->value(), 0);

    Apply([](TPictavoInfo& info) { info.Scale = kScaleCustomFixed; });
    EXPECT_EQ(Label("HorizontalLabel")->text(), "Fixed 0%");
    EXPECT_EQ(Label("HorizontalLabel")->buddy(), Bar("FixedBar"));
}

TEST_F(ToolbarTest, SynchronisingFromSetInfoDoesNotEchoBack)
{
    Open("wide_40x20.bmp");
    int changes = 0;
    Engine->OnChange = [&changes](TPictavo*) { ++changes; };
    TPictavoInfo info = *Engine->Info();
    info.Scale = kScaleCustom;
    info.Position = kPositionTopRight;
    info.Quality = kQualityMedium;
    info.ZoomX = 10;
    info.ZoomY = 20;
    info.ZoomXY = 30;
    Engine->SetInfo(info);
    EXPECT_EQ(List("ScaleBox")->currentIndex(), kScaleCustom);
    EXPECT_EQ(List("PositionBox")->currentIndex(), kPositionTopRight);
    EXPECT_EQ(List("QualityBox")->currentIndex(), 1);
    EXPECT_EQ(Bar("FixedBar")->value(), 30);
    // One announcement for the layout and one for the change: no control's handler applied its value again.
    EXPECT_EQ(changes, 2);
}

TEST_F(ToolbarTest, PercentBeyondTheBarsIsKeptAndStopsThatPass)
{
    Apply([](TPictavoInfo& info) {
        info.Scale = kScaleCustom;
        info.ZoomX = 100;
        info.ZoomY = 30;
        info.ZoomXY = 40;
    });
    Apply([](TPictavoInfo& info) {  // as a settings file may restore it
        info.ZoomX = 5000;
        info.ZoomY = 10;
        info.ZoomXY = 20;
    });
    EXPECT_EQ(Engine->Info()->ZoomX, 5000);
    EXPECT_EQ(Label("HorizontalLabel")->text(), "Horizontal +5000%");
    EXPECT_EQ(Bar("HorizontalBar")->value(), 100);
    EXPECT_EQ(Bar("VerticalBar")->value(), 30);
    EXPECT_EQ(Bar("FixedBar")->value(), 40);
    EXPECT_EQ(Engine->Info()->ZoomY, 10);
}

TEST_F(ToolbarTest, KeyboardReachesAndMovesEveryControl)
{
    Apply([](TPictavoInfo& info) { info.Scale = kScaleCustom; });
    Host->activateWindow();
    QApplication::setActiveWindow(Host.get());
    List("QualityBox")->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), List("QualityBox"));
    Key(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Bar("HorizontalBar"));  // the fixed bar is hidden in this mode
    Key(Bar("HorizontalBar"), Qt::Key_Right);
    EXPECT_EQ(Engine->Info()->ZoomX, 1);
    Key(Bar("HorizontalBar"), Qt::Key_PageUp);
    EXPECT_EQ(Engine->Info()->ZoomX, 21);
    Key(List("QualityBox"), Qt::Key_Down);
    EXPECT_EQ(Engine->Info()->Quality, kQualityMedium);
}

TEST_F(ToolbarTest, ReadoutShowsThePrintedSizeAndWarnsWhenSoft)
{
    QLabel* size = Label("ReadoutSize");
    QLabel* resolution = Label("ReadoutResolution");
    EXPECT_TRUE(resolution->text().isEmpty());  // nothing to measure yet
    // Without a printer: a 2400 x 3000 page at 300 ppi, printed from a 2000 x 2500 bitmap at "High".
    Open("wide_40x20.bmp");
    Apply([](TPictavoInfo& info) {
        info.Scale = kScaleCustomFixed;
        info.ZoomXY = 100;
        info.Quality = kQualityHigh;
    });
    EXPECT_EQ(size->text(), "7 \u00d7 3 mm \u00b7");
    EXPECT_EQ(resolution->text(), "150 ppi");
    EXPECT_TRUE(resolution->toolTip().isEmpty());
    EXPECT_NE(resolution->palette().color(QPalette::WindowText), QColor(Qt::red));

    List("QualityBox")->setCurrentIndex(0);  // a quarter of the bitmap
    EXPECT_EQ(resolution->text(), "62 ppi");  // 62.5, ties to even
    EXPECT_EQ(resolution->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_FALSE(resolution->toolTip().isEmpty());
    EXPECT_TRUE(size->isVisible());

    // However narrow the window, the figures stay whole.
    Host->resize(100, 700);
    QApplication::processEvents();
    QWidget* readout = Control<QWidget>("Readout");
    EXPECT_LE(readout->mapTo(Host.get(), QPoint(readout->width(), 0)).x(), Host->width());
}

TEST_F(ToolbarTest, TextsBackFromAWarningFollowTheThemeInEveryWindowState)
{
    // A theme whose text colour differs by the window's state, as desktop themes' do.
    struct ThemeGuard {
        QPalette Saved = QApplication::palette();
        ~ThemeGuard() { QApplication::setPalette(Saved); }
    } guard;
    QPalette theme = guard.Saved;
    theme.setColor(QPalette::Active, QPalette::WindowText, Qt::black);
    theme.setColor(QPalette::Inactive, QPalette::WindowText, Qt::darkBlue);
    theme.setColor(QPalette::Disabled, QPalette::WindowText, Qt::gray);
    QApplication::setPalette(theme);
    Open("wide_40x20.bmp");
    Apply([](TPictavoInfo& info) {
        info.Scale = kScaleCustomFixed;
        info.ZoomXY = 100;
        info.Quality = 0;  // soft: drawn red
    });
    Apply([](TPictavoInfo& info) { info.Quality = 2; });
    for (QLabel* label : {Label("ScaleLabel"), Label("ReadoutResolution")})
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            EXPECT_EQ(label->palette().color(group, QPalette::WindowText).rgb(),
                      theme.color(group, QPalette::WindowText).rgb())
                << qPrintable(label->objectName()) << " in colour group " << int(group);
}
