#pragma once

#include "common/failure_texts.h"
#include "formats/ui/open_handler.h"

#include <QImage>
#include <QKeySequence>
#include <QList>
#include <QMainWindow>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QStatusBar;
class QTimer;
class QToolButton;
class TCompactSplash;
class THelp;
class TMenuTree;
class TPictavo;

// The main window: menus, button bar, status bar and the docked engine view. Every command is a thin call into
// the engine, most of them wrapped in the busy state.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // Builds everything (FormCreate) and carries out the command line (arguments without the program name).
    explicit TForm1(const QStringList& arguments, QWidget* parent = nullptr);
    ~TForm1() override;

    static constexpr int kButtonCount = 11;

    // The status bar's panels, left to right; each is found by its object name, "<name>Panel".
    enum class TPanel { PageSize, Copies, AutoClose, AutoPrint, PrintPercent, Status };
    static constexpr int kPanelCount = 6;

    // Start-up and shutdown.
    void FormCreate();
    void FormResize();
    [[noreturn]] void Shutdown();
    // Writes the settings file, unless this run's options are not to be kept (Temporary).
    void SaveSettingsIfAllowed();
    void EngineCloseRequest();
    void ButtonClick(QObject* sender);
    // Turns the splash archive's picture into the framed 510 x 310 splash picture, in place.
    static void FrameSplashPicture(QImage& picture);

    // The busy state: cursor, top menus, button bar and view; the window is busy while File1 is disabled.
    void SetBusy(bool busy);
    bool IsBusy() const;
    void SetStatusText(const QString& text);
    void RefreshStatus() noexcept;
    void OpenWithDialog(TOpenInfo& settings, const QString& folder);
    void RotateBy(int angle);
    bool ButtonBarVisible() const;
    void SetButtonBarVisible(bool visible);
    void Timer1Timer();

    // What one of the window's shortcuts does with its item.
    void RunShortcut(QAction* item);
    // Opens a file as the Open command does once the dialog has chosen it.
    void OpenChosenFile(const QString& fileName);
    // After an open: the status bar says when the picture could only partly be read.
    void ShowOpenWarning();

    // Menu OnClick handlers: they refresh the enabled and checked states of their submenu.
    void File1Click();
    void Edit1Click();
    void Image2Click();
    void Options1Click();
    void View1Click();
    void Toolbar1Click();

    // Command handlers.
    void NewInstance1Click();
    // Where New Instance puts the new window: one title bar lower and to the right of frame, so this window
    // still shows; at the work area's top-left when it would not fit there.
    static QPoint NewInstancePosition(const QRect& frame, int titleBarHeight, const QRect& workArea);
    void Open1Click();
    void OpenfromStartButton1Click();
    void Print1Click();
    void PrintToFile1Click();
    void PrinterSetup1Click();
    void Exit1Click();
    void Copy1Click();
    void Paste1Click();
    void Undo1Click();
    void Mirror1Click();
    void Flip1Click();
    void N901Click() { RotateBy(90); }
    void N1801Click() { RotateBy(180); }
    void N2701Click() { RotateBy(270); }
    void N902Click() { RotateBy(-90); }
    void N1802Click() { RotateBy(-180); }
    void N2702Click() { RotateBy(-270); }
    void Invert1Click();
    void AutoClose1Click();
    void AutoPrint1Click();
    void AutoRotate1Click();
    void PrintAtPictureResolution1Click();
    void ZoomClick(int percent);
    void Center1Click();
    void ButtonBar1Click();
    void Top1Click();
    void Bottom1Click();
    void Overall1Click();
    void CloseUp1Click();
    void BackgroundColor1Click();
    void U1Click();
    void OnlineHelp1Click();
    void About1Click();
    void PictavoHomepage1Click();
    void FreeSoftwareHomepage1Click();
    void VisitWendrelEnterprises1Click();

    // The hidden pictures that carry the splash archive and the help archive.
    QImage cri;
    QImage supHelp;

    // Run-time members.
    std::unique_ptr<TPictavo> Engine;
    // Options > Auto Rotate: pictures are turned upright as they open. Stored with the settings.
    bool AutoRotate = true;
    TOpenInfo OpenSettings;
    TOpenInfo PrintFileSettings;  // the save dialog of Print to File
    std::unique_ptr<TCompactSplash> Splash;
    std::unique_ptr<THelp> Help;

    const TMenuTree& MenuTree() const { return *FMenuTree; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The window's widgets; tests find them by object name.
    QFrame* ButtonBarLine = nullptr;
    QFrame* TopLine = nullptr;
    QWidget* ButtonBar = nullptr;
    std::array<QToolButton*, kButtonCount> FButtons{};  // FButtons[tag - 1] is the button of that tag
    QTimer* Timer1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, kPanelCount> FPanels{};
    QLabel* Panel(TPanel panel) const { return FPanels[size_t(panel)]; }

    // The menu items the window reads and sets, named as the menu tree names them.
    QAction* File1 = nullptr;
    QAction* Edit1 = nullptr;
    QAction* Image2 = nullptr;
    QAction* Undo1 = nullptr;
    QAction* Options1 = nullptr;
    QAction* AutoClose1 = nullptr;
    QAction* AutoPrint1 = nullptr;
    QAction* AutoRotate1 = nullptr;
    QAction* View1 = nullptr;
    QAction* ButtonBar1 = nullptr;
    QAction* Toolbar1 = nullptr;
    QAction* Top1 = nullptr;
    QAction* Bottom1 = nullptr;
    QAction* Overall1 = nullptr;
    QAction* CloseUp1 = nullptr;
    QAction* U1 = nullptr;
    QAction* Help1 = nullptr;

    // FormCreate's steps, in order.
    void CreateSplash();
    bool LoadSplashPicture();
    void ShowStartupError();
    void CreateTopLine();
    void CreateEngine();
    void SetPanelWidths();
    void InitOpenSettings();
    void CreateButtonBar();
    void CreateButtons();
    void CreateHelp();
    void TranslateMenu();
    void AssignEngineEvents();
    void LoadSettings();
    void HideSplashAfterStart();

    void SaveSettings();
    void DestroyEngine();
    void DestroySplash();
    void DestroyHelp();

    void BuildStatusBar();
    void BuildMenu();
    void BuildFileMenu();
    void BuildEditMenu();
    void BuildImageMenu();
    void BuildOptionsMenu();
    void BuildViewMenu();
    void BuildHelpMenu();
    // A menu item that runs the command of its name (see the command table), with the caption and keys given.
    QAction* AddCommand(QAction* parent, const char* name, const QString& caption,
                        const QList<QKeySequence>& shortcuts = {});
    // Applies the enabled rules of the commands whose items sit directly in the submenu.
    void RefreshItems(QAction* submenu);
    void RefreshButtons();
    bool PrinterInstalledKeepingLastError();
    bool AcceptDropAsCopy(QDropEvent* event) const;

    // Busy; the engine operation; its LastError on false; not busy, also after an exception.
    void RunGuarded(const std::function<bool()>& operation);
    // Busy around work that reports nothing.
    void RunBusy(const std::function<void()>& work);
    void OpenAddress(const QString& address);

    QString StartupError = kOutOfMemory;
    QStringList FArguments;
    std::unique_ptr<TMenuTree> FMenuTree;
    QWidget* FClient = nullptr;
};
