#include "shell/main_window.h"

#include "common/general.h"
#include "common/services.h"
#include "common/translate.h"
#include "engine/ui/command_line.h"
#include "engine/ui/pictavo.h"
#include "formats/open_image.h"
#include "formats/text_picture.h"
#include "shell/button_glyphs.h"
#include "shell/menu_tree.h"
#include "shell/start_menu.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QLabel>
#include <QMenuBar>
#include <QResizeEvent>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kProductName = QStringLiteral("Pictavo");
constexpr int kMinimumWidth = 430;
constexpr int kMinimumHeight = 300;
constexpr int kButtonSize = 25;
constexpr int kButtonBarClientHeight = 27;
constexpr int kTimerInterval = 500;

// Beside the frame and the indent of one 'x' that QLabel gives framed text, a little slack keeps a glyph's
// overhang from being cut.
constexpr int kPanelSlack = 4;
// At least what the desktop styles put between status bar panels.
constexpr int kPanelSpacing = 8;

struct ButtonRow {
    const char* hint;
    bool gapBefore;  // ten pixels more after the previous button: the bar's groups
};

// In tag order: 1 | 2 3 | 4 5 6 | 7 8 9 | 10 | 11.
constexpr std::array<ButtonRow, TForm1::kButtonCount> kButtons{{
    {"Print", false},
    {"Printer Setup...", true},
    {"Open...", false},
    {"Undo", true},
    {"Copy", false},
    {"Paste", false},
    {"Mirror", true},
    {"Flip", false},
    {"Rotate 90", false},
    {"Center", true},
    {"Help", true},
}};

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

TForm1::TForm1(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), FArguments(arguments)
{
    // Design values of the window; the settings and the minimum size replace the size, centring the position.
    setGeometry(154, 103, 333, 374);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setWindowTitle("Form1");
    setAcceptDrops(true);

    // The timer runs from the start; its handler waits until the engine and the buttons exist.
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(kTimerInterval);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer1->start();

    FClient = new QWidget(this);
    auto* layout = new QVBoxLayout(FClient);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(FClient);
    BuildStatusBar();
    BuildMenu();

    FormCreate();
}

TForm1::~TForm1()
{
    DestroyEngine();
}

// The engine's events must not reach this window while the engine is being taken apart.
void TForm1::DestroyEngine()
{
    if (!Engine)
        return;
    Engine->OnChange = nullptr;
    Engine->OnAutoPrinted = nullptr;
    Engine.reset();
}

void TForm1::FormCreate()
{
    try {
        QApplication::setApplicationName(kProductName);
        setWindowTitle(kProductName);
        CreateSplash();
        if (!LoadSplashPicture()) {
            ShowStartupError();
            DestroySplash();
            EndProcess(1);
        }
        CreateTopLine();
        CreateEngine();
        SetPanelWidths();
        InitOpenSettings();
        CreateButtonBar();
        CreateButtons();
        CreateHelp();
        TranslateMenu();
        CopyProgramToStartMenu();
        AssignEngineEvents();
        SetStatusText("");
        LoadSettings();
        GetGeneral()->CentreForm(this);
        Timer1Timer();
        if (!Engine->ProcessCommandLine(FArguments))
            Engine->ShowLastError();
        HideSplashAfterStart();
    } catch (...) {
        GetGeneral()->FatalOutOfMemory();
    }
}

// The splash window, its picture, the help pages and the settings come with their own services; until those
// exist these steps keep their places in the start-up order and do nothing.
void TForm1::CreateSplash() {}
void TForm1::CreateHelp() {}
void TForm1::HideSplashAfterStart() {}
void TForm1::SaveSettings() {}
void TForm1::DestroySplash() {}
void TForm1::DestroyHelp() {}

bool TForm1::LoadSplashPicture()
{
    StartupError = "Out of memory";
    return true;
}

void TForm1::ShowStartupError()
{
    GetGeneral()->ShowError(StartupError);
}

