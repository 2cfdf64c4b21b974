// The main window's commands: the menu tree, its handlers, the busy state, the status bar and the timer.
#include "shell/main_window.h"

#include "common/general.h"
#include "common/paths.h"
#include "common/translate.h"
#include "engine/ui/pictavo.h"
#include "shell/menu_tree.h"
#include "shell/web_addresses.h"
#include "support/help.h"
#include "support/ui/compact_splash.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

namespace {

constexpr std::array<int, 8> kZoomPercents{100, 200, 400, 600, 800, 25, 50, 75};
constexpr std::array<const char*, 8> kZoomNames{"N1001", "N2001", "N4001", "N6001", "N8001", "N251", "N501", "N751"};

QKeySequence Key(QKeyCombination combination)
{
    return QKeySequence(combination);
}

}  // namespace

// ---- The menu tree -------------------------------------------------------------------------------------------

void TForm1::BuildMenu()
{
    auto* bar = new QMenuBar(this);
    bar->setObjectName("MainMenu1");
    setMenuBar(bar);
    FMenuTree = std::make_unique<TMenuTree>(this, bar);
    BuildFileMenu();
    BuildEditMenu();
    BuildImageMenu();
    BuildOptionsMenu();
    BuildViewMenu();
    BuildHelpMenu();
}

// Beside the listed keys, each command has the desktop's usual key where it has one (print, undo, quit).
void TForm1::BuildFileMenu()
{
    TMenuTree& m = *FMenuTree;
    File1 = m.AddSubmenu(nullptr, "File1", "&File", [this] { File1Click(); });
    NewInstance1 = m.AddItem(File1, "NewInstance1", "New &Instance", [this] { NewInstance1Click(); });
    m.AddSeparator(File1, "N2");
    Open1 = m.AddItem(File1, "Open1", "&Open...", [this] { Open1Click(); }, {Key(Qt::CTRL | Qt::Key_O)});
    OpenfromStartButton1 = m.AddItem(File1, "OpenfromStartButton1", "Open from Start &Button...",
                                     [this] { OpenfromStartButton1Click(); });
    Print1 = m.AddItem(File1, "Print1", "&Print", [this] { Print1Click(); },
                       {Key(Qt::Key_F3), Key(Qt::CTRL | Qt::Key_P)});
    PrintToFile1 = m.AddItem(File1, "PrintToFile1", "Print to &File...", [this] { PrintToFile1Click(); },
                             {Key(Qt::SHIFT | Qt::CTRL | Qt::Key_P)});
    PrinterSetup1 = m.AddItem(File1, "PrinterSetup1", "Printer &Setup...", [this] { PrinterSetup1Click(); });
    m.AddSeparator(File1, "N3");
    Exit1 = m.AddItem(File1, "Exit1", "E&xit", [this] { Exit1Click(); }, {Key(Qt::CTRL | Qt::Key_Q)});
}

void TForm1::BuildEditMenu()
{
    TMenuTree& m = *FMenuTree;
    Edit1 = m.AddSubmenu(nullptr, "Edit1", "&Edit", [this] { Edit1Click(); });
    Copy1 = m.AddItem(Edit1, "Copy1", "&Copy", [this] { Copy1Click(); }, {Key(Qt::CTRL | Qt::Key_C)});
    Paste1 = m.AddItem(Edit1, "Paste1", "&Paste", [this] { Paste1Click(); }, {Key(Qt::CTRL | Qt::Key_V)});
}

