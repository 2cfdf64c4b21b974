#include "shell/main_window.h"

#include "common/failure_texts.h"
#include "common/general.h"
#include "common/guarded.h"
#include "common/services.h"
#include "common/translate.h"
#include "engine/command_line.h"
#include "engine/ui/pictavo.h"
#include "formats/open_image.h"
#include "shell/menu_tree.h"
#include "shell/start_menu.h"
#include "support/help.h"
#include "support/ui/compact_splash.h"
#include "support/zip_box.h"

#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QDialog>
#include <QFrame>
#include <QImage>
#include <QPixmap>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QResizeEvent>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kProductName = QStringLiteral("Pictavo");
constexpr int kMinimumWidth = 430;
constexpr int kMinimumHeight = 300;
constexpr int kButtonBarClientHeight = 27;
constexpr int kTimerInterval = 500;
constexpr int kSplashWidth = 510;
constexpr int kSplashHeight = 310;
constexpr int kSplashPictureTop = 21;
constexpr int kSplashMargin = 10;

// Beside the frame and the indent of one 'x' that QLabel gives framed text, a little slack keeps a glyph's
// overhang from being cut.
constexpr int kPanelSlack = 4;
// At least what the desktop styles put between status bar panels.
constexpr int kPanelSpacing = 8;

// The panels' object names, in TForm1::TPanel order.
constexpr std::array<const char*, TForm1::kPanelCount> kPanelNames{
    "PageSizePanel", "CopiesPanel", "AutoClosePanel", "AutoPrintPanel", "PrintPercentPanel", "StatusPanel"};

}  // namespace

TForm1::TForm1(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), FArguments(arguments)
{
    // Design values of the window; the settings and the minimum size replace the size, centring the position.
    setGeometry(154, 103, 333, 374);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setWindowTitle("Form1");
    setAcceptDrops(true);
    // The pictures of the two hidden images, each carrying an archive packed at build time.
    cri.load(QStringLiteral(":/carriers/cri.bmp"), "BMP");
    supHelp.load(QStringLiteral(":/carriers/supHelp.bmp"), "BMP");

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
    DestroySplash();
    DestroyHelp();
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
    const QString stopped = Guarded([&] {
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
        Engine->SetAutoRotate(AutoRotate);
        GetGeneral().CentreForm(this);
        Timer1Timer();
        if (!Engine->ProcessCommandLine(FArguments))
            Engine->ShowLastError();
        ShowOpenWarning();
        HideSplashAfterStart();
    });
    if (!stopped.isEmpty())
        GetGeneral().FatalOutOfMemory();
}


void TForm1::CreateSplash()
{
    Splash = std::make_unique<TCompactSplash>();
    Splash->ProductName = kProductName;
    Splash->VersionText = QStringLiteral(PICTAVO_VERSION);
    Splash->FontColor = Qt::black;
    Splash->Font.setPointSize(8);
    Splash->Font.setBold(true);
    Splash->LeftMargin = kSplashMargin;
    Splash->BottomMargin = kSplashMargin;
}

void TForm1::DestroySplash()
{
    Splash.reset();
}

// The splash picture is the item "a.bmp" of the archive in cri. No archive or no such item is no error: the
// program starts without a splash. An item that cannot be extracted stops the start.
bool TForm1::LoadSplashPicture()
{
    StartupError = kOutOfMemory;
    return GuardedOr(false, [&] {
        QByteArray carrier;
        QBuffer first(&carrier);
        first.open(QIODevice::ReadWrite);
        if (!cri.isNull() && !cri.save(&first, "BMP"))
            return false;
        cri = cri.copy(0, 0, 1, 1);
        first.seek(0);
        TZipBox box;
        if (!box.LoadFromStream(first, false))
            return true;
        for (int i = 0; i < box.Count(); ++i) {
            const TBoxItem* item = box.Items(i);
            if (item->pName.toUpper() != "A.BMP")
                continue;
            QByteArray content;
            QBuffer second(&content);
            second.open(QIODevice::WriteOnly);
            if (!box.GetData(item, second)) {
                StartupError = box.LastError;
                return false;
            }
            QImage picture;
            picture.loadFromData(content, "BMP");
            FrameSplashPicture(picture);
            Splash->SetPicture(QPixmap::fromImage(picture));
            if (ParseCommandLine(FArguments).Argument(0).isEmpty())
                Splash->ShowSplash();
            return true;
        }
        return true;
    });
}

void TForm1::FrameSplashPicture(QImage& picture)
{
    QImage work(kSplashWidth, kSplashHeight, QImage::Format_BGR888);
    work.fill(Qt::white);
    {
        QPainter painter(&work);
        if (!picture.isNull())
            painter.drawImage((kSplashWidth - picture.width()) / 2, kSplashPictureTop, picture);
        painter.setPen(Qt::black);
        painter.drawRect(0, 0, kSplashWidth - 1, kSplashHeight - 1);
    }
    picture = work;
}

void TForm1::HideSplashAfterStart()
{
    if (Splash && Splash->Window->isVisible())
        Splash->HideAfter(1);
}

void TForm1::CreateHelp()
{
    Help = std::make_unique<THelp>(kProductName, &supHelp);
}

void TForm1::DestroyHelp()
{
    Help.reset();
}

void TForm1::ShowStartupError()
{
    GetGeneral().ShowError(StartupError);
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
    Engine->SetViewSize(kViewOverall);
    Engine->Refresh();
}

void TForm1::BuildStatusBar()
{
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < kPanelCount; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(kPanelNames[i]);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setFixedWidth(50);
        FPanels[i] = panel;
        StatusBar1->addWidget(panel, i == kPanelCount - 1 ? 1 : 0);
    }
    setStatusBar(StatusBar1);
}

// Each panel is as wide as the widest text it can show in its font and the current language, so nothing is cut;
// the last one takes the rest of the bar. Digits are equally wide in desktop fonts, so "888" stands for any
// three-digit number; the texts shown now count too (a roll printer's page has four digits).
void TForm1::SetPanelWidths()
{
    if (!FPanels.back())
        return;  // a font change while the window is being built
    const QString mm = Translate("mm");
    // In TPanel order.
    const std::array<QStringList, kPanelCount> texts{{
        {Translate("No Printer"), "888" + mm + " x " + "888" + mm},
        {"88 " + Translate("copies"), "1 " + Translate("copy")},
        {Translate("Auto Close")},
        {Translate("Auto Print")},
        {"100%"},
        {Translate("Ready"), Translate("Working") + "..."},
    }};
    for (int i = 0; i < kPanelCount; ++i) {
        QLabel* panel = FPanels[i];
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
    // its need is summed here, with the spacing styles put between panels. The explicit minimum outranks the
    // layouts', so the engine's own need (its toolbar) is counted here too.
    int need = 0;
    for (const QLabel* panel : FPanels)
        need += panel->minimumWidth() + kPanelSpacing;
    setMinimumWidth(std::max({kMinimumWidth, need, FClient->minimumSizeHint().width()}));
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
    const TOpenImageEventCollection& formats = *GetOpenImage().Collection;
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

void TForm1::TranslateMenu()
{
    for (QAction* item : menuBar()->actions())
        ::TranslateMenu(item);
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
    Guarded([&] {
        hide();
        SaveSettingsIfAllowed();
        DestroyEngine();
        DestroySplash();
        DestroyHelp();
        // The format services hold dialogs, which must go while the application object still lives.
        FreeOpenImage();
        FreeOpenHandler();
    });
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