// Applying the stored settings fires the engine's OnChange, which fills the status bar; until the settings
// exist, fill it directly.
void TForm1::LoadSettings()
{
    RefreshStatus();
}

void TForm1::CreateTopLine()
{
    TopLine = new QFrame(FClient);
    TopLine->setObjectName("TopLine");
    TopLine->setFrameShape(QFrame::HLine);
    TopLine->setFrameShadow(QFrame::Sunken);
    TopLine->setFixedHeight(2);
    FClient->layout()->addWidget(TopLine);
}

void TForm1::CreateEngine()
{
    Engine = std::make_unique<TPictavo>();
    QWidget* view = Engine->Form();
    view->setParent(FClient);
    static_cast<QVBoxLayout*>(FClient->layout())->addWidget(view, 1);
    view->show();
    Engine->SetViewSize(0);
    Engine->Refresh();
}

void TForm1::BuildStatusBar()
{
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < kPanelCount; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(QString("Panel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setFixedWidth(50);
        Panels[i] = panel;
        StatusBar1->addWidget(panel, i == kPanelCount - 1 ? 1 : 0);
    }
    setStatusBar(StatusBar1);
}

// Each panel is as wide as the widest text it can show in its font and the current language, so nothing is cut;
// the last one takes the rest of the bar. Digits are equally wide in desktop fonts, so "888" stands for any
// three-digit number; the texts shown now count too (a roll printer's page has four digits).
void TForm1::SetPanelWidths()
{
    if (!Panels.back())
        return;  // a font change while the window is being built
    const QString mm = Translate("mm");
    const std::array<QStringList, kPanelCount> texts{{
        {Translate("No Printer"), "888" + mm + " x " + "888" + mm},
        {"88 " + Translate("copies"), "1 " + Translate("copy")},
        {Translate("Auto Close")},
        {Translate("Auto Print")},
        {"100%"},
        {Translate("Ready"), Translate("Working") + "..."},
    }};
    for (int i = 0; i < kPanelCount; ++i) {
        QLabel* panel = Panels[i];
        const QFontMetrics metrics = panel->fontMetrics();
        int widest = 0;
        for (const QString& text : texts[i] + QStringList{panel->text()})
            widest = std::max(widest, metrics.horizontalAdvance(text));
        const int width = widest + metrics.horizontalAdvance(u'x') + 2 * panel->frameWidth() + kPanelSlack;
        if (i == kPanelCount - 1) {
            panel->setMinimumWidth(width);
            panel->setMaximumWidth(QWIDGETSIZE_MAX);
        } else {
            panel->setFixedWidth(width);
        }
    }
    // Never so narrow that the bar would cut its last texts. The bar lays its panels out only once shown, so
    // its need is summed here, with the spacing styles put between panels.
    int need = 0;
    for (const QLabel* panel : Panels)
        need += panel->minimumWidth() + kPanelSpacing;
    setMinimumWidth(std::max(kMinimumWidth, need));
}

void TForm1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::LanguageChange)
        SetPanelWidths();
}

void TForm1::InitOpenSettings()
{
    OpenSettings.Options = TOpenOption::HideReadOnly | TOpenOption::FileMustExist;
    const TOpenImageEventCollection& formats = *GetOpenImage()->Collection;
    OpenSettings.Filter = formats.GetFilter(-2, 0);
    OpenSettings.FilterIndex = 1;
    OpenSettings.DefaultExt = formats.GetFilter(1, 1);
    PrintFileSettings.Options = TOpenOption::HideReadOnly | TOpenOption::OverwritePrompt;
    PrintFileSettings.Filter = Translate("PDF Document") + "|*.pdf;|" + Translate("PNG Picture") + "|*.png;|";
    PrintFileSettings.FilterIndex = 1;
    PrintFileSettings.DefaultExt = "pdf";
}

