#pragma once

#include "common/bitmap.h"
#include "engine/captions.h"
#include "engine/pictavo_info.h"
#include "engine/readout.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPainter;
class QScrollArea;
class QScrollBar;
class QToolButton;
class QWidget;
class TPictavoPage;

// The image engine: owns the current picture and shows it on a print preview of the printer's page, laid out
// exactly as it will print. It is not a widget itself: it builds its own borderless form, which the host docks
// (reparent Form() into the client area, show it, then SetViewSize(kViewOverall) and Refresh()).
//
// Operations that can fail return false and leave the reason in LastError; none lets an exception out.
class TPictavo : public QObject {
    Q_OBJECT

public:
    using TPictavoEvent = std::function<void(TPictavo* sender)>;

    explicit TPictavo(QObject* parent = nullptr);
    ~TPictavo() override;
    TPictavo(const TPictavo&) = delete;
    TPictavo& operator=(const TPictavo&) = delete;

    // ---- Engine core ------------------------------------------------------------------------------------------

    QWidget* Form() const { return FForm; }  // the form the host docks
    void HidePanel();                         // hides the form and takes it out of its parent

    // On false, LastError tells why and LastErrorFile names the file.
    bool OpenPicture(const QString& fileName);
    void ClearPicture();
    // Photos are stood upright by their camera's orientation when they open (on by default).
    bool AutoRotate() const { return FAutoRotate; }
    void SetAutoRotate(bool flag) { FAutoRotate = flag; }
    // Why the last picture opened only in part; empty when it opened whole.
    const QString& OpenWarning() const { return FOpenWarning; }
    // The picture's own resolution in pixels per inch (from its file); 0 when it has none.
    double PictureDpiX() const { return FPictureDpiX; }
    double PictureDpiY() const { return FPictureDpiY; }
    bool HasPictureResolution() const { return !FEmpty && FPictureDpiX > 0; }
    // "Custom Fixed" at the percentage that prints the picture at its own resolution; nothing without one.
    void PrintAtPictureResolution();
    bool HasPicture() const { return !FEmpty; }
    // The file the picture was opened from; empty for a pasted picture or none.
    const QString& FileName() const { return FFileName; }
    // Command line: picture, title or "/AUTOPRINT", "/AUTOPRINT" (args without the program's own name). False
    // with LastError set for an invalid option, a file that cannot be opened or written, or a queue the desktop
    // does not have named for a window (whose picture is open then); a failed print reports itself.
    bool ProcessCommandLine(const QStringList& args);

    void Refresh();
    void LayoutPage();
    void PaintPage();  // repaints the sheet now (when it is on screen)
    void SetViewSize(int size);  // kViewOverall or kViewCloseUp
    int ViewSize() const { return FViewSize; }

    const TPictavoInfo* Info() const { return &FInfo; }
    // Never throws: a setting that cannot be laid out or drawn leaves the page as it was.
    void SetInfo(const TPictavoInfo& info) noexcept;
    // Places the picture on the page in output units (ScaleX, ScaleY of info), with this engine's resolutions
    // and sheet size.
    void ComputeLayout(TPictavoInfo& info) const;

    void SetBackground(std::int32_t color, bool use);
    void ChooseBackground();
    std::int32_t BackgroundColor() const;
    std::int32_t BackColor() const { return FBackColor; }
    bool UseBackColor() const { return FUseBackColor; }

    bool AutoPrint() const { return FAutoPrint; }
    bool AutoClose() const { return FAutoClose; }
    void SetAutoPrint(bool flag) noexcept;
    void SetAutoClose(bool flag) noexcept;

    // Never throws: derived values that cannot be computed keep their last state.
    void Changed() noexcept;
    void ShowLastError() const;

    // ---- Picture operations and undo -------------------------------------------------------------------------

    bool Rotate(int angle);
    bool Flip();
    bool Mirror();
    bool Invert();
    bool Undo();
    bool CanUndo() const;
    QString UndoCaption() const;
    void SetUndo(const QString& name, std::int32_t value);
    void ClearUndo();
    bool CopyToClipboard();
    bool CanPaste() const;
    bool PasteFromClipboard();

    // ---- Printing --------------------------------------------------------------------------------------------

