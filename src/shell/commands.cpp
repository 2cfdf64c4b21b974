// The main window's commands: the command table, the menu tree and the button bar it drives, the menus'
// enabled and checked states, the status bar and the timer.
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

namespace {

constexpr int kButtonSize = 25;
constexpr std::array<int, 8> kZoomPercents{100, 200, 400, 600, 800, 25, 50, 75};
constexpr std::array<const char*, 8> kZoomNames{"N1001", "N2001", "N4001", "N6001", "N8001", "N251", "N501", "N751"};

using TRun = void (*)(TForm1&);
using TRule = bool (*)(TPictavo&);

template <void (TForm1::*Handler)()>
void Call(TForm1& window)
{
    (window.*Handler)();
}

template <int Percent>
void Zoom(TForm1& window)
{
    window.ZoomClick(Percent);
}

// The enabled rules: each is written once, for the menu item and the button alike.
bool CanPrint(TPictavo& engine) { return engine.CanPrint(); }
bool PrinterInstalled(TPictavo& engine) { return engine.PrinterInstalled(); }
bool CanPrintToFile(TPictavo& engine) { return engine.HasPicture() && !engine.Printing(); }
bool HasPicture(TPictavo& engine) { return engine.HasPicture(); }
bool CanPaste(TPictavo& engine) { return engine.CanPaste(); }
bool CanUndo(TPictavo& engine) { return engine.CanUndo(); }
bool CanZoom(TPictavo& engine) { return engine.CanZoom(); }
bool CanCenter(TPictavo& engine) { return engine.CanCenter(); }
bool HasPictureResolution(TPictavo& engine) { return engine.HasPictureResolution(); }

// One command of the window: the menu item it runs from, what it does, when it is enabled, and its button on the
// bar (tag 1 to 11 in bar order; 0 for none).
struct TCommand {
    const char* Item;           // the menu item's object name
    TRun Run;                   // null for a submenu, which only has a rule
    TRule Enabled;              // null: always enabled
    int Tag = 0;
    const char* Hint = nullptr;  // the button's hint
    bool GapBefore = false;      // ten pixels more after the previous button: the bar's groups
    bool ButtonFollows = true;   // the button follows the rule (Copy's stays enabled and reports the failure)
};

// The buttons' groups: 1 | 2 3 | 4 5 6 | 7 8 9 | 10 | 11.
constexpr TCommand kCommands[] = {
    {"NewInstance1", Call<&TForm1::NewInstance1Click>, nullptr},
    {"Open1", Call<&TForm1::Open1Click>, nullptr, 3, "Open...", false},
    {"OpenfromStartButton1", Call<&TForm1::OpenfromStartButton1Click>, nullptr},
    {"Print1", Call<&TForm1::Print1Click>, CanPrint, 1, "Print", false},
    {"PrintToFile1", Call<&TForm1::PrintToFile1Click>, CanPrintToFile},
    {"PrinterSetup1", Call<&TForm1::PrinterSetup1Click>, PrinterInstalled, 2, "Printer Setup...", true},
    {"Exit1", Call<&TForm1::Exit1Click>, nullptr},
    {"Copy1", Call<&TForm1::Copy1Click>, HasPicture, 5, "Copy", false, false},
    {"Paste1", Call<&TForm1::Paste1Click>, CanPaste, 6, "Paste", false},
    {"Undo1", Call<&TForm1::Undo1Click>, CanUndo, 4, "Undo", true},
    {"Mirror1", Call<&TForm1::Mirror1Click>, HasPicture, 7, "Mirror", true},
    {"Flip1", Call<&TForm1::Flip1Click>, HasPicture, 8, "Flip", false},
    {"Rotate1", nullptr, HasPicture},
    {"N901", Call<&TForm1::N901Click>, HasPicture, 9, "Rotate 90", false},
    {"N1801", Call<&TForm1::N1801Click>, nullptr},
    {"N2701", Call<&TForm1::N2701Click>, nullptr},
    {"RotateLeft1", nullptr, HasPicture},
    {"N902", Call<&TForm1::N902Click>, nullptr},
    {"N1802", Call<&TForm1::N1802Click>, nullptr},
    {"N2702", Call<&TForm1::N2702Click>, nullptr},
    {"Invert1", Call<&TForm1::Invert1Click>, HasPicture},
    {"AutoClose1", Call<&TForm1::AutoClose1Click>, nullptr},
    {"AutoPrint1", Call<&TForm1::AutoPrint1Click>, nullptr},
    {"AutoRotate1", Call<&TForm1::AutoRotate1Click>, nullptr},
    {"None1", Zoom<0>, CanZoom},
    {"N1001", Zoom<100>, CanZoom},
    {"N2001", Zoom<200>, CanZoom},
    {"N4001", Zoom<400>, CanZoom},
    {"N6001", Zoom<600>, CanZoom},
    {"N8001", Zoom<800>, CanZoom},
    {"N251", Zoom<25>, CanZoom},
    {"N501", Zoom<50>, CanZoom},
    {"N751", Zoom<75>, CanZoom},
    {"Center1", Call<&TForm1::Center1Click>, CanCenter, 10, "Center", true},
    {"PrintAtPictureResolution1", Call<&TForm1::PrintAtPictureResolution1Click>, HasPictureResolution},
    {"ButtonBar1", Call<&TForm1::ButtonBar1Click>, nullptr},
    {"Top1", Call<&TForm1::Top1Click>, nullptr},
    {"Bottom1", Call<&TForm1::Bottom1Click>, nullptr},
    {"Overall1", Call<&TForm1::Overall1Click>, nullptr},
    {"CloseUp1", Call<&TForm1::CloseUp1Click>, nullptr},
    {"BackgroundColor1", Call<&TForm1::BackgroundColor1Click>, nullptr},
    {"U1", Call<&TForm1::U1Click>, nullptr},
    {"OnlineHelp1", Call<&TForm1::OnlineHelp1Click>, nullptr, 11, "Help", true},
    {"About1", Call<&TForm1::About1Click>, nullptr},
    {"PictavoHomepage1", Call<&TForm1::PictavoHomepage1Click>, nullptr},
    {"FreeSoftwareHomepage1", Call<&TForm1::FreeSoftwareHomepage1Click>, nullptr},
    {"VisitWendrelEnterprises1", Call<&TForm1::VisitWendrelEnterprises1Click>, nullptr},
};

const TCommand* CommandNamed(const QString& item)
{
    for (const TCommand& command : kCommands)
        if (item == QLatin1String(command.Item))
            return &command;
    return nullptr;
}

const TCommand* CommandOfButton(int tag)
{
    for (const TCommand& command : kCommands)
        if (command.Tag != 0 && command.Tag == tag)
            return &command;
    return nullptr;
}

QKeySequence Key(QKeyCombination combination)
{
    return QKeySequence(combination);
}

// A glyph's bottom-left pixel is the button face: that colour shows the button through.
QIcon GlyphIcon(const QImage& glyph)
{
    QPixmap pixmap = QPixmap::fromImage(glyph);
    const QColor face = glyph.pixelColor(0, glyph.height() - 1);
    pixmap.setMask(pixmap.createMaskFromColor(face, Qt::MaskInColor));
    return QIcon(pixmap);
}

void SetButtonGlyph(QToolButton* button, int tag)
{
    const QImage glyph = TextPictureToBitmap(ButtonGlyph(tag));
    if (glyph.isNull())
        return;
    button->setIcon(GlyphIcon(glyph));
    button->setIconSize(glyph.size());
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

QAction* TForm1::AddCommand(QAction* parent, const char* name, const QString& caption,
                           const QList<QKeySequence>& shortcuts)
{
    const TCommand* command = CommandNamed(name);
    const TRun run = command ? command->Run : nullptr;
    Q_ASSERT(run);  // every item that runs something has its row in kCommands
    return FMenuTree->AddItem(parent, name, caption, [this, run] { run(*this); }, shortcuts);
}

// Beside the listed keys, each command has the desktop's usual key where it has one (print, undo, quit).
void TForm1::BuildFileMenu()
{
    TMenuTree& m = *FMenuTree;
    File1 = m.AddSubmenu(nullptr, "File1", "&File", [this] { File1Click(); });
    AddCommand(File1, "NewInstance1", "New &Instance");
    m.AddSeparator(File1, "N2");
    AddCommand(File1, "Open1", "&Open...", {Key(Qt::CTRL | Qt::Key_O)});
    AddCommand(File1, "OpenfromStartButton1", "Open from Start &Button...");
    AddCommand(File1, "Print1", "&Print", {Key(Qt::Key_F3), Key(Qt::CTRL | Qt::Key_P)});
    AddCommand(File1, "PrintToFile1", "Print to &File...", {Key(Qt::SHIFT | Qt::CTRL | Qt::Key_P)});
    AddCommand(File1, "PrinterSetup1", "Printer &Setup...");
    m.AddSeparator(File1, "N3");
    AddCommand(File1, "Exit1", "E&xit", {Key(Qt::CTRL | Qt::Key_Q)});
}

void TForm1::BuildEditMenu()
{
    Edit1 = FMenuTree->AddSubmenu(nullptr, "Edit1", "&Edit", [this] { Edit1Click(); });
    AddCommand(Edit1, "Copy1", "&Copy", {Key(Qt::CTRL | Qt::Key_C)});
    AddCommand(Edit1, "Paste1", "&Paste", {Key(Qt::CTRL | Qt::Key_V)});
}

void TForm1::BuildImageMenu()
{
    TMenuTree& m = *FMenuTree;
    Image2 = m.AddSubmenu(nullptr, "Image2", "&Image", [this] { Image2Click(); });
    Undo1 = AddCommand(Image2, "Undo1", "&Undo", {Key(Qt::CTRL | Qt::Key_Z)});
    m.AddSeparator(Image2, "N9");
    AddCommand(Image2, "Mirror1", "&Mirror");
    AddCommand(Image2, "Flip1", "&Flip");
    QAction* right = m.AddSubmenu(Image2, "Rotate1", "Rotate &Right");
    AddCommand(right, "N901", "&90", {Key(Qt::Key_F7)});
    AddCommand(right, "N1801", "&180");
    AddCommand(right, "N2701", "&270");
    QAction* left = m.AddSubmenu(Image2, "RotateLeft1", "Rotate &Left");
    AddCommand(left, "N902", "&90");
    AddCommand(left, "N1802", "&180");
    AddCommand(left, "N2702", "&270");
    AddCommand(Image2, "Invert1", "&Invert");
}

void TForm1::BuildOptionsMenu()
{
    TMenuTree& m = *FMenuTree;
    Options1 = m.AddSubmenu(nullptr, "Options1", "&Options", [this] { Options1Click(); });
    AutoClose1 = AddCommand(Options1, "AutoClose1", "&Auto Close");
    AutoPrint1 = AddCommand(Options1, "AutoPrint1", "Auto &Print");
    AutoRotate1 = AddCommand(Options1, "AutoRotate1", "Auto &Rotate");
    TMenuTree::MakeCheckItem(AutoClose1);
    TMenuTree::MakeCheckItem(AutoPrint1);
    TMenuTree::MakeCheckItem(AutoRotate1);
    m.AddSeparator(Options1, "N4");
    AddCommand(Options1, "None1", "&None");
    for (size_t i = 0; i < kZoomPercents.size(); ++i) {
        if (i == 0)
            m.AddSeparator(Options1, "N5");
        if (i == 5)
            m.AddSeparator(Options1, "N6");
        AddCommand(Options1, kZoomNames[i], QString("%1%").arg(kZoomPercents[i]));
    }
    m.AddSeparator(Options1, "N7");
    AddCommand(Options1, "Center1", "&Center");
    AddCommand(Options1, "PrintAtPictureResolution1", "Print at Picture's Re&solution");
}

void TForm1::BuildViewMenu()
{
    TMenuTree& m = *FMenuTree;
    View1 = m.AddSubmenu(nullptr, "View1", "&View", [this] { View1Click(); });
    ButtonBar1 = AddCommand(View1, "ButtonBar1", "&Button Bar");
    TMenuTree::MakeCheckItem(ButtonBar1);
    Toolbar1 = m.AddSubmenu(View1, "Toolbar1", "&Toolbar", [this] { Toolbar1Click(); });
    Top1 = AddCommand(Toolbar1, "Top1", "&Top");
    Bottom1 = AddCommand(Toolbar1, "Bottom1", "&Bottom");
    m.MakeRadioGroup({Top1, Bottom1});
    m.AddSeparator(View1, "N8");
    Overall1 = AddCommand(View1, "Overall1", "&Overall");
    CloseUp1 = AddCommand(View1, "CloseUp1", "&Close Up");
    m.MakeRadioGroup({Overall1, CloseUp1});
    m.AddSeparator(View1, "N10");
    AddCommand(View1, "BackgroundColor1", "Back&ground Color...", {Key(Qt::Key_F4)});
    U1 = AddCommand(View1, "U1", "&Use Background Color", {Key(Qt::Key_F5)});
    TMenuTree::MakeCheckItem(U1);
}

void TForm1::BuildHelpMenu()
{
    Help1 = FMenuTree->AddSubmenu(nullptr, "Help1", "&Help");
    AddCommand(Help1, "OnlineHelp1", "&Help", {Key(Qt::Key_F1)});
    AddCommand(Help1, "About1", "&About...");
    FMenuTree->AddSeparator(Help1, "N1");
    AddCommand(Help1, "PictavoHomepage1", "&Pictavo Homepage");
    AddCommand(Help1, "FreeSoftwareHomepage1", "&Free Software Homepage");
    AddCommand(Help1, "VisitWendrelEnterprises1", "Visit &Wendrel Enterprises");
}

void TForm1::RunShortcut(QAction* item)
{
    FMenuTree->ClickWithAncestors(item);
}

// ---- Enabled and checked states when a menu opens -------------------------------------------------------------

void TForm1::RefreshItems(QAction* submenu)
{
    for (const TCommand& command : kCommands) {
        if (!command.Enabled)
            continue;
        QAction* item = FMenuTree->Item(command.Item);
        if (item && FMenuTree->Parent(item) == submenu)
            item->setEnabled(command.Enabled(*Engine));
    }
}

void TForm1::File1Click()
{
    RefreshItems(File1);
}

void TForm1::Edit1Click()
{
    RefreshItems(Edit1);
}

void TForm1::Image2Click()
{
    FMenuTree->SetCaption(Undo1, Translate("&Undo") + " " + Translate(Engine->UndoCaption()));
    RefreshItems(Image2);
}

void TForm1::Options1Click()
{
    AutoClose1->setChecked(Engine->AutoClose());
    AutoPrint1->setChecked(Engine->AutoPrint());
    AutoRotate1->setChecked(AutoRotate);
    RefreshItems(Options1);
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

// ---- Status bar and timer -----------------------------------------------------------------------------------------

void TForm1::SetStatusText(const QString& text)
{
    Panel(TPanel::Status)->setText(text.isEmpty() ? Translate("Ready") : text);
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

void TForm1::RefreshStatus() noexcept
{
    if (!Engine)
        return;
    Guarded([&] {
        const TPictavoInfo info = *Engine->Info();
        const QString mm = Translate("mm");
        Panel(TPanel::PageSize)
            ->setText(PrinterInstalledKeepingLastError()
                          ? QString::number(info.PageWidthMM) + mm + " x " + QString::number(info.PageHeightMM) + mm
                          : Translate("No Printer"));
        Panel(TPanel::Copies)->setText(info.CopiesText);
        Panel(TPanel::AutoClose)->setText(Engine->AutoClose() ? Translate("Auto Close") : QString());
        Panel(TPanel::AutoPrint)->setText(Engine->AutoPrint() ? Translate("Auto Print") : QString());
        Panel(TPanel::PrintPercent)->setText(QString::number(info.PrintPercent) + "%");
        SetPanelWidths();
        setWindowTitle(info.Title);
    });
}

void TForm1::Timer1Timer()
{
    // Ticks that arrive before the engine and the buttons exist do nothing.
    if (!Engine || !FButtons.back() || IsBusy())
        return;
    Timer1->stop();
    Guarded([&] {
        if (!isEnabled())
            setEnabled(true);
        RefreshButtons();
    });
    Timer1->start();
}

void TForm1::RefreshButtons()
{
    for (const TCommand& command : kCommands)
        if (command.Tag != 0 && command.Enabled && command.ButtonFollows)
            FButtons[size_t(command.Tag - 1)]->setEnabled(command.Enabled(*Engine));
}

// ---- The button bar -----------------------------------------------------------------------------------------------

void TForm1::CreateButtons()
{
    int left = 0;
    for (int tag = 1; tag <= kButtonCount; ++tag) {
        const TCommand* command = CommandOfButton(tag);
        if (tag > 1)
            left += kButtonSize + (command->GapBefore ? 10 : 0);
        auto* button = new QToolButton(ButtonBar);
        button->setObjectName(QString("Button%1").arg(tag));
        button->setGeometry(left, 0, kButtonSize, kButtonSize);
        button->setAutoRaise(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolTip(Translate(command->Hint));
        button->setProperty("Tag", tag);
        SetButtonGlyph(button, tag);
        connect(button, &QToolButton::clicked, this, [this, button] { ButtonClick(button); });
        FButtons[size_t(tag - 1)] = button;
    }
}

void TForm1::ButtonClick(QObject* sender)
{
    Guarded([&] {
        if (!qobject_cast<QToolButton*>(sender))
            return;
        if (const TCommand* command = CommandOfButton(sender->property("Tag").toInt()))
            command->Run(*this);
    });
}
