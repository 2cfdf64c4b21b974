#include "shell_fixture.h"

#include "common/paths.h"
#include "engine/ui/pictavo.h"
#include "formats/ui/open_handler.h"
#include "platform/printer.h"
#include "testlib/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <gtest/gtest.h>

namespace {

// Answers the open dialog for the person: picks a file, or cancels when there is none, and notes where the
// dialog started.
class AnsweredDialog {
public:
    explicit AnsweredDialog(QString pick = {})
        : FPick(std::move(pick)), FPrevious(GetOpenHandler().RunDialog)
    {
        GetOpenHandler().RunDialog = [this](QFileDialog& dialog) {
            StartFolders << QDir::cleanPath(dialog.directory().absolutePath());
            Parents << dialog.parentWidget();
            if (FPick.isEmpty())
                return int(QDialog::Rejected);
            dialog.selectFile(FPick);
            return int(QDialog::Accepted);
        };
    }
    ~AnsweredDialog() { GetOpenHandler().RunDialog = FPrevious; }
    QStringList StartFolders;
    QList<QWidget*> Parents;

private:
    QString FPick;
    std::function<int(QFileDialog&)> FPrevious;
};

TEST(OpenCommand, ACancelledDialogChangesNothing)
{
    CapturedErrors errors;
    auto window = MakeWindow();
    AnsweredDialog dialog;
    window->Open1Click();
    EXPECT_EQ(dialog.StartFolders.size(), 1);
    EXPECT_FALSE(window->Engine->HasPicture());
    EXPECT_TRUE(window->OpenSettings.FileName.isEmpty());
    EXPECT_FALSE(window->IsBusy());
    EXPECT_TRUE(errors.Messages.empty());
}

TEST(OpenCommand, TheChosenFileOpensAndSeedsTheNextDialog)
{
    auto window = MakeWindow();
    {
        AnsweredDialog dialog(HolidayPicture());
        window->Open1Click();
    }
    EXPECT_TRUE(window->Engine->HasPicture());
    EXPECT_EQ(QFileInfo(window->OpenSettings.FileName), QFileInfo(HolidayPicture()));
    EXPECT_FALSE(window->IsBusy());

    AnsweredDialog next;
    window->Open1Click();
    ASSERT_EQ(next.StartFolders.size(), 1);
    EXPECT_EQ(next.StartFolders[0], QFileInfo(HolidayPicture()).absolutePath());
}

// The status bar refreshes while the open fails; its printer check must not replace the reason shown.
TEST(OpenCommand, AnUnreadableChoiceShowsTheLoadersReason)
{
    const QString broken = NewTestFolder() + "/broken.bmp";
    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("BM this is no bitmap");
    }
    TPictavo bare;
    ASSERT_FALSE(bare.OpenPicture(broken));

    CapturedErrors errors;
    auto window = MakeWindow();
    AnsweredDialog dialog(broken);
    window->Open1Click();
    ASSERT_EQ(errors.Messages.size(), 1u);
    EXPECT_EQ(errors.Messages[0], broken + ": " + bare.LastError);
    EXPECT_FALSE(window->IsBusy());
}

// Every failed open names the file; an extension nobody reads is named too.
TEST(OpenCommand, FailuresNameTheFileAndAnUnknownExtension)
{
    const QString folder = NewTestFolder();
    const QString movie = folder + "/holiday.mkv";
    QFile::copy(HolidayPicture(), movie);
    CapturedErrors errors;
    auto window = MakeWindow();
    window->OpenChosenFile(movie);
    ASSERT_EQ(errors.Messages.size(), 1u);
    EXPECT_EQ(errors.Messages[0], movie + ": Unsupported format (.mkv)");
    // The next failure is about something else and names no file.
    window->Engine->LastError = "Task failed";
    window->Engine->ShowLastError();
    EXPECT_EQ(errors.Messages.back(), "Task failed");
}

// A picture that could only partly be read opens, and the status bar says so.
TEST(OpenCommand, PartlyReadPictureOpensAndTheStatusBarSaysSo)
{
    CapturedErrors errors;
    auto window = MakeWindow();
    window->OpenChosenFile(TestDataPath("truncated.jpg"));
    EXPECT_TRUE(errors.Messages.empty());
    EXPECT_TRUE(window->Engine->HasPicture());
    EXPECT_TRUE(Panel(*window, "StatusPanel")->text().startsWith("Picture only partly read: ")) << Panel(*window, "StatusPanel")->text().toStdString();
    window->OpenChosenFile(HolidayPicture());
    EXPECT_EQ(Panel(*window, "StatusPanel")->text(), "Ready");
}

