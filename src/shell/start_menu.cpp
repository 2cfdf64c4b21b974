#include "shell/start_menu.h"

#include "common/paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

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

void WriteTextFile(const QString& path, const QString& text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(text.toUtf8());
    file.commit();
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
