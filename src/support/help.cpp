#include "support/help.h"

#include "common/failure_texts.h"
#include "common/general.h"
#include "common/guarded.h"
#include "common/paths.h"
#include "support/scrambled.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

const QByteArray kDefaultFolderName = QByteArrayLiteral("\xa7\xce\xd1\xd8\xd3\xdb\xdb");  // Pictavo
const QByteArray kMarkerName = QByteArrayLiteral("\xbf\xca\xda\xd4\xa0\xd4\xd7");         // help.ok
const QByteArray kRemovePattern = QByteArrayLiteral("\x81");                              // *

// Help services alive now. A process that ends without destroying them (a fatal error, an early exit) still
// takes their pages away: std::exit runs the handler below.
std::vector<THelp*>& LiveHelps()
{
    static std::vector<THelp*> helps;
    return helps;
}

void RemoveLiveHelpFiles()
{
    for (THelp* help : LiveHelps()) {
        Guarded([&] { help->RemoveFiles(); });
    }
}

void Register(THelp* help)
{
    std::vector<THelp*>& helps = LiveHelps();  // made before the handler is registered, so it outlives it
    static const bool registered = std::atexit(RemoveLiveHelpFiles) == 0;
    (void)registered;
    helps.push_back(help);
}

void Unregister(THelp* help)
{
    std::vector<THelp*>& helps = LiveHelps();
    helps.erase(std::remove(helps.begin(), helps.end(), help), helps.end());
}

}  // namespace

THelp::THelp(const QString& productName, QImage* carrier)
{
    FolderName = productName.isEmpty() ? Unscramble(kDefaultFolderName) : productName;
    // The services the exit handler uses are made first, so they are still there when it runs.
    GetPaths();
    const TGeneral& general = GetGeneral();
    for (const char* unsafe : {"*", "?", " ", "/", "\\"})
        general.ReplaceAll(FolderName, unsafe, "_");
    LoadArchive(carrier);
    Register(this);
}

THelp::~THelp()
{
    Unregister(this);
    Guarded([&] { RemoveFiles(); });
}

QString THelp::MarkerName()
{
    return Unscramble(kMarkerName);
}

bool THelp::IsPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\\') &&
           !name.contains(QChar(0));
}

bool THelp::LoadArchive(QImage* carrier)
{
    LastError = kOutOfMemory;
    Box.Clear();
    if (!carrier || carrier->isNull())
        return false;
    QByteArray file;
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadWrite);
    if (!carrier->save(&buffer, "BMP"))
        return false;
    buffer.seek(0);
    if (!Box.LoadFromStream(buffer, false)) {
        LastError = Box.LastError;
        return false;
    }
    // The pages now live in the box; the bitmap's memory goes back.
    *carrier = carrier->copy(0, 0, 1, 1);
    return true;
}

QString THelp::HelpFolder()
{
    // Only the path: the folders are made when the pages are first written, so a run without help makes none.
    if (FHelpFolder.isEmpty())
        FHelpFolder = GetPaths().MakerDataFolder() + "Help/" + GetPaths().AddSlash(FolderName);
    return FHelpFolder;
}

bool THelp::PrepareFolder()
{
    LastError = kFileInUse;
    const QString folder = HelpFolder();
    const QString bare = folder.chopped(1);
    if (QFileInfo(bare).isFile() || QFileInfo(bare).isSymLink()) {
        if (!GetPaths().DeleteFileForced(bare))
            return false;
    }
    // The maker's folder goes with the pages only when the help made it.
    if (!QFileInfo::exists(GetPaths().MakerDataFolder()))
        FMadeMakerFolder = true;
    // Made below the data home through no link, so the pages land nowhere a planted link points.
    LastError = kOutOfDiskSpace;
    if (!MakeDirPathBelow(GetPaths().WindowsFolder(), folder))
        return false;
    if (QFileInfo::exists(folder + MarkerName()))
        return true;
    for (int i = 0; i < Box.Count(); ++i) {
        const TBoxItem* item = Box.Items(i);
        const QString name = QString::fromUtf8(item->pName);
        // An archive can name anything; only plain names inside the folder are ever written.
        if (!IsPlainFileName(name))
            continue;
        if (!Box.ExtractToFile(item, folder + name, false)) {
            LastError = Box.LastError;
            return false;
        }
    }
    return true;
}

bool THelp::ShowPage(const QString& page)
{
    return GuardedOr(false, [&] {
        LastError = kOutOfMemory;
        if (!PrepareFolder())
            return false;
        LastError = kFileNotFound;
        const QString path = HelpFolder() + page;
        if (!IsPlainFileName(page) || !QFileInfo(path).isFile())
            return false;
        GetPaths().OpenWithShell(path, "");
        return true;
    });
}

void THelp::ShowLastError() const
{
    GetGeneral().ShowError(LastError);
}

void THelp::RemoveFiles()
{
    const QString folder = HelpFolder();
    const QStringList names =
        GetGeneral().ListFiles(folder + Unscramble(kRemovePattern), false).split("\r\n", Qt::SkipEmptyParts);
    for (const QString& name : names)
        GetPaths().DeleteFileForced(folder + name);
    // The folders above the pages go too once nothing else is in them, each tried on its own: an empty folder
    // left by an earlier run goes as well. None is removed through a link at the maker's folder (the ones below
    // are checked on removal).
    const QString maker = GetPaths().MakerDataFolder();
    if (QFileInfo(maker.chopped(1)).isSymLink())
        return;
    RemoveEmptyFolder(folder);
    RemoveEmptyFolder(maker + "Help");
    if (FMadeMakerFolder)
        RemoveEmptyFolder(maker);
}
