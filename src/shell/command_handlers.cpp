// The main window's command handlers: what each menu item and button does, the busy state they run in, and
// opening a dropped picture.
#include "shell/main_window.h"

#include "common/general.h"
#include "common/guarded.h"
#include "common/paths.h"
#include "common/translate.h"
#include "engine/ui/pictavo.h"
#include "formats/text_picture.h"
#include "shell/button_glyphs.h"
#include "shell/menu_tree.h"
#include "shell/web_addresses.h"
#include "support/help.h"
#include "support/ui/compact_splash.h"
#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

// ---- The busy state and the command wrappers ---------------------------------------------------------------------

bool TForm1::IsBusy() const
{
    return !File1->isEnabled();
}

void TForm1::SetBusy(bool busy)
{
    const bool wasBusy = IsBusy();
    if (busy && !wasBusy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else if (!busy && wasBusy)
        QApplication::restoreOverrideCursor();
    for (QAction* item : {File1, Edit1, Image2, Options1, View1, Help1})
        item->setEnabled(!busy);
    if (ButtonBar)
        ButtonBar->setEnabled(!busy);
    if (Engine)
        Engine->Form()->setEnabled(!busy);
    SetStatusText(busy ? Translate("Working") + "..." : QString());
    // Let the changes show before the work starts, and after it ends.
    QCoreApplication::processEvents();
}

void TForm1::RunGuarded(const std::function<bool()>& operation)
{
    RunBusy([this, &operation] {
        if (!operation())
            Engine->ShowLastError();
    });
}

void TForm1::RunBusy(const std::function<void()>& work)
{
    Guarded([&] {
        SetBusy(true);
        work();
    });
    Guarded([&] { SetBusy(false); });
}

// ---- Command handlers ---------------------------------------------------------------------------------------------

QPoint TForm1::NewInstancePosition(const QRect& frame, int titleBarHeight, const QRect& workArea)
{
    const QRect moved = frame.translated(titleBarHeight, titleBarHeight);
    if (workArea.isEmpty() || workArea.contains(moved))
        return moved.topLeft();
    return workArea.topLeft();
}

// The new window would open exactly on top of this one, as if the picture had vanished: it opens one title bar
// further down and to the right instead, as desktop programs place a new window.
void TForm1::NewInstance1Click()
{
    int titleBar = geometry().top() - frameGeometry().top();
    if (titleBar <= 0)  // no window manager decorates the window
        titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const QRect workArea = screen() ? screen()->availableGeometry() : QRect();
    const QPoint at = NewInstancePosition(frameGeometry(), titleBar, workArea);
    const QString parameters = QString("/WINDOW=%1,%2").arg(at.x()).arg(at.y());
    RunBusy([&parameters] { GetPaths().OpenWithShell(QCoreApplication::applicationFilePath(), parameters); });
}

void TForm1::Open1Click()
{
    OpenWithDialog(OpenSettings, "");
}

void TForm1::OpenfromStartButton1Click()
{
    Guarded([&] { OpenWithDialog(OpenSettings, GetPaths().StartMenuFolder("Pictures")); });
}

void TForm1::OpenWithDialog(TOpenInfo& settings, const QString& folder)
{
    Guarded([&] {
        // Without a folder of its own the dialog starts beside the picture on show, wherever it came from.
        const QString start =
            folder.isEmpty() && !Engine->FileName().isEmpty() ? QFileInfo(Engine->FileName()).absolutePath() : folder;
        QString chosen;
        if (!GetOpenHandler().Execute(settings, TDialogKind::OpenPreview, chosen, start, this))
            return;
        settings.FileName = chosen;
        OpenChosenFile(chosen);
    });
}

void TForm1::OpenChosenFile(const QString& fileName)
{
    RunGuarded([this, &fileName] { return Engine->OpenPicture(fileName); });
    ShowOpenWarning();
}

void TForm1::ShowOpenWarning()
{
    if (Engine && Engine->HasPicture() && !Engine->OpenWarning().isEmpty())
        SetStatusText(Translate("Picture only partly read") + ": " + Engine->OpenWarning());
}

void TForm1::AutoRotate1Click()
{
    AutoRotate = !AutoRotate;
    Engine->SetAutoRotate(AutoRotate);
}

void TForm1::PrintAtPictureResolution1Click()
{
    Engine->PrintAtPictureResolution();
}

void TForm1::Print1Click()
{
    RunGuarded([this] { return Engine->Print(); });
    // Whatever the outcome: a failed print has shown its error by now.
    if (Engine && Engine->AutoClose())
        Shutdown();
}

// Needs no printer: the file gets the page a print from the command line would write into it.
void TForm1::PrintToFile1Click()
{
    Guarded([&] {
        const QString picture = Engine->FileName();
        const QString previous = PrintFileSettings.FileName;
        const QString folder = !previous.isEmpty() ? QFileInfo(previous).absolutePath()
                               : !picture.isEmpty() ? QFileInfo(picture).absolutePath()
                                                    : ResolveFolder({});
        const QString name = picture.isEmpty() ? QStringLiteral("Pictavo") : QFileInfo(picture).completeBaseName();
        const QString suffix = previous.isEmpty() ? PrintFileSettings.DefaultExt : QFileInfo(previous).suffix();
        PrintFileSettings.FileName = folder + "/" + name + "." + suffix;
        QString chosen;
        if (!GetOpenHandler().Execute(PrintFileSettings, TDialogKind::Save, chosen, "", this)) {
            PrintFileSettings.FileName = previous;
            return;
        }
        PrintFileSettings.FileName = chosen;
        RunGuarded([this, &chosen] { return Engine->PrintToFile(chosen); });
    });
}

void TForm1::PrinterSetup1Click()
{
    Engine->PrinterSetup();
}

void TForm1::Exit1Click()
{
    Shutdown();
}

void TForm1::Copy1Click()
{
    RunGuarded([this] { return Engine->CopyToClipboard(); });
}

void TForm1::Paste1Click()
{
    RunGuarded([this] { return Engine->PasteFromClipboard(); });
}

void TForm1::Undo1Click()
{
    RunGuarded([this] { return Engine->Undo(); });
}

void TForm1::Mirror1Click()
{
    RunGuarded([this] { return Engine->Mirror(); });
}

void TForm1::Flip1Click()
{
    RunGuarded([this] { return Engine->Flip(); });
}

void TForm1::RotateBy(int angle)
{
    RunGuarded([this, angle] { return Engine->Rotate(angle); });
}

void TForm1::Invert1Click()
{
    RunGuarded([this] { return Engine->Invert(); });
}

void TForm1::AutoClose1Click()
{
    Engine->SetAutoClose(!Engine->AutoClose());
}

void TForm1::AutoPrint1Click()
{
    Engine->SetAutoPrint(!Engine->AutoPrint());
}

void TForm1::ZoomClick(int percent)
{
    Engine->ZoomPercent(percent);
}

void TForm1::Center1Click()
{
    RunBusy([this] { Engine->CenterPicture(); });
}

void TForm1::ButtonBar1Click()
{
    SetButtonBarVisible(!ButtonBarVisible());
}

void TForm1::Top1Click()
{
    Guarded([&] { Engine->SetToolbarOnTop(true); });
}

void TForm1::Bottom1Click()
{
    Guarded([&] { Engine->SetToolbarOnTop(false); });
}

void TForm1::Overall1Click()
{
    Guarded([&] { Engine->SetViewSize(kViewOverall); });
}

void TForm1::CloseUp1Click()
{
    Guarded([&] { Engine->SetViewSize(kViewCloseUp); });
}

void TForm1::BackgroundColor1Click()
{
    Guarded([&] { Engine->ChooseBackground(); });
}

void TForm1::U1Click()
{
    Guarded([&] { Engine->SetBackground(Engine->BackColor(), !Engine->UseBackColor()); });
}

// The help pages and the About box come with their own services; until then these commands keep their places.
void TForm1::OnlineHelp1Click()
{
    RunBusy([this] {
        if (Help && !Help->ShowPage("index.html"))
            Help->ShowLastError();
    });
}

void TForm1::About1Click()
{
    if (Splash)
        Splash->ShowAbout();
}

void TForm1::OpenAddress(const QString& address)
{
    RunBusy([&address] { GetPaths().OpenWithShell(address, ""); });
}

void TForm1::PictavoHomepage1Click()
{
    OpenAddress(PictavoHomepageAddress());
}

void TForm1::FreeSoftwareHomepage1Click()
{
    OpenAddress(FreeSoftwareHomepageAddress());
}

void TForm1::VisitWendrelEnterprises1Click()
{
    OpenAddress(WendrelHomepageAddress());
}

// ---- Dropping a picture file on the window opens it ---------------------------------------------------------------

namespace {

QString DroppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            return url.toLocalFile();
    }
    return {};
}

}  // namespace

// A drop only ever copies: a source told the file was moved would delete the person's picture.
bool TForm1::AcceptDropAsCopy(QDropEvent* event) const
{
    if (IsBusy() || !event->possibleActions().testFlag(Qt::CopyAction) || DroppedFile(event->mimeData()).isEmpty()) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    AcceptDropAsCopy(event);
}

void TForm1::dragMoveEvent(QDragMoveEvent* event)
{
    AcceptDropAsCopy(event);
}

void TForm1::dropEvent(QDropEvent* event)
{
    if (!AcceptDropAsCopy(event))
        return;
    const QString fileName = DroppedFile(event->mimeData());
    OpenSettings.FileName = fileName;
    OpenChosenFile(fileName);
}
