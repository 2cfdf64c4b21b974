// The options toolbar: four lists for scale, position, orientation and quality, the percentage bars of the two
// custom scales, and the readout of what the picture will be on paper. Every edit ends in SetInfo.
#include "engine/ui/pictavo.h"

#include "common/guarded.h"
#include "common/translate.h"
#include "engine/layout.h"
#include "engine/ui/depth_guard.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>
#include <QWidget>

#include <algorithm>
#include <initializer_list>
#include <tuple>
#include <utility>

namespace {

// The toolbar's offsets and widths were drawn for labels of this height; on a desktop with larger fonts they grow
// in proportion, so the rows keep their look.
constexpr int kDesignLabelHeight = 13;
constexpr int kDesignTop = 4;
constexpr int kDesignGap = 5;         // between the columns of the first row
constexpr int kDesignRowGap = 2;      // between the lists and the first bar
constexpr int kDesignBarGap = 1;      // between the two bars
constexpr int kDesignBarLeft = 90;
constexpr int kDesignListWidth = 100;
constexpr int kDesignQualityWidth = 70;
constexpr int kBarMinimum = -3200;
constexpr int kBarMaximum = 3200;
constexpr int kBarLargeStep = 20;
constexpr int kBarSmallStep = 1;
constexpr int kResetPointSize = 7;
constexpr std::int32_t kWarningColor = 0x000000FF;  // red
// The widest readouts the toolbar keeps room for, so the toolbar does not change width as the figures change.
constexpr const char* kReadoutSamples[] = {"0000 \u00d7 0000 mm \u00b7 0000 ppi", "00.00 \u00d7 00.00 in \u00b7 0000 ppi"};

class TToolbarMetrics {
public:
    explicit TToolbarMetrics(int labelHeight) : FFactor(Extended(labelHeight) / kDesignLabelHeight) {}
    int operator()(int designed) const { return std::max(1, RoundEven(designed * FFactor)); }

private:
    Extended FFactor;
};

// "Horizontal +25%", "Vertical -50%", "Fixed 0%": a negative value carries its own sign.
QString PercentCaption(const char* word, std::int32_t percent)
{
    return Translate(word) + " " + (percent > 0 ? "+" : "") + QString::number(percent) + "%";
}

// A warning draws the text red; otherwise the widget takes its text colours from the theme again, for every
// state of the window (a colour copied from another label would be the one of that moment: grey, when the
// window was inactive, for as long as the picture stays).
void ShowWarning(QWidget* widget, bool warn)
{
    QPalette palette;  // nothing set: all inherited
    if (warn)
        palette.setColor(QPalette::WindowText, ColorFromValue(kWarningColor));
    widget->setPalette(palette);
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& caption)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    return label;
}

QComboBox* NewList(QWidget* parent, const char* name, const QStringList& items, QLabel* label)
{
    auto* box = new QComboBox(parent);  // not editable: a choice only
    box->setObjectName(name);
    box->addItems(items);
    label->setBuddy(box);  // Alt and the caption's accelerator reach the list
    return box;
}

QScrollBar* NewBar(QWidget* parent, const char* name)
{
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(name);
    bar->setRange(kBarMinimum, kBarMaximum);
    bar->setPageStep(kBarLargeStep);
    bar->setSingleStep(kBarSmallStep);
    bar->setFocusPolicy(Qt::StrongFocus);  // Tab reaches it and the arrow keys move it
    // A scroll bar's keys and wheel run against its value by default (Right lowers it); a percentage goes up
    // with Right, Up, Page Up and the wheel turned away.
    bar->setInvertedControls(false);
    bar->hide();
    return bar;
}

QToolButton* NewReset(QWidget* parent, const char* name)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setText(Translate("R"));
    button->setToolTip(Translate("Reset"));
    QFont font = button->font();
    font.setPointSize(kResetPointSize);
    button->setFont(font);
    button->setCursor(Qt::PointingHandCursor);
    button->hide();
    return button;
}

}  // namespace

