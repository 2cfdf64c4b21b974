#include "support/language.h"

#include "common/paths.h"
#include "common/translate.h"
#include "support/component_stream.h"
#include "support/language_table.h"
#include "testlib/test_env.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>

namespace {

TLanguage Table(std::initializer_list<std::pair<const char*, const char*>> pairs)
{
    TLanguage language;
    for (const auto& [english, translated] : pairs)
        language.AddEntry(QString::fromLatin1(english), QString::fromLatin1(translated));
    return language;
}

QString WriteFile(const QByteArray& bytes, const QString& name = "language.llf")
{
    const QString path = NewTestFolder() + "/" + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QByteArray Tli(const QByteArray& x, const QByteArray& y)
{
    TComponentStream item;
    item.ClassName = "TLI";
    item.AddText("X", x);
    item.AddText("Y", y);
    return WriteComponentStream(item);
}

QByteArray LanguageStream(std::initializer_list<std::pair<QByteArray, QByteArray>> properties)
{
    TComponentStream stream;
    stream.ClassName = "TLanguage";
    for (const auto& [name, value] : properties)
        stream.AddText(name, value);
    return WriteComponentStream(stream);
}

void ExpectDefaults(const TLanguage& language)
{
    EXPECT_EQ(language.pC, "English");
    EXPECT_EQ(language.Count(), 0);
    EXPECT_EQ(language.KeyA, DefaultKeyA());
    EXPECT_EQ(language.KeyB, DefaultKeyB());
}

}  // namespace

TEST(LanguageKeys, AddAndSubtractUndoEachOtherAndRepeatTheKey)
{
    const QByteArray text("\x00\x7f\xff" "abcdef", 9);
    EXPECT_EQ(AddKey("ab", QByteArray("\x01\xff", 2)), QByteArray("b" "a"));
    EXPECT_EQ(AddKey("aaa", QByteArray("\x01\x02", 2)), "bcb");
    EXPECT_EQ(SubtractKey(AddKey(text, DefaultKeyB()), DefaultKeyB()), text);
    EXPECT_EQ(AddKey(text, {}), text);
}

TEST(LanguageLookup, KeepsMarksAndTailsAndMatchesAsciiCaseOnly)
{
    const TLanguage fr = Table({{"Open file", "Ouvrir le fichier"},
                                {"Save As", "Enregistrer sous"},
                                {"Exit", "Quitter"},
                                {"File", "&Datei"},
                                {"Edit", "Bearbeiten"},
                                {"Print", "&Drucken"},
                                {"\xe9" "cran", "Bildschirm"},
                                {"copy", "Kopie"},
                                {"Copy", "Kopieren"},
                                {"", "never"}});
    EXPECT_EQ(fr.TranslateText("&Open file..."), "&Ouvrir le fichier...");
    EXPECT_EQ(fr.TranslateText("Save As..."), "Enregistrer sous...");
    // The letter is not in the translation: no mark. The translator's own mark wins over the English letter.
    EXPECT_EQ(fr.TranslateText("E&xit"), "Quitter");
    EXPECT_EQ(fr.TranslateText("&File"), "&Datei");
    EXPECT_EQ(fr.TranslateText("&Edit"), "B&earbeiten");
    // A hint shares its entry with the menu item but shows no mark.
    EXPECT_EQ(fr.TranslateText("Print"), "Drucken");
    EXPECT_EQ(fr.TranslateText("OPEN FILE"), "Ouvrir le fichier");
    EXPECT_EQ(fr.TranslateText("\xc9" "CRAN"), "\xc9" "CRAN");
    EXPECT_EQ(fr.TranslateText("copy"), "Kopie");
    EXPECT_EQ(fr.TranslateText("&Copy"), "Kopieren");
    EXPECT_EQ(fr.TranslateText("COPY"), "Kopie");
    EXPECT_EQ(fr.Lookup(""), -1);
    EXPECT_EQ(fr.TranslateText("..."), "...");

    bool allFound = true;
    EXPECT_EQ(fr.TranslateText("Open file\nnot there", &allFound), "Ouvrir le fichier\r\nnot there");
    EXPECT_FALSE(allFound);
    EXPECT_EQ(fr.TranslateText("Exit\r\nSave As\n", &allFound), "Quitter\r\nEnregistrer sous");
    EXPECT_TRUE(allFound);
    // Without any entry a text keeps its mark where it stood and its own line breaks.
    EXPECT_EQ(fr.TranslateText("Rotate &Right\nsecond", &allFound), "Rotate &Right\nsecond");
    EXPECT_FALSE(allFound);
    EXPECT_EQ(fr.TranslateText(""), "");
}

TEST(LanguageFile, WritesAndReadsBackEntriesKeysAndDescription)
{
    TLanguage written = Table({{"Open", "\xd6" "&ffnen"}, {"Empty", ""}, {"", "no English"}});
    written.pC = "Deutsch";
    written.pP = "Pictavo";
    written.pD = "Beschreibung";
    written.KeyA = "own key A";
    written.KeyB = QByteArray("\x01\xfe", 2);
    const QString path = WriteFile(written.WriteStream());
    TLanguage read;
    ASSERT_TRUE(read.LoadFile(path));
    EXPECT_EQ(read.pC, "Deutsch");
    EXPECT_EQ(read.pP, "Pictavo");
    EXPECT_EQ(read.pD, "Beschreibung");
    EXPECT_EQ(read.KeyA, "own key A");
    ASSERT_EQ(read.Count(), 3);
    EXPECT_EQ(read.Entries[0].TranslatedText, QString::fromLatin1("\xd6" "&ffnen"));
    // An entry without Y does not take the previous entry's translation.
    EXPECT_EQ(read.Entries[1].TranslatedText, "");
    EXPECT_EQ(read.Entries[2].EnglishText, "");
    EXPECT_EQ(read.WriteStream(), written.WriteStream());
}

TEST(LanguageFile, WithoutKeysUsesTheBuiltInOnesAndReadsTheFirst4000Entries)
{
    QByteArray entries;
    for (int i = 0; i <= TLanguage::kMaxEntries; ++i)
        entries += Tli(AddKey("Text " + QByteArray::number(i), DefaultKeyA()), AddKey("T", DefaultKeyB()));
    TLanguage language;
    ASSERT_TRUE(language.LoadFile(WriteFile(LanguageStream({{"pC", "Test"}, {"pI", entries}}))));
    EXPECT_EQ(language.Count(), TLanguage::kMaxEntries);
    EXPECT_EQ(language.TranslateText("Text 3999"), "T");
    EXPECT_EQ(language.TranslateText("Text 4000"), "Text 4000");
}

TEST(LanguageFile, HostileFilesEndQuicklyWithDefaults)
{
    QElapsedTimer clock;
    clock.start();
    const QByteArray good = LanguageStream({{"pC", "Test"}, {"pI", Tli(AddKey("A", DefaultKeyA()), "b")}});
    // A text length beyond the file, an unknown property, an integer value: unreadable as a whole.
    QByteArray beyond = good;
    beyond[beyond.indexOf("pC") + 3] = char(200);
    TComponentStream withInteger;
    withInteger.AddInteger("pC", 1);
    for (const QByteArray& bytes : {beyond, LanguageStream({{"pZ", "x"}}), WriteComponentStream(withInteger),
                                    good.left(good.size() - 1), QByteArray("TPF0")}) {
        TLanguage language;
        EXPECT_FALSE(language.LoadFile(WriteFile(bytes)));
        EXPECT_EQ(language.LastError, "Unsupported format");
        ExpectDefaults(language);
    }
    // A file of 2 GB (sparse) is refused without being read.
    const QString huge = WriteFile(good);
    ASSERT_TRUE(QFile::resize(huge, qint64(2) << 30));
    TLanguage language;
    EXPECT_FALSE(language.LoadFile(huge));
    EXPECT_EQ(language.LastError, "Unsupported format");
    QFile::remove(huge);

    // An entry claiming 2 GB ends the entries; those before it stay.
    const QByteArray first = Tli(AddKey("One", DefaultKeyA()), AddKey("Eins", DefaultKeyB()));
    QByteArray claim = Tli(QByteArray(300, 'x'), "y");
    const qsizetype length = claim.indexOf(char(12)) + 1;
    claim.replace(length, 4, QByteArray("\xff\xff\xff\x7f", 4));
    ASSERT_TRUE(language.LoadFile(WriteFile(LanguageStream({{"pI", first + claim + first}}))));
    EXPECT_EQ(language.Count(), 1);
    EXPECT_EQ(language.TranslateText("One"), "Eins");

    QByteArray many;
    const QByteArray one = Tli("x", "y");
    for (int i = 0; i < 100000; ++i)
        many += one;
    ASSERT_TRUE(language.LoadFile(WriteFile(LanguageStream({{"pI", many}}))));
    EXPECT_EQ(language.Count(), TLanguage::kMaxEntries);
    EXPECT_LT(clock.elapsed(), 20000);  // a guard against a hang, not a speed measure
}

TEST(LanguageFile, MissingFileGivesDefaultsAndAFileInUseIsRetried)
{
    const QString folder = NewTestFolder();
    TLanguage language;
    EXPECT_TRUE(language.LoadFile(folder + "/none.llf"));
    ExpectDefaults(language);

    // A folder in the file's place cannot be opened: the load waits and tries again until the file appears.
    const QString path = folder + "/language.llf";
    ASSERT_TRUE(QDir().mkpath(path));
    int pauses = 0;
    language.Pause = [&](int ms) {
        EXPECT_EQ(ms, 20);
        if (++pauses == 3) {
            QDir(path).removeRecursively();
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(LanguageStream({{"pC", "Later"}}));
        }
    };
    EXPECT_TRUE(language.LoadFile(path));
    EXPECT_EQ(pauses, 3);
    EXPECT_EQ(language.pC, "Later");

    QFile::remove(path);
    ASSERT_TRUE(QDir().mkpath(path));
    pauses = 0;
    language.Pause = [&](int) { ++pauses; };
    EXPECT_FALSE(language.LoadFile(path));
    EXPECT_EQ(pauses, TLanguage::kLoadAttempts - 1);
    EXPECT_EQ(language.LastError, "File in use");
    ExpectDefaults(language);
    QDir(path).removeRecursively();
}

TEST(LanguageTable, ExportImportRoundTripsAndRefusesWhatLatin1CannotHold)
{
    TLanguage language = Table({{"Open", "\xd6" "&ffnen"},
                                {"#hash", "tab\there"},
                                {"@at", "back\\slash\nline \x01"},
                                {"Gr\xf6\xdf" "e", "Size"},
                                {"Tom & Jerry", "Tom und Jerry"}});
    language.pC = "Deutsch";
    language.pD = "Beschreibung";
    language.KeyB = "my own key";
    const QByteArray file = language.WriteStream();
    const QByteArray table = ExportTable(language);
    EXPECT_TRUE(table.contains("Gr\xc3\xb6\xc3\x9f" "e\tSize\n"));
    TLanguage back;
    QString error;
    ASSERT_TRUE(ImportTable(table, back, error)) << error.toStdString();
    EXPECT_EQ(back.WriteStream(), file);

    // The template's form: marks and dots come off as the program looks the texts up; lines without a
    // translation and repeated texts are left out.
    int untranslated = 0;
    int repeated = 0;
    ASSERT_TRUE(ImportTable("@language\tDeutsch\n&Open...\t\xc3\x96&ffnen...\nE&xit\t\n&Open\tnochmal\r\n", back, error,
                            &untranslated, &repeated));
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.Entries[0].EnglishText, "Open");
    EXPECT_EQ(back.Entries[0].TranslatedText, QString::fromUtf8("\xc3\x96&ffnen"));
    EXPECT_EQ(untranslated, 1);
    EXPECT_EQ(repeated, 1);

