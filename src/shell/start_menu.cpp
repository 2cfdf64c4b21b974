#include "shell/start_menu.h"

#include "common/atomic_file.h"
#include "common/paths.h"

#include <QCoreApplication>
#include <QFile>

namespace {

const QString kProductName = QStringLiteral("Pictavo");

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

// By rename, so a link planted at the entry's name is replaced rather than written through.
void WriteTextFile(const QString& path, const QString& text)
{
    QString error;
    WriteFileAtomically(path, [&](QIODevice& file) { return file.write(text.toUtf8()) >= 0; }, error);
}

}  // namespace

QString DesktopEntryText(const QString& program)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" + kProductName + "\n"
           "Comment=Print pictures\n"
           "Exec=" + ExecArgument(program) + " %f\n"
           "Terminal=false\n"
           "Categories=Graphics;\n";
}

void CopyProgramToStartMenu()
{
    try {
        TPaths* paths = GetPaths();
        if (!paths)
            return;
        const QString folder = paths->StartMenuFolder("Fenwold");
        if (folder.isEmpty())
            return;
        const QString target = folder + kProductName;
        if (!paths->CopyFileForced(QCoreApplication::applicationFilePath(), target))
            return;
        WriteTextFile(folder + kProductName + ".desktop", DesktopEntryText(target));
    } catch (...) {
    }
}
