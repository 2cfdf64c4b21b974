// Where the picture goes on the sheet besides the lists: the toolbar's side, the Center and percentage commands,
// and moving a custom-placed picture with the mouse.
#include "engine/ui/pictavo.h"

#include "common/guarded.h"
#include "engine/layout.h"

#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cstdint>

void TPictavo::SetToolbarOnTop(bool onTop)
{
    if (FForm && FToolbarPanel) {
        auto* layout = static_cast<QVBoxLayout*>(FForm->layout());
        layout->removeWidget(FToolbarPanel);
        layout->insertWidget(onTop ? 0 : layout->count(), FToolbarPanel);
    }
    FToolbarOnTop = onTop;
    Changed();
}

void TPictavo::PlaceToolbarForm()
{
    // Centred; the panel is never narrower than the toolbar, but keep its left side should it ever be.
    const int width = FToolbarForm->width();
    FToolbarForm->setGeometry(std::max(0, (FToolbarPanel->width() - width) / 2), 0, width, FToolbarPanel->height());
}

bool TPictavo::CanCenter() const
{
    return HasPicture() && FInfo.Position == kPositionCustom;
}

void TPictavo::CenterPicture()
{
    if (!CanCenter())
        return;
    Guarded([&] {
        TPictavoInfo centred = FInfo;
        centred.Position = kPositionCenter;
        centred.ScaleX = centred.ScaleY = 1.0L;
        centred.PictureWidth = PictureSize().width();
        centred.PictureHeight = PictureSize().height();
        ComputeLayout(centred);
        TPictavoInfo info = FInfo;
        info.X = centred.OutLeft;
        info.Y = centred.OutTop;
        SetInfo(info);
    });
}

bool TPictavo::CanZoom() const
{
    return HasPicture() && (FInfo.Scale == kScaleCustom || FInfo.Scale == kScaleCustomFixed);
}

void TPictavo::ZoomPercent(int percent) noexcept
{
    if (!CanZoom())
        return;
    TPictavoInfo info = FInfo;
    if (info.Scale == kScaleCustom)
        info.ZoomX = info.ZoomY = percent;
    else
        info.ZoomXY = percent;
    SetInfo(info);
}

void TPictavo::PageMouseDown(QPoint at, Qt::MouseButton button)
{
    FDragX = at.x();
    FDragY = at.y();
    FDragButton = button;
    FDragging = FInfo.Position == kPositionCustom;
    if (FDragging)
        PageMouseMove(at);
}

void TPictavo::PageMouseMove(QPoint at)
{
    if (!FDragging || !FPage)
        return;
    Guarded([&] {
        // The horizontal factor serves both axes: the sheet has the page's proportions.
        const Extended k = Extended(FPageWidth) / Page()->width();
        std::int32_t dx = RoundEven((at.x() - FDragX) * k);
        std::int32_t dy = RoundEven((at.y() - FDragY) * k);
        FDragX = at.x();
        FDragY = at.y();
        if (FDragButton == Qt::RightButton) {  // a fifth of the mouse's speed, for fine placement
            dx /= 5;
            dy /= 5;
        }
        const std::int64_t x = std::int64_t(FInfo.X) + dx;
        const std::int64_t y = std::int64_t(FInfo.Y) + dy;
        if (x != std::int32_t(x) || y != std::int32_t(y))
            return;
        FInfo.X = std::int32_t(x);
        FInfo.Y = std::int32_t(y);
        PaintPage();
    });
}

void TPictavo::PageMouseUp()
{
    if (!FDragging)
        return;
    FDragging = false;
    PaintPage();
}