    EXPECT_FALSE(ImportTable("@language\tPolski\n\nSize\tRozmiar \xc5\x82\n", back, error));
    EXPECT_EQ(error.toStdString(), "line 3: \"\xc5\x82\" (U+0142) cannot be stored: a language file holds only "
                                   "Latin-1 characters (U+0000 to U+00FF); write the text without it");
    ExpectDefaults(back);
    EXPECT_FALSE(ImportTable("Size Gr\xc3\xb6\xc3\x9f" "e\n", back, error));
    EXPECT_EQ(error, "line 1: no tab between the English text and its translation");
    EXPECT_FALSE(ImportTable("A\tb\\q\n", back, error));
    EXPECT_FALSE(ImportTable("A\t\xff\n", back, error));
}

TEST(LanguageService, TranslateUsesTheSettingsFolderFileUntilReleased)
{
    TLanguage german = Table({{"Ready", "Bereit"}});
    const QString path = GetPaths().DataFolder("Settings") + TLanguage::kFileName;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(german.WriteStream());
    file.close();

    InstallLanguage();
    EXPECT_EQ(Translate("Ready"), "Bereit");
    ASSERT_NE(GetLanguage(), nullptr);
    EXPECT_EQ(GetLanguage()->pC, "English");
    ReleaseTranslator();
    EXPECT_EQ(Translate("Ready"), "Ready");
    QFile::remove(path);
}
