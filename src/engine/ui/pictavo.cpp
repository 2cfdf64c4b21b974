#include "engine/ui/pictavo.h"

#include "common/failure_texts.h"
#include "common/file_problems.h"
#include "common/general.h"
#include "common/guarded.h"
#include "common/translate.h"
#include "engine/layout.h"
#include "engine/stretch.h"
#include "engine/ui/depth_guard.h"
#include "formats/open_image.h"
#include "platform/color_dialog.h"
#include "platform/printer.h"
#include "platform/printer_watch.h"

#include <QEvent>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <utility>

// The white sheet: it paints and handles the mouse through the engine, which holds the picture and layout.
class TPictavoPage : public QWidget {
public:
    TPictavoPage(TPictavo& engine, QWidget* parent) : QWidget(parent), FEngine(engine)
    {
        // The engine fills everything outside the picture itself, so Qt must not clear the sheet first: that
        // would make the picture flicker on every repaint.
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAutoFillBackground(false);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        FEngine.DrawPage(painter, event->rect());
    }
    void mousePressEvent(QMouseEvent* event) override { FEngine.PageMouseDown(event->position().toPoint(), event->button()); }
    void mouseMoveEvent(QMouseEvent* event) override { FEngine.PageMouseMove(event->position().toPoint()); }
    void mouseReleaseEvent(QMouseEvent*) override { FEngine.PageMouseUp(); }

private:
    TPictavo& FEngine;
};

namespace {

constexpr std::int32_t kWhite = 0x00FFFFFF;
constexpr std::int32_t kGrey = 0x00808080;
constexpr std::int32_t kBlack = 0x00000000;
constexpr std::int32_t kDefaultPrintMemory = 15000000;
constexpr std::int32_t kFallbackPageWidth = 2400;
constexpr std::int32_t kFallbackPageHeight = 3000;
constexpr std::int32_t kFallbackDpi = 300;
constexpr std::int32_t kFallbackScreenPPI = 75;
constexpr int kToolbarHeight = 65;
constexpr int kFrameWidth = 2;  // the black outline around the sheet

void SetColor(QWidget* widget, std::int32_t color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ColorFromValue(color));
    widget->setPalette(palette);
}

QWidget* NewPanel(QWidget* parent, std::int32_t color)
{
    auto* panel = new QWidget(parent);
    panel->setAutoFillBackground(true);
    SetColor(panel, color);
    return panel;
}

// The part of a rectangle that lies inside bounds; empty when none. Kept in 64 bits until clipped, because a
// picture far off the sheet has edges beyond the integer range.
QRect ClippedRect(const TStretchRect& r, const QRect& bounds)
{
    const std::int64_t left = std::max<std::int64_t>(r.Left, bounds.left());
    const std::int64_t top = std::max<std::int64_t>(r.Top, bounds.top());
    const std::int64_t right = std::min<std::int64_t>(r.Left + r.Width, std::int64_t(bounds.right()) + 1);
    const std::int64_t bottom = std::min<std::int64_t>(r.Top + r.Height, std::int64_t(bounds.bottom()) + 1);
    if (right <= left || bottom <= top)
        return {};
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

}  // namespace

// ---- Lifetime ----------------------------------------------------------------------------------------------------

TPictavo::TPictavo(QObject* parent) : QObject(parent)
{
    BuildWindows();
    BuildToolbarControls();
    FPicture = QImage(0, 0, kFormat24);
    FPreview = QImage(0, 0, kFormat24);
    SetPrintMemory(kDefaultPrintMemory);
    SetViewSize(kViewOverall);
    SetDefaults();
    FScrollBox->installEventFilter(this);
    FToolbarPanel->installEventFilter(this);
    // A printer that comes, goes or becomes the default brings another page: measure and lay it out again.
    connect(&platform::TPrinterWatch::Instance(), &platform::TPrinterWatch::Changed, this, [this] {
        if (!FPrinting)
            Refresh();
    });
    Refresh();
}

TPictavo::~TPictavo()
{
    HidePanel();
    if (FForm)
        disconnect(FForm, nullptr, this, nullptr);
    FFormOwner.reset();
}

