#include "shell/start_menu.h"

#include "common/atomic_file.h"
#include "common/guarded.h"
#include "common/paths.h"
#include "shell/desktop_values.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kProductName = QStringLiteral("Pictavo");
const QString kIconResource = QStringLiteral(":/pictavo/pictavo.svg");

// An Exec= argument: quoted, with the characters that are special inside quotes escaped, then with the
// backslashes doubled once more because the value itself is an escaped string.
QString ExecArgument(const QString& path)
{
    QString quoted;
    for (const QChar c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted.replace("\\", "\\\\");
    quoted.replace("%", "%%");
    return '"' + quoted + '"';
}

// True when the file holds exactly these bytes; the size is compared first, so a changed file costs no read.
bool FileHolds(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (QFileInfo(path).isSymLink() || file.size() != bytes.size() || !file.open(QIODevice::ReadOnly))
        return false;
    return file.readAll() == bytes;
}

// True when both are files of the same size and bytes, read in blocks so a large program is never held whole.
bool SameFileContent(const QString& a, const QString& b)
{
    QFile first(a);
    QFile second(b);
    if (!QFileInfo(a).isFile() || !QFileInfo(b).isFile() || QFileInfo(b).isSymLink() || first.size() != second.size())
        return false;
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 kBlock = 64 * 1024;
    while (!first.atEnd()) {
        const QByteArray block = first.read(kBlock);
        if (block.isEmpty() || block != second.read(kBlock))
            return false;
    }
    return second.atEnd();
}

// The folders the desktop reads menu entries from: the user's data home first, then XDG_DATA_DIRS.
QStringList DesktopDataFolders()
{
    QStringList folders;
    folders << GetPaths().WindowsFolder();
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share/:/usr/share/");
    for (const QString& dir : dirs.split(':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir))
            folders << dir;
    }
    return folders;
}

// By rename, so a link planted at the entry's name is replaced rather than written through.
void WriteTextFile(const QString& path, const QString& text)
{
    if (FileHolds(path, text.toUtf8()))
        return;
    QString error;
    WriteFileAtomically(path, [&](QIODevice& file) { return file.write(text.toUtf8()) >= 0; }, error);
}

}  // namespace

// Outside any namespace, as Qt asks: it keeps the icon's resource in the link from the static library.
static bool OpenIconResource(QFile& icon)
{
    Q_INIT_RESOURCE(desktop_icon);
    icon.setFileName(kIconResource);
    return icon.open(QIODevice::ReadOnly);
}

QString DesktopEntryText(const QString& program)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" + kProductName + "\n"
           "GenericName=Picture Printer\n"
           "Comment=Print pictures, placed on the page exactly as the preview shows\n"
           "Exec=" + ExecArgument(program) + " %f\n"
           "Icon=" PICTAVO_ICON_NAME "\n"
           "Terminal=false\n"
           "StartupWMClass=Pictavo\n"
           "Categories=" PICTAVO_DESKTOP_CATEGORIES "\n"
           "MimeType=" PICTAVO_MIME_TYPES "\n"
           "Actions=Print;\n"
           "\n"
           "[Desktop Action Print]\n"
           "Name=Print\n"
           "Exec=" + ExecArgument(program) + " %f /AUTOPRINT\n";
}

bool IsInstalledProgram(const QString& program)
{
    const QString data = QFileInfo(QFileInfo(program).absolutePath() + "/" PICTAVO_BIN_TO_DATA).canonicalFilePath();
    if (data.isEmpty() || !QFileInfo(data + "/applications/" PICTAVO_APP_ID ".desktop").isFile())
        return false;
    for (const QString& folder : DesktopDataFolders()) {
        if (QFileInfo(folder).canonicalFilePath() == data)
            return true;
    }
    return false;
}

void CopyProgramToStartMenu()
{
    CopyProgramToStartMenu(QCoreApplication::applicationFilePath());
}

void CopyProgramToStartMenu(const QString& program)
{
    Guarded([&] {
        // The installed entry already puts the program in the menu and among the handlers of its pictures.
        if (IsInstalledProgram(program))
            return;
        TPaths& paths = GetPaths();
        const QString folder = paths.StartMenuFolder("Fenwold");
        if (folder.isEmpty())
            return;
        const QString target = folder + kProductName;
        if (!SameFileContent(program, target) && !paths.CopyFileForced(program, target))
            return;
        WriteTextFile(folder + kProductName + ".desktop", DesktopEntryText(target));
        // The entry names its icon as the installed one does; the user's icon folder lets the desktop find it.
        const QString icons = paths.WindowsFolder() + "icons/hicolor/scalable/apps/";
        MakeDirPath(icons);
        QFile icon;
        if (OpenIconResource(icon))
            WriteTextFile(icons + PICTAVO_ICON_NAME ".svg", QString::fromUtf8(icon.readAll()));
    });
}
