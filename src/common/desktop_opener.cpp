#include "common/desktop_opener.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {

DesktopOpener& Opener()
{
    static DesktopOpener opener;
    return opener;
}

void OpenForReal(const QString& target, const QString& parameters, const QString& workingFolder)
{
    const QFileInfo file(target);
    if (file.isFile() && file.isExecutable()) {
        QProcess::startDetached(file.absoluteFilePath(), QProcess::splitCommand(parameters), workingFolder);
        return;
    }
    const QUrl url = file.exists() ? QUrl::fromLocalFile(file.absoluteFilePath()) : QUrl::fromUserInput(target);
    QDesktopServices::openUrl(url);
}

}  // namespace

void OpenWithDesktop(const QString& target, const QString& parameters, const QString& workingFolder)
{
    if (Opener())
        Opener()(target, parameters, workingFolder);
    else
        OpenForReal(target, parameters, workingFolder);
}

DesktopOpener SetDesktopOpener(DesktopOpener opener)
{
    DesktopOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}