void TPictavo::BuildWindows()
{
    FFormOwner = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
    FForm = FFormOwner.get();
    FForm->setWindowTitle(QString());
    // A host that destroys its window with the form still docked frees the form; the engine must not again.
    connect(FForm, &QObject::destroyed, this, [this] {
        (void)FFormOwner.release();
        FForm = nullptr;
        FScrollBox = nullptr;
        FSurround = nullptr;
        FFrame = nullptr;
        FPage = nullptr;
        FToolbarPanel = nullptr;
        FToolbarForm = nullptr;
    });
    auto* layout = new QVBoxLayout(FForm);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    FScrollBox = new QScrollArea(FForm);
    FScrollBox->setObjectName("ScrollBox");
    FScrollBox->setFrameStyle(QFrame::Box | QFrame::Plain);
    FScrollBox->setLineWidth(1);
    FScrollBox->setWidgetResizable(false);
    FScrollBox->setAlignment(Qt::AlignHCenter | Qt::AlignTop);  // the sheet is centred horizontally only
    FScrollBox->viewport()->setAutoFillBackground(true);
    SetColor(FScrollBox->viewport(), kGrey);
    layout->addWidget(FScrollBox, 1);

    FSurround = NewPanel(nullptr, kGrey);
    FSurround->setObjectName("Surround");
    FFrame = NewPanel(FSurround, kBlack);
    FFrame->setObjectName("Frame");
    FPage = new TPictavoPage(*this, FSurround);
    FPage->setObjectName("Page");
    SetColor(FPage, kWhite);
    FScrollBox->setWidget(FSurround);

    FToolbarPanel = new QWidget(FForm);
    FToolbarPanel->setObjectName("ToolbarPanel");
    FToolbarPanel->setFixedHeight(kToolbarHeight);
    layout->addWidget(FToolbarPanel);
    FToolbarForm = new QWidget(FToolbarPanel);
    FToolbarForm->setObjectName("ToolbarForm");
}

void TPictavo::HidePanel()
{
    if (!FForm)
        return;
    FForm->hide();
    FForm->setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);  // stays borderless once detached
}

QWidget* TPictavo::Page() const
{
    return FPage;
}

void TPictavo::SetDefaults()
{
    FBackColor = 0x00FF0000;
    FUseBackColor = false;
    FInfo.PrintPercent = 100;
    FInfo.Temporary = false;
    FInfo.Quality = kQualityLow;
    FInfo.Scale = kScaleFitToPage;
    FInfo.Position = kPositionCenter;
    FInfo.Orientation = kOrientationPortrait;
    FInfo.ScaleX = FInfo.ScaleY = 1.0L;
    FInfo.ZoomX = FInfo.ZoomY = 0;
    FInfo.X = FInfo.Y = 0;
    ClearPicture();
}

// ---- Picture intake ------------------------------------------------------------------------------------------------

// The document takes the file's name, as desktop programs title a document; a command-line title replaces it.
void TPictavo::NamePicture(const QString& fileName)
{
    FFileName = fileName;
    TPictavoInfo named = FInfo;
    named.Name = fileName.isEmpty() ? QString() : QFileInfo(fileName).fileName();
    FInfo = ValidatedInfo(named);
}

void TPictavo::ClearPicture()
{
    NamePicture(QString());
    FEmpty = true;
    FFullSize = QSize();
    FPicture = NewBitmap24(1, 1);
    FPicture.fill(Qt::white);
    FPictureDpiX = FPictureDpiY = 0;
    Refresh();
}

bool TPictavo::OpenPicture(const QString& fileName)
{
    return OpenPicture(fileName, false);
}

