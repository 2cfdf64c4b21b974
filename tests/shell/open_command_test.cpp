#include "shell_fixture.h"

#include "common/paths.h"
#include "engine/ui/pictavo.h"
#include "formats/ui/open_handler.h"
#include "testlib/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

// Answers the open dialog for the person: picks a file, or cancels when there is none, and notes where the
// dialog started.
class AnsweredDialog {
public:
    explicit AnsweredDialog(QString pick = {})
        : FPick(std::move(pick)), FPrevious(GetOpenHandler()->RunDialog)
    {
        GetOpenHandler()->RunDialog = [this](QFileDialog& dialog) {
            StartFolders << QDir::cleanPath(dialog.directory().absolutePath());
            if (FPick.isEmpty())
                return int(QDialog::Rejected);
            dialog.selectFile(FPick);
            return int(QDialog::Accepted);
        };
    }
    ~AnsweredDialog() { GetOpenHandler()->RunDialog = FPrevious; }
    QStringList StartFolders;

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

TEST(OpenCommand, OpenFromStartButtonStartsInThePicturesFolder)
{
    auto window = MakeWindow();
    AnsweredDialog dialog;
    window->OpenfromStartButton1Click();
    const QString pictures = GetPaths()->StartMenuFolder("Pictures");
    ASSERT_FALSE(pictures.isEmpty());
    ASSERT_EQ(dialog.StartFolders.size(), 1);
    EXPECT_EQ(dialog.StartFolders[0], QDir::cleanPath(pictures));
}

}  // namespace
