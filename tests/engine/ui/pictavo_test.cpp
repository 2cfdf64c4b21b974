#include "engine/ui/pictavo.h"

#include "common/general.h"
#include "platform/color_dialog.h"
#include "testlib/scoped_hook.h"
#include "testlib/test_env.h"
#include "engine/ui/docked_engine.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);

// The docked engine on a desktop without a printer.
class EngineTest : public DockedEngineTest {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariableIsSet("CUPS_SERVER")) << "these cases assume no printer";
        DockedEngineTest::SetUp();
    }

    void Resize(int width, int height)
    {
        Host->resize(width, height);
        QApplication::processEvents();
    }

    QImage Sheet() const { return Page()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    void Open(const char* name) { ASSERT_TRUE(Engine->OpenPicture(TestDataPath(QString("engine/") + name))) << qPrintable(Engine->LastError); }

    void Apply(const std::function<void(TPictavoInfo&)>& change)
    {
        TPictavoInfo info = *Engine->Info();
        change(info);
        Engine->SetInfo(info);
    }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button)
    {
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, at, Page()->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(Page(), &event);
    }

};

bool AllPixels(const QImage& image, QRgb color)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != color)
                return false;
    return true;
}

}  // namespace

TEST_F(EngineTest, StartsEmptyWithDefaultsAndTheFallbackPage)
{
    const TPictavoInfo& info = *Engine->Info();
    EXPECT_FALSE(Engine->HasPicture());
    EXPECT_EQ(info.Scale, kScaleFitToPage);
    EXPECT_EQ(info.Position, kPositionCenter);
    EXPECT_EQ(info.PrintPercent, 100);
    EXPECT_EQ(Engine->BackColor(), 0x00FF0000);
    EXPECT_FALSE(Engine->UseBackColor());
    EXPECT_EQ(Engine->BackgroundColor(), 0x00FFFFFF);
    // Without a printer: 2400 x 3000 at 300 pixels per inch, 203 x 254 mm.
    EXPECT_EQ(info.PageWidth, 2400);
    EXPECT_EQ(info.PageHeight, 3000);
    EXPECT_EQ(Engine->DpiX(), 300);
    EXPECT_EQ(info.PageWidthMM, 203);
    EXPECT_EQ(info.PageHeightMM, 254);
    EXPECT_EQ(Engine->PrintWidth(), 2000);  // 2000 x 2500 x 3 bytes fit the 15,000,000-byte budget exactly
    EXPECT_EQ(Engine->PrintHeight(), 2500);
    EXPECT_EQ(info.Title, "Pictavo");
    EXPECT_EQ(info.JobTitle, "Pictavo [Low, 1 copy]");
    EXPECT_FALSE(Engine->ToolbarOnTop());
}

TEST_F(EngineTest, SheetKeepsThePageProportionsInsideItsFrame)
{
    for (const QSize size : {QSize(520, 700), QSize(900, 500), QSize(300, 900)}) {
        Resize(size.width(), size.height());
        const QWidget* page = Page();
        EXPECT_NEAR(double(page->height()) / page->width(), 1.25, 0.01) << size.width() << "x" << size.height();
        EXPECT_EQ(Part("Frame")->geometry(), page->geometry().adjusted(-2, -2, 2, 2));
        EXPECT_EQ(page->pos(), QPoint(10, 10));
        EXPECT_DOUBLE_EQ(double(Engine->PreviewScaleX()), double(page->width()) / 2400);
    }
    // A window wider than the sheet centres it horizontally and keeps it at the top.
    Resize(900, 500);
    const QRect surround = Part("Surround")->geometry();
    const int viewport = ScrollBox()->viewport()->width();
    EXPECT_NEAR(surround.left(), (viewport - surround.width()) / 2, 1);
    EXPECT_EQ(surround.top(), 0);
}