    // False with LastError saying why: no printer at all, or the queue named on the command line is not there.
    bool PrinterInstalled();
    bool CanPrint();
    bool Print();
    // Prints into a file as /PRINTTO does: a PDF page, or the page bitmap for a picture's extension.
    bool PrintToFile(const QString& fileName);
    bool PrinterSetup() noexcept;  // false when cancelled or when the dialog failed
    int Copies() const;
    void SetCopies(int n);
    void SetPrintMemory(std::int32_t bytes);
    void PrintBitmapSize(std::int32_t budget, std::int32_t& width, std::int32_t& height) const;
    std::int32_t QualitySize(const TPictavoInfo& info, std::int32_t value) const;
    QString CopiesText() const;

    // ---- Options toolbar and placement -----------------------------------------------------------------------

    void SetToolbarOnTop(bool onTop);
    bool ToolbarOnTop() const { return FToolbarOnTop; }
    void UpdateToolbar() noexcept;
    void SyncToolbar();
    void ToolbarChanged(QObject* control);
    bool CanCenter() const;
    void CenterPicture();
    bool CanZoom() const;
    void ZoomPercent(int percent) noexcept;
    // The printed size and resolution of the picture, for a page bitmap of that size (empty: the bitmap the next
    // print starts with at the current quality).
    TPrintReadout Readout(QSize output = {}) const;

    // ---- State read by the host, the other engine parts and tests ---------------------------------------------

    const TBitmap& Picture() const { return FPicture; }
    // The picture's size as laid out: its full size, also when a print-only run decoded a reduced copy.
    QSize PictureSize() const;
    const TBitmap& Preview() const { return FPreview; }
    bool PreviewDirty() const { return FPreviewDirty; }
    int PaintFailed() const { return FPaintFailed; }
    bool Printing() const { return FPrinting; }
    std::int32_t PrintMemory() const { return FPrintMemory; }
    std::int32_t PrintWidth() const { return FPrintWidth; }
    std::int32_t PrintHeight() const { return FPrintHeight; }
    std::int32_t PageWidth() const { return FPageWidth; }
    std::int32_t PageHeight() const { return FPageHeight; }
    std::int32_t DpiX() const { return FDpiX; }
    std::int32_t DpiY() const { return FDpiY; }
    std::int32_t ScreenPPI() const { return FScreenPPI; }
    Extended PageAspect() const { return FPageAspect; }
    Extended PreviewScaleX() const { return FPreviewScaleX; }
    Extended PreviewScaleY() const { return FPreviewScaleY; }
    const TPictavoUndoInfo& UndoInfo() const { return FUndo; }

    // Host events; assigned by the main window.
    TPictavoEvent OnAutoPrinted;  // after the start-up print
    TPictavoEvent OnChange;       // whenever settings, derived values or flags change; must not throw

    QString LastError;
    // The file LastError is about (the picture that did not open, the file that could not be written), and the
    // reason given for it: a later error of another operation no longer names that file.
    QString LastErrorFile;
    QString LastFileReason;
    void SetFileError(const QString& file, const QString& reason)
    {
        LastError = LastFileReason = reason;
        LastErrorFile = file;
    }

    // ---- Run by the sheet widget ------------------------------------------------------------------------------

    // The paint of the sheet: draws the exposed part of the picture from the preview cache and the background
    // around the picture.
    void DrawPage(QPainter& painter, const QRect& exposed);
    void PageMouseDown(QPoint at, Qt::MouseButton button);
    void PageMouseMove(QPoint at);
    void PageMouseUp();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The form's parts; tests find them by their object names.
    QWidget* Page() const;
    // printOnly: the picture will only be printed, at the current settings, so a reduced copy may be decoded.
    bool OpenPicture(const QString& fileName, bool printOnly);
    // The picture's size on the first attempt's page bitmap, for a picture of the given full size.
    QSize PrintedPictureSize(QSize fullSize) const;
    // "queue: No such printer", for a queue named on the command line that the desktop does not have.
    static QString MissingQueueText(const QString& queue);
    void BuildWindows();
    void BuildToolbarControls();  // the controls of the options toolbar
    void PlaceToolbarControls();
    void UpdateReadout();
    void PlaceToolbarForm();
    void SetDefaults();
    void MeasurePrinter();
    void PlaceSheet();
    void UpdateSizes();
    void UpdateTitles();
    bool RefreshPreview(const QRect& needed, const QRect& shown, std::int64_t width, std::int64_t height);
    void FillAround(QPainter& painter, const QRect& picture, const QRect& client) const;
    bool FlipOrMirror(int kind);  // 0 flip, 1 mirror
    void NamePicture(const QString& fileName);

