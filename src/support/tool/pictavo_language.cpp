// pictavo-language: the translator's tool. Turns a language file into a readable table and back, lists every
// text the program shows, and installs a shipped translation into the settings folder.
#include "common/paths.h"
#include "support/language.h"
#include "support/language_table.h"
#include "support/program_texts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace {

constexpr char kUsage[] =
    "Usage: pictavo-language COMMAND ...\n"
    "\n"
    "  export LANGUAGE.llf TABLE.tsv   write the file's texts as a table (UTF-8, English TAB translation)\n"
    "  import TABLE.tsv LANGUAGE.llf   write a language file from a table\n"
    "  template TABLE.tsv [FROM]       list every text Pictavo shows; with FROM (a table or a language file)\n"
    "                                  its translations are filled in\n"
    "  install NAME|FILE               make Pictavo speak a shipped language (de) or a table or language\n"
    "                                  file of yours, from its next start\n"
    "  uninstall                       back to English from Pictavo's next start\n"
    "\n"
    "Languages shipped: de (Deutsch).\n";

int Fail(const QString& message)
{
    std::fprintf(stderr, "pictavo-language: %s\n", message.toLocal8Bit().constData());
    return 1;
}

void Note(const QString& message)
{
    std::fprintf(stderr, "pictavo-language: %s\n", message.toLocal8Bit().constData());
}

bool ReadWhole(const QString& path, QByteArray& bytes, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = path + ": " + file.errorString();
        return false;
    }
    bytes = file.readAll();
    return true;
}

// Written beside the target and renamed over it, so a failed write leaves the old file whole.
bool WriteWhole(const QString& path, const QByteArray& bytes, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = path + ": " + file.errorString();
        return false;
    }
    return true;
}

bool IsTable(const QString& path)
{
    return QFileInfo(path).suffix().compare("tsv", Qt::CaseInsensitive) == 0 ||
           QFileInfo(path).suffix().compare("txt", Qt::CaseInsensitive) == 0;
}

bool LoadLanguageFile(const QString& path, TLanguage& language, QString& error)
{
    if (!QFileInfo(path).isFile()) {
        error = path + ": no such file";
        return false;
    }
    if (!language.LoadFile(path)) {
        error = path + ": " + language.LastError;
        return false;
    }
    return true;
}

bool LoadTable(const QString& path, TLanguage& language, QString& error)
{
    QByteArray table;
    if (!ReadWhole(path, table, error))
        return false;
    int untranslated = 0;
    int repeated = 0;
    if (!ImportTable(table, language, error, &untranslated, &repeated)) {
        error = path + ": " + error;
        return false;
    }
    if (untranslated > 0)
        Note(QStringLiteral("%1: texts left in English for want of a translation: %2").arg(path).arg(untranslated));
    if (repeated > 0)
        Note(QStringLiteral("%1: texts given again and left out (the first one counts): %2").arg(path).arg(repeated));
    return true;
}

// A table (.tsv) or a language file.
bool LoadAny(const QString& path, TLanguage& language, QString& error)
{
    return IsTable(path) ? LoadTable(path, language, error) : LoadLanguageFile(path, language, error);
}

// The name of a shipped language, or a file of the user's.
bool LoadInstallSource(const QString& what, TLanguage& language, QString& error)
{
    const QString shipped = ":/translations/" + what + ".tsv";
    if (!what.contains(u'/') && !what.contains(u'.') && QFileInfo::exists(shipped))
        return LoadTable(shipped, language, error);
    if (!QFileInfo::exists(what)) {
        error = what + ": neither a shipped language (de) nor a file";
        return false;
    }
    return LoadAny(what, language, error);
}

QString InstalledPath()
{
    return GetPaths().DataFolder("Settings") + TLanguage::kFileName;
}

int Run(const QStringList& args)
{
    const QString command = args.value(0);
    QString error;
    TLanguage language;
    if (command == "export" && args.size() == 3) {
        if (!LoadLanguageFile(args[1], language, error) || !WriteWhole(args[2], ExportTable(language), error))
            return Fail(error);
        return 0;
    }
    if (command == "import" && args.size() == 3) {
        if (!LoadTable(args[1], language, error) || !WriteWhole(args[2], language.WriteStream(), error))
            return Fail(error);
        return 0;
    }
    if (command == "template" && (args.size() == 2 || args.size() == 3)) {
        if (args.size() == 3 && !LoadAny(args[2], language, error))
            return Fail(error);
        if (!WriteWhole(args[1], TemplateTable(ProgramTexts(), language), error))
            return Fail(error);
        return 0;
    }
    if (command == "install" && args.size() == 2) {
        const QString target = InstalledPath();
        if (!LoadInstallSource(args[1], language, error) || !WriteWhole(target, language.WriteStream(), error))
            return Fail(error);
        const QString name = QString::fromLatin1(language.pC);
        std::printf("Installed %s (%d texts) as %s; it applies from Pictavo's next start.\n",
                    name.toLocal8Bit().constData(), language.Count(), target.toLocal8Bit().constData());
        return 0;
    }
    if (command == "uninstall" && args.size() == 1) {
        const QString target = InstalledPath();
        if (!GetPaths().DeleteFileForced(target))
            return Fail(target + ": cannot be removed");
        std::printf("Pictavo speaks English from its next start.\n");
        return 0;
    }
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int status = Run(QCoreApplication::arguments().mid(1));
    FreePaths();
    return status;
}
