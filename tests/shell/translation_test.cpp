#include "shell_fixture.h"

#include "common/paths.h"
#include "common/translate.h"
#include "engine/captions.h"
#include "engine/command_line.h"
#include "formats/open_image.h"
#include "shell/menu_tree.h"
#include "support/language.h"
#include "support/language_table.h"
#include "testlib/scoped_hook.h"
#include "testlib/test_env.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// The shipped German table installed as the program's language file, for as long as it lives. Captions built
// earlier in the suite are dropped, as a fresh program has none before its table is in place.
class GermanInstalled {
public:
    GermanInstalled() : FPath(GetPaths().DataFolder("Settings") + TLanguage::kFileName)
    {
        QFile table(TestDataPath() + "/../../translations/de.tsv");
        EXPECT_TRUE(table.open(QIODevice::ReadOnly));
        TLanguage german;
        QString error;
        EXPECT_TRUE(ImportTable(table.readAll(), german, error)) << error.toStdString();
        QFile file(FPath);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(german.WriteStream());
        file.close();
        Restart();
        InstallLanguage();
    }
    ~GermanInstalled()
    {
        Restart();
        QFile::remove(FPath);
    }

private:
    static void Restart()
    {
        ReleaseTranslator();
        FreeOpenImage();
        ReleaseEngineCaptions();
    }
    QString FPath;
};

}  // namespace

TEST(Translation, WithTheGermanFileEveryCaptionTheWindowBuildsIsGerman)
{
    GermanInstalled german;
    auto window = MakeWindow();
    EXPECT_EQ(Item(*window, "File1")->text(), "&Datei");
    // The key shown after a tab is no part of the caption.
    EXPECT_EQ(Item(*window, "Exit1")->text().section(u'\t', 0, 0), "&Beenden");
    EXPECT_EQ(window->findChild<QAction*>("Rotate1")->text(), "Nach rechts &drehen");
    EXPECT_EQ(window->findChild<QAction*>("N901")->text().section(u'\t', 0, 0), "&90");
    EXPECT_EQ(window->findChild<QMenu*>("File1")->title(), "&Datei");
    EXPECT_EQ(Button(*window, 1)->toolTip(), "Drucken");
    EXPECT_EQ(Button(*window, 2)->toolTip(), QString::fromUtf8("Druckereinrichtung..."));
    EXPECT_EQ(Panel(*window, "StatusPanel")->text(), "Bereit");
    EXPECT_TRUE(window->OpenSettings.Filter.startsWith("Alle Bilder|*.BMP;"));
    EXPECT_TRUE(window->OpenSettings.Filter.contains(QString::fromUtf8("|Geräteunabhängige Bitmap (*.dib)|")));
    EXPECT_EQ(ScaleCaptions().value(2), "An Seite anpassen");
    EXPECT_EQ(ParseCommandLine({"a.jpg", "/LOUDNESS=3"}).Error, "Unbekannte Option: /LOUDNESS");
    EXPECT_EQ(ParseCommandLine({"a.jpg", "/COPIES=0"}).Error,
              QString::fromUtf8("Ungültiger Wert für /COPIES: \"0\"; /COPIES erwartet eine ganze Zahl von 1 bis 99"));
    EXPECT_TRUE(NoDisplayText().startsWith("das Fenster braucht eine Anzeige (DISPLAY oder WAYLAND_DISPLAY)"));

    // The toolkit's dialogs ask the same table; what it lacks stays as the toolkit writes it.
    TLanguageTranslator toolkit;
    QCoreApplication::installTranslator(&toolkit);
    EXPECT_EQ(QFileDialog::tr("Look in:"), "Suchen in:");
    EXPECT_EQ(QFileDialog::tr("&Open"), QString::fromUtf8("Ö&ffnen"));
    EXPECT_EQ(QFileDialog::tr("Recent Places"), "Recent Places");
    QCoreApplication::removeTranslator(&toolkit);

    CapturedErrors errors;
    GetGeneral().ShowError("File not found");
    ASSERT_EQ(errors.Messages.size(), 1u);
    EXPECT_EQ(errors.Messages[0], "Datei nicht gefunden");
}

TEST(Translation, MenusAreTranslatedParentFirstAndSeparatorsAreNeverLookedUp)
{
    QMenuBar bar;
    QMenu* file = bar.addMenu("&File");
    file->addAction("&Open");
    file->addSeparator();
    file->addMenu("&Recent")->addAction("&1");
    file->addAction("-");
    file->addAction("E&xit");
    QStringList asked;
    {
        const ScopedHook translator(SwapTranslator, [&](const QString& text) {
            asked << text;
            return "<" + text + ">";
        });
        TranslateMenu(bar.actions().value(0));
        TranslateMenu(nullptr);
    }
    EXPECT_EQ(asked, QStringList({"&File", "&Open", "&Recent", "&1", "E&xit"}));
    EXPECT_EQ(file->title(), "<&File>");
    EXPECT_EQ(file->actions().value(3)->text(), "-");
}