void TForm1::BuildImageMenu()
{
    TMenuTree& m = *FMenuTree;
    Image2 = m.AddSubmenu(nullptr, "Image2", "&Image", [this] { Image2Click(); });
    Undo1 = m.AddItem(Image2, "Undo1", "&Undo", [this] { Undo1Click(); }, {Key(Qt::CTRL | Qt::Key_Z)});
    m.AddSeparator(Image2, "N9");
    Mirror1 = m.AddItem(Image2, "Mirror1", "&Mirror", [this] { Mirror1Click(); });
    Flip1 = m.AddItem(Image2, "Flip1", "&Flip", [this] { Flip1Click(); });
    Rotate1 = m.AddSubmenu(Image2, "Rotate1", "Rotate &Right");
    N901 = m.AddItem(Rotate1, "N901", "&90", [this] { N901Click(); }, {Key(Qt::Key_F7)});
    m.AddItem(Rotate1, "N1801", "&180", [this] { N1801Click(); });
    m.AddItem(Rotate1, "N2701", "&270", [this] { N2701Click(); });
    RotateLeft1 = m.AddSubmenu(Image2, "RotateLeft1", "Rotate &Left");
    m.AddItem(RotateLeft1, "N902", "&90", [this] { N902Click(); });
    m.AddItem(RotateLeft1, "N1802", "&180", [this] { N1802Click(); });
    m.AddItem(RotateLeft1, "N2702", "&270", [this] { N2702Click(); });
    Invert1 = m.AddItem(Image2, "Invert1", "&Invert", [this] { Invert1Click(); });
}

void TForm1::BuildOptionsMenu()
{
    TMenuTree& m = *FMenuTree;
    Options1 = m.AddSubmenu(nullptr, "Options1", "&Options", [this] { Options1Click(); });
    AutoClose1 = m.AddItem(Options1, "AutoClose1", "&Auto Close", [this] { AutoClose1Click(); });
    AutoPrint1 = m.AddItem(Options1, "AutoPrint1", "Auto &Print", [this] { AutoPrint1Click(); });
    TMenuTree::MakeCheckItem(AutoClose1);
    TMenuTree::MakeCheckItem(AutoPrint1);
    m.AddSeparator(Options1, "N4");
    None1 = m.AddItem(Options1, "None1", "&None", [this] { ZoomClick(0); });
    for (size_t i = 0; i < kZoomPercents.size(); ++i) {
        if (i == 0)
            m.AddSeparator(Options1, "N5");
        if (i == 5)
            m.AddSeparator(Options1, "N6");
        const int percent = kZoomPercents[i];
        ZoomItems[i] = m.AddItem(Options1, kZoomNames[i], QString("%1%").arg(percent),
                                 [this, percent] { ZoomClick(percent); });
    }
    m.AddSeparator(Options1, "N7");
    Center1 = m.AddItem(Options1, "Center1", "&Center", [this] { Center1Click(); });
}

void TForm1::BuildViewMenu()
{
    TMenuTree& m = *FMenuTree;
    View1 = m.AddSubmenu(nullptr, "View1", "&View", [this] { View1Click(); });
    ButtonBar1 = m.AddItem(View1, "ButtonBar1", "&Button Bar", [this] { ButtonBar1Click(); });
    TMenuTree::MakeCheckItem(ButtonBar1);
    Toolbar1 = m.AddSubmenu(View1, "Toolbar1", "&Toolbar", [this] { Toolbar1Click(); });
    Top1 = m.AddItem(Toolbar1, "Top1", "&Top", [this] { Top1Click(); });
    Bottom1 = m.AddItem(Toolbar1, "Bottom1", "&Bottom", [this] { Bottom1Click(); });
    m.MakeRadioGroup({Top1, Bottom1});
    m.AddSeparator(View1, "N8");
    Overall1 = m.AddItem(View1, "Overall1", "&Overall", [this] { Overall1Click(); });
    CloseUp1 = m.AddItem(View1, "CloseUp1", "&Close Up", [this] { CloseUp1Click(); });
    m.MakeRadioGroup({Overall1, CloseUp1});
    m.AddSeparator(View1, "N10");
    BackgroundColor1 = m.AddItem(View1, "BackgroundColor1", "Back&ground Color...",
                                 [this] { BackgroundColor1Click(); }, {Key(Qt::Key_F4)});
    U1 = m.AddItem(View1, "U1", "&Use Background Color", [this] { U1Click(); }, {Key(Qt::Key_F5)});
    TMenuTree::MakeCheckItem(U1);
}