void TPictavo::BuildToolbarControls()
{
    QWidget* form = FToolbarForm;
    FScaleLabel = NewLabel(form, "ScaleLabel", Translate("Scale"));
    FScaleBox = NewList(form, "ScaleBox", ScaleCaptions(), FScaleLabel);
    FPositionLabel = NewLabel(form, "PositionLabel", Translate("Position"));
    FPositionBox = NewList(form, "PositionBox", PositionCaptions(), FPositionLabel);
    FOrientationLabel = NewLabel(form, "OrientationLabel", Translate("Orientation"));
    FOrientationBox = NewList(form, "OrientationBox", OrientationCaptions(), FOrientationLabel);
    FQualityLabel = NewLabel(form, "QualityLabel", Translate("Quality"));
    FQualityBox = NewList(form, "QualityBox", QualityCaptions(), FQualityLabel);

    FHorizontalLabel = NewLabel(form, "HorizontalLabel", Translate("Horizontal"));
    FHorizontalBar = NewBar(form, "HorizontalBar");
    FHorizontalReset = NewReset(form, "HorizontalReset");
    FFixedBar = NewBar(form, "FixedBar");
    FFixedReset = NewReset(form, "FixedReset");
    FVerticalLabel = NewLabel(form, "VerticalLabel", Translate("Vertical"));
    FVerticalBar = NewBar(form, "VerticalBar");
    FVerticalReset = NewReset(form, "VerticalReset");
    FHorizontalLabel->hide();
    FVerticalLabel->hide();

    FReadoutLabel = NewLabel(form, "ReadoutLabel", Translate("On Paper"));
    FReadout = new QWidget(form);
    FReadout->setObjectName("Readout");
    auto* readoutLayout = new QHBoxLayout(FReadout);
    readoutLayout->setContentsMargins(0, 0, 0, 0);
    readoutLayout->setSpacing(FReadout->fontMetrics().horizontalAdvance(u' '));
    FReadoutSize = NewLabel(FReadout, "ReadoutSize", QString());
    FReadoutResolution = NewLabel(FReadout, "ReadoutResolution", QString());
    readoutLayout->addWidget(FReadoutSize);
    readoutLayout->addWidget(FReadoutResolution);
    readoutLayout->addStretch(1);

    for (QComboBox* box : {FScaleBox, FPositionBox, FOrientationBox, FQualityBox})
        connect(box, &QComboBox::currentIndexChanged, this, [this, box] { ToolbarChanged(box); });
    for (QScrollBar* bar : {FHorizontalBar, FVerticalBar, FFixedBar})
        connect(bar, &QScrollBar::valueChanged, this, [this, bar] { ToolbarChanged(bar); });
    for (QToolButton* button : {FHorizontalReset, FVerticalReset, FFixedReset})
        connect(button, &QToolButton::clicked, this, [this, button] { ToolbarChanged(button); });

    // Tab walks the toolbar left to right, then row by row; hidden controls are passed over.
    const std::initializer_list<QWidget*> order{FScaleBox,  FPositionBox,  FOrientationBox, FQualityBox,
                                                FHorizontalBar, FHorizontalReset, FFixedBar, FFixedReset,
                                                FVerticalBar, FVerticalReset};
    for (auto it = order.begin(); it + 1 != order.end(); ++it)
        QWidget::setTabOrder(*it, *(it + 1));

    PlaceToolbarControls();
}