TEST_F(EngineTest, PortraitPageInANarrowWindowOverflowsSidewaysAndCloseUpDoubles)
{
    Resize(200, 1400);  // the toolbar keeps the window as wide as itself: a tall window makes the sheet wider
    EXPECT_GT(Part("Surround")->width(), ScrollBox()->viewport()->width());
    EXPECT_EQ(ScrollBox()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    Resize(520, 700);
    const int overall = Page()->width();
    EXPECT_EQ(ScrollBox()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    Engine->SetViewSize(kViewCloseUp);
    EXPECT_EQ(Engine->ViewSize(), kViewCloseUp);
    EXPECT_GT(Page()->width(), overall * 3 / 2);
    EXPECT_EQ(ScrollBox()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    Engine->SetViewSize(7);  // clamped to "Close Up"
    EXPECT_EQ(Engine->ViewSize(), kViewCloseUp);
}

TEST_F(EngineTest, EmptyEnginePaintsOnlyBackground)
{
    EXPECT_TRUE(AllPixels(Sheet(), kWhite));
    Engine->SetBackground(0x0000FF00, true);  // green, 0x00BBGGRR
    EXPECT_TRUE(AllPixels(Sheet(), qRgb(0, 255, 0)));
}

TEST_F(EngineTest, SameBackgroundTwiceDoesNotRepaint)
{
    TPaintCounter paints(Page());
    Engine->SetBackground(0x00123456, true);
    const int first = paints.Count;
    EXPECT_GE(first, 1);
    Engine->SetBackground(0x00123456, true);
    EXPECT_EQ(paints.Count, first);
    Engine->SetBackground(0x00123456, false);  // the flag alone is a change
    EXPECT_GT(paints.Count, first);
}

TEST_F(EngineTest, ChosenBackgroundIsUsedAndCancelKeepsTheOldOne)
{
    std::int32_t offered = -1;
    std::optional<std::int32_t> answer = 0x000000FF;  // red
    const ScopedHook chooser(platform::SetColorChooser, [&](std::int32_t initial) {
        offered = initial;
        return answer;
    });
    Engine->ChooseBackground();
    EXPECT_EQ(offered, 0x00FF0000);  // preset to the stored colour, in use or not
    EXPECT_TRUE(Engine->UseBackColor());
    EXPECT_EQ(Engine->BackgroundColor(), 0x000000FF);
    EXPECT_TRUE(AllPixels(Sheet(), kRed));
    answer.reset();
    Engine->ChooseBackground();
    EXPECT_EQ(offered, 0x000000FF);
    EXPECT_EQ(Engine->BackgroundColor(), 0x000000FF);
}

TEST_F(EngineTest, OpeningAMissingFileChangesNothing)
{
    Open("wide_40x20.bmp");
    Engine->SetUndo("FLIP", 0);
    int changes = 0;
    Engine->OnChange = [&changes](TPictavo*) { ++changes; };
    TPaintCounter paints(Page());
    EXPECT_FALSE(Engine->OpenPicture(TestDataPath("engine/no such picture.bmp")));
    EXPECT_EQ(Engine->LastError, "File not found");
    EXPECT_FALSE(Engine->OpenPicture(TestDataPath("engine")));  // a folder is no picture file
    EXPECT_TRUE(Engine->HasPicture());
    EXPECT_EQ(Engine->Picture().size(), QSize(40, 20));
    EXPECT_TRUE(Engine->CanUndo());
    EXPECT_EQ(paints.Count, 0);
    EXPECT_EQ(changes, 0);
}

TEST_F(EngineTest, OpeningAPictureLaysItOutAndClearsUndo)
{
    int changes = 0;
    Engine->OnChange = [&changes](TPictavo*) { ++changes; };
    Engine->SetUndo("ROTATE", 90);
    Open("wide_40x20.bmp");
    EXPECT_TRUE(Engine->HasPicture());
    EXPECT_FALSE(Engine->UndoInfo().Available);
    EXPECT_EQ(Engine->Picture().format(), QImage::Format_BGR888);
    EXPECT_EQ(Engine->Info()->PictureWidth, 40);
    EXPECT_EQ(Engine->Info()->PictureWidthMM, 3);  // 40 / 300 x 25.4
    EXPECT_GT(changes, 0);
    // "Fit to Page": the picture covers the whole sheet, red half left, blue half right.
    const QImage sheet = Sheet();
    EXPECT_EQ(sheet.pixel(1, 1), kRed);
    EXPECT_EQ(sheet.pixel(sheet.width() - 2, sheet.height() - 2), kBlue);
    EXPECT_EQ(Engine->Preview().size(), Page()->size());
    EXPECT_FALSE(Engine->PreviewDirty());
}

TEST_F(EngineTest, UnreadablePictureReportsTheReadersText)
{
    const QString path = NewTestFolder() + "/broken.bmp";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a bitmap");
    file.close();
    EXPECT_FALSE(Engine->OpenPicture(path));
    EXPECT_FALSE(Engine->LastError.isEmpty());
    EXPECT_NE(Engine->LastError, "File not found");
    EXPECT_FALSE(Engine->HasPicture());
}

TEST_F(EngineTest, PictureOnAPartOfTheSheetWithBackgroundAround)
{
    Open("wide_40x20.bmp");
    Engine->SetBackground(0x0000FF00, true);
    Apply([](TPictavoInfo& info) {
        info.Scale = kScaleCustomFixed;
        info.ZoomXY = 3000;  // 31 times: 1240 x 620 page pixels
        info.Position = kPositionTopLeft;
    });
    const QImage sheet = Sheet();
    const QRect r(0, 0, qRound(1240 * double(Engine->PreviewScaleX())), qRound(620 * double(Engine->PreviewScaleY())));
    EXPECT_EQ(sheet.pixel(0, 0), kRed);
    EXPECT_EQ(sheet.pixel(r.right(), r.bottom()), kBlue);
    EXPECT_EQ(sheet.pixel(r.right() + 2, 0), qRgb(0, 255, 0));
    EXPECT_EQ(sheet.pixel(0, r.bottom() + 2), qRgb(0, 255, 0));
    EXPECT_EQ(Engine->Preview().size(), r.size());
}

TEST_F(EngineTest, PreviewHoldsOnlyWhatShows)
{
    Open("wide_40x20.bmp");
    Apply([](TPictavoInfo& info) {
        info.Scale = kScaleCustomFixed;
        info.ZoomXY = 3200;  // 33 times the picture: it overhangs the sheet when centred
    });
    Engine->PaintPage();
    EXPECT_FALSE(Engine->PreviewDirty());
    EXPECT_LE(Engine->Preview().width(), Page()->width());
    EXPECT_LE(Engine->Preview().height(), Page()->height());

    // "Close Up" makes the sheet larger than the window: only the part in the scroll area is stretched.
    Apply([](TPictavoInfo& info) { info.Scale = kScaleFitToPage; });
    Engine->SetViewSize(kViewCloseUp);
    QApplication::processEvents();
    const QSize viewport = ScrollBox()->viewport()->size();
    EXPECT_LE(Engine->Preview().width(), viewport.width());
    EXPECT_LE(Engine->Preview().height(), viewport.height());
    EXPECT_LT(Engine->Preview().width(), Page()->width());
    ScrollBox()->horizontalScrollBar()->setValue(ScrollBox()->horizontalScrollBar()->maximum());
    QApplication::processEvents();
    const QImage sheet = Sheet();  // all of it, scrolled out parts included
    EXPECT_EQ(sheet.pixel(1, 1), kRed);
    EXPECT_EQ(sheet.pixel(sheet.width() - 2, sheet.height() - 2), kBlue);
    EXPECT_EQ(Engine->PaintFailed(), 0);
}

TEST_F(EngineTest, OrdinaryRepaintsAndMovesDrawFromTheCache)
{
    Open("wide_40x20.bmp");
    Apply([](TPictavoInfo& info) {
        info.Scale = kScaleAsIs;
        info.Position = kPositionCustom;
        info.X = 100;
        info.Y = 100;
    });
    Sheet();
    const qint64 cached = Engine->Preview().cacheKey();
    Sheet();
    Apply([](TPictavoInfo& info) { info.X = 300; });
    Sheet();
    EXPECT_EQ(Engine->Preview().cacheKey(), cached);
    Apply([](TPictavoInfo& info) { info.ZoomXY = 100; });  // a percentage change stretches again
    EXPECT_TRUE(Engine->PreviewDirty() || Engine->Preview().cacheKey() != cached);
}

TEST_F(EngineTest, SetInfoClampsCodesAndCutsTheName)
{
    Apply([](TPictavoInfo& info) {
        info.Name = QString(40, u'x');
        info.Quality = 9;
        info.Scale = 9;
        info.Position = 9;
        info.Orientation = 9;
    });
    const TPictavoInfo& info = *Engine->Info();
    EXPECT_EQ(info.Name.size(), 32);
    EXPECT_EQ(info.Title, QString(32, u'x') + " - Pictavo");
    EXPECT_EQ(info.JobTitle, QString(32, u'x') + " - Pictavo [High, 1 copy]");
    EXPECT_EQ(info.Quality, kQualityHigh);
    EXPECT_EQ(info.Scale, kScaleCustomFixed);
    EXPECT_EQ(info.Position, kPositionCustom);
    EXPECT_EQ(info.Orientation, kOrientationLandscape);
    EXPECT_EQ(Page()->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(EngineTest, PaintFailureIsFlaggedAndClearedByTheNextGoodPaint)
{
    Open("wide_40x20.bmp");
    Apply([](TPictavoInfo& info) {
        info.Scale = kScaleCustom;
        info.ZoomX = 2000000000;  // a percentage from a settings file is not clamped: vast, yet drawable
    });
    Sheet();
    EXPECT_EQ(Engine->PaintFailed(), 0);
    EXPECT_LE(Engine->Preview().width(), Page()->width());
    Apply([](TPictavoInfo& info) { info.ZoomX = -5000; });  // below -3200 the size turns negative
    Sheet();
    EXPECT_EQ(Engine->PaintFailed(), 1);
    const QLabel* caption = ToolbarForm()->findChild<QLabel*>("ScaleLabel");
    EXPECT_EQ(caption->palette().color(QPalette::WindowText), QColor(Qt::red));
    Apply([](TPictavoInfo& info) { info.ZoomX = 0; });
    Sheet();
    EXPECT_EQ(Engine->PaintFailed(), 0);
    EXPECT_NE(caption->palette().color(QPalette::WindowText), QColor(Qt::red));
}

TEST_F(EngineTest, DraggingACustomPlacedPicture)
{
    Resize(520, 620 + 2 + ToolbarPanel()->height());  // a sheet 480 wide for the 2400-pixel page
    ASSERT_EQ(Page()->width(), 480);
    Open("wide_40x20.bmp");
    Apply([](TPictavoInfo& info) {
        info.Scale = kScaleAsIs;
        info.Position = kPositionCustom;
    });
    Mouse(QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton);
    Mouse(QEvent::MouseMove, QPoint(150, 110), Qt::LeftButton);
    EXPECT_EQ(Engine->Info()->X, 250);
    EXPECT_EQ(Engine->Info()->Y, 50);
    Mouse(QEvent::MouseButtonRelease, QPoint(150, 110), Qt::LeftButton);
    Mouse(QEvent::MouseMove, QPoint(300, 300), Qt::NoButton);  // released: no longer moves
    EXPECT_EQ(Engine->Info()->X, 250);

    Mouse(QEvent::MouseButtonPress, QPoint(100, 100), Qt::RightButton);
    Mouse(QEvent::MouseMove, QPoint(150, 100), Qt::RightButton);
    EXPECT_EQ(Engine->Info()->X, 300);  // a fifth of the speed
    Mouse(QEvent::MouseButtonRelease, QPoint(150, 100), Qt::RightButton);

    Apply([](TPictavoInfo& info) { info.Position = kPositionCenter; });
    Mouse(QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton);
    Mouse(QEvent::MouseMove, QPoint(200, 100), Qt::LeftButton);
    EXPECT_EQ(Engine->Info()->X, 300);  // only a custom-placed picture moves
}

TEST_F(EngineTest, CenterAndZoomCommands)
{
    EXPECT_FALSE(Engine->CanCenter());
    Apply([](TPictavoInfo& info) { info.Scale = kScaleCustom; });
    EXPECT_FALSE(Engine->CanZoom());  // no picture
    Engine->ZoomPercent(200);
    EXPECT_EQ(Engine->Info()->ZoomX, 0);
    Open("wide_40x20.bmp");
    Apply([](TPictavoInfo& info) {
        info.Scale = kScaleAsIs;
        info.Position = kPositionCustom;
        info.X = 5;
        info.Y = 7;
    });
    ASSERT_TRUE(Engine->CanCenter());
    Engine->CenterPicture();
    EXPECT_EQ(Engine->Info()->X, (2400 - 40) / 2);
    EXPECT_EQ(Engine->Info()->Y, (3000 - 20) / 2);
    EXPECT_EQ(Engine->Info()->Position, kPositionCustom);

    EXPECT_FALSE(Engine->CanZoom());
    Apply([](TPictavoInfo& info) { info.Scale = kScaleCustom; });
    Engine->ZoomPercent(200);
    EXPECT_EQ(Engine->Info()->ZoomX, 200);
    EXPECT_EQ(Engine->Info()->ZoomY, 200);
    EXPECT_EQ(Engine->Info()->ZoomXY, 0);
    Apply([](TPictavoInfo& info) { info.Scale = kScaleCustomFixed; });
    Engine->ZoomPercent(50);
    EXPECT_EQ(Engine->Info()->ZoomXY, 50);
    Engine->ZoomPercent(0);
    EXPECT_EQ(Engine->Info()->ZoomXY, 0);
}

TEST_F(EngineTest, ToolbarGoesOnTopOrBottom)
{
    Engine->SetToolbarOnTop(true);
    QApplication::processEvents();
    EXPECT_TRUE(Engine->ToolbarOnTop());
    EXPECT_EQ(ToolbarPanel()->y(), 0);
    EXPECT_GT(ScrollBox()->y(), 0);
    Engine->SetToolbarOnTop(false);
    QApplication::processEvents();
    EXPECT_EQ(ScrollBox()->y(), 0);
    EXPECT_EQ(ToolbarPanel()->geometry().bottom(), Engine->Form()->height() - 1);
}

TEST_F(EngineTest, FlagsAnnounceOnlyRealChanges)
{
    int changes = 0;
    Engine->OnChange = [&changes](TPictavo*) { ++changes; };
    Engine->SetAutoClose(false);
    Engine->SetAutoPrint(false);
    EXPECT_EQ(changes, 0);
    Engine->SetAutoClose(true);
    Engine->SetAutoPrint(true);
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(Engine->AutoClose());
    EXPECT_TRUE(Engine->AutoPrint());
}

TEST_F(EngineTest, HostMayDestroyTheDockedFormFirst)
{
    Host.reset();
    Engine->Refresh();
    Engine->SetInfo(*Engine->Info());
    Engine->PaintPage();
    Engine.reset();
}

// ---- Command line ----------------------------------------------------------------------------------------------

class CommandLineTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        Box.emplace(SetErrorBox, [this](const QString& message, const QString&) { Errors << message; });
        Engine->OnAutoPrinted = [this](TPictavo*) { ++AutoPrinted; };
    }
    void TearDown() override
    {
        Box.reset();
        EngineTest::TearDown();
    }

    QStringList Errors;
    int AutoPrinted = 0;
    std::optional<ScopedHook<ErrorBox>> Box;
    const QString Picture = TestDataPath("engine/wide_40x20.bmp");
};

TEST_F(CommandLineTest, NoArgumentsStartsEmpty)
{
    EXPECT_TRUE(Engine->ProcessCommandLine({}));
    EXPECT_FALSE(Engine->HasPicture());
}

TEST_F(CommandLineTest, MissingPictureFails)
{
    EXPECT_FALSE(Engine->ProcessCommandLine({TestDataPath("engine/missing.bmp"), "/AUTOPRINT"}));
    EXPECT_EQ(Engine->LastError, "File not found");
    EXPECT_FALSE(Engine->AutoPrint());
    EXPECT_EQ(AutoPrinted, 0);
}

TEST_F(CommandLineTest, PictureAndTitle)
{
    EXPECT_TRUE(Engine->ProcessCommandLine({Picture, "holiday", "extra", "more"}));
    EXPECT_TRUE(Engine->HasPicture());
    EXPECT_EQ(Engine->Info()->Title, "holiday - Pictavo");
    EXPECT_FALSE(Engine->AutoPrint());
    EXPECT_FALSE(Engine->Info()->Temporary);
    EXPECT_EQ(AutoPrinted, 0);
}

TEST_F(CommandLineTest, SwitchInAnyCasePrintsAndEnds)
{
    EXPECT_TRUE(Engine->ProcessCommandLine({Picture, "holiday", "/AutoPrint"}));
    EXPECT_TRUE(Engine->AutoPrint());
    EXPECT_TRUE(Engine->Info()->Temporary);
    EXPECT_EQ(Engine->Info()->Title, "holiday - Pictavo");
    EXPECT_EQ(AutoPrinted, 1);
    EXPECT_EQ(Errors.size(), 1);  // no printer here: the failed print is shown, the run still ends
}

TEST_F(CommandLineTest, SwitchAsSecondArgumentIsNoTitle)
{
    EXPECT_TRUE(Engine->ProcessCommandLine({Picture, "/autoprint"}));
    // Without a title the document is named after its file.
    EXPECT_EQ(Engine->Info()->Title, QFileInfo(Picture).fileName() + " - Pictavo");
    EXPECT_EQ(AutoPrinted, 1);
}

TEST_F(CommandLineTest, OnlyAsciiLettersAreUpperCased)
{
    // U+0131 (dotless i) upper-cases to a plain I in Unicode; the switch must not match it.
    EXPECT_TRUE(Engine->ProcessCommandLine({Picture, QString::fromUtf8("/autopr\u0131nt")}));
    EXPECT_FALSE(Engine->AutoPrint());
    EXPECT_EQ(AutoPrinted, 0);
}

TEST_F(CommandLineTest, AutoPrintFromTheSettingsPrintsTheNamedFile)
{
    Engine->SetAutoPrint(true);
    EXPECT_TRUE(Engine->ProcessCommandLine({Picture}));
    EXPECT_EQ(AutoPrinted, 1);
    EXPECT_TRUE(Engine->Info()->Temporary);
}