void TForm1::BuildHelpMenu()
{
    TMenuTree& m = *FMenuTree;
    Help1 = m.AddSubmenu(nullptr, "Help1", "&Help");
    m.AddItem(Help1, "OnlineHelp1", "&Help", [this] { OnlineHelp1Click(); }, {Key(Qt::Key_F1)});
    m.AddItem(Help1, "About1", "&About...", [this] { About1Click(); });
    m.AddSeparator(Help1, "N1");
    m.AddItem(Help1, "PictavoHomepage1", "&Pictavo Homepage", [this] { PictavoHomepage1Click(); });
    m.AddItem(Help1, "FreeSoftwareHomepage1", "&Free Software Homepage", [this] { FreeSoftwareHomepage1Click(); });
    m.AddItem(Help1, "VisitWendrelEnterprises1", "Visit &Wendrel Enterprises",
              [this] { VisitWendrelEnterprises1Click(); });
}

void TForm1::RunShortcut(QAction* item)
{
    FMenuTree->ClickWithAncestors(item);
}

// ---- Enabled and checked states when a menu opens -------------------------------------------------------------

void TForm1::File1Click()
{
    Print1->setEnabled(Engine->CanPrint());
    PrintToFile1->setEnabled(Engine->HasPicture() && !Engine->Printing());
    PrinterSetup1->setEnabled(Engine->PrinterInstalled());
}

void TForm1::Edit1Click()
{
    Copy1->setEnabled(Engine->HasPicture());
    Paste1->setEnabled(Engine->CanPaste());
}

void TForm1::Image2Click()
{
    FMenuTree->SetCaption(Undo1, Translate("&Undo") + " " + Translate(Engine->UndoCaption()));
    Undo1->setEnabled(Engine->CanUndo());
    const bool hasPicture = Engine->HasPicture();
    for (QAction* item : {Mirror1, Flip1, Rotate1, RotateLeft1, Invert1})
        item->setEnabled(hasPicture);
}

void TForm1::Options1Click()
{
    AutoClose1->setChecked(Engine->AutoClose());
    AutoPrint1->setChecked(Engine->AutoPrint());
    const bool canZoom = Engine->CanZoom();
    None1->setEnabled(canZoom);
    for (QAction* item : ZoomItems)
        item->setEnabled(canZoom);
    Center1->setEnabled(Engine->CanCenter());
}

void TForm1::View1Click()
{
    ButtonBar1->setChecked(ButtonBarVisible());
    Overall1->setChecked(Engine->ViewSize() == kViewOverall);
    CloseUp1->setChecked(Engine->ViewSize() == kViewCloseUp);
    U1->setChecked(Engine->UseBackColor());
}

void TForm1::Toolbar1Click()
{
    const bool onTop = Engine->ToolbarOnTop();
    Top1->setChecked(onTop);
    Bottom1->setChecked(!onTop);
}

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
    try {
        SetBusy(true);
        work();
    } catch (...) {
    }
    try {
        SetBusy(false);
    } catch (...) {
    }
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
    try {
        OpenWithDialog(OpenSettings, GetPaths().StartMenuFolder("Pictures"));
    } catch (...) {
    }
}

void TForm1::OpenWithDialog(TOpenInfo& settings, const QString& folder)
{
    try {
        // Without a folder of its own the dialog starts beside the picture on show, wherever it came from.
        const QString start =
            folder.isEmpty() && !Engine->FileName().isEmpty() ? QFileInfo(Engine->FileName()).absolutePath() : folder;
        QString chosen;
        if (!GetOpenHandler().Execute(settings, TDialogKind::OpenPreview, chosen, start, this))
            return;
        settings.FileName = chosen;
        OpenChosenFile(chosen);
    } catch (...) {
    }
}