TEST(OpenCommand, OpenFromStartButtonStartsInThePicturesFolder)
{
    auto window = MakeWindow();
    AnsweredDialog dialog;
    window->OpenfromStartButton1Click();
    const QString pictures = GetPaths().StartMenuFolder("Pictures");
    ASSERT_FALSE(pictures.isEmpty());
    ASSERT_EQ(dialog.StartFolders.size(), 1);
    EXPECT_EQ(dialog.StartFolders[0], QDir::cleanPath(pictures));
}

}  // namespace

namespace {

// A copy of the test picture under another name, in a folder of its own.
QString PictureNamed(const QString& name)
{
    const QString copy = NewTestFolder() + "/" + name;
    QFile::copy(HolidayPicture(), copy);
    return copy;
}

TEST(OpenCommand, TheDialogBelongsToTheWindowAndStartsBesideThePicture)
{
    const QString beach = PictureNamed("beach.bmp");
    auto window = MakeWindow({beach});
    AnsweredDialog dialog;
    window->Open1Click();
    ASSERT_EQ(dialog.Parents.size(), 1);
    EXPECT_EQ(dialog.Parents[0], window.get());
    EXPECT_EQ(dialog.StartFolders[0], QFileInfo(beach).absolutePath());
    const QFileDialog* shown = GetOpenHandler().Dialog(TDialogKind::OpenPreview);
    EXPECT_GE(shown->width(), 600);
    EXPECT_GE(shown->height(), 400);
}

// The title and the print job name the picture on show: a command-line title, then the file opened last; a
// pasted picture has no name.
TEST(OpenCommand, TheTitleFollowsThePictureOnShow)
{
    auto window = MakeWindow({HolidayPicture(), "Holiday"});
    EXPECT_EQ(window->windowTitle(), "Holiday - Pictavo");
    {
        AnsweredDialog dialog(PictureNamed("beach.bmp"));
        window->Open1Click();
    }
    EXPECT_EQ(window->windowTitle(), "beach.bmp - Pictavo");
    EXPECT_TRUE(window->Engine->Info()->JobTitle.startsWith("beach.bmp - Pictavo ["));

    QImage pasted(5, 5, QImage::Format_RGB32);
    pasted.fill(Qt::blue);
    QGuiApplication::clipboard()->setImage(pasted);
    window->Paste1Click();
    EXPECT_EQ(window->Engine->Picture().size(), QSize(5, 5));
    EXPECT_EQ(window->windowTitle(), "Pictavo");
}

// Print to File needs no printer and writes what /PRINTTO writes; the window's printer comes back afterwards.
TEST(PrintToFile, WritesAPdfOrPngPageAndKeepsThePrinter)
{
    auto window = MakeWindow({HolidayPicture()});
    const platform::TPrinterPort* printer = &platform::ActivePrinter();
    const QString folder = NewTestFolder();
    for (const QString& name : {QString("page.pdf"), QString("page.png")}) {
        SCOPED_TRACE(name.toStdString());
        CapturedErrors errors;
        {
            AnsweredDialog dialog(folder + "/" + name);
            window->RunShortcut(Item(*window, "PrintToFile1"));
        }
        EXPECT_TRUE(errors.Messages.empty()) << errors.Messages.front().toStdString();
        EXPECT_EQ(&platform::ActivePrinter(), printer);
        EXPECT_FALSE(window->IsBusy());
    }
    QFile pdf(folder + "/page.pdf");
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    const QImage png(folder + "/page.png");
    ASSERT_FALSE(png.isNull());
    EXPECT_NEAR(double(png.height()) / png.width(), double(window->Engine->PageHeight()) / window->Engine->PageWidth(),
                0.01);
    EXPECT_EQ(QFileInfo(window->PrintFileSettings.FileName).fileName(), "page.png");  // the next dialog's start

    // Without a picture the item is disabled, and its key does nothing.
    auto empty = MakeWindow();
    AnsweredDialog never(folder + "/never.pdf");
    empty->RunShortcut(Item(*empty, "PrintToFile1"));
    EXPECT_FALSE(Item(*empty, "PrintToFile1")->isEnabled());
    EXPECT_TRUE(never.StartFolders.isEmpty());
}

}  // namespace