void TForm1::CreateButtonBar()
{
    ButtonBar = new QWidget(FClient);
    ButtonBar->setObjectName("ButtonBar");
    ButtonBar->setFixedHeight(kButtonBarClientHeight);
    auto* layout = new QVBoxLayout(ButtonBar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addStretch(1);
    ButtonBarLine = new QFrame(ButtonBar);
    ButtonBarLine->setObjectName("ButtonBarLine");
    ButtonBarLine->setFrameShape(QFrame::HLine);
    ButtonBarLine->setFrameShadow(QFrame::Sunken);
    ButtonBarLine->setFixedHeight(2);
    layout->addWidget(ButtonBarLine);
    // Above the engine's view, below the top line.
    static_cast<QVBoxLayout*>(FClient->layout())->insertWidget(1, ButtonBar);
}

void TForm1::CreateButtons()
{
    int left = 0;
    for (int tag = 1; tag <= kButtonCount; ++tag) {
        const ButtonRow& row = kButtons[tag - 1];
        if (tag > 1)
            left += kButtonSize + (row.gapBefore ? 10 : 0);
        auto* button = new QToolButton(ButtonBar);
        button->setObjectName(QString("Button%1").arg(tag));
        button->setGeometry(left, 0, kButtonSize, kButtonSize);
        button->setAutoRaise(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolTip(Translate(row.hint));
        button->setProperty("Tag", tag);
        SetButtonGlyph(button, tag);
        connect(button, &QToolButton::clicked, this, [this, button] { ButtonClick(button); });
        Buttons[tag - 1] = button;
    }
}

void TForm1::ButtonClick(QObject* sender)
{
    try {
        if (!qobject_cast<QToolButton*>(sender))
            return;
        switch (sender->property("Tag").toInt()) {
        case 1: Print1Click(); break;
        case 2: PrinterSetup1Click(); break;
        case 3: Open1Click(); break;
        case 4: Undo1Click(); break;
        case 5: Copy1Click(); break;
        case 6: Paste1Click(); break;
        case 7: Mirror1Click(); break;
        case 8: Flip1Click(); break;
        case 9: N901Click(); break;
        case 10: Center1Click(); break;
        case 11: OnlineHelp1Click(); break;
        default: break;
        }
    } catch (...) {
    }
}

void TForm1::TranslateMenu()
{
    const QList<QAction*> items = menuBar()->findChildren<QAction*>();
    for (QAction* item : items) {
        if (!item->isSeparator() && !item->text().isEmpty())
            FMenuTree->SetCaption(item, Translate(FMenuTree->Caption(item)));
    }
}

void TForm1::AssignEngineEvents()
{
    Engine->OnChange = [this](TPictavo*) { RefreshStatus(); };
    Engine->OnAutoPrinted = [this](TPictavo*) { EngineCloseRequest(); };
}

void TForm1::EngineCloseRequest()
{
    Shutdown();
}

void TForm1::Shutdown()
{
    try {
        hide();
        if (Engine && !Engine->Info()->Temporary)
            SaveSettings();
        DestroyEngine();
        DestroySplash();
        DestroyHelp();
        // The format services hold dialogs, which must go while the application object still lives.
        FreeOpenImage();
        FreeOpenHandler();
    } catch (...) {
    }
    // A failed open or print from the command line ends a script's run with status 1.
    EndProcess(CommandLineExitStatus());
}

void TForm1::FormResize()
{
    const int w = std::max(width(), std::max(kMinimumWidth, minimumWidth()));
    const int h = std::max(height(), kMinimumHeight);
    if (w != width() || h != height())
        resize(w, h);
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    event->ignore();
    Shutdown();
}

bool TForm1::ButtonBarVisible() const
{
    return ButtonBar && ButtonBar->isVisibleTo(this);
}

void TForm1::SetButtonBarVisible(bool visible)
{
    if (ButtonBar)
        ButtonBar->setVisible(visible);
}