    bool FEmpty = true;
    QString FFileName;
    bool FAutoRotate = true;
    QString FOpenWarning;
    double FPictureDpiX = 0;
    double FPictureDpiY = 0;
    TPictavoUndoInfo FUndo;
    bool FPrinting = false;
    std::uint8_t FPaintFailed = 0;
    std::int32_t FSyncDepth = 0;
    std::int32_t FLayoutDepth = 0;
    // The form has no owner until the host docks it; the engine frees it (after detaching it) unless the host
    // destroyed it first.
    std::unique_ptr<QWidget> FFormOwner;
    QWidget* FForm = nullptr;
    QScrollArea* FScrollBox = nullptr;
    QWidget* FFrame = nullptr;
    QWidget* FSurround = nullptr;
    TPictavoPage* FPage = nullptr;
    std::int32_t FMargin = 10;
    TBitmap FPicture;
    QSize FFullSize;  // the picture's full size when FPicture is a reduced copy; invalid otherwise
    // The part of the picture's rectangle that shows on the sheet, stretched: FPreviewRect is that part in the
    // rectangle's own coordinates, FPreviewSize the whole rectangle's size it was stretched for. Holding only
    // what shows keeps a huge picture, or a "Close Up" sheet larger than the window, as cheap as the window.
    TBitmap FPreview;
    QRect FPreviewRect;
    QSize FPreviewSize;
    bool FPreviewDirty = true;
    QWidget* FToolbarPanel = nullptr;
    QWidget* FToolbarForm = nullptr;
    QComboBox* FScaleBox = nullptr;
    QComboBox* FPositionBox = nullptr;
    QComboBox* FOrientationBox = nullptr;
    QComboBox* FQualityBox = nullptr;
    QLabel* FScaleLabel = nullptr;
    QLabel* FPositionLabel = nullptr;
    QLabel* FOrientationLabel = nullptr;
    QLabel* FQualityLabel = nullptr;
    QLabel* FHorizontalLabel = nullptr;
    QLabel* FVerticalLabel = nullptr;
    QScrollBar* FHorizontalBar = nullptr;
    QScrollBar* FVerticalBar = nullptr;
    QScrollBar* FFixedBar = nullptr;
    QToolButton* FHorizontalReset = nullptr;
    QToolButton* FVerticalReset = nullptr;
    QToolButton* FFixedReset = nullptr;
    // The readout of the printed size and resolution, right of the quality list.
    QLabel* FReadoutLabel = nullptr;
    QWidget* FReadout = nullptr;
    QLabel* FReadoutSize = nullptr;
    QLabel* FReadoutResolution = nullptr;
    bool FToolbarOnTop = false;
    std::int32_t FBackColor = 0x00FF0000;
    bool FUseBackColor = false;
    TPictavoInfo FInfo;
    std::int32_t FViewSize = kViewOverall;
    std::int32_t FPrintMemory = 0;
    std::int32_t FPrintWidth = 2000;
    std::int32_t FPrintHeight = 2500;
    std::int32_t FPageWidth = 2400;
    std::int32_t FPageHeight = 3000;
    std::int32_t FScreenPPI = 75;
    std::int32_t FDpiX = 300;
    std::int32_t FDpiY = 300;
    bool FPaperInches = false;  // a US paper size: the readout measures in inches
    bool FDragging = false;
    Qt::MouseButton FDragButton = Qt::NoButton;
    std::int32_t FDragX = 0;
    std::int32_t FDragY = 0;
    Extended FPageAspect = 1.25L;
    Extended FPreviewScaleY = 0;
    Extended FPreviewScaleX = 0;
    bool FAutoPrint = false;
    bool FAutoClose = false;
};
