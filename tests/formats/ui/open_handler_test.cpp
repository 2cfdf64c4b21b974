// The file dialog service, offscreen: how a dialog is set up from TOpenInfo, the preview pane, and Execute with
// the person's answer given by the test.
#include "formats/ui/open_handler.h"

#include "common/paths.h"
#include "formats/open_image.h"
#include "testlib/test_env.h"

#include <QDir>
#include <QFile>
#include <QAbstractItemView>
#include <QCompleter>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QTreeView>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

TOpenInfo PictureOpenInfo(qint32 filterIndex = 1)
{
    TOpenInfo info;
    info.Options = TOpenOption::HideReadOnly | TOpenOption::FileMustExist;
    info.Filter = GetOpenImage().Collection->GetFilter(-2, 0);
    info.FilterIndex = filterIndex;
    return info;
}

// A folder holding a few pictures copied from the test data.
QString PictureFolder()
{
    const QString folder = NewTestFolder();
    QFile::copy(TestDataPath("bmp24.bmp"), folder + "/photo.bmp");
    QFile::copy(TestDataPath("sample.jpg"), folder + "/SAMPLE.JPG");
    QFile::copy(TestDataPath("png_named.bmp"), folder + "/broken.bmp");
    return folder;
}

}  // namespace

TEST(NameFilters, FromTheRegistryFilterWithLowerCasePatterns)
{
    const TOpenImageEventCollection& registry = *GetOpenImage().Collection;
    const QStringList filters = NameFiltersFromFilter(registry.GetFilter(-2, 0));
    ASSERT_EQ(filters.size(), registry.Count() + 1);
    // Every pattern as the registry writes it, then in lower case.
    const QStringList patterns = registry.GetFilter(-1, 1).split(u';', Qt::SkipEmptyParts);
    EXPECT_EQ(filters[0], "All Pictures (" + patterns.join(u' ') + " " + patterns.join(u' ').toLower() + ")");
    EXPECT_EQ(filters[1], "Bitmap (*.bmp) (*.BMP *.bmp)");
    EXPECT_EQ(filters[13], "Text Picture (*.tep) (*.TEP *.tep)");
    EXPECT_EQ(NameFiltersFromFilter("Text|*.txt;*.TXT|All|*|"), (QStringList{"Text (*.txt *.TXT)", "All (*)"}));
    EXPECT_TRUE(NameFiltersFromFilter("").isEmpty());
    EXPECT_TRUE(NameFiltersFromFilter("dangling description").isEmpty());
}

// Never the hidden data folder: the user's Pictures folder, else home.
TEST(ResolveFolder, ExistingDirectoryElsePicturesElseHome)
{
    const QString folder = NewTestFolder();
    EXPECT_EQ(ResolveFolder(folder), folder);
    QFile(folder + "/file.bmp").open(QIODevice::WriteOnly);
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    QDir(pictures).removeRecursively();
    for (const QString& missing : {folder + "/missing", QString(), folder + "/file.bmp"})
        EXPECT_EQ(ResolveFolder(missing), QDir::homePath());
    ASSERT_TRUE(QDir().mkpath(pictures));
    EXPECT_EQ(ResolveFolder(folder + "/missing"), pictures);
    QDir(pictures).removeRecursively();
}

TEST(ConfigureDialog, OpenDialogFromTheInfo)
{
    const QString folder = PictureFolder();
    TOpenInfo info = PictureOpenInfo(3);
    info.FileName = folder + "/photo.bmp";
    info.DefaultExt = "*.DIB";  // the registry's pattern
    QFileDialog dialog;
    ConfigureDialog(dialog, info, TDialogKind::Open, {});
    EXPECT_EQ(dialog.defaultSuffix(), "DIB");
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog.nameFilters().size(), 24);
    EXPECT_EQ(dialog.selectedNameFilter(), "Device Independant Bitmap (*.dib)");  // pattern list hidden
    EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(folder).canonicalPath());
    EXPECT_EQ(dialog.findChild<TPicturePreview*>(), nullptr);
}

TEST(ConfigureDialog, FilterIndexOutOfRangeSelectsTheFirst)
{
    QFileDialog dialog;
    ConfigureDialog(dialog, PictureOpenInfo(99), TDialogKind::Open, {});
    EXPECT_EQ(dialog.selectedNameFilter(), "All Pictures");
}

TEST(ConfigureDialog, SaveDialogStartsWithTheNamePartAndSuffix)
{
    const QString folder = PictureFolder();
    TOpenInfo info = PictureOpenInfo();
    info.DefaultExt = "bmp";
    info.FileName = folder + "/photo.bmp";
    QFileDialog dialog;
    const QString other = NewTestFolder();
    ConfigureDialog(dialog, info, TDialogKind::Save, other);  // an explicit folder wins over the file's
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.defaultSuffix(), "bmp");
    EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(other).canonicalPath());
    ASSERT_EQ(dialog.selectedFiles().size(), 1);
    EXPECT_EQ(QFileInfo(dialog.selectedFiles().first()).fileName(), "photo.bmp");
    // Choosing another type gives a bare name that type's extension.
    emit dialog.filterSelected(dialog.nameFilters()[13]);
    EXPECT_EQ(dialog.defaultSuffix(), "tep");
}

TEST(ConfigureDialog, MissingFolderStartsAtHome)
{
    QFileDialog dialog;
    ConfigureDialog(dialog, PictureOpenInfo(), TDialogKind::Open, TestHome() + "/no/such/folder");
    EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir::home().canonicalPath());
}