void TPictavo::PlaceToolbarControls()
{
    const int labelHeight = FScaleLabel->sizeHint().height();
    const int listHeight = FScaleBox->sizeHint().height();
    const TToolbarMetrics m(labelHeight);
    const int top = m(kDesignTop);

    // First row: each list under its caption; a list is never narrower than its longest translated item.
    int left = 0;
    const auto column = [&](QLabel* label, QWidget* control, int width) {
        label->setGeometry(left, top, std::max(width, label->sizeHint().width()), labelHeight);
        control->setGeometry(left, top + labelHeight, width, listHeight);
        left += width + m(kDesignGap);
    };
    const auto listWidth = [&](QComboBox* box, int designed) { return std::max(m(designed), box->sizeHint().width()); };
    column(FScaleLabel, FScaleBox, listWidth(FScaleBox, kDesignListWidth));
    column(FPositionLabel, FPositionBox, listWidth(FPositionBox, kDesignListWidth));
    column(FOrientationLabel, FOrientationBox, listWidth(FOrientationBox, kDesignListWidth));
    column(FQualityLabel, FQualityBox, listWidth(FQualityBox, kDesignQualityWidth));
    const QFontMetrics readoutFont = FReadoutSize->fontMetrics();
    int readoutWidth = 0;
    for (const char* sample : kReadoutSamples)
        readoutWidth = std::max(readoutWidth, readoutFont.horizontalAdvance(QString::fromUtf8(sample)));
    column(FReadoutLabel, FReadout, readoutWidth + readoutFont.horizontalAdvance(u' '));

    // The bars start where the widest percentage caption ends, and with their reset buttons reach the quality
    // list's right edge.
    const QFontMetrics labelFont = FHorizontalLabel->fontMetrics();
    int captionWidth = 0;
    for (const char* word : {"Horizontal", "Vertical", "Fixed"})
        captionWidth = std::max(captionWidth, labelFont.horizontalAdvance(PercentCaption(word, kBarMinimum)));
    const int barLeft = std::max(m(kDesignBarLeft), captionWidth + m(kDesignGap));
    const int qualityRight = FQualityBox->geometry().right() + 1;
    const int barWidth = std::max(qualityRight - labelHeight - barLeft, 4 * labelHeight);
    const int horizontalTop = FScaleBox->geometry().bottom() + 1 + m(kDesignRowGap);
    const int verticalTop = horizontalTop + labelHeight + m(kDesignBarGap);
    for (const auto& [label, bar, reset, rowTop] :
         {std::tuple{FHorizontalLabel, FHorizontalBar, FHorizontalReset, horizontalTop},
          std::tuple{FHorizontalLabel, FFixedBar, FFixedReset, horizontalTop},
          std::tuple{FVerticalLabel, FVerticalBar, FVerticalReset, verticalTop}}) {
        label->setGeometry(0, rowTop, barLeft, labelHeight);
        bar->setGeometry(barLeft, rowTop, barWidth, labelHeight);
        reset->setGeometry(barLeft + barWidth, rowTop, labelHeight, labelHeight);
    }

    const int right = std::max(FVerticalReset->geometry().right(), FReadout->geometry().right()) + 1;
    FToolbarForm->resize(right + 1, FToolbarForm->height());
    // The window never gets so narrow that a list or the readout is cut: the readout's resolution carries
    // its warning.
    FToolbarPanel->setMinimumWidth(FToolbarForm->width());
}

void TPictavo::UpdateToolbar() noexcept
{
    if (!FToolbarForm || !FScaleBox)
        return;
    Guarded([&] {
        const bool custom = FInfo.Scale == kScaleCustom;
        const bool fixed = FInfo.Scale == kScaleCustomFixed;
        FHorizontalLabel->setVisible(custom || fixed);
        for (QWidget* control : std::initializer_list<QWidget*>{FHorizontalBar, FHorizontalReset, FVerticalLabel,
                                                                 FVerticalBar, FVerticalReset})
            control->setVisible(custom);
        FFixedBar->setVisible(fixed);
        FFixedReset->setVisible(fixed);
        QWidget* lowest = FScaleBox;
        if (custom) {
            FHorizontalLabel->setText(PercentCaption("Horizontal", FInfo.ZoomX));
            FHorizontalLabel->setBuddy(FHorizontalBar);
            FVerticalLabel->setText(PercentCaption("Vertical", FInfo.ZoomY));
            FVerticalLabel->setBuddy(FVerticalBar);
            lowest = FVerticalBar;
        } else if (fixed) {
            FHorizontalLabel->setText(PercentCaption("Fixed", FInfo.ZoomXY));
            FHorizontalLabel->setBuddy(FFixedBar);
            lowest = FHorizontalBar;
        }
        FToolbarPanel->setFixedHeight(lowest->geometry().bottom() + 1 + 2 * FScaleLabel->y());
        // A sheet that could not be drawn shows in the scale captions: most such failures come from a percentage.
        for (QLabel* label : {FScaleLabel, FHorizontalLabel, FVerticalLabel})
            ShowWarning(label, FPaintFailed == 1);
    });
}