bool TPictavo::OpenPicture(const QString& fileName, bool printOnly)
{
    FOpenWarning.clear();
    LastErrorFile.clear();
    if (const QString problem = InputFileProblem(fileName); !problem.isEmpty()) {
        SetFileError(fileName, problem);
        return false;
    }
    LastError = kUnknownFormat;
    bool result = false;
    const QString stopped = Guarded([&] {
        TImageInfoRec info;
        info.FileName = fileName;
        info.BackColor = kWhite;
        info.Bitmap = &FPicture;
        info.AutoRotate = FAutoRotate;
        if (printOnly)
            info.NeededSize = [this](QSize full) {
                // A layout that cannot be computed asks for everything.
                return GuardedOr(full, [&] {
                    return NeededDecodeSize(full, [this](QSize size) { return PrintedPictureSize(size); });
                });
            };
        FFullSize = QSize();
        const TOpenImage& registry = GetOpenImage();
        if (registry.Collection->IndexOfFile(fileName) == -1) {
            // The registry's own text for a name it has no reader for is its table's; a person needs another.
            SetFileError(fileName, kUnsupportedFormat);
        } else if (!registry.OpenFile(info)) {
            SetFileError(fileName, info.ErrorText.isEmpty() ? LastError : info.ErrorText);
            // A reader that failed half-way must not leave a picture that cannot be drawn.
            if (!FEmpty && (FPicture.isNull() || !SetPixelFormat24(FPicture)))
                ClearPicture();
        } else if (!SetPixelFormat24(FPicture)) {
            ClearPicture();  // read, but there is no memory to make it printable
        } else {
            if (info.FullSize.isValid() && info.FullSize != FPicture.size())
                FFullSize = info.FullSize;
            FEmpty = false;
            FPictureDpiX = info.DpiX;
            FPictureDpiY = info.DpiY;
            FOpenWarning = info.Warning;
            result = true;
            NamePicture(fileName);
        }
    });
    if (!stopped.isEmpty()) {
        ClearPicture();
        result = false;
    }
    Refresh();
    ClearUndo();
    return result;
}

void TPictavo::PrintAtPictureResolution()
{
    if (!HasPictureResolution())
        return;
    const std::int32_t percent = PercentForResolution(FDpiX, FPictureDpiX);
    if (percent <= 0)
        return;
    TPictavoInfo info = FInfo;
    info.Scale = kScaleCustomFixed;
    info.ZoomXY = percent;
    SetInfo(info);
}

// ---- Layout ----------------------------------------------------------------------------------------------------------

void TPictavo::Refresh()
{
    LayoutPage();
    PaintPage();
    SyncToolbar();
}

void TPictavo::SetViewSize(int size)
{
    FViewSize = std::clamp<int>(size, kViewOverall, kViewCloseUp);
    Changed();
    Refresh();
}

void TPictavo::LayoutPage()
{
    if (FLayoutDepth != 0 || !FForm)
        return;
    TDepthGuard depth(FLayoutDepth);
    // An arithmetic fault abandons this layout; the sheet keeps its previous place.
    Guarded([&] {
        FPreviewDirty = true;
        Guarded([&] { platform::SetPrinterOrientation(FInfo.Orientation); });
        PrintBitmapSize(FPrintMemory, FPrintWidth, FPrintHeight);
        MeasurePrinter();
        UpdateToolbar();
        PlaceSheet();
        FPreviewScaleX = Extended(FPage->width()) / FPageWidth;
        FPreviewScaleY = Extended(FPage->height()) / FPageHeight;
        Changed();
    });
}