void TForm1::OpenChosenFile(const QString& fileName)
{
    RunGuarded([this, &fileName] { return Engine->OpenPicture(fileName); });
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
    try {
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
    } catch (...) {
    }
}

void TForm1::PrinterSetup1Click()
{
    try {
        Engine->PrinterSetup();
    } catch (...) {
    }
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
    try {
        Engine->SetAutoClose(!Engine->AutoClose());
    } catch (...) {
    }
}

void TForm1::AutoPrint1Click()
{
    try {
        Engine->SetAutoPrint(!Engine->AutoPrint());
    } catch (...) {
    }
}

void TForm1::ZoomClick(int percent)
{
    try {
        Engine->ZoomPercent(percent);
    } catch (...) {
    }
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
    try {
        Engine->SetToolbarOnTop(true);
    } catch (...) {
    }
}

void TForm1::Bottom1Click()
{
    try {
        Engine->SetToolbarOnTop(false);
    } catch (...) {
    }
}

void TForm1::Overall1Click()
{
    try {
        Engine->SetViewSize(kViewOverall);
    } catch (...) {
    }
}

void TForm1::CloseUp1Click()
{
    try {
        Engine->SetViewSize(kViewCloseUp);
    } catch (...) {
    }
}

void TForm1::BackgroundColor1Click()
{
    try {
        Engine->ChooseBackground();
    } catch (...) {
    }
}

void TForm1::U1Click()
{
    try {
        Engine->SetBackground(Engine->BackColor(), !Engine->UseBackColor());
    } catch (...) {
    }
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

// ---- Status bar and timer -----------------------------------------------------------------------------------------

void TForm1::SetStatusText(const QString& text)
{
    Panels[5]->setText(text.isEmpty() ? Translate("Ready") : text);
    SetPanelWidths();
}

// The status bar refreshes in the middle of engine operations (a failed open repaints before it returns), so
// asking for the printer must not replace the reason the operation is about to report.
bool TForm1::PrinterInstalledKeepingLastError()
{
    const QString reason = Engine->LastError;
    const bool installed = Engine->PrinterInstalled();
    Engine->LastError = reason;
    return installed;
}

void TForm1::RefreshStatus()
{
    if (!Engine)
        return;
    try {
        const TPictavoInfo info = *Engine->Info();
        const QString mm = Translate("mm");
        Panels[0]->setText(PrinterInstalledKeepingLastError()
                               ? QString::number(info.PageWidthMM) + mm + " x " + QString::number(info.PageHeightMM) + mm
                               : Translate("No Printer"));
        Panels[1]->setText(info.CopiesText);
        Panels[2]->setText(Engine->AutoClose() ? Translate("Auto Close") : QString());
        Panels[3]->setText(Engine->AutoPrint() ? Translate("Auto Print") : QString());
        Panels[4]->setText(QString::number(info.PrintPercent) + "%");
        SetPanelWidths();
        setWindowTitle(info.Title);
    } catch (...) {
    }
}

void TForm1::Timer1Timer()
{
    // Ticks that arrive before the engine and the buttons exist do nothing.
    if (!Engine || !Buttons.back() || IsBusy())
        return;
    Timer1->stop();
    try {
        if (!isEnabled())
            setEnabled(true);
        RefreshButtons();
    } catch (...) {
    }
    Timer1->start();
}

void TForm1::RefreshButtons()
{
    Buttons[0]->setEnabled(Engine->CanPrint());
    Buttons[1]->setEnabled(Engine->PrinterInstalled());
    Buttons[3]->setEnabled(Engine->CanUndo());
    Buttons[5]->setEnabled(Engine->CanPaste());
    const bool hasPicture = Engine->HasPicture();
    for (int i : {6, 7, 8})
        Buttons[i]->setEnabled(hasPicture);
    Buttons[9]->setEnabled(Engine->CanCenter());
}