TEST(PreviewPane, ShowsTheHighlightedFileThroughTheRegistry)
{
    const QString folder = PictureFolder();
    QFileDialog dialog;
    ConfigureDialog(dialog, PictureOpenInfo(), TDialogKind::OpenPreview, folder);
    ConfigureDialog(dialog, PictureOpenInfo(), TDialogKind::OpenPreview, folder);  // reused: still one pane
    ASSERT_EQ(dialog.findChildren<TPicturePreview*>().size(), 1);
    TPicturePreview* preview = dialog.findChild<TPicturePreview*>();
    preview->resize(200, 200);

    emit dialog.currentChanged(folder + "/SAMPLE.JPG");  // upper-case extension, as the registry wants none
    EXPECT_EQ(preview->Picture().size(), QSize(640, 480));
    ASSERT_FALSE(preview->pixmap().isNull());
    EXPECT_LE(preview->pixmap().width(), preview->contentsRect().width());
    EXPECT_NEAR(preview->pixmap().width() * 3.0 / 4.0, preview->pixmap().height(), 1.0);  // keeps 4:3

    emit dialog.currentChanged(folder + "/photo.bmp");  // small: shown at its natural size
    EXPECT_EQ(preview->pixmap().size(), QSize(16, 12));

    emit dialog.currentChanged(folder + "/broken.bmp");
    EXPECT_TRUE(preview->Picture().isNull());
    EXPECT_TRUE(preview->pixmap().isNull());
    emit dialog.currentChanged(folder);
    EXPECT_TRUE(preview->pixmap().isNull());
}

TEST(OpenHandler, ExecuteReturnsTheAnswerAndTheFilterIndex)
{
    const QString folder = PictureFolder();
    TOpenHandler handler;
    handler.RunDialog = [&](QFileDialog& dialog) {
        EXPECT_NE(dialog.findChild<TPicturePreview*>(), nullptr);
        dialog.selectNameFilter(dialog.nameFilters()[4]);
        dialog.selectFile(folder + "/SAMPLE.JPG");
        return int(QDialog::Accepted);
    };
    TOpenInfo info = PictureOpenInfo();
    QString chosen = "stale";
    EXPECT_TRUE(handler.Execute(info, TDialogKind::OpenPreview, chosen, folder));
    EXPECT_EQ(QFileInfo(chosen).canonicalFilePath(), QFileInfo(folder + "/SAMPLE.JPG").canonicalFilePath());
    EXPECT_EQ(info.FilterIndex, 5);
    EXPECT_EQ(handler.Dialog(TDialogKind::OpenPreview), handler.Dialog(TDialogKind::OpenPreview));
    EXPECT_NE(handler.Dialog(TDialogKind::Open), handler.Dialog(TDialogKind::OpenPreview));
}

// The dialog is shown over the window it is opened from, with room for its columns, and a completion list the
// person left open goes with it.
TEST(OpenHandler, DialogBelongsToTheWindowAndTakesItsCompletionsAlong)
{
    QWidget window;
    window.show();
    TOpenHandler handler;
    QAbstractItemView* completions = nullptr;
    handler.RunDialog = [&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.parentWidget(), &window);
        EXPECT_GE(dialog.width(), 600);
        const auto* tree = dialog.findChild<QTreeView*>("treeView");
        EXPECT_GE(tree->header()->sectionSize(2), tree->fontMetrics().horizontalAdvance("JPEG image"));
        dialog.show();
        QCompleter* completer = dialog.findChild<QLineEdit*>("fileNameEdit")->completer();
        completions = completer->popup();
        completions->show();
        return int(QDialog::Rejected);
    };
    TOpenInfo info = PictureOpenInfo();
    QString chosen;
    handler.Execute(info, TDialogKind::Open, chosen, PictureFolder(), &window);
    ASSERT_NE(completions, nullptr);
    EXPECT_FALSE(completions->isVisible());
}

TEST(OpenHandler, CancelGivesTheInitialName)
{
    const QString folder = PictureFolder();
    TOpenHandler handler;
    handler.RunDialog = [](QFileDialog&) { return int(QDialog::Rejected); };
    TOpenInfo info = PictureOpenInfo(2);
    info.FileName = folder + "/photo.bmp";
    QString chosen;
    EXPECT_FALSE(handler.Execute(info, TDialogKind::Save, chosen, {}));
    EXPECT_EQ(chosen, "photo.bmp");
    EXPECT_EQ(info.FilterIndex, 2);
    EXPECT_FALSE(handler.Execute(info, TDialogKind::Open, chosen, {}));
    EXPECT_EQ(chosen, "");
}

TEST(OpenHandler, PreviewKindFallsBackToThePlainDialog)
{
    TOpenHandler handler;
    int runs = 0;
    handler.RunDialog = [&](QFileDialog& dialog) -> int {
        ++runs;
        if (dialog.findChild<TPicturePreview*>())
            throw std::runtime_error("preview failed");
        return QDialog::Accepted;
    };
    TOpenInfo info = PictureOpenInfo();
    QString chosen;
    EXPECT_TRUE(handler.Execute(info, TDialogKind::SavePreview, chosen, {}));
    EXPECT_EQ(runs, 2);
}

TEST(OpenHandler, GlobalServiceLivesUntilFreed)
{
    const TOpenHandler* handler = &GetOpenHandler();
    EXPECT_EQ(&GetOpenHandler(), handler);
    FreeOpenHandler();
    FreeOpenImage();
}