void TPictavo::MeasurePrinter()
{
    const platform::TPageMetrics page = platform::MeasurePrinterPage();
    FPageWidth = page.Width < 1 ? kFallbackPageWidth : page.Width;
    FPageHeight = page.Height < 1 ? kFallbackPageHeight : page.Height;
    FInfo.PageWidth = FPageWidth;
    FInfo.PageHeight = FPageHeight;
    FInfo.PictureWidth = PictureSize().width();
    FInfo.PictureHeight = PictureSize().height();
    FDpiX = page.DpiX < 1 ? kFallbackDpi : page.DpiX;
    FDpiY = page.DpiY < 1 ? kFallbackDpi : page.DpiY;
    FPaperInches = page.Inches;
    const int ppi = platform::ScreenPixelsPerInch();
    FScreenPPI = ppi < 1 ? kFallbackScreenPPI : ppi;
    FPageAspect = Extended(FPageHeight) / FPageWidth;
    FPage->setCursor(FInfo.Position == kPositionCustom ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TPictavo::PlaceSheet()
{
    // The scroll bars are decided here rather than by the scroll area, so that showing one cannot refit the
    // sheet, hide the bar again and so on without end.
    const QSize area = FScrollBox->contentsRect().size();
    const int barExtent = FScrollBox->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FScrollBox);
    const TSheetPlacement placement = ::PlaceSheet(area, barExtent, FMargin, FPageAspect, FViewSize);
    FScrollBox->setHorizontalScrollBarPolicy(placement.HorizontalBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    FScrollBox->setVerticalScrollBarPolicy(placement.VerticalBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    const QSize sheet = placement.Sheet.expandedTo(QSize(0, 0));
    FSurround->resize(placement.Surround.expandedTo(QSize(0, 0)));
    FFrame->setGeometry(FMargin - kFrameWidth, FMargin - kFrameWidth, sheet.width() + 2 * kFrameWidth,
                        sheet.height() + 2 * kFrameWidth);
    FPage->setGeometry(FMargin, FMargin, sheet.width(), sheet.height());
}

void TPictavo::ComputeLayout(TPictavoInfo& info) const
{
    TLayoutDevice device;
    device.DpiX = FDpiX;
    device.DpiY = FDpiY;
    device.ScreenPPI = FScreenPPI;
    if (FPage) {
        device.ClientWidth = FPage->width();
        device.ClientHeight = FPage->height();
    }
    ::ComputeLayout(info, device);
}

QSize TPictavo::PictureSize() const
{
    return LayoutPictureSize(FPicture.size(), FFullSize);
}

void TPictavo::PrintBitmapSize(std::int32_t budget, std::int32_t& width, std::int32_t& height) const
{
    const QSize size = ::PrintBitmapSize(budget, FPageWidth, FPageAspect);
    width = size.width();
    height = size.height();
}

// ---- Painting --------------------------------------------------------------------------------------------------------

void TPictavo::PaintPage()
{
    if (FPage && FPage->isVisible())
        FPage->repaint();
}

void TPictavo::DrawPage(QPainter& painter, const QRect& exposed)
{
    const QRect client = FPage->rect();
    const QColor background = ColorFromValue(BackgroundColor());
    if (FEmpty) {
        painter.fillRect(client, background);
        return;
    }
    const std::uint8_t remembered = FPaintFailed;
    const QString stopped = Guarded([&] {
        TPictavoInfo info = FInfo;
        info.ScaleX = FPreviewScaleX;
        info.ScaleY = FPreviewScaleY;
        info.PictureWidth = PictureSize().width();
        info.PictureHeight = PictureSize().height();
        ComputeLayout(info);
        // A negative size is a layout that went wrong; a preview that cannot be made is a lack of memory.
        const bool drawn = [&] {
            if (info.OutWidth < 0 || info.OutHeight < 0)
                return false;
            const TStretchRect r{info.OutLeft, info.OutTop, info.OutWidth, info.OutHeight};
            const QPoint origin(info.OutLeft, info.OutTop);
            const QRect onSheet = ClippedRect(r, client);
            // Only what is exposed now is drawn; the cache also takes what the scroll area shows, so that the
            // next ordinary repaint finds it there.
            const QRect needed = onSheet.intersected(exposed);
            const QRect shown = onSheet.intersected(FPage->visibleRegion().boundingRect()).united(needed);
            if (!RefreshPreview(needed.translated(-origin), shown.translated(-origin), r.Width, r.Height))
                return false;
            if (!needed.isEmpty()) {
                const QPoint source = needed.topLeft() - origin - FPreviewRect.topLeft();
                painter.drawImage(needed.topLeft(), FPreview, QRect(source, needed.size()));
            }
            FillAround(painter, onSheet, client);
            return true;
        }();
        FPaintFailed = drawn ? 0 : 1;
    });
    if (!stopped.isEmpty())
        FPaintFailed = 1;
    if (FPaintFailed != remembered)
        UpdateToolbar();
}

// Keeps in FPreview a stretched part of the picture's rectangle (width x height), in the rectangle's own
// coordinates. Only a dirty cache, a new size or a needed part the cache does not hold is stretched again, and
// then only the part that shows: an ordinary repaint or a move within the sheet draws from the cache as it is.
bool TPictavo::RefreshPreview(const QRect& needed, const QRect& shown, std::int64_t width, std::int64_t height)
{
    const QSize size(int(std::min<std::int64_t>(width, INT32_MAX)), int(std::min<std::int64_t>(height, INT32_MAX)));
    if (!FPreviewDirty && size == FPreviewSize && (needed.isEmpty() || FPreviewRect.contains(needed)))
        return true;
    if (shown.isEmpty()) {
        FPreview = QImage(0, 0, kFormat24);
    } else {
        FPreview = NewBitmap24(shown.width(), shown.height());
        if (FPreview.isNull())
            return false;
        StretchSmooth(FPicture, FPreview, TStretchRect{-shown.left(), -shown.top(), width, height}, FPreview.rect());
    }
    FPreviewRect = shown;
    FPreviewSize = size;
    FPreviewDirty = false;
    return true;
}

void TPictavo::FillAround(QPainter& painter, const QRect& picture, const QRect& client) const
{
    const QColor background = ColorFromValue(BackgroundColor());
    if (picture.isEmpty()) {
        painter.fillRect(client, background);
        return;
    }
    const int top = picture.top();
    const int bottom = picture.bottom() + 1;
    painter.fillRect(QRect(0, 0, client.width(), top), background);
    painter.fillRect(QRect(0, bottom, client.width(), client.height() - bottom), background);
    painter.fillRect(QRect(0, top, picture.left(), picture.height()), background);
    painter.fillRect(QRect(picture.right() + 1, top, client.width() - picture.right() - 1, picture.height()),
                     background);
}

// ---- Settings ----------------------------------------------------------------------------------------------------

void TPictavo::SetInfo(const TPictavoInfo& info) noexcept
{
    Guarded([&] {
        const TPictavoInfo copy = ValidatedInfo(info);
        const bool relayout = copy.Position != FInfo.Position || copy.Scale != FInfo.Scale ||
                              copy.Orientation != FInfo.Orientation;
        if (copy.ZoomX != FInfo.ZoomX || copy.ZoomY != FInfo.ZoomY || copy.ZoomXY != FInfo.ZoomXY)
            FPreviewDirty = true;
        FInfo = copy;
        if (relayout)
            LayoutPage();
        PaintPage();
        SyncToolbar();
        Changed();
    });
}

void TPictavo::Changed() noexcept
{
    Guarded([&] {
        UpdateSizes();
        UpdateTitles();
        UpdateReadout();
    });
    if (OnChange)
        OnChange(this);
}

void TPictavo::UpdateSizes()
{
    TSizeInputs inputs;
    inputs.PageWidth = FPageWidth;
    inputs.PageHeight = FPageHeight;
    inputs.DpiX = FDpiX;
    inputs.DpiY = FDpiY;
    inputs.PictureWidth = PictureSize().width();
    inputs.PictureHeight = PictureSize().height();
    ::UpdateSizes(FInfo, inputs);
    FInfo.CopiesText = CopiesText();
}

void TPictavo::UpdateTitles()
{
    const QStringList& qualities = QualityCaptions();
    ::UpdateTitles(FInfo, qualities.value(FInfo.Quality));
}

void TPictavo::SetBackground(std::int32_t color, bool use)
{
    if (color == FBackColor && use == FUseBackColor)
        return;
    FBackColor = color;
    FUseBackColor = use;
    if (FPage)
        SetColor(FPage, BackgroundColor());
    FPreviewDirty = true;
    PaintPage();
}

void TPictavo::ChooseBackground()
{
    if (const std::optional<std::int32_t> color = platform::ChooseColor(FBackColor, FForm))
        SetBackground(*color, true);
}

std::int32_t TPictavo::BackgroundColor() const
{
    return FUseBackColor ? FBackColor : kWhite;
}

void TPictavo::SetAutoPrint(bool flag) noexcept
{
    if (flag == FAutoPrint)
        return;
    FAutoPrint = flag;
    Changed();
}

void TPictavo::SetAutoClose(bool flag) noexcept
{
    if (flag == FAutoClose)
        return;
    FAutoClose = flag;
    Changed();
}

void TPictavo::ShowLastError() const
{
    if (LastErrorFile.isEmpty() || LastError != LastFileReason) {
        GetGeneral().ShowError(LastError);
        return;
    }
    QString reason = Translate(LastError);
    // A name no reader is registered for: say which extension that is.
    if (LastError == kUnsupportedFormat) {
        const QString name = QFileInfo(LastErrorFile).fileName();
        const qsizetype dot = name.lastIndexOf(u'.');
        if (dot >= 0)
            reason += " (" + name.mid(dot) + ")";
    }
    GetGeneral().ShowError(FileMessage(LastErrorFile, reason));
}

// ---- Events ------------------------------------------------------------------------------------------------------------

bool TPictavo::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == FScrollBox)
            LayoutPage();
        else if (watched == FToolbarPanel)
            PlaceToolbarForm();
    }
    return QObject::eventFilter(watched, event);
}