void TPictavo::SyncToolbar()
{
    if (FSyncDepth != 0 || !FToolbarForm || !FScaleBox)
        return;
    TDepthGuard depth(FSyncDepth);
    Guarded([&] {
        FQualityBox->setCurrentIndex(FInfo.Quality);
        FScaleBox->setCurrentIndex(FInfo.Scale);
        FPositionBox->setCurrentIndex(FInfo.Position);
        FOrientationBox->setCurrentIndex(FInfo.Orientation);
        for (const auto& [bar, percent] : {std::pair{FHorizontalBar, FInfo.ZoomX}, std::pair{FVerticalBar, FInfo.ZoomY},
                                           std::pair{FFixedBar, FInfo.ZoomXY}}) {
            // A percentage beyond the bar's range (from a settings file) stays in force and is drawn; the bar
            // cannot show it and keeps its place, and the bars after it wait for the next pass.
            if (percent < bar->minimum() || percent > bar->maximum())
                break;
            bar->setValue(percent);
        }
    });
    // The captions follow the percentages from every source (the Options menu, the settings file), not only
    // from the bars: a bar that cannot show its value must not leave an old caption either.
    UpdateToolbar();
}

void TPictavo::ToolbarChanged(QObject* control)
{
    // While the toolbar is being synchronised the controls only echo FInfo back.
    if (FSyncDepth != 0 || !FToolbarForm)
        return;
    TPictavoInfo info = FInfo;
    const auto index = [](QComboBox* box) { return std::uint8_t(std::max(box->currentIndex(), 0)); };
    if (control == FQualityBox)
        info.Quality = index(FQualityBox);
    else if (control == FScaleBox)
        info.Scale = index(FScaleBox);
    else if (control == FPositionBox)
        info.Position = index(FPositionBox);
    else if (control == FOrientationBox)
        info.Orientation = index(FOrientationBox);
    else if (control == FHorizontalBar)
        info.ZoomX = FHorizontalBar->value();
    else if (control == FVerticalBar)
        info.ZoomY = FVerticalBar->value();
    else if (control == FFixedBar)
        info.ZoomXY = FFixedBar->value();
    else if (control == FHorizontalReset)
        info.ZoomX = 0;
    else if (control == FVerticalReset)
        info.ZoomY = 0;
    else if (control == FFixedReset)
        info.ZoomXY = 0;
    else
        return;
    SetInfo(info);
    UpdateToolbar();
}

// ---- Readout ----------------------------------------------------------------------------------------------------

TPrintReadout TPictavo::Readout(QSize output) const
{
    if (FEmpty)
        return {};
    TReadoutInputs inputs;
    inputs.Info = FInfo;
    inputs.Info.PageWidth = FPageWidth;
    inputs.Info.PageHeight = FPageHeight;
    inputs.Info.PictureWidth = PictureSize().width();
    inputs.Info.PictureHeight = PictureSize().height();
    inputs.Device.DpiX = FDpiX;
    inputs.Device.DpiY = FDpiY;
    inputs.Device.ScreenPPI = FScreenPPI;
    if (output.isEmpty())
        output = QSize(QualitySize(FInfo, FPrintWidth), QualitySize(FInfo, FPrintHeight));
    inputs.OutputWidth = output.width();
    inputs.OutputHeight = output.height();
    inputs.Inches = FPaperInches;
    return ComputeReadout(inputs);
}

void TPictavo::UpdateReadout()
{
    if (!FToolbarForm || !FReadout)
        return;
    const TPrintReadout readout = Readout();
    FReadoutSize->setText(readout.Valid ? ReadoutSizeText(readout) + " \u00b7" : QString());
    FReadoutResolution->setText(ReadoutResolutionText(readout));
    ShowWarning(FReadoutResolution, readout.Soft);
    QString hint = ReadoutHint(readout);
    if (readout.Reduced && FInfo.Quality < kQualityHigh)
        hint += "\n" + Translate("A higher quality prints more of the picture's detail.");
    FReadoutResolution->setToolTip(hint);
}
